#include "plugin/ModelCatalogue.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// Places a built test plug-in, a plain file ("-" as the plug-in) or a link to the MODEL folder
// ("@") at model/path.
void Place(const QString& model, const QString& plugin, const QString& path)
{
    const QString dest = model + QLatin1Char('/') + path;
    QDir().mkpath(QFileInfo(dest).absolutePath());
    ASSERT_TRUE(plugin == u"-"_s ? qpxtest::WriteFile(dest, "not a library")
                : plugin == u"@"_s
                    ? QFile::link(model, dest)
                    : QFile::copy(QStringLiteral(QPX_TEST_PLUGIN_DIR "/%1.so").arg(plugin), dest));
}

} // namespace

// What a scan of MODEL lists: libraries with both query exports, by a pattern that ignores case;
// sub-folders before a folder's first file are walked first and later ones not at all; a folder
// without libraries is walked on; loops, missing and empty folders end quietly.
TEST(ModelCatalogue, ScanRules)
{
    // What is placed ("plug-in:path", "|" between them; "rec" stands for qpx_rec_plugin, "rec_x" for
    // qpx_rec_plugin_x), and what is listed.
    const std::pair<const char*, const char*> cases[] = {
        {"rec:a.so|rec_nokind:b.so|rec_nobinver:c.so|rec_min:d.so|-:e.so|rec:f.SO|rec:g.so.1",
         "a.so|d.so|f.SO"},
        {"rec:a_early/x/inner.so|rec:b_own.so|rec:c_own.so|-:readme.txt|rec:z_late/never.so",
         "a_early/x/inner.so|b_own.so|c_own.so"},
        {"-:docs/a.txt|rec:docs/zz/q.so|rec:k/a.so|-:k/b.txt", "docs/zz/q.so|k/a.so"},
        {"rec:a/p.so|@:a/0loop", "a/p.so"},
        {"", ""},
    };
    for (const auto& [placed, wanted] : cases) {
        const QString model = qpxtest::MakeTempDir(u"install"_s) + u"/MODEL"_s;
        QDir().mkpath(model);
        for (const QString& p : QString::fromLatin1(placed).split(QLatin1Char('|'), Qt::SkipEmptyParts))
            Place(model, p.section(QLatin1Char(':'), 0, 0).replace(u"rec"_s, u"qpx_rec_plugin"_s),
                  p.section(QLatin1Char(':'), 1));
        CModelCatalogue catalogue;
        catalogue.ScanFolder(model + u"/NOPE"_s);
        catalogue.ScanFolder(model + QLatin1Char('/'));
        QStringList listed;
        for (const QString& p : catalogue.Paths())
            listed << p.mid(model.size() + 1);
        EXPECT_EQ(listed.join(QLatin1Char('|')), QLatin1String(wanted));
    }
}

// The location column starts at the first "MODEL" folder in any case, upper-cased.
TEST(ModelCatalogue, LocationAndDefaultFolder)
{
    const char* cases[][2] = {{"/opt/tool/model/x/a.so", "./MODEL/X"},
                              {"/opt/tool/Model/a.so", "./MODEL"},
                              {"/srv/models/MODEL/a.so", "./MODELS/MODEL"},
                              {"/opt/plug/a.so", ".//OPT/PLUG"},
                              {"a.so", "./"}};
    for (const auto& c : cases)
        EXPECT_EQ(CModelCatalogue::LocationOf(QLatin1String(c[0])), QLatin1String(c[1])) << c[0];
    EXPECT_EQ(CModelCatalogue::ModelFolderOf(u"/opt/qpx/"_s), u"/opt/qpx/MODEL/"_s);
    EXPECT_EQ(CModelCatalogue::ModelFolderOf(QString()), u"../MODEL/"_s);
}
