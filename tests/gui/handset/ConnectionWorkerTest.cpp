// The connection worker against the handset simulator: port choice, failure counting, the
// model check and stopping.
#include "LinkTestSupport.h"

#include "core/AppSettings.h"
#include "handset/ConnectionWorker.h"
#include "platform/HostCommands.h"
#include "plugin/CatalogueSelection.h"
#include "serial/DiagPort.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace linktest;

namespace {

// A COM number that no test ever publishes.
constexpr int ABSENT_PORT = 4;

class ConnectionWorkerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        theSettings.Reset();
        theSettings.Set(&CAppSettings::m_strDllFile, QStringLiteral("N/A"));
        CConnectionWorker::SetPollPauseMs(20);
        m_targets.pFrame = &m_frame;
        m_targets.pHost = &m_host;
        m_targets.pStrip = &m_strip;
        m_diag = std::make_shared<CDiagPort>();
        m_catalogue = std::make_shared<CCatalogueSelection>();
    }
    void TearDown() override
    {
        if (m_worker) {
            m_worker->RequestStop();
            EXPECT_TRUE(m_worker->Wait(30000));
        }
        m_worker.reset();
        m_diag->Close();
        CConnectionWorker::SetPollPauseMs(700);
        theSettings.Reset();
    }

    void Start(int port)
    {
        theSettings.m_nPortNum = port;
        m_worker = std::make_unique<CConnectionWorker>(m_targets, m_diag, m_catalogue, port, 7);
        ASSERT_TRUE(m_worker->Start());
    }

    // A copy of the recording plug-in at path, the catalogue's only entry, chosen by hand.
    void ChoosePluginByHand(const QString& path)
    {
        ASSERT_TRUE(QFile::copy(QStringLiteral(QPX_TEST_PLUGIN_DIR "/qpx_rec_plugin.so"), path));
        m_catalogue->SetEntries({path}, {QStringLiteral("MODEL-A")});
        m_catalogue->SetSelectedIndex(0);
        theSettings.m_bAutoModelDll = 0;
    }

    CRecorder m_frame, m_host, m_strip;
    SLinkTargets m_targets;
    std::shared_ptr<CDiagPort> m_diag;
    std::shared_ptr<CCatalogueSelection> m_catalogue;
    std::unique_ptr<CConnectionWorker> m_worker;
};

// No port left to try: the link stops (absent ports) or gives up (a hand-picked port with an empty
// list), tagged with the worker's generation so that a later worker is not ended by it.
TEST_F(ConnectionWorkerTest, NoPortLeftEndsTheWorker)
{
    CSimProcess picked({QStringLiteral("--wrong-command")});
    ASSERT_TRUE(picked.Ready());
    for (const bool handPicked : {false, true}) {
        SCOPED_TRACE(handPicked);
        m_frame.records.clear();
        m_strip.records.clear();
        SetPortList(handPicked ? QList<int>{} : QList<int>{ABSENT_PORT, ABSENT_PORT + 1});
        Start(handPicked ? picked.Port() : ABSENT_PORT);
        ASSERT_TRUE(PumpUntil([&] { return m_worker->IsFinished(); }, 30000));
        QCoreApplication::processEvents();
        const quint32 command = handPicked ? LC_GIVE_UP : LC_STOP;
        EXPECT_EQ(m_strip.Count(WM_LINK_COMMAND, command, 7), 1);
        {
            QMutexLocker lock(&theSettings.m_lock);
            EXPECT_TRUE(theSettings.m_portList.Ports().isEmpty());
        }
        EXPECT_EQ(m_frame.Count(WM_FRAME_STATUS, FS_CONNECT_FAILED), handPicked ? 0 : 1);
        EXPECT_EQ(m_frame.Count(WM_FRAME_STATUS, FS_PORT_REFUSED), 0); // absent: nothing to fix
        EXPECT_TRUE(!handPicked || m_worker->LinkPort() == -1);
        EXPECT_FALSE(m_diag->IsOpen());
    }
    EXPECT_EQ(theSettings.m_nPortNum.load(), -1);
}

// A version answer too short to hold the software version directory (bytes 39..46) never matches
// the plug-in chosen by hand: it is not taken, and a model name from before is forgotten.
TEST_F(ConnectionWorkerTest, ShortVersionAnswerNeverMatchesThePluginChosenByHand)
{
    const QString dir = qpxtest::MakeTempDir(QStringLiteral("short-version"));
    ASSERT_TRUE(qpxtest::WriteFile(dir + QStringLiteral("/handset.txt"), "version_length=46\n"));
    ChoosePluginByHand(dir + QStringLiteral("/a.so"));
    theSettings.Set(&CAppSettings::m_strModelName, QStringLiteral("MODEL-B"));
    CSimProcess sim({QStringLiteral("--profile"), dir + QStringLiteral("/handset.txt")});
    ASSERT_TRUE(sim.Ready());
    SetPortList({sim.Port()});
    Start(sim.Port());
    ASSERT_TRUE(PumpUntil([&] { return m_host.Count(WM_HOST_COMMAND, HC_PHONE_STATUS) >= 2; }, 60000));
    EXPECT_EQ(theSettings.Get(&CAppSettings::m_strDllFile), QStringLiteral("N/A"));
    EXPECT_TRUE(theSettings.Get(&CAppSettings::m_strModelName).isEmpty());
}

// A worker let go while the model check is held up in a plug-in query (GetModelKind blocks until
// the release file exists) touches nothing when it comes back: no further query, no shared state,
// no message.
TEST_F(ConnectionWorkerTest, WorkerLetGoInsideAPluginQueryTouchesNothingWhenItComesBack)
{
    const QString dir = qpxtest::MakeTempDir(QStringLiteral("model-check")) + QStringLiteral("/MODEL/");
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString log = dir + QStringLiteral("calls.log"), release = log + QStringLiteral(".release");
    const auto logCount = [&](const char* call) { return qpxtest::ReadFile(log).split('\n').count(call); };
    qputenv("QPX_REC_LOG", log.toLocal8Bit());
    qputenv("QPX_REC_BLOCK_QUERY", release.toLocal8Bit());
    ChoosePluginByHand(dir + QStringLiteral("a.so"));
    CSimProcess sim(QStringList{});
    ASSERT_TRUE(sim.Ready());
    SetPortList({sim.Port()});
    Start(sim.Port());
    ASSERT_TRUE(PumpUntil([&] { return logCount("GetModelKind blocked") == 1; }, 30000));

    m_worker->RequestStop();
    m_worker->Detach(); // held up in the plug-in: let go
    QCoreApplication::processEvents();
    const qsizetype posted = m_frame.records.size() + m_host.records.size();
    ASSERT_TRUE(qpxtest::WriteFile(release, {}));
    ASSERT_TRUE(PumpUntil([&] { return m_worker->IsFinished(); }, 30000));
    QCoreApplication::processEvents();
    qunsetenv("QPX_REC_LOG");
    qunsetenv("QPX_REC_BLOCK_QUERY");
    EXPECT_EQ(logCount("GetModelKind returned"), 1);
    EXPECT_EQ(logCount("GetSupportBINVersion"), 0);
    EXPECT_EQ(theSettings.Get(&CAppSettings::m_strDllFile), QStringLiteral("N/A"));
    EXPECT_TRUE(theSettings.Get(&CAppSettings::m_strModelName).isEmpty());
    EXPECT_EQ(m_frame.records.size() + m_host.records.size(), posted);
}

} // namespace
