#include "VirtualPorts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {
QMutex g_folderLock;
QString g_strFolder;

constexpr int MAX_PORT = 256;

QString EntryPath(int n)
{
    return VirtualPortFolder() + QStringLiteral("/COM") + QString::number(n);
}

// Lock files live beside the folder, not in it: an open file pins its folder, and a removed
// port folder must really go so that watchers see it go and follow the new one.
QString LockPath(const QString& link)
{
    const QFileInfo info(link);
    return QDir::cleanPath(info.path()) + QStringLiteral(".owners/") + info.fileName() +
           QStringLiteral(".lock");
}

// Locks of the numbers this process has published, by link path. Open-file-description locks:
// the kernel drops them with the process however it ends, and they conflict with a second open
// of the same file in this process too.
QMutex g_ownedLock;
QHash<QString, int> g_owned;

flock WriteLock()
{
    flock fl = {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    return fl;
}

// True when the link's lock file exists and no process holds its lock.
bool OwnerGone(const QString& link)
{
    const int fd = ::open(QFile::encodeName(LockPath(link)).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false; // no lock file: a link made by hand
    flock fl = WriteLock();
    const bool gone = ::fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type == F_UNLCK;
    ::close(fd);
    return gone;
}

enum EOwnership
{
    OWNER_ELSEWHERE, // a live process holds the number
    OWNER_ALREADY,   // this process published it before
    OWNER_NEW,       // taken now; nobody had published it
    OWNER_TAKEN_OVER // taken now from a publisher that ended without taking its port down
};

EOwnership TakeOwnership(const QString& link)
{
    QMutexLocker lock(&g_ownedLock);
    if (g_owned.contains(link))
        return OWNER_ALREADY;
    const QString lockPath = LockPath(link);
    const QString owners = QFileInfo(lockPath).path();
    if (!QFileInfo(owners).isDir()) {
        QDir().mkpath(owners);
        QFile::setPermissions(owners,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    const bool lockFileWasThere = QFileInfo::exists(lockPath);
    const int fd =
        ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return OWNER_ELSEWHERE;
    flock fl = WriteLock();
    if (::fcntl(fd, F_OFD_SETLK, &fl) != 0) {
        ::close(fd);
        return OWNER_ELSEWHERE;
    }
    g_owned.insert(link, fd);
    return lockFileWasThere ? OWNER_TAKEN_OVER : OWNER_NEW;
}

void DropOwnership(const QString& link, bool removeFile)
{
    QMutexLocker lock(&g_ownedLock);
    const int fd = g_owned.value(link, -1);
    g_owned.remove(link);
    if (removeFile)
        QFile::remove(LockPath(link));
    if (fd >= 0)
        ::close(fd);
}

QString ReadName(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readLine(512)).trimmed();
}
} // namespace

void SetVirtualPortFolder(const QString& folder)
{
    QMutexLocker lock(&g_folderLock);
    g_strFolder = folder;
}

QString VirtualPortFolder()
{
    {
        QMutexLocker lock(&g_folderLock);
        if (!g_strFolder.isEmpty())
            return g_strFolder;
    }
    // Every process must come to the same folder whatever ran first: a runtime folder that is
    // named but missing is made (owner only, as Qt would make it), not skipped for the fallback.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && !QFileInfo(runtime).isDir() && QDir().mkpath(runtime))
        QFile::setPermissions(runtime,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/qpx/ports");
    return QStringLiteral("/tmp/qpx-ports-%1").arg(::getuid());
}

bool EnsureVirtualPortFolder()
{
    const QString folder = VirtualPortFolder();
    if (QFileInfo(folder).isDir())
        return true;
    if (!QDir().mkpath(folder))
        return false;
    // Only the owner may publish or see ports here (a shared /tmp fallback included).
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return true;
}

int VirtualPortNumberOfEntry(const QString& fileName)
{
    if (!fileName.startsWith(QLatin1String("COM")) || fileName.size() < 4 || fileName.size() > 6)
        return -1;
    if (fileName.at(3) == QLatin1Char('0'))
        return -1;
    int n = 0;
    for (int i = 3; i < fileName.size(); ++i) {
        if (!fileName.at(i).isDigit())
            return -1;
        n = n * 10 + fileName.at(i).digitValue();
    }
    return (n >= 1 && n <= MAX_PORT) ? n : -1;
}

bool ReadVirtualPort(int n, SVirtualPort& port)
{
    if (n < 1 || n > MAX_PORT)
        return false;
    const QString link = EntryPath(n);
    const QFileInfo info(link);
    if (!info.isSymLink())
        return false;
    const QString target = info.canonicalFilePath();
    if (target.isEmpty())
        return false; // stale: the target is gone
    if (OwnerGone(link))
        return false; // stale: its publisher ended without taking it down
    port.nNumber = n;
    port.strLink = link;
    port.strTarget = target;
    port.strName = ReadName(link + QStringLiteral(".name"));
    return true;
}

QList<SVirtualPort> ListVirtualPorts()
{
    QList<SVirtualPort> ports;
    const QStringList entries =
        QDir(VirtualPortFolder())
            .entryList(QStringList{QStringLiteral("COM*")}, QDir::AllEntries | QDir::System);
    for (const QString& entry : entries) {
        SVirtualPort port;
        if (ReadVirtualPort(VirtualPortNumberOfEntry(entry), port))
            ports.append(port);
    }
    std::sort(ports.begin(), ports.end(),
              [](const SVirtualPort& a, const SVirtualPort& b) { return a.nNumber < b.nNumber; });
    return ports;
}

QString VirtualPortLockPath(int n)
{
    return LockPath(EntryPath(n));
}

int LowestFreeVirtualPort(int from)
{
    for (int n = qMax(1, from); n <= MAX_PORT; ++n) {
        // Free: nothing there, or a stale link (publishing replaces it). Any other file blocks n.
        const QFileInfo info(EntryPath(n));
        SVirtualPort port;
        if ((!info.exists() && !info.isSymLink()) || (info.isSymLink() && !ReadVirtualPort(n, port)))
            return n;
    }
    return -1;
}

namespace {
// The number's lock is held. A link there now is stale when its target is gone or when it was
// taken over from a publisher that ended; any other live link (this process's own, one made by
// hand) stays.
bool PublishOwnedLink(const QString& link, const QString& target, const QString& friendlyName, bool takenOver)
{
    const QFileInfo info(link);
    if (info.exists() || info.isSymLink()) {
        if (!info.isSymLink() || (!info.canonicalFilePath().isEmpty() && !takenOver))
            return false;
    }
    // The name goes first so that a watcher that sees the link can already read it.
    const QString namePath = link + QStringLiteral(".name");
    if (friendlyName.isEmpty()) {
        QFile::remove(namePath);
    } else {
        QSaveFile f(namePath);
        if (!f.open(QIODevice::WriteOnly))
            return false;
        f.write(friendlyName.toUtf8() + '\n');
        if (!f.commit())
            return false;
    }
    const QByteArray linkPath = QFile::encodeName(link);
    ::unlink(linkPath.constData());
    return ::symlink(QFile::encodeName(target).constData(), linkPath.constData()) == 0;
}
} // namespace

bool PublishVirtualPort(int n, const QString& target, const QString& friendlyName)
{
    if (n < 1 || n > MAX_PORT || target.isEmpty() || !EnsureVirtualPortFolder())
        return false;
    const QString link = EntryPath(n);
    // The lock decides between two publishers and tells later readers whether the owner lives.
    const EOwnership owner = TakeOwnership(link);
    if (owner == OWNER_ELSEWHERE)
        return false;
    if (PublishOwnedLink(link, target, friendlyName, owner == OWNER_TAKEN_OVER))
        return true;
    if (owner != OWNER_ALREADY)
        DropOwnership(link, owner == OWNER_NEW);
    return false;
}

bool UnpublishVirtualPort(int n, const QString& target)
{
    if (n < 1 || n > MAX_PORT)
        return false;
    const QString link = EntryPath(n);
    const QFileInfo info(link);
    if (!info.isSymLink() || info.symLinkTarget() != QFileInfo(target).absoluteFilePath())
        return false; // someone else owns the number now
    const bool removed = ::unlink(QFile::encodeName(link).constData()) == 0;
    QFile::remove(link + QStringLiteral(".name"));
    DropOwnership(link, true);
    return removed;
}

// ---------------------------------------------------------------------------------------------
CPtyMaster::~CPtyMaster()
{
    Close();
}

bool CPtyMaster::Open()
{
    Close();
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char name[128] = {};
    if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0 || ::ptsname_r(fd, name, sizeof name) != 0) {
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (slave < 0) {
        ::close(fd);
        return false;
    }
    // Raw on both sides: no echo, no line editing, no CR/LF translation of binary frames.
    for (int side : {slave, fd}) {
        termios tio{};
        if (::tcgetattr(side, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::cfsetspeed(&tio, B38400);
            ::tcsetattr(side, TCSANOW, &tio);
        }
    }
    m_fd = fd;
    m_slaveFd = slave;
    m_strSlave = QString::fromLocal8Bit(name);
    return true;
}

void CPtyMaster::Close()
{
    if (m_slaveFd >= 0)
        ::close(m_slaveFd);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = m_slaveFd = -1;
}

qint64 CPtyMaster::Read(char* buffer, qint64 capacity)
{
    if (m_fd < 0)
        return -1;
    const ssize_t n = ::read(m_fd, buffer, static_cast<size_t>(capacity));
    if (n > 0)
        return n;
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return 0;
    return -1;
}

qint64 CPtyMaster::Write(const char* data, qint64 size)
{
    if (m_fd < 0)
        return -1;
    const ssize_t n = ::write(m_fd, data, static_cast<size_t>(size));
    if (n >= 0)
        return n;
    return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
}
