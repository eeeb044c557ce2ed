#include "VirtualPorts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

bool PublishVirtualPort(int n, const QString& target, const QString& friendlyName)
{
    if (n < 1 || n > MAX_PORT || target.isEmpty() || !EnsureVirtualPortFolder())
        return false;
    SVirtualPort existing;
    if (ReadVirtualPort(n, existing))
        return false;
    const QString link = EntryPath(n);
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
    const QByteArray targetPath = QFile::encodeName(target);
    if (::symlink(targetPath.constData(), linkPath.constData()) == 0)
        return true;
    if (errno != EEXIST)
        return false;
    // Something is there: replace it only while it is a stale link (symlink() itself is atomic, so
    // two publishers never both win a live number).
    if (ReadVirtualPort(n, existing) || !QFileInfo(link).isSymLink())
        return false;
    ::unlink(linkPath.constData());
    return ::symlink(targetPath.constData(), linkPath.constData()) == 0;
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
