#include "SingleInstance.h"

#include "PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

CSingleInstanceLock::CSingleInstanceLock(const QString& name) : m_strPath(LockPath(name)) {}

CSingleInstanceLock::~CSingleInstanceLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString CSingleInstanceLock::LockPath(const QString& name)
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime + QLatin1Char('/') + name + QStringLiteral(".lock");
    return FallbackFolder() + QLatin1Char('/') + name + QStringLiteral(".lock");
}

QString CSingleInstanceLock::FallbackFolder()
{
    const QString shared = QDir::tempPath() + QStringLiteral("/qpx-%1").arg(::getuid());
    if (EnsurePrivateFolder(shared))
        return shared;
    // Someone else holds the name in the shared folder: the user's own cache folder instead.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    QDir().mkpath(cache);
    const QString own = cache + QStringLiteral("/kova-qpx");
    EnsurePrivateFolder(own);
    return own;
}

bool CSingleInstanceLock::IsHeldElsewhere() const
{
    if (m_fd >= 0)
        return false;
    const int fd = ::open(QFile::encodeName(m_strPath).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false; // no lock file: nobody holds it
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd); // closing drops the shared probe lock
    return held;
}

bool CSingleInstanceLock::Acquire()
{
    if (m_fd >= 0)
        return true;
    const int fd =
        ::open(QFile::encodeName(m_strPath).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}
