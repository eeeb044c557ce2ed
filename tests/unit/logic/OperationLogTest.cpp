#include "pages/OperationLog.h"
#include "TestEnv.h"

#include <QFile>
#include <gtest/gtest.h>

#include <cstring>

using namespace Qt::StringLiterals;

namespace {

OperationResult Result(const char* message, const char* status, const char* file)
{
    OperationResult r{-1, 2, 5.34f, {}, {}, {}, "0xDEAD"};
    std::strcpy(r.szMessage, message);
    std::strcpy(r.szStatus, status);
    std::strcpy(r.szFileName, file);
    return r;
}

const QDateTime kMorning(QDate(2006, 5, 17), QTime(9, 5, 3));

} // namespace

TEST(OperationLog, OperationBlockLineByLine)
{
    OperationResult r = Result("fine", "Completed", "/x/nam1_prl_0000.prl");
    EXPECT_EQ(OperationLogBlock(r, 4, 5, u"REC-MODEL"_s, 1, 1, kMorning).toStdString(),
              ";---------------------------------------\r\n"
              "* Operation Started\t: 2006-5-17,\t 9: 5: 3\r\n"
              ";---------------------------------------\r\n"
              "Current Operation\t:\tPRL\r\n"
              "Current mode\t\t:\tread\r\n"
              "COM Port\t\t:\t5\r\n"
              "Model Name\t\t:\tREC-MODEL\r\n"
              "Last Processed File\t:\t/x/nam1_prl_0000.prl\r\n"
              "Last Message\t\t:\tfine\r\n"
              "Elapsed Time\t\t:\t2 min 5.340000 sec\r\n"
              "Last Status\t\t:\tCompleted\r\n\r\n\r\n"); // the address is not logged
    // Texts without their NUL stay inside their arrays.
    std::memset(r.szMessage, 'm', sizeof r.szMessage);
    std::memset(r.szStatus, 's', sizeof r.szStatus);
    const QByteArray b = OperationLogBlock(r, 1, 1, QString(), 0, 0, kMorning);
    EXPECT_TRUE(b.contains("Last Message\t\t:\t" + QByteArray(1000, 'm') + "\r\nElapsed"));
    EXPECT_TRUE(b.contains("Last Status\t\t:\t" + QByteArray(256, 's') + "\r\n\r\n"));
    // The elapsed time the page shows, rounded as the C library rounds.
    EXPECT_EQ(QStringList({ElapsedTimeText(2, 5.34f), ElapsedTimeText(0, 0.0f), ElapsedTimeText(123, 12.25f),
                           ElapsedTimeText(12, 59.96f)}),
              QString::fromLatin1("02:05.3 s|00:00.0 s|123:12.2 s|12:60.0 s").split(QLatin1Char('|')));
}

// Operations 1..9 by name (no operation line for others; the log of each operation family's
// end-to-end run shows its name); the mode line only for PRL, ERI (read/write) and transfer
// (backup/restore): operation, last direction, transfer mode -> lines from "Current Operation" to
// "COM Port".
TEST(OperationLog, OperationAndModeLines)
{
    const std::tuple<int, int, int, const char*> cases[] = {
        {1, 0, 0, "Upgrade\r\n"},
        {4, 0, 1, "PRL\r\nCurrent mode\t\t:\twrite\r\n"},
        {5, -1, 1, "ERI\r\nCurrent mode\t\t:\tread\r\n"},
        {8, 0, 1, "Transfer\r\nCurrent mode\t\t:\tBACKUP\r\n"},
        {8, 1, 0, "Transfer\r\nCurrent mode\t\t:\tRESTORE\r\n"},
        {9, 0, 0, "Refurbish\r\n"},
        {0, 0, 0, nullptr},
        {10, 0, 0, nullptr},
        {-1, 0, 0, nullptr},
    };
    for (const auto& [op, direction, mode, lines] : cases) {
        const QByteArray b =
            OperationLogBlock(Result("", "", ""), op, 1, QString(), direction, mode, kMorning);
        EXPECT_EQ(b.contains("Current"), lines != nullptr) << op;
        EXPECT_TRUE(!lines || b.contains(QByteArray("Current Operation\t:\t") + lines + "COM Port")) << op;
    }
}

// The handset block leads the first entry of a run only; each day has its file; an entry that
// cannot be written keeps the handset block for the next one.
TEST(OperationLog, HandsetBlockOnlyInTheFirstEntryAndDaysRollOver)
{
    const QString install = qpxtest::MakeTempDir(u"oplog"_s) + QLatin1Char('/');
    ASSERT_TRUE(qpxtest::WriteFile(install + u"LOG"_s, "x")); // no folder can be made
    bool logHandset = true;
    const SHandsetTexts h{u"0012ab34"_s,        u"(323) 410-5567"_s, {},
                          u"Jan 02 2006"_s,     u"Feb 03 2006"_s,    u"12.34  KQ100V12"_s,
                          u"MSM 2P (0x610a)"_s, u"1: 52    2: 53"_s, u"65535"_s};
    const QDateTime late(QDate(2006, 5, 17), QTime(23, 59, 59));
    auto write = [&](const char* status, int op, int mode, const QDateTime& when) {
        return WriteOperationLog(Result("", status, "a.bin"), op, h, logHandset, install, 3, u"M"_s, 0, mode,
                                 when);
    };
    EXPECT_TRUE(write("lost", 1, 1, late).isEmpty() && logHandset);
    ASSERT_TRUE(QFile::remove(install + u"LOG"_s));

    const QString first = write("one", 1, 1, late);
    EXPECT_EQ(first, install + u"LOG/2006_5_17_log.txt"_s);
    EXPECT_FALSE(logHandset);
    EXPECT_EQ(write("two", 7, 1, late), first);
    const QString third = write("three", 8, 0, QDateTime(QDate(2006, 5, 18), QTime(0, 0, 1)));
    EXPECT_EQ(third, install + u"LOG/2006_5_18_log.txt"_s);

    const QByteArray day1 = qpxtest::ReadFile(first);
    EXPECT_TRUE(day1.startsWith("Compile Date\t:\tJan 02 2006\r\n"
                                "Release Date\t:\tFeb 03 2006\r\n"
                                "S/W Version\t:\t12.34  KQ100V12\r\n"
                                "ESN\t\t:\t0012ab34\r\n"
                                "Digital MIN\t:\t(323) 410-5567\r\n"
                                "Analog MIN\t:\t\r\n"
                                "MSM Version\t:\tMSM 2P (0x610a)\r\n"
                                "PRL Version\t:\t1: 52    2: 53\r\n"
                                "ERI Version\t:\t65535\r\n\r\n;----"))
        << day1.constData();
    EXPECT_TRUE(day1.count("Compile Date") == 1 && day1.count("* Operation Started") == 2);
    EXPECT_TRUE(day1.endsWith("Last Status\t\t:\ttwo\r\n\r\n\r\n"));
    const QByteArray day2 = qpxtest::ReadFile(third);
    EXPECT_TRUE(day2.startsWith(";----") && day2.contains("* Operation Started\t: 2006-5-18,\t 0: 0: 1\r\n"));
}
