#include "EfsCheck.h"

bool ConnectFileSystem(CPluginJob& job, CDiagLink& link, CEfs2Client& efs)
{
    return job.Connect(link) && GreetFileSystem(job, link, efs);
}

bool GreetFileSystem(CPluginJob& job, CDiagLink& link, CEfs2Client& efs)
{
    return job.Check(efs.Hello(), link, QStringLiteral("file system"));
}

bool WriteFileVerified(CPluginJob& job, CEfs2Client& efs, const QByteArray& path, const QByteArray& data,
                       const QString& what, const QString& differs,
                       const std::function<void(qint64)>& writing,
                       const std::function<void(qint64)>& checking)
{
    qint32 err = 0;
    const QByteArray folder = path.left(path.lastIndexOf('/'));
    if (!folder.isEmpty() && !EfsOk(job, efs.Link(), efs.MakePath(folder, err), err, what))
        return false;
    if (!EfsOk(job, efs.Link(), efs.WriteFile(path, data, err, writing), err, what))
        return false;
    QByteArray back;
    if (!EfsOk(job, efs.Link(), efs.ReadFile(path, back, err, checking), err, what))
        return false;
    return back == data || job.Fail(differs);
}
