#include "pages/TransferRules.h"
#include "QtPrint.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <QDir>
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

TEST_F(TransferFolder, EveryFolderNamedLikeTheWorkFolderIsScanned)
{
    File(QStringLiteral("old_trans_bk/KQ100V12.pp"));
    Folder(QStringLiteral("TRANS_BK"));
    const SBackupScan s = ScanBackupMarker(m_dll, QStringLiteral("KQ100V12"));
    EXPECT_TRUE(s.bFound);
    // Name order: "TRANS_BK" before "old_trans_bk"; the last one listed is the work folder.
    EXPECT_EQ(s.strWorkFolder, m_plugin + QStringLiteral("/old_trans_bk"));
}

TEST_F(TransferFolder, EmptyingKeepsTheFolderAndStaysInside)
{
    File(QStringLiteral("TRANS_BK/pim"));
    File(QStringLiteral("TRANS_BK/brew/mod/x"));
    File(QStringLiteral("TRANS_BK/KQ100V12.pp"));
    EXPECT_TRUE(EmptyTransferWorkFolder(m_work, m_dll));
    EXPECT_TRUE(QFileInfo(m_work).isDir());
    EXPECT_TRUE(QDir(m_work).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    EXPECT_FALSE(ScanBackupMarker(m_dll, QStringLiteral("KQ100V12")).bFound);

    const QString outside = qpxtest::MakeTempDir(QStringLiteral("outside"));
    ASSERT_TRUE(qpxtest::WriteFile(outside + QStringLiteral("/keep"), "k"));
    EXPECT_FALSE(EmptyTransferWorkFolder(outside, m_dll));
    EXPECT_FALSE(EmptyTransferWorkFolder(m_plugin, m_dll));
    EXPECT_TRUE(QFileInfo::exists(outside + QStringLiteral("/keep")));
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
