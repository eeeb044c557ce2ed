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
    // A file below the plug-in's folder, or a folder when the name ends in "/".
    void Make(const QString& below)
    {
        const QString path = m_plugin + QLatin1Char('/') + below;
        ASSERT_TRUE(below.endsWith(QLatin1Char('/')) ? QDir().mkpath(path) : qpxtest::WriteFile(path, "d"));
    }
    QStringList Beside() const
    {
        return QDir(m_plugin).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                        QDir::Name);
    }

    QString m_plugin;
    QString m_dll;
    QString m_work;
};

} // namespace

TEST(TransferRules, ItemMask)
{
    EXPECT_EQ(TransferItemMask({false, true, false, true, false}), 10u);
    EXPECT_EQ(TransferItemMask({true, true, true, true, true, true, true}), 31u);
    EXPECT_EQ(TransferItemMask({}), 0u);
}

// Each restore row is offered when its data is in the work folder; names are case-sensitive.
TEST_F(TransferFolder, RestoreRowsFollowTheDataPresent)
{
    const struct
    {
        const char* made;
        const char* rows; // "1" for each row offered
    } steps[] = {
        {"", "00000"},
        {"TRANS_BK/sms/|TRANS_BK/mms/", "10000"},
        {"TRANS_BK/MMS|TRANS_BK/pim|TRANS_BK/brew/mod/iwsapp/schedule/", "11110"},
        {"TRANS_BK/ui.data/", "11111"},
    };
    for (const auto& s : steps) {
        for (const QString& m : QString::fromLatin1(s.made).split(QLatin1Char('|'), Qt::SkipEmptyParts))
            Make(m);
        const STransferPresence p = ProbeTransferFolder(m_dll);
        QString rows;
        for (int row = 0; row < 5; ++row)
            rows += p.RowAvailable(row) ? QLatin1Char('1') : QLatin1Char('0');
        EXPECT_EQ(rows, QLatin1String(s.rows)) << s.made;
    }
    EXPECT_FALSE(ProbeTransferFolder(QStringLiteral("rec.so")).Any()); // no folder in the path
}

// The marker is a plain file directly in the work folder whose name up to its first dot is the
// handset's version in any case, followed by ".PP" in any case. The work folder is the folder
// named TRANS_BK in any case directly in the plug-in's folder: never a sibling that merely
// contains the word, never an archive the program made at exit, and never any folder only because
// the plug-in's own path contains it.
TEST(TransferRules, MarkerScanMatchesTheWorkFolderByItsOwnName)
{
    enum EScan
    {
        NONE,
        WORK, // the work folder without the marker
        FOUND
    };
    const struct
    {
        const char* pluginFolder; // below a fresh temporary folder
        const char* marker;       // below the plug-in's folder; a folder when it ends in "/"
        const char* version;
        EScan scan;
    } cases[] = {
        {"MODEL", "", "KQ100V12", NONE},
        {"MODEL", "TRANS_BK/KQ100V12.pp/", "KQ100V12", WORK},
        {"MODEL", "TRANS_BK/KQ100V12.bin", "KQ100V12", WORK},
        {"MODEL", "TRANS_BK/sub/KQ100V12.pp", "KQ100V12", WORK},
        {"MODEL", "TRANS_BK/KQ100V12", "KQ100V12", WORK},
        {"MODEL", "TRANS_BK/kq100v12.pp", "KQ100V12", FOUND},
        {"MODEL", "TRANS_BK/kq100v12.pp", "KQ100V1", WORK},
        {"MODEL", "TRANS_BK/kq100v12x.pp", "kq100v12x", WORK}, // a version with lower case never matches
        {"MODEL", "TRANS_BK/KQ200V12.x.PPX", "KQ200V12", FOUND},
        {"MODEL", "trans_bk/KQ100V12.pp", "KQ100V12", FOUND},
        {"MODEL", "Trans_Bk/KQ100V12.pp", "KQ100V12", FOUND},
        {"MODEL", "TRANS_BK_old/KQ100V12.pp", "KQ100V12", NONE},
        {"MODEL", "old_trans_bk/KQ100V12.pp", "KQ100V12", NONE},
        {"MODEL", "TRANS_BK2/KQ100V12.pp", "KQ100V12", NONE},
        {"MODEL", "TRANS_BK.20240101-120000/KQ100V12.pp", "KQ100V12", NONE},
        {"MODEL", "TRANS_BK.previous/KQ100V12.pp", "KQ100V12", NONE},
        {"TRANS_BK", "pim/KQ100V12.pp", "KQ100V12", NONE},
        {"TRANS_BK/MODEL", "other/KQ100V12.pp", "KQ100V12", NONE},
        {"my_trans_bk_tools", "sms/KQ100V12.pp", "KQ100V12", NONE},
        {"TRANS_BK", "TRANS_BK/KQ100V12.pp", "KQ100V12", FOUND},
    };
    for (const auto& c : cases) {
        const QString plugin =
            qpxtest::MakeTempDir(QStringLiteral("scan")) + QLatin1Char('/') + QLatin1String(c.pluginFolder);
        const QString dll = plugin + QStringLiteral("/rec.so");
        ASSERT_TRUE(qpxtest::WriteFile(dll, "x"));
        const QString marker = plugin + QLatin1Char('/') + QLatin1String(c.marker);
        if (*c.marker) {
            ASSERT_TRUE(marker.endsWith(QLatin1Char('/')) ? QDir().mkpath(marker)
                                                          : qpxtest::WriteFile(marker, "m"));
        }
        const SBackupScan s = ScanBackupMarker(dll, QLatin1String(c.version));
        const QString work =
            plugin + QLatin1Char('/') + QString::fromLatin1(c.marker).section(QLatin1Char('/'), 0, 0);
        EXPECT_EQ(s.bFound, c.scan == FOUND) << c.pluginFolder << " " << c.marker;
        EXPECT_EQ(s.strWorkFolder, c.scan != NONE ? work : QString()) << c.pluginFolder << " " << c.marker;
    }
}

// A backup over an earlier one: the earlier one lies aside (never taken for the work folder)
// until the new one ends, and is then removed (success) or put back in place of whatever the
// failed attempt left (failure).
TEST_F(TransferFolder, PreviousBackupStaysUntilTheNewOneSucceeded)
{
    Make(QStringLiteral("TRANS_BK/KQ100V12.pp"));
    Make(QStringLiteral("TRANS_BK/pim/a"));
    const QDateTime when(QDate(2024, 3, 15), QTime(17, 45, 2));
    for (const bool success : {false, true}) {
        CPreviousBackup previous;
        ASSERT_TRUE(previous.SetAside(m_work, m_dll, when)) << success;
        EXPECT_EQ(previous.Archive(), m_plugin + QStringLiteral("/TRANS_BK.20240315-174502"));
        EXPECT_FALSE(QFileInfo::exists(m_work));
        EXPECT_TRUE(QFileInfo::exists(previous.Archive() + QStringLiteral("/pim/a")));
        EXPECT_FALSE(ScanBackupMarker(m_dll, QStringLiteral("KQ100V12")).bFound);

        Make(QStringLiteral("TRANS_BK/sms")); // what the new backup writes
        previous.Settle(success);
        EXPECT_FALSE(previous.IsSetAside());
        EXPECT_EQ(Beside(), (QStringList{QStringLiteral("TRANS_BK"), QStringLiteral("rec.so")})) << success;
        EXPECT_EQ(QFileInfo::exists(m_work + QStringLiteral("/sms")), success);
        EXPECT_EQ(QFileInfo::exists(m_work + QStringLiteral("/pim/a")), !success);
        EXPECT_EQ(ScanBackupMarker(m_dll, QStringLiteral("KQ100V12")).bFound, !success);
    }
    // A work folder that is a link out of the plug-in's folder, the plug-in's folder itself or a
    // folder elsewhere is never moved.
    const QString outside = qpxtest::MakeTempDir(QStringLiteral("outside"));
    ASSERT_TRUE(qpxtest::WriteFile(outside + QStringLiteral("/KQ100V12.pp"), "k"));
    ASSERT_TRUE(QDir(m_work).removeRecursively());
    ASSERT_TRUE(QFile::link(outside, m_work));
    for (const QString& folder : {m_work, outside, m_plugin, QString()}) {
        CPreviousBackup previous;
        EXPECT_FALSE(previous.SetAside(folder, m_dll, when)) << folder.toStdString();
        EXPECT_FALSE(previous.IsSetAside());
        previous.Settle(false);
    }
    EXPECT_TRUE(QFileInfo(m_work).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(outside + QStringLiteral("/KQ100V12.pp")));
    EXPECT_EQ(Beside(), (QStringList{QStringLiteral("TRANS_BK"), QStringLiteral("rec.so")}));
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
