// One plug-in run with the recording plug-in: the live display reaches the page on the
// user-interface thread, completion arrives as WM_PLUGIN_NOTIFY, and release cuts off waits.
#include "LinkTestSupport.h"

#include "controls/XListCtrl.h"
#include "pages/PluginLists.h"
#include "plugin/PluginRun.h"

#include <QThread>

#include <cstring>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

using namespace linktest;

namespace {

const QString PLUGIN = QStringLiteral(QPX_TEST_PLUGIN_DIR "/qpx_rec_plugin.so");

// A page: records its messages and its live display, noting the thread of every display call.
class CFakePage : public CRecorder, public IPluginStatusDisplay
{
public:
    QStringList display;
    bool bOffThread = false;

    void SetProgress(int percent) override { Note(QStringLiteral("progress %1").arg(percent)); }
    void SetStatusText(const QString& t) override { Note(QStringLiteral("status ") + t); }
    void SetFileName(const QString& t) override { Note(QStringLiteral("file ") + t); }
    void SetAddress(const QString& t) override { Note(QStringLiteral("address ") + t); }
    void SetElapsed(int m, float s) override { Note(QStringLiteral("elapsed %1 %2").arg(m).arg(s)); }

private:
    void Note(const QString& s)
    {
        bOffThread |= QThread::currentThread() != thread();
        display.append(s);
    }
};

class PluginRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("QPX_REC_DELAY_MS", "10");
        CPluginRun::SetReleaseWaitMs(0);
    }
    void TearDown() override
    {
        qunsetenv("QPX_REC_DELAY_MS");
        CPluginRun::SetReleaseWaitMs(1000);
    }

    CFakePage m_page;
};

// The live display, reached from the plug-in's work thread, is updated on this one, each value as
// the plug-in gave it; the completion follows.
TEST_F(PluginRunTest, DisplayServicesRunOnTheUserInterfaceThread)
{
    CPluginRun run(&m_page, &m_page);
    ASSERT_TRUE(run.Load(PLUGIN));
    auto bin = run.Function<PFN_ModelInterface_Bin>(QPX_SYM_BIN);
    ASSERT_NE(bin, nullptr);
    bin(run.Window(), 21, CPluginRun::ToQpxRect(QRect(10, 355, 566, 106)), "/x/a.so", "/x/fw.bin");
    ASSERT_TRUE(PumpUntil([&] { return m_page.Count(WM_PLUGIN_NOTIFY_MSG, PLUGIN_DONE) == 1; }, 30000));
    EXPECT_FALSE(m_page.bOffThread);
    EXPECT_EQ(m_page.display, (QStringList{"progress 100", "status Bin running", "file /x/fw.bin",
                                           "address 0x00001000", "elapsed 0 0.5"}));
    run.ReleaseAndUnload();
}

// A service call from a plug-in thread waits for this thread; when this thread does not run its
// event loop, only the release can end it, and it does so at the release, not after its wait.
TEST_F(PluginRunTest, WaitingServicesGiveUpOnceTheRunIsReleased)
{
    CXListCtrl list;
    list.InsertColumn(0, QStringLiteral("Name"));
    list.InsertItem(0, QStringLiteral("row"));
    CPluginList rows(&list);
    EXPECT_EQ(QList({rows.AddComboEditor(0, 0, {}), rows.ClearEditors()}), QList({-1, -1})); // no editors
    CPluginRun::SetReleaseWaitMs(3000);
    CPluginRun run(&m_page, &m_page);
    ASSERT_TRUE(run.Load(PLUGIN));
    QpxList* handle = run.AttachList(&rows);
    const QpxHostServices* host = run.Window()->host;

    std::atomic<int> result{0};
    std::atomic<bool> returned{false}, released{false}, backDuringRelease{false};
    std::thread worker([&] {
        result = host->ListRowCount(handle);
        returned = true;
    });
    std::thread watcher([&] {
        while (!returned && !released)
            std::this_thread::yield();
        backDuringRelease = returned && !released;
    });
    run.ReleaseAndUnload();
    released = true;
    watcher.join();
    worker.join();
    EXPECT_TRUE(backDuringRelease.load());
    EXPECT_EQ(result.load(), -1);
}

// A result record is copied with its texts cut to their fields; a completion without its record
// is a failure told in words.
TEST_F(PluginRunTest, ResultCopy)
{
    OperationResult src;
    std::memset(&src, 'x', sizeof src); // no terminator anywhere
    src.nResult = 5;
    const OperationResult copy = CPluginRun::CopyResult(reinterpret_cast<LPARAM>(&src));
    EXPECT_EQ(copy.nResult, 5);
    EXPECT_EQ(std::strlen(copy.szMessage), sizeof copy.szMessage - 1);
    EXPECT_EQ(std::strlen(copy.szAddress), sizeof copy.szAddress - 1);
    const OperationResult none = CPluginRun::CopyResult(0);
    EXPECT_EQ(none.nResult, 0);
    EXPECT_STREQ(none.szMessage, "The plug-in reported no result.");
    EXPECT_STREQ(none.szStatus, "The plug-in reported no result.");
}

} // namespace
