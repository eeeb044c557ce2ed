#pragma once
// The phonebook CSV reader. The format, byte by byte:
//   CR            ignored wherever it stands
//   ,             the field so far (blanks 0x20 trimmed at both ends) is stored at (row, column),
//                 even when empty; column + 1
//   LF            a non-empty field is trimmed and stored and the row advances; an empty field
//                 advances the row only when the line had a comma (a blank line is skipped);
//                 column = 0
//   other bytes   appended to the field
//   end of data   a non-empty field is trimmed and stored
// Storing at column 0 starts a new row with the field as its Name; columns 1..6 fill the row;
// columns 7 and up are dropped. No quoting, no header, no character conversion: fields are the
// file's bytes (ByteText.h turns them into texts that keep them).
#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

constexpr int CSV_COLUMNS = 7; // Name, Mobile1, Home, Work, E-Mail1, Mobile2, E-Mail2

// Receives the fields in file order. The views are valid only during the call.
class ICsvSink
{
public:
    virtual ~ICsvSink() = default;
    // A new row at index row (always the number of rows so far) with its Name.
    virtual void InsertRow(int row, QByteArrayView name) = 0;
    // Column 1..6 of an existing row.
    virtual void SetField(int row, int column, QByteArrayView text) = 0;
    // A field after the seventh, which the list does not take.
    virtual void DropField(int /*row*/, int /*column*/, QByteArrayView /*text*/) {}
};

void ParseCsv(QByteArrayView bytes, ICsvSink& sink);

// The entries of a file as bytes: rows of 1..7 fields (the fields a line did not have are
// missing at the end).
struct SCsvTable
{
    QList<QByteArrayList> rows;
    int nDroppedFields = 0; // fields after the seventh that held text
};
SCsvTable ParseCsvTable(QByteArrayView bytes);
// The same rows as texts that keep their bytes (TextFromBytes).
QList<QStringList> ParseCsvRows(QByteArrayView bytes);
// Reads the whole file. False, with the output untouched, when it cannot be opened for reading.
bool ReadCsvFile(const QString& path, QByteArray& bytes);
bool ReadCsvRows(const QString& path, QList<QStringList>& rows);

// True when every field of the row is empty or only blanks (spaces and tabs): a line that
// holds no entry.
bool IsBlankCsvRow(const QByteArrayList& row);

// Whether a file can be written into a handset as a phonebook: text (no NUL byte) with at
// least one row that is not blank.
enum class ECsvContent
{
    Entries,
    NoEntries,
    NotText
};
ECsvContent CheckCsvContent(QByteArrayView bytes);

// The save name of a phonebook read: under the first filter ("CSV Files", filterIndex 0) ".csv"
// is appended unless the name already ends in it (any case); under any other filter the name is
// taken as chosen, without leading white space.
QString CsvSavePath(const QString& chosen, int filterIndex);
