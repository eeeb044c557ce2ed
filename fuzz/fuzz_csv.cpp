// A phonebook CSV file of any bytes: the host's reader, the content check the page runs before a
// write, and the reference plug-in's write up to the handset (fields cut to their widths).
#include "FuzzSupport.h"
#include "Operations.h"
#include "pages/CsvReader.h"

namespace {

// Checks the order the reader promises: rows inserted one after another, fields only of rows
// that exist, columns 1..6 set, later ones dropped.
class CCheckingSink : public ICsvSink
{
public:
    int nRows = 0;
    void InsertRow(int row, QByteArrayView) override
    {
        if (row != nRows++)
            std::abort();
    }
    void SetField(int row, int column, QByteArrayView) override
    {
        if (row < 0 || row >= nRows || column < 1 || column >= CSV_COLUMNS)
            std::abort();
    }
    void DropField(int row, int column, QByteArrayView) override
    {
        if (row < 0 || row >= nRows || column < CSV_COLUMNS)
            std::abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, size_t size)
{
    if (size > 65536)
        return 0;
    const QByteArray bytes = qpxfuzz::Bytes(data, size);
    CCheckingSink sink;
    ParseCsv(bytes, sink);
    const SCsvTable table = ParseCsvTable(bytes);
    const QList<QStringList> rows = ParseCsvRows(bytes);
    if (table.rows.size() != sink.nRows || rows.size() != sink.nRows)
        std::abort();
    bool entries = false;
    for (qsizetype r = 0; r < table.rows.size(); ++r) {
        const QByteArrayList& row = table.rows.at(r);
        if (row.isEmpty() || row.size() > CSV_COLUMNS || rows.at(r).size() != row.size())
            std::abort();
        entries = entries || !IsBlankCsvRow(row);
    }
    const ECsvContent content = CheckCsvContent(bytes);
    if ((content == ECsvContent::NotText) != bytes.contains('\0') ||
        (content == ECsvContent::Entries) != (entries && !bytes.contains('\0')))
        std::abort();

    const QString path = qpxfuzz::InputFile("phonebook.csv", data, size);
    qpxfuzz::RunOperation([&path](CPluginJob& job) { return RunPhonebookWrite(job, path); });
    return 0;
}
