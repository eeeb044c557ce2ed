#include "pages/PathRules.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <QFileInfo>

using namespace Qt::StringLiterals;

TEST(PathRules, NearestExistingFolder)
{
    const QString dir = qpxtest::MakeTempDir(u"near"_s);
    const QString file = dir + u"/a.bin"_s;
    ASSERT_TRUE(qpxtest::WriteFile(file, "x"));

    const QString cases[][2] = {{QString(), QString()},
                                {file, file},
                                {dir, dir},
                                {dir + u"/gone.bin"_s, dir},
                                {dir + u"/x/y/z/gone.bin"_s, dir},
                                {u"/qpx-no-such-folder/x"_s, u"/"_s},
                                {u"no-such-relative/x"_s, QString()},
                                {u"nothing"_s, QString()}};
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
    const QString dir = qpxtest::MakeTempDir(u"mk"_s);
    const QString deep = dir + u"/one/two/three"_s;
    EXPECT_TRUE(CreateFolderLevels(deep) && QFileInfo(deep).isDir());
    EXPECT_TRUE(CreateFolderLevels(deep)); // existing levels are fine
    ASSERT_TRUE(qpxtest::WriteFile(dir + u"/file"_s, "x"));
    EXPECT_FALSE(CreateFolderLevels(dir + u"/file/sub"_s) || CreateFolderLevels(u"relative/sub"_s));
}

TEST(PathRules, ReadFileNames)
{
    const QStringList names{PrlReadFileName(0), PrlReadFileName(1), PrlReadFileName(2), EriReadFileName(),
                            PrlReadFileName(3)};
    EXPECT_EQ(names.join(u'|'), u"/nam1_prl_0000.prl|/nam2_prl_0001.prl|/nam?_prl_000#.prl|/eri.bin|"_s);
    // The files a read writes ("+" between them): "NAM 1,2" stands for both single-NAM names.
    QStringList targets;
    for (const QString& name : names.first(4))
        targets << ReadTargetFiles(u"/r"_s + name).join(u'+');
    EXPECT_EQ(targets.join(u'|'), u"/r/nam1_prl_0000.prl|/r/nam2_prl_0001.prl|"
                                  u"/r/nam1_prl_0000.prl+/r/nam2_prl_0001.prl|/r/eri.bin"_s);
}
