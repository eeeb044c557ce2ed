#include "pages/CsvReader.h"
#include "QtPrint.h"
#include "TestEnv.h"
#include "plugin/ByteText.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Rows = QList<QStringList>;

Rows Parse(const char* text)
{
    qpxtest::FuzzSeed("csv", QByteArrayView(text, qsizetype(std::strlen(text))));
    return ParseCsvRows(QByteArrayView(text, qsizetype(std::strlen(text))));
}

} // namespace

// Rows from the text, each row written as its fields joined by "|".
TEST(CsvReader, RowsAndFields)
{
    const struct
    {
        const char* text;
        std::vector<const char*> rows;
    } cases[] = {
        {"a,b\r\nc,d\r\n", {"a|b", "c|d"}},
        {"a,b\nc,d\n", {"a|b", "c|d"}},
        {"a,b\nc,d", {"a|b", "c|d"}},     // no final line end
        {"a,b\r\nc,d\r", {"a|b", "c|d"}}, // CR as the last byte
        {"a,b\r\nc,d\r\n\r\n", {"a|b", "c|d"}},
        {"a\r,b\nc,\rd", {"a|b", "c|d"}}, // a CR is dropped wherever it stands
        {"a\rx,b", {"ax|b"}},
        {"\n\na\n\n\nb\n\n", {"a", "b"}}, // blank lines are skipped
        {"", {}},
        {"\r\n\r\n", {}},
        {",x\n", {"|x"}},        // leading comma: an empty Name
        {"a,\nb\n", {"a", "b"}}, // trailing comma: the next line starts a new row
        {"a,b,", {"a|b"}},
        {",,\n,\n", {"|", ""}},
        {"1,2,3,4,5,6,7,8,9\nn\n", {"1|2|3|4|5|6|7", "n"}}, // seven fields at most
        {"  Kim Lee  , 010 1234 ,\t5\t,\" q \"\n", {"Kim Lee|010 1234|\t5\t|\" q \""}}, // only blanks trimmed
        {"   \nx\n", {"", "x"}}, // a line of blanks is not empty
        {"Name,Mobile1,Home\r\nKim,0101\r\n", {"Name|Mobile1|Home", "Kim|0101"}}, // a header is an entry
    };
    for (const auto& c : cases) {
        Rows want;
        for (const char* row : c.rows)
            want << QString::fromUtf8(row).split(QLatin1Char('|'));
        EXPECT_EQ(Parse(c.text), want) << QByteArray(c.text).toHex().constData();
    }
}

TEST(CsvReader, ExtraFieldsAreDroppedAndCounted)
{
    // Only fields that held text count as dropped.
    EXPECT_EQ(ParseCsvTable("1,2,3,4,5,6,7,8,9\nn\n").nDroppedFields, 2);
    EXPECT_EQ(ParseCsvTable("1,2,3,4,5,6,7,\n1,2,3,4,5,6,7,  ,\n").nDroppedFields, 0);
    EXPECT_EQ(ParseCsvTable("1,2,3,4,5,6,7,,x").nDroppedFields, 1);
}

// Fields are the file's bytes; as texts they read as UTF-8 where they are UTF-8 and keep every
// other byte, so they turn back into the same bytes.
TEST(CsvReader, FieldsKeepTheirBytes)
{
    struct SCase
    {
        QByteArray field;
        bool utf8;
    };
    const QList<SCase> cases = {
        {"\xed\x99\x8d\xea\xb8\xb8\xeb\x8f\x99", true}, // Korean in UTF-8
        {"J\xc3\xbcrgen", true},
        {"\xf0\x9f\x98\x80 smile", true},    // beyond U+FFFF
        {"\xb1\xe8\xbf\xb5\xbc\xf6", false}, // the same kind of name in CP949
        {"J\xfcrgen Gro\xdf", false},        // Latin-1
        {"ab\xed\x99", false},               // a character cut short
        {"\xc0\xaf", false},                 // overlong
        {"\xed\xa0\x80\xed\xb0\x80", false}, // surrogates written as UTF-8
        {"\xf4\x90\x80\x80", false},         // above U+10FFFF
        {"\xb1\xe8\xc3\xbc\x80", false},     // CP949, UTF-8 and a stray byte mixed
    };
    for (const SCase& c : cases) {
        const QByteArray line = c.field + ",1\n";
        qpxtest::FuzzSeed("csv", line);
        const SCsvTable table = ParseCsvTable(line);
        ASSERT_EQ(table.rows.size(), 1);
        EXPECT_EQ(table.rows[0], (QByteArrayList{c.field, "1"})) << c.field.toHex().constData();
        const QString text = ParseCsvRows(line).value(0).value(0);
        EXPECT_EQ(BytesFromText(text), c.field) << c.field.toHex().constData();
        EXPECT_EQ(IsUtf8(c.field), c.utf8) << c.field.toHex().constData();
        if (c.utf8) {
            EXPECT_EQ(text, QString::fromUtf8(c.field));
        }
    }
    // A kept byte never merges with its neighbours into another character.
    EXPECT_EQ(TextFromBytes("\xb1\xe8").size(), 2);
    // A lone surrogate that stands for no byte becomes U+FFFD.
    EXPECT_EQ(BytesFromText(QString(QChar(char16_t(0xD800)))), QByteArray("\xef\xbf\xbd"));
}

TEST(CsvReader, WriteNeedsTextWithAnEntry)
{
    struct SCase
    {
        QByteArray bytes;
        ECsvContent content;
    };
    const QList<SCase> cases = {
        {"", ECsvContent::NoEntries},
        {"\r\n\n", ECsvContent::NoEntries},
        {"   \n\t \n", ECsvContent::NoEntries},
        {",,,\n , \t,\n", ECsvContent::NoEntries},
        {QByteArray("Kim,1\n\0\0", 8), ECsvContent::NotText},
        {QByteArray("\0", 1), ECsvContent::NotText},
        {"Kim,1\n", ECsvContent::Entries},
        {"  \n,,x\n", ECsvContent::Entries},
        {"\xb1\xe8", ECsvContent::Entries},
    };
    for (const SCase& c : cases) {
        qpxtest::FuzzSeed("csv", c.bytes);
        EXPECT_EQ(CheckCsvContent(c.bytes), c.content) << c.bytes.toHex().constData();
    }
    EXPECT_TRUE(IsBlankCsvRow({" ", "\t", ""}));
    EXPECT_FALSE(IsBlankCsvRow({" ", "x"}));
}

TEST(CsvReader, SinkSeesRowIndicesInOrder)
{
    struct SSink : ICsvSink
    {
        QStringList calls;
        void InsertRow(int row, QByteArrayView name) override
        {
            calls << QStringLiteral("I%1:%2").arg(row).arg(QString::fromUtf8(name));
        }
        void SetField(int row, int column, QByteArrayView text) override
        {
            calls << QStringLiteral("S%1.%2:%3").arg(row).arg(column).arg(QString::fromUtf8(text));
        }
    } sink;
    ParseCsv("a,b\n\nc,,d\n", sink);
    EXPECT_EQ(sink.calls,
              (QStringList{QStringLiteral("I0:a"), QStringLiteral("S0.1:b"), QStringLiteral("I1:c"),
                           QStringLiteral("S1.1:"), QStringLiteral("S1.2:d")}));
}

TEST(CsvReader, FileReading)
{
    const QString dir = qpxtest::MakeTempDir(QStringLiteral("csv"));
    const Rows keep{{QStringLiteral("keep")}};
    Rows rows = keep;
    EXPECT_FALSE(ReadCsvRows(dir + QStringLiteral("/missing.csv"), rows));
    EXPECT_FALSE(ReadCsvRows(dir, rows)); // a folder is no file
    EXPECT_EQ(rows, keep);
    ASSERT_TRUE(qpxtest::WriteFile(dir + QStringLiteral("/b.csv"), "Kim,010,,,mail@x\r\n"));
    ASSERT_TRUE(ReadCsvRows(dir + QStringLiteral("/b.csv"), rows));
    EXPECT_EQ(rows, (Rows{QString::fromLatin1("Kim|010|||mail@x").split(QLatin1Char('|'))}));
}

TEST(CsvReader, SavePathExtensionRule)
{
    EXPECT_EQ(CsvSavePath(QStringLiteral("/p/book"), 0), QStringLiteral("/p/book.csv"));
    EXPECT_EQ(CsvSavePath(QStringLiteral("/p/book.CSV"), 0), QStringLiteral("/p/book.CSV"));
    EXPECT_EQ(CsvSavePath(QStringLiteral("/p/book.csv"), 0), QStringLiteral("/p/book.csv"));
    EXPECT_EQ(CsvSavePath(QStringLiteral("/p/book.csvx"), 0), QStringLiteral("/p/book.csvx.csv"));
    EXPECT_EQ(CsvSavePath(QStringLiteral("/p/book"), 1), QStringLiteral("/p/book"));
    EXPECT_EQ(CsvSavePath(QStringLiteral(" \t/p/book.txt "), 1), QStringLiteral("/p/book.txt "));
}
