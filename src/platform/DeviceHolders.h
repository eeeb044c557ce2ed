#pragma once
// Which processes hold a device open, as /proc shows it: every /proc/<pid>/fd entry that refers to
// the same device (a character device by its device number, anything else by its inode). Only
// processes whose entries the caller may read are seen: all of the user's own, others' only with
// privileges. Nothing is opened.
//
// The proc root is "/proc" unless QPX_PROC_ROOT names another folder; tests point
// it at a fake tree (<root>/<pid>/comm, <root>/<pid>/fd/<n> links) to show chosen processes.
#include <QList>
#include <QString>

struct SDeviceHolder
{
    qint64 nPid = 0;
    QString strName; // /proc/<pid>/comm
};

// QPX_PROC_ROOT, else "/proc".
QString ProcRoot();

// The holders of devicePath in process-number order; empty when none is seen or the path is absent.
QList<SDeviceHolder> FindDeviceHolders(const QString& devicePath);

// "name (process 123)", several joined by ", "; empty when none is seen.
QString DeviceHoldersText(const QString& devicePath);

// Every process whose name (/proc/<pid>/comm) is exactly name, in process-number order.
QList<SDeviceHolder> FindProcessesNamed(const QString& name);
