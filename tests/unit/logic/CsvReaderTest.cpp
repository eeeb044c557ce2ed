#include "pages/CsvReader.h"
#include "QtPrint.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <QDir>

namespace {

using Rows = QList<QStringList>;

QStringList R(std::initializer_list<const char*> fields)
{
    QStringList l;
    for (const char* f : fields)
        l << QString::fromUtf8(f);
    return l;
}

Rows Parse(const char* text)
{
    return ParseCsvRows(QByteArrayView(text, qsizetype(std::strlen(text))));
}

} // namespace

TEST(CsvReader, LineEnds)
{
    const Rows want{R({"a", "b"}), R({"c", "d"})};
    EXPECT_EQ(Parse("a,b\r\nc,d\r\n"), want);
    EXPECT_EQ(Parse("a,b\nc,d\n"), want);
    EXPECT_EQ(Parse("a,b\nc,d"), want);     // no final line end
    EXPECT_EQ(Parse("a,b\r\nc,d\r"), want); // CR as the last byte
    EXPECT_EQ(Parse("a,b\r\nc,d\r\n\r\n"), want);
    EXPECT_EQ(Parse("a\r,b\nc,\rd"), want); // a CR is dropped wherever it stands
    EXPECT_EQ(Parse("a\rx,b"), Rows{R({"ax", "b"})});
}

TEST(CsvReader, BlankLinesAreSkipped)
{
    EXPECT_EQ(Parse("\n\na\n\n\nb\n\n"), (Rows{R({"a"}), R({"b"})}));
    EXPECT_EQ(Parse(""), Rows{});
    EXPECT_EQ(Parse("\r\n\r\n"), Rows{});
}

TEST(CsvReader, CommasAtTheEdges)
{
    // Leading comma: an empty Name.
    EXPECT_EQ(Parse(",x\n"), Rows{R({"", "x"})});
    // Trailing comma: one row, and the next line starts a new one.
    EXPECT_EQ(Parse("a,\nb\n"), (Rows{R({"a"}), R({"b"})}));
    // A comma as the last byte ends the last field like any other.
    EXPECT_EQ(Parse("a,b,"), Rows{R({"a", "b"})});
    EXPECT_EQ(Parse(",,\n,\n"), (Rows{R({"", ""}), R({""})}));
}

TEST(CsvReader, ExtraFieldsAreDropped)
{
    EXPECT_EQ(Parse("1,2,3,4,5,6,7,8,9\nn\n"), (Rows{R({"1", "2", "3", "4", "5", "6", "7"}), R({"n"})}));
}

TEST(CsvReader, OnlyBlanksAreTrimmed)
{
    EXPECT_EQ(Parse("  Kim Lee  , 010 1234 ,\t5\t,\" q \"\n"),
              Rows{R({"Kim Lee", "010 1234", "\t5\t", "\" q \""})});
    // A line of blanks is not empty: it gives a row with an empty Name.
    EXPECT_EQ(Parse("   \nx\n"), (Rows{R({""}), R({"x"})}));
}

TEST(CsvReader, HeaderLineIsAnOrdinaryEntry)
{
    const Rows rows = Parse("Name,Mobile1,Home,Work,E-Mail1,Mobile2,E-Mail2\r\nKim,0101\r\n");
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].at(0), QStringLiteral("Name"));
    EXPECT_EQ(rows[0].size(), 7);
    EXPECT_EQ(rows[1], R({"Kim", "0101"}));
}

TEST(CsvReader, BytesAreTakenAsUtf8)
{
    EXPECT_EQ(Parse("\xed\x99\x8d\xea\xb8\xb8\xeb\x8f\x99,1\n"),
              Rows{R({"\xed\x99\x8d\xea\xb8\xb8\xeb\x8f\x99", "1"})});
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
    Rows rows{R({"keep"})};
    EXPECT_FALSE(ReadCsvRows(dir + QStringLiteral("/missing.csv"), rows));
    EXPECT_FALSE(ReadCsvRows(dir, rows)); // a folder is no file
    EXPECT_EQ(rows, Rows{R({"keep"})});

    QByteArray big;
    for (int i = 0; i < 20000; ++i)
        big += "Name " + QByteArray::number(i) + ",010-" + QByteArray::number(i) + ",,,mail@x\r\n";
    ASSERT_TRUE(qpxtest::WriteFile(dir + QStringLiteral("/big.csv"), big));
    ASSERT_TRUE(ReadCsvRows(dir + QStringLiteral("/big.csv"), rows));
    ASSERT_EQ(rows.size(), 20000);
    EXPECT_EQ(rows[19999], R({"Name 19999", "010-19999", "", "", "mail@x"}));
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
