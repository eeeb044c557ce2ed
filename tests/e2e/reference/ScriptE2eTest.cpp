// Service scripts (Script and Refurbish) through the reference plug-in: item writes verified one
// by one; a bad script or a read-only item ends the run with its reason.
#include "RefHarness.h"
#include "pages/NvCatalogue.h"

#include <gtest/gtest.h>

namespace {

class ScriptE2e : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_strDir = qpxtest::MakeTempDir(QStringLiteral("scr"));
        ASSERT_TRUE(m_sim.Start(RefSimArgs(qpxtest::MakeTempDir(QStringLiteral("state")))));
    }
    QString Script(const QByteArray& text)
    {
        const QString path = m_strDir + QStringLiteral("/s%1.txt").arg(++m_nFiles);
        qpxtest::FuzzSeed("service_script", text);
        qpxtest::WriteFile(path, text);
        return path;
    }
    QString Nam2Mdn()
    {
        CRefGrid g;
        for (const QString& name : NvCategoryItems(2))
            g.InsertRow(-1, name);
        if (!m_plugin.Settings(m_sim.Port(), 2, 1, &g).Ok())
            return QStringLiteral("(read failed)");
        return g.rows[static_cast<int>(NvCategoryItems(2).indexOf(QStringLiteral("MDN")))][1];
    }

    QString m_strDir;
    int m_nFiles = 0;
    CSimProcess m_sim;
    CRefPlugin m_plugin;
};

TEST_F(ScriptE2e, BadLinesAndReadOnlyItemsStopTheScript)
{
    const SRefOutcome bad = m_plugin.Src(m_sim.Port(), Script("nv 4 = 2A\nnv 178 = 0\n"), {}, 0, {});
    ASSERT_TRUE(bad.bFinished);
    EXPECT_FALSE(bad.Ok());
    EXPECT_TRUE(bad.Message().contains(QStringLiteral("Line 2"))) << bad.Message().toStdString();

    const SRefOutcome ro = m_plugin.Src(m_sim.Port(), Script("nv 0 = 01 02 03 04\n"), {}, 0, {});
    ASSERT_TRUE(ro.bFinished);
    EXPECT_FALSE(ro.Ok());
    EXPECT_TRUE(ro.Message().contains(QStringLiteral("item 0 read-only"))) << ro.Message().toStdString();

    const SRefOutcome none = m_plugin.Src(m_sim.Port(), {}, {}, 0, {});
    EXPECT_FALSE(none.Ok());
}

} // namespace
