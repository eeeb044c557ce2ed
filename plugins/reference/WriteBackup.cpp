#include "WriteBackup.h"

#include "EfsCheck.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// Writes and syncs one file; the failure's text, or empty.
QString SaveFile(const QString& path, const QByteArray& data)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return QStringLiteral("The backup folder %1 cannot be created.").arg(QFileInfo(path).absolutePath());
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit())
        return QStringLiteral("The backup file %1 cannot be written: %2").arg(path, f.errorString());
    return {};
}

} // namespace

CWriteBackup::CWriteBackup(CPluginJob& job, const QString& kind) : m_job(job)
{
    const QString root = job.PluginFolder() + QLatin1Char('/') + kind + QLatin1Char('/') +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    // Two writes within one millisecond must not share a folder.
    m_strFolder = root;
    for (int n = 2; QFileInfo::exists(m_strFolder); ++n)
        m_strFolder = root + QStringLiteral("-%1").arg(n);
    m_strManifest = QStringLiteral("# %1 backup, COM%2, software %3\n")
                        .arg(kind)
                        .arg(job.Port())
                        .arg(job.SoftwareVersion());
}

bool CWriteBackup::Add(const QString& name, const QByteArray& data, const QString& note)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) ||
        name.split(QLatin1Char('/')).contains(QStringLiteral("..")))
        return m_job.Fail(QStringLiteral("The backup entry \"%1\" is not a plain relative name.").arg(name));
    if (static_cast<int>(m_saving.size()) >= MAX_SAVING && !WaitOldest())
        return false;
    m_saving.push_back(std::async(std::launch::async, SaveFile, m_strFolder + QLatin1Char('/') + name, data));
    m_strManifest +=
        QStringLiteral("%1 size=%2 md5=%3")
            .arg(name)
            .arg(data.size())
            .arg(QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex()));
    if (!note.isEmpty())
        m_strManifest += QLatin1Char(' ') + note;
    m_strManifest += QLatin1Char('\n');
    ++m_nSaved;
    return true;
}

void CWriteBackup::AddAbsent(const QString& name)
{
    m_strManifest += name + QStringLiteral(" none\n");
}

bool CWriteBackup::AddHandsetFile(CEfs2Client& efs, const QByteArray& path, const QString& name,
                                  qint64 expectedSize)
{
    return AddHandsetFiles(efs, {{path, name, expectedSize}});
}

bool CWriteBackup::AddHandsetFiles(CEfs2Client& efs, const QList<SHandsetFile>& files,
                                   const std::function<void(int)>& starting)
{
    QList<CEfs2Client::SFileJob> jobs;
    for (const SHandsetFile& f : files)
        jobs.append({f.path, false, {}, f.expectedSize, 0});
    bool ok = true;
    const auto settled = [&](int i) {
        const SHandsetFile& f = files[i];
        if (jobs[i].err == EFS_ENOENT)
            AddAbsent(f.name);
        else
            ok = EfsOk(m_job, efs.Link(), CDiagLink::OK, jobs[i].err, QString::fromLatin1(f.path)) &&
                 Add(f.name, jobs[i].data);
        jobs[i].data.clear();
        if (ok && starting && i + 1 < files.size())
            starting(i + 1);
        return ok;
    };
    if (starting && !files.isEmpty())
        starting(0);
    int at = 0;
    const CDiagLink::EOutcome r = efs.RunFiles(jobs, settled, {}, &at);
    return ok && m_job.Check(r, efs.Link(), QString::fromLatin1(files.value(at).path));
}

bool CWriteBackup::AddItem(CDiagLink& link, quint16 item, int nam, const QString& name)
{
    QByteArray data;
    quint16 status = 0;
    if (!m_job.Check(link.NvRead(item, nam, data, status), link, QStringLiteral("item %1").arg(item)))
        return false;
    if (status != 0) {
        AddAbsent(name);
        return true;
    }
    return Add(name, data);
}

bool CWriteBackup::WaitOldest()
{
    const QString error = m_saving.front().get();
    m_saving.pop_front();
    return error.isEmpty() || m_job.Fail(error);
}

bool CWriteBackup::Finish()
{
    while (!m_saving.empty())
        if (!WaitOldest())
            return false;
    const QString error = SaveFile(m_strFolder + QStringLiteral("/manifest.txt"), m_strManifest.toUtf8());
    if (!error.isEmpty())
        return m_job.Fail(error);
    m_job.NoteKept(m_strFolder);
    return true;
}
