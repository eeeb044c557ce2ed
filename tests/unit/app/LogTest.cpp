#include "TestEnv.h"
#include "app/LogFile.h"
#include "app/ProgramLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

TEST(ProgramLog, FileNameHasNoZeroPadding)
{
    EXPECT_EQ(StartOfRunLogFileName(QStringLiteral("PC1"), QStringLiteral("user1"), QDate(2006, 3, 5)),
              QStringLiteral("PC1_user1_2006_3_5_log.txt"));
}

TEST(ProgramLog, BlockLayoutIsExact)
{
    SOsVersionInfo os;
    os.nMajor = 6;
    os.nMinor = 1;
    os.nBuild = 70001; // only the low 16 bits count
    os.strName = QStringLiteral("Debian GNU/Linux 12 (bookworm)");
    os.strServicePack = QStringLiteral("6.1.0-18-amd64");
    const QByteArray block =
        FormatStartOfRunBlock(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7)), QStringLiteral("PC1"),
                              QStringLiteral("user1"), os, QStringLiteral("V1.0.6"));
    const QByteArray expected =
        ";---------------------------------------\r\n"
        "* QPX Started\t: 2026-12-6,\t 9: 5: 7\r\n"
        ";---------------------------------------\r\n"
        "Computer Name\t: PC1\r\n"
        "User Name\t: user1\r\n"
        "OS Version\t: 6.1 build 4465 Debian GNU/Linux 12 (bookworm) 6.1.0-18-amd64\r\n"
        "Downloader Ver.\t: V1.0.6\r\n\r\n";
    EXPECT_EQ(block, expected);
}

TEST(ProgramLog, SameDayAppendsAndNextDayStartsANewFile)
{
    const QString install = qpxtest::MakeTempDir(QStringLiteral("install")) + QLatin1Char('/');
    const QDateTime day1(QDate(2026, 1, 2), QTime(23, 59, 0));
    ASSERT_TRUE(WriteStartOfRunLog(install, QStringLiteral("V1.0.6"), day1));
    ASSERT_TRUE(WriteStartOfRunLog(install, QStringLiteral("V1.0.6"), day1.addSecs(30)));
    ASSERT_TRUE(WriteStartOfRunLog(install, QStringLiteral("V1.0.6"), day1.addSecs(120)));
    const QStringList files = QDir(install + QStringLiteral("LOG")).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 2);
    EXPECT_TRUE(files.at(0).endsWith(QStringLiteral("_2026_1_2_log.txt")));
    EXPECT_TRUE(files.at(1).endsWith(QStringLiteral("_2026_1_3_log.txt")));
    const QByteArray first = qpxtest::ReadFile(install + QStringLiteral("LOG/") + files.at(0));
    EXPECT_EQ(first.count("* QPX Started"), 2);
    EXPECT_TRUE(first.endsWith("V1.0.6\r\n\r\n"));
}

TEST(LogFile, DeniedFileGoesToBangName)
{
    const QString folder = qpxtest::MakeTempDir(QStringLiteral("log"));
    // The day file is read-only: every name without a leading "!" is denied.
    SetLogOpenFailureForTest(
        [](const QString& path) { return path.contains(QLatin1String("/!")) ? 0 : EACCES; });
    const QString written = AppendLogBlock(folder, QStringLiteral("day.txt"), "new");
    SetLogOpenFailureForTest(nullptr);
    EXPECT_EQ(written, folder + QStringLiteral("/!day.txt"));
    EXPECT_EQ(qpxtest::ReadFile(written), QByteArray("new"));
}

TEST(LogFile, AttemptsAreBoundedWhileAccessStaysDenied)
{
    const QString folder = qpxtest::MakeTempDir(QStringLiteral("log"));
    QStringList tried;
    SetLogOpenFailureForTest([&](const QString& path) {
        tried << QFileInfo(path).fileName();
        return EACCES;
    });
    EXPECT_TRUE(AppendLogBlock(folder, QStringLiteral("day.txt"), "x").isEmpty());
    SetLogOpenFailureForTest(nullptr);
    EXPECT_EQ(tried.size(), LOG_BANG_ATTEMPTS + 1);
    EXPECT_EQ(tried.last(), QString(LOG_BANG_ATTEMPTS, QLatin1Char('!')) + QStringLiteral("day.txt"));
}

TEST(LogFile, OtherFailuresGiveUpAtOnce)
{
    int calls = 0;
    SetLogOpenFailureForTest([&](const QString&) {
        ++calls;
        return EIO;
    });
    EXPECT_TRUE(
        AppendLogBlock(qpxtest::MakeTempDir(QStringLiteral("log")), QStringLiteral("d.txt"), "x").isEmpty());
    SetLogOpenFailureForTest(nullptr);
    EXPECT_EQ(calls, 1);
    // A folder that cannot be created fails without a crash.
    EXPECT_TRUE(
        AppendLogBlock(QStringLiteral("/proc/no/such/folder"), QStringLiteral("x.txt"), "x").isEmpty());
}

TEST(LogFile, BlankPadding)
{
    EXPECT_EQ(BlankPadded2(5), QByteArray(" 5"));
    EXPECT_EQ(BlankPadded2(0), QByteArray(" 0"));
    EXPECT_EQ(BlankPadded2(23), QByteArray("23"));
}

} // namespace
