#include "pages/OperationLog.h"
#include "QtPrint.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

namespace {

OperationResult Result(int32_t code, const char* message, const char* status, const char* file)
{
    OperationResult r;
    std::memset(&r, 0, sizeof r);
    r.nResult = code;
    r.nMinutes = 2;
    r.fSeconds = 5.34f;
    std::strcpy(r.szMessage, message);
    std::strcpy(r.szStatus, status);
    std::strcpy(r.szFileName, file);
    std::strcpy(r.szAddress, "0xDEAD");
    return r;
}

SHandsetTexts Handset()
{
    SHandsetTexts h;
    h.strEsn = QStringLiteral("0012ab34");
    h.strDigitalMin = QStringLiteral("(323) 410-5567");
    h.strAnalogMin = QString();
    h.strCompileDate = QStringLiteral("Jan 02 2006");
    h.strReleaseDate = QStringLiteral("Feb 03 2006");
    h.strSwVersion = QStringLiteral("12.34  KQ100V12");
    h.strMsmVersion = QStringLiteral("MSM 2P (0x610a)");
    h.strPrlVersion = QStringLiteral("1: 52    2: 53");
    h.strEriVersion = QStringLiteral("65535");
    return h;
}

const QDateTime kMorning(QDate(2006, 5, 17), QTime(9, 5, 3));

} // namespace

TEST(OperationLog, OperationBlockLineByLine)
{
    const QByteArray block = OperationLogBlock(Result(-1, "fine", "Completed", "/x/nam1_prl_0000.prl"), 4, 5,
                                               QStringLiteral("REC-MODEL"), 1, 1, kMorning);
    const QByteArray want = ";---------------------------------------\r\n"
                            "* Operation Started\t: 2006-5-17,\t 9: 5: 3\r\n"
                            ";---------------------------------------\r\n"
                            "Current Operation\t:\tPRL\r\n"
                            "Current mode\t\t:\tread\r\n"
                            "COM Port\t\t:\t5\r\n"
                            "Model Name\t\t:\tREC-MODEL\r\n"
                            "Last Processed File\t:\t/x/nam1_prl_0000.prl\r\n"
                            "Last Message\t\t:\tfine\r\n"
                            "Elapsed Time\t\t:\t2 min 5.340000 sec\r\n"
                            "Last Status\t\t:\tCompleted\r\n\r\n\r\n";
    EXPECT_EQ(block.toStdString(), want.toStdString());
    EXPECT_FALSE(block.contains("0xDEAD")); // the address is not logged
}

TEST(OperationLog, OperationAndModeLines)
{
    const OperationResult r = Result(0, "", "", "");
    const char* names[] = {"Upgrade", "Bin Download", "Script",   "PRL",      "ERI",
                           "Setting", "Phonebook",    "Transfer", "Refurbish"};
    for (int op = 1; op <= 9; ++op) {
        const QByteArray b = OperationLogBlock(r, op, 1, QString(), 0, 0, kMorning);
        EXPECT_TRUE(b.contains(QByteArray("Current Operation\t:\t") + names[op - 1] + "\r\nCOM Port") ||
                    b.contains(QByteArray("Current Operation\t:\t") + names[op - 1] + "\r\nCurrent mode"))
            << op;
        const bool hasMode = b.contains("Current mode");
        EXPECT_EQ(hasMode, op == 4 || op == 5 || op == 8) << op;
    }
    for (int op : {0, 10, -1})
        EXPECT_FALSE(OperationLogBlock(r, op, 1, QString(), 0, 0, kMorning).contains("Current")) << op;

    EXPECT_TRUE(
        OperationLogBlock(r, 5, 1, QString(), 0, 1, kMorning).contains("Current mode\t\t:\twrite\r\n"));
    EXPECT_TRUE(
        OperationLogBlock(r, 5, 1, QString(), -1, 1, kMorning).contains("Current mode\t\t:\tread\r\n"));
    EXPECT_TRUE(
        OperationLogBlock(r, 8, 1, QString(), 0, 1, kMorning).contains("Current mode\t\t:\tBACKUP\r\n"));
    EXPECT_TRUE(
        OperationLogBlock(r, 8, 1, QString(), 1, 0, kMorning).contains("Current mode\t\t:\tRESTORE\r\n"));
}

TEST(OperationLog, HandsetBlockExactly)
{
    EXPECT_EQ(HandsetLogBlock(Handset()).toStdString(), std::string("Compile Date\t:\tJan 02 2006\r\n"
                                                                    "Release Date\t:\tFeb 03 2006\r\n"
                                                                    "S/W Version\t:\t12.34  KQ100V12\r\n"
                                                                    "ESN\t\t:\t0012ab34\r\n"
                                                                    "Digital MIN\t:\t(323) 410-5567\r\n"
                                                                    "Analog MIN\t:\t\r\n"
                                                                    "MSM Version\t:\tMSM 2P (0x610a)\r\n"
                                                                    "PRL Version\t:\t1: 52    2: 53\r\n"
                                                                    "ERI Version\t:\t65535\r\n\r\n"));
}

TEST(OperationLog, UnterminatedTextsStayInsideTheirArrays)
{
    OperationResult r = Result(0, "", "", "");
    std::memset(r.szMessage, 'm', sizeof r.szMessage);
    std::memset(r.szStatus, 's', sizeof r.szStatus);
    const QByteArray b = OperationLogBlock(r, 1, 1, QString(), 0, 0, kMorning);
    EXPECT_TRUE(b.contains("Last Message\t\t:\t" + QByteArray(1000, 'm') + "\r\n"));
    EXPECT_TRUE(b.contains("Last Status\t\t:\t" + QByteArray(256, 's') + "\r\n"));
}

TEST(OperationLog, FileNameIsUnpadded)
{
    EXPECT_EQ(OperationLogFileName(QDate(2006, 5, 7)), QStringLiteral("2006_5_7_log.txt"));
    EXPECT_EQ(OperationLogFileName(QDate(2026, 12, 31)), QStringLiteral("2026_12_31_log.txt"));
}

TEST(OperationLog, HandsetBlockOnlyInTheFirstEntryAndDaysRollOver)
{
    const QString install = qpxtest::MakeTempDir(QStringLiteral("oplog")) + QLatin1Char('/');
    bool logHandset = true;
    const SHandsetTexts h = Handset();

    const QString first =
        WriteOperationLog(Result(-1, "", "one", "a.bin"), 1, h, logHandset, install, 3, QStringLiteral("M"),
                          0, 1, QDateTime(QDate(2006, 5, 17), QTime(23, 59, 59)));
    EXPECT_EQ(first, install + QStringLiteral("LOG/2006_5_17_log.txt"));
    EXPECT_FALSE(logHandset);
    const QString second =
        WriteOperationLog(Result(0, "bad", "two", "b.bin"), 7, h, logHandset, install, 3, QStringLiteral("M"),
                          0, 1, QDateTime(QDate(2006, 5, 17), QTime(23, 59, 59)));
    EXPECT_EQ(second, first);
    const QString third =
        WriteOperationLog(Result(0, "", "three", "c.bin"), 8, h, logHandset, install, 3, QStringLiteral("M"),
                          0, 0, QDateTime(QDate(2006, 5, 18), QTime(0, 0, 1)));
    EXPECT_EQ(third, install + QStringLiteral("LOG/2006_5_18_log.txt"));

    const QByteArray day1 = qpxtest::ReadFile(first);
    EXPECT_TRUE(day1.startsWith(HandsetLogBlock(h) + ";----"));
    EXPECT_EQ(day1.count("Compile Date"), 1);
    EXPECT_EQ(day1.count("* Operation Started"), 2);
    EXPECT_TRUE(day1.contains("Current Operation\t:\tPhonebook\r\n"));
    EXPECT_TRUE(day1.endsWith("Last Status\t\t:\ttwo\r\n\r\n\r\n"));

    const QByteArray day2 = qpxtest::ReadFile(third);
    EXPECT_TRUE(day2.startsWith(";----"));
    EXPECT_TRUE(day2.contains("* Operation Started\t: 2006-5-18,\t 0: 0: 1\r\n"));
    EXPECT_TRUE(day2.contains("Current mode\t\t:\tRESTORE\r\n"));
}

TEST(OperationLog, DroppedEntryKeepsTheHandsetBlockForLater)
{
    const QString base = qpxtest::MakeTempDir(QStringLiteral("oplog-file"));
    // "LOG" is a plain file, so the folder cannot be made.
    ASSERT_TRUE(qpxtest::WriteFile(base + QStringLiteral("/LOG"), "x"));
    bool logHandset = true;
    EXPECT_EQ(WriteOperationLog(Result(0, "", "", ""), 1, Handset(), logHandset, base + QLatin1Char('/'), 1,
                                QString(), 0, 0, kMorning),
              QString());
    EXPECT_TRUE(logHandset);
}

TEST(OperationLog, ReadOnlyDayFileGoesToTheBangName)
{
    // Under /tmp so that an unprivileged child can reach it.
    QTemporaryDir tmp(QDir::tempPath() + QStringLiteral("/qpx-oplog-XXXXXX"));
    ASSERT_TRUE(tmp.isValid());
    const QString install = tmp.path() + QLatin1Char('/');
    const QString log = install + QStringLiteral("LOG");
    ASSERT_TRUE(QDir().mkpath(log));
    const QString day = log + QLatin1Char('/') + OperationLogFileName(kMorning.date());
    ASSERT_TRUE(qpxtest::WriteFile(day, "old\r\n"));
    QFile::setPermissions(tmp.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                                          QFileDevice::ExeOther);
    QFile::setPermissions(log, QFileDevice::Permissions(0x7777));
    QFile::setPermissions(day, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);

    auto write = [&] {
        bool flag = false;
        return WriteOperationLog(Result(0, "", "ro", ""), 2, Handset(), flag, install, 1, QString(), 0, 0,
                                 kMorning);
    };
    if (::geteuid() != 0) {
        EXPECT_EQ(write(), log + QStringLiteral("/!") + OperationLogFileName(kMorning.date()));
    } else {
        // Permissions do not bind the superuser: write from a child that drops to an ordinary user.
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(3);
            ::_exit(write().isEmpty() ? 1 : 0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_EQ(WEXITSTATUS(status), 0);
    }
    EXPECT_EQ(qpxtest::ReadFile(day), QByteArray("old\r\n"));
    const QByteArray bang =
        qpxtest::ReadFile(log + QStringLiteral("/!") + OperationLogFileName(kMorning.date()));
    EXPECT_TRUE(bang.contains("Last Status\t\t:\tro\r\n"));
}

TEST(OperationLog, ElapsedTimeText)
{
    EXPECT_EQ(ElapsedTimeText(2, 5.34f), QStringLiteral("02:05.3 s"));
    EXPECT_EQ(ElapsedTimeText(0, 0.0f), QStringLiteral("00:00.0 s"));
    EXPECT_EQ(ElapsedTimeText(123, 12.25f), QStringLiteral("123:12.2 s"));
    EXPECT_EQ(ElapsedTimeText(12, 59.96f), QStringLiteral("12:60.0 s")); // the C library's rounding
    EXPECT_EQ(ElapsedTimeText(3, 7.04f), QStringLiteral("03:07.0 s"));
}
