#include "TestEnv.h"
#include "platform/SingleInstance.h"
#include "platform/SystemInfo.h"
#include "platform/WindowMessage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace {

class CRecorder : public QObject, public IMessageReceiver
{
public:
    LRESULT OnMessage(quint32, WPARAM w, LPARAM l) override
    {
        if (w == 0x200A)
            m_payload0 = *reinterpret_cast<const char*>(l);
        m_thread = QThread::currentThread();
        ++m_count;
        return static_cast<LRESULT>(w + 1);
    }
    void customEvent(QEvent* e) override { DispatchMessageEvent(this, e); }

    char m_payload0 = 0;
    QThread* m_thread = nullptr;
    int m_count = 0;
};

// Posts and sends from another thread are handled on the receiver's thread; a send whose run flag
// drops returns unhandled (the message is handled later all the same); a payload is a copy.
TEST(WindowMessage, DeliveryAcrossThreads)
{
    CRecorder r;
    std::atomic<LRESULT> result{0};
    std::atomic<int> running{1};
    std::thread t([&] {
        PostMessage(&r, WM_HOST_COMMAND, 0x2009, -1);
        result = SendMessage(&r, WM_FRAME_STATUS, 41, 0, &running);
    });
    ASSERT_TRUE(qpxtest::PumpUntil([&] { return result.load() != 0; }, 60000));
    t.join();
    EXPECT_EQ(result.load(), 42);
    EXPECT_EQ(r.m_count, 2);
    EXPECT_EQ(r.m_thread, QThread::currentThread());

    std::thread abandoned([&] { SendMessage(&r, WM_FRAME_STATUS, 1, 0, &running); });
    running = 0;
    abandoned.join(); // returns although nobody pumped this thread's events
    EXPECT_EQ(r.m_count, 2);
    QCoreApplication::processEvents();
    EXPECT_EQ(r.m_count, 3);

    char data[4] = {9, 2, 3, 4};
    PostMessageWithPayload(&r, WM_HOST_COMMAND, 0x200A, data, sizeof(data));
    data[0] = 7;
    QCoreApplication::processEvents();
    EXPECT_EQ(r.m_payload0, 9);
}

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
    enum EPlanted
    {
        NOTHING,
        OURS_OPEN,
        LINK,
        FOREIGN
    };
    for (const EPlanted planted : {NOTHING, OURS_OPEN, LINK, FOREIGN}) {
        if (planted == FOREIGN && !root)
            continue; // only root can leave a folder of another user here
        SCOPED_TRACE(static_cast<int>(planted));
        const QString shared = qpxtest::MakeTempDir(QStringLiteral("tmp"));
        qputenv("TMPDIR", shared.toLocal8Bit());
        qputenv("XDG_CACHE_HOME", qpxtest::MakeTempDir(QStringLiteral("cache")).toLocal8Bit());
        const QString name = QStringLiteral("QPX_TEST_PRIVATE_%1_%2").arg(::getpid()).arg(planted);
        const QString own = shared + QStringLiteral("/qpx-%1").arg(::getuid());
        const QString open = qpxtest::MakeTempDir(QStringLiteral("open"));
        ::chmod(QFile::encodeName(open).constData(), 0777);
        if (planted == OURS_OPEN) {
            ASSERT_EQ(::mkdir(QFile::encodeName(own).constData(), 0777), 0);
            ::chmod(QFile::encodeName(own).constData(), 0777);
        }
        if (planted == LINK) {
            ASSERT_TRUE(QFile::link(open, own));
        }
        if (planted == FOREIGN) {
            ASSERT_EQ(::mkdir(QFile::encodeName(own).constData(), 0777), 0);
            ASSERT_EQ(::chown(QFile::encodeName(own).constData(), 65534, 65534), 0);
        }
        // A lock file another user made where the lock used to live.
        const QString oldPlace = QStringLiteral("/tmp/%1-%2.lock").arg(name).arg(::getuid());
        if (root) {
            ASSERT_TRUE(qpxtest::WriteFile(oldPlace, "x"));
            ASSERT_EQ(::chown(QFile::encodeName(oldPlace).constData(), 65534, 65534), 0);
            ::chmod(QFile::encodeName(oldPlace).constData(), 0644);
        }

        CSingleInstanceLock lock(name);
        EXPECT_TRUE(lock.Acquire());
        const QString folder = QFileInfo(CSingleInstanceLock::LockPath(name)).path();
        struct stat st = {};
        ASSERT_EQ(::lstat(QFile::encodeName(folder).constData(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_uid, ::geteuid());
        EXPECT_EQ(st.st_mode & 0777, 0700u);
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
              QStringLiteral("Debian GNU/Linux 12 (bookworm)"));
    EXPECT_EQ(COsVersion::ParseOsReleaseName("NAME=Alpine\n"), QStringLiteral("Alpine"));
    EXPECT_EQ(COsVersion::ParseOsReleaseName(""), QStringLiteral("Linux"));
    SOsVersionInfo info;
    COsVersion::ParseKernelRelease(QStringLiteral("6.1.0-18-amd64"), info);
    EXPECT_EQ(info.nMajor, 6);
    EXPECT_EQ(info.nMinor, 1);
    EXPECT_EQ(info.nBuild, 0);
    EXPECT_EQ(info.strServicePack, QStringLiteral("6.1.0-18-amd64"));
    EXPECT_FALSE(GetComputerNameText().isEmpty());
    EXPECT_FALSE(GetUserNameText().isEmpty());
}

} // namespace
