#include "XListModel.h"

#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace {

const SXCellAttr& DefaultAttr()
{
    static const SXCellAttr attr;
    return attr;
}

quint32 EndOffset(const QString& packed, int col)
{
    return (quint32(packed.at(2 * col).unicode()) << 16) | packed.at(2 * col + 1).unicode();
}

// Builds a packed row string from cell texts.
QString Pack(const QList<QStringView>& cells)
{
    qsizetype total = 0;
    for (const QStringView& c : cells)
        total += c.size();
    QString packed;
    packed.reserve(2 * cells.size() + total);
    quint32 end = 0;
    for (const QStringView& c : cells) {
        end += quint32(c.size());
        packed.append(QChar(char16_t(end >> 16)));
        packed.append(QChar(char16_t(end & 0xFFFF)));
    }
    for (const QStringView& c : cells)
        packed.append(c);
    return packed;
}

// A small picture of the header's check image.
QPixmap HeaderCheckPixmap(bool checked)
{
    QPixmap pm(13, 13);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QColor(0x5A, 0x66, 0x78));
    p.setBrush(QColor(0xFF, 0xFF, 0xFF));
    p.drawRect(QRectF(0.5, 0.5, 12, 12));
    if (checked) {
        p.setPen(QPen(QColor(0x1C, 0x4D, 0x8A), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(3, 6.5), QPointF(5.5, 9), QPointF(10, 3.5)}));
    }
    return pm;
}

} // namespace

CXListModel::CXListModel(QObject* parent) : QAbstractTableModel(parent) {}

CXListModel::~CXListModel() = default;

int CXListModel::InsertColumn(int col, const QString& heading, Qt::Alignment align, int width)
{
    if (col < 0)
        return -1;
    col = std::min(col, ColumnCount());
    beginInsertColumns(QModelIndex(), col, col);
    m_columns.insert(m_columns.begin() + col, SColumn{heading, align, width, 0});
    // Rows keep their cells by position; shift the texts and attributes of later cells.
    for (SRow& r : m_rows) {
        if (col < r.nCells) {
            QList<QString> cells;
            for (int c = 0; c < r.nCells; ++c)
                cells.append(CellOf(r, c));
            cells.insert(col, QString());
            QList<QStringView> views(cells.begin(), cells.end());
            r.strPacked = Pack(views);
            r.nCells = quint16(cells.size());
        }
        if (r.pAttrs && col < r.nAttrCells) {
            std::unique_ptr<SXCellAttr[]> attrs(new SXCellAttr[r.nAttrCells + 1]);
            for (int c = 0, s = 0; c < r.nAttrCells + 1; ++c)
                attrs[c] = c == col ? SXCellAttr() : r.pAttrs[s++];
            r.pAttrs = std::move(attrs);
            ++r.nAttrCells;
        }
    }
    endInsertColumns();
    return col;
}

bool CXListModel::DeleteColumn(int col)
{
    if (col < 0 || col >= ColumnCount())
        return false;
    beginRemoveColumns(QModelIndex(), col, col);
    m_columns.erase(m_columns.begin() + col);
    for (SRow& r : m_rows) {
        if (col < r.nCells) {
            QList<QString> cells;
            for (int c = 0; c < r.nCells; ++c)
                if (c != col)
                    cells.append(CellOf(r, c));
            QList<QStringView> views(cells.begin(), cells.end());
            r.strPacked = Pack(views);
            r.nCells = quint16(cells.size());
        }
        if (r.pAttrs && col < r.nAttrCells) {
            for (int c = col; c + 1 < r.nAttrCells; ++c)
                r.pAttrs[c] = r.pAttrs[c + 1];
            --r.nAttrCells;
        }
    }
    endRemoveColumns();
    return true;
}

Qt::Alignment CXListModel::ColumnAlignment(int col) const
{
    return col >= 0 && col < ColumnCount() ? m_columns[col].align : Qt::Alignment(Qt::AlignLeft);
}

bool CXListModel::SetHeaderCheck(int col, int state)
{
    if (col < 0 || col >= ColumnCount() || state < 0 || state > 2)
        return false;
    if (m_columns[col].nHeaderCheck != state) {
        m_columns[col].nHeaderCheck = state;
        emit headerDataChanged(Qt::Horizontal, col, col);
    }
    return true;
}

int CXListModel::HeaderCheck(int col) const
{
    return col >= 0 && col < ColumnCount() ? m_columns[col].nHeaderCheck : -1;
}

int CXListModel::InsertRow(int row, const QString& text, QRgb crText, QRgb crBackground)
{
    if (row < 0 || ColumnCount() == 0 || RowCount() >= 0x7FFFFFFF)
        return -1;
    row = std::min(row, RowCount());
    SRow r;
    r.strPacked = Pack({QStringView(text)});
    r.nCells = 1;
    if (qAlpha(crText) != 0 || qAlpha(crBackground) != 0) {
        // Colours given at insertion apply to every cell of the row.
        r.nAttrCells = quint16(ColumnCount());
        r.pAttrs.reset(new SXCellAttr[r.nAttrCells]);
        for (int c = 0; c < r.nAttrCells; ++c) {
            r.pAttrs[c].crText = crText;
            r.pAttrs[c].crBackground = crBackground;
        }
    }
    if (!InBatch())
        beginInsertRows(QModelIndex(), row, row);
    m_rows.insert(m_rows.begin() + row, std::move(r));
    if (!InBatch())
        endInsertRows();
    return row;
}

bool CXListModel::DeleteRow(int row)
{
    if (row < 0 || row >= RowCount())
        return false;
    if (!InBatch())
        beginRemoveRows(QModelIndex(), row, row);
    m_rows.erase(m_rows.begin() + row);
    if (!InBatch())
        endRemoveRows();
    return true;
}

void CXListModel::DeleteAllRows()
{
    if (!InBatch())
        beginResetModel();
    std::vector<SRow>().swap(m_rows);
    if (!InBatch())
        endResetModel();
}

SXPackedRow CXListModel::PackCells(const QList<QStringView>& cells)
{
    return SXPackedRow{Pack(cells), quint16(cells.size())};
}

void CXListModel::ReplaceRows(std::vector<SXPackedRow>&& rows)
{
    if (!InBatch())
        beginResetModel();
    std::vector<SRow> fresh(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        fresh[i].strPacked = std::move(rows[i].strPacked);
        fresh[i].nCells = rows[i].nCells;
    }
    m_rows.swap(fresh);
    if (!InBatch())
        endResetModel();
}

QString CXListModel::CellOf(const SRow& r, int col)
{
    if (col >= r.nCells)
        return QString();
    const quint32 start = col == 0 ? 0 : EndOffset(r.strPacked, col - 1);
    const quint32 end = EndOffset(r.strPacked, col);
    return r.strPacked.mid(2 * r.nCells + start, end - start);
}

void CXListModel::SetCellOf(SRow& r, int col, const QString& text)
{
    const int n = std::max<int>(r.nCells, col + 1);
    QList<QString> keep;
    keep.reserve(n);
    for (int c = 0; c < n; ++c)
        keep.append(c == col ? text : CellOf(r, c));
    QList<QStringView> views(keep.begin(), keep.end());
    r.strPacked = Pack(views);
    r.nCells = quint16(n);
}

QString CXListModel::Text(int row, int col) const
{
    if (!IsValid(row, col))
        return QString();
    return CellOf(m_rows[row], col);
}

bool CXListModel::SetText(int row, int col, const QString& text)
{
    if (!IsValid(row, col))
        return false;
    SetCellOf(m_rows[row], col, text);
    CellChanged(row, col);
    return true;
}

bool CXListModel::SetColors(int row, int col, QRgb crText, QRgb crBackground)
{
    SXCellAttr* a = nullptr;
    if (qAlpha(crText) == 0 && qAlpha(crBackground) == 0) {
        // Back to the defaults: only touch rows that have records.
        if (!IsValid(row, col))
            return false;
        const SRow& r = m_rows[row];
        if (!r.pAttrs || col >= r.nAttrCells)
            return true;
        a = MutableAttr(row, col);
    } else {
        a = MutableAttr(row, col);
    }
    if (!a)
        return false;
    a->crText = crText;
    a->crBackground = crBackground;
    CellChanged(row, col);
    return true;
}

bool CXListModel::IsRowEnabled(int row) const
{
    return row >= 0 && row < RowCount() && m_rows[row].bEnabled;
}

bool CXListModel::SetRowEnabled(int row, bool enabled)
{
    if (row < 0 || row >= RowCount())
        return false;
    if (m_rows[row].bEnabled != enabled) {
        m_rows[row].bEnabled = enabled;
        if (!InBatch() && ColumnCount() > 0)
            emit dataChanged(index(row, 0), index(row, ColumnCount() - 1));
    }
    return true;
}

const SXCellAttr& CXListModel::Attr(int row, int col) const
{
    if (!IsValid(row, col))
        return DefaultAttr();
    const SRow& r = m_rows[row];
    if (!r.pAttrs || col >= r.nAttrCells)
        return DefaultAttr();
    return r.pAttrs[col];
}

SXCellAttr* CXListModel::MutableAttr(int row, int col)
{
    if (!IsValid(row, col))
        return nullptr;
    SRow& r = m_rows[row];
    if (!r.pAttrs || col >= r.nAttrCells) {
        const int n = ColumnCount();
        std::unique_ptr<SXCellAttr[]> attrs(new SXCellAttr[n]);
        for (int c = 0; c < r.nAttrCells && c < n; ++c)
            attrs[c] = r.pAttrs[c];
        r.pAttrs = std::move(attrs);
        r.nAttrCells = quint16(n);
    }
    return &r.pAttrs[col];
}

void CXListModel::CellChanged(int row, int col)
{
    if (!InBatch() && IsValid(row, col)) {
        const QModelIndex i = index(row, col);
        emit dataChanged(i, i);
    }
}

void CXListModel::BeginBatch()
{
    if (m_nBatch++ == 0)
        beginResetModel();
}

void CXListModel::EndBatch()
{
    if (m_nBatch > 0 && --m_nBatch == 0)
        endResetModel();
}

size_t CXListModel::MemoryEstimate() const
{
    size_t bytes = m_rows.capacity() * sizeof(SRow);
    for (const SRow& r : m_rows) {
        bytes += size_t(r.strPacked.capacity()) * 2 + 16;
        bytes += size_t(r.nAttrCells) * sizeof(SXCellAttr);
    }
    return bytes;
}

int CXListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : RowCount();
}

int CXListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount();
}

QVariant CXListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !IsValid(index.row(), index.column()))
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return Text(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(ColumnAlignment(index.column()) | Qt::AlignVCenter);
    case Qt::CheckStateRole: {
        const int s = Attr(index.row(), index.column()).nCheckedState;
        if (s < 0)
            return QVariant();
        return s == 1 ? Qt::Checked : Qt::Unchecked;
    }
    default:
        return QVariant();
    }
}

QVariant CXListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    const SColumn& c = m_columns[section];
    switch (role) {
    case Qt::DisplayRole:
        return c.strHeading;
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(c.align | Qt::AlignVCenter);
    case Qt::DecorationRole:
        if (c.nHeaderCheck == 0)
            return QVariant();
        return HeaderCheckPixmap(c.nHeaderCheck == 2);
    default:
        return QVariant();
    }
}

Qt::ItemFlags CXListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (!IsRowEnabled(index.row()))
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
