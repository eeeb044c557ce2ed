// The connection worker against the handset simulator: port choice, failure counting, the
// model check and stopping.
#include "LinkTestSupport.h"

#include "core/AppSettings.h"
#include "handset/ConnectionWorker.h"
#include "handset/HandsetFormat.h"
#include "platform/HostCommands.h"
#include "plugin/CatalogueSelection.h"
#include "serial/DiagPort.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMutexLocker>

#include <gtest/gtest.h>

using namespace linktest;

namespace {

// A COM number that no test ever publishes.
constexpr int ABSENT_PORT = 4;

QList<int> PortList()
{
    QMutexLocker lock(&theSettings.m_lock);
    return theSettings.m_portList.Ports();
}

void SetPortList(const QList<int>& ports)
{
    QMutexLocker lock(&theSettings.m_lock);
    theSettings.m_portList.RemoveAll();
    for (int p : ports)
        theSettings.m_portList.Append(p);
}

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
            EXPECT_TRUE(m_worker->Wait(3000));
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

    int Trying(int index) const
    {
        const QList<LPARAM> a = m_frame.Args(WM_FRAME_STATUS, FS_TRYING_PORT);
        return index < a.size() ? static_cast<int>(a[index]) : -1;
    }

    CRecorder m_frame, m_host, m_strip;
    SLinkTargets m_targets;
    std::shared_ptr<CDiagPort> m_diag;
    std::shared_ptr<CCatalogueSelection> m_catalogue;
    std::unique_ptr<CConnectionWorker> m_worker;
};

TEST_F(ConnectionWorkerTest, PortThatCannotBeOpenedIsDroppedAndTheNextOneOpened)
{
    CSimulator sim;
    ASSERT_TRUE(sim.Ready());
    SetPortList({ABSENT_PORT, sim.Port()});
    Start(ABSENT_PORT);

    ASSERT_TRUE(WaitUntil([&] { return m_frame.Count(WM_FRAME_STATUS, FS_MODEL_READY) >= 1; }, 5000));
    // The start is announced with the port asked for; the open reports the port it took.
    ASSERT_GE(m_frame.records.size(), 2);
    EXPECT_EQ(m_frame.records[0].nCode, FS_CONNECTING);
    EXPECT_EQ(m_frame.records[0].lParam, ABSENT_PORT);
    EXPECT_EQ(m_frame.Args(WM_FRAME_STATUS, FS_TRYING_PORT), QList<LPARAM>{sim.Port()});
    EXPECT_EQ(PortList(), QList<int>{sim.Port()});
    EXPECT_EQ(m_worker->LinkPort(), sim.Port());

    // The status response reaches the host as a copy of exactly the handset's answer (the
    // simulator sends 49 bytes), never of the check bytes or the buffer behind them.
    ASSERT_GE(m_host.Count(WM_HOST_COMMAND, HC_PHONE_STATUS), 1);
    const QByteArray status = m_host.LastPayload(WM_HOST_COMMAND, HC_PHONE_STATUS);
    ASSERT_EQ(status.size(), 49);
    const QStringList values =
        StatusValueTexts(reinterpret_cast<const quint8*>(status.constData()), int(status.size()));
    EXPECT_EQ(values.value(0), QStringLiteral("8f2a41d3"));
    EXPECT_EQ(values.value(1), QStringLiteral("(212) 555-0147"));
    EXPECT_EQ(values.value(3), QStringLiteral("DIGITAL"));
}

TEST_F(ConnectionWorkerTest, NoPortLeftStopsTheLinkAndReportsTheFailure)
{
    SetPortList({ABSENT_PORT, ABSENT_PORT + 1});
    Start(ABSENT_PORT);
    ASSERT_TRUE(WaitUntil([&] { return m_worker->IsFinished(); }, 3000));
    Pump(20);
    EXPECT_TRUE(PortList().isEmpty());
    EXPECT_EQ(m_frame.Count(WM_FRAME_STATUS, FS_CONNECT_FAILED), 1);
    EXPECT_EQ(m_frame.Count(WM_FRAME_STATUS, FS_TRYING_PORT), 0);
    EXPECT_EQ(m_frame.Count(WM_FRAME_STATUS, FS_PORT_REFUSED), 0); // absent: nothing to fix
    ASSERT_EQ(m_strip.Count(WM_LINK_COMMAND, LC_STOP), 1);
    // Tagged with the worker's generation, so a later worker is not stopped by it.
    EXPECT_EQ(m_strip.records[m_strip.Find(WM_LINK_COMMAND, LC_STOP)].nGeneration, 7u);
    EXPECT_EQ(m_strip.Count(WM_LINK_COMMAND, LC_GIVE_UP), 0);
}

TEST_F(ConnectionWorkerTest, StatusWithoutVersionFailsEveryPollAndTheThirdFailureMovesOn)
{
    CSimulator mute({QStringLiteral("--status-only")});
    CSimulator good;
    ASSERT_TRUE(mute.Ready() && good.Ready());
    SetPortList({mute.Port(), good.Port()});
    Start(mute.Port());

    ASSERT_TRUE(WaitUntil([&] { return m_frame.Count(WM_FRAME_STATUS, FS_MODEL_READY) >= 1; }, 15000));
    EXPECT_EQ(Trying(0), mute.Port());
    EXPECT_EQ(Trying(1), good.Port());
    // Three polls on the first port: each status answered (and shown), none good.
    const int first = m_frame.Find(WM_FRAME_STATUS, FS_TRYING_PORT);
    const int second = m_frame.Find(WM_FRAME_STATUS, FS_TRYING_PORT, first + 1);
    ASSERT_GT(second, first);
    EXPECT_GT(m_frame.Find(WM_FRAME_STATUS, FS_MODEL_READY), second);
    EXPECT_GE(m_host.Count(WM_HOST_COMMAND, HC_PHONE_STATUS), 4);
    // The silent port went to the end of the list, the other one is now current.
    EXPECT_EQ(PortList(), (QList<int>{good.Port(), mute.Port()}));
    EXPECT_EQ(theSettings.m_nPortNum.load(), good.Port());
}

TEST_F(ConnectionWorkerTest, OnlyPortIsReopenedAfterEveryThirdFailureAndNeverGivenUp)
{
    CSimulator wrong({QStringLiteral("--wrong-command")});
    ASSERT_TRUE(wrong.Ready());
    SetPortList({wrong.Port()});
    Start(wrong.Port());

    ASSERT_TRUE(WaitUntil([&] { return m_frame.Count(WM_FRAME_STATUS, FS_TRYING_PORT) >= 3; }, 10000));
    for (LPARAM p : m_frame.Args(WM_FRAME_STATUS, FS_TRYING_PORT))
        EXPECT_EQ(p, wrong.Port());
    EXPECT_FALSE(m_worker->IsFinished());
    EXPECT_EQ(m_strip.Count(WM_LINK_COMMAND, LC_GIVE_UP), 0);
    EXPECT_EQ(m_frame.Count(WM_FRAME_STATUS, FS_MODEL_READY), 0);
    EXPECT_EQ(m_frame.Count(WM_FRAME_STATUS, FS_DOWNLOAD_MODE), 0); // it answers, if wrongly, as a handset
    EXPECT_EQ(PortList(), QList<int>{wrong.Port()});
}

TEST_F(ConnectionWorkerTest, HandsetInDownloadModeIsToldAndKeptInsteadOfCountedAsFailing)
{
    for (const char* state : {"boot-loader", "programmer"}) {
        SCOPED_TRACE(state);
        m_frame.records.clear();
        CSimulator stuck({QStringLiteral("--start-in"), QLatin1String(state)});
        CSimulator good;
        ASSERT_TRUE(stuck.Ready() && good.Ready());
        SetPortList({stuck.Port(), good.Port()});
        Start(stuck.Port());

        ASSERT_TRUE(WaitUntil([&] { return m_frame.Count(WM_FRAME_STATUS, FS_DOWNLOAD_MODE) >= 4; }, 15000));
        for (LPARAM p : m_frame.Args(WM_FRAME_STATUS, FS_DOWNLOAD_MODE))
            EXPECT_EQ(p, stuck.Port());
        // Never moved on to the handset that would answer.
        EXPECT_EQ(m_frame.Args(WM_FRAME_STATUS, FS_TRYING_PORT), QList<LPARAM>{stuck.Port()});
        EXPECT_EQ(m_frame.Count(WM_FRAME_STATUS, FS_MODEL_READY), 0);
        EXPECT_EQ(PortList(), (QList<int>{stuck.Port(), good.Port()}));
        m_worker->RequestStop();
        ASSERT_TRUE(m_worker->Wait(3000));
    }
}

TEST_F(ConnectionWorkerTest, HandPickedPortOutsideTheListSwitchesToTheFirstListedPort)
{
    CSimulator picked({QStringLiteral("--wrong-command")});
    CSimulator listed;
    ASSERT_TRUE(picked.Ready() && listed.Ready());
    SetPortList({listed.Port()});
    Start(picked.Port());

    ASSERT_TRUE(WaitUntil([&] { return m_frame.Count(WM_FRAME_STATUS, FS_MODEL_READY) >= 1; }, 10000));
    EXPECT_EQ(Trying(0), picked.Port());
    EXPECT_EQ(Trying(1), listed.Port());
    // The hand-picked port is not put into the list.
    EXPECT_EQ(PortList(), QList<int>{listed.Port()});
}

TEST_F(ConnectionWorkerTest, HandPickedPortWithAnEmptyListGivesUp)
{
    CSimulator picked({QStringLiteral("--wrong-command")});
    ASSERT_TRUE(picked.Ready());
    SetPortList({});
    Start(picked.Port());

    ASSERT_TRUE(WaitUntil([&] { return m_worker->IsFinished(); }, 10000));
    Pump(20);
    EXPECT_EQ(m_strip.Count(WM_LINK_COMMAND, LC_GIVE_UP), 1);
    EXPECT_EQ(m_worker->LinkPort(), -1);
    EXPECT_EQ(theSettings.m_nPortNum.load(), -1);
    EXPECT_FALSE(m_diag->IsOpen());
}

TEST_F(ConnectionWorkerTest, StopEndsTheWorkerAtOnceEvenWithARequestInFlight)
{
    CSimulator silent({QStringLiteral("--silent")});
    ASSERT_TRUE(silent.Ready());
    SetPortList({silent.Port()});
    CConnectionWorker::SetPollPauseMs(0);
    Start(silent.Port());
    ASSERT_TRUE(WaitUntil([&] { return m_frame.Count(WM_FRAME_STATUS, FS_TRYING_PORT) >= 1; }, 5000));
    QThread::msleep(100); // the status request now waits for its 1280 ms time-out

    QElapsedTimer t;
    t.start();
    m_worker->RequestStop();
    EXPECT_TRUE(m_worker->Wait(3000));
    // Far below one request time-out: the wait was interrupted, not sat out.
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_TRUE(m_worker->IsFinished());
    EXPECT_FALSE(m_diag->IsOpen());
}

TEST_F(ConnectionWorkerTest, StopDuringTheStartSendIsNotBlockedByABusyReceiver)
{
    // The frame lives on this thread, which never runs its event loop while waiting below: the
    // FS_CONNECTING send can only end through the run flag.
    SetPortList({ABSENT_PORT});
    Start(ABSENT_PORT);
    QThread::msleep(50);
    QElapsedTimer t;
    t.start();
    m_worker->RequestStop();
    EXPECT_TRUE(m_worker->Wait(3000));
    EXPECT_LT(t.elapsed(), 1000);
    // Nothing happened after the stop: the port list is untouched.
    EXPECT_EQ(PortList(), QList<int>{ABSENT_PORT});
}

} // namespace

namespace {

// The model check with two copies of the recording plug-in in a MODEL folder.
class ModelCheckTest : public ConnectionWorkerTest
{
protected:
    void SetUp() override
    {
        ConnectionWorkerTest::SetUp();
        const QString dir = qpxtest::MakeTempDir(QStringLiteral("model-check")) + QStringLiteral("/MODEL/");
        QDir().mkpath(dir);
        m_pathA = dir + QStringLiteral("a.so");
        m_pathB = dir + QStringLiteral("b.so");
        const QString lib = QStringLiteral(QPX_TEST_PLUGIN_DIR "/qpx_rec_plugin.so");
        ASSERT_TRUE(QFile::copy(lib, m_pathA));
        ASSERT_TRUE(QFile::copy(lib, m_pathB));
        m_log = dir + QStringLiteral("calls.log");
        qputenv("QPX_REC_LOG", m_log.toLocal8Bit());
        m_catalogue->SetEntries({m_pathA, m_pathB}, {QStringLiteral("MODEL-A"), QStringLiteral("MODEL-B")});
        // Frame and host share one recorder so the order of polls and checks is kept.
        m_targets.pHost = &m_frame;
        ASSERT_TRUE(m_sim.Ready());
        SetPortList({m_sim.Port()});
    }
    void TearDown() override
    {
        qunsetenv("QPX_REC_LOG");
        qunsetenv("QPX_REC_BINVER");
        qunsetenv("QPX_REC_BLOCK_QUERY");
        ConnectionWorkerTest::TearDown();
    }

    // Runs until `polls` status responses arrived, then stops the worker.
    void RunPolls(int polls, int port = -1)
    {
        Start(port == -1 ? m_sim.Port() : port);
        ASSERT_TRUE(
            WaitUntil([&] { return m_frame.Count(WM_HOST_COMMAND, HC_PHONE_STATUS) >= polls; }, 15000));
        m_worker->RequestStop();
        ASSERT_TRUE(m_worker->Wait(3000));
        Pump(20);
    }

    // Numbers (1-based) of the polls after which a second FS_MODEL_READY (a matching check)
    // came, among the polls followed by another one.
    QList<int> PollsWithMatchingCheck() const
    {
        QList<int> out;
        int poll = 0, ready = 0;
        for (const SRecord& r : m_frame.records) {
            if (r.nMsg == WM_HOST_COMMAND && r.nCode == HC_PHONE_STATUS) {
                if (poll > 0 && ready == 2)
                    out.append(poll);
                ++poll;
                ready = 0;
            } else if (r.nMsg == WM_FRAME_STATUS && r.nCode == FS_MODEL_READY) {
                ++ready;
            }
        }
        return out;
    }

    int LogCount(const QString& call) const
    {
        const QList<QByteArray> lines = qpxtest::ReadFile(m_log).split('\n');
        return static_cast<int>(std::count(lines.begin(), lines.end(), call.toUtf8()));
    }

    CSimulator m_sim;
    QString m_pathA, m_pathB, m_log;
};

TEST_F(ModelCheckTest, RunsOnTheFirstFifthAndNinthGoodPollAndInAutoModeTakesEntryZero)
{
    theSettings.m_bAutoModelDll = 1;
    m_catalogue->SetSelectedIndex(1);
    RunPolls(11);

    EXPECT_EQ(PollsWithMatchingCheck().mid(0, 3), (QList<int>{1, 5, 9}));
    EXPECT_GE(LogCount(QStringLiteral("GetSupportBINVersion")), 3);
    EXPECT_EQ(LogCount(QStringLiteral("GetSupportBINVersion")), LogCount(QStringLiteral("GetModelKind")));
    EXPECT_EQ(m_catalogue->SelectedIndex(), 0);
    EXPECT_EQ(theSettings.Get(&CAppSettings::m_strDllFile), m_pathA);
    EXPECT_EQ(theSettings.Get(&CAppSettings::m_strModelName), QStringLiteral("MODEL-A"));
}

TEST_F(ModelCheckTest, ManualChoiceThatMatchesOnFiveCharactersBecomesThePluginInUse)
{
    qputenv("QPX_REC_BINVER", "VKQ10XYZ"); // the handset runs VKQ100A1
    theSettings.m_bAutoModelDll = 0;
    m_catalogue->SetSelectedIndex(1);
    RunPolls(2);

    EXPECT_EQ(PollsWithMatchingCheck(), QList<int>{1});
    EXPECT_EQ(m_catalogue->SelectedIndex(), 1);
    EXPECT_EQ(theSettings.Get(&CAppSettings::m_strDllFile), m_pathB);
    // The model name is the plug-in's own text in manual mode.
    EXPECT_EQ(theSettings.Get(&CAppSettings::m_strModelName), QStringLiteral("REC-MODEL"));
}

TEST_F(ModelCheckTest, MismatchLeavesThePluginInUseAndNamesNoModel)
{
    qputenv("QPX_REC_BINVER", "KQ101V12");
    for (int automatic : {0, 1}) {
        SCOPED_TRACE(automatic);
        m_frame.records.clear();
        theSettings.m_bAutoModelDll = automatic;
        theSettings.Set(&CAppSettings::m_strDllFile, QStringLiteral("N/A"));
        // A name from before (a choice by hand, another handset) is not this handset's model.
        theSettings.Set(&CAppSettings::m_strModelName, QStringLiteral("MODEL-B"));
        m_catalogue->SetSelectedIndex(1);
        RunPolls(2);
        EXPECT_TRUE(PollsWithMatchingCheck().isEmpty());
        EXPECT_EQ(m_catalogue->SelectedIndex(), 1);
        EXPECT_EQ(theSettings.Get(&CAppSettings::m_strDllFile), QStringLiteral("N/A"));
        EXPECT_EQ(theSettings.Get(&CAppSettings::m_strModelName), QString());
        m_worker.reset();
    }
}

TEST_F(ModelCheckTest, DirectoryIsReadOnlyFromAVersionAnswerThatHoldsIt)
{
    // The handset runs VKQ100A1, which the plug-in serves; only the answer's length differs. The
    // directory fills bytes 39..46: a shorter answer never matches, whatever follows its end.
    struct SCase
    {
        int nLen;
        bool bMatch;
    };
    theSettings.m_bAutoModelDll = 0;
    for (const SCase c : {SCase{44, false}, SCase{46, false}, SCase{47, true}}) {
        SCOPED_TRACE(c.nLen);
        const QString profile =
            qpxtest::MakeTempDir(QStringLiteral("short-version")) + QStringLiteral("/handset.txt");
        ASSERT_TRUE(qpxtest::WriteFile(profile, "version_length=" + QByteArray::number(c.nLen) + '\n'));
        CSimulator sim({QStringLiteral("--profile"), profile});
        ASSERT_TRUE(sim.Ready());
        SetPortList({sim.Port()});
        m_frame.records.clear();
        theSettings.Set(&CAppSettings::m_strDllFile, QStringLiteral("N/A"));
        m_catalogue->SetSelectedIndex(1);
        RunPolls(2, sim.Port());
        EXPECT_EQ(PollsWithMatchingCheck(), c.bMatch ? QList<int>{1} : QList<int>{});
        EXPECT_EQ(theSettings.Get(&CAppSettings::m_strDllFile), c.bMatch ? m_pathB : QStringLiteral("N/A"));
        m_worker.reset();
    }
}

TEST_F(ModelCheckTest, WorkerLetGoInsideAPluginQueryTouchesNothingWhenItComesBack)
{
    // GetModelKind on the worker blocks until the release file exists.
    const QString release = m_log + QStringLiteral(".release");
    qputenv("QPX_REC_BLOCK_QUERY", release.toLocal8Bit());
    theSettings.m_bAutoModelDll = 0;
    m_catalogue->SetSelectedIndex(1);
    Start(m_sim.Port());
    ASSERT_TRUE(WaitUntil([&] { return LogCount(QStringLiteral("GetModelKind blocked")) == 1; }, 15000));

    m_worker->RequestStop();
    m_worker->Detach(); // held up in the plug-in: let go
    Pump(20);
    const qsizetype posted = m_frame.records.size();
    ASSERT_TRUE(qpxtest::WriteFile(release, {}));
    ASSERT_TRUE(WaitUntil([&] { return m_worker->IsFinished(); }, 10000));
    Pump(20);
    // Back from the plug-in it ended at once: no further query, no shared state, no message.
    EXPECT_EQ(LogCount(QStringLiteral("GetModelKind returned")), 1);
    EXPECT_EQ(LogCount(QStringLiteral("GetSupportBINVersion")), 0);
    EXPECT_EQ(theSettings.Get(&CAppSettings::m_strDllFile), QStringLiteral("N/A"));
    EXPECT_TRUE(theSettings.Get(&CAppSettings::m_strModelName).isEmpty());
    EXPECT_EQ(m_frame.records.size(), posted);
}

TEST_F(ModelCheckTest, NothingSelectedLoadsNoPlugin)
{
    m_catalogue->SetSelectedIndex(-1);
    RunPolls(2);
    EXPECT_EQ(LogCount(QStringLiteral("GetModelKind")), 0);
    EXPECT_TRUE(PollsWithMatchingCheck().isEmpty());
    EXPECT_GE(m_frame.Count(WM_FRAME_STATUS, FS_MODEL_READY), 1);
}

} // namespace
