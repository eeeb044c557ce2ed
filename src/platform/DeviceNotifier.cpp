#include "DeviceNotifier.h"

#include "SysfsPorts.h"
#include "VirtualPorts.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <algorithm>
#include <libudev.h>
#include <sys/inotify.h>
#include <unistd.h>

struct CDeviceNotifier::SMonitor
{
    udev_monitor* pMonitor = nullptr;
    bool bKernel = false;
    std::unique_ptr<QSocketNotifier> notifier;
    ~SMonitor()
    {
        notifier.reset();
        if (pMonitor)
            udev_monitor_unref(pMonitor);
    }
};

CDeviceNotifier::CDeviceNotifier(Callback callback, TtyNamer namer)
    : m_callback(std::move(callback)), m_namer(std::move(namer))
{
}

CDeviceNotifier::~CDeviceNotifier()
{
    Stop();
}

bool CDeviceNotifier::Start()
{
    Stop();
    StartUdev();
    StartInotify();
    return IsWatchingDevices() || IsWatchingVirtualFolder();
}

void CDeviceNotifier::Stop()
{
    m_monitors.clear();
    if (m_udev) {
        udev_unref(m_udev);
        m_udev = nullptr;
    }
    m_inotifyNotifier.reset();
    if (m_inotifyFd >= 0)
        ::close(m_inotifyFd);
    m_inotifyFd = m_watch = -1;
    m_ttyNames.clear();
    m_virtualPresent.clear();
}

// ---------------------------------------------------------------------------------------------
void CDeviceNotifier::StartUdev()
{
    m_udev = udev_new();
    if (!m_udev)
        return;
    for (const char* source : {"udev", "kernel"}) {
        auto monitor = std::make_unique<SMonitor>();
        monitor->bKernel = qstrcmp(source, "kernel") == 0;
        monitor->pMonitor = udev_monitor_new_from_netlink(m_udev, source);
        if (!monitor->pMonitor ||
            udev_monitor_filter_add_match_subsystem_devtype(monitor->pMonitor, "tty", nullptr) < 0 ||
            udev_monitor_enable_receiving(monitor->pMonitor) < 0)
            continue;
        const int fd = udev_monitor_get_fd(monitor->pMonitor);
        if (fd < 0)
            continue;
        monitor->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        SMonitor* raw = monitor.get();
        QObject::connect(monitor->notifier.get(), &QSocketNotifier::activated, monitor->notifier.get(),
                         [this, raw]() { OnUdevReadable(raw); });
        m_monitors.push_back(std::move(monitor));
    }
    // Names of the ports present now, so that their removal can be reported (their arrival is not:
    // they were there before we started).
    QList<SSysfsTty> ttys;
    if (!m_monitors.empty() && m_namer && EnumerateSysfsTtys(ttys)) {
        for (const SSysfsTty& tty : ttys) {
            const QString name = m_namer(tty.strName);
            if (!name.isEmpty())
                m_ttyNames.insert(tty.strName, name);
        }
    }
}

void CDeviceNotifier::OnUdevReadable(SMonitor* monitor)
{
    // Drain everything queued; each receive returns one device or null when nothing is left.
    for (int i = 0; i < 64; ++i) {
        udev_device* dev = udev_monitor_receive_device(monitor->pMonitor);
        if (!dev)
            return;
        const char* action = udev_device_get_action(dev);
        const char* sysname = udev_device_get_sysname(dev);
        // With a daemon running, the "udev" copy of the event comes once the node is usable.
        const bool skip = monitor->bKernel && QFileInfo::exists(QStringLiteral("/run/udev/control"));
        if (action && sysname && !skip) {
            if (qstrcmp(action, "add") == 0)
                HandleTtyEvent(true, QString::fromUtf8(sysname));
            else if (qstrcmp(action, "remove") == 0)
                HandleTtyEvent(false, QString::fromUtf8(sysname));
        }
        udev_device_unref(dev);
    }
}

void CDeviceNotifier::HandleTtyEvent(bool arrival, const QString& kernelName)
{
    if (arrival) {
        if (m_ttyNames.contains(kernelName) || !m_namer)
            return;
        const QString name = m_namer(kernelName);
        if (name.isEmpty())
            return;
        m_ttyNames.insert(kernelName, name);
        if (m_callback)
            m_callback(true, name);
    } else {
        const QString name = m_ttyNames.take(kernelName);
        if (!name.isEmpty() && m_callback)
            m_callback(false, name);
    }
}

// ---------------------------------------------------------------------------------------------
void CDeviceNotifier::StartInotify()
{
    m_inotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotifyFd < 0)
        return;
    if (!WatchFolder()) {
        ::close(m_inotifyFd);
        m_inotifyFd = -1;
        return;
    }
    for (const SVirtualPort& port : ListVirtualPorts())
        m_virtualPresent.insert(port.nNumber);
    m_inotifyNotifier = std::make_unique<QSocketNotifier>(m_inotifyFd, QSocketNotifier::Read);
    QObject::connect(m_inotifyNotifier.get(), &QSocketNotifier::activated, m_inotifyNotifier.get(),
                     [this]() { OnInotifyReadable(); });
}

bool CDeviceNotifier::WatchFolder()
{
    if (!EnsureVirtualPortFolder())
        return false;
    m_watch = ::inotify_add_watch(m_inotifyFd, QFile::encodeName(VirtualPortFolder()).constData(),
                                  IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE_SELF);
    return m_watch >= 0;
}

void CDeviceNotifier::OnInotifyReadable()
{
    alignas(inotify_event) char buffer[8192];
    bool resync = false;
    for (;;) {
        const ssize_t n = ::read(m_inotifyFd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
            if (ev->mask & IN_IGNORED) {
                // The folder itself was removed (or moved): make it again and watch the new one;
                // the comparison below reports the ports that went with the old one.
                m_watch = -1;
                WatchFolder();
                resync = true;
            } else if (ev->mask & IN_Q_OVERFLOW) {
                resync = true; // events were lost
            } else if (ev->len > 0) {
                OnVirtualEntry(QFile::decodeName(ev->name));
            }
        }
    }
    if (resync)
        Resync();
}

void CDeviceNotifier::Resync()
{
    QSet<int> live;
    for (const SVirtualPort& port : ListVirtualPorts())
        live.insert(port.nNumber);
    const QSet<int> gone = m_virtualPresent - live;
    const QSet<int> come = live - m_virtualPresent;
    m_virtualPresent = live;
    QList<int> goneSorted(gone.begin(), gone.end());
    QList<int> comeSorted(come.begin(), come.end());
    std::sort(goneSorted.begin(), goneSorted.end());
    std::sort(comeSorted.begin(), comeSorted.end());
    for (int number : goneSorted)
        if (m_callback)
            m_callback(false, QStringLiteral("COM%1").arg(number));
    for (int number : comeSorted)
        if (m_callback)
            m_callback(true, QStringLiteral("COM%1").arg(number));
}

void CDeviceNotifier::OnVirtualEntry(const QString& fileName)
{
    const int number = VirtualPortNumberOfEntry(fileName);
    if (number < 0)
        return; // name files and strangers
    // Judge by what is there now rather than by the event: a create of a stale link is no
    // arrival, and a delete that raced with a re-publish is no removal.
    SVirtualPort port;
    const bool live = ReadVirtualPort(number, port);
    if (live && !m_virtualPresent.contains(number)) {
        m_virtualPresent.insert(number);
        if (m_callback)
            m_callback(true, port.strLink.section(QLatin1Char('/'), -1));
    } else if (!live && m_virtualPresent.contains(number)) {
        m_virtualPresent.remove(number);
        if (m_callback)
            m_callback(false, fileName);
    }
}
