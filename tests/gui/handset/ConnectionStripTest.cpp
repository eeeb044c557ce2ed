// The connection strip: link commands, the version list it fills from the simulator, the link
// picture and StopLink.
#include "LinkTestSupport.h"

#include "controls/XListCtrl.h"
#include "controls/XListModel.h"
#include "core/AppSettings.h"
#include "handset/ConnectionStrip.h"
#include "handset/ConnectionWorker.h"
#include "handset/HandsetFormat.h"
#include "platform/HostCommands.h"
#include "plugin/CatalogueSelection.h"
#include "serial/DiagPort.h"

#include <QCoreApplication>
#include <QMutexLocker>
#include <QSet>

#include <gtest/gtest.h>

using namespace linktest;

namespace {

class ConnectionStripTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        theSettings.Reset();
        CConnectionWorker::SetPollPauseMs(20);
        m_strip = std::make_unique<CConnectionStrip>(
            nullptr, &m_frame, &m_host, std::make_shared<CCatalogueSelection>(), QRect(0, 0, 585, 125));
    }
    void TearDown() override
    {
        m_strip->StopLink(LINK_STOP_CLOSING);
        m_strip.reset();
        CConnectionWorker::SetPollPauseMs(700);
        theSettings.Reset();
    }

    void SetPortList(const QList<int>& ports)
    {
        QMutexLocker lock(&theSettings.m_lock);
        theSettings.m_portList.RemoveAll();
        for (int p : ports)
            theSettings.m_portList.Append(p);
    }
    QString Cell(int row, int col) const { return m_strip->VersionList()->GetItemText(row, col); }
    void StartOn(int port)
    {
        theSettings.m_nPortNum = port;
        PostMessage(m_strip.get(), WM_LINK_COMMAND, LC_START, port);
        QCoreApplication::processEvents();
    }
    void ExpectLabelsOnly()
    {
        ASSERT_EQ(m_strip->VersionList()->GetItemCount(), 5);
        for (int row = 0; row < 5; ++row) {
            EXPECT_EQ(Cell(row, 0), QString::fromLatin1(VERSION_COL0_LABELS[row]));
            EXPECT_EQ(Cell(row, 2), QString::fromLatin1(VERSION_COL2_LABELS[row]));
            EXPECT_TRUE(Cell(row, 1).isEmpty());
            EXPECT_TRUE(Cell(row, 3).isEmpty());
        }
    }

    CRecorder m_frame, m_host;
    std::unique_ptr<CConnectionStrip> m_strip;
};

TEST_F(ConnectionStripTest, FillsTheVersionListFromTheHandsetAndKeepsTheTexts)
{
    CSimulator sim;
    ASSERT_TRUE(sim.Ready());
    SetPortList({sim.Port()});
    StartOn(sim.Port());
    ExpectLabelsOnly();
    ASSERT_TRUE(PumpUntil([&] { return !Cell(4, 3).isEmpty(); }, 30000));

    EXPECT_EQ(Cell(0, 1), QStringLiteral("Mar 14 2006"));
    EXPECT_EQ(Cell(0, 3), QStringLiteral("10:22:31"));
    EXPECT_EQ(Cell(1, 1), QStringLiteral("Mar 15 2006"));
    EXPECT_EQ(Cell(1, 3), QStringLiteral("09:00:00"));
    EXPECT_EQ(Cell(2, 1), QStringLiteral("12.06  VKQ100A1"));
    EXPECT_EQ(Cell(2, 3), QStringLiteral("42"));
    EXPECT_EQ(Cell(3, 1), QStringLiteral("2"));
    EXPECT_EQ(Cell(3, 3), QStringLiteral("MSM 2P (0x610a)"));
    EXPECT_EQ(Cell(4, 1), QStringLiteral("1: 52    2: 53"));
    EXPECT_EQ(Cell(4, 3), QStringLiteral("3"));
    EXPECT_EQ(Cell(2, 0), QString::fromLatin1(VERSION_COL0_LABELS[2]));
    // The texts the operation log takes.
    EXPECT_EQ(m_strip->VersionStrings().strSwVersion, QStringLiteral("12.06  VKQ100A1"));
    EXPECT_EQ(m_strip->VersionStrings().strPrlVersion, QStringLiteral("1: 52    2: 53"));
    EXPECT_TRUE(m_strip->IsLinkRunning());
}

// Each answered poll moves the link picture one frame on, round after five; updates of a worker
// that is no longer current are dropped.
TEST_F(ConnectionStripTest, LinkPictureFollowsTheCurrentWorkerOnly)
{
    CSimulator silent({QStringLiteral("--silent")});
    ASSERT_TRUE(silent.Ready());
    SetPortList({silent.Port()});
    StartOn(silent.Port());
    const quint32 gen = m_strip->WorkerGeneration();
    QList<int> shown;
    for (int i = 0; i < 6; ++i) {
        PostMessage(m_strip.get(), WM_LINK_UPDATE, LinkWParam(LU_ADVANCE_PICTURE, gen), 0);
        QCoreApplication::processEvents();
        shown.append(m_strip->LinkPictureId());
    }
    EXPECT_EQ(QSet<int>(shown.begin(), shown.end()).size(), 5);
    EXPECT_EQ(shown[5], shown[0]);
    PostMessage(m_strip.get(), WM_LINK_UPDATE, LinkWParam(LU_ADVANCE_PICTURE, gen + 1), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_strip->LinkPictureId(), shown[5]);
}

TEST_F(ConnectionStripTest, StopLinkShowsTheOperationOrIdlePicture)
{
    CSimulator silent({QStringLiteral("--silent")});
    ASSERT_TRUE(silent.Ready());
    SetPortList({silent.Port()});
    for (ELinkStop mode : {LINK_STOP_OPERATION, LINK_STOP_IDLE, LINK_STOP_CLOSING}) {
        SCOPED_TRACE(mode);
        StartOn(silent.Port());
        ASSERT_TRUE(PumpUntil([&] { return m_frame.Count(WM_FRAME_STATUS, FS_TRYING_PORT) >= 1; }, 30000));
        m_strip->StopLink(mode); // a status request may be waiting for its answer now
        EXPECT_FALSE(m_strip->IsLinkRunning());
        EXPECT_EQ(m_strip->LinkPictureId(), mode == LINK_STOP_OPERATION ? 188 : 147);
        EXPECT_EQ(m_strip->LinkFrame(), 1);
        EXPECT_FALSE(m_strip->Diag()->IsOpen());
        m_frame.records.clear();
    }
    // Without a worker StopLink changes nothing.
    m_strip->StopLink(LINK_STOP_OPERATION);
    EXPECT_EQ(m_strip->LinkPictureId(), 147);
}

// The link ends by a stop or a give-up: the list goes back to its labels (late updates of the
// ended worker do not refill it), the host hears of the disconnection, and only a give-up clears
// the port. A give-up of a worker that is no longer current is ignored.
TEST_F(ConnectionStripTest, LinkEndResetsTheListAndReportsTheDisconnection)
{
    CSimulator sim;
    ASSERT_TRUE(sim.Ready());
    SetPortList({sim.Port()});
    for (const bool giveUp : {false, true}) {
        SCOPED_TRACE(giveUp);
        m_frame.records.clear();
        m_host.records.clear();
        StartOn(sim.Port());
        ASSERT_TRUE(PumpUntil([&] { return !Cell(4, 3).isEmpty(); }, 30000));
        const quint32 gen = m_strip->WorkerGeneration();
        if (giveUp) {
            PostMessage(m_strip.get(), WM_LINK_COMMAND, LinkWParam(LC_GIVE_UP, gen + 1), 0);
            QCoreApplication::processEvents();
            EXPECT_TRUE(m_strip->IsLinkRunning());
        }
        PostMessage(m_strip.get(), WM_LINK_COMMAND, giveUp ? LinkWParam(LC_GIVE_UP, gen) : WPARAM(LC_STOP), 0);
        ASSERT_TRUE(PumpUntil([&] { return m_host.Count(WM_HOST_COMMAND, HC_DISCONNECTED) == 1; }, 30000));
        QCoreApplication::processEvents();
        ExpectLabelsOnly();
        EXPECT_FALSE(m_strip->IsLinkRunning());
        EXPECT_EQ(m_frame.Count(WM_FRAME_STATUS, FS_PORT_CLEARED), giveUp ? 1 : 0);
        // The stored texts stay for the operation log.
        EXPECT_EQ(m_strip->VersionStrings().strEriVersion, QStringLiteral("3"));
    }
}

TEST_F(ConnectionStripTest, SecondStartReplacesTheWorkerInsteadOfSharingThePort)
{
    CSimulator a, b;
    ASSERT_TRUE(a.Ready() && b.Ready());
    SetPortList({a.Port(), b.Port()});
    StartOn(a.Port());
    ASSERT_TRUE(PumpUntil([&] { return m_frame.Count(WM_FRAME_STATUS, FS_MODEL_READY) >= 1; }, 30000));
    const quint32 first = m_strip->WorkerGeneration();
    StartOn(b.Port());
    EXPECT_NE(m_strip->WorkerGeneration(), first);
    EXPECT_EQ(m_strip->LinkPort(), b.Port());
    m_frame.records.clear();
    ASSERT_TRUE(PumpUntil([&] { return m_frame.Count(WM_FRAME_STATUS, FS_MODEL_READY) >= 1; }, 30000));
    EXPECT_EQ(m_strip->Diag()->Port(), b.Port());
}

} // namespace
