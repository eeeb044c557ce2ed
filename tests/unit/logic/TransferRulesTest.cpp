#include "pages/TransferRules.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// A plug-in at <fresh folder>/<folder>/rec.so, with files below its folder, or folders for the
// names ending in "/" ("|" between them); returns the plug-in's path.
QString PluginWith(const char* folder, const char* made)
{
    const QString plugin = qpxtest::MakeTempDir(u"plug"_s) + QLatin1Char('/') + QLatin1String(folder);
    EXPECT_TRUE(qpxtest::WriteFile(plugin + u"/rec.so"_s, "x"));
    for (const QString& m : QString::fromLatin1(made).split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        const QString path = plugin + QLatin1Char('/') + m;
        EXPECT_TRUE(m.endsWith(QLatin1Char('/')) ? QDir().mkpath(path) : qpxtest::WriteFile(path, "d"));
    }
    return plugin + u"/rec.so"_s;
}

} // namespace

// Each restore row is offered when its data is in the work folder; names are case-sensitive.
TEST(TransferFolder, RestoreRowsFollowTheDataPresent)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", "00000"},
        {"TRANS_BK/sms/|TRANS_BK/mms/", "10000"},
        {"TRANS_BK/sms/|TRANS_BK/MMS|TRANS_BK/pim|TRANS_BK/brew/mod/iwsapp/schedule/|TRANS_BK/ui.data/",
         "11111"},
    };
    for (const auto& [made, rows] : cases) {
        const STransferPresence p = ProbeTransferFolder(PluginWith("MODEL", made));
        QString offered;
        for (int row = 0; row < 5; ++row)
            offered += p.RowAvailable(row) ? QLatin1Char('1') : QLatin1Char('0');
        EXPECT_EQ(offered, QLatin1String(rows)) << made;
    }
    EXPECT_FALSE(ProbeTransferFolder(u"rec.so"_s).Any()); // no folder in the path
}

// The marker is a plain file directly in the work folder whose name up to its first dot is the
// handset's version in any case, followed by ".PP" in any case. The work folder is the folder
// named TRANS_BK in any case directly in the plug-in's folder: never a sibling that merely
// contains the word, never an archive the program made at exit, and never any folder only because
// the plug-in's own path contains it. A version with lower case never matches.
TEST(TransferRules, MarkerScanMatchesTheWorkFolderByItsOwnName)
{
    constexpr int NONE = 0, WORK = 1, FOUND = 2; // WORK: the work folder without the marker
    const std::tuple<const char*, const char*, const char*, int> cases[] = {
        // The plug-in's folder, the marker below it (a folder when it ends in "/"), the version.
        {"MODEL", "", "KQ100V12", NONE},
        {"MODEL", "TRANS_BK/KQ100V12.pp/", "KQ100V12", WORK},
        {"MODEL", "TRANS_BK/KQ100V12.bin", "KQ100V12", WORK},
        {"MODEL", "TRANS_BK/sub/KQ100V12.pp", "KQ100V12", WORK},
        {"MODEL", "TRANS_BK/KQ100V12", "KQ100V12", WORK},
        {"MODEL", "TRANS_BK/kq100v12.pp", "KQ100V12", FOUND},
        {"MODEL", "TRANS_BK/kq100v12.pp", "KQ100V1", WORK},
        {"MODEL", "TRANS_BK/kq100v12x.pp", "kq100v12x", WORK},
        {"MODEL", "TRANS_BK/KQ200V12.x.PPX", "KQ200V12", FOUND},
        {"MODEL", "trans_bk/KQ100V12.pp", "KQ100V12", FOUND},
        {"MODEL", "TRANS_BK_old/KQ100V12.pp", "KQ100V12", NONE},
        {"MODEL", "old_trans_bk/KQ100V12.pp", "KQ100V12", NONE},
        {"MODEL", "TRANS_BK.20240101-120000/KQ100V12.pp", "KQ100V12", NONE},
        {"TRANS_BK", "pim/KQ100V12.pp", "KQ100V12", NONE},
        {"TRANS_BK/MODEL", "other/KQ100V12.pp", "KQ100V12", NONE},
        {"my_trans_bk_tools", "sms/KQ100V12.pp", "KQ100V12", NONE},
        {"TRANS_BK", "TRANS_BK/KQ100V12.pp", "KQ100V12", FOUND},
    };
    for (const auto& [folder, marker, version, scan] : cases) {
        const QString dll = PluginWith(folder, marker);
        const SBackupScan s = ScanBackupMarker(dll, QLatin1String(version));
        const QString work = QFileInfo(dll).path() + QLatin1Char('/') +
                             QString::fromLatin1(marker).section(QLatin1Char('/'), 0, 0);
        EXPECT_EQ(s.bFound, scan == FOUND) << folder << " " << marker;
        EXPECT_EQ(s.strWorkFolder, scan != NONE ? work : QString()) << folder << " " << marker;
    }
}

// Compatibility looks after the last capital V only: handset version, supported version, match.
TEST(TransferRules, CompatibilityLooksAfterTheLastCapitalV)
{
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"12.34  KQ100V12", "V12", true},
        {"12.34  KQ100V12", "12", true},
        {"12.34  KQ100V12", "KQ100V12", false},
        {"V1 V2", "V1", false},
        {"V1 V2", "V2", true},
        {"12.34  kq100v12", "v12", false},
        {"", "", false},
        {"12.34  KQ100V12", "v12", false},
    };
    for (const auto& [handset, supported, ok] : cases)
        EXPECT_EQ(IsTransferCompatible(QLatin1String(handset), QLatin1String(supported)), ok)
            << handset << " / " << supported;
}
