// The connection worker against the handset simulator: port choice, failure counting, the
// model check and stopping.
#include "LinkTestSupport.h"

#include "core/AppSettings.h"
#include "handset/ConnectionWorker.h"
#include "handset/HandsetFormat.h"
#include "platform/HostCommands.h"
#include "plugin/CatalogueSelection.h"
#include "serial/DiagPort.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMutexLocker>
#include <QThread>

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

    CRecorder m_frame, m_host, m_strip;
    SLinkTargets m_targets;
    std::shared_ptr<CDiagPort> m_diag;
    std::shared_ptr<CCatalogueSelection> m_catalogue;
    std::unique_ptr<CConnectionWorker> m_worker;
};

// The first port fails one way or another; the worker moves on to the handset that answers.
TEST_F(ConnectionWorkerTest, AFailingFirstPortIsLeftForTheNextOne)
{
    enum EFirst
    {
        Absent,         // cannot be opened: dropped from the list
        StatusOnly,     // answers status but no version: every poll fails, the third moves on
        HandPickedWrong // picked by hand, not in the list, answers wrongly: never put into it
    };
    for (const EFirst first : {Absent, StatusOnly, HandPickedWrong}) {
        SCOPED_TRACE(first);
        m_frame.records.clear();
        m_host.records.clear();
        std::unique_ptr<CSimulator> bad;
        if (first == StatusOnly)
            bad = std::make_unique<CSimulator>(QStringList{QStringLiteral("--status-only")});
        else if (first == HandPickedWrong)
            bad = std::make_unique<CSimulator>(QStringList{QStringLiteral("--wrong-command")});
        CSimulator good;
        ASSERT_TRUE(good.Ready() && (!bad || bad->Ready()));
        const int badPort = bad ? bad->Port() : ABSENT_PORT;
        SetPortList(first == HandPickedWrong ? QList<int>{good.Port()} : QList<int>{badPort, good.Port()});
        Start(badPort);

        ASSERT_TRUE(PumpUntil([&] { return m_frame.Count(WM_FRAME_STATUS, FS_MODEL_READY) >= 1; }, 30000));
        // The start is announced with the port asked for; each open reports the port it took.
        EXPECT_EQ(m_frame.records[0].nCode, FS_CONNECTING);
        EXPECT_EQ(m_frame.records[0].lParam, badPort);
        EXPECT_EQ(m_frame.Args(WM_FRAME_STATUS, FS_TRYING_PORT),
                  first == Absent ? QList<LPARAM>{good.Port()} : (QList<LPARAM>{badPort, good.Port()}));
        const QList<int> after[] = {{good.Port()}, {good.Port(), badPort}, {good.Port()}};
        EXPECT_EQ(PortList(), after[first]);
        EXPECT_EQ(m_worker->LinkPort(), good.Port());
        if (first == StatusOnly) { // three polls on the first port, each status answered (and shown)
            EXPECT_GE(m_host.Count(WM_HOST_COMMAND, HC_PHONE_STATUS), 4);
            EXPECT_EQ(theSettings.m_nPortNum.load(), good.Port());
        }
        m_worker->RequestStop();
        ASSERT_TRUE(m_worker->Wait(30000));
    }

    // The status response reaches the host as a copy of exactly the handset's answer (the
    // simulator sends 49 bytes), never of the check bytes or the buffer behind them.
    const QByteArray status = m_host.LastPayload(WM_HOST_COMMAND, HC_PHONE_STATUS);
    ASSERT_EQ(status.size(), 49);
    const QStringList values =
        StatusValueTexts(reinterpret_cast<const quint8*>(status.constData()), int(status.size()));
    EXPECT_EQ(values.value(0), QStringLiteral("8f2a41d3"));
    EXPECT_EQ(values.value(1), QStringLiteral("(212) 555-0147"));
}

// No port left to try: the link stops (absent ports) or gives up (a hand-picked port with an empty
// list), tagged with the worker's generation so that a later worker is not ended by it.
TEST_F(ConnectionWorkerTest, NoPortLeftEndsTheWorker)
{
    CSimulator picked({QStringLiteral("--wrong-command")});
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
        ASSERT_EQ(m_strip.Count(WM_LINK_COMMAND, command), 1);
        EXPECT_EQ(m_strip.records[m_strip.Find(WM_LINK_COMMAND, command)].nGeneration, 7u);
        EXPECT_TRUE(PortList().isEmpty());
        if (!handPicked) {
            EXPECT_EQ(m_frame.Count(WM_FRAME_STATUS, FS_CONNECT_FAILED), 1);
        }
        EXPECT_EQ(m_frame.Count(WM_FRAME_STATUS, FS_PORT_REFUSED), 0); // absent: nothing to fix
        if (handPicked) {
            EXPECT_EQ(m_worker->LinkPort(), -1);
        }
        EXPECT_FALSE(m_diag->IsOpen());
    }
    EXPECT_EQ(theSettings.m_nPortNum.load(), -1);
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

        ASSERT_TRUE(PumpUntil([&] { return m_frame.Count(WM_FRAME_STATUS, FS_DOWNLOAD_MODE) >= 4; }, 30000));
        for (LPARAM p : m_frame.Args(WM_FRAME_STATUS, FS_DOWNLOAD_MODE))
            EXPECT_EQ(p, stuck.Port());
        // Never moved on to the handset that would answer.
        EXPECT_EQ(m_frame.Args(WM_FRAME_STATUS, FS_TRYING_PORT), QList<LPARAM>{stuck.Port()});
        EXPECT_EQ(m_frame.Count(WM_FRAME_STATUS, FS_MODEL_READY), 0);
        EXPECT_EQ(PortList(), (QList<int>{stuck.Port(), good.Port()}));
        m_worker->RequestStop();
        ASSERT_TRUE(m_worker->Wait(30000));
    }
}

// A stop ends the worker whatever it waits for: a status request in flight to a silent handset,
// or the start's send to a receiver whose thread never runs its event loop (this one, below).
TEST_F(ConnectionWorkerTest, StopEndsABlockedWorker)
{
    CSimulator silent({QStringLiteral("--silent")});
    ASSERT_TRUE(silent.Ready());
    for (const bool inFlight : {true, false}) {
        SCOPED_TRACE(inFlight);
        m_frame.records.clear();
        SetPortList({inFlight ? silent.Port() : ABSENT_PORT});
        CConnectionWorker::SetPollPauseMs(0);
        Start(inFlight ? silent.Port() : ABSENT_PORT);
        if (inFlight) {
            ASSERT_TRUE(
                PumpUntil([&] { return m_frame.Count(WM_FRAME_STATUS, FS_TRYING_PORT) >= 1; }, 30000));
        } else
            QThread::msleep(50); // likely inside the send by now; the test holds either way
        m_worker->RequestStop();
        EXPECT_TRUE(m_worker->Wait(30000));
        EXPECT_TRUE(m_worker->IsFinished());
        EXPECT_FALSE(m_diag->IsOpen());
        if (!inFlight) { // nothing happened after the stop: the port list is untouched
            EXPECT_EQ(PortList(), QList<int>{ABSENT_PORT});
        }
    }
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
            PumpUntil([&] { return m_frame.Count(WM_HOST_COMMAND, HC_PHONE_STATUS) >= polls; }, 60000));
        m_worker->RequestStop();
        ASSERT_TRUE(m_worker->Wait(30000));
        QCoreApplication::processEvents();
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

// One check after the first good poll: by hand, a plug-in serving the handset's software version
// (VKQ100A1) on its first five characters becomes the one in use, named by its own text; a
// mismatch, a version answer too short to hold the directory (bytes 39..46) or no selection
// leaves the plug-in in use and names no model.
TEST_F(ModelCheckTest, ManualChoiceMatchesOnTheVersionDirectory)
{
    const struct
    {
        const char* what;
        const char* binver;
        int automatic, selected, versionLength;
        bool match;
    } cases[] = {
        {"five characters", "VKQ10XYZ", 0, 1, 0, true},     {"mismatch by hand", "KQ101V12", 0, 1, 0, false},
        {"mismatch automatic", "KQ101V12", 1, 1, 0, false}, {"answer of 44", "VKQ100A1", 0, 1, 44, false},
        {"answer of 46", "VKQ100A1", 0, 1, 46, false},      {"answer of 47", "VKQ100A1", 0, 1, 47, true},
        {"nothing selected", "VKQ100A1", 0, -1, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        qputenv("QPX_REC_BINVER", c.binver);
        QFile::remove(m_log);
        std::unique_ptr<CSimulator> sim;
        int port = m_sim.Port();
        if (c.versionLength) {
            const QString profile =
                qpxtest::MakeTempDir(QStringLiteral("short-version")) + QStringLiteral("/handset.txt");
            ASSERT_TRUE(
                qpxtest::WriteFile(profile, "version_length=" + QByteArray::number(c.versionLength) + '\n'));
            sim = std::make_unique<CSimulator>(QStringList{QStringLiteral("--profile"), profile});
            ASSERT_TRUE(sim->Ready());
            port = sim->Port();
        }
        SetPortList({port});
        m_frame.records.clear();
        theSettings.m_bAutoModelDll = c.automatic;
        theSettings.Set(&CAppSettings::m_strDllFile, QStringLiteral("N/A"));
        // A name from before (a choice by hand, another handset) is not this handset's model.
        theSettings.Set(&CAppSettings::m_strModelName, QStringLiteral("MODEL-B"));
        m_catalogue->SetSelectedIndex(c.selected);
        RunPolls(2, port);
        EXPECT_EQ(PollsWithMatchingCheck(), c.match ? QList<int>{1} : QList<int>{});
        EXPECT_EQ(m_catalogue->SelectedIndex(), c.selected);
        EXPECT_EQ(theSettings.Get(&CAppSettings::m_strDllFile), c.match ? m_pathB : QStringLiteral("N/A"));
        if (c.selected >= 0) {
            EXPECT_EQ(theSettings.Get(&CAppSettings::m_strModelName),
                      c.match ? QStringLiteral("REC-MODEL") : QString());
        } else {
            EXPECT_EQ(LogCount(QStringLiteral("GetModelKind")), 0);
        }
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
    ASSERT_TRUE(PumpUntil([&] { return LogCount(QStringLiteral("GetModelKind blocked")) == 1; }, 30000));

    m_worker->RequestStop();
    m_worker->Detach(); // held up in the plug-in: let go
    QCoreApplication::processEvents();
    const qsizetype posted = m_frame.records.size();
    ASSERT_TRUE(qpxtest::WriteFile(release, {}));
    ASSERT_TRUE(PumpUntil([&] { return m_worker->IsFinished(); }, 30000));
    QCoreApplication::processEvents();
    // Back from the plug-in it ended at once: no further query, no shared state, no message.
    EXPECT_EQ(LogCount(QStringLiteral("GetModelKind returned")), 1);
    EXPECT_EQ(LogCount(QStringLiteral("GetSupportBINVersion")), 0);
    EXPECT_EQ(theSettings.Get(&CAppSettings::m_strDllFile), QStringLiteral("N/A"));
    EXPECT_TRUE(theSettings.Get(&CAppSettings::m_strModelName).isEmpty());
    EXPECT_EQ(m_frame.records.size(), posted);
}

} // namespace
