#include "SizingControlBar.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QMainWindow>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>

namespace {

// The slim strip that stands in for the caption: the user drags it to move or float the bar
// and double-clicks it to dock or float (Qt's dock widget does both for a title bar widget
// that leaves the mouse events to it).
class CBarHandle : public QWidget
{
public:
    explicit CBarHandle(QWidget* parent) : QWidget(parent)
    {
        setCursor(Qt::SizeAllCursor);
        setToolTip(QString());
    }
    QSize sizeHint() const override
    {
        return {CSizingControlBar::EDGE_WIDTH + 1, CSizingControlBar::EDGE_WIDTH + 1};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().button());
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(0, height() - 1, width(), height() - 1);
        // A short row of raised dots in the middle, the usual sign of something to drag.
        const QColor dark = palette().color(QPalette::Dark);
        const QColor light = palette().color(QPalette::Light);
        const int y = height() / 2 - 1;
        for (int x = width() / 2 - 30; x <= width() / 2 + 30; x += 4) {
            p.fillRect(x + 1, y + 1, 2, 2, light);
            p.fillRect(x, y, 2, 2, dark);
        }
    }
};

QSize AtLeast(const QSize& size, const QSize& minimum)
{
    return size.expandedTo(minimum);
}

} // namespace

CSizingControlBar::CSizingControlBar(QWidget* parent) : QDockWidget(parent)
{
    setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    setAllowedAreas(Qt::AllDockWidgetAreas);
    setTitleBarWidget(new CBarHandle(this));
    connect(this, &QDockWidget::topLevelChanged, this, &CSizingControlBar::OnTopLevelChanged);
    connect(this, &QDockWidget::dockLocationChanged, this, &CSizingControlBar::OnLocationChanged);
    ApplyMinimum();
}

CSizingControlBar::~CSizingControlBar() = default;

bool CSizingControlBar::Create(const QString& title, QMainWindow* frame, const QSize& defaultSize,
                               bool hasGripper, int id, quint32 style)
{
    Q_UNUSED(hasGripper); // the family never shows one
    m_szHorz = m_szVert = m_szFloat = defaultSize;
    m_nId = id;
    m_dwSCBStyle = style & (SCBS_SHOWEDGES | SCBS_SIZECHILD);
    setWindowTitle(title);
    setObjectName(QStringLiteral("bar%1").arg(id));
    if (frame && parent() != frame)
        setParent(frame);
    ApplyMinimum();
    return true;
}

void CSizingControlBar::DockAt(QMainWindow* frame, Qt::DockWidgetArea area)
{
    if (!frame)
        return;
    frame->addDockWidget(area, this);
    OnLocationChanged(area);
    const bool horz = area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea;
    const QSize size = CalcFixedLayout(false, horz);
    if (horz)
        frame->resizeDocks({this}, {size.height()}, Qt::Vertical);
    else
        frame->resizeDocks({this}, {size.width()}, Qt::Horizontal);
}

QSize CSizingControlBar::CurrentMinimum() const
{
    if (m_bFloating)
        return MIN_FLOAT;
    return IsHorzDocked() ? MIN_HORZ : MIN_VERT;
}

QSize CSizingControlBar::CalcFixedLayout(bool stretch, bool horz) const
{
    if (stretch)
        return horz ? QSize(32767, m_szHorz.height()) : QSize(m_szVert.width(), 32767);
    return horz ? AtLeast(m_szHorz, MIN_HORZ) : AtLeast(m_szVert, MIN_VERT);
}

QSize CSizingControlBar::CalcFloatingLayout(int length, bool lengthIsHeight)
{
    if (lengthIsHeight)
        m_szFloat.setHeight(length);
    else
        m_szFloat.setWidth(length);
    m_szFloat = AtLeast(m_szFloat, MIN_FLOAT);
    return m_szFloat;
}

QSize CSizingControlBar::sizeHint() const
{
    if (m_bFloating)
        return AtLeast(m_szFloat, MIN_FLOAT);
    return CalcFixedLayout(false, IsHorzDocked());
}

QSize CSizingControlBar::minimumSizeHint() const
{
    return CurrentMinimum();
}

void CSizingControlBar::closeEvent(QCloseEvent* event)
{
    // The bar holds the whole working interface; a close request leaves it open.
    event->ignore();
}

void CSizingControlBar::resizeEvent(QResizeEvent* event)
{
    QDockWidget::resizeEvent(event);
    // The size the user dragged to becomes the size of the current orientation.
    const QSize size = AtLeast(event->size(), CurrentMinimum());
    if (m_bFloating)
        m_szFloat = size;
    else if (IsHorzDocked())
        m_szHorz = size;
    else if (IsVertDocked())
        m_szVert = size;
}

void CSizingControlBar::OnTopLevelChanged(bool floating)
{
    m_bFloating = floating;
    if (floating) {
        m_nDockSide = DOCK_FLOATING;
    } else if (auto* frame = qobject_cast<QMainWindow*>(parentWidget())) {
        OnLocationChanged(frame->dockWidgetArea(this));
        return;
    }
    ApplyMinimum();
    if (floating)
        resize(AtLeast(m_szFloat, MIN_FLOAT));
}

void CSizingControlBar::OnLocationChanged(Qt::DockWidgetArea area)
{
    switch (area) {
    case Qt::LeftDockWidgetArea:
        m_nDockSide = DOCK_LEFT;
        break;
    case Qt::RightDockWidgetArea:
        m_nDockSide = DOCK_RIGHT;
        break;
    case Qt::TopDockWidgetArea:
        m_nDockSide = DOCK_TOP;
        break;
    case Qt::BottomDockWidgetArea:
        m_nDockSide = DOCK_BOTTOM;
        break;
    default:
        m_nDockSide = m_bFloating ? DOCK_FLOATING : DOCK_NONE;
        break;
    }
    // Only the edge facing the frame's interior can be dragged at the row's outside.
    m_dwSCBStyle &= ~quint32(SCBS_EDGEALL);
    switch (m_nDockSide) {
    case DOCK_LEFT:
        m_dwSCBStyle |= SCBS_EDGERIGHT;
        break;
    case DOCK_RIGHT:
        m_dwSCBStyle |= SCBS_EDGELEFT;
        break;
    case DOCK_TOP:
        m_dwSCBStyle |= SCBS_EDGEBOTTOM;
        break;
    case DOCK_BOTTOM:
        m_dwSCBStyle |= SCBS_EDGETOP;
        break;
    default:
        break;
    }
    ApplyMinimum();
}

void CSizingControlBar::ApplyMinimum()
{
    setMinimumSize(CurrentMinimum());
    updateGeometry();
}

// ---- CSizingControlBarG ---------------------------------------------------------------------

CSizingControlBarG::CSizingControlBarG(QWidget* parent) : CSizingControlBar(parent) {}

void CSizingControlBarG::EnableCloseButton(bool enable)
{
    m_bCloseEnabled = enable;
    update();
}

// ---- CSizingControlBarCF --------------------------------------------------------------------

CSizingControlBarCF::CSizingControlBarCF(QWidget* parent) : CSizingControlBarG(parent)
{
    m_strFontFace = QFontDatabase::families().contains(QStringLiteral("Tahoma")) ? QStringLiteral("Tahoma")
                                                                                 : QStringLiteral("Arial");
    if (qApp)
        connect(qApp, &QApplication::focusChanged, this, &CSizingControlBarCF::OnFocusChanged);
}

CSizingControlBarCF::~CSizingControlBarCF()
{
    // The widget's own destruction moves the focus out of the bar; by then this part is gone.
    if (qApp)
        disconnect(qApp, &QApplication::focusChanged, this, &CSizingControlBarCF::OnFocusChanged);
}

void CSizingControlBarCF::OnFocusChanged(QWidget*, QWidget* now)
{
    const bool active = now && (now == this || isAncestorOf(now));
    if (active != m_bActive) {
        m_bActive = active;
        update();
    }
}
