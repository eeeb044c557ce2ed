// qpx-diag plugins: the catalogue as the "Select Model DLL" page lists it.
#include "TestEnv.h"

#include "platform/Registry.h"
#include "plugin/PluginApi.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct SRun
{
    int nExit = -1;
    QStringList lines;
    QString strErrors;
};

SRun RunDiag(const QStringList& args)
{
    QProcess p;
    p.start(qpxtest::BuiltProgram(QStringLiteral("qpx-diag")), args);
    SRun r;
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished(3000);
        return r;
    }
    r.nExit = p.exitCode();
    r.lines = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    r.strErrors = QString::fromUtf8(p.readAllStandardError());
    return r;
}

class DiagPluginsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_install = qpxtest::MakeTempDir(QStringLiteral("diag-install")) + QLatin1Char('/');
        const QString model = m_install + QStringLiteral("MODEL/");
        QDir().mkpath(model + QStringLiteral("0first"));
        const QString dir = QStringLiteral(QPX_TEST_PLUGIN_DIR "/");
        // The sub-folder comes before the folder's first file, so its plug-in is listed first.
        ASSERT_TRUE(
            QFile::copy(dir + QStringLiteral("qpx_rec_plugin.so"), model + QStringLiteral("0first/x.so")));
        ASSERT_TRUE(QFile::copy(dir + QStringLiteral("qpx_rec_plugin.so"), model + QStringLiteral("a.so")));
        ASSERT_TRUE(
            QFile::copy(dir + QStringLiteral("qpx_rec_plugin_nobinver.so"), model + QStringLiteral("b.so")));
    }

    QString m_install;
};

TEST_F(DiagPluginsTest, ListsTheCatalogueWithThePageColumnsAndThePath)
{
    const QString model = m_install + QStringLiteral("MODEL/");
    const SRun r = RunDiag({QStringLiteral("plugins"), QStringLiteral("--folder"), model});
    ASSERT_EQ(r.nExit, 0) << qPrintable(r.strErrors);
    ASSERT_EQ(r.lines.size(), 3) << qPrintable(r.lines.join(u'\n'));
    EXPECT_EQ(r.lines[0], QStringLiteral("Model\tDLL Version\tModified\tLocation\tPath"));
    const QString first = model + QStringLiteral("0first/x.so");
    EXPECT_EQ(r.lines[1], QStringList({QStringLiteral("REC-MODEL"), QStringLiteral("1.0.2.3"),
                                       FileModifiedText(first), QStringLiteral("./MODEL/0FIRST"), first})
                              .join(u'\t'));
    EXPECT_TRUE(r.lines[2].endsWith(QStringLiteral("\t./MODEL\t") + model + QStringLiteral("a.so")));
}

TEST_F(DiagPluginsTest, WithoutAFolderTheInstallationIsScanned)
{
    RegWriteString(QPX_REG_KEY, "LOCATE_DIRECTORY", m_install, HKEY_LOCAL_MACHINE);
    const SRun r = RunDiag({QStringLiteral("plugins")});
    RegWriteString(QPX_REG_KEY, "LOCATE_DIRECTORY", QString(), HKEY_LOCAL_MACHINE);
    ASSERT_EQ(r.nExit, 0);
    EXPECT_EQ(r.lines.size(), 3);
    EXPECT_TRUE(r.strErrors.isEmpty());

    const SRun bad = RunDiag({QStringLiteral("plugins"), QStringLiteral("--folder")});
    EXPECT_EQ(bad.nExit, 1);
}

} // namespace
