#include "plugin/ModelCatalogue.h"
#include "QtPrint.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString TestPlugin(const char* name)
{
    return QStringLiteral(QPX_TEST_PLUGIN_DIR "/") + QLatin1String(name) + QStringLiteral(".so");
}

// Copies a built test plug-in to dest (folders created).
void Place(const char* plugin, const QString& dest)
{
    QDir().mkpath(QFileInfo(dest).absolutePath());
    ASSERT_TRUE(QFile::copy(TestPlugin(plugin), dest)) << dest.toStdString();
}

class ModelCatalogueScan : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_root = qpxtest::MakeTempDir(QStringLiteral("install"));
        m_model = m_root + QStringLiteral("/MODEL");
        QDir().mkpath(m_model);
        qunsetenv("QPX_REC_BINVER");
        qunsetenv("QPX_REC_KIND");
        qunsetenv("QPX_REC_LOG");
    }
    void TearDown() override
    {
        qunsetenv("QPX_REC_BINVER");
        qunsetenv("QPX_REC_LOG");
    }
    QStringList RelativePaths(const CModelCatalogue& c) const
    {
        QStringList out;
        for (const QString& p : c.Paths())
            out << p.mid(m_model.size() + 1);
        return out;
    }

    QString m_root;
    QString m_model;
};

} // namespace

TEST_F(ModelCatalogueScan, EntriesNeedBothQueryExports)
{
    Place("qpx_rec_plugin", m_model + QStringLiteral("/a.so"));
    Place("qpx_rec_plugin_nokind", m_model + QStringLiteral("/b.so"));
    Place("qpx_rec_plugin_nobinver", m_model + QStringLiteral("/c.so"));
    Place("qpx_rec_plugin_min", m_model + QStringLiteral("/d.so"));
    ASSERT_TRUE(qpxtest::WriteFile(m_model + QStringLiteral("/e.so"), "not a library"));
    Place("qpx_rec_plugin", m_model + QStringLiteral("/f.SO")); // the pattern ignores case
    Place("qpx_rec_plugin", m_model + QStringLiteral("/g.so.1"));

    CModelCatalogue c;
    c.ScanFolder(m_model);
    EXPECT_EQ(RelativePaths(c),
              (QStringList{QStringLiteral("a.so"), QStringLiteral("d.so"), QStringLiteral("f.SO")}));
    ASSERT_EQ(c.GetCount(), 3);
    EXPECT_EQ(c.GetFileName(1), QStringLiteral("d.so"));
    EXPECT_EQ(c.GetModelName(0), QStringLiteral("REC-MODEL"));
    EXPECT_EQ(c.GetSoftwareVersion(0), QStringLiteral("VKQ100A1"));
    EXPECT_EQ(c.GetPath(0), m_model + QStringLiteral("/a.so"));
    EXPECT_EQ(c.GetLocation(0), QStringLiteral("./MODEL"));
    EXPECT_EQ(c.GetPath(3), QString());
    EXPECT_EQ(c.GetModelName(-1), QString());
    EXPECT_EQ(c.FindPath(m_model + QStringLiteral("/d.so")), 1);
}

TEST_F(ModelCatalogueScan, SubFoldersBeforeTheFirstFileComeFirstAndLaterOnesAreNotVisited)
{
    Place("qpx_rec_plugin", m_model + QStringLiteral("/a_early/x/inner.so"));
    Place("qpx_rec_plugin", m_model + QStringLiteral("/b_own.so"));
    Place("qpx_rec_plugin", m_model + QStringLiteral("/c_own.so"));
    ASSERT_TRUE(qpxtest::WriteFile(m_model + QStringLiteral("/readme.txt"), "x"));
    Place("qpx_rec_plugin", m_model + QStringLiteral("/z_late/never.so"));

    CModelCatalogue c;
    c.ScanFolder(m_model + QLatin1Char('/'));
    EXPECT_EQ(RelativePaths(c), (QStringList{QStringLiteral("a_early/x/inner.so"), QStringLiteral("b_own.so"),
                                             QStringLiteral("c_own.so")}));
    EXPECT_EQ(c.GetLocation(0), QStringLiteral("./MODEL/A_EARLY/X"));
}

TEST_F(ModelCatalogueScan, FolderWithoutLibrariesIsWalkedOn)
{
    // docs holds a plain file but no library: its walk goes on to its sub-folder.
    ASSERT_TRUE(qpxtest::WriteFile(m_model + QStringLiteral("/docs/a.txt"), "x"));
    Place("qpx_rec_plugin", m_model + QStringLiteral("/docs/zz/q.so"));
    // The file that ends a walk may come after the libraries in name order.
    Place("qpx_rec_plugin", m_model + QStringLiteral("/k/a.so"));
    ASSERT_TRUE(qpxtest::WriteFile(m_model + QStringLiteral("/k/b.txt"), "x"));

    CModelCatalogue c;
    c.ScanFolder(m_model);
    EXPECT_EQ(RelativePaths(c), (QStringList{QStringLiteral("docs/zz/q.so"), QStringLiteral("k/a.so")}));
}

TEST_F(ModelCatalogueScan, QueriesAreCalledVersionFirst)
{
    const QString log = m_root + QStringLiteral("/calls.log");
    qputenv("QPX_REC_LOG", log.toLocal8Bit());
    qputenv("QPX_REC_BINVER", "ZZ200V01");
    Place("qpx_rec_plugin", m_model + QStringLiteral("/a.so"));

    CModelCatalogue c;
    ASSERT_TRUE(c.AddPlugin(m_model + QStringLiteral("/a.so"), QStringLiteral("a.so")));
    EXPECT_EQ(c.GetSoftwareVersion(0), QStringLiteral("ZZ200V01"));
    EXPECT_EQ(QString::fromUtf8(qpxtest::ReadFile(log)),
              QStringLiteral("GetSupportBINVersion\nGetModelKind\n"));
    EXPECT_FALSE(c.AddPlugin(m_model + QStringLiteral("/missing.so"), QStringLiteral("missing.so")));
    EXPECT_EQ(c.GetCount(), 1);
}

TEST_F(ModelCatalogueScan, MissingEmptyAndLoopedFolders)
{
    CModelCatalogue c;
    c.ScanFolder(m_root + QStringLiteral("/NOPE"));
    c.ScanFolder(m_model); // empty
    EXPECT_EQ(c.GetCount(), 0);
    Place("qpx_rec_plugin", m_model + QStringLiteral("/a/p.so"));
    ASSERT_TRUE(QFile::link(m_model, m_model + QStringLiteral("/a/0loop")));
    c.ScanFolder(m_model);
    EXPECT_EQ(RelativePaths(c), (QStringList{QStringLiteral("a/p.so")}));
}

// The location column starts at the first "MODEL" folder in any case, upper-cased.
TEST(ModelCatalogue, LocationAndDefaultFolder)
{
    const char* cases[][2] = {
        {"/opt/tool/MODEL/X/A.so", "./MODEL/X"}, {"/opt/tool/model/x/a.so", "./MODEL/X"},
        {"/opt/tool/Model/a.so", "./MODEL"},     {"/srv/models/MODEL/a.so", "./MODELS/MODEL"},
        {"/opt/plug/a.so", ".//OPT/PLUG"},       {"a.so", "./"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CModelCatalogue::LocationOf(QLatin1String(c[0])), QLatin1String(c[1])) << c[0];
    EXPECT_EQ(CModelCatalogue::ModelFolderOf(QStringLiteral("/opt/qpx/")), QStringLiteral("/opt/qpx/MODEL/"));
    EXPECT_EQ(CModelCatalogue::ModelFolderOf(QString()), QStringLiteral("../MODEL/"));
}
