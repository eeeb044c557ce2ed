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
    for (const SVerifiedWrite& f : files) {
        const QByteArray folder = f.path.left(f.path.lastIndexOf('/'));
        if (!folder.isEmpty() && !EfsOk(job, efs.Link(), efs.MakePath(folder, err), err, f.what))
            return false;
    }
    // Each file's read-back runs three files behind its write: while one file is read
    // back, a later one is written, so both ways of the line carry data, and a read-back's OPEN
    // (sent behind the writes still on their way) has come back before its reads are due.
    QList<CEfs2Client::SFileJob> jobs;
    QList<int> fileOf; // the file of each job; its read-back when the job reads
    constexpr int lag = 3;
    for (int k = 0; k < files.size() + lag; ++k) {
        if (k < files.size()) {
            jobs.append({files[k].path, true, files[k].data, -1, 0});
            fileOf.append(k);
        }
        if (k >= lag) {
            jobs.append({files[k - lag].path, false, {}, files[k - lag].data.size(), 0});
            fileOf.append(k - lag);
        }
    }
    bool ok = true;
    int at = 0;
    const auto settled = [&](int i) {
        const SVerifiedWrite& f = files[fileOf[i]];
        const bool readBack = !jobs[i].bWrite;
        ok = EfsOk(job, efs.Link(), CDiagLink::OK, jobs[i].err, f.what) &&
             (!readBack || jobs[i].data == f.data || job.Fail(f.differs));
        jobs[i].data.clear();
        if (ok && readBack && verified)
            verified(fileOf[i]);
        return ok;
    };
    const CDiagLink::EOutcome r = efs.RunFiles(jobs, settled, progress, &at);
    return ok && job.Check(r, efs.Link(), files.value(fileOf.value(at)).what);
}
