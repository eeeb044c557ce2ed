// The program's connection end to end: the real main frame with its page host, the handset
// simulator on a virtual port and the recording plug-in in the installation's MODEL folder: a new
// connection shows nothing of the previous handset; the program as a user starts it.
#include "SimProcess.h"
#include "TestEnv.h"

#include "app/MainFrame.h"
#include "app/PageHost.h"
#include "controls/XListCtrl.h"
#include "core/AppSettings.h"
#include "handset/ConnectionStrip.h"
#include "handset/InfoPage.h"
#include "platform/Dialogs.h"
#include "platform/HostCommands.h"
#include "platform/Registry.h"
#include "platform/VirtualPorts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMutexLocker>
#include <QProcess>
#include <QSettings>

#include <csignal>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

using qpxtest::PumpUntil;

namespace {

constexpr int SIM_PORT = 23;

class LinkE2eTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Dialogs::SetTestMode(true);
        Dialogs::ClearRecords();
        theSettings.Reset();
        m_install = qpxtest::MakeTempDir(u"install"_s) + u'/';
        QDir().mkpath(m_install + u"MODEL"_s);
        m_plugin = m_install + u"MODEL/rec.so"_s;
        ASSERT_TRUE(QFile::copy(QStringLiteral(QPX_TEST_PLUGIN_DIR "/qpx_rec_plugin.so"), m_plugin));
        theSettings.m_strInstallDir = m_install;
        QDir(VirtualPortFolder()).removeRecursively();
        EnsureVirtualPortFolder();
    }
    void TearDown() override
    {
        m_frame.reset();
        theSettings.Reset();
    }

    CPageHost* Host() const { return m_frame->PageHost(); }
    QString Info(int row) const { return Host()->InfoPage()->ValueText(row); }
    QString Version(int row, int col) const { return Host()->Strip()->VersionList()->GetItemText(row, col); }
    bool Shown() const { return Info(0) == u"8f2a41d3"_s && !Version(4, 3).isEmpty(); }

    QString m_install, m_plugin;
    std::unique_ptr<CMainFrame> m_frame;
};

// A new connection shows nothing of the previous handset, neither in view nor in the texts kept
// for the operation log, even while messages of the replaced worker are still queued.
TEST_F(LinkE2eTest, NewConnectionShowsNothingOfThePreviousHandset)
{
    CSimProcess first({u"--port"_s, QString::number(SIM_PORT), u"--verbose"_s});
    ASSERT_TRUE(first.Ready());
    m_frame = std::make_unique<CMainFrame>();
    ASSERT_TRUE(m_frame->Create());
    ASSERT_TRUE(PumpUntil([&] { return Shown(); }, 20000));
    const QString firstEsn = Info(0);
    const QString firstNumber = Info(1);
    const QString firstSoftware = Version(2, 1);

    const QString profile = m_install + u"second.txt"_s;
    ASSERT_TRUE(
        qpxtest::WriteFile(profile, "esn=12ab34\ndigital_number=3234105567\nsw_version_dir=ABCDE123\n"));
    const int secondPort = SIM_PORT + 1;
    CSimProcess second({u"--port"_s, QString::number(secondPort), u"--profile"_s, profile});
    ASSERT_TRUE(second.Ready());
    ASSERT_TRUE(PumpUntil(
        [&] {
            QMutexLocker lock(&theSettings.m_lock);
            return theSettings.m_portList.Find(secondPort) >= 0;
        },
        20000));

    // The first worker polls on while this thread handles nothing: a whole poll's messages queue
    // up. Then the second port's result is handled before them, as when it comes first in line.
    ASSERT_TRUE(first.WaitForRequests("status", 3, 10000));
    theSettings.m_nPortNum = secondPort;
    m_frame->m_nCurPort = secondPort;
    Host()->OnHostCommand(HC_PORT_RESULT, secondPort);
    QCoreApplication::processEvents();
    EXPECT_NE(Info(0), firstEsn);
    EXPECT_NE(Info(1), firstNumber);
    EXPECT_NE(Host()->m_strEsn, firstEsn);
    EXPECT_NE(Host()->m_strDigitalMin, firstNumber);
    EXPECT_NE(Version(2, 1), firstSoftware);
    EXPECT_NE(Host()->Strip()->VersionStrings().strSwVersion, firstSoftware);

    ASSERT_TRUE(PumpUntil([&] { return Info(0) == u"0012ab34"_s && !Version(4, 3).isEmpty(); }, 20000));
    EXPECT_EQ(Host()->m_strEsn, u"0012ab34"_s);
    EXPECT_EQ(Host()->m_strDigitalMin, u"(323) 410-5567"_s);
    EXPECT_EQ(Host()->Strip()->VersionStrings().strSwVersion, u"12.06  ABCDE123"_s);
    EXPECT_EQ(theSettings.m_nPortNum.load(), secondPort);
}

// The real program as a user starts it: a second copy is refused while the first runs, a copy
// killed outright leaves nothing that refuses the next one, and the program ends after a
// termination request although its connection worker is held up in a plug-in query that never
// returns: the worker is left behind, the program says so and writes its settings back.
TEST_F(LinkE2eTest, SecondCopyRefusedAndTheProgramEndsWhileItsConnectionIsHeldUp)
{
    CSimProcess sim({u"--port"_s, QString::number(SIM_PORT)});
    ASSERT_TRUE(sim.Ready());
    const QString settings = RegUserFilePath();
    ASSERT_TRUE(qpxtest::WriteFile(settings, "[General]\nLOCATE_DIRECTORY=" + m_install.toLocal8Bit() +
                                                 "\nLAST_WINDOW_POSITION_X=12\n"));
    const QString log = m_install + u"calls.log"_s;
    const auto start = [&](bool blockQuery) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"QPX_AUTO_DIALOGS"_s, u"1"_s);
        env.insert(u"QPX_REC_LOG"_s, log);
        if (blockQuery)
            env.insert(u"QPX_REC_BLOCK_QUERY"_s, m_install + u"never"_s);
        p->setProcessEnvironment(env);
        p->start(qpxtest::BuiltProgram(u"qpx"_s), {});
        EXPECT_TRUE(p->waitForStarted(10000));
        return p;
    };
    // A copy is up once the plug-in is asked about the handset.
    auto first = start(false);
    ASSERT_TRUE(PumpUntil([&] { return qpxtest::ReadFile(log).contains("GetModelKind"); }, 30000));
    auto second = start(false);
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_TRUE(second->readAllStandardError().contains("Program is already running!"));
    EXPECT_EQ(first->state(), QProcess::Running);
    ::kill(static_cast<pid_t>(first->processId()), SIGKILL);
    first->waitForFinished(5000);

    auto program = start(true);
    const bool held =
        PumpUntil([&] { return qpxtest::ReadFile(log).contains("GetModelKind blocked"); }, 30000);
    // A termination request ends the run like a confirmed close.
    program->terminate();
    const bool ended = program->waitForFinished(60000);
    if (!ended) {
        program->kill();
        program->waitForFinished(5000);
    }
    QSettings saved(settings, QSettings::IniFormat);
    const QVariant position = saved.value(u"LAST_WINDOW_POSITION_X"_s);
    const QVariant install = saved.value(u"LOCATE_DIRECTORY"_s);
    const QString dll = saved.value(u"LAST_DLL_FILE"_s, u"absent"_s).toString();
    QFile::remove(settings);
    ASSERT_TRUE(held);
    ASSERT_TRUE(ended);
    EXPECT_EQ(program->exitStatus(), QProcess::NormalExit);
    const QByteArray errors = program->readAllStandardError();
    EXPECT_EQ(program->exitCode(), 0) << errors.toStdString();
    EXPECT_TRUE(errors.contains("left behind"));
    // Ended without asking the exit question (nobody would be there to answer it); no plug-in was
    // chosen: "N/A" from start-up, or empty once the link was dropped.
    EXPECT_FALSE(errors.contains("Exit the program?"));
    EXPECT_FALSE(IsDllSelected(dll)) << dll.toStdString();
    EXPECT_NE(dll, u"absent"_s);
    EXPECT_EQ(position.toInt(), 12);
    EXPECT_EQ(install.toString(), m_install);
}

} // namespace
