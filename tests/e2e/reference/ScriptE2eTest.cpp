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

TEST_F(ScriptE2e, ItemWritesAreAppliedAndVerified)
{
    const QString s = Script("# delivery values\n"
                             "nv 4 = 2A\n"
                             "\n"
                             "nv 0xB2 = 01 33 31 30 35 35 35 30 30 30 30\n");
    const SRefOutcome r = m_plugin.Src(m_sim.Port(), s, {}, 0, {});
    ASSERT_TRUE(r.Ok()) << r.Message().toStdString();
    EXPECT_TRUE(r.Status().contains(QStringLiteral("Script: 2 items written and verified")))
        << r.Status().toStdString();
    EXPECT_EQ(Nam2Mdn(), QStringLiteral("3105550000"));
}

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

TEST_F(ScriptE2e, RefurbishWritesSoftwareThenScript)
{
    // A firmware image of this model with an empty payload (CRC-32 of nothing is 0).
    QByteArray img("QPXIMG1\0", 8);
    img += QByteArray("VKQ100A9");
    img += QByteArray(8, '\0');
    const QString bin = m_strDir + QStringLiteral("/r.bin");
    qpxtest::WriteFile(bin, img);
    const SRefOutcome r =
        m_plugin.Refurbish(m_sim.Port(), bin, Script("nv 178 = 01 39 30 30 35 35 35 30 30 30 30\n"));
    ASSERT_TRUE(r.Ok()) << r.Message().toStdString();
    EXPECT_TRUE(r.Status().contains(QStringLiteral("Software VKQ100A9 written"))) << r.Status().toStdString();
    EXPECT_TRUE(r.Status().contains(QStringLiteral("Script: 1 items")));
    EXPECT_EQ(Nam2Mdn(), QStringLiteral("9005550000"));
}

} // namespace
