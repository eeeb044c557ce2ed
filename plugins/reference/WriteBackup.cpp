#include "WriteBackup.h"

#include "EfsCheck.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace {

bool SaveFile(CPluginJob& job, const QString& path, const QByteArray& data)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return job.Fail(
            QStringLiteral("The backup folder %1 cannot be created.").arg(QFileInfo(path).absolutePath()));
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit())
        return job.Fail(
            QStringLiteral("The backup file %1 cannot be written: %2").arg(path, f.errorString()));
    return true;
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
    if (!SaveFile(m_job, m_strFolder + QLatin1Char('/') + name, data))
        return false;
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

bool CWriteBackup::AddHandsetFile(CEfs2Client& efs, const QByteArray& path, const QString& name)
{
    qint32 err = 0;
    QByteArray data;
    const CDiagLink::EOutcome r = efs.ReadFile(path, data, err);
    if (r == CDiagLink::OK && err == EFS_ENOENT) {
        AddAbsent(name);
        return true;
    }
    return EfsOk(m_job, efs.Link(), r, err, QString::fromLatin1(path)) && Add(name, data);
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

bool CWriteBackup::Finish()
{
    if (!SaveFile(m_job, m_strFolder + QStringLiteral("/manifest.txt"), m_strManifest.toUtf8()))
        return false;
    m_job.NoteKept(m_strFolder);
    return true;
}
