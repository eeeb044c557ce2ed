#include "SkinButton.h"

#include "res/Pictures.h"

#include <QMouseEvent>
#include <QPainter>

CSkinButton::CSkinButton(QWidget* parent, int buttonType) : QPushButton(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover, false);
    SetButtonType(buttonType);
}

CSkinButton::~CSkinButton() = default;

void CSkinButton::SetButtonType(int type)
{
    m_nButtonType = type;
    m_bCheckBox = (type & 0x2) != 0;
    // A default push button is otherwise treated as a plain push button.
    m_bDefault = type == BS_DEFPUSHBUTTON;
    setCheckable(m_bCheckBox);
    if (!m_bCheckBox)
        setChecked(false);
    setAutoDefault(false);
    setDefault(m_bDefault);
    update();
}

void CSkinButton::SetSlot(int slot, const QImage& picture, QRgb key)
{
    SSlot& s = m_slots[slot];
    s = SSlot();
    if (picture.isNull())
        return;
    // The mask: every pixel equal to the transparent colour becomes fully transparent.
    QImage img = picture.convertToFormat(QImage::Format_ARGB32);
    if (key != NO_TRANSPARENCY) {
        const QRgb rgb = key & 0xFFFFFF;
        for (int y = 0; y < img.height(); ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x) {
                if ((line[x] & 0xFFFFFF) == rgb)
                    line[x] = 0;
            }
        }
    }
    s.image = img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    s.pixmap = QPixmap::fromImage(s.image);
}

bool CSkinButton::SetBitmaps(int idOver, QRgb keyOver, int idNormal, QRgb keyNormal, int idChecked,
                             QRgb keyChecked, int idDisabled, QRgb keyDisabled)
{
    FreeBitmaps(false);
    const int ids[SLOT_COUNT] = {idOver, idNormal, idChecked, idDisabled};
    const QRgb keys[SLOT_COUNT] = {keyOver, keyNormal, keyChecked, keyDisabled};
    bool ok = true;
    for (int i = 0; i < SLOT_COUNT; ++i) {
        if (ids[i] == 0)
            continue;
        const QImage img = LoadBitmap(ids[i]);
        ok = ok && !img.isNull();
        SetSlot(i, img, keys[i]);
    }
    // Screen readers and desktop automation read the caption that the normal picture shows.
    if (const SPictureInfo* info = Pictures::Find(idNormal); info != nullptr && *info->caption != '\0')
        setAccessibleName(QString::fromLatin1(info->caption));
    updateGeometry();
    update();
    return ok;
}

bool CSkinButton::SetBitmaps(int idOver, QRgb keyOver, int idNormal, QRgb keyNormal)
{
    return SetBitmaps(idOver, keyOver, idNormal, keyNormal, 0, 0, 0, 0);
}

bool CSkinButton::SetBitmaps(const QImage& over, QRgb keyOver, const QImage& normal, QRgb keyNormal)
{
    FreeBitmaps(false);
    SetSlot(SLOT_MOUSEOVER, over, keyOver);
    SetSlot(SLOT_NORMAL, normal, keyNormal);
    updateGeometry();
    update();
    return !over.isNull() || !normal.isNull();
}

void CSkinButton::FreeBitmaps(bool repaint)
{
    for (SSlot& s : m_slots)
        s = SSlot();
    if (repaint)
        update();
}

void CSkinButton::SetCheck(bool checked, bool repaint)
{
    if (!m_bCheckBox)
        return;
    setChecked(checked);
    if (repaint)
        update();
}

void CSkinButton::SetTooltipText(const QString& text, bool activate)
{
    setToolTip(activate ? text : QString());
}

bool CSkinButton::HasPicture(int slot) const
{
    return slot >= 0 && slot < SLOT_COUNT && !m_slots[slot].image.isNull();
}

int CSkinButton::CurrentSlot() const
{
    int slot;
    if (m_bMouseOver)
        slot = SLOT_MOUSEOVER;
    else if (m_bCheckBox && isChecked())
        slot = SLOT_CHECKED;
    else if (!isEnabled())
        slot = HasPicture(SLOT_DISABLED) ? SLOT_DISABLED : SLOT_MOUSEOVER;
    else
        slot = HasPicture(SLOT_NORMAL) ? SLOT_NORMAL : SLOT_MOUSEOVER;
    return HasPicture(slot) ? slot : -1;
}

QSize CSkinButton::sizeHint() const
{
    for (const SSlot& s : m_slots) {
        if (!s.image.isNull())
            return s.image.size();
    }
    return QPushButton::sizeHint();
}

void CSkinButton::paintEvent(QPaintEvent*)
{
    const int slot = CurrentSlot();
    if (slot < 0)
        return;
    const QPixmap& pm = m_slots[slot].pixmap;
    QPoint at((width() - pm.width()) / 2, (height() - pm.height()) / 2);
    if (isDown())
        at += QPoint(1, 1); // a held-down button sinks by one pixel
    QPainter p(this);
    p.drawPixmap(at, pm);
    if (hasFocus()) {
        // A thin dotted focus line just inside the picture.
        QPen pen(QColor(0x40, 0x40, 0x40), 1, Qt::DotLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        const QRect r = QRect(at, pm.size()).intersected(rect()).adjusted(3, 3, -4, -4);
        if (r.width() > 8 && r.height() > 8)
            p.drawRect(r);
    }
}

void CSkinButton::mouseMoveEvent(QMouseEvent* event)
{
    QPushButton::mouseMoveEvent(event);
    // Hovering does not start while the left button is held down (a drag from elsewhere).
    if ((event->buttons() & Qt::LeftButton) && !m_bMouseOver)
        return;
    if (rect().contains(event->position().toPoint()) && isEnabled()) {
        if (!m_bMouseOver) {
            m_bMouseOver = true;
            update();
        }
    } else {
        ClearMouseOver();
    }
}

void CSkinButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && focusPolicy() != Qt::NoFocus)
        setFocus(Qt::MouseFocusReason);
    QPushButton::mousePressEvent(event);
}

void CSkinButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click is an ordinary click.
    mousePressEvent(event);
}

void CSkinButton::leaveEvent(QEvent* event)
{
    ClearMouseOver();
    QPushButton::leaveEvent(event);
}

void CSkinButton::focusOutEvent(QFocusEvent* event)
{
    ClearMouseOver();
    QPushButton::focusOutEvent(event);
}

void CSkinButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        ClearMouseOver(); // Qt itself moves the focus on to the next widget
    else if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        ClearMouseOver();
    QPushButton::changeEvent(event);
}

void CSkinButton::ClearMouseOver()
{
    if (m_bMouseOver) {
        m_bMouseOver = false;
        update();
    }
}
