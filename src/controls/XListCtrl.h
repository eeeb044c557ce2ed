#pragma once
// The extended list control: a report list whose cells each carry their own text and background
// colours and may show a check box, a drop-down choice or a progress bar. Rows can be disabled
// (drawn grey; clicks on them do nothing) and cells made bold.
//
// Cell drawing, first match wins:
//   progress cell   framed bar filled to its share, text "%d%%"
//   drop-down cell  on the current row a combo look with its text (the default choice while
//                   the cell is empty) and a drop-down button; elsewhere plain text
//   check box cell  a check box with the text beside it
//   otherwise       the text
// With no rows the list shows "There are no items to show in this view." centred, 10 pixels
// below the header.
//
// Notifications: the signals checkboxClicked(row, col) when a check box cell is clicked and
// comboSelection(row, col) when a drop-down choice is made.
//
// Rows and columns count from 0; a call with a row or column out of range does nothing and
// returns false or -1.
#include "RowList.h"

#include <QColor>
#include <QHeaderView>
#include <QStringList>
#include <QTableView>

class CXListModel;
class QComboBox;

// The header: can show a check image in a column's section (1 clear, 2 checked; 0 none).
// A click on such a section is turned into sectionCheckClicked(col).
class CXHeaderCtrl : public QHeaderView
{
    Q_OBJECT
public:
    explicit CXHeaderCtrl(QWidget* parent = nullptr);

    bool SetCheckImage(int col, int state);
    int GetCheckImage(int col) const;

signals:
    void sectionCheckClicked(int col);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    CXListModel* Model() const;
    int m_nPressed = -1;
};

class CXListCtrl : public QTableView, public IRowList
{
    Q_OBJECT
public:
    explicit CXListCtrl(QWidget* parent = nullptr);
    ~CXListCtrl() override;

    CXListModel* Model() const { return m_pModel; }
    CXHeaderCtrl* GetHeaderCtrl() const { return m_pHeader; }

    // ---- columns ----
    // format: Qt::AlignLeft, Qt::AlignHCenter or Qt::AlignRight; width in pixels.
    int InsertColumn(int col, const QString& heading, Qt::Alignment format = Qt::AlignLeft, int width = 100);
    bool DeleteColumn(int col);
    int GetColumnCount() const override;
    bool SetColumnWidth(int col, int width);
    int GetColumnWidth(int col) const;

    // ---- rows ----
    int GetItemCount() const override;
    // Inserts a row with the text of column 0; returns its index or -1. Colours given here apply
    // to every cell of the row; an invalid QColor keeps the control's default.
    int InsertItem(int row, const QString& text) override;
    int InsertItem(int row, const QString& text, const QColor& crText, const QColor& crBackground);
    bool DeleteItem(int row) override;
    bool DeleteAllItems() override;

    // Sets a cell's text (in the control's default colours), or its text and colours; an invalid
    // QColor means the control's default colour.
    bool SetItemText(int row, int col, const QString& text) override;
    bool SetItemText(int row, int col, const QString& text, const QColor& crText,
                     const QColor& crBackground = QColor());
    QString GetItemText(int row, int col) const override;
    bool SetItemColors(int row, int col, const QColor& crText, const QColor& crBackground);

    // Check box: -1 none, 0 clear, 1 checked. Setting it also sets the column's header image,
    // when the column shows one, to 2 if every row of the column is checked and 1 otherwise.
    bool SetCheckbox(int row, int col, int state);
    int GetCheckbox(int row, int col) const;

    bool SetEnabled(int row, bool enabled);
    bool GetEnabled(int row) const;
    bool SetBold(int row, int col, bool bold);
    bool GetBold(int row, int col) const;

    // Drop-down cell with its choices; `listHeight` visible choices, `defaultChoice` shown while
    // the cell is empty.
    bool SetComboBox(int row, int col, bool enable, const QStringList& choices, int listHeight = 10,
                     int defaultChoice = 0);
    // The cell's text, or its default choice while the text is empty.
    QString GetComboText(int row, int col) const;

    // Progress cell: shown with "%d%%" unless another text is given.
    bool SetProgress(int row, int col, bool showText = true, const QString& text = QString());
    bool UpdateProgress(int row, int col, int percent);
    bool DeleteProgress(int row, int col);

    // The selected row, or -1.
    int GetCurSel() const;
    bool SetCurSel(int row);

    // ---- look ----
    void SetRowHeight(int pixels);
    int GetRowHeight() const;
    void SetGridLines(bool on) { setShowGrid(on); }
    void SetFullRowSelect(bool on);

    // Header check image of a column: 0 none, 1 clear, 2 checked.
    bool SetHeaderCheckedState(int col, int state);
    int GetHeaderCheckedState(int col) const;

    // Bulk fill: between SetRedraw(false) and SetRedraw(true) rows are added without drawing or
    // telling the views row by row; the list is drawn once at the end. Calls nest.
    void SetRedraw(bool redraw);

    // The text shown while the list is empty, and whether a paint draws it now.
    static QString EmptyText();
    bool IsEmptyTextShown() const { return GetItemCount() == 0; }
    // Rectangle of the empty text in viewport coordinates.
    QRect EmptyTextRect() const;

    // The drop-down currently open over a cell (tests), or nullptr.
    QComboBox* OpenComboBox() const { return m_pCombo; }

signals:
    void checkboxClicked(int row, int col);
    void comboSelection(int row, int col);
    // A left click on a cell of an enabled row, after the control's own handling (check box
    // toggled, selection moved).
    void itemClicked(int row, int col);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void OnHeaderCheckClicked(int col);
    void UpdateHeaderCheck(int col);
    void OpenCombo(int row, int col);
    void CloseCombo(bool take);

    CXListModel* m_pModel;
    CXHeaderCtrl* m_pHeader;
    QComboBox* m_pCombo = nullptr;
    int m_nComboRow = -1;
    int m_nComboCol = -1;
    bool m_bClosingCombo = false; // a second close while one runs does nothing
    int m_nRedrawOff = 0;
};
