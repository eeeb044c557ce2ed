// The connection strip: the link picture, and the end of a link (the version list it fills is
// checked end to end against qpx-diag).
#include "LinkTestSupport.h"

#include "controls/XListCtrl.h"
#include "core/AppSettings.h"
#include "handset/ConnectionStrip.h"
#include "handset/ConnectionWorker.h"
#include "platform/HostCommands.h"
#include "plugin/CatalogueSelection.h"

#include <QCoreApplication>

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

    QString Cell(int row, int col) const { return m_strip->VersionList()->GetItemText(row, col); }
    CRecorder m_frame, m_host;
    std::unique_ptr<CConnectionStrip> m_strip;
};

// The link ends by a stop or a give-up: the list's values go blank (late updates of the
// ended worker do not refill it), the host hears of the disconnection, and only a give-up clears
// the port. A give-up of a worker that is no longer current is ignored.
TEST_F(ConnectionStripTest, LinkEndResetsTheListAndReportsTheDisconnection)
{
    CSimProcess sim(QStringList{});
    ASSERT_TRUE(sim.Ready());
    SetPortList({sim.Port()});
    for (const bool giveUp : {false, true}) {
        SCOPED_TRACE(giveUp);
        m_frame.records.clear();
        m_host.records.clear();
        theSettings.m_nPortNum = sim.Port();
        PostMessage(m_strip.get(), WM_LINK_COMMAND, LC_START, sim.Port());
        ASSERT_TRUE(PumpUntil([&] { return !Cell(4, 3).isEmpty(); }, 30000));
        const quint32 gen = m_strip->WorkerGeneration();
        if (giveUp) {
            PostMessage(m_strip.get(), WM_LINK_COMMAND, LinkWParam(LC_GIVE_UP, gen + 1), 0);
            QCoreApplication::processEvents();
            EXPECT_TRUE(m_strip->IsLinkRunning());
        }
        PostMessage(m_strip.get(), WM_LINK_COMMAND, giveUp ? LinkWParam(LC_GIVE_UP, gen) : WPARAM(LC_STOP),
                    0);
        ASSERT_TRUE(PumpUntil([&] { return m_host.Count(WM_HOST_COMMAND, HC_DISCONNECTED) == 1; }, 30000));
        QCoreApplication::processEvents();
        ASSERT_EQ(m_strip->VersionList()->GetItemCount(), 5);
        for (int row = 0; row < 5; ++row)
            EXPECT_TRUE(Cell(row, 1).isEmpty() && Cell(row, 3).isEmpty()) << row;
        EXPECT_FALSE(m_strip->IsLinkRunning());
        EXPECT_EQ(m_frame.Count(WM_FRAME_STATUS, FS_PORT_CLEARED), giveUp ? 1 : 0);
        // The stored texts stay for the operation log.
        EXPECT_EQ(m_strip->VersionStrings().strSwVersion, QStringLiteral("12.06  VKQ100A1"));
        EXPECT_EQ(m_strip->VersionStrings().strEriVersion, QStringLiteral("3"));
    }
}

} // namespace
