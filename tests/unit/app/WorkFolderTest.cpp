#include "app/WorkFolder.h"
#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

TEST(WorkFolder, PathsFromThePluginPath)
{
    EXPECT_EQ(PluginFolderOf(QStringLiteral("/opt/qpx/MODEL/x.so")), QStringLiteral("/opt/qpx/MODEL"));
    EXPECT_EQ(TransferWorkFolder(QStringLiteral("/opt/qpx/MODEL/x.so")),
              QStringLiteral("/opt/qpx/MODEL/TRANS_BK"));
    EXPECT_TRUE(TransferWorkFolder(QStringLiteral("N/A")).isEmpty());
    EXPECT_TRUE(TransferWorkFolder(QString()).isEmpty());
    EXPECT_TRUE(TransferWorkFolder(QStringLiteral("plugin.so")).isEmpty());
}

TEST(WorkFolder, RemovesTheWholeTreeBesideThePlugin)
{
    const SPluginTree t = MakeTree();
    EXPECT_TRUE(RemoveTransferWorkFolder(t.dll));
    EXPECT_FALSE(QFileInfo::exists(t.work));
    EXPECT_TRUE(QFileInfo::exists(t.dll));
}

TEST(WorkFolder, NothingWithoutAFolderPart)
{
    EXPECT_FALSE(RemoveTransferWorkFolder(QStringLiteral("N/A")));
    EXPECT_FALSE(RemoveTransferWorkFolder(QString()));
}

TEST(WorkFolder, RefusesEmptyRootAndOutsidePaths)
{
    const SPluginTree t = MakeTree();
    EXPECT_FALSE(EmptyFolderGuarded(QString(), t.root));
    EXPECT_FALSE(EmptyFolderGuarded(QStringLiteral("/"), QStringLiteral("/")));
    EXPECT_FALSE(EmptyFolderGuarded(t.root, t.root)); // the plug-in folder itself
    const QString other = qpxtest::MakeTempDir(QStringLiteral("other"));
    qpxtest::WriteFile(other + QStringLiteral("/keep.txt"), "k");
    EXPECT_FALSE(EmptyFolderGuarded(other, t.root));
    EXPECT_TRUE(QFileInfo::exists(other + QStringLiteral("/keep.txt")));
    EXPECT_FALSE(EmptyFolderGuarded(t.work + QStringLiteral("/../../"), t.root));
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
    EXPECT_FALSE(RemoveTransferWorkFolder(t2.dll));

    EXPECT_TRUE(RemoveTransferWorkFolder(t.dll));
    EXPECT_FALSE(QFileInfo::exists(t.work));
    EXPECT_TRUE(QFileInfo::exists(outside + QStringLiteral("/precious.txt")));
}

TEST(WorkFolder, EmptyingKeepsTheFolder)
{
    const SPluginTree t = MakeTree();
    EXPECT_TRUE(EmptyFolderGuarded(t.work, t.root));
    EXPECT_TRUE(QFileInfo(t.work).isDir());
    EXPECT_TRUE(QDir(t.work).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

} // namespace
