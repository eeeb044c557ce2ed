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
    EXPECT_STREQ(TRANSFER_ITEM_TEXTS[2], " SMS, MMS, EMS Contents");
}

TEST_F(TransferFolder, RestoreRowsFollowTheDataPresent)
{
    STransferPresence p = ProbeTransferFolder(m_dll);
    for (int row = 0; row < 5; ++row)
        EXPECT_FALSE(p.RowAvailable(row)) << row;

    Folder(QStringLiteral("TRANS_BK/sms"));
    p = ProbeTransferFolder(m_dll);
    EXPECT_FALSE(p.RowAvailable(2)); // MMS missing
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
    // Names are case-sensitive: "mms" is not "MMS".
    EXPECT_FALSE(ProbeTransferFolder(QStringLiteral("rec.so")).Any());
}

TEST_F(TransferFolder, CaseOfMMSMatters)
{
    Folder(QStringLiteral("TRANS_BK/sms"));
    Folder(QStringLiteral("TRANS_BK/mms"));
    EXPECT_FALSE(ProbeTransferFolder(m_dll).RowAvailable(2));
}

TEST_F(TransferFolder, MarkerScan)
{
    EXPECT_FALSE(ScanBackupMarker(m_dll, QStringLiteral("KQ100V12")).bFound);
    EXPECT_EQ(ScanBackupMarker(m_dll, QStringLiteral("KQ100V12")).strWorkFolder, QString());

    File(QStringLiteral("TRANS_BK/kq100v12.pp"));
    SBackupScan s = ScanBackupMarker(m_dll, QStringLiteral("KQ100V12"));
    EXPECT_TRUE(s.bFound); // a lower-case marker matches an upper-case version
    EXPECT_EQ(s.strWorkFolder, m_work);
    // A version with lower case never matches, whatever the marker's case.
    File(QStringLiteral("TRANS_BK/kq100v12x.pp"));
    EXPECT_FALSE(ScanBackupMarker(m_dll, QStringLiteral("kq100v12x")).bFound);
    EXPECT_FALSE(ScanBackupMarker(m_dll, QStringLiteral("KQ100V1")).bFound);
}

TEST_F(TransferFolder, MarkerNeedsAPlainFileWithDotPP)
{
    Folder(QStringLiteral("TRANS_BK/KQ100V12.pp"));   // a folder
    File(QStringLiteral("TRANS_BK/KQ100V12.bin"));    // no .PP
    File(QStringLiteral("TRANS_BK/sub/KQ100V12.pp")); // too deep
    File(QStringLiteral("TRANS_BK/KQ100V12"));        // no dot at all
    EXPECT_FALSE(ScanBackupMarker(m_dll, QStringLiteral("KQ100V12")).bFound);
    File(QStringLiteral("TRANS_BK/KQ100V12.x.PPX"));
    EXPECT_TRUE(ScanBackupMarker(m_dll, QStringLiteral("KQ100V12")).bFound);
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
    EXPECT_TRUE(IsTransferCompatible(QStringLiteral("12.34  KQ100V12"), QStringLiteral("V12")));
    EXPECT_TRUE(IsTransferCompatible(QStringLiteral("12.34  KQ100V12"), QStringLiteral("12")));
    // The supported text starts before the last V.
    EXPECT_FALSE(IsTransferCompatible(QStringLiteral("12.34  KQ100V12"), QStringLiteral("KQ100V12")));
    EXPECT_FALSE(IsTransferCompatible(QStringLiteral("V1 V2"), QStringLiteral("V1")));
    EXPECT_TRUE(IsTransferCompatible(QStringLiteral("V1 V2"), QStringLiteral("V2")));
    // No capital V: never compatible.
    EXPECT_FALSE(IsTransferCompatible(QStringLiteral("12.34  kq100v12"), QStringLiteral("v12")));
    EXPECT_FALSE(IsTransferCompatible(QString(), QString()));
    EXPECT_FALSE(IsTransferCompatible(QStringLiteral("12.34  KQ100V12"), QStringLiteral("v12")));
}
