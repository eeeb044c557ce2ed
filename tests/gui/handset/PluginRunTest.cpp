// One plug-in run with the recording plug-in: the host services reach the page and the lists on
// the user-interface thread, completion arrives as WM_PLUGIN_NOTIFY, and release cuts off waits.
#include "LinkTestSupport.h"

#include "plugin/PluginRun.h"

#include <QFile>
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

// A three-column grid that notes every call made off the thread that made it; the editors it
// is given are kept as text.
class CFakeList : public IPluginList
{
public:
    QList<QStringList> rows;
    QStringList editors;
    mutable bool bOffThread = false;
    QThread* pUi = QThread::currentThread();

    virtual ~CFakeList() = default;
    int RowCount() const override { return Note(int(rows.size())); }
    int ColumnCount() const override { return Note(3); }
    QString Text(int r, int c) const override { return Note(0), rows.value(r).value(c); }
    int SetText(int r, int c, const QString& t) override
    {
        const bool in = r >= 0 && r < rows.size() && c >= 0 && c < 3;
        if (in)
            rows[r][c] = t;
        return Note(in ? 1 : -1);
    }
    int InsertRow(int, const QString& t) override
    {
        return rows.append({t, {}, {}}), Note(int(rows.size()) - 1);
    }
    int DeleteRow(int) override { return Note(-1); }
    int DeleteAllRows() override { return Note(-1); }
    int AddComboEditor(int r, int c, const QStringList& texts) override
    {
        return Editor(QStringLiteral("combo %1,%2 %3").arg(r).arg(c).arg(texts.join(u'|')));
    }
    int AddEditEditor(int r, int c, const QString& allowed, int minLength, int byteWidth,
                      int maxBytes) override
    {
        return Editor(QStringLiteral("edit %1,%2 %3 %4 %5 %6")
                          .arg(r)
                          .arg(c)
                          .arg(allowed)
                          .arg(minLength)
                          .arg(byteWidth)
                          .arg(maxBytes));
    }
    int AddIpEditor(int r, int c) override { return Editor(QStringLiteral("ip %1,%2").arg(r).arg(c)); }
    int ClearEditors() override { return Note(-1); }

private:
    int Note(int result) const
    {
        bOffThread |= QThread::currentThread() != pUi;
        return result;
    }
    int Editor(const QString& text) { return editors.append(text), Note(1); }
};

class PluginRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_log = qpxtest::MakeTempDir(QStringLiteral("plugin-run")) + QStringLiteral("/calls.log");
        qputenv("QPX_REC_LOG", m_log.toLocal8Bit());
        qputenv("QPX_REC_DELAY_MS", "10");
        CPluginRun::SetReleaseWaitMs(0);
    }
    void TearDown() override
    {
        qunsetenv("QPX_REC_LOG");
        qunsetenv("QPX_REC_DELAY_MS");
        qunsetenv("QPX_REC_SETTINGS_FILL");
        CPluginRun::SetReleaseWaitMs(1000);
    }
    bool WaitDone() const
    {
        return PumpUntil([&] { return m_page.Count(WM_PLUGIN_NOTIFY_MSG, PLUGIN_DONE) >= 1; }, 30000);
    }
    QStringList Log() const
    {
        return QString::fromUtf8(qpxtest::ReadFile(m_log)).split(u'\n', Qt::SkipEmptyParts);
    }

    CFakePage m_page;
    QString m_log;
};

TEST_F(PluginRunTest, ListServicesRunOnTheUserInterfaceThread)
{
    qputenv("QPX_REC_SETTINGS_FILL", "1");
    CFakeList list;
    for (int i = 0; i < 3; ++i)
        list.InsertRow(-1, QStringLiteral("item%1").arg(i));
    CPluginRun run(&m_page, &m_page);
    ASSERT_TRUE(run.Load(PLUGIN));
    auto settings = run.Function<PFN_ModelInterface_Settings>(QPX_SYM_SETTINGS);
    ASSERT_NE(settings, nullptr);
    QpxList* handle = run.AttachList(&list);
    settings(run.Window(), 21, CPluginRun::ToQpxRect(QRect(QPoint(10, 355), QPoint(575, 460))), "/x/a.so", 3,
             1, 0, handle);
    ASSERT_TRUE(WaitDone());

    // The live display and the list, both reached from the plug-in's thread, on this one.
    EXPECT_FALSE(m_page.bOffThread);
    EXPECT_EQ(m_page.display.value(1), QStringLiteral("status Settings running"));
    EXPECT_FALSE(list.bOffThread);
    EXPECT_EQ(
        Log().value(0),
        QStringLiteral("Settings page=1 port=21 rect=10,355,575,460 dll=/x/a.so category=3 dir=1 reserved=0 "
                       "rows=3"));
    EXPECT_EQ(list.rows.value(2),
              (QStringList{QStringLiteral("item2"), QStringLiteral("value2"), QString()}));
    EXPECT_EQ(list.editors,
              (QStringList{QStringLiteral("combo 0,1 Off|On"), QStringLiteral("edit 1,1 0123456789x 1 1 0"),
                           QStringLiteral("ip 2,1"), QStringLiteral("edit 0,2 ab 1 0 12")}));

    // Cell texts are bytes: an 8-bit code page (CP949, Latin-1) comes back as it went in; UTF-8
    // reads as text.
    const QpxHostServices* host = run.Window()->host;
    for (const QByteArray& bytes : {QByteArray("\xb1\xe8 J\xfcrgen"), QByteArray("J\xc3\xbcrgen")}) {
        ASSERT_EQ(host->ListSetText(handle, 0, 2, bytes.constData()), 1);
        char buffer[64] = {};
        EXPECT_EQ(host->ListGetText(handle, 0, 2, buffer, sizeof buffer), bytes.size());
        EXPECT_EQ(QByteArray(buffer), bytes);
    }
    EXPECT_EQ(list.rows[0][2], QStringLiteral("Jürgen"));
    run.ReleaseAndUnload();
}

// A service call from a plug-in thread waits for this thread; when this thread does not run its
// event loop, only the release can end it, and it does so at the release, not after its wait.
TEST_F(PluginRunTest, WaitingServicesGiveUpOnceTheRunIsReleased)
{
    CFakeList list;
    list.InsertRow(-1, QStringLiteral("row"));
    CPluginRun::SetReleaseWaitMs(3000);
    CPluginRun run(&m_page, &m_page);
    ASSERT_TRUE(run.Load(PLUGIN));
    QpxList* handle = run.AttachList(&list);
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
    EXPECT_EQ(list.rows.size(), 1);
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
