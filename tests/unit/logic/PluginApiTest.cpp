#include "plugin/PluginApi.h"
#include "QtPrint.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

QString TestPlugin(const char* name)
{
    return QStringLiteral(QPX_TEST_PLUGIN_DIR "/") + QLatin1String(name) + QStringLiteral(".so");
}

// A host services table that records what the plug-in posts and answers the list services
// from a plain row count.
struct SFakeHost
{
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<OperationResult> results; // copies taken when PLUGIN_DONE arrives
    std::vector<intptr_t> resultAddresses;
    int progress = -1;
    std::string status;
    int rows = 0;

    QpxHostServices table{};
    QpxWindow page{&table};

    static SFakeHost* Of(QpxWindow* p)
    {
        return reinterpret_cast<SFakeHost*>(reinterpret_cast<char*>(p) - offsetof(SFakeHost, page));
    }

    SFakeHost()
    {
        table.size = sizeof table;
        table.version = QPX_HOST_SERVICES_VERSION;
        table.PostPageMessage = [](QpxWindow* p, uint32_t msg, uintptr_t w, intptr_t l) -> int32_t {
            SFakeHost* h = Of(p);
            std::lock_guard<std::mutex> lock(h->mutex);
            if (msg == WM_PLUGIN_NOTIFY && w == PLUGIN_DONE) {
                h->results.push_back(*reinterpret_cast<const OperationResult*>(l));
                h->resultAddresses.push_back(l);
            }
            h->cv.notify_all();
            return 1;
        };
        table.SetProgress = [](QpxWindow* p, int32_t v) {
            std::lock_guard<std::mutex> lock(Of(p)->mutex);
            Of(p)->progress = v;
        };
        table.SetStatusText = [](QpxWindow* p, const char* t) {
            std::lock_guard<std::mutex> lock(Of(p)->mutex);
            Of(p)->status = t ? t : "";
        };
        table.ListRowCount = [](QpxList* l) -> int32_t { return *reinterpret_cast<int*>(l); };
    }

    QpxList* List() { return reinterpret_cast<QpxList*>(&rows); }

    bool WaitForResults(size_t n)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return cv.wait_for(lock, std::chrono::seconds(10), [&] { return results.size() >= n; });
    }
};

class RecordingPlugin : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = qpxtest::MakeTempDir(QStringLiteral("rec"));
        m_log = m_dir + QStringLiteral("/calls.log");
        qputenv("QPX_REC_LOG", m_log.toLocal8Bit());
        qputenv("QPX_REC_DELAY_MS", "0");
        qunsetenv("QPX_REC_RESULT");
        qunsetenv("QPX_REC_MESSAGE");
        qunsetenv("QPX_REC_BINVER");
        qunsetenv("QPX_REC_KIND");
    }
    void TearDown() override
    {
        qunsetenv("QPX_REC_LOG");
        qunsetenv("QPX_REC_DELAY_MS");
        qunsetenv("QPX_REC_RESULT");
        qunsetenv("QPX_REC_MESSAGE");
    }
    QStringList LogLines() const
    {
        return QString::fromUtf8(qpxtest::ReadFile(m_log)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QString m_dir;
    QString m_log;
};

} // namespace

TEST(PluginApi, VersionTextIsNormalised)
{
    // Each version text also seeds the fuzz target of the plug-ins' texts (version, supported
    // software, handset directory, path).
    const auto normalised = [](const char* text) {
        qpxtest::FuzzSeed("plugin_version", QByteArray(text) + '\0' + "KQ100V12" + '\0' + "KQ100ABC" + '\0' +
                                                "/opt/MODEL/x/a.so");
        return NormaliseFileVersion(QString::fromUtf8(text));
    };
    EXPECT_EQ(normalised("1, 0, 2, 3"), QStringLiteral("1.0.2.3"));
    EXPECT_EQ(normalised(" 2 ,10 , 0,1 "), QStringLiteral("2.10.0.1"));
    EXPECT_EQ(normalised(""), QString());
}

TEST(PluginApi, ModifiedTimeHasNoPaddingAndThreeBlanks)
{
    EXPECT_EQ(ModifiedTimeText(QDateTime(QDate(2006, 5, 7), QTime(9, 5, 3))),
              QStringLiteral("2006-5-7   9:5:3"));
    EXPECT_EQ(ModifiedTimeText(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 58))),
              QStringLiteral("2026-12-31   23:59:58"));

    const QString file = qpxtest::MakeTempDir(QStringLiteral("mtime")) + QStringLiteral("/a.so");
    ASSERT_TRUE(qpxtest::WriteFile(file, "x"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    const QDateTime when(QDate(2011, 2, 3), QTime(4, 5, 6));
    ASSERT_TRUE(f.setFileTime(when, QFileDevice::FileModificationTime));
    f.close();
    EXPECT_EQ(FileModifiedText(file), QStringLiteral("2011-2-3   4:5:6"));
    EXPECT_EQ(FileModifiedText(file + QStringLiteral(".missing")), QString());
}

TEST(PluginApi, SoftwareFamilyComparesFiveCharactersExactly)
{
    EXPECT_TRUE(SupportedVersionMatches("KQ100V12", "KQ100ABC"));
    EXPECT_FALSE(SupportedVersionMatches("KQ101V12", "KQ100V12"));
    EXPECT_FALSE(SupportedVersionMatches("kq100V12", "KQ100V12"));
    // Shorter texts are compared whole.
    EXPECT_TRUE(SupportedVersionMatches("KQ1", "KQ1"));
    EXPECT_FALSE(SupportedVersionMatches("KQ1", "KQ100"));
    EXPECT_FALSE(SupportedVersionMatches("KQ100", "KQ1"));
    EXPECT_TRUE(SupportedVersionMatches(QByteArray("KQ1\0XY", 6), "KQ1"));
    EXPECT_TRUE(SupportedVersionMatches("", ""));
    EXPECT_FALSE(SupportedVersionMatches("", "K"));
}

TEST(PluginApi, ModelImageIsCopiedRowByRow)
{
    const uint32_t px[] = {1, 2, 0xEE, 3, 4, 0xEE};
    const QpxImage img{2, 2, 12, px};
    const SModelImage copy = CopyModelImage(&img);
    ASSERT_FALSE(copy.IsNull());
    EXPECT_EQ(copy.pixels, (QVector<quint32>{1, 2, 3, 4}));

    const QpxImage badStride{2, 2, 4, px};
    EXPECT_TRUE(CopyModelImage(&badStride).IsNull());
    const QpxImage noPixels{2, 2, 8, nullptr};
    EXPECT_TRUE(CopyModelImage(&noPixels).IsNull());
    const QpxImage huge{5000, 1, 20000, px};
    EXPECT_TRUE(CopyModelImage(&huge).IsNull());
    EXPECT_TRUE(CopyModelImage(nullptr).IsNull());
}

TEST(PluginApi, ExportsAreResolvedByName)
{
    CPluginLibrary full;
    ASSERT_TRUE(full.Load(TestPlugin("qpx_rec_plugin"))) << ModuleLastError().toStdString();
    const SPluginExports& e = full.Exports();
    EXPECT_TRUE(e.pfnUpgrade && e.pfnBin && e.pfnSrc && e.pfnPrl && e.pfnEri && e.pfnRefurbish &&
                e.pfnPhoneBook && e.pfnSettings && e.pfnTransfer);
    EXPECT_TRUE(e.pfnGetModelKind && e.pfnGetSupportBINVersion && e.pfnGetModelImage && e.pfnReleaseRs);
    ASSERT_NE(e.pszFileVersion, nullptr);
    EXPECT_STREQ(e.pszFileVersion, "1, 0, 2, 3");
    EXPECT_EQ(FileVersionOf(full.Handle()), QStringLiteral("1.0.2.3"));

    CPluginLibrary min;
    ASSERT_TRUE(min.Load(TestPlugin("qpx_rec_plugin_min")));
    EXPECT_EQ(min.Exports().pfnBin, nullptr);
    EXPECT_EQ(min.Exports().pfnReleaseRs, nullptr);
    EXPECT_NE(min.Exports().pfnPrl, nullptr);

    CPluginLibrary moved(std::move(min));
    EXPECT_FALSE(min.IsLoaded());
    EXPECT_TRUE(moved.IsLoaded());
    moved.Unload();
    EXPECT_FALSE(moved.IsLoaded());
    EXPECT_EQ(moved.Exports().pfnPrl, nullptr);

    CPluginLibrary none;
    EXPECT_FALSE(none.Load(TestPlugin("does_not_exist")));
    EXPECT_FALSE(none.IsLoaded());
}

TEST(PluginApi, VersionAndPictureThroughTheLibrary)
{
    EXPECT_EQ(PluginFileVersion(TestPlugin("qpx_rec_plugin")), QStringLiteral("1.0.2.3"));
    EXPECT_EQ(PluginFileVersion(TestPlugin("qpx_rec_plugin_nokind")), QString());
    EXPECT_EQ(PluginFileVersion(TestPlugin("does_not_exist")), QString());

    const SModelImage img = PluginModelImage(TestPlugin("qpx_rec_plugin"));
    ASSERT_EQ(img.nWidth, 4);
    ASSERT_EQ(img.nHeight, 3);
    ASSERT_EQ(img.pixels.size(), 12);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(img.pixels[y * 4 + x], 0xFF000000u | quint32(y << 8) | quint32(x));
}

TEST_F(RecordingPlugin, OperationIsRecordedAndCompletesThroughTheHost)
{
    qputenv("QPX_REC_RESULT", "0");
    qputenv("QPX_REC_MESSAGE", "Handset refused");
    SFakeHost host;
    CPluginLibrary lib;
    ASSERT_TRUE(lib.Load(TestPlugin("qpx_rec_plugin")));
    const QByteArray dll = TestPlugin("qpx_rec_plugin").toUtf8();
    lib.Exports().pfnPrl(&host.page, 5, QpxRect{10, 355, 590, 460}, dll.constData(), 2,
                         "/d/nam?_prl_000#.prl", 1);
    ASSERT_TRUE(host.WaitForResults(1));
    lib.Exports().pfnReleaseRs(&host.page);

    const OperationResult& r = host.results.at(0);
    EXPECT_EQ(r.nResult, 0);
    EXPECT_STREQ(r.szMessage, "Handset refused");
    EXPECT_STREQ(r.szStatus, "Prl done");
    EXPECT_STREQ(r.szFileName, "/d/nam?_prl_000#.prl");
    EXPECT_EQ(r.nMinutes, 2);
    EXPECT_FLOAT_EQ(r.fSeconds, 5.34f);
    EXPECT_EQ(host.progress, 100);

    const QStringList lines = LogLines();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines.first(), QStringLiteral("Prl page=1 port=5 rect=10,355,590,460 dll=") +
                                 QString::fromUtf8(dll) +
                                 QStringLiteral(" nam=2 file=/d/nam?_prl_000#.prl dir=1"));
    EXPECT_EQ(lines.last(), QStringLiteral("ReleaseRs page=1"));
}

TEST_F(RecordingPlugin, ListExportsRecordTheRowCount)
{
    SFakeHost host;
    host.rows = 72;
    CPluginLibrary lib;
    ASSERT_TRUE(lib.Load(TestPlugin("qpx_rec_plugin")));
    lib.Exports().pfnSettings(&host.page, 7, QpxRect{10, 355, 590, 460}, "p.so", 4, 0, 0, host.List());
    ASSERT_TRUE(host.WaitForResults(1));
    lib.Exports().pfnReleaseRs(&host.page);
    host.rows = 3;
    lib.Exports().pfnPhoneBook(&host.page, 7, QpxRect{10, 355, 590, 460}, "p.so", 1, "/x/b.csv", host.List());
    ASSERT_TRUE(host.WaitForResults(2));
    lib.Exports().pfnReleaseRs(&host.page);
    lib.Exports().pfnTransfer(&host.page, 7, QpxRect{10, 355, 590, 460}, "p.so", 1, 10);
    ASSERT_TRUE(host.WaitForResults(3));
    lib.Exports().pfnReleaseRs(&host.page);

    const QStringList lines = LogLines();
    EXPECT_TRUE(lines.contains(QStringLiteral(
        "Settings page=1 port=7 rect=10,355,590,460 dll=p.so category=4 dir=0 reserved=0 rows=72")));
    EXPECT_TRUE(lines.contains(
        QStringLiteral("PhoneBook page=1 port=7 rect=10,355,590,460 dll=p.so mode=1 csv=/x/b.csv rows=3")));
    EXPECT_TRUE(
        lines.contains(QStringLiteral("Transfer page=1 port=7 rect=10,355,590,460 dll=p.so mode=1 mask=10")));
    // The default result is a success.
    EXPECT_LT(host.results.at(0).nResult, 0);
}

TEST_F(RecordingPlugin, VariantWithoutReleaseIsJoinedOnUnload)
{
    qputenv("QPX_REC_DELAY_MS", "30");
    SFakeHost host;
    {
        CPluginLibrary lib;
        ASSERT_TRUE(lib.Load(TestPlugin("qpx_rec_plugin_min")));
        lib.Exports().pfnEri(&host.page, 3, QpxRect{10, 355, 590, 460}, "m.so", 0, "/e/eri.bin", 0);
        ASSERT_TRUE(host.WaitForResults(1));
    } // unloading must not terminate the process on a joinable thread
    EXPECT_TRUE(LogLines().contains(QStringLiteral("Done Eri")));
}

TEST_F(RecordingPlugin, LeavesTheFilesARealPluginWould)
{
    qputenv("QPX_REC_CSV_TEXT", "Kim,010\r\nLee,011\r\n");
    qputenv("QPX_REC_BACKUP", "1");
    qputenv("QPX_REC_BINVER", "KQ100V12");
    const QString dll = m_dir + QStringLiteral("/MODEL/rec.so");
    ASSERT_TRUE(QDir().mkpath(m_dir + QStringLiteral("/MODEL")));
    ASSERT_TRUE(QFile::copy(TestPlugin("qpx_rec_plugin"), dll));
    SFakeHost host;
    CPluginLibrary lib;
    ASSERT_TRUE(lib.Load(dll));
    const QByteArray csv = (m_dir + QStringLiteral("/book.csv")).toUtf8();
    lib.Exports().pfnPhoneBook(&host.page, 1, QpxRect{}, dll.toUtf8().constData(), 1, csv.constData(),
                               host.List());
    ASSERT_TRUE(host.WaitForResults(1));
    lib.Exports().pfnReleaseRs(&host.page);
    lib.Exports().pfnTransfer(&host.page, 1, QpxRect{}, dll.toUtf8().constData(), 1, 2 | 8);
    ASSERT_TRUE(host.WaitForResults(2));
    lib.Exports().pfnReleaseRs(&host.page);
    qunsetenv("QPX_REC_CSV_TEXT");
    qunsetenv("QPX_REC_BACKUP");
    qunsetenv("QPX_REC_BINVER");

    EXPECT_EQ(qpxtest::ReadFile(QString::fromUtf8(csv)), QByteArray("Kim,010\r\nLee,011\r\n"));
    const QString work = m_dir + QStringLiteral("/MODEL/TRANS_BK/");
    EXPECT_TRUE(QFileInfo::exists(work + QStringLiteral("pim")));
    EXPECT_TRUE(QFileInfo::exists(work + QStringLiteral("brew/mod/iwsapp/schedule")));
    EXPECT_TRUE(QFileInfo::exists(work + QStringLiteral("KQ100V12.pp")));
    EXPECT_FALSE(QFileInfo::exists(work + QStringLiteral("sms")));
    EXPECT_FALSE(QFileInfo::exists(work + QStringLiteral("ui.data")));
}
