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

#include <QElapsedTimer>
#include <QMutexLocker>

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
        m_strip->StopLink(2);
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
        Pump(5);
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

TEST_F(ConnectionStripTest, StartsWithLabelsOnTheirColoursAndTheIdlePicture)
{
    ExpectLabelsOnly();
    EXPECT_EQ(m_strip->LinkPictureId(), 147);
    CXListCtrl* list = m_strip->VersionList();
    EXPECT_EQ(list->GetColumnCount(), 4);
    const SXCellAttr& a00 = list->Model()->Attr(0, 0);
    const SXCellAttr& a02 = list->Model()->Attr(0, 2);
    const SXCellAttr& a10 = list->Model()->Attr(1, 0);
    const SXCellAttr& a12 = list->Model()->Attr(1, 2);
    EXPECT_EQ(QColor(a00.crBackground), QColor(192, 192, 192));
    EXPECT_EQ(QColor(a02.crBackground), QColor(227, 227, 227));
    EXPECT_EQ(QColor(a10.crBackground), QColor(227, 227, 227));
    EXPECT_EQ(QColor(a12.crBackground), QColor(192, 192, 192));
    EXPECT_EQ(QColor(a00.crText), QColor(0, 0, 0));
    EXPECT_FALSE(m_strip->IsLinkRunning());
}

TEST_F(ConnectionStripTest, FillsTheVersionListFromTheHandsetAndKeepsTheTexts)
{
    CSimulator sim;
    ASSERT_TRUE(sim.Ready());
    SetPortList({sim.Port()});
    StartOn(sim.Port());
    ASSERT_TRUE(WaitUntil([&] { return !Cell(4, 3).isEmpty(); }, 5000));

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
    // The labels keep their places and colours through the fill.
    EXPECT_EQ(Cell(2, 0), QString::fromLatin1(VERSION_COL0_LABELS[2]));
    EXPECT_EQ(QColor(m_strip->VersionList()->Model()->Attr(2, 0).crBackground), QColor(192, 192, 192));

    const SVersionStrings v = m_strip->VersionStrings();
    EXPECT_EQ(v.strCompileDate, QStringLiteral("Mar 14 2006"));
    EXPECT_EQ(v.strReleaseDate, QStringLiteral("Mar 15 2006"));
    EXPECT_EQ(v.strSwVersion, QStringLiteral("12.06  VKQ100A1"));
    EXPECT_EQ(v.strSlotCycle, QStringLiteral("2"));
    EXPECT_EQ(v.strMsmVersion, QStringLiteral("MSM 2P (0x610a)"));
    EXPECT_EQ(v.strPrlVersion, QStringLiteral("1: 52    2: 53"));
    EXPECT_EQ(v.strEriVersion, QStringLiteral("3"));

    // Each answered poll moves the picture one animation frame on.
    const QList<int> frames{140, 142, 143, 144, 171};
    EXPECT_TRUE(frames.contains(m_strip->LinkPictureId()));
    EXPECT_TRUE(m_strip->IsLinkRunning());
}

TEST_F(ConnectionStripTest, LinkPictureRunsThroughItsFiveFramesAndWrapsAfterTen)
{
    CSimulator silent({QStringLiteral("--silent")});
    ASSERT_TRUE(silent.Ready());
    SetPortList({silent.Port()});
    StartOn(silent.Port());
    const quint32 gen = m_strip->WorkerGeneration();
    QList<int> shown;
    for (int i = 0; i < 12; ++i) {
        PostMessage(m_strip.get(), WM_LINK_UPDATE, LinkWParam(LU_ADVANCE_PICTURE, gen), 0);
        Pump(2);
        shown.append(m_strip->LinkPictureId());
    }
    EXPECT_EQ(shown, (QList<int>{140, 142, 143, 144, 171, 140, 142, 143, 144, 171, 140, 142}));

    // Updates of an older worker are dropped.
    PostMessage(m_strip.get(), WM_LINK_UPDATE, LinkWParam(LU_ADVANCE_PICTURE, gen + 1), 0);
    Pump(2);
    EXPECT_EQ(m_strip->LinkPictureId(), 142);
}

TEST_F(ConnectionStripTest, StopLinkShowsTheOperationOrIdlePictureAndReturnsFast)
{
    CSimulator silent({QStringLiteral("--silent")});
    ASSERT_TRUE(silent.Ready());
    SetPortList({silent.Port()});
    for (int mode : {1, 0, 2}) {
        SCOPED_TRACE(mode);
        StartOn(silent.Port());
        ASSERT_TRUE(WaitUntil([&] { return m_frame.Count(WM_FRAME_STATUS, FS_TRYING_PORT) >= 1; }, 5000));
        QThread::msleep(60); // a status request is waiting for its answer now
        QElapsedTimer t;
        t.start();
        m_strip->StopLink(mode);
        EXPECT_LT(t.elapsed(), 1000);
        EXPECT_FALSE(m_strip->IsLinkRunning());
        EXPECT_EQ(m_strip->LinkPictureId(), mode == 1 ? 188 : 147);
        EXPECT_EQ(m_strip->LinkFrame(), 1);
        EXPECT_FALSE(m_strip->Diag()->IsOpen());
        m_frame.records.clear();
    }
    // Without a worker StopLink changes nothing.
    m_strip->StopLink(1);
    EXPECT_EQ(m_strip->LinkPictureId(), 147);
}

TEST_F(ConnectionStripTest, LinkStopResetsTheListAndReportsTheDisconnection)
{
    CSimulator sim;
    ASSERT_TRUE(sim.Ready());
    SetPortList({sim.Port()});
    StartOn(sim.Port());
    ASSERT_TRUE(WaitUntil([&] { return !Cell(4, 3).isEmpty(); }, 5000));

    PostMessage(m_strip.get(), WM_LINK_COMMAND, LC_STOP, 0);
    ASSERT_TRUE(WaitUntil([&] { return m_host.Count(WM_HOST_COMMAND, HC_DISCONNECTED) == 1; }, 3000));
    Pump(50); // late updates of the stopped worker must not refill the list
    ExpectLabelsOnly();
    EXPECT_FALSE(m_strip->IsLinkRunning());
    EXPECT_EQ(m_frame.Count(WM_FRAME_STATUS, FS_PORT_CLEARED), 0);
    // The stored texts stay for the operation log.
    EXPECT_EQ(m_strip->VersionStrings().strEriVersion, QStringLiteral("3"));
}

TEST_F(ConnectionStripTest, GiveUpResetsShowsIdleAndClearsThePort)
{
    CSimulator sim;
    ASSERT_TRUE(sim.Ready());
    SetPortList({sim.Port()});
    StartOn(sim.Port());
    ASSERT_TRUE(WaitUntil([&] { return !Cell(0, 1).isEmpty(); }, 5000));

    // A give-up of a worker that is no longer current is ignored.
    PostMessage(m_strip.get(), WM_LINK_COMMAND, LinkWParam(LC_GIVE_UP, m_strip->WorkerGeneration() + 1), 0);
    Pump(20);
    EXPECT_TRUE(m_strip->IsLinkRunning());
    EXPECT_EQ(m_frame.Count(WM_FRAME_STATUS, FS_PORT_CLEARED), 0);

    PostMessage(m_strip.get(), WM_LINK_COMMAND, LinkWParam(LC_GIVE_UP, m_strip->WorkerGeneration()), 0);
    ASSERT_TRUE(WaitUntil([&] { return m_frame.Count(WM_FRAME_STATUS, FS_PORT_CLEARED) == 1; }, 3000));
    Pump(50);
    ExpectLabelsOnly();
    EXPECT_EQ(m_strip->LinkPictureId(), 147);
    EXPECT_EQ(m_host.Count(WM_HOST_COMMAND, HC_DISCONNECTED), 1);
    EXPECT_FALSE(m_strip->IsLinkRunning());
}

TEST_F(ConnectionStripTest, SecondStartReplacesTheWorkerInsteadOfSharingThePort)
{
    CSimulator a, b;
    ASSERT_TRUE(a.Ready() && b.Ready());
    SetPortList({a.Port(), b.Port()});
    StartOn(a.Port());
    ASSERT_TRUE(WaitUntil([&] { return m_frame.Count(WM_FRAME_STATUS, FS_MODEL_READY) >= 1; }, 5000));
    const quint32 first = m_strip->WorkerGeneration();
    StartOn(b.Port());
    EXPECT_NE(m_strip->WorkerGeneration(), first);
    EXPECT_EQ(m_strip->LinkPort(), b.Port());
    m_frame.records.clear();
    ASSERT_TRUE(WaitUntil([&] { return m_frame.Count(WM_FRAME_STATUS, FS_MODEL_READY) >= 1; }, 5000));
    EXPECT_EQ(m_strip->Diag()->Port(), b.Port());
}

} // namespace
