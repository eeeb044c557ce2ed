// Settings through the reference plug-in: a category read fills the grid with the handset's items
// and their editors, a write changes exactly the items behind the rows, verified by reading again.
#include "RefHarness.h"
#include "pages/NvCatalogue.h"

#include <gtest/gtest.h>

namespace {

class SettingsE2e : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        const QString sys = qpxtest::MakeTempDir(QStringLiteral("sys"));
        qpxtest::WriteFile(sys + QStringLiteral("/class/tty/.keep"), {});
        qputenv("QPX_SYSFS_ROOT", sys.toLocal8Bit());
    }
    void SetUp() override
    {
        ASSERT_TRUE(m_sim.Start(RefSimArgs(qpxtest::MakeTempDir(QStringLiteral("state")))));
    }

    static CRefGrid Grid(int category)
    {
        CRefGrid g;
        for (const QString& name : NvCategoryItems(category))
            g.InsertRow(-1, name);
        return g;
    }
    static int Row(int category, const char* name)
    {
        return static_cast<int>(NvCategoryItems(category).indexOf(QLatin1String(name)));
    }

    CSimProcess m_sim;
    CRefPlugin m_plugin;
};

TEST_F(SettingsE2e, ReadShowsTheItemsAndDefinesEditors)
{
    CRefGrid g = Grid(1); // NAM1
    const SRefOutcome r = m_plugin.Settings(m_sim.Port(), 1, 1, &g);
    ASSERT_TRUE(r.Ok()) << r.Message().toStdString();
    EXPECT_EQ(g.rows[Row(1, "MDN")][1], QStringLiteral("2125550147"));
    EXPECT_TRUE(g.rows[Row(1, "MCC")][1].isEmpty()); // never written on this handset
    EXPECT_EQ(g.editors.value({Row(1, "System Select Preference"), 1}),
              QStringLiteral("combo:A only|B only|Home only|Home preferred"));
    EXPECT_EQ(g.editors.value({Row(1, "CDMA Home SID/NID"), 2}), QStringLiteral("edit:2"));
    EXPECT_FALSE(g.editors.contains({Row(1, "IMSI_S"), 1}));
    EXPECT_TRUE(r.Status().contains(QStringLiteral("1 rows without a known item")))
        << r.Status().toStdString();
}

TEST_F(SettingsE2e, WriteChangesTheItemsOfOneNamOnly)
{
    CRefGrid g = Grid(2); // NAM2
    g.rows[Row(2, "MDN")][1] = QStringLiteral("3105550000");
    g.rows[Row(2, "CDMA Home SID/NID")][1] = QStringLiteral("4145");
    g.rows[Row(2, "CDMA Home SID/NID")][2] = QStringLiteral("0x7");
    g.rows[Row(2, "Primary CDMA Ch, B band")][1] = QStringLiteral("777");
    g.rows[Row(2, "Primary CDMA Ch, A band")][1] = QStringLiteral("283");
    g.rows[Row(2, "System Select Preference")][1] = QStringLiteral("Home only");
    const SRefOutcome w = m_plugin.Settings(m_sim.Port(), 2, 0, &g);
    ASSERT_TRUE(w.Ok()) << w.Message().toStdString();
    EXPECT_TRUE(w.Status().contains(QStringLiteral("5 values in 4 items"))) << w.Status().toStdString();

    CRefGrid back = Grid(2);
    ASSERT_TRUE(m_plugin.Settings(m_sim.Port(), 2, 1, &back).Ok());
    EXPECT_EQ(back.rows[Row(2, "MDN")][1], QStringLiteral("3105550000"));
    EXPECT_EQ(back.rows[Row(2, "CDMA Home SID/NID")][1], QStringLiteral("4145"));
    EXPECT_EQ(back.rows[Row(2, "CDMA Home SID/NID")][2], QStringLiteral("7"));
    EXPECT_EQ(back.rows[Row(2, "Primary CDMA Ch, A band")][1], QStringLiteral("283"));
    EXPECT_EQ(back.rows[Row(2, "Primary CDMA Ch, B band")][1], QStringLiteral("777"));
    EXPECT_EQ(back.rows[Row(2, "System Select Preference")][1], QStringLiteral("Home only"));

    CRefGrid nam1 = Grid(1);
    ASSERT_TRUE(m_plugin.Settings(m_sim.Port(), 1, 1, &nam1).Ok());
    EXPECT_EQ(nam1.rows[Row(1, "MDN")][1], QStringLiteral("2125550147"));
}

TEST_F(SettingsE2e, ABadValueStopsTheWriteAndANewSpcIsUsedNextTime)
{
    CRefGrid g = Grid(1);
    g.rows[Row(1, "MNC")][1] = QStringLiteral("300"); // one byte
    const SRefOutcome w = m_plugin.Settings(m_sim.Port(), 1, 0, &g);
    ASSERT_TRUE(w.bFinished);
    EXPECT_FALSE(w.Ok());
    EXPECT_TRUE(w.Message().contains(QStringLiteral("\"300\" of \"MNC\""))) << w.Message().toStdString();

    CRefGrid sec = Grid(3);
    sec.rows[0][1] = QStringLiteral("123456");
    const SRefOutcome spc = m_plugin.Settings(m_sim.Port(), 3, 0, &sec);
    ASSERT_TRUE(spc.Ok()) << spc.Message().toStdString();
    CRefGrid back = Grid(3);
    ASSERT_TRUE(m_plugin.Settings(m_sim.Port(), 3, 1, &back).Ok());
    EXPECT_EQ(back.rows[0][1], QStringLiteral("123456"));
    // The next write unlocks with the new code, read from the handset.
    sec.rows[0][1] = QStringLiteral("000000");
    EXPECT_TRUE(m_plugin.Settings(m_sim.Port(), 3, 0, &sec).Ok());
}

} // namespace

namespace {

class SettingsMoreE2e : public SettingsE2e
{
};

TEST_F(SettingsMoreE2e, FeatureShowsTheEsnInBothFormsAndTheEriVersion)
{
    CRefGrid g = Grid(4);
    const SRefOutcome r = m_plugin.Settings(m_sim.Port(), 4, 1, &g);
    ASSERT_TRUE(r.Ok()) << r.Message().toStdString();
    const int esn = Row(4, "Display ESN/MEID (in Decimal & Hex)");
    EXPECT_EQ(g.rows[esn][1], QString::number(0x8F2A41D3u));
    EXPECT_EQ(g.rows[esn][2], QStringLiteral("8F2A41D3"));
    EXPECT_FALSE(g.editors.contains({esn, 1})); // never written
    EXPECT_EQ(g.rows[Row(4, "ERI ID")][1], QStringLiteral("3"));
}

TEST_F(SettingsMoreE2e, DataParametersTakeAddressesAndChoices)
{
    CRefGrid g = Grid(5);
    g.rows[Row(5, "DNS Primary")][1] = QStringLiteral("10.1.2.254");
    g.rows[Row(5, "MIP_MODE")][1] = QStringLiteral("Mobile IP only");
    const SRefOutcome w = m_plugin.Settings(m_sim.Port(), 5, 0, &g);
    ASSERT_TRUE(w.Ok()) << w.Message().toStdString();
    CRefGrid back = Grid(5);
    ASSERT_TRUE(m_plugin.Settings(m_sim.Port(), 5, 1, &back).Ok());
    EXPECT_EQ(back.rows[Row(5, "DNS Primary")][1], QStringLiteral("10.1.2.254"));
    EXPECT_EQ(back.rows[Row(5, "MIP_MODE")][1], QStringLiteral("Mobile IP only"));
    EXPECT_EQ(back.editors.value({Row(5, "DNS Secondary"), 1}), QStringLiteral("ip"));

    g.rows[Row(5, "DNS Primary")][1] = QStringLiteral("10.1.2.256");
    const SRefOutcome bad = m_plugin.Settings(m_sim.Port(), 5, 0, &g);
    EXPECT_FALSE(bad.Ok());
    EXPECT_TRUE(bad.Message().contains(QStringLiteral("10.1.2.256"))) << bad.Message().toStdString();
}

} // namespace
