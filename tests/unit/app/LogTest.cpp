#include "TestEnv.h"
#include "core/LogFile.h"
#include "core/ProgramLog.h"
#include "platform/SystemInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// The start-of-run block line by line (only the low 16 bits of the build count); a run of the same
// day appends to the day's file, the next day starts a new one.
TEST(ProgramLog, BlockLayoutIsExact)
{
    SOsVersionInfo os{6, 1, 70001, u"Debian GNU/Linux 12 (bookworm)"_s, u"6.1.0-18-amd64"_s};
    EXPECT_EQ(FormatStartOfRunBlock(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7)), u"PC1"_s, u"user1"_s, os,
                                    u"V1.0.6"_s),
              ";---------------------------------------\r\n"
              "* QPX Started\t: 2026-12-6,\t 9: 5: 7\r\n"
              ";---------------------------------------\r\n"
              "Computer Name\t: PC1\r\n"
              "User Name\t: user1\r\n"
              "OS Version\t: 6.1 build 4465 Debian GNU/Linux 12 (bookworm) 6.1.0-18-amd64\r\n"
              "Downloader Ver.\t: V1.0.6\r\n\r\n");
    const QString install = qpxtest::MakeTempDir(u"install"_s) + QLatin1Char('/');
    const QDateTime day1(QDate(2026, 1, 2), QTime(23, 59, 0));
    for (const int s : {0, 30, 120})
        ASSERT_TRUE(WriteStartOfRunLog(install, u"V1.0.6"_s, day1.addSecs(s)));
    const QStringList files = QDir(install + u"LOG"_s).entryList(QDir::Files, QDir::Name);
    const QString who = GetComputerNameText() + QLatin1Char('_') + GetUserNameText();
    EXPECT_EQ(files, (QStringList{who + u"_2026_1_2_log.txt"_s, who + u"_2026_1_3_log.txt"_s}));
    EXPECT_EQ(qpxtest::ReadFile(install + u"LOG/"_s + files.value(0)).count("* QPX Started"), 2);
}

// Where a block goes when the day file refuses it: open failures come from the seam, a short
// write from a day file that is a link to a full device.
TEST(LogFile, RefusedBlockGoesToBangNameOrNowhere)
{
    const struct
    {
        const char* what;
        int nOpenError;       // errno for every name without a leading "!"; 0 opens
        int nBangOpenError;   // errno for names with one
        bool bFullDevice;     // the day file is a link to /dev/full
        const char* expected; // file that gets the block, "" for none
        int nAttempts;
    } cases[] = {
        {"denied", EACCES, 0, false, "!day.txt", 2},
        {"denied for good", EACCES, EACCES, false, "", LOG_BANG_ATTEMPTS + 1},
        {"other failure", EIO, 0, false, "", 1},
        {"written short", 0, 0, true, "!day.txt", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString folder = qpxtest::MakeTempDir(u"log"_s);
        // What is in the files already stays: blocks are only appended.
        ASSERT_TRUE(qpxtest::WriteFile(folder + u"/!day.txt"_s, "old\n"));
        ASSERT_TRUE(!c.bFullDevice || QFile::link(u"/dev/full"_s, folder + u"/day.txt"_s));
        int attempts = 0;
        SetLogOpenFailureForTest([&](const QString& path) {
            ++attempts;
            return QFileInfo(path).fileName().startsWith(QLatin1Char('!')) ? c.nBangOpenError : c.nOpenError;
        });
        const QString written = AppendLogBlock(folder, u"day.txt"_s, "new");
        SetLogOpenFailureForTest(nullptr);
        EXPECT_EQ(attempts, c.nAttempts);
        EXPECT_EQ(written, *c.expected ? folder + QLatin1Char('/') + QLatin1String(c.expected) : QString());
        EXPECT_TRUE(!*c.expected || qpxtest::ReadFile(written) == "old\nnew");
    }
    // A folder that cannot be created fails without a crash.
    EXPECT_TRUE(AppendLogBlock(u"/proc/no/such/folder"_s, u"x.txt"_s, "x").isEmpty());
}

} // namespace
