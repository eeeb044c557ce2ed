#include "DeviceHolders.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <sys/stat.h>

namespace {

bool SameDevice(const struct stat& a, const struct stat& b)
{
    if (S_ISCHR(a.st_mode) || S_ISCHR(b.st_mode))
        return S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode) && a.st_rdev == b.st_rdev;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

QString ProcessName(const QString& pidFolder)
{
    QFile comm(pidFolder + QStringLiteral("/comm"));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}

// Calls visit(pid, folder) for every process folder of the proc root.
template <typename Visit> void ForEachProcess(Visit visit)
{
    const QDir proc(ProcRoot());
    for (const QString& entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (isPid)
            visit(pid, proc.filePath(entry));
    }
}

void SortByPid(QList<SDeviceHolder>& list)
{
    std::sort(list.begin(), list.end(),
              [](const SDeviceHolder& a, const SDeviceHolder& b) { return a.nPid < b.nPid; });
}

} // namespace

QString ProcRoot()
{
    const QString env = qEnvironmentVariable("QPX_PROC_ROOT");
    return env.isEmpty() ? QStringLiteral("/proc") : env;
}

QList<SDeviceHolder> FindProcessesNamed(const QString& name)
{
    QList<SDeviceHolder> found;
    ForEachProcess([&](qint64 pid, const QString& folder) {
        if (ProcessName(folder) == name)
            found.append({pid, name});
    });
    SortByPid(found);
    return found;
}

QList<SDeviceHolder> FindDeviceHolders(const QString& devicePath)
{
    QList<SDeviceHolder> holders;
    struct stat device = {};
    if (devicePath.isEmpty() || ::stat(QFile::encodeName(devicePath).constData(), &device) != 0)
        return holders;
    ForEachProcess([&](qint64 pid, const QString& pidFolder) {
        const QDir fds(pidFolder + QStringLiteral("/fd"));
        // Unreadable for another user's process: it is simply not seen.
        for (const QString& fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
            struct stat target = {};
            // stat follows the descriptor's link to the open file itself.
            if (::stat(QFile::encodeName(fds.filePath(fd)).constData(), &target) != 0 ||
                !SameDevice(device, target))
                continue;
            holders.append({pid, ProcessName(pidFolder)});
            break;
        }
    });
    SortByPid(holders);
    return holders;
}

QString DeviceHoldersText(const QString& devicePath)
{
    QStringList parts;
    for (const SDeviceHolder& h : FindDeviceHolders(devicePath))
        parts << QStringLiteral("%1 (process %2)")
                     .arg(h.strName.isEmpty() ? QStringLiteral("unnamed") : h.strName)
                     .arg(h.nPid);
    return parts.join(QStringLiteral(", "));
}
