#include "core/WorkFolder.h"
#include "TestEnv.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// A plug-in folder with the plug-in and a work folder of three files.
struct SPluginTree
{
    QString root = qpxtest::MakeTempDir(u"model"_s);
    QString dll = root + u"/ref.so"_s;
    QString work = root + u"/TRANS_BK"_s;
    bool made = qpxtest::WriteFile(dll, "so") && qpxtest::WriteFile(work + u"/pim/book.dat"_s, "1") &&
                qpxtest::WriteFile(work + u"/brew/mod/iwsapp/schedule/e.dat"_s, "2") &&
                qpxtest::WriteFile(work + u"/KQ100V12.PP"_s, "");
};

const QDateTime CLOSED_AT(QDate(2024, 3, 15), QTime(17, 45, 2));

// At exit the work folder becomes an archive beside it; of the archives the ten newest stay, and
// nothing that is not one of them is touched, nor anything a link inside one points at.
TEST(WorkFolder, ExitArchivesTheWorkFolderAndKeepsTheTenNewest)
{
    const SPluginTree t;
    const QMap<QString, QByteArray> backup = qpxtest::FilesBelow(t.work);
    const QString outside = qpxtest::MakeTempDir(u"victim"_s);
    qpxtest::WriteFile(outside + u"/precious.txt"_s, "p");
    for (int day = 1; day <= 11; ++day)
        qpxtest::WriteFile(t.root + u"/TRANS_BK.202401%1-120000/pim"_s.arg(day, 2, 10, QLatin1Char('0')),
                           "old");
    ASSERT_TRUE(QFile::link(outside, t.root + u"/TRANS_BK.20240101-120000/link"_s));
    // No archives: names that only look like one.
    const QStringList others =
        u"TRANS_BK.keep|trans_bk.20200101-000000|TRANS_BK.20200101-0000|TRANS_BK_20200101-000000|"
        u"TRANS_BK.20200101-000000.old|xTRANS_BK.20200101-000000"_s.split(u'|');
    for (const QString& name : others)
        qpxtest::WriteFile(t.root + QLatin1Char('/') + name + u"/pim"_s, "mine");
    qpxtest::WriteFile(t.root + u"/TRANS_BK.20200101-000000"_s, "a file");

    EXPECT_TRUE(ArchiveTransferWorkFolder(t.dll, CLOSED_AT));
    EXPECT_FALSE(QFileInfo::exists(t.work));
    EXPECT_EQ(qpxtest::FilesBelow(t.root + u"/TRANS_BK.20240315-174502"_s), backup);
    QStringList expected{u"TRANS_BK.20200101-000000"_s};
    for (int day = 3; day <= 11; ++day)
        expected << u"TRANS_BK.202401%1-120000"_s.arg(day, 2, 10, QLatin1Char('0'));
    expected << u"TRANS_BK.20240315-174502"_s << others << u"ref.so"_s;
    expected.sort();
    EXPECT_EQ(QDir(t.root).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                     QDir::Name),
              expected);
    EXPECT_TRUE(QFileInfo::exists(outside + u"/precious.txt"_s));
}

// Two archives within one second do not replace each other; nothing is archived of nothing, and
// an empty work folder is removed, holding nothing to keep.
TEST(WorkFolder, ArchivesOfOneSecondAndOfNothing)
{
    const SPluginTree t;
    ASSERT_TRUE(ArchiveTransferWorkFolder(t.dll, CLOSED_AT));
    qpxtest::WriteFile(t.work + u"/ui.data"_s, "second");
    ASSERT_TRUE(ArchiveTransferWorkFolder(t.dll, CLOSED_AT));
    EXPECT_TRUE(QFileInfo::exists(t.root + u"/TRANS_BK.20240315-174502/pim/book.dat"_s));
    EXPECT_EQ(qpxtest::FilesBelow(t.root + u"/TRANS_BK.20240315-174503"_s).keys(), QStringList{u"ui.data"_s});
    for (const QString& dll : {t.dll, u"N/A"_s, QString(), u"plugin.so"_s}) // no work folder
        EXPECT_FALSE(ArchiveTransferWorkFolder(dll, CLOSED_AT)) << dll.toStdString();
    QDir().mkpath(t.work);
    EXPECT_TRUE(ArchiveTransferWorkFolder(t.dll, CLOSED_AT));
    EXPECT_FALSE(QFileInfo::exists(t.work) || QFileInfo::exists(t.root + u"/TRANS_BK.20240315-174504"_s));
}

// The guard refuses an empty path, "/", the plug-in folder itself, a folder outside it or a link
// out of it. (A link inside an archive is removed as a link: see the exit archiving.)
TEST(WorkFolder, GuardsKeepEverythingOutsideThePluginFolder)
{
    const SPluginTree t, t2;
    const QString outside = qpxtest::MakeTempDir(u"victim"_s);
    qpxtest::WriteFile(outside + u"/precious.txt"_s, "p");
    QDir(t2.work).removeRecursively();
    ASSERT_TRUE(QFile::link(outside, t2.work));
    const QString refused[][2] = {
        {QString(), t.root},
        {u"/"_s, u"/"_s},
        {t.root, t.root},
        {outside, t.root},
        {t.work + u"/../../"_s, t.root},
        {t.work, QString()},
        {t2.work, t2.root},
    };
    for (const auto& r : refused) {
        EXPECT_FALSE(EmptyFolderGuarded(r[0], r[1])) << r[0].toStdString();
        EXPECT_FALSE(RemoveFolderGuarded(r[0], r[1])) << r[0].toStdString();
        EXPECT_TRUE(ArchiveFolderGuarded(r[0], r[1], CLOSED_AT).isEmpty()) << r[0].toStdString();
    }
    EXPECT_FALSE(ArchiveTransferWorkFolder(t2.dll, CLOSED_AT));
    EXPECT_TRUE(QFileInfo(t2.work).isSymLink() && qpxtest::FilesBelow(t.work).size() == 3);
}

} // namespace
