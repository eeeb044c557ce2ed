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
    // The write's bytes are all answered before the read-back's first.
    const qint64 size = data.size();
    return WriteFilesVerified(job, efs, {{path, data, what, differs}}, [&](qint64 n) {
        if (n <= size && writing)
            writing(n);
        else if (n > size && checking)
            checking(n - size);
    });
}

bool WriteFilesVerified(CPluginJob& job, CEfs2Client& efs, const QList<SVerifiedWrite>& files,
                        const std::function<void(qint64)>& progress, const std::function<void(int)>& verified)
{
    qint32 err = 0;
    QList<CEfs2Client::SFileJob> jobs;
    for (const SVerifiedWrite& f : files) {
        const QByteArray folder = f.path.left(f.path.lastIndexOf('/'));
        if (!folder.isEmpty() && !EfsOk(job, efs.Link(), efs.MakePath(folder, err), err, f.what))
            return false;
        jobs.append({f.path, true, f.data, -1, 0});
        jobs.append({f.path, false, {}, f.data.size(), 0});
    }
    bool ok = true;
    int at = 0;
    const auto settled = [&](int i) {
        const SVerifiedWrite& f = files[i / 2];
        ok = EfsOk(job, efs.Link(), CDiagLink::OK, jobs[i].err, f.what) &&
             (i % 2 == 0 || jobs[i].data == f.data || job.Fail(f.differs));
        if (ok && i % 2 == 1 && verified)
            verified(i / 2);
        return ok;
    };
    const CDiagLink::EOutcome r = efs.RunFiles(jobs, settled, progress, &at);
    return ok && job.Check(r, efs.Link(), files.value(at / 2).what);
}
