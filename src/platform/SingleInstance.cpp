#include "SingleInstance.h"

#include <QDir>
#include <QFile>

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
    return QStringLiteral("/tmp/%1-%2.lock").arg(name).arg(::getuid());
}

bool CSingleInstanceLock::IsHeldElsewhere() const
{
    if (m_fd >= 0)
        return false;
    const int fd = ::open(QFile::encodeName(m_strPath).constData(), O_RDONLY | O_CLOEXEC);
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
    const int fd = ::open(QFile::encodeName(m_strPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}
