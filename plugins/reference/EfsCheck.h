#pragma once
// One file-system step judged: the link's outcome first, then the file system's errno.
//
// err is taken by reference on purpose: in EfsOk(job, link, efs.Write(..., err), err, ...) the
// order in which arguments are evaluated is unspecified, so a copy could be the value from
// before the call.
#include "Efs2Client.h"
#include "PluginJob.h"

inline bool EfsOk(CPluginJob& job, CDiagLink& link, CDiagLink::EOutcome r, const qint32& err,
                  const QString& what)
{
    if (!job.Check(r, link, what))
        return false;
    if (err == CEfs2Client::ENOENT_)
        return job.Fail(QStringLiteral("The handset has no such file or folder (%1).").arg(what));
    if (err != 0)
        return job.Fail(
            QStringLiteral("The handset's file system reported error %1 (%2).").arg(err).arg(what));
    return true;
}
