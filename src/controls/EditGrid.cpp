#include "EditGrid.h"

#include "XListModel.h"
#include "platform/Dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QValidator>

#include <algorithm>
#include <functional>
#include <iterator>

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

// Judges every change of an edit field's text against the field's rule; a refused change is
// undone by the field, with a beep.
class CRuleValidator : public QValidator
{
public:
    CRuleValidator(const SEditFieldRule& rule, QObject* parent) : QValidator(parent), m_rule(rule) {}

    // The text the field holds now, the base against which the next change is judged.
    void SetAccepted(const QString& text) { m_strAccepted = text; }

    State validate(QString& input, int&) const override
    {
        if (AcceptEditChange(m_rule, m_strAccepted, input))
            return Acceptable;
        QApplication::beep();
        return Invalid;
    }

private:
    SEditFieldRule m_rule;
    QString m_strAccepted;
};

// The in-place edit field.
class CGridEdit : public QLineEdit
{
public:
    CGridEdit(const SEditFieldRule& rule, QWidget* parent)
        : QLineEdit(parent), m_pValidator(new CRuleValidator(rule, this))
    {
        setValidator(m_pValidator);
        connect(this, &QLineEdit::textChanged, this,
                [this](const QString& t) { m_pValidator->SetAccepted(t); });
    }

    // Shows `text` whatever the rules say of it (a cell's value) and selects it.
    void Reset(const QString& text)
    {
        m_pValidator->SetAccepted(text);
        setText(text);
        selectAll();
    }

    std::function<void(bool keep)> onEnd;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (IsEnter(event->key()) || event->key() == Qt::Key_Escape) {
            if (onEnd)
                onEnd(event->key() != Qt::Key_Escape);
            return; // the edit may have ended: nothing of this field is touched any more
        }
        QLineEdit::keyPressEvent(event);
    }

private:
    CRuleValidator* m_pValidator;
};

// One part of an IP address field: digits only, beeping; a number above 255 is reported.
class CIpPartValidator : public QValidator
{
public:
    CIpPartValidator(std::function<void()> outOfRange, QObject* parent)
        : QValidator(parent), m_outOfRange(std::move(outOfRange))
    {
    }

    State validate(QString& input, int&) const override
    {
        switch (CheckIpPart(input)) {
        case EIpPart::Accepted:
            return Acceptable;
        case EIpPart::NotANumber:
            QApplication::beep();
            return Invalid;
        case EIpPart::OutOfRange:
            m_outOfRange();
            return Invalid;
        }
        return Invalid;
    }

private:
    std::function<void()> m_outOfRange;
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
        QLineEdit* field = new QLineEdit(this);
        m_fields[i] = field;
        field->setFrame(false);
        field->setAlignment(Qt::AlignCenter);
        // The message about a refused part is shown by whoever listens, after the change has
        // been undone (a box cannot open in the middle of it).
        field->setValidator(new CIpPartValidator([this] { emit partOutOfRange(); }, field));
        field->installEventFilter(this);
        // A full part moves on to the next one.
        connect(field, &QLineEdit::textEdited, this, [this, i, field] {
            if (i < 3 && field->text().size() == 3 && field->cursorPosition() == 3) {
                m_fields[i + 1]->setFocus();
                m_fields[i + 1]->selectAll();
            }
        });
        layout->addWidget(field, 1);
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

bool CIpAddressEdit::IsModified() const
{
    return std::any_of(std::begin(m_fields), std::end(m_fields),
                       [](const QLineEdit* f) { return f->isModified(); });
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
    if (key->text() == QLatin1String(".")) {
        if (i < 3 && !field->text().isEmpty()) {
            m_fields[i + 1]->setFocus();
            m_fields[i + 1]->selectAll();
        }
        return true;
    }
    return false; // the field takes the key; its validator judges the change
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
    if (row >= 0)
        CancelEditFromRow(std::min(row, GetItemCount()));
    ++m_nChanges;
    const int at = m_pModel->InsertRow(row, text);
    if (at >= 0)
        MoveDefs(at, 1);
    return at;
}

bool CEditGrid::DeleteItem(int row)
{
    if (row >= 0 && row < GetItemCount())
        CancelEditFromRow(row);
    ++m_nChanges;
    if (!m_pModel->DeleteRow(row))
        return false;
    MoveDefs(row, -1);
    return true;
}

bool CEditGrid::DeleteAllItems()
{
    EndEdit(false, false);
    ++m_nChanges;
    m_pModel->DeleteAllRows();
    m_defs.clear();
    return true;
}

void CEditGrid::MoveDefs(int row, int by)
{
    QHash<quint64, SEditorDef> moved;
    for (auto it = m_defs.cbegin(); it != m_defs.cend(); ++it) {
        const int r = int(it.key() >> 32);
        const int c = int(quint32(it.key()));
        if (r < row)
            moved.insert(it.key(), *it);
        else if (by > 0 || r > row)
            moved.insert(Key(r + by, c), *it);
    }
    m_defs.swap(moved);
}

void CEditGrid::CancelEditFromRow(int row)
{
    if (m_pEditor && row <= m_nEditRow)
        EndEdit(false, false);
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
    ++m_nChanges;
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

bool CEditGrid::AddEditDef(int row, int col, const QString& allowed, int minLength, int byteWidth,
                           int maxBytes)
{
    if (byteWidth < 0 || byteWidth > 4 || maxBytes < 0)
        return false;
    SEditorDef d;
    d.kind = EDITOR_EDIT;
    d.rule = SEditFieldRule{allowed, std::max(0, minLength), byteWidth, maxBytes};
    return AddDef(row, col, d);
}

bool CEditGrid::AddIpDef(int row, int col)
{
    SEditorDef d;
    d.kind = EDITOR_IP;
    return AddDef(row, col, d);
}

void CEditGrid::ClearEditorDefs()
{
    EndEdit(false, false);
    ++m_nChanges;
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
    if (!m_pModel->IsValid(row, col) || IsReadOnlyColumn(col) || !DefAt(row, col))
        return false;
    if (m_pEditor) {
        // Ending the open edit may show a message, and while it is up the grid may change: the
        // cell asked for may then be another one or gone.
        const quint64 changes = m_nChanges;
        if (!EndEdit(true, true) || m_pEditor || changes != m_nChanges)
            return false;
    }
    const SEditorDef def = *DefAt(row, col);
    const QString text = m_pModel->Text(row, col);
    const quint64 id = m_nEditId + 1;
    QWidget* editor = nullptr;
    auto end = [this](bool keep) { EndEdit(keep, true); };
    switch (def.kind) {
    case EDITOR_COMBO: {
        auto* combo = new CGridCombo(viewport());
        combo->addItems(def.items);
        combo->setCurrentIndex(std::max(0, int(def.items.indexOf(text))));
        combo->onEnd = end;
        connect(combo, &QComboBox::activated, this, [this](int) { EndEdit(true, true); });
        editor = combo;
        break;
    }
    case EDITOR_EDIT: {
        auto* edit = new CGridEdit(def.rule, viewport());
        edit->Reset(text);
        edit->onEnd = end;
        editor = edit;
        break;
    }
    case EDITOR_IP: {
        auto* ip = new CIpAddressEdit(viewport());
        ip->SetAddress(text);
        connect(ip, &CIpAddressEdit::returnPressed, this, [this] { EndEdit(true, true); });
        connect(ip, &CIpAddressEdit::escapePressed, this, [this] { EndEdit(false, true); });
        connect(
            ip, &CIpAddressEdit::partOutOfRange, this,
            [this, id] {
                if (m_pEditor && m_nEditId == id)
                    TellUser(QString::fromLatin1(IP_PART_RANGE_TEXT));
            },
            Qt::QueuedConnection);
        editor = ip;
        break;
    }
    default:
        return false;
    }
    m_pEditor = editor;
    m_editDef = def;
    m_nEditId = id;
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
        return ip->IsModified() ? ip->Address() : m_strOldText; // untouched: no "0.0.0.0" for an empty cell
    return m_strOldText;
}

bool CEditGrid::TellUser(const QString& text)
{
    const quint64 edit = m_nEditId;
    QWidget* focus = QApplication::focusWidget();
    const QPointer<QWidget> back = IsInside(focus, m_pEditor) ? focus : m_pEditor;
    const QPointer<CEditGrid> self(this);
    const bool wasShowing = m_bShowingMsg;
    m_bShowingMsg = true;
    Dialogs::MessageBox(this, text, QStringLiteral("KOVA QPX"), MB_OK);
    if (self.isNull())
        return false;
    m_bShowingMsg = wasShowing;
    if (!m_pEditor || m_nEditId != edit)
        return false;
    if (back)
        back->setFocus(Qt::OtherFocusReason);
    return true;
}

bool CEditGrid::EndEdit(bool keep, bool checkLength)
{
    if (!m_pEditor || m_bEnding)
        return true;
    QString text = keep ? EditorText() : m_strOldText;
    // An unchanged value is no edit: it leaves without a check, whatever it holds.
    if (keep && text != m_strOldText && m_editDef.kind == EDITOR_EDIT) {
        const SEditFieldRule rule = m_editDef.rule;
        if (!AcceptEditResult(rule, text)) {
            text = m_strOldText;
        } else if (!MeetsMinimumLength(rule, text)) {
            if (!checkLength) {
                text = m_strOldText; // closed from code: a too-short text never reaches the cell
            } else {
                if (TellUser(QString::asprintf("This item's minimum size is %d.", rule.nMinLength))) {
                    // The refused text does not stay in the cell: the field shows the cell's value again.
                    if (auto* edit = dynamic_cast<CGridEdit*>(m_pEditor))
                        edit->Reset(m_strOldText);
                }
                return false;
            }
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
    const quint64 changes = m_nChanges;
    const QPointer<CEditGrid> self(this);
    emit endLabelEdit(row, col, text);
    if (self.isNull())
        return true;
    if (changes == m_nChanges) // a receiver that changed the rows has its own text there now
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
