#pragma once
// Arrival and removal of serial ports, delivered as "COM<n>" names on the thread that created the
// notifier (its descriptors are watched with QSocketNotifier, so that thread needs an event loop).
//
// Sources:
//   libudev monitor, "udev" source   tty subsystem, where a udev daemon runs (its events come after
//                                    the daemon has set the node's group and mode)
//   libudev monitor, "kernel" source tty subsystem; its events are dropped while a udev daemon
//                                    runs (/run/udev/control), because the "udev" event follows
//   inotify on the virtual-port folder: COM<n> links created, moved in, deleted or moved out
//
// Real ttys are named through the namer given by the owner (the numbering rule lives with port
// discovery); the notifier remembers the name it gave each tty so that the removal reports the same
// name after the device has left sysfs. Each source only reports changes against what it has seen
// (a port already present does not arrive twice).
#include <QHash>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;
struct udev;

class CDeviceNotifier
{
public:
    using Callback = std::function<void(bool arrival, const QString& portName)>;
    // "COM<n>" for a tty kernel name present now, "" when the tty is no serial port.
    using TtyNamer = std::function<QString(const QString& kernelName)>;

    CDeviceNotifier(Callback callback, TtyNamer namer);
    ~CDeviceNotifier();
    CDeviceNotifier(const CDeviceNotifier&) = delete;
    CDeviceNotifier& operator=(const CDeviceNotifier&) = delete;

    // Starts every source that can be started; true when at least one runs.
    bool Start();
    void Stop();
    bool IsWatchingDevices() const { return !m_monitors.empty(); }
    bool IsWatchingVirtualFolder() const { return m_inotifyFd >= 0; }

    // What a udev "add" (arrival) or "remove" event for a tty leads to. Public so that tests can
    // drive it without a kernel device appearing.
    void HandleTtyEvent(bool arrival, const QString& kernelName);

private:
    struct SMonitor;
    void StartUdev();
    void StartInotify();
    void OnUdevReadable(SMonitor* monitor);
    bool WatchFolder();
    void OnInotifyReadable();
    // Reports the difference between the virtual ports known and those present now.
    void Resync();
    void OnVirtualEntry(const QString& fileName);

    Callback m_callback;
    TtyNamer m_namer;
    udev* m_udev = nullptr;
    std::vector<std::unique_ptr<SMonitor>> m_monitors;
    int m_inotifyFd = -1;
    int m_watch = -1;
    std::unique_ptr<QSocketNotifier> m_inotifyNotifier;
    QHash<QString, QString> m_ttyNames; // kernel name -> "COM<n>" given at arrival
    QSet<int> m_virtualPresent;
};
