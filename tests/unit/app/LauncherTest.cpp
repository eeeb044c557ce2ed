// The packaged /usr/bin/qpx launcher (packaging/qpx.in), run against a fake package folder: the
// plug-in links it keeps, and the LOCATE_DIRECTORY it records, read back through the program's own
// settings reader. (The private workspace of a first start is checked on the installed package.)
#include "TestEnv.h"
#include "platform/Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

class LauncherTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The program stands in as a script that notes its umask and its arguments.
        QByteArray launcher = qpxtest::ReadFile(QStringLiteral(QPX_SOURCE_DIR "/packaging/qpx.in"));
        launcher.replace("@QPX_PROGRAM_DIR@", QFile::encodeName(m_package));
        ASSERT_TRUE(qpxtest::WriteFile(m_package + QStringLiteral("/MODEL/reference.so"), "plug-in") &&
                    qpxtest::WriteFile(m_package + QStringLiteral("/QPX.CHM"), "help") &&
                    qpxtest::WriteFile(m_package + QStringLiteral("/qpx"),
                                       "#!/bin/sh\nIFS='|'; echo \"$(umask)|$*\" > \"$QPX_TEST_RAN\"\n") &&
                    QFile::setPermissions(m_package + QStringLiteral("/qpx"), QFileDevice::ReadOwner |
                                                                                  QFileDevice::WriteOwner |
                                                                                  QFileDevice::ExeOwner) &&
                    !launcher.isEmpty() && qpxtest::WriteFile(m_root + QStringLiteral("/qpx"), launcher));
        TearDown();
    }
    void TearDown() override
    {
        QFile::remove(RegUserFilePath());
        QFile::remove(MachineFile());
    }
    static QString MachineFile()
    {
        return qEnvironmentVariable("XDG_CONFIG_DIRS") + QStringLiteral("/KOVA/QPX.conf");
    }
    static QString InstallDir() { return RegReadString(QPX_REG_KEY, "LOCATE_DIRECTORY", HKEY_LOCAL_MACHINE); }

    // Runs the launcher with umask 0022; true when it ended well and started the program with
    // the arguments and that umask.
    bool Launch(const QStringList& args = {})
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_root + QStringLiteral("/home"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_dataHome);
        env.insert(QStringLiteral("QPX_TEST_RAN"), m_root + QStringLiteral("/ran"));
        p.setProcessEnvironment(env);
        QFile::remove(m_root + QStringLiteral("/ran"));
        p.start(QStringLiteral("bash"),
                QStringList{QStringLiteral("-c"), QStringLiteral("umask 0022 && exec bash \"$0\" \"$@\""),
                            m_root + QStringLiteral("/qpx")} +
                    args);
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            ADD_FAILURE() << p.readAllStandardError().toStdString();
            return false;
        }
        return qpxtest::ReadFile(m_root + QStringLiteral("/ran")) ==
               "0022|" + args.join(QLatin1Char('|')).toUtf8() + '\n';
    }

    QString m_root = qpxtest::MakeTempDir(QStringLiteral("launcher"));
    QString m_package = m_root + QStringLiteral("/lib/kova-qpx");
    // A data folder whose name needs quoting everywhere; it reads back exactly through the store.
    QString m_dataHome = m_root + QStringLiteral("/data home, \"quoted\" \\ ; \u00e9");
    QString m_model = m_dataHome + QStringLiteral("/kova-qpx/MODEL/");
};

// A package update drops one plug-in and brings two, one named like a file of the user's: the
// package's links follow it, the user's own files and links stay.
TEST_F(LauncherTest, EveryStartRefreshesThePackagedLinksAndLeavesTheUsersOwn)
{
    ASSERT_TRUE(Launch());
    ASSERT_TRUE(
        qpxtest::WriteFile(m_model + QStringLiteral("mine.so"), "own") &&
        QFile::link(m_root + QStringLiteral("/gone/theirs.so"), m_model + QStringLiteral("theirs.so")) &&
        qpxtest::WriteFile(m_model + QStringLiteral("clash.so"), "own") &&
        QFile::remove(m_package + QStringLiteral("/MODEL/reference.so")) &&
        qpxtest::WriteFile(m_package + QStringLiteral("/MODEL/newer.so"), "plug-in") &&
        qpxtest::WriteFile(m_package + QStringLiteral("/MODEL/clash.so"), "plug-in"));
    ASSERT_TRUE(Launch());
    EXPECT_FALSE(QFileInfo(m_model + QStringLiteral("reference.so")).isSymLink());
    EXPECT_EQ(QFileInfo(m_model + QStringLiteral("newer.so")).symLinkTarget(),
              m_package + QStringLiteral("/MODEL/newer.so"));
    EXPECT_EQ(QFileInfo(m_model + QStringLiteral("theirs.so")).symLinkTarget(),
              m_root + QStringLiteral("/gone/theirs.so"));
    EXPECT_FALSE(QFileInfo(m_model + QStringLiteral("clash.so")).isSymLink());
    EXPECT_EQ(qpxtest::ReadFile(m_model + QStringLiteral("clash.so")) +
                  qpxtest::ReadFile(m_model + QStringLiteral("mine.so")),
              "ownown");
}

// The folder is recorded only when the program would find none; what the user's file holds
// besides stays readable.
TEST_F(LauncherTest, RecordsTheFolderOnlyWhenNoStoreNamesOne)
{
    const struct
    {
        const char* user;    // the user's file before the start (nullptr: none)
        const char* machine; // the machine-wide file (nullptr: none)
        bool recorded;
    } cases[] = {
        {nullptr, nullptr, true},
        {"[General]\nLOCATE_DIRECTORY=/srv/qpx/\nLAST_PORTNUM=3\n", nullptr, false},
        {nullptr, "[General]\nLOCATE_DIRECTORY=/srv/shared/\n", false},
        {"[General]\nLOCATE_DIRECTORY=\nLAST_PORTNUM=3\n[Other]\nx=1\n", nullptr, true},
        {"LAST_PORTNUM=3\n[Other]\nLOCATE_DIRECTORY=/elsewhere/\n", nullptr, true},
        {"[Other]\nx=1\n\n[General]\nLAST_PORTNUM=3\n", "[General]\nLOCATE_DIRECTORY=\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.user ? c.user : "(no user file)");
        TearDown();
        ASSERT_TRUE((!c.user || qpxtest::WriteFile(RegUserFilePath(), c.user)) &&
                    (!c.machine || qpxtest::WriteFile(MachineFile(), c.machine)) && Launch());
        EXPECT_EQ(InstallDir() == m_dataHome + QStringLiteral("/kova-qpx/"), c.recorded);
        if (!c.recorded) {
            EXPECT_EQ(qpxtest::ReadFile(RegUserFilePath()), c.user ? QByteArray(c.user) : QByteArray());
        }
        EXPECT_EQ(RegReadDword(QPX_REG_KEY, "LAST_PORTNUM"),
                  c.user && strstr(c.user, "LAST_PORTNUM") ? 3 : -1);
    }
}

} // namespace
