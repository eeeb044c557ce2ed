#pragma once
// The editable grid: a plain list whose cells are edited in place. Whoever fills the grid gives
// single cells an editor definition:
//   drop-down   a fixed list of texts
//   edit field  allowed characters, minimum length, byte width 1..4, text bytes (EditRules.h)
//   IP address  four numbers, returned as "%d.%d.%d.%d"
// A click on a cell with a definition (outside a read-only column) opens its editor over the
// cell. Enter ends the edit and keeps the text, Escape ends it and restores the text the cell had
// before; losing the focus ends it too. Every change of an editor's text, typed, pasted or
// dropped, goes through the rules of EditRules.h. An edit field whose changed text is shorter than
// its minimum length cannot be left: "This item's minimum size is %d." is shown, the field keeps
// the focus and shows the cell's value again; an IP part above 255 is refused with a message too.
// A text the rules refuse never reaches the cell; an editor left unchanged leaves the cell as it
// was. The end of an edit is reported by endLabelEdit(row, col, text)
// (the standard end-of-label-edit notification) and the grid then writes the text into the cell.
//
// A message box runs an event loop: while it is up the grid may be emptied or refilled (a
// disconnection rebuilds the settings catalogue, a plug-in clears its list). Inserting or
// deleting rows at or above the edited row, or changing its definition, cancels the edit first;
// after a box nothing of an edit that ended meanwhile is touched.
//
// Rows and columns count from 0; out-of-range calls do nothing and return false or -1.
#include "EditRules.h"
#include "RowList.h"

#include <QHash>
#include <QStringList>
#include <QTableView>

class CXListModel;
class QLineEdit;

// Four number fields with dots between them, like the platform's IP address control.
class CIpAddressEdit : public QWidget
{
    Q_OBJECT
public:
    explicit CIpAddressEdit(QWidget* parent = nullptr);

    // Takes "a.b.c.d"; missing or bad parts become empty fields.
    void SetAddress(const QString& text);
    // "%d.%d.%d.%d"; an empty field counts as 0.
    QString Address() const;
    // True once the user has changed a part.
    bool IsModified() const;
    QLineEdit* Field(int i) const { return m_fields[i]; }

signals:
    void returnPressed();
    void escapePressed();
    // A change would have put a number above 255 into a part (the change was refused).
    void partOutOfRange();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_fields[4];
};

class CEditGrid : public QTableView, public IRowList
{
    Q_OBJECT
public:
    enum EEditorKind
    {
        EDITOR_NONE,
        EDITOR_COMBO,
        EDITOR_EDIT,
        EDITOR_IP
    };

    explicit CEditGrid(QWidget* parent = nullptr);
    ~CEditGrid() override;

    CXListModel* Model() const { return m_pModel; }

    // ---- columns and rows ----
    int InsertColumn(int col, const QString& heading, Qt::Alignment format = Qt::AlignLeft, int width = 100);
    int GetColumnCount() const override;
    int GetItemCount() const override;
    bool SetColumnWidth(int col, int width);
    int GetColumnWidth(int col) const;
    int InsertItem(int row, const QString& text) override; // returns the new row or -1
    bool DeleteItem(int row) override;
    bool DeleteAllItems() override; // with every definition
    bool SetItemText(int row, int col, const QString& text) override;
    QString GetItemText(int row, int col) const override;
    void SetRowHeight(int pixels);
    int GetRowHeight() const;
    void SetGridLines(bool on) { setShowGrid(on); }

    // ---- editor definitions (one per cell; a new one replaces the old) ----
    // A definition belongs to its row: it moves when rows are inserted or deleted above it and
    // goes with its row.
    bool AddComboDef(int row, int col, const QStringList& items) override;
    bool AddEditDef(int row, int col, const QString& allowed, int minLength, int byteWidth,
                    int maxBytes = 0) override;
    bool AddIpDef(int row, int col) override;
    void ClearEditorDefs() override;
    EEditorKind EditorKindAt(int row, int col) const;
    SEditFieldRule EditRuleAt(int row, int col) const;

    void SetReadOnlyColumn(int col, bool readOnly = true);
    bool IsReadOnlyColumn(int col) const;

    // ---- editing ----
    // Opens the cell's editor as a click does; false when the cell has none (or a column is
    // read-only, or another editor refuses to close).
    bool OpenEditor(int row, int col);
    // Ends any open editor: its text is kept when it satisfies its rules, otherwise the cell keeps
    // its old text. No message is shown. Pages call this before a plug-in runs.
    void CloseEditors();
    bool IsEditing() const { return m_pEditor != nullptr; }
    QWidget* Editor() const { return m_pEditor; }
    int EditRow() const { return m_nEditRow; }
    int EditCol() const { return m_nEditCol; }

signals:
    void endLabelEdit(int row, int col, const QString& text);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    struct SEditorDef
    {
        EEditorKind kind = EDITOR_NONE;
        QStringList items;
        SEditFieldRule rule;
    };
    static quint64 Key(int row, int col) { return (quint64(quint32(row)) << 32) | quint32(col); }
    bool AddDef(int row, int col, const SEditorDef& def);
    // Moves the definitions of rows from `row` on by `by` (+1 insert, -1 delete; a deleted row's
    // own definitions go).
    void MoveDefs(int row, int by);
    const SEditorDef* DefAt(int row, int col) const;
    QString EditorText() const;
    // Ends the edit. keep: take the editor's text if the rules accept it (the minimum length with
    // its message when `checkLength`, silently otherwise); else restore the old text. False when
    // the editor stays open, or when a message was shown (the caller then does nothing more).
    bool EndEdit(bool keep, bool checkLength);
    // Cancels the edit when rows change at or above the edited row.
    void CancelEditFromRow(int row);
    // Shows a message about the open edit. True when the same edit is still open after the box
    // (the focus is then back where it was).
    bool TellUser(const QString& text);
    void OnFocusChanged(QWidget* old, QWidget* now);

    CXListModel* m_pModel;
    QHash<quint64, SEditorDef> m_defs;
    QList<int> m_readOnlyColumns;
    QWidget* m_pEditor = nullptr; // the open editor; cleared before the editor is deleted
    SEditorDef m_editDef;         // the open editor's definition, as it was when it opened
    int m_nEditRow = -1;
    int m_nEditCol = -1;
    QString m_strOldText;
    quint64 m_nEditId = 0;      // counts editors opened, so a late message knows its edit
    quint64 m_nChanges = 0;     // counts changes of rows and definitions
    bool m_bEnding = false;     // guards against ending twice
    bool m_bShowingMsg = false; // a message about the edit is up; focus moves are expected
};
