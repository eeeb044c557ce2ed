// The packaged /usr/bin/qpx launcher (packaging/qpx.in), run against a fake package folder: the
// plug-in links it keeps, and the LOCATE_DIRECTORY it records, read back through the program's own
// settings reader. (The private workspace of a first start is checked on the installed package.)
#include "TestEnv.h"
#include "platform/Registry.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class LauncherTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The program stands in as a script that notes its umask and its arguments.
        QByteArray launcher = qpxtest::ReadFile(QStringLiteral(QPX_SOURCE_DIR "/packaging/qpx.in"));
        launcher.replace("@QPX_PROGRAM_DIR@", QFile::encodeName(m_package));
        ASSERT_TRUE(qpxtest::WriteFile(m_package + u"/MODEL/reference.so"_s, "plug-in") &&
                    qpxtest::WriteFile(m_package + u"/QPX.CHM"_s, "help") &&
                    qpxtest::WriteFile(m_package + u"/qpx"_s,
                                       "#!/bin/sh\nIFS='|'; echo \"$(umask)|$*\" > \"$QPX_TEST_RAN\"\n") &&
                    QFile::setPermissions(m_package + u"/qpx"_s, QFileDevice::ReadOwner |
                                                                     QFileDevice::WriteOwner |
                                                                     QFileDevice::ExeOwner) &&
                    !launcher.isEmpty() && qpxtest::WriteFile(m_root + u"/qpx"_s, launcher));
        TearDown();
    }
    void TearDown() override
    {
        QFile::remove(RegUserFilePath());
        QFile::remove(MachineFile());
    }
    static QString MachineFile() { return qEnvironmentVariable("XDG_CONFIG_DIRS") + u"/KOVA/QPX.conf"_s; }
    static QString InstallDir() { return RegReadString(QPX_REG_KEY, "LOCATE_DIRECTORY", HKEY_LOCAL_MACHINE); }

    // Runs the launcher with umask 0022; true when it ended well and started the program with
    // the arguments and that umask.
    bool Launch(const QStringList& args = {})
    {
        QProcess p;
        QFile::remove(m_root + u"/ran"_s);
        p.start(u"env"_s, QStringList{u"HOME="_s + m_root + u"/home"_s, u"XDG_DATA_HOME="_s + m_dataHome,
                                      u"QPX_TEST_RAN="_s + m_root + u"/ran"_s, u"bash"_s, u"-c"_s,
                                      u"umask 0022 && exec bash \"$0\" \"$@\""_s, m_root + u"/qpx"_s} +
                              args);
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            ADD_FAILURE() << p.readAllStandardError().toStdString();
            return false;
        }
        return qpxtest::ReadFile(m_root + u"/ran"_s) == "0022|" + args.join(QLatin1Char('|')).toUtf8() + '\n';
    }

    QString m_root = qpxtest::MakeTempDir(u"launcher"_s);
    QString m_package = m_root + u"/lib/kova-qpx"_s;
    // A data folder whose name needs quoting everywhere; it reads back exactly through the store.
    QString m_dataHome = m_root + u"/data home, \"quoted\" \\ ; \u00e9"_s;
    QString m_model = m_dataHome + u"/kova-qpx/MODEL/"_s;
};

// The folder is recorded only when the program would find none; what the user's file holds
// besides stays readable. Then a package update drops one plug-in and brings two, one named like a
// file of the user's: the package's links follow it, the user's own files and links stay.
TEST_F(LauncherTest, RecordsTheFolderOnlyWhenNoStoreNamesOneAndRefreshesThePackagedLinks)
{
    const struct
    {
        const char* user;    // the user's file before the start (nullptr: none)
        const char* machine; // the machine-wide file (nullptr: none)
        bool recorded;
    } cases[] = {
        // (A first start without any file is the package check's.)
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
        EXPECT_EQ(InstallDir() == m_dataHome + u"/kova-qpx/"_s, c.recorded);
        EXPECT_TRUE(c.recorded || qpxtest::ReadFile(RegUserFilePath()) == QByteArray(c.user ? c.user : ""));
        EXPECT_EQ(RegReadDword(QPX_REG_KEY, "LAST_PORTNUM"),
                  c.user && strstr(c.user, "LAST_PORTNUM") ? 3 : -1);
    }
    ASSERT_TRUE(qpxtest::WriteFile(m_model + u"mine.so"_s, "own") &&
                QFile::link(m_root + u"/gone/theirs.so"_s, m_model + u"theirs.so"_s) &&
                qpxtest::WriteFile(m_model + u"clash.so"_s, "own") &&
                QFile::remove(m_package + u"/MODEL/reference.so"_s) &&
                qpxtest::WriteFile(m_package + u"/MODEL/newer.so"_s, "plug-in") &&
                qpxtest::WriteFile(m_package + u"/MODEL/clash.so"_s, "plug-in"));
    ASSERT_TRUE(Launch());
    // Each as "link target=content".
    QStringList seen;
    for (const char* name : {"reference.so", "newer.so", "theirs.so", "clash.so", "mine.so"})
        seen << QFileInfo(m_model + QLatin1String(name)).symLinkTarget() + u'=' +
                    QString::fromUtf8(qpxtest::ReadFile(m_model + QLatin1String(name)));
    EXPECT_EQ(seen, (QStringList{u"="_s, m_package + u"/MODEL/newer.so=plug-in"_s,
                                 m_root + u"/gone/theirs.so="_s, u"=own"_s, u"=own"_s}));
}

} // namespace
