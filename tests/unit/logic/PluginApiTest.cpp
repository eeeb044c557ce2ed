#include "plugin/PluginApi.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace Qt::StringLiterals;

namespace {

QString TestPlugin(const char* name)
{
    return QStringLiteral(QPX_TEST_PLUGIN_DIR "/") + QLatin1String(name) + u".so"_s;
}

} // namespace

// Versions as "1.0.2.3"; times without padding, three blanks between date and time.
TEST(PluginApi, VersionAndTimeTexts)
{
    EXPECT_EQ(NormaliseFileVersion(u" 2 ,10 , 0,1 "_s), u"2.10.0.1"_s);
    EXPECT_EQ(NormaliseFileVersion(QString()), QString());
    EXPECT_EQ(ModifiedTimeText(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 58))),
              u"2026-12-31   23:59:58"_s);
    const QString file = qpxtest::MakeTempDir(u"mtime"_s) + u"/a.so"_s;
    ASSERT_TRUE(qpxtest::WriteFile(file, "x"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite) && f.setFileTime(QDateTime(QDate(2011, 2, 3), QTime(4, 5, 6)),
                                                              QFileDevice::FileModificationTime));
    EXPECT_EQ(FileModifiedText(file), u"2011-2-3   4:5:6"_s);
    EXPECT_EQ(FileModifiedText(file + u".missing"_s), QString());
    EXPECT_EQ(PluginFileVersion(TestPlugin("qpx_rec_plugin")), u"1.0.2.3"_s);
    EXPECT_TRUE(PluginFileVersion(TestPlugin("qpx_rec_plugin_nokind")).isEmpty() &&
                PluginFileVersion(TestPlugin("does_not_exist")).isEmpty());
}

TEST(PluginApi, SoftwareFamilyComparesFiveCharactersExactly)
{
    // The handset's version, the plug-in's, whether they match.
    const std::tuple<QByteArray, QByteArray, bool> cases[] = {{"KQ100V12", "KQ100ABC", true},
                                                              {"KQ101V12", "KQ100V12", false},
                                                              {"kq100V12", "KQ100V12", false},
                                                              {"KQ1", "KQ1", true},
                                                              {"KQ1", "KQ100", false},
                                                              {"KQ100", "KQ1", false},
                                                              {QByteArray("KQ1\0XY", 6), "KQ1", true},
                                                              {"", "", true},
                                                              {"", "K", false}};
    for (const auto& [handset, plugin, match] : cases)
        EXPECT_EQ(SupportedVersionMatches(handset, plugin), match)
            << handset.constData() << "/" << plugin.constData();
}

// The picture is copied row by row, leaving out the padding; a picture that does not add up is
// refused.
TEST(PluginApi, ModelImageIsCopiedRowByRow)
{
    const uint32_t px[] = {1, 2, 0xEE, 3, 4, 0xEE};
    const QpxImage img{2, 2, 12, px};
    EXPECT_EQ(CopyModelImage(&img).pixels, (QVector<quint32>{1, 2, 3, 4}));
    const QpxImage refused[] = {{2, 2, 4, px}, {2, 2, 8, nullptr}, {5000, 1, 20000, px}};
    for (const QpxImage& bad : refused)
        EXPECT_TRUE(CopyModelImage(&bad).IsNull()) << bad.width << "x" << bad.height;
    EXPECT_TRUE(CopyModelImage(nullptr).IsNull());
    const SModelImage fromLibrary = PluginModelImage(TestPlugin("qpx_rec_plugin"));
    EXPECT_TRUE(!fromLibrary.IsNull() &&
                fromLibrary.nWidth * fromLibrary.nHeight == fromLibrary.pixels.size());
}

// Exports a plug-in lacks stay unset (every page test uses the full set of the recording plug-in).
TEST(PluginApi, ExportsAreResolvedByName)
{
    CPluginLibrary min;
    ASSERT_TRUE(min.Load(TestPlugin("qpx_rec_plugin_min"))) << ModuleLastError().toStdString();
    EXPECT_TRUE(min.Exports().pfnPrl && !min.Exports().pfnBin && !min.Exports().pfnReleaseRs);
    CPluginLibrary moved(std::move(min));
    EXPECT_TRUE(!min.IsLoaded() && moved.IsLoaded());
    moved.Unload();
    EXPECT_TRUE(!moved.IsLoaded() && moved.Exports().pfnPrl == nullptr);
    EXPECT_FALSE(CPluginLibrary().Load(TestPlugin("does_not_exist")));
}
