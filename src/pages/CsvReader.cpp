#include "CsvReader.h"

#include "plugin/ByteText.h"

#include <QFile>

#include <string>

namespace {

QByteArrayView TrimBlanks(const std::string& s)
{
    size_t b = 0;
    size_t e = s.size();
    while (b < e && s[b] == ' ')
        ++b;
    while (e > b && s[e - 1] == ' ')
        --e;
    return QByteArrayView(s.data() + b, qsizetype(e - b));
}

class CTableSink : public ICsvSink
{
public:
    explicit CTableSink(SCsvTable& table) : m_table(table) {}
    void InsertRow(int, QByteArrayView name) override
    {
        QByteArrayList row;
        row.reserve(CSV_COLUMNS);
        row.append(name.toByteArray());
        m_table.rows.append(std::move(row));
    }
    void SetField(int row, int column, QByteArrayView text) override
    {
        QByteArrayList& r = m_table.rows[row];
        while (r.size() < column)
            r.append(QByteArray());
        r.append(text.toByteArray());
    }
    void DropField(int, int, QByteArrayView text) override
    {
        if (!text.isEmpty())
            ++m_table.nDroppedFields;
    }

private:
    SCsvTable& m_table;
};

} // namespace

void ParseCsv(QByteArrayView bytes, ICsvSink& sink)
{
    std::string field; // reused: its capacity survives clear()
    int row = 0;
    int column = 0;
    auto store = [&](QByteArrayView text) {
        if (column == 0)
            sink.InsertRow(row, text);
        else if (column < CSV_COLUMNS)
            sink.SetField(row, column, text);
        else
            sink.DropField(row, column, text);
    };

    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    for (; p != end; ++p) {
        switch (*p) {
        case '\r':
            break;
        case ',':
            store(TrimBlanks(field));
            field.clear();
            ++column;
            break;
        case '\n':
            if (!field.empty()) {
                store(TrimBlanks(field));
                field.clear();
                ++row;
            } else if (column > 0) {
                ++row;
            }
            column = 0;
            break;
        default:
            field.push_back(*p);
            break;
        }
    }
    if (!field.empty())
        store(TrimBlanks(field));
}

SCsvTable ParseCsvTable(QByteArrayView bytes)
{
    SCsvTable table;
    CTableSink sink(table);
    ParseCsv(bytes, sink);
    return table;
}

QList<QStringList> ParseCsvRows(QByteArrayView bytes)
{
    QList<QStringList> rows;
    for (const QByteArrayList& fields : ParseCsvTable(bytes).rows) {
        QStringList row;
        row.reserve(fields.size());
        for (const QByteArray& f : fields)
            row.append(TextFromBytes(f));
        rows.append(std::move(row));
    }
    return rows;
}

bool ReadCsvFile(const QString& path, QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.readAll();
    return true;
}

bool ReadCsvRows(const QString& path, QList<QStringList>& rows)
{
    QByteArray bytes;
    if (!ReadCsvFile(path, bytes))
        return false;
    rows = ParseCsvRows(bytes);
    return true;
}

bool IsBlankCsvRow(const QByteArrayList& row)
{
    for (const QByteArray& f : row)
        for (const char c : f)
            if (c != ' ' && c != '\t')
                return false;
    return true;
}

ECsvContent CheckCsvContent(QByteArrayView bytes)
{
    if (bytes.contains('\0'))
        return ECsvContent::NotText;
    for (const QByteArrayList& row : ParseCsvTable(bytes).rows)
        if (!IsBlankCsvRow(row))
            return ECsvContent::Entries;
    return ECsvContent::NoEntries;
}

QString CsvSavePath(const QString& chosen, int filterIndex)
{
    if (filterIndex == 0) {
        if (!chosen.right(4).compare(QLatin1String(".csv"), Qt::CaseInsensitive))
            return chosen;
        return chosen + QStringLiteral(".csv");
    }
    qsizetype i = 0;
    while (i < chosen.size() && chosen.at(i).isSpace())
        ++i;
    return chosen.mid(i);
}
