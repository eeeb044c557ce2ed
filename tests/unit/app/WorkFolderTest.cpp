#include "core/WorkFolder.h"
#include "TestEnv.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <gtest/gtest.h>

namespace {

struct SPluginTree
{
    QString root; // folder holding the plug-in
    QString dll;  // plug-in path
    QString work; // root/TRANS_BK
};

SPluginTree MakeTree()
{
    SPluginTree t;
    t.root = qpxtest::MakeTempDir(QStringLiteral("model"));
    t.dll = t.root + QStringLiteral("/ref.so");
    t.work = t.root + QStringLiteral("/TRANS_BK");
    qpxtest::WriteFile(t.dll, "so");
    qpxtest::WriteFile(t.work + QStringLiteral("/pim/book.dat"), "1");
    qpxtest::WriteFile(t.work + QStringLiteral("/brew/mod/iwsapp/schedule/e.dat"), "2");
    qpxtest::WriteFile(t.work + QStringLiteral("/KQ100V12.PP"), "");
    return t;
}

QStringList Beside(const QString& root)
{
    return QDir(root).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                QDir::Name);
}

const QDateTime CLOSED_AT(QDate(2024, 3, 15), QTime(17, 45, 2));

// The work folder sits beside the plug-in; its archives are named by the second they were made.
TEST(WorkFolder, PathsAndArchiveNames)
{
    EXPECT_EQ(PluginFolderOf(QStringLiteral("/opt/qpx/MODEL/x.so")), QStringLiteral("/opt/qpx/MODEL"));
    EXPECT_EQ(TransferWorkFolder(QStringLiteral("/opt/qpx/MODEL/x.so")),
              QStringLiteral("/opt/qpx/MODEL/TRANS_BK"));
    for (const char* none : {"N/A", "", "plugin.so"})
        EXPECT_TRUE(TransferWorkFolder(QLatin1String(none)).isEmpty()) << none;
    EXPECT_EQ(TransferArchiveName(CLOSED_AT), QStringLiteral("TRANS_BK.20240315-174502"));
    EXPECT_TRUE(IsTransferArchiveName(QStringLiteral("TRANS_BK.20240315-174502")));
    for (const char* other :
         {"TRANS_BK", "trans_bk.20240315-174502", "TRANS_BK.20240315-1745", "TRANS_BK.keep",
          "TRANS_BK.20240315-174502.old", "TRANS_BK_20240315-174502", "xTRANS_BK.20240315-174502"})
        EXPECT_FALSE(IsTransferArchiveName(QString::fromLatin1(other))) << other;
}

// At exit the work folder becomes an archive beside it; of the archives the ten newest stay, and
// nothing that is not one of them is touched.
TEST(WorkFolder, ExitArchivesTheWorkFolderAndKeepsTheTenNewest)
{
    const SPluginTree t = MakeTree();
    const QMap<QString, QByteArray> backup = qpxtest::FilesBelow(t.work);
    const QString outside = qpxtest::MakeTempDir(QStringLiteral("victim"));
    qpxtest::WriteFile(outside + QStringLiteral("/precious.txt"), "p");
    for (int day = 1; day <= 11; ++day)
        qpxtest::WriteFile(
            t.root + QStringLiteral("/TRANS_BK.202401%1-120000/pim").arg(day, 2, 10, QLatin1Char('0')),
            "old");
    ASSERT_TRUE(QFile::link(outside, t.root + QStringLiteral("/TRANS_BK.20240101-120000/link")));
    const QStringList others{QStringLiteral("TRANS_BK.keep"), QStringLiteral("TRANS_BK_old"),
                             QStringLiteral("trans_bk.20200101-000000")};
    for (const QString& name : others)
        qpxtest::WriteFile(t.root + QLatin1Char('/') + name + QStringLiteral("/pim"), "mine");
    qpxtest::WriteFile(t.root + QStringLiteral("/TRANS_BK.20200101-000000"), "a file");

    EXPECT_TRUE(ArchiveTransferWorkFolder(t.dll, CLOSED_AT));
    EXPECT_FALSE(QFileInfo::exists(t.work));
    EXPECT_EQ(qpxtest::FilesBelow(t.root + QStringLiteral("/TRANS_BK.20240315-174502")), backup);
    QStringList expected{QStringLiteral("TRANS_BK.20200101-000000")};
    for (int day = 3; day <= 11; ++day)
        expected << QStringLiteral("TRANS_BK.202401%1-120000").arg(day, 2, 10, QLatin1Char('0'));
    expected << QStringLiteral("TRANS_BK.20240315-174502") << others << QStringLiteral("ref.so");
    expected.sort();
    EXPECT_EQ(Beside(t.root), expected);
    EXPECT_TRUE(QFileInfo::exists(outside + QStringLiteral("/precious.txt")));
}

// Two archives within one second do not replace each other; nothing is archived of nothing, and
// an empty work folder is removed, holding nothing to keep.
TEST(WorkFolder, ArchivesOfOneSecondAndOfNothing)
{
    const SPluginTree t = MakeTree();
    ASSERT_TRUE(ArchiveTransferWorkFolder(t.dll, CLOSED_AT));
    qpxtest::WriteFile(t.work + QStringLiteral("/ui.data"), "second");
    ASSERT_TRUE(ArchiveTransferWorkFolder(t.dll, CLOSED_AT));
    EXPECT_TRUE(QFileInfo::exists(t.root + QStringLiteral("/TRANS_BK.20240315-174502/pim/book.dat")));
    EXPECT_EQ(qpxtest::FilesBelow(t.root + QStringLiteral("/TRANS_BK.20240315-174503")).keys(),
              QStringList{QStringLiteral("ui.data")});
    EXPECT_FALSE(ArchiveTransferWorkFolder(t.dll, CLOSED_AT)); // no work folder
    EXPECT_FALSE(ArchiveTransferWorkFolder(QStringLiteral("N/A"), CLOSED_AT));
    EXPECT_FALSE(ArchiveTransferWorkFolder(QString(), CLOSED_AT));
    QDir().mkpath(t.work);
    EXPECT_TRUE(ArchiveTransferWorkFolder(t.dll, CLOSED_AT));
    EXPECT_FALSE(QFileInfo::exists(t.work));
    EXPECT_FALSE(QFileInfo::exists(t.root + QStringLiteral("/TRANS_BK.20240315-174504")));
}

TEST(WorkFolder, RefusesEmptyRootAndOutsidePaths)
{
    const SPluginTree t = MakeTree();
    const QString other = qpxtest::MakeTempDir(QStringLiteral("other"));
    qpxtest::WriteFile(other + QStringLiteral("/keep.txt"), "k");
    const struct
    {
        QString folder;
        QString root;
    } refused[] = {
        {QString(), t.root}, {QStringLiteral("/"), QStringLiteral("/")},
        {t.root, t.root}, // the plug-in folder itself
        {other, t.root},     {t.work + QStringLiteral("/../../"), t.root},
        {t.work, QString()},
    };
    for (const auto& r : refused) {
        EXPECT_FALSE(EmptyFolderGuarded(r.folder, r.root)) << r.folder.toStdString();
        EXPECT_FALSE(RemoveFolderGuarded(r.folder, r.root)) << r.folder.toStdString();
        EXPECT_TRUE(ArchiveFolderGuarded(r.folder, r.root, CLOSED_AT).isEmpty()) << r.folder.toStdString();
    }
    EXPECT_TRUE(QFileInfo::exists(other + QStringLiteral("/keep.txt")));
    EXPECT_EQ(qpxtest::FilesBelow(t.work).size(), 3);
    // Emptying keeps the folder itself.
    EXPECT_TRUE(EmptyFolderGuarded(t.work, t.root));
    EXPECT_TRUE(QFileInfo(t.work).isDir());
    EXPECT_TRUE(QDir(t.work).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

TEST(WorkFolder, SymbolicLinksAreNeverFollowedOutOfThePluginFolder)
{
    const SPluginTree t = MakeTree();
    const QString outside = qpxtest::MakeTempDir(QStringLiteral("victim"));
    qpxtest::WriteFile(outside + QStringLiteral("/precious.txt"), "p");
    ASSERT_TRUE(QFile::link(outside, t.work + QStringLiteral("/link-to-outside")));

    // A TRANS_BK that is itself a link to elsewhere is refused outright.
    const SPluginTree t2 = MakeTree();
    QDir(t2.work).removeRecursively();
    ASSERT_TRUE(QFile::link(outside, t2.work));
    EXPECT_FALSE(ArchiveTransferWorkFolder(t2.dll, CLOSED_AT));
    EXPECT_FALSE(RemoveFolderGuarded(t2.work, t2.root));
    EXPECT_TRUE(QFileInfo(t2.work).isSymLink());

    // A link inside goes into the archive as a link, and is removed as one.
    ASSERT_TRUE(ArchiveTransferWorkFolder(t.dll, CLOSED_AT));
    const QString archive = t.root + QStringLiteral("/TRANS_BK.20240315-174502");
    EXPECT_TRUE(QFileInfo(archive + QStringLiteral("/link-to-outside")).isSymLink());
    EXPECT_TRUE(RemoveFolderGuarded(archive, t.root));
    EXPECT_FALSE(QFileInfo::exists(archive));
    EXPECT_TRUE(QFileInfo::exists(outside + QStringLiteral("/precious.txt")));
}

} // namespace
