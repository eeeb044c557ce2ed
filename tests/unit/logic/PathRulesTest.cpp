#include "pages/PathRules.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

TEST(PathRules, NearestExistingFolder)
{
    const QString dir = qpxtest::MakeTempDir(QStringLiteral("near"));
    const QString file = dir + QStringLiteral("/a.bin");
    ASSERT_TRUE(qpxtest::WriteFile(file, "x"));

    const QString cases[][2] = {{QString(), QString()},
                                {file, file},
                                {dir, dir},
                                {dir + QStringLiteral("/gone.bin"), dir},
                                {dir + QStringLiteral("/x/y/z/gone.bin"), dir},
                                {QStringLiteral("/qpx-no-such-folder/x"), QStringLiteral("/")},
                                {QStringLiteral("no-such-relative/x"), QString()},
                                {QStringLiteral("nothing"), QString()}};
    for (const auto& [path, nearest] : cases)
        EXPECT_EQ(NearestExistingFolder(path), nearest) << path.toStdString();
}

TEST(PathRules, FolderSyntax)
{
    for (const char* good : {"/", "/a", "/a/b c/d", "/a.b/c", "/a-b_c/\xc3\xa9t\xc3\xa9", "/x/a..b"})
        EXPECT_TRUE(IsValidFolderPath(QString::fromUtf8(good))) << good;
    for (const char* bad :
         {"",     "a/b",  "/a/",   "//a",  "/a//b", "/a./b", "/.a",  "/a/..", "/x/.a.b-", "/ a",  "/a ",
          "/a\t", "/\tb", "/a\"b", "/a*b", "/a:b",  "/a<b",  "/a>b", "/a?b",  "/a\\b",    "/a|b", "/a/b/"})
        EXPECT_FALSE(IsValidFolderPath(QString::fromUtf8(bad))) << bad;
}

TEST(PathRules, FoldersAreCreatedLevelByLevel)
{
    const QString dir = qpxtest::MakeTempDir(QStringLiteral("mk"));
    const QString deep = dir + QStringLiteral("/one/two/three");
    EXPECT_TRUE(CreateFolderLevels(deep) && QFileInfo(deep).isDir());
    EXPECT_TRUE(CreateFolderLevels(deep)); // existing levels are fine
    ASSERT_TRUE(qpxtest::WriteFile(dir + QStringLiteral("/file"), "x"));
    EXPECT_FALSE(CreateFolderLevels(dir + QStringLiteral("/file/sub")) ||
                 CreateFolderLevels(QStringLiteral("relative/sub")));
}

TEST(PathRules, ReadFileNames)
{
    EXPECT_EQ(PrlReadFileName(0), QStringLiteral("/nam1_prl_0000.prl"));
    EXPECT_EQ(PrlReadFileName(1), QStringLiteral("/nam2_prl_0001.prl"));
    EXPECT_EQ(PrlReadFileName(2), QStringLiteral("/nam?_prl_000#.prl"));
    EXPECT_EQ(PrlReadFileName(3), QString());
    EXPECT_EQ(EriReadFileName(), QStringLiteral("/eri.bin"));

    // The files a read writes: "NAM 1,2" stands for both single-NAM names.
    const QString d = QStringLiteral("/r");
    EXPECT_EQ(ReadTargetFiles(d + PrlReadFileName(0)), QStringList{QStringLiteral("/r/nam1_prl_0000.prl")});
    EXPECT_EQ(ReadTargetFiles(d + PrlReadFileName(1)), QStringList{QStringLiteral("/r/nam2_prl_0001.prl")});
    EXPECT_EQ(ReadTargetFiles(d + PrlReadFileName(2)),
              (QStringList{QStringLiteral("/r/nam1_prl_0000.prl"), QStringLiteral("/r/nam2_prl_0001.prl")}));
    EXPECT_EQ(ReadTargetFiles(d + EriReadFileName()), QStringList{QStringLiteral("/r/eri.bin")});
}
