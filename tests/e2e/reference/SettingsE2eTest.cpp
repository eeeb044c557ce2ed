// Settings through the reference plug-in against the simulator: a write changes exactly the rows
// whose value differs, keeps what it replaces in NV_BK first, and is verified by
// reading again; a value that does not fit stops the write before the handset is touched.
#include "RefHarness.h"
#include "SettingsMap.h"
#include "pages/NvCatalogue.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

namespace {

class SettingsE2e : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (m_bStartSim) {
            ASSERT_TRUE(m_sim.Start(RefSimArgs(qpxtest::MakeTempDir(QStringLiteral("state")))));
        }
    }

    static CRefGrid Grid(int category)
    {
        CRefGrid g;
        for (const QString& name : NvCategoryItems(category))
            g.InsertRow(-1, name);
        return g;
    }
    static int Row(int category, const char* name, int occurrence = 0)
    {
        const QStringList rows = NvCategoryItems(category);
        for (int r = 0, seen = 0; r < rows.size(); ++r)
            if (rows[r] == QLatin1String(name) && seen++ == occurrence)
                return r;
        ADD_FAILURE() << "no row " << name;
        return 0;
    }
    CRefGrid Read(int category)
    {
        CRefGrid g = Grid(category);
        const SRefOutcome r = m_plugin.Settings(m_sim.Port(), category, 1, &g);
        EXPECT_TRUE(r.Ok()) << r.Message().toStdString();
        m_strLastStatus = r.Status();
        return g;
    }
    QStringList BackupRuns() const
    {
        return QDir(m_plugin.Folder() + QStringLiteral("/NV_BK"))
            .entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    }

    bool m_bStartSim = true;
    CSimProcess m_sim;
    CRefPlugin m_plugin;
    QString m_strLastStatus;
};

TEST_F(SettingsE2e, RowsThatAreNotNvValuesComeFromTheHandsetItself)
{
    const CRefGrid g = Read(4);
    EXPECT_EQ(g.rows[Row(4, "All SW Versions numbers")][1], QStringLiteral("12.06  VKQ100A1"));
    EXPECT_EQ(g.rows[Row(4, "All SW Versions numbers")][2], QStringLiteral("Mar 14 2006 10:22:31"));
    EXPECT_EQ(g.rows[Row(4, "All HW Versions numbers")][1], QStringLiteral("MSM 2P (0x610a)"));
    EXPECT_EQ(g.rows[Row(4, "PRL ID")][1], QStringLiteral("52"));
    EXPECT_EQ(g.rows[Row(4, "PRL ID")][2], QStringLiteral("53"));
    const int esn = Row(4, "Display ESN/MEID (in Decimal & Hex)");
    EXPECT_EQ(g.rows[esn][1], QString::number(0x8F2A41D3u));
    EXPECT_EQ(g.rows[esn][2], QStringLiteral("8F2A41D3"));
    EXPECT_EQ(g.rows[Row(4, "ERI ID")][1], QStringLiteral("3"));

    const CRefGrid nam = Read(1);
    EXPECT_EQ(nam.rows[Row(1, "IMSI_S")][1], QStringLiteral("2125550147"));
    EXPECT_EQ(nam.rows[Row(1, "MIN2")][1], QString::number(0x065));
    EXPECT_EQ(nam.rows[Row(1, "MIN1")][1], QString::number(0x6F2824));
    EXPECT_EQ(nam.rows[Row(1, "MCC")][1], QStringLiteral("310"));
    EXPECT_EQ(nam.rows[Row(1, "MNC")][1], QStringLiteral("00"));
}

TEST_F(SettingsE2e, EachEditorKindIsWrittenAndReadBackAndOnlyChangedRowsAreWritten)
{
    CRefGrid g = Read(4);                                              // FEATURE as the technician sees it
    g.rows[Row(4, "Language")][1] = QStringLiteral("Korean");          // drop-down
    g.rows[Row(4, "Emergency Numbers", 1)][1] = QStringLiteral("112"); // dial string
    g.rows[Row(4, "Idle screen banner (text)")][1] = QStringLiteral("Hi!"); // text
    g.rows[Row(4, "Wallpaper")][1] = QStringLiteral("0x07");                // number
    const SRefOutcome w = m_plugin.Settings(m_sim.Port(), 4, 0, &g);
    ASSERT_TRUE(w.Ok()) << w.Message().toStdString();
    EXPECT_TRUE(w.Status().contains(QStringLiteral("4 values in 4 items verified; 68 rows unchanged")))
        << w.Status().toStdString();

    const CRefGrid back = Read(4);
    EXPECT_EQ(back.rows[Row(4, "Language")][1], QStringLiteral("Korean"));
    EXPECT_EQ(back.rows[Row(4, "Emergency Numbers", 0)][1], QStringLiteral("911"));
    EXPECT_EQ(back.rows[Row(4, "Emergency Numbers", 1)][1], QStringLiteral("112"));
    EXPECT_EQ(back.rows[Row(4, "Emergency Numbers", 2)][1], QStringLiteral("#911"));
    EXPECT_EQ(back.rows[Row(4, "Idle screen banner (text)")][1], QStringLiteral("Hi!"));
    EXPECT_EQ(back.rows[Row(4, "Wallpaper")][1], QStringLiteral("7"));

    // Fields of one item (the mobile-IP profile) change alone; the others of the item stay.
    CRefGrid data = Grid(5);
    data.rows[Row(5, "MIP NAI")][1] = QStringLiteral("tech@kova.example");
    data.rows[Row(5, "Home Agent IP Address")][1] = QStringLiteral("10.0.0.9");
    data.rows[Row(5, "MN HA SPI Value")][1] = QStringLiteral("0x1234");
    data.rows[Row(5, "pref_mode(1xEV-DO)")][1] = QStringLiteral("1x + HDR");
    data.rows[Row(5, "DATA_PKT_ORIG_STR")][1] = QStringLiteral("#778");
    data.rows[Row(5, "SIP Password")][1] = QStringLiteral("s3cret");
    const SRefOutcome dw = m_plugin.Settings(m_sim.Port(), 5, 0, &data);
    ASSERT_TRUE(dw.Ok()) << dw.Message().toStdString();
    EXPECT_TRUE(dw.Status().contains(QStringLiteral("6 values in 4 items verified")))
        << dw.Status().toStdString();
    const CRefGrid dback = Read(5);
    EXPECT_EQ(dback.rows[Row(5, "MIP NAI")][1], QStringLiteral("tech@kova.example"));
    EXPECT_EQ(dback.rows[Row(5, "Home Agent IP Address")][1], QStringLiteral("10.0.0.9"));
    EXPECT_EQ(dback.rows[Row(5, "MN HA SPI Value")][1], QStringLiteral("4660"));
    EXPECT_EQ(dback.rows[Row(5, "pref_mode(1xEV-DO)")][1], QStringLiteral("1x + HDR"));
    EXPECT_EQ(dback.rows[Row(5, "DATA_PKT_ORIG_STR")][1], QStringLiteral("#778"));
    EXPECT_EQ(dback.rows[Row(5, "SIP Password")][1], QStringLiteral("s3cret"));
    EXPECT_EQ(dback.rows[Row(5, "Home IP Address")][1], QStringLiteral("0.0.0.0"));
    EXPECT_EQ(dback.rows[Row(5, "Reverse Tunneling")][1], QStringLiteral("Enable"));
    EXPECT_EQ(dback.rows[Row(5, "MN AAA SPI Value")][1], QStringLiteral("2"));

    CRefGrid brew = Grid(9);
    brew.rows[Row(9, "BREW VOD CLASSID")][1] = QStringLiteral("0x0100beef");
    ASSERT_TRUE(m_plugin.Settings(m_sim.Port(), 9, 0, &brew).Ok());
    EXPECT_EQ(Read(9).rows[Row(9, "BREW VOD CLASSID")][1], QStringLiteral("0x0100BEEF"));

    // Nothing differs: nothing is written and nothing is saved.
    const QStringList runs = BackupRuns();
    CRefGrid same = Read(9);
    const SRefOutcome none = m_plugin.Settings(m_sim.Port(), 9, 0, &same);
    ASSERT_TRUE(none.Ok()) << none.Message().toStdString();
    EXPECT_TRUE(none.Status().contains(QStringLiteral("nothing written"))) << none.Status().toStdString();
    EXPECT_EQ(BackupRuns(), runs);
}

TEST_F(SettingsE2e, ImsiSAndTheMinRowsStayInStep)
{
    CRefGrid g = Read(1);
    g.rows[Row(1, "IMSI_S")][1] = QStringLiteral("3105550000");
    SRefOutcome w = m_plugin.Settings(m_sim.Port(), 1, 0, &g);
    ASSERT_TRUE(w.Ok()) << w.Message().toStdString();
    EXPECT_TRUE(w.Status().contains(QStringLiteral("1 values in 2 items"))) << w.Status().toStdString();
    CRefGrid back = Read(1);
    EXPECT_EQ(back.rows[Row(1, "IMSI_S")][1], QStringLiteral("3105550000"));
    EXPECT_EQ(back.rows[Row(1, "MIN2")][1], QStringLiteral("209"));

    // The MIN2 row changed alone (the IMSI_S cell still shows the old digits): the area code follows.
    back.rows[Row(1, "MIN2")][1] = QString::number(0x065);
    w = m_plugin.Settings(m_sim.Port(), 1, 0, &back);
    ASSERT_TRUE(w.Ok()) << w.Message().toStdString();
    EXPECT_EQ(Read(1).rows[Row(1, "IMSI_S")][1], QStringLiteral("2125550000"));

    // Both changed, disagreeing: refused before anything is saved or written.
    const int runs = static_cast<int>(BackupRuns().size());
    CRefGrid both = Read(1);
    both.rows[Row(1, "MIN2")][1] = QStringLiteral("300");
    both.rows[Row(1, "IMSI_S")][1] = QStringLiteral("9995550000");
    w = m_plugin.Settings(m_sim.Port(), 1, 0, &both);
    ASSERT_TRUE(w.bFinished);
    EXPECT_FALSE(w.Ok());
    EXPECT_TRUE(w.Message().contains(QStringLiteral("disagree"))) << w.Message().toStdString();
    EXPECT_EQ(static_cast<int>(BackupRuns().size()), runs);
    EXPECT_EQ(Read(1).rows[Row(1, "IMSI_S")][1], QStringLiteral("2125550000"));
}

TEST_F(SettingsE2e, AValueThatDoesNotFitStopsTheWriteBeforeTheHandsetIsTouched)
{
    const struct
    {
        int category;
        const char* row;
        const char* value;
    } bad[] = {
        {1, "MNC", "300"},
        {1, "NAM Name", "Thirteen char"},
        {1, "IMSI_S", "21255501"},
        {4, "Wallpaper", "256"},
        {5, "Home IP Address", "10.1.2.256"},
        {5, "AN Password", "seventeen chars!!"},
        {7, "UAProf URL", "http://\xc3\xa9.example"},
    };
    for (const auto& b : bad) {
        CRefGrid g = Grid(b.category);
        g.rows[Row(b.category, b.row)][1] = QString::fromUtf8(b.value);
        const SRefOutcome w = m_plugin.Settings(m_sim.Port(), b.category, 0, &g);
        ASSERT_TRUE(w.bFinished);
        EXPECT_FALSE(w.Ok()) << b.row;
        EXPECT_TRUE(
            w.Message().contains(QStringLiteral("\"%1\" of \"%2\"")
                                     .arg(QString::fromUtf8(b.value), QString::fromLatin1(b.row).trimmed())))
            << w.Message().toStdString();
        EXPECT_FALSE(w.statuses.contains(QStringLiteral("Connecting to the handset"))) << b.row;
    }
    EXPECT_TRUE(BackupRuns().isEmpty());
}

TEST_F(SettingsE2e, ANewSpcIsUsedNextTime)
{
    CRefGrid sec = Grid(3);
    sec.rows[0][1] = QStringLiteral("123456");
    const SRefOutcome spc = m_plugin.Settings(m_sim.Port(), 3, 0, &sec);
    ASSERT_TRUE(spc.Ok()) << spc.Message().toStdString();
    EXPECT_EQ(Read(3).rows[0][1], QStringLiteral("123456"));
    // The next write unlocks with the new code, read from the handset.
    sec.rows[0][1] = QStringLiteral("000000");
    EXPECT_TRUE(m_plugin.Settings(m_sim.Port(), 3, 0, &sec).Ok());
}

TEST_F(SettingsE2e, AWriteKeepsTheOldValuesInABackupFirst)
{
    CRefGrid g = Grid(2);
    g.rows[Row(2, "MDN")][1] = QStringLiteral("3105550000");
    g.rows[Row(2, "CDMA Home SID/NID")][1] = QStringLiteral("99");
    const SRefOutcome w = m_plugin.Settings(m_sim.Port(), 2, 0, &g);
    ASSERT_TRUE(w.Ok()) << w.Message().toStdString();
    const QStringList runs = BackupRuns();
    ASSERT_EQ(runs.size(), 1);
    const QString folder = m_plugin.Folder() + QStringLiteral("/NV_BK/") + runs.first();
    EXPECT_TRUE(w.Status().endsWith(QStringLiteral("kept beside the plug-in in NV_BK/") + runs.first()))
        << w.Status().toStdString();

    const QByteArray mdn = qpxtest::ReadFile(folder + QStringLiteral("/nv/178-nam2.bin"));
    ASSERT_EQ(mdn.size(), 128);
    EXPECT_EQ(mdn.left(11), QByteArray("\x01"
                                       "2125550147"));
    const QString manifest = QString::fromUtf8(qpxtest::ReadFile(folder + QStringLiteral("/manifest.txt")));
    EXPECT_TRUE(manifest.contains(
        QStringLiteral("nv/178-nam2.bin size=128 md5=") +
        QString::fromLatin1(QCryptographicHash::hash(mdn, QCryptographicHash::Md5).toHex())))
        << manifest.toStdString();
    EXPECT_TRUE(manifest.contains(QStringLiteral("nv/259-nam2.bin size=128 md5="))) << manifest.toStdString();
    EXPECT_FALSE(manifest.contains(QStringLiteral("nv/20-"))) << "only the items written are kept";
}

class SettingsOwnSimE2e : public SettingsE2e
{
protected:
    SettingsOwnSimE2e() { m_bStartSim = false; }
};

TEST_F(SettingsOwnSimE2e, AnItemNeverWrittenIsShownEmptyAndRecordedAsAbsent)
{
    const QString profile = qpxtest::MakeTempDir(QStringLiteral("profile")) + QStringLiteral("/handset.txt");
    qpxtest::WriteFile(profile, "sw_version_dir=VKQ100A1\neri_version=none\n");
    ASSERT_TRUE(m_sim.Start({QStringLiteral("--profile"), profile, QStringLiteral("--state"),
                             qpxtest::MakeTempDir(QStringLiteral("state")), QStringLiteral("--reset-ms"),
                             QStringLiteral("100")}));
    const int eri = Row(4, "ERI ID");
    CRefGrid g = Read(4);
    EXPECT_TRUE(g.rows[eri][1].isEmpty());
    EXPECT_EQ(g.editors.value({eri, 1}), QStringLiteral("edit:2")); // can be set
    EXPECT_TRUE(m_strLastStatus.contains(QStringLiteral("; 1 not set;"))) << m_strLastStatus.toStdString();

    g.rows[eri][1] = QStringLiteral("9");
    const SRefOutcome w = m_plugin.Settings(m_sim.Port(), 4, 0, &g);
    ASSERT_TRUE(w.Ok()) << w.Message().toStdString();
    EXPECT_TRUE(w.Status().contains(QStringLiteral("1 values in 1 items"))) << w.Status().toStdString();
    const QStringList runs = BackupRuns();
    ASSERT_EQ(runs.size(), 1);
    const QString manifest = QString::fromUtf8(qpxtest::ReadFile(
        m_plugin.Folder() + QStringLiteral("/NV_BK/") + runs.first() + QStringLiteral("/manifest.txt")));
    EXPECT_TRUE(manifest.contains(QStringLiteral("nv/4025.bin none\n"))) << manifest.toStdString();
    EXPECT_EQ(Read(4).rows[eri][1], QStringLiteral("9"));
}

TEST_F(SettingsOwnSimE2e, AHandsetWithoutTheItemsShowsThemEmptyWithoutEditors)
{
    // A handset that answers every NV read with 13 ("not supported"), and one without PRL reads.
    ASSERT_TRUE(m_sim.Start(RefSimArgs(qpxtest::MakeTempDir(QStringLiteral("state")),
                                       {QStringLiteral("--refuse"), QStringLiteral("0x26")})));
    const CRefGrid g = Read(4);
    const int lang = Row(4, "Language");
    EXPECT_TRUE(g.rows[lang][1].isEmpty());
    EXPECT_FALSE(g.editors.contains({lang, 1}));
    EXPECT_EQ(g.rows[Row(4, "PRL ID")][1], QStringLiteral("52")); // not an NV item
    EXPECT_TRUE(m_strLastStatus.contains(QStringLiteral("read: 3 values; 0 not set; 69 not on the handset")))
        << m_strLastStatus.toStdString();
    // Writing to it stops once the handset has said so, before anything is saved.
    CRefGrid w = Grid(4);
    w.rows[lang][1] = QStringLiteral("Korean");
    const SRefOutcome r = m_plugin.Settings(m_sim.Port(), 4, 0, &w);
    EXPECT_FALSE(r.Ok());
    EXPECT_TRUE(r.Message().contains(QStringLiteral("does not have item 61441 (\"Language\")")))
        << r.Message().toStdString();
    EXPECT_TRUE(BackupRuns().isEmpty());
    m_sim.Stop();

    ASSERT_TRUE(m_sim.Start(RefSimArgs(qpxtest::MakeTempDir(QStringLiteral("state")),
                                       {QStringLiteral("--refuse"), QStringLiteral("0x49")})));
    const CRefGrid noPrl = Read(4);
    EXPECT_TRUE(noPrl.rows[Row(4, "PRL ID")][1].isEmpty());
    EXPECT_EQ(noPrl.rows[lang][1], QStringLiteral("English"));
    EXPECT_TRUE(m_strLastStatus.contains(QStringLiteral("read: 71 values; 1 not set;")))
        << m_strLastStatus.toStdString();
}

TEST_F(SettingsOwnSimE2e, AnSpcTheHandsetHidesCanStillBeChanged)
{
    ASSERT_TRUE(m_sim.Start(
        RefSimArgs(qpxtest::MakeTempDir(QStringLiteral("state")), {QStringLiteral("--hide-spc")})));
    CRefGrid g = Read(3);
    EXPECT_TRUE(g.rows[0][1].isEmpty());
    EXPECT_EQ(g.editors.value({0, 1}), QStringLiteral("text:6"));
    EXPECT_EQ(g.rows[1][1], QStringLiteral("Disable"));
    EXPECT_TRUE(m_strLastStatus.endsWith(QStringLiteral("; 1 shown only after the SPC")))
        << m_strLastStatus.toStdString();

    // Unlocked with the factory code first, the old code is read and kept before the new one goes in.
    g.rows[0][1] = QStringLiteral("654321");
    const SRefOutcome w = m_plugin.Settings(m_sim.Port(), 3, 0, &g);
    ASSERT_TRUE(w.Ok()) << w.Message().toStdString();
    const QStringList runs = BackupRuns();
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(qpxtest::ReadFile(m_plugin.Folder() + QStringLiteral("/NV_BK/") + runs.first() +
                                QStringLiteral("/nv/85.bin"))
                  .left(7),
              QByteArray("000000\0", 7));

    // Now only the technician's code opens it.
    g.rows[0][1] = QStringLiteral("000000");
    qputenv("QPX_REF_SPC", "654321");
    const SRefOutcome again = m_plugin.Settings(m_sim.Port(), 3, 0, &g);
    qunsetenv("QPX_REF_SPC");
    EXPECT_TRUE(again.Ok()) << again.Message().toStdString();
}

} // namespace
