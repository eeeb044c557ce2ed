// Memory transfer: the handset's data trees copied through EFS2 into TRANS_BK beside the plug-in
// and back.
//
//   TRANS_BK/pim, sms, MMS, brew/mod/iwsapp/schedule, ui.data   copies of the handset's trees
//   TRANS_BK/manifest.txt   "<size> <md5> <path>" per file, paths relative to the handset root
//   TRANS_BK/<supported version>.pp   marker, written last: only a complete backup has one
//
//   backup:  version → HELLO → STAT/OPENDIR/READDIR each selected tree → READ every file
//            → manifest → marker
//   restore: marker and manifest checked, every file checked against the manifest (nothing is
//            sent when one differs) → version → 29 01 00 → HELLO → the handset's files about to be
//            replaced saved in RESTORE_BK → MKDIR + WRITE each file → read back and compare
//            → 29 02 00
#include "EfsCheck.h"
#include "Operations.h"
#include "WriteBackup.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

struct SFile
{
    QByteArray path; // absolute handset path
    qint64 size = 0;
};

QStringList TreesOf(quint32 mask)
{
    const bool all = (mask & 1u) != 0;
    QStringList trees;
    if (all || (mask & 2u))
        trees << QStringLiteral("pim");
    if (all || (mask & 4u))
        trees << QStringLiteral("sms") << QStringLiteral("MMS");
    if (all || (mask & 8u))
        trees << QStringLiteral("brew/mod/iwsapp/schedule");
    if (all || (mask & 16u))
        trees << QStringLiteral("ui.data");
    return trees;
}

bool InTrees(const QString& relative, const QStringList& trees)
{
    for (const QString& t : trees)
        if (relative == t || relative.startsWith(t + QLatin1Char('/')))
            return true;
    return false;
}

QString Md5(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

// Every file below path (a folder or a single file) on the handset; absent paths add nothing.
bool Collect(CPluginJob& job, CEfs2Client& efs, const QByteArray& path, QList<SFile>& files, int depth = 0)
{
    qint32 mode = 0, size = 0, err = 0;
    const CDiagLink::EOutcome r = efs.Stat(path, mode, size, err);
    if (r == CDiagLink::OK && err == EFS_ENOENT)
        return true;
    if (!EfsOk(job, efs.Link(), r, err, QString::fromLatin1(path)))
        return false;
    if ((mode & EFS2_S_IFMT) != EFS2_S_IFDIR) {
        files.append({path, size});
        return true;
    }
    if (depth > 16)
        return job.Fail(QStringLiteral("The folders on the handset are nested too deep (%1).")
                            .arg(QString::fromLatin1(path)));
    QList<CEfs2Client::SEntry> entries;
    if (!EfsOk(job, efs.Link(), efs.List(path, entries, err), err, QString::fromLatin1(path)))
        return false;
    for (const CEfs2Client::SEntry& e : entries) {
        const QByteArray child = path + '/' + e.name.toLatin1();
        if (e.bDir) {
            if (!Collect(job, efs, child, files, depth + 1))
                return false;
        } else {
            files.append({child, e.size});
        }
    }
    return true;
}

} // namespace

bool RunTransferBackup(CPluginJob& job, quint32 mask)
{
    const QString work = job.PluginFolder() + QStringLiteral("/TRANS_BK");
    const QStringList trees = TreesOf(mask);
    if (trees.isEmpty())
        return job.Fail(QStringLiteral("No item was chosen for the backup."));
    CDiagLink link;
    CEfs2Client efs(link);
    if (!ConnectFileSystem(job, link, efs))
        return false;

    // Whatever was there is replaced; without the marker an unfinished backup is never restored.
    QDir(work).mkpath(QStringLiteral("."));
    QFile::remove(work + QLatin1Char('/') + QLatin1String(REF_SUPPORTED_VERSION) + QStringLiteral(".pp"));
    QFile::remove(work + QStringLiteral("/manifest.txt"));
    for (const QString& t : trees) {
        QDir(work + QLatin1Char('/') + t).removeRecursively();
        QFile::remove(work + QLatin1Char('/') + t);
    }

    job.Status(QStringLiteral("Listing the handset's files"));
    QList<SFile> files;
    for (const QString& t : trees)
        if (!Collect(job, efs, '/' + t.toLatin1(), files))
            return false;
    qint64 total = 0;
    for (const SFile& f : files)
        total += f.size;

    // The files go through one window, the next opened while the current one streams.
    QList<CEfs2Client::SFileJob> jobs;
    for (const SFile& f : files)
        jobs.append({f.path, false, {}, f.size, 0});
    QString manifest;
    qint64 done = 0;
    const auto settled = [&](int i) {
        const QString rel = QString::fromLatin1(files[i].path.mid(1));
        const QByteArray& data = jobs[i].data;
        if (!EfsOk(job, link, CDiagLink::OK, jobs[i].err, rel))
            return false;
        done += data.size();
        const QString local = work + QLatin1Char('/') + rel;
        QDir().mkpath(QFileInfo(local).absolutePath());
        // Written plainly, not synced file by file (that would cost the disk more than the line
        // costs): the manifest, saved last but one, holds each file's MD5, and a restore checks
        // every file against it before the handset is touched.
        QFile out(local);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(data) != data.size() ||
            !out.flush())
            return job.Fail(
                QStringLiteral("The file %1 cannot be written: %2").arg(local, out.errorString()));
        manifest += QStringLiteral("%1 %2 %3\n").arg(data.size()).arg(Md5(data), rel);
        jobs[i].data.clear();
        if (i + 1 < files.size()) {
            job.Status(QStringLiteral("Backing up file %1 of %2").arg(i + 2).arg(files.size()));
            job.FileName(QString::fromLatin1(files[i + 1].path.mid(1)));
        }
        return true;
    };
    if (!files.isEmpty()) {
        job.Status(QStringLiteral("Backing up file %1 of %2").arg(1).arg(files.size()));
        job.FileName(QString::fromLatin1(files[0].path.mid(1)));
    }
    bool ok = true;
    int at = 0;
    const CDiagLink::EOutcome r = efs.RunFiles(
        jobs, [&](int i) { return ok = settled(i); },
        [&job, total](qint64 n) { job.Progress(static_cast<int>(5 + 90 * n / qMax<qint64>(1, total))); },
        &at);
    if (!ok || !job.Check(r, link, QString::fromLatin1(files.value(at).path.mid(1))))
        return false;
    for (const QString& name :
         {QStringLiteral("/manifest.txt"),
          QLatin1Char('/') + QLatin1String(REF_SUPPORTED_VERSION) + QStringLiteral(".pp")}) {
        QSaveFile out(work + name);
        const QByteArray text = name.endsWith(QLatin1String(".pp"))
                                    ? QStringLiteral("%1\n").arg(job.SoftwareVersion()).toUtf8()
                                    : manifest.toUtf8();
        if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.commit())
            return job.Fail(
                QStringLiteral("The file %1 cannot be written: %2").arg(work + name, out.errorString()));
    }
    job.Address(QString());
    job.SetFinalStatus(QStringLiteral("Backup of %1 files (%2 bytes) in TRANS_BK beside the plug-in")
                           .arg(files.size())
                           .arg(done));
    return true;
}

bool RunTransferRestore(CPluginJob& job, quint32 mask)
{
    const QString work = job.PluginFolder() + QStringLiteral("/TRANS_BK");
    const QStringList trees = TreesOf(mask);
    if (trees.isEmpty())
        return job.Fail(QStringLiteral("No item was chosen for the restore."));
    if (!QFileInfo::exists(work + QLatin1Char('/') + QLatin1String(REF_SUPPORTED_VERSION) +
                           QStringLiteral(".pp")))
        return job.Fail(
            QStringLiteral("There is no complete backup for %1 in %2.").arg(REF_SUPPORTED_VERSION, work));
    QFile mf(work + QStringLiteral("/manifest.txt"));
    if (!mf.open(QIODevice::ReadOnly))
        return job.Fail(QStringLiteral("The backup in %1 has no manifest.").arg(work));

    // Every file is checked before anything reaches the handset.
    struct SEntry
    {
        QString rel;
        QByteArray data;
    };
    QList<SEntry> entries;
    qint64 total = 0;
    while (!mf.atEnd()) {
        const QString line = QString::fromUtf8(mf.readLine()).trimmed();
        if (line.isEmpty())
            continue;
        const QStringList parts = line.split(QLatin1Char(' '));
        if (parts.size() < 3)
            return job.Fail(QStringLiteral("The backup's manifest is damaged."));
        const QString rel = line.section(QLatin1Char(' '), 2);
        if (!InTrees(rel, trees))
            continue;
        if (rel.contains(QLatin1String("..")))
            return job.Fail(QStringLiteral("The backup's manifest is damaged."));
        QFile f(work + QLatin1Char('/') + rel);
        if (!f.open(QIODevice::ReadOnly))
            return job.Fail(QStringLiteral("The backup in %1 is missing %2.").arg(work, rel));
        const QByteArray data = f.readAll();
        if (QString::number(data.size()) != parts[0] || Md5(data) != parts[1])
            return job.Fail(
                QStringLiteral("The backup in %1 is damaged: %2 differs from its manifest.").arg(work, rel));
        total += data.size();
        entries.append({rel, data});
    }
    if (entries.isEmpty())
        return job.Fail(QStringLiteral("The backup holds nothing of the chosen items."));

    CDiagLink link;
    if (!job.Connect(link))
        return false;
    if (!job.Check(link.ModeChange(MODE_OFFLINE), link, QStringLiteral("going offline")))
        return false;
    CEfs2Client efs(link);
    if (!GreetFileSystem(job, link, efs))
        return false;

    // The handset's own copies of the files about to be replaced are kept first (outside
    // TRANS_BK, which the program moves away at exit and before a backup over it).
    // Most often the handset still holds what the backup holds: its size guides the reads.
    CWriteBackup saved(job, QStringLiteral("RESTORE_BK"));
    QList<CWriteBackup::SHandsetFile> kept;
    QList<SVerifiedWrite> writes;
    for (const SEntry& e : entries) {
        const QByteArray path = '/' + e.rel.toLatin1();
        kept.append({path, e.rel, e.data.size()});
        writes.append({path, e.data, e.rel,
                       QStringLiteral("%1 read back from the handset differs from the backup.").arg(e.rel)});
    }
    const auto saving = [&job, &entries](int i) {
        job.Status(QStringLiteral("Saving the handset's file %1 of %2").arg(i + 1).arg(entries.size()));
    };
    if (!saved.AddHandsetFiles(efs, kept, saving) || !saved.Finish())
        return false;

    const auto restoring = [&job, &entries](int i) {
        job.Status(QStringLiteral("Restoring file %1 of %2").arg(i + 1).arg(entries.size()));
        job.FileName(entries[i].rel);
    };
    restoring(0);
    if (!WriteFilesVerified(
            job, efs, writes,
            [&job, total](qint64 n) { job.Progress(static_cast<int>(5 + 45 * n / qMax<qint64>(1, total))); },
            [&](int i) {
                if (i + 1 < entries.size())
                    restoring(i + 1);
            }))
        return false;
    job.Status(QStringLiteral("Restarting the handset"));
    if (!job.Check(link.ModeChange(MODE_RESET), link, QStringLiteral("restart")))
        return false;
    job.SetFinalStatus(
        QStringLiteral("Restored %1 files (%2 bytes) from TRANS_BK").arg(entries.size()).arg(total));
    return true;
}

bool RunUserDataReset(CPluginJob& job)
{
    CDiagLink link;
    CEfs2Client efs(link);
    if (!ConnectFileSystem(job, link, efs))
        return false;
    job.Status(QStringLiteral("Looking for user data"));
    QList<SFile> files;
    for (const QString& tree : TreesOf(1))
        if (!Collect(job, efs, '/' + tree.toLatin1(), files))
            return false;

    // The customer's data is kept before it is erased.
    CWriteBackup saved(job, QStringLiteral("REFURB_BK"));
    qint64 bytes = 0;
    for (int i = 0; i < files.size(); ++i) {
        const SFile& f = files[i];
        job.Status(QStringLiteral("Saving user data: file %1 of %2").arg(i + 1).arg(files.size()));
        qint32 err = 0;
        QByteArray data;
        if (!EfsOk(job, link, efs.ReadFile(f.path, data, err), err, QString::fromLatin1(f.path)) ||
            !saved.Add(QString::fromLatin1(f.path.mid(1)), data))
            return false;
        bytes += data.size();
        job.Progress(5 + 45 * (i + 1) / static_cast<int>(files.size()));
    }
    if (!saved.Finish())
        return false;
    if (!job.Check(link.ModeChange(MODE_OFFLINE), link, QStringLiteral("going offline")))
        return false;
    for (int i = 0; i < files.size(); ++i) {
        job.Status(QStringLiteral("Erasing user data: file %1 of %2").arg(i + 1).arg(files.size()));
        qint32 err = 0;
        const CDiagLink::EOutcome r = efs.Unlink(files[i].path, err);
        if (!(r == CDiagLink::OK && err == EFS_ENOENT) &&
            !EfsOk(job, link, r, err, QString::fromLatin1(files[i].path)))
            return false;
        job.Progress(50 + 40 * (i + 1) / static_cast<int>(files.size()));
    }
    // Checked, not assumed: nothing of the user's may be left.
    QList<SFile> left;
    for (const QString& tree : TreesOf(1))
        if (!Collect(job, efs, '/' + tree.toLatin1(), left))
            return false;
    if (!left.isEmpty())
        return job.Fail(
            QStringLiteral("%1 user data files are still on the handset after erasing (first: %2).")
                .arg(left.size())
                .arg(QString::fromLatin1(left.first().path)));
    job.Status(QStringLiteral("Restarting the handset"));
    if (!job.Check(link.ModeChange(MODE_RESET), link, QStringLiteral("restart")))
        return false;
    job.SetFinalStatus(QStringLiteral("User data erased: %1 files (%2 bytes)").arg(files.size()).arg(bytes));
    return true;
}
