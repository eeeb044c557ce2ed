#include "SerialDevice.h"

#include "DeviceHolders.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Name of the device's group when the calling user is not a member of it; empty otherwise.
QString MissingGroupOf(const QByteArray& path)
{
    struct stat st = {};
    if (::stat(path.constData(), &st) != 0)
        return {};
    if (::getegid() == st.st_gid)
        return {};
    gid_t groups[256];
    const int n = ::getgroups(256, groups);
    for (int i = 0; i < n; ++i) {
        if (groups[i] == st.st_gid)
            return {};
    }
    const struct group* gr = ::getgrgid(st.st_gid);
    return gr ? QString::fromLocal8Bit(gr->gr_name) : QString::number(st.st_gid);
}

int RemainingMs(std::chrono::steady_clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

} // namespace

CSerialDevice::CSerialDevice() : m_saved(std::make_unique<struct termios>()) {}

CSerialDevice::~CSerialDevice()
{
    Close();
}

void CSerialDevice::Fail(EError error, const QString& path, int err)
{
    m_nError = error;
    m_strDetail.clear();
    QString why;
    switch (error) {
    case SERIAL_NO_SUCH_PORT:
        why = QStringLiteral("no such port");
        break;
    case SERIAL_BUSY:
        m_strDetail = DeviceHoldersText(path);
        why = QStringLiteral("port busy (held by %1)")
                  .arg(m_strDetail.isEmpty() ? QStringLiteral("another program") : m_strDetail);
        break;
    case SERIAL_PERMISSION_DENIED:
        m_strDetail = MissingGroupOf(QFile::encodeName(path));
        why = m_strDetail.isEmpty()
                  ? QStringLiteral("permission denied")
                  : QStringLiteral("permission denied (the user is not in the group %1)").arg(m_strDetail);
        break;
    case SERIAL_NOT_A_TTY:
        why = QStringLiteral("not a serial port");
        break;
    default:
        why = QString::fromLocal8Bit(::strerror(err));
        break;
    }
    m_strError = path + QStringLiteral(": ") + why;
}

bool CSerialDevice::Open(const QString& path)
{
    Close();
    m_nError = SERIAL_OK;
    m_strError.clear();
    m_strDetail.clear();
    if (path.isEmpty()) {
        Fail(SERIAL_NO_SUCH_PORT, QStringLiteral("(none)"), ENOENT);
        return false;
    }
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        switch (err) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR:
            Fail(SERIAL_NO_SUCH_PORT, path, err);
            break;
        case EBUSY:
            Fail(SERIAL_BUSY, path, err);
            break;
        case EACCES:
        case EPERM:
            Fail(SERIAL_PERMISSION_DENIED, path, err);
            break;
        default:
            Fail(SERIAL_FAILED, path, err);
            break;
        }
        return false;
    }
    struct termios tio = {};
    if (::tcgetattr(fd, &tio) != 0) {
        const int err = errno;
        ::close(fd);
        Fail(err == ENOTTY || err == EINVAL ? SERIAL_NOT_A_TTY : SERIAL_FAILED, path, err);
        return false;
    }
    // The advisory lock catches programs that ignore TIOCEXCL (and root, which TIOCEXCL lets through).
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        Fail(err == EWOULDBLOCK ? SERIAL_BUSY : SERIAL_FAILED, path, err);
        return false;
    }
    const int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        const int err = errno;
        ::close(fd); // also drops the lock
        Fail(SERIAL_FAILED, path, err);
        return false;
    }
    ::ioctl(fd, TIOCEXCL);
    m_fd = fd;
    m_wakeFd = wakeFd;
    m_bLocked = true;
    *m_saved = tio;

    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B38400);
    ::cfsetospeed(&tio, B38400);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        const int err = errno;
        Close();
        Fail(SERIAL_FAILED, path, err);
        return false;
    }
    // Best effort: a pseudo-terminal has no modem lines and refuses.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIS, &lines);
    Purge();
    return true;
}

void CSerialDevice::Close()
{
    if (m_fd >= 0) {
        ::tcsetattr(m_fd, TCSANOW, m_saved.get()); // fails harmlessly on a device that is gone
        ::ioctl(m_fd, TIOCNXCL);
        if (m_bLocked)
            ::flock(m_fd, LOCK_UN);
        ::close(m_fd);
    }
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
    m_fd = -1;
    m_wakeFd = -1;
    m_bLocked = false;
}

void CSerialDevice::Purge()
{
    if (m_fd >= 0)
        ::tcflush(m_fd, TCIOFLUSH);
}

CSerialDevice::EWait CSerialDevice::WaitReadable(int timeoutMs)
{
    if (m_fd < 0)
        return WAIT_HANG_UP;
    struct pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    int r;
    do {
        r = ::poll(fds, 2, timeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r < 0)
        return WAIT_HANG_UP;
    if (r == 0)
        return WAIT_TIMEOUT;
    if (fds[1].revents & POLLIN)
        return WAIT_WOKEN;
    // A hang-up may come with POLLIN (end of input); the caller drains what is left either way.
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
        return WAIT_HANG_UP;
    if (fds[0].revents & POLLIN)
        return WAIT_READABLE;
    return WAIT_TIMEOUT;
}

int CSerialDevice::Read(quint8* buffer, int capacity)
{
    if (m_fd < 0)
        return -1;
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, static_cast<size_t>(capacity));
        if (n >= 0)
            return static_cast<int>(n);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        return -1; // EIO and friends: the device is gone
    }
}

bool CSerialDevice::Write(const quint8* data, size_t n, int timeoutMs)
{
    if (m_fd < 0)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(m_fd, data + done, n - done);
        if (w > 0) {
            done += static_cast<size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        const int left = RemainingMs(deadline);
        if (left == 0)
            return false;
        struct pollfd fds[2] = {{m_fd, POLLOUT, 0}, {m_wakeFd, POLLIN, 0}};
        const int r = ::poll(fds, 2, left);
        if (r < 0 && errno != EINTR)
            return false;
        if (fds[1].revents & POLLIN)
            return false;
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
            return false;
    }
    return true;
}

void CSerialDevice::Wake()
{
    if (m_wakeFd >= 0) {
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t r = ::write(m_wakeFd, &one, sizeof one);
    }
}
