#pragma once
// Storage of the list controls: rows of cell texts plus optional per-cell attributes.
//
// Lists here grow to 100 000 rows (a phonebook), so a row is kept small:
//   strPacked  one string per row: a header of two UTF-16 units per cell holding the cell's
//              32-bit end offset, then the cell texts back to back
//   pAttrs     per-cell attributes (colours, check box, bold, drop-down, progress), allocated
//              only once a cell of the row leaves the defaults
//   bEnabled   the row's enabled flag, kept apart from the cells so that no cell text carries it
#include <QAbstractTableModel>
#include <QColor>
#include <QStringList>

#include <memory>
#include <vector>

// Attributes of one cell. Colours with alpha 0 mean "the control's default".
struct SXCellAttr
{
    QRgb crText = 0;
    QRgb crBackground = 0;
    qint8 nCheckedState = -1; // -1 no check box, 0 clear, 1 checked
    bool bBold = false;
    bool bCombo = false;
    bool bProgress = false;
    bool bShowProgressText = true;
    int nProgressComplete = 0; // 0..100
    int nComboListHeight = 10; // visible choices of the drop-down
    int nComboDefault = 0;     // choice shown while the cell is empty
    QStringList comboChoices;
    QString strProgressText; // empty: "%d%%"
};

// A row of plain cells (no attributes) in the packed form the model keeps; built on any thread
// with CXListModel::PackCells and handed over with ReplaceRows.
struct SXPackedRow
{
    QString strPacked;
    quint16 nCells = 0;
};

class CXListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit CXListModel(QObject* parent = nullptr);
    ~CXListModel() override;

    // Columns.
    int InsertColumn(int col, const QString& heading, Qt::Alignment align, int width);
    bool DeleteColumn(int col);
    int ColumnCount() const { return static_cast<int>(m_columns.size()); }
    Qt::Alignment ColumnAlignment(int col) const;

    // Header check image of a column: 0 none, 1 clear, 2 checked.
    bool SetHeaderCheck(int col, int state);
    int HeaderCheck(int col) const;

    // Rows. Out-of-range arguments: nothing happens, false / -1 / empty is returned.
    int RowCount() const { return static_cast<int>(m_rows.size()); }
    bool IsValid(int row, int col) const
    {
        return row >= 0 && row < RowCount() && col >= 0 && col < ColumnCount();
    }
    // Inserts before `row` (clamped to the end); returns the new row's index or -1.
    int InsertRow(int row, const QString& text, QRgb crText = 0, QRgb crBackground = 0);
    bool DeleteRow(int row);
    void DeleteAllRows();
    QString Text(int row, int col) const;
    bool SetText(int row, int col, const QString& text);
    bool SetColors(int row, int col, QRgb crText, QRgb crBackground);
    bool IsRowEnabled(int row) const;
    bool SetRowEnabled(int row, bool enabled);
    // The attributes of a cell (defaults for a cell that has none).
    const SXCellAttr& Attr(int row, int col) const;
    // Writable attributes; allocates the row's records. nullptr when out of range.
    SXCellAttr* MutableAttr(int row, int col);
    // Tells the views that a cell's look changed.
    void CellChanged(int row, int col);

    // The row that InsertRow of cells[0] and SetText of the others would make; needs no model.
    static SXPackedRow PackCells(const QList<QStringView>& cells);
    // Puts rows in place of all rows in one step (one reset for the views).
    void ReplaceRows(std::vector<SXPackedRow>&& rows);

    // While batching, row insertions and deletions tell the views nothing; the end of the batch
    // resets them once. Used for bulk fills.
    void BeginBatch();
    void EndBatch();
    bool InBatch() const { return m_nBatch > 0; }

    // Approximate bytes held by the rows (benchmarks).
    size_t MemoryEstimate() const;

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct SColumn
    {
        QString strHeading;
        Qt::Alignment align;
        int nWidth;
        int nHeaderCheck;
    };
    struct SRow
    {
        QString strPacked;
        std::unique_ptr<SXCellAttr[]> pAttrs;
        quint16 nCells = 0;
        quint16 nAttrCells = 0;
        bool bEnabled = true;
    };

    static QString CellOf(const SRow& r, int col);
    static void SetCellOf(SRow& r, int col, const QString& text);

    std::vector<SColumn> m_columns;
    std::vector<SRow> m_rows;
    int m_nBatch = 0;
    bool m_bBatchDirty = false;
};
