#include "TestEnv.h"
#include "platform/SingleInstance.h"
#include "platform/SystemInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Without a runtime folder the lock lives in a folder only this user can enter, whatever another
// user left in the shared temporary folder (a file at the lock's name, a link or a folder of
// theirs at the private folder's name).
TEST(SingleInstance, LockFolderIsPrivateWithoutARuntimeFolder)
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray tmp = qgetenv("TMPDIR");
    const QByteArray cache = qgetenv("XDG_CACHE_HOME");
    qunsetenv("XDG_RUNTIME_DIR");
    const bool root = ::geteuid() == 0;
    constexpr int NOTHING = 0, OURS_OPEN = 1, LINK = 2, FOREIGN = 3; // left in the shared folder
    for (const int planted : {NOTHING, OURS_OPEN, LINK, FOREIGN}) {
        if (planted == FOREIGN && !root)
            continue; // only root can leave a folder of another user here
        SCOPED_TRACE(planted);
        const QString shared = qpxtest::MakeTempDir(u"tmp"_s);
        qputenv("TMPDIR", shared.toLocal8Bit());
        qputenv("XDG_CACHE_HOME", qpxtest::MakeTempDir(u"cache"_s).toLocal8Bit());
        const QString name = u"QPX_TEST_PRIVATE_%1_%2"_s.arg(::getpid()).arg(planted);
        const QString own = shared + u"/qpx-%1"_s.arg(::getuid());
        const QString open = qpxtest::MakeTempDir(u"open"_s);
        const auto at = [](const QString& path) { return QFile::encodeName(path); };
        ::chmod(at(open).constData(), 0777);
        ASSERT_TRUE(planted != LINK || QFile::link(open, own));
        ASSERT_TRUE((planted != OURS_OPEN && planted != FOREIGN) || ::mkdir(at(own).constData(), 0777) == 0);
        ASSERT_TRUE(planted != OURS_OPEN || ::chmod(at(own).constData(), 0777) == 0);
        ASSERT_TRUE(planted != FOREIGN || ::chown(at(own).constData(), 65534, 65534) == 0);
        // A lock file another user made where the lock used to live.
        const QString oldPlace = u"/tmp/%1-%2.lock"_s.arg(name).arg(::getuid());
        ASSERT_TRUE(!root || (qpxtest::WriteFile(oldPlace, "x") &&
                              ::chown(at(oldPlace).constData(), 65534, 65534) == 0 &&
                              ::chmod(at(oldPlace).constData(), 0644) == 0));

        CSingleInstanceLock lock(name);
        EXPECT_TRUE(lock.Acquire());
        const QString folder = QFileInfo(CSingleInstanceLock::LockPath(name)).path();
        struct stat st = {};
        ASSERT_EQ(::lstat(at(folder).constData(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 0777) == 0700);
        EXPECT_TRUE(QDir(open).isEmpty()) << "the lock went through a planted link";
        QFile::remove(oldPlace);
    }
    qputenv("XDG_RUNTIME_DIR", runtime);
    tmp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmp);
    cache.isNull() ? qunsetenv("XDG_CACHE_HOME") : qputenv("XDG_CACHE_HOME", cache);
}

TEST(SystemInfo, OsReleaseAndKernelParsing)
{
    EXPECT_EQ(COsVersion::ParseOsReleaseName(
                  "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"),
              u"Debian GNU/Linux 12 (bookworm)"_s);
    EXPECT_EQ(COsVersion::ParseOsReleaseName("NAME=Alpine\n"), u"Alpine"_s);
    EXPECT_EQ(COsVersion::ParseOsReleaseName(""), u"Linux"_s);
    SOsVersionInfo info;
    COsVersion::ParseKernelRelease(u"6.1.0-18-amd64"_s, info);
    EXPECT_TRUE(info.nMajor == 6 && info.nMinor == 1 && info.nBuild == 0);
    EXPECT_EQ(info.strServicePack, u"6.1.0-18-amd64"_s);
    EXPECT_FALSE(GetComputerNameText().isEmpty() || GetUserNameText().isEmpty());
}

} // namespace
