#include "CsvReader.h"

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

class CRowsSink : public ICsvSink
{
public:
    explicit CRowsSink(QList<QStringList>& rows) : m_rows(rows) {}
    void InsertRow(int, QByteArrayView name) override
    {
        QStringList row;
        row.reserve(CSV_COLUMNS);
        row.append(QString::fromUtf8(name));
        m_rows.append(std::move(row));
    }
    void SetField(int row, int column, QByteArrayView text) override
    {
        QStringList& r = m_rows[row];
        while (r.size() < column)
            r.append(QString());
        r.append(QString::fromUtf8(text));
    }

private:
    QList<QStringList>& m_rows;
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

QList<QStringList> ParseCsvRows(QByteArrayView bytes)
{
    QList<QStringList> rows;
    CRowsSink sink(rows);
    ParseCsv(bytes, sink);
    return rows;
}

bool ReadCsvRows(const QString& path, QList<QStringList>& rows)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    file.close();
    rows = ParseCsvRows(bytes);
    return true;
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
