#include "pages/CsvReader.h"
#include "TestEnv.h"
#include "plugin/ByteText.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

// Rows from the text, each row written as its fields joined by "|", and how many fields after the
// seventh held text (dropped and counted).
TEST(CsvReader, RowsAndFields)
{
    const struct
    {
        const char* text;
        std::vector<const char*> rows;
        int dropped = 0;
    } cases[] = {
        {"a,b\r\nc,d\r\n", {"a|b", "c|d"}},
        {"a,b\nc,d", {"a|b", "c|d"}},     // no final line end
        {"a,b\r\nc,d\r", {"a|b", "c|d"}}, // CR as the last byte
        {"a\r,b\nc,\rd", {"a|b", "c|d"}}, // a CR is dropped wherever it stands
        {"\n\na\n\n\nb\n\n", {"a", "b"}}, // blank lines are skipped
        {"a,b\n\nc,,d\n", {"a|b", "c||d"}},
        {"", {}},
        {",x\n", {"|x"}},        // leading comma: an empty Name
        {"a,\nb\n", {"a", "b"}}, // trailing comma: the next line starts a new row
        {",,\n,\n", {"|", ""}},
        {"1,2,3,4,5,6,7,8,9\nn\n", {"1|2|3|4|5|6|7", "n"}, 2}, // seven fields at most
        {"1,2,3,4,5,6,7,\n1,2,3,4,5,6,7,  ,\n", {"1|2|3|4|5|6|7", "1|2|3|4|5|6|7"}, 0},
        {"1,2,3,4,5,6,7,,x", {"1|2|3|4|5|6|7"}, 1},
        {"  Kim Lee  , 010 1234 ,\t5\t,\" q \"\n", {"Kim Lee|010 1234|\t5\t|\" q \""}}, // only blanks trimmed
        {"   \nx\n", {"", "x"}}, // a line of blanks is not empty
        {"Name,Mobile1,Home\r\nKim,0101\r\n", {"Name|Mobile1|Home", "Kim|0101"}}, // a header is an entry
    };
    for (const auto& c : cases) {
        QList<QStringList> want;
        for (const char* row : c.rows)
            want << QString::fromUtf8(row).split(QLatin1Char('|'));
        qpxtest::FuzzSeed("csv", QByteArray(c.text));
        EXPECT_EQ(ParseCsvRows(c.text), want) << QByteArray(c.text).toHex().constData();
        EXPECT_EQ(ParseCsvTable(c.text).nDroppedFields, c.dropped) << c.text;
    }
}

// Fields are the file's bytes; as texts they read as UTF-8 where they are UTF-8 and keep every
// other byte, so they turn back into the same bytes.
TEST(CsvReader, FieldsKeepTheirBytes)
{
    const std::pair<QByteArray, bool> cases[] = {
        // the field, whether it is UTF-8
        {"\xed\x99\x8d\xea\xb8\xb8\xeb\x8f\x99", true}, // Korean in UTF-8
        {"\xf0\x9f\x98\x80 smile", true},               // beyond U+FFFF
        {"\xb1\xe8\xbf\xb5\xbc\xf6", false},            // the same kind of name in CP949
        {"J\xfcrgen Gro\xdf", false},                   // Latin-1
        {"ab\xed\x99", false},                          // a character cut short
        {"\xc0\xaf", false},                            // overlong
        {"\xed\xa0\x80\xed\xb0\x80", false},            // surrogates written as UTF-8
        {"\xf4\x90\x80\x80", false},                    // above U+10FFFF
        {"\xb1\xe8\xc3\xbc\x80", false},                // CP949, UTF-8 and a stray byte mixed
    };
    for (const auto& [field, utf8] : cases) {
        SCOPED_TRACE(field.toHex().constData());
        const QByteArray line = field + ",1\n";
        EXPECT_EQ(ParseCsvTable(line).rows, (QList<QByteArrayList>{{field, "1"}}));
        const QString text = ParseCsvRows(line).value(0).value(0);
        EXPECT_EQ(BytesFromText(text), field);
        EXPECT_EQ(IsUtf8(field), utf8);
        EXPECT_TRUE(!utf8 || text == QString::fromUtf8(field));
    }
    // A kept byte never merges with its neighbours into another character.
    EXPECT_EQ(TextFromBytes("\xb1\xe8").size(), 2);
    // A lone surrogate that stands for no byte becomes U+FFFD.
    EXPECT_EQ(BytesFromText(QString(QChar(char16_t(0xD800)))), QByteArray("\xef\xbf\xbd"));
}

TEST(CsvReader, WriteNeedsTextWithAnEntry)
{
    const std::pair<QByteArray, ECsvContent> cases[] = {
        {"", ECsvContent::NoEntries},
        {"   \n\t \n", ECsvContent::NoEntries},
        {",,,\n , \t,\n", ECsvContent::NoEntries},
        {QByteArray("Kim,1\n\0\0", 8), ECsvContent::NotText},
        {QByteArray("\0", 1), ECsvContent::NotText},
        {"Kim,1\n", ECsvContent::Entries},
        {"  \n,,x\n", ECsvContent::Entries},
        {"\xb1\xe8", ECsvContent::Entries},
    };
    for (const auto& [bytes, content] : cases)
        EXPECT_EQ(CheckCsvContent(bytes), content) << bytes.toHex().constData();
}

// A file that cannot be read leaves the rows alone; the save name gets ".csv" under the CSV
// filter only, and loses its leading blanks under the other.
TEST(CsvReader, FileReadingAndSaveNames)
{
    const QString dir = qpxtest::MakeTempDir(u"csv"_s);
    QList<QStringList> rows{{u"keep"_s}};
    EXPECT_FALSE(ReadCsvRows(dir + u"/missing.csv"_s, rows) || ReadCsvRows(dir, rows)); // a folder is no file
    EXPECT_EQ(rows, (QList<QStringList>{{u"keep"_s}}));
    ASSERT_TRUE(qpxtest::WriteFile(dir + u"/b.csv"_s, "Kim,010,,,mail@x\r\n"));
    ASSERT_TRUE(ReadCsvRows(dir + u"/b.csv"_s, rows));
    EXPECT_EQ(rows, (QList<QStringList>{QString::fromLatin1("Kim|010|||mail@x").split(QLatin1Char('|'))}));

    const char* names[][3] = {
        {"/p/book", "0", "/p/book.csv"},           {"/p/book.CSV", "0", "/p/book.CSV"},
        {"/p/book.csvx", "0", "/p/book.csvx.csv"}, {"/p/book", "1", "/p/book"},
        {" \t/p/book.txt ", "1", "/p/book.txt "},
    };
    for (const auto& n : names)
        EXPECT_EQ(CsvSavePath(QLatin1String(n[0]), n[1][0] - '0'), QLatin1String(n[2])) << n[0];
}
