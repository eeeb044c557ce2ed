#include "XListCtrl.h"

#include "XListModel.h"

#include <QComboBox>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace {

QRgb ToRgb(const QColor& c)
{
    return c.isValid() ? (c.rgb() | 0xFF000000) : 0;
}

constexpr int CHECK_SIZE = 13;
constexpr int PAD = 4;

void DrawCheckBox(QPainter* p, const QRect& box, bool checked, bool enabled, const QPalette& pal)
{
    p->save();
    p->setRenderHint(QPainter::Antialiasing, true);
    const QColor frame = enabled ? QColor(0x5A, 0x66, 0x78) : pal.color(QPalette::Disabled, QPalette::Text);
    p->setPen(frame);
    p->setBrush(enabled ? QColor(Qt::white) : pal.color(QPalette::Disabled, QPalette::Base));
    p->drawRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5));
    if (checked) {
        const QColor mark = enabled ? QColor(0x1C, 0x4D, 0x8A) : frame;
        p->setPen(QPen(mark, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QPointF o = box.topLeft();
        p->drawPolyline(QPolygonF({o + QPointF(3, 6.5), o + QPointF(5.5, 9), o + QPointF(10, 3.5)}));
    }
    p->restore();
}

// Draws the cells from the model's records.
class CXListDelegate : public QStyledItemDelegate
{
public:
    CXListDelegate(CXListCtrl* list, CXListModel* model)
        : QStyledItemDelegate(list), m_pList(list), m_pModel(model)
    {
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const int row = index.row(), col = index.column();
        if (!m_pModel->IsValid(row, col))
            return;
        const SXCellAttr& a = m_pModel->Attr(row, col);
        const bool enabled = m_pModel->IsRowEnabled(row);
        const bool selected = (option.state & QStyle::State_Selected) && enabled;
        const QPalette& pal = option.palette;
        const QPalette::ColorGroup group =
            m_pList->hasFocus() || m_pList->isActiveWindow() ? QPalette::Active : QPalette::Inactive;

        QColor bg = qAlpha(a.crBackground) ? QColor::fromRgb(a.crBackground) : pal.color(QPalette::Base);
        QColor fg = qAlpha(a.crText) ? QColor::fromRgb(a.crText) : pal.color(QPalette::Text);
        if (selected) {
            bg = pal.color(group, QPalette::Highlight);
            fg = pal.color(group, QPalette::HighlightedText);
        }
        if (!enabled)
            fg = pal.color(QPalette::Disabled, QPalette::Text);
        const QRect r = option.rect;
        p->save();
        p->fillRect(r, bg);
        QFont font = option.font;
        if (a.bBold)
            font.setBold(true);
        p->setFont(font);
        const Qt::Alignment align = m_pModel->ColumnAlignment(col) | Qt::AlignVCenter;
        QString text = m_pModel->Text(row, col);

        if (a.bProgress) {
            const QRect frame = r.adjusted(2, 2, -3, -3);
            p->setPen(pal.color(QPalette::Mid));
            p->setBrush(pal.color(QPalette::Base));
            p->drawRect(frame);
            const int pct = std::clamp(a.nProgressComplete, 0, 100);
            QRect fill = frame.adjusted(1, 1, 0, 0);
            fill.setWidth(fill.width() * pct / 100);
            p->fillRect(fill, pal.color(QPalette::Active, QPalette::Highlight));
            if (a.bShowProgressText) {
                const QString label =
                    a.strProgressText.isEmpty() ? QString::asprintf("%d%%", pct) : a.strProgressText;
                p->setPen(pal.color(QPalette::Text));
                p->drawText(frame, Qt::AlignCenter, label);
            }
        } else if (a.bCombo) {
            if (text.isEmpty())
                text = a.comboChoices.value(a.nComboDefault);
            const bool current = m_pList->currentIndex().row() == row && enabled;
            if (current) {
                // A combo-box look: white field, frame and a drop-down button.
                const QRect field = r.adjusted(1, 1, -1, -1);
                p->fillRect(field, pal.color(QPalette::Base));
                p->setPen(pal.color(QPalette::Mid));
                p->drawRect(field.adjusted(0, 0, -1, -1));
                const int bw = std::min(16, field.width() / 2);
                const QRect button(field.right() - bw, field.top() + 1, bw, field.height() - 2);
                p->fillRect(button, pal.color(QPalette::Button));
                p->setPen(pal.color(QPalette::Mid));
                p->drawLine(button.topLeft(), button.bottomLeft());
                const QPoint c = button.center();
                p->setRenderHint(QPainter::Antialiasing, true);
                p->setPen(Qt::NoPen);
                p->setBrush(pal.color(QPalette::ButtonText));
                p->drawPolygon(QPolygon({c + QPoint(-3, -1), c + QPoint(4, -1), c + QPoint(0, 3)}));
                p->setPen(pal.color(QPalette::Text));
                const QRect textRect = field.adjusted(PAD, 0, -bw - PAD, 0);
                p->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                            p->fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
            } else {
                p->setPen(fg);
                const QRect textRect = r.adjusted(PAD, 0, -PAD, 0);
                p->drawText(textRect, align,
                            p->fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
            }
        } else if (a.nCheckedState >= 0) {
            QRect box(0, r.top() + (r.height() - CHECK_SIZE) / 2, CHECK_SIZE, CHECK_SIZE);
            if (text.isEmpty()) {
                box.moveLeft(r.left() + (r.width() - CHECK_SIZE) / 2);
            } else {
                box.moveLeft(r.left() + PAD);
            }
            DrawCheckBox(p, box, a.nCheckedState == 1, enabled, pal);
            if (!text.isEmpty()) {
                p->setPen(fg);
                const QRect textRect(box.right() + PAD + 1, r.top(), r.right() - box.right() - 2 * PAD,
                                     r.height());
                p->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                            p->fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
            }
        } else {
            p->setPen(fg);
            const QRect textRect = r.adjusted(PAD, 0, -PAD, 0);
            p->drawText(textRect, align, p->fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
        }
        p->restore();
    }

private:
    CXListCtrl* m_pList;
    CXListModel* m_pModel;
};

// The drop-down of a cell; tells when its popup closes.
class CXComboList : public QComboBox
{
public:
    using QComboBox::QComboBox;
    std::function<void()> onPopupHidden;

    void hidePopup() override
    {
        QComboBox::hidePopup();
        if (onPopupHidden)
            onPopupHidden();
    }
};

} // namespace

// ---- CXHeaderCtrl ---------------------------------------------------------------------------

CXHeaderCtrl::CXHeaderCtrl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(true);
    setHighlightSections(false);
    setStretchLastSection(false);
    setSectionResizeMode(QHeaderView::Interactive);
    setDefaultAlignment(Qt::AlignCenter);
}

CXListModel* CXHeaderCtrl::Model() const
{
    return qobject_cast<CXListModel*>(model());
}

bool CXHeaderCtrl::SetCheckImage(int col, int state)
{
    CXListModel* m = Model();
    return m && m->SetHeaderCheck(col, state);
}

int CXHeaderCtrl::GetCheckImage(int col) const
{
    CXListModel* m = Model();
    return m ? m->HeaderCheck(col) : -1;
}

void CXHeaderCtrl::mousePressEvent(QMouseEvent* event)
{
    m_nPressed = event->button() == Qt::LeftButton ? logicalIndexAt(event->position().toPoint()) : -1;
    QHeaderView::mousePressEvent(event);
}

void CXHeaderCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    const int col = logicalIndexAt(event->position().toPoint());
    const bool click = event->button() == Qt::LeftButton && col >= 0 && col == m_nPressed &&
                       cursor().shape() != Qt::SplitHCursor;
    m_nPressed = -1;
    QHeaderView::mouseReleaseEvent(event);
    if (click && GetCheckImage(col) > 0)
        emit sectionCheckClicked(col);
}

// ---- CXListCtrl -----------------------------------------------------------------------------

CXListCtrl::CXListCtrl(QWidget* parent) : QTableView(parent), m_pModel(new CXListModel(this))
{
    m_pHeader = new CXHeaderCtrl(this);
    setHorizontalHeader(m_pHeader);
    setModel(m_pModel);
    setItemDelegate(new CXListDelegate(this, m_pModel));
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(18);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setShowGrid(false);
    setTabKeyNavigation(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    connect(m_pHeader, &CXHeaderCtrl::sectionCheckClicked, this, &CXListCtrl::OnHeaderCheckClicked);
}

CXListCtrl::~CXListCtrl() = default;

int CXListCtrl::InsertColumn(int col, const QString& heading, Qt::Alignment format, int width)
{
    const int at = m_pModel->InsertColumn(col, heading, format & Qt::AlignHorizontal_Mask, width);
    if (at >= 0 && width >= 0)
        setColumnWidth(at, width);
    return at;
}

bool CXListCtrl::DeleteColumn(int col)
{
    return m_pModel->DeleteColumn(col);
}

int CXListCtrl::GetColumnCount() const
{
    return m_pModel->ColumnCount();
}

bool CXListCtrl::SetColumnWidth(int col, int width)
{
    if (col < 0 || col >= GetColumnCount() || width < 0)
        return false;
    setColumnWidth(col, width);
    return true;
}

int CXListCtrl::GetColumnWidth(int col) const
{
    return col >= 0 && col < GetColumnCount() ? columnWidth(col) : -1;
}

int CXListCtrl::GetItemCount() const
{
    return m_pModel->RowCount();
}

int CXListCtrl::InsertItem(int row, const QString& text)
{
    return m_pModel->InsertRow(row, text);
}

int CXListCtrl::InsertItem(int row, const QString& text, const QColor& crText, const QColor& crBackground)
{
    return m_pModel->InsertRow(row, text, ToRgb(crText), ToRgb(crBackground));
}

bool CXListCtrl::DeleteItem(int row)
{
    if (row == m_nComboRow)
        CloseCombo(false);
    return m_pModel->DeleteRow(row);
}

bool CXListCtrl::DeleteAllItems()
{
    CloseCombo(false);
    m_pModel->DeleteAllRows();
    return true;
}

bool CXListCtrl::SetItemText(int row, int col, const QString& text)
{
    return SetItemText(row, col, text, QColor(), QColor());
}

bool CXListCtrl::SetItemText(int row, int col, const QString& text, const QColor& crText,
                             const QColor& crBackground)
{
    if (!m_pModel->IsValid(row, col))
        return false;
    m_pModel->SetText(row, col, text);
    m_pModel->SetColors(row, col, ToRgb(crText), ToRgb(crBackground));
    return true;
}

QString CXListCtrl::GetItemText(int row, int col) const
{
    return m_pModel->Text(row, col);
}

bool CXListCtrl::SetItemColors(int row, int col, const QColor& crText, const QColor& crBackground)
{
    return m_pModel->SetColors(row, col, ToRgb(crText), ToRgb(crBackground));
}

bool CXListCtrl::SetCheckbox(int row, int col, int state)
{
    if (state < -1 || state > 1)
        return false;
    SXCellAttr* a = m_pModel->MutableAttr(row, col);
    if (!a)
        return false;
    a->nCheckedState = qint8(state);
    m_pModel->CellChanged(row, col);
    UpdateHeaderCheck(col);
    return true;
}

int CXListCtrl::GetCheckbox(int row, int col) const
{
    if (!m_pModel->IsValid(row, col))
        return -1;
    return m_pModel->Attr(row, col).nCheckedState;
}

bool CXListCtrl::SetEnabled(int row, bool enabled)
{
    if (!enabled && row == m_nComboRow)
        CloseCombo(false);
    if (!m_pModel->SetRowEnabled(row, enabled))
        return false;
    if (!enabled && selectionModel()->isRowSelected(row, QModelIndex()))
        selectionModel()->select(m_pModel->index(row, 0),
                                 QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    return true;
}

bool CXListCtrl::GetEnabled(int row) const
{
    return m_pModel->IsRowEnabled(row);
}

bool CXListCtrl::SetBold(int row, int col, bool bold)
{
    SXCellAttr* a = m_pModel->MutableAttr(row, col);
    if (!a)
        return false;
    a->bBold = bold;
    m_pModel->CellChanged(row, col);
    return true;
}

bool CXListCtrl::GetBold(int row, int col) const
{
    return m_pModel->IsValid(row, col) && m_pModel->Attr(row, col).bBold;
}

bool CXListCtrl::SetComboBox(int row, int col, bool enable, const QStringList& choices, int listHeight,
                             int defaultChoice)
{
    SXCellAttr* a = m_pModel->MutableAttr(row, col);
    if (!a)
        return false;
    a->bCombo = enable;
    a->comboChoices = enable ? choices : QStringList();
    a->nComboListHeight = std::max(1, listHeight);
    a->nComboDefault = defaultChoice;
    m_pModel->CellChanged(row, col);
    return true;
}

QString CXListCtrl::GetComboText(int row, int col) const
{
    if (!m_pModel->IsValid(row, col))
        return QString();
    const QString text = m_pModel->Text(row, col);
    const SXCellAttr& a = m_pModel->Attr(row, col);
    return text.isEmpty() && a.bCombo ? a.comboChoices.value(a.nComboDefault) : text;
}

bool CXListCtrl::SetProgress(int row, int col, bool showText, const QString& text)
{
    SXCellAttr* a = m_pModel->MutableAttr(row, col);
    if (!a)
        return false;
    a->bProgress = true;
    a->bShowProgressText = showText;
    a->strProgressText = text;
    a->nProgressComplete = 0;
    m_pModel->CellChanged(row, col);
    return true;
}

bool CXListCtrl::UpdateProgress(int row, int col, int percent)
{
    if (!m_pModel->IsValid(row, col) || !m_pModel->Attr(row, col).bProgress)
        return false;
    SXCellAttr* a = m_pModel->MutableAttr(row, col);
    a->nProgressComplete = std::clamp(percent, 0, 100);
    m_pModel->CellChanged(row, col);
    return true;
}

bool CXListCtrl::DeleteProgress(int row, int col)
{
    if (!m_pModel->IsValid(row, col) || !m_pModel->Attr(row, col).bProgress)
        return false;
    SXCellAttr* a = m_pModel->MutableAttr(row, col);
    a->bProgress = false;
    m_pModel->CellChanged(row, col);
    return true;
}

int CXListCtrl::GetCurSel() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

bool CXListCtrl::SetCurSel(int row)
{
    if (row < 0 || row >= GetItemCount() || !GetEnabled(row) || GetColumnCount() == 0)
        return false;
    setCurrentIndex(m_pModel->index(row, 0));
    selectRow(row);
    return true;
}

void CXListCtrl::SetRowHeight(int pixels)
{
    if (pixels <= 0)
        return;
    verticalHeader()->setMinimumSectionSize(std::min(pixels, verticalHeader()->minimumSectionSize()));
    verticalHeader()->setDefaultSectionSize(pixels);
}

int CXListCtrl::GetRowHeight() const
{
    return verticalHeader()->defaultSectionSize();
}

void CXListCtrl::SetFullRowSelect(bool on)
{
    setSelectionBehavior(on ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
}

bool CXListCtrl::SetHeaderCheckedState(int col, int state)
{
    return m_pModel->SetHeaderCheck(col, state);
}

int CXListCtrl::GetHeaderCheckedState(int col) const
{
    return m_pModel->HeaderCheck(col);
}

void CXListCtrl::SetRedraw(bool redraw)
{
    if (!redraw) {
        if (m_nRedrawOff++ == 0) {
            CloseCombo(false);
            setUpdatesEnabled(false);
            m_pModel->BeginBatch();
        }
    } else if (m_nRedrawOff > 0 && --m_nRedrawOff == 0) {
        m_pModel->EndBatch();
        setUpdatesEnabled(true);
    }
}

QString CXListCtrl::EmptyText()
{
    return QStringLiteral("There are no items to show in this view.");
}

QRect CXListCtrl::EmptyTextRect() const
{
    const int w = fontMetrics().horizontalAdvance(EmptyText());
    const int vw = viewport()->width();
    return QRect((vw - w) / 2, 10, w, fontMetrics().height());
}

void CXListCtrl::paintEvent(QPaintEvent* event)
{
    QTableView::paintEvent(event);
    if (GetItemCount() == 0) {
        QPainter p(viewport());
        p.setPen(palette().color(QPalette::WindowText));
        p.setFont(font());
        p.drawText(EmptyTextRect(), Qt::AlignHCenter | Qt::AlignTop, EmptyText());
    }
}

void CXListCtrl::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid()) {
        QTableView::mousePressEvent(event);
        return;
    }
    const int row = index.row(), col = index.column();
    if (!GetEnabled(row)) {
        // A disabled row ignores clicks altogether.
        event->accept();
        return;
    }
    if (m_pCombo)
        CloseCombo(false);
    QTableView::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    const SXCellAttr& a = m_pModel->Attr(row, col);
    if (a.bCombo && !a.bProgress) {
        OpenCombo(row, col);
    } else if (!a.bProgress && a.nCheckedState >= 0) {
        SXCellAttr* m = m_pModel->MutableAttr(row, col);
        m->nCheckedState = m->nCheckedState == 1 ? 0 : 1;
        m_pModel->CellChanged(row, col);
        emit checkboxClicked(row, col);
        UpdateHeaderCheck(col);
    }
    emit itemClicked(row, col);
}

void CXListCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second click of a double click counts as a click of its own.
    mousePressEvent(event);
}

void CXListCtrl::OnHeaderCheckClicked(int col)
{
    const int state = m_pModel->HeaderCheck(col);
    if (state <= 0)
        return;
    const int newCheck = state == 1 ? 1 : 0;
    for (int row = 0; row < GetItemCount(); ++row) {
        if (m_pModel->Attr(row, col).nCheckedState >= 0) {
            m_pModel->MutableAttr(row, col)->nCheckedState = qint8(newCheck);
            m_pModel->CellChanged(row, col);
        }
    }
    m_pModel->SetHeaderCheck(col, state == 1 ? 2 : 1);
}

void CXListCtrl::UpdateHeaderCheck(int col)
{
    if (m_pModel->HeaderCheck(col) <= 0)
        return;
    bool all = true;
    for (int row = 0; row < GetItemCount() && all; ++row)
        all = m_pModel->Attr(row, col).nCheckedState == 1;
    m_pModel->SetHeaderCheck(col, all ? 2 : 1);
}

void CXListCtrl::OpenCombo(int row, int col)
{
    CloseCombo(false);
    const SXCellAttr& a = m_pModel->Attr(row, col);
    auto* combo = new CXComboList(viewport());
    combo->addItems(a.comboChoices);
    combo->setMaxVisibleItems(a.nComboListHeight);
    const int at = a.comboChoices.indexOf(GetComboText(row, col));
    combo->setCurrentIndex(at >= 0 ? at : std::min<int>(a.nComboDefault, int(a.comboChoices.size()) - 1));
    QRect r = visualRect(m_pModel->index(row, col));
    r.setHeight(std::max(r.height(), combo->sizeHint().height()));
    combo->setGeometry(r);
    m_pCombo = combo;
    m_nComboRow = row;
    m_nComboCol = col;
    connect(combo, &QComboBox::activated, this, [this](int) { CloseCombo(true); });
    // Closing the popup without a choice ends the drop-down without a change; the choice, when
    // there is one, arrives first through activated().
    combo->onPopupHidden = [this, combo] {
        QTimer::singleShot(0, this, [this, combo] {
            if (m_pCombo == combo)
                CloseCombo(false);
        });
    };
    combo->show();
    combo->setFocus();
    combo->showPopup();
}

void CXListCtrl::CloseCombo(bool take)
{
    if (m_bClosingCombo || !m_pCombo)
        return;
    m_bClosingCombo = true;
    QComboBox* combo = m_pCombo;
    const int row = m_nComboRow, col = m_nComboCol;
    m_pCombo = nullptr;
    m_nComboRow = m_nComboCol = -1;
    static_cast<CXComboList*>(combo)->onPopupHidden = nullptr;
    if (take && combo->currentIndex() >= 0) {
        m_pModel->SetText(row, col, combo->currentText());
        emit comboSelection(row, col);
    }
    combo->hide();
    combo->deleteLater();
    setFocus();
    m_bClosingCombo = false;
}
