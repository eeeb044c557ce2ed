// The program's connection end to end: the real main frame with its page host, the handset
// simulator on a virtual port and the recording plug-in in the installation's MODEL folder. The
// handset is detected, shown on the Information page and the version list, forgotten when its
// port goes away and shown again when it comes back.
#include "SimProcess.h"
#include "TestEnv.h"

#include "app/MainFrame.h"
#include "app/PageHost.h"
#include "controls/XListCtrl.h"
#include "core/AppSettings.h"
#include "handset/ConnectionStrip.h"
#include "handset/HandsetFormat.h"
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

#include <gtest/gtest.h>

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
        m_install = qpxtest::MakeTempDir(QStringLiteral("install")) + QLatin1Char('/');
        QDir().mkpath(m_install + QStringLiteral("MODEL"));
        m_plugin = m_install + QStringLiteral("MODEL/rec.so");
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
    bool Shown() const { return Info(0) == QStringLiteral("8f2a41d3") && !Version(4, 3).isEmpty(); }
    bool Cleared() const
    {
        for (int row = 0; row < 11; ++row)
            if (!Info(row).isEmpty())
                return false;
        for (int row = 0; row < 5; ++row)
            if (!Version(row, 1).isEmpty() || !Version(row, 3).isEmpty())
                return false;
        return true;
    }

    // The 21 lines "Label: value" that qpx-diag info prints for a port.
    static QStringList DiagInfo(int port)
    {
        return RunProgram(QStringLiteral("qpx-diag"),
                          {QStringLiteral("info"), QStringLiteral("--port"), QString::number(port)})
            .Lines();
    }
    // The same lines from what the Information page and the version list show.
    QStringList ShownInfo() const
    {
        auto label = [](const char* text) {
            return QString::fromLatin1(text).trimmed() + QStringLiteral(": ");
        };
        QStringList lines;
        for (int row = 0; row < 11; ++row)
            lines << label(STATUS_ROW_LABELS[row]) + Info(row);
        for (int row = 0; row < 5; ++row) {
            lines << label(VERSION_COL0_LABELS[row]) + Version(row, 1);
            lines << label(VERSION_COL2_LABELS[row]) + Version(row, 3);
        }
        return lines;
    }

    QString m_install, m_plugin;
    std::unique_ptr<CMainFrame> m_frame;
};

// A new connection shows nothing of the previous handset, neither in view nor in the texts kept
// for the operation log, even while messages of the replaced worker are still queued.
TEST_F(LinkE2eTest, NewConnectionShowsNothingOfThePreviousHandset)
{
    CSimProcess first({QStringLiteral("--port"), QString::number(SIM_PORT), QStringLiteral("--verbose")});
    ASSERT_TRUE(first.Ready());
    m_frame = std::make_unique<CMainFrame>();
    ASSERT_TRUE(m_frame->Create());
    ASSERT_TRUE(PumpUntil([&] { return Shown(); }, 20000));
    const QString firstEsn = Info(0);
    const QString firstNumber = Info(1);
    const QString firstSoftware = Version(2, 1);

    const QString profile = m_install + QStringLiteral("second.txt");
    ASSERT_TRUE(
        qpxtest::WriteFile(profile, "esn=12ab34\ndigital_number=3234105567\nsw_version_dir=ABCDE123\n"));
    const int secondPort = SIM_PORT + 1;
    CSimProcess second(
        {QStringLiteral("--port"), QString::number(secondPort), QStringLiteral("--profile"), profile});
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

    ASSERT_TRUE(
        PumpUntil([&] { return Info(0) == QStringLiteral("0012ab34") && !Version(4, 3).isEmpty(); }, 20000));
    EXPECT_EQ(Host()->m_strEsn, QStringLiteral("0012ab34"));
    EXPECT_EQ(Host()->m_strDigitalMin, QStringLiteral("(323) 410-5567"));
    EXPECT_EQ(Host()->Strip()->VersionStrings().strSwVersion, QStringLiteral("12.06  ABCDE123"));
    EXPECT_EQ(theSettings.m_nPortNum.load(), secondPort);
}

// The program ends after a confirmed close although its connection worker is held up in a
// plug-in query that never returns: the worker is left behind, and the program says so.
TEST_F(LinkE2eTest, ProgramEndsWhileItsConnectionIsHeldUpInAPluginQuery)
{
    CSimProcess sim({QStringLiteral("--port"), QString::number(SIM_PORT)});
    ASSERT_TRUE(sim.Ready());
    const QString settings = RegUserFilePath();
    ASSERT_TRUE(
        qpxtest::WriteFile(settings, "[General]\nLOCATE_DIRECTORY=" + m_install.toLocal8Bit() + '\n'));
    const QString log = m_install + QStringLiteral("calls.log");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QPX_REC_LOG"), log);
    env.insert(QStringLiteral("QPX_REC_BLOCK_QUERY"), m_install + QStringLiteral("never"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(qpxtest::BuiltProgram(QStringLiteral("qpx")), {});
    ASSERT_TRUE(program.waitForStarted(10000));
    const bool held =
        PumpUntil([&] { return qpxtest::ReadFile(log).contains("GetModelKind blocked"); }, 30000);
    // A termination request ends the run like a confirmed close.
    program.terminate();
    const bool ended = program.waitForFinished(60000);
    if (!ended) {
        program.kill();
        program.waitForFinished(5000);
    }
    QFile::remove(settings);
    ASSERT_TRUE(held);
    ASSERT_TRUE(ended);
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    const QByteArray errors = program.readAllStandardError();
    EXPECT_EQ(program.exitCode(), 0) << errors.toStdString();
    EXPECT_TRUE(errors.contains("left behind"));
}

// The program shows what qpx-diag prints for the same handset, whatever the length of its
// answers: a field that an answer does not reach is empty in both, never a 0 or a check byte.
TEST_F(LinkE2eTest, PagesShowTheTextsOfQpxDiagForEveryAnswerLength)
{
    struct SCase
    {
        int nStatusLength;
        int nVersionLength;
        QStringList empty; // labels whose value is empty
    };
    const SCase cases[] = {
        {48,
         44,
         {QStringLiteral("Protocol Revision"), QStringLiteral("S/W Version"), QStringLiteral("Mobile Model"),
          QStringLiteral("Slot Cycle Index"), QStringLiteral("MSM Version")}},
        {49, 52, {QStringLiteral("Slot Cycle Index"), QStringLiteral("MSM Version")}},
        {60, 60, {}},
    };
    int port = SIM_PORT;
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.nStatusLength);
        ++port;
        const QString profile = m_install + QStringLiteral("handset-%1.txt").arg(port);
        ASSERT_TRUE(qpxtest::WriteFile(profile, QStringLiteral("status_length=%1\nversion_length=%2\n")
                                                    .arg(c.nStatusLength)
                                                    .arg(c.nVersionLength)
                                                    .toLatin1()));
        CSimProcess sim(
            {QStringLiteral("--port"), QString::number(port), QStringLiteral("--profile"), profile});
        ASSERT_TRUE(sim.Ready());
        const QStringList diag = DiagInfo(port);
        ASSERT_EQ(diag.size(), 21) << qPrintable(diag.join(QLatin1Char('\n')));
        for (const QString& line : diag)
            EXPECT_EQ(line.endsWith(QStringLiteral(": ")),
                      c.empty.contains(line.section(QStringLiteral(": "), 0, 0)))
                << qPrintable(line);

        m_frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(m_frame->Create());
        ASSERT_TRUE(PumpUntil([&] { return Shown(); }, 20000));
        EXPECT_EQ(ShownInfo(), diag);
        m_frame.reset();
        sim.Stop();
    }
}

TEST_F(LinkE2eTest, HandsetIsShownForgottenWhenUnpluggedAndShownAgain)
{
    auto sim =
        std::make_unique<CSimProcess>(QStringList{QStringLiteral("--port"), QString::number(SIM_PORT)});
    ASSERT_TRUE(sim->Ready());
    m_frame = std::make_unique<CMainFrame>();
    ASSERT_TRUE(m_frame->Create());

    ASSERT_TRUE(PumpUntil([&] { return Shown(); }, 20000));
    // What is shown is what qpx-diag prints (PagesShowTheTextsOfQpxDiagForEveryAnswerLength).
    EXPECT_EQ(Host()->m_strEsn, QStringLiteral("8f2a41d3"));
    // The first good poll also checked the plug-in: automatic choice takes it.
    ASSERT_TRUE(PumpUntil([&] { return theSettings.Get(&CAppSettings::m_strDllFile) == m_plugin; }, 20000));
    ASSERT_TRUE(PumpUntil(
        [&] { return m_frame->PaneText(ID_PANE_MODEL) == QStringLiteral("MODEL : REC-MODEL"); }, 20000));
    EXPECT_EQ(m_frame->PaneText(ID_PANE_PORT), QStringLiteral("PORT : COM%1").arg(SIM_PORT));
    // The panes are updated by separate posted messages.
    EXPECT_TRUE(PumpUntil(
        [&] { return m_frame->PaneText(ID_PANE_DLL) == QStringLiteral("DLL : %1 (V1.0.2.3)").arg(m_plugin); },
        20000))
        << m_frame->PaneText(ID_PANE_DLL).toStdString();
    EXPECT_TRUE(Host()->Strip()->IsLinkRunning());

    // Unplugged: both lists go back to their labels and the link stops.
    sim->Stop();
    ASSERT_TRUE(PumpUntil([&] { return Cleared(); }, 20000));
    EXPECT_TRUE(PumpUntil([&] { return !Host()->Strip()->IsLinkRunning(); }, 20000));
    EXPECT_TRUE(PumpUntil(
        [&] { return m_frame->PaneText(ID_PANE_PORT) == QStringLiteral("PORT : Not Connected "); }, 20000));

    // Plugged in again: found and shown again.
    sim = std::make_unique<CSimProcess>(QStringList{QStringLiteral("--port"), QString::number(SIM_PORT)});
    ASSERT_TRUE(sim->Ready());
    ASSERT_TRUE(PumpUntil([&] { return Shown(); }, 20000));
    EXPECT_EQ(Info(1), QStringLiteral("(212) 555-0147"));
    EXPECT_TRUE(Dialogs::Shown().isEmpty());
}

} // namespace
