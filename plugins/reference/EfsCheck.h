#pragma once
// File-system steps of the plug-in's operations, judged the same way everywhere.
//
// ConnectFileSystem: the port opened, the link proven, the file system greeted (HELLO, which also
// takes the handset's transfer limit); GreetFileSystem again after a mode change.
//
// EfsOk: one step judged: the link's outcome first, then the file system's errno.
//
// err is taken by reference on purpose: in EfsOk(job, link, efs.WriteFile(..., err), err, ...) the
// order in which arguments are evaluated is unspecified, so a copy could be the value from
// before the call.
#include "Efs2Client.h"
#include "PluginJob.h"

#include <functional>

inline bool EfsOk(CPluginJob& job, CDiagLink& link, CDiagLink::EOutcome r, const qint32& err,
                  const QString& what)
{
    if (!job.Check(r, link, what))
        return false;
    if (err == EFS_ENOENT)
        return job.Fail(QStringLiteral("The handset has no such file or folder (%1).").arg(what));
    if (err != 0)
        return job.Fail(
            QStringLiteral("The handset's file system reported error %1 (%2).").arg(err).arg(what));
    return true;
}

bool ConnectFileSystem(CPluginJob& job, CDiagLink& link, CEfs2Client& efs);
bool GreetFileSystem(CPluginJob& job, CDiagLink& link, CEfs2Client& efs);

// A whole file written to the handset (its folder made first), read back and compared. False
// (and the job's failure) on an error, or with the words of differs when the copies differ.
bool WriteFileVerified(CPluginJob& job, CEfs2Client& efs, const QByteArray& path, const QByteArray& data,
                       const QString& what, const QString& differs,
                       const std::function<void(qint64)>& writing = {},
                       const std::function<void(qint64)>& checking = {});

// The same for several files through one window (CEfs2Client::RunFiles): every folder made
// first, then each file written, closed and read back while the next ones are written (the
// read-back a few files behind). progress gets the bytes written and read back so far;
// verified(k) runs once file k matched.
struct SVerifiedWrite
{
    QByteArray path;
    QByteArray data;
    QString what;
    QString differs;
};
bool WriteFilesVerified(CPluginJob& job, CEfs2Client& efs, const QList<SVerifiedWrite>& files,
                        const std::function<void(qint64)>& progress = {},
                        const std::function<void(int)>& verified = {});
