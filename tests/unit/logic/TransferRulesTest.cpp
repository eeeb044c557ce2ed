#include "pages/TransferRules.h"
#include "QtPrint.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

class TransferFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_plugin = qpxtest::MakeTempDir(QStringLiteral("plug"));
        m_dll = m_plugin + QStringLiteral("/rec.so");
        ASSERT_TRUE(qpxtest::WriteFile(m_dll, "x"));
        m_work = m_plugin + QStringLiteral("/TRANS_BK");
    }
    void File(const QString& below)
    {
        ASSERT_TRUE(qpxtest::WriteFile(m_plugin + QLatin1Char('/') + below, "d"));
    }
    void Folder(const QString& below) { ASSERT_TRUE(QDir().mkpath(m_plugin + QLatin1Char('/') + below)); }

    QString m_plugin;
    QString m_dll;
    QString m_work;
};

} // namespace

TEST(TransferRules, ItemMask)
{
    EXPECT_EQ(TransferItemMask({true, false, false, false, false}), 1u);
    EXPECT_EQ(TransferItemMask({false, true, false, true, false}), 10u);
    EXPECT_EQ(TransferItemMask({true, true, true, true, true, true, true}), 31u);
    EXPECT_EQ(TransferItemMask({}), 0u);
}

TEST_F(TransferFolder, RestoreRowsFollowTheDataPresent)
{
    STransferPresence p = ProbeTransferFolder(m_dll);
    for (int row = 0; row < 5; ++row)
        EXPECT_FALSE(p.RowAvailable(row)) << row;

    Folder(QStringLiteral("TRANS_BK/sms"));
    Folder(QStringLiteral("TRANS_BK/mms"));
    p = ProbeTransferFolder(m_dll);
    EXPECT_FALSE(p.RowAvailable(2)); // MMS missing: names are case-sensitive
    EXPECT_TRUE(p.RowAvailable(0));  // but some data is there

    File(QStringLiteral("TRANS_BK/MMS"));
    File(QStringLiteral("TRANS_BK/pim"));
    Folder(QStringLiteral("TRANS_BK/brew/mod/iwsapp/schedule"));
    p = ProbeTransferFolder(m_dll);
    EXPECT_TRUE(p.RowAvailable(1));
    EXPECT_TRUE(p.RowAvailable(2));
    EXPECT_TRUE(p.RowAvailable(3));
    EXPECT_FALSE(p.RowAvailable(4));

    Folder(QStringLiteral("TRANS_BK/ui.data"));
    EXPECT_TRUE(ProbeTransferFolder(m_dll).RowAvailable(4));
    EXPECT_FALSE(ProbeTransferFolder(QStringLiteral("rec.so")).Any()); // no folder in the path
}

// The marker is a plain file directly in the work folder whose name up to its first dot is the
// handset's version in any case, followed by ".PP" in any case.
TEST_F(TransferFolder, MarkerScan)
{
    const auto found = [&](const char* version) {
        return ScanBackupMarker(m_dll, QLatin1String(version)).bFound;
    };
    EXPECT_FALSE(found("KQ100V12"));
    EXPECT_EQ(ScanBackupMarker(m_dll, QStringLiteral("KQ100V12")).strWorkFolder, QString());
    Folder(QStringLiteral("TRANS_BK/KQ100V12.pp"));   // a folder
    File(QStringLiteral("TRANS_BK/KQ100V12.bin"));    // no .PP
    File(QStringLiteral("TRANS_BK/sub/KQ100V12.pp")); // too deep
    File(QStringLiteral("TRANS_BK/KQ100V12"));        // no dot at all
    EXPECT_FALSE(found("KQ100V12"));
    File(QStringLiteral("TRANS_BK/kq100v12.pp"));
    EXPECT_TRUE(found("KQ100V12"));
    EXPECT_EQ(ScanBackupMarker(m_dll, QStringLiteral("KQ100V12")).strWorkFolder, m_work);
    EXPECT_FALSE(found("KQ100V1"));
    File(QStringLiteral("TRANS_BK/kq100v12x.pp"));
    EXPECT_FALSE(found("kq100v12x")); // a version with lower case never matches
    File(QStringLiteral("TRANS_BK/KQ200V12.x.PPX"));
    EXPECT_TRUE(found("KQ200V12"));
}

// The work folder is the folder named TRANS_BK in any case, directly in the plug-in's folder:
// never a sibling that merely contains the word, never an archive the program made at exit, and
// never any folder only because the plug-in's own path contains it.
TEST(TransferRules, MarkerScanMatchesTheWorkFolderByItsOwnName)
{
    const struct
    {
        const char* pluginFolder; // below a fresh temporary folder
        const char* folder;       // beside the plug-in, holding the marker
        bool bWork;
    } cases[] = {
        {"MODEL", "TRANS_BK", true},
        {"MODEL", "trans_bk", true},
        {"MODEL", "Trans_Bk", true},
        {"MODEL", "TRANS_BK_old", false},
        {"MODEL", "old_trans_bk", false},
        {"MODEL", "TRANS_BK2", false},
        {"MODEL", "TRANS_BK.20240101-120000", false},
        {"MODEL", "TRANS_BK.previous", false},
        {"TRANS_BK", "pim", false},
        {"TRANS_BK/MODEL", "other", false},
        {"my_trans_bk_tools", "sms", false},
        {"TRANS_BK", "TRANS_BK", true},
    };
    for (const auto& c : cases) {
        const QString plugin =
            qpxtest::MakeTempDir(QStringLiteral("scan")) + QLatin1Char('/') + QLatin1String(c.pluginFolder);
        const QString dll = plugin + QStringLiteral("/rec.so");
        ASSERT_TRUE(qpxtest::WriteFile(dll, "x"));
        const QString folder = plugin + QLatin1Char('/') + QLatin1String(c.folder);
        ASSERT_TRUE(qpxtest::WriteFile(folder + QStringLiteral("/KQ100V12.pp"), "m"));
        const SBackupScan s = ScanBackupMarker(dll, QStringLiteral("KQ100V12"));
        const std::string what = std::string(c.pluginFolder) + " / " + c.folder;
        EXPECT_EQ(s.bFound, c.bWork) << what;
        EXPECT_EQ(s.strWorkFolder, c.bWork ? folder : QString()) << what;
    }
}

// A backup over an earlier one: the earlier one lies aside (never taken for the work folder)
// until the new one ends, and is then removed (success) or put back in place of whatever the
// failed attempt left (failure).
TEST_F(TransferFolder, PreviousBackupStaysUntilTheNewOneSucceeded)
{
    File(QStringLiteral("TRANS_BK/KQ100V12.pp"));
    File(QStringLiteral("TRANS_BK/pim/a"));
    const QDateTime when(QDate(2024, 3, 15), QTime(17, 45, 2));
    for (const bool success : {false, true}) {
        CPreviousBackup previous;
        ASSERT_TRUE(previous.SetAside(m_work, m_dll, when)) << success;
        EXPECT_EQ(previous.Archive(), m_plugin + QStringLiteral("/TRANS_BK.20240315-174502"));
        EXPECT_FALSE(QFileInfo::exists(m_work));
        EXPECT_TRUE(QFileInfo::exists(previous.Archive() + QStringLiteral("/pim/a")));
        EXPECT_FALSE(ScanBackupMarker(m_dll, QStringLiteral("KQ100V12")).bFound);

        File(QStringLiteral("TRANS_BK/sms")); // what the new backup writes
        previous.Settle(success);
        EXPECT_FALSE(previous.IsSetAside());
        EXPECT_EQ(
            QDir(m_plugin).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
            (QStringList{QStringLiteral("TRANS_BK"), QStringLiteral("rec.so")}))
            << success;
        EXPECT_EQ(QFileInfo::exists(m_work + QStringLiteral("/sms")), success);
        EXPECT_EQ(QFileInfo::exists(m_work + QStringLiteral("/pim/a")), !success);
        EXPECT_EQ(ScanBackupMarker(m_dll, QStringLiteral("KQ100V12")).bFound, !success);
    }
}

TEST_F(TransferFolder, PreviousBackupOutsideThePluginFolderIsNeverMoved)
{
    const QString outside = qpxtest::MakeTempDir(QStringLiteral("outside"));
    ASSERT_TRUE(qpxtest::WriteFile(outside + QStringLiteral("/KQ100V12.pp"), "k"));
    ASSERT_TRUE(QFile::link(outside, m_work));
    const QDateTime when = QDateTime::currentDateTime();
    for (const QString& folder : {m_work, outside, m_plugin, QString()}) {
        CPreviousBackup previous;
        EXPECT_FALSE(previous.SetAside(folder, m_dll, when)) << folder.toStdString();
        EXPECT_FALSE(previous.IsSetAside());
        previous.Settle(false);
    }
    EXPECT_TRUE(QFileInfo(m_work).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(outside + QStringLiteral("/KQ100V12.pp")));
    EXPECT_EQ(QDir(m_plugin).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
              (QStringList{QStringLiteral("TRANS_BK"), QStringLiteral("rec.so")}));
}

TEST(TransferRules, CompatibilityLooksAfterTheLastCapitalV)
{
    const struct
    {
        const char* handset;
        const char* supported;
        bool ok;
    } cases[] = {
        {"12.34  KQ100V12", "V12", true},
        {"12.34  KQ100V12", "12", true},
        {"12.34  KQ100V12", "KQ100V12", false}, // starts before the last V
        {"V1 V2", "V1", false},
        {"V1 V2", "V2", true},
        {"12.34  kq100v12", "v12", false}, // no capital V: never
        {"", "", false},
        {"12.34  KQ100V12", "v12", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsTransferCompatible(QLatin1String(c.handset), QLatin1String(c.supported)), c.ok)
            << c.handset << " / " << c.supported;
}
