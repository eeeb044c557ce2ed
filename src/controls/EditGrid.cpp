#include "EditGrid.h"

#include "XListModel.h"
#include "platform/Dialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include <functional>

namespace {

// True when `w` is `editor` or lies inside it, popups of the editor included.
bool IsInside(const QWidget* w, const QWidget* editor)
{
    for (; w; w = w->parentWidget()) {
        if (w == editor)
            return true;
    }
    return false;
}

bool IsEnter(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// The in-place edit field: every keystroke goes through the field's rule.
class CGridEdit : public QLineEdit
{
public:
    CGridEdit(const SEditFieldRule& rule, QWidget* parent) : QLineEdit(parent), m_rule(rule) {}

    std::function<void(bool keep)> onEnd;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (IsEnter(event->key()) || event->key() == Qt::Key_Escape) {
            if (onEnd)
                onEnd(event->key() != Qt::Key_Escape);
            return;
        }
        EEditKey key = EEditKey::Char;
        QString inserted;
        if (event->key() == Qt::Key_Backspace)
            key = EEditKey::Backspace;
        else if (event->matches(QKeySequence::Copy))
            key = EEditKey::Copy;
        else if (event->matches(QKeySequence::Cut))
            key = EEditKey::Cut;
        else if (event->matches(QKeySequence::Paste))
            key = EEditKey::Paste, inserted = QApplication::clipboard()->text();
        else if (!event->text().isEmpty() && event->text().at(0).isPrint())
            inserted = event->text();
        else {
            QLineEdit::keyPressEvent(event); // cursor movement and the like
            return;
        }
        if (AcceptEditKeystroke(m_rule, key, inserted, TextAfter(inserted))) {
            QLineEdit::keyPressEvent(event);
        } else {
            QApplication::beep();
            event->accept();
        }
    }

private:
    QString TextAfter(const QString& inserted) const
    {
        QString t = text();
        if (hasSelectedText())
            return t.replace(selectionStart(), selectedText().size(), inserted);
        return t.insert(cursorPosition(), inserted);
    }

    SEditFieldRule m_rule;
};

// The in-place drop-down of fixed texts.
class CGridCombo : public QComboBox
{
public:
    using QComboBox::QComboBox;
    std::function<void(bool keep)> onEnd;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if ((IsEnter(event->key()) || event->key() == Qt::Key_Escape) && onEnd) {
            onEnd(event->key() != Qt::Key_Escape);
            return;
        }
        QComboBox::keyPressEvent(event);
    }
};

} // namespace

// ---- CIpAddressEdit -------------------------------------------------------------------------

CIpAddressEdit::CIpAddressEdit(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(0);
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAlignment(Qt::AlignCenter);
            layout->addWidget(dot);
        }
        m_fields[i] = new QLineEdit(this);
        m_fields[i]->setFrame(false);
        m_fields[i]->setMaxLength(3);
        m_fields[i]->setAlignment(Qt::AlignCenter);
        m_fields[i]->installEventFilter(this);
        layout->addWidget(m_fields[i], 1);
    }
    setFocusProxy(m_fields[0]);
}

void CIpAddressEdit::SetAddress(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const int v = parts.value(i).trimmed().toInt(&ok);
        m_fields[i]->setText(parts.size() == 4 && ok && v >= 0 && v <= 255 ? QString::number(v) : QString());
    }
}

QString CIpAddressEdit::Address() const
{
    int v[4];
    for (int i = 0; i < 4; ++i)
        v[i] = m_fields[i]->text().toInt();
    return FormatIpAddress(v[0], v[1], v[2], v[3]);
}

bool CIpAddressEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    int i = 0;
    while (i < 4 && m_fields[i] != watched)
        ++i;
    if (i == 4)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    QLineEdit* field = m_fields[i];
    if (IsEnter(key->key())) {
        emit returnPressed();
        return true;
    }
    if (key->key() == Qt::Key_Escape) {
        emit escapePressed();
        return true;
    }
    if (key->key() == Qt::Key_Backspace && field->text().isEmpty() && i > 0) {
        m_fields[i - 1]->setFocus();
        m_fields[i - 1]->end(false);
        return true;
    }
    const QString t = key->text();
    if (t.isEmpty() || !t.at(0).isPrint())
        return false;
    if (t == QLatin1String(".")) {
        if (i < 3 && !field->text().isEmpty()) {
            m_fields[i + 1]->setFocus();
            m_fields[i + 1]->selectAll();
        }
        return true;
    }
    QString after = field->text();
    if (field->hasSelectedText())
        after.replace(field->selectionStart(), field->selectedText().size(), t);
    else
        after.insert(field->cursorPosition(), t);
    bool ok = false;
    const int v = after.toInt(&ok);
    if (!ok || v > 255 || after.size() > 3 || !t.at(0).isDigit()) {
        QApplication::beep();
        return true;
    }
    field->insert(t);
    if (after.size() == 3 && i < 3) {
        m_fields[i + 1]->setFocus();
        m_fields[i + 1]->selectAll();
    }
    return true;
}

// ---- CEditGrid ------------------------------------------------------------------------------

CEditGrid::CEditGrid(QWidget* parent) : QTableView(parent), m_pModel(new CXListModel(this))
{
    setModel(m_pModel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(20);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(false);
    connect(qApp, &QApplication::focusChanged, this, &CEditGrid::OnFocusChanged);
}

CEditGrid::~CEditGrid()
{
    disconnect(qApp, &QApplication::focusChanged, this, &CEditGrid::OnFocusChanged);
}

int CEditGrid::InsertColumn(int col, const QString& heading, Qt::Alignment format, int width)
{
    const int at = m_pModel->InsertColumn(col, heading, format & Qt::AlignHorizontal_Mask, width);
    if (at >= 0 && width >= 0)
        setColumnWidth(at, width);
    return at;
}

int CEditGrid::GetColumnCount() const
{
    return m_pModel->ColumnCount();
}

int CEditGrid::GetItemCount() const
{
    return m_pModel->RowCount();
}

bool CEditGrid::SetColumnWidth(int col, int width)
{
    if (col < 0 || col >= GetColumnCount() || width < 0)
        return false;
    setColumnWidth(col, width);
    return true;
}

int CEditGrid::GetColumnWidth(int col) const
{
    return col >= 0 && col < GetColumnCount() ? columnWidth(col) : -1;
}

int CEditGrid::InsertItem(int row, const QString& text)
{
    return m_pModel->InsertRow(row, text);
}

bool CEditGrid::DeleteItem(int row)
{
    if (row == m_nEditRow)
        EndEdit(false, false);
    return m_pModel->DeleteRow(row);
}

bool CEditGrid::DeleteAllItems()
{
    EndEdit(false, false);
    m_pModel->DeleteAllRows();
    return true;
}

bool CEditGrid::SetItemText(int row, int col, const QString& text)
{
    return m_pModel->SetText(row, col, text);
}

QString CEditGrid::GetItemText(int row, int col) const
{
    return m_pModel->Text(row, col);
}

void CEditGrid::SetRowHeight(int pixels)
{
    if (pixels > 0)
        verticalHeader()->setDefaultSectionSize(pixels);
}

int CEditGrid::GetRowHeight() const
{
    return verticalHeader()->defaultSectionSize();
}

bool CEditGrid::AddDef(int row, int col, const SEditorDef& def)
{
    if (row < 0 || col < 0)
        return false;
    if (row == m_nEditRow && col == m_nEditCol)
        EndEdit(false, false);
    m_defs.insert(Key(row, col), def);
    return true;
}

bool CEditGrid::AddComboDef(int row, int col, const QStringList& items)
{
    SEditorDef d;
    d.kind = EDITOR_COMBO;
    d.items = items;
    return AddDef(row, col, d);
}

bool CEditGrid::AddEditDef(int row, int col, const QString& allowed, int minLength, int byteWidth)
{
    if (byteWidth < 0 || byteWidth > 4)
        return false;
    SEditorDef d;
    d.kind = EDITOR_EDIT;
    d.rule = SEditFieldRule{allowed, std::max(0, minLength), byteWidth};
    return AddDef(row, col, d);
}

bool CEditGrid::AddIpDef(int row, int col)
{
    SEditorDef d;
    d.kind = EDITOR_IP;
    return AddDef(row, col, d);
}

bool CEditGrid::RemoveEditorDef(int row, int col)
{
    if (row == m_nEditRow && col == m_nEditCol)
        EndEdit(false, false);
    return m_defs.remove(Key(row, col)) > 0;
}

void CEditGrid::ClearEditorDefs()
{
    EndEdit(false, false);
    m_defs.clear();
}

const CEditGrid::SEditorDef* CEditGrid::DefAt(int row, int col) const
{
    auto it = m_defs.constFind(Key(row, col));
    return it == m_defs.constEnd() ? nullptr : &*it;
}

CEditGrid::EEditorKind CEditGrid::EditorKindAt(int row, int col) const
{
    const SEditorDef* d = DefAt(row, col);
    return d ? d->kind : EDITOR_NONE;
}

QStringList CEditGrid::ComboItemsAt(int row, int col) const
{
    const SEditorDef* d = DefAt(row, col);
    return d ? d->items : QStringList();
}

SEditFieldRule CEditGrid::EditRuleAt(int row, int col) const
{
    const SEditorDef* d = DefAt(row, col);
    return d ? d->rule : SEditFieldRule();
}

void CEditGrid::SetReadOnlyColumn(int col, bool readOnly)
{
    m_readOnlyColumns.removeAll(col);
    if (readOnly)
        m_readOnlyColumns.append(col);
}

bool CEditGrid::IsReadOnlyColumn(int col) const
{
    return m_readOnlyColumns.contains(col);
}

bool CEditGrid::OpenEditor(int row, int col)
{
    if (!m_pModel->IsValid(row, col) || IsReadOnlyColumn(col))
        return false;
    const SEditorDef* def = DefAt(row, col);
    if (!def)
        return false;
    if (m_pEditor && !EndEdit(true, true))
        return false;
    def = DefAt(row, col); // ending an edit may have changed the table

    const QString text = m_pModel->Text(row, col);
    QWidget* editor = nullptr;
    auto end = [this](bool keep) { EndEdit(keep, true); };
    switch (def->kind) {
    case EDITOR_COMBO: {
        auto* combo = new CGridCombo(viewport());
        combo->addItems(def->items);
        combo->setCurrentIndex(std::max(0, int(def->items.indexOf(text))));
        combo->onEnd = end;
        connect(combo, &QComboBox::activated, this, [this](int) { EndEdit(true, true); });
        editor = combo;
        break;
    }
    case EDITOR_EDIT: {
        auto* edit = new CGridEdit(def->rule, viewport());
        edit->setText(text);
        edit->selectAll();
        edit->onEnd = end;
        editor = edit;
        break;
    }
    case EDITOR_IP: {
        auto* ip = new CIpAddressEdit(viewport());
        ip->SetAddress(text);
        connect(ip, &CIpAddressEdit::returnPressed, this, [this] { EndEdit(true, true); });
        connect(ip, &CIpAddressEdit::escapePressed, this, [this] { EndEdit(false, true); });
        editor = ip;
        break;
    }
    default:
        return false;
    }
    m_pEditor = editor;
    m_nEditRow = row;
    m_nEditCol = col;
    m_strOldText = text;
    // The editor covers the cell exactly, so the rows around it stay readable.
    editor->setGeometry(visualRect(m_pModel->index(row, col)));
    editor->show();
    editor->setFocus(Qt::MouseFocusReason);
    return true;
}

QString CEditGrid::EditorText() const
{
    if (auto* combo = qobject_cast<QComboBox*>(m_pEditor))
        return combo->currentIndex() >= 0 ? combo->currentText() : m_strOldText;
    if (auto* edit = qobject_cast<QLineEdit*>(m_pEditor))
        return edit->text();
    if (auto* ip = qobject_cast<CIpAddressEdit*>(m_pEditor))
        return ip->Address();
    return m_strOldText;
}

bool CEditGrid::EndEdit(bool keep, bool checkLength)
{
    if (!m_pEditor || m_bEnding)
        return true;
    QString text = keep ? EditorText() : m_strOldText;
    const SEditorDef* def = DefAt(m_nEditRow, m_nEditCol);
    if (keep && def && def->kind == EDITOR_EDIT && !MeetsMinimumLength(def->rule, text)) {
        if (!checkLength) {
            text = m_strOldText; // closed from code: a too-short text never reaches the cell
        } else {
            m_bShowingMsg = true;
            Dialogs::MessageBox(this,
                                QString::asprintf("This item's minimum size is %d.", def->rule.nMinLength),
                                QStringLiteral("KOVA QPX"), MB_OK);
            m_bShowingMsg = false;
            m_pEditor->setFocus(Qt::OtherFocusReason);
            return false;
        }
    }
    m_bEnding = true;
    QWidget* editor = m_pEditor;
    const int row = m_nEditRow, col = m_nEditCol;
    const bool hadFocus = IsInside(QApplication::focusWidget(), editor);
    m_pEditor = nullptr;
    m_nEditRow = m_nEditCol = -1;
    editor->hide();
    editor->deleteLater();
    if (hadFocus)
        setFocus(Qt::OtherFocusReason);
    emit endLabelEdit(row, col, text);
    m_pModel->SetText(row, col, text);
    m_bEnding = false;
    return true;
}

void CEditGrid::CloseEditors()
{
    EndEdit(true, false);
}

void CEditGrid::OnFocusChanged(QWidget* old, QWidget* now)
{
    if (!m_pEditor || m_bEnding || m_bShowingMsg)
        return;
    if (IsInside(old, m_pEditor) && !IsInside(now, m_pEditor))
        EndEdit(true, true);
}

void CEditGrid::mousePressEvent(QMouseEvent* event)
{
    if (m_pEditor) {
        // The focus moving to the grid has normally ended the edit already; an editor that is
        // still open either refused (too short) or never had the focus.
        if (IsInside(QApplication::focusWidget(), m_pEditor) || !EndEdit(true, true)) {
            event->accept();
            return;
        }
    }
    QTableView::mousePressEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid())
        OpenEditor(index.row(), index.column());
}

void CEditGrid::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    if (m_pEditor)
        m_pEditor->move(m_pEditor->pos() + QPoint(dx, dy));
}
