// ERI read and write. The ERI is a file on the handset's file system; its version (the first two
// bytes of the file, high byte first) is also kept in NV item 4025, which the program shows.
//
//   read:  version → EFS2 HELLO → read ERI_PATH → 26 item 4025 → file
//   write: file checked → version → 41 SPC → 29 01 00 → EFS2 HELLO → folder → write → read back
//          and compare → 27 item 4025 → 26 item 4025 compared → 29 02 00
#include "EfsCheck.h"
#include "Operations.h"
#include "WriteBackup.h"
#include "serial/DiagCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr quint16 NV_ERI_VERSION = 4025;

quint16 EriVersionOf(const QByteArray& file)
{
    return file.size() >= 2 ? static_cast<quint16>((static_cast<quint8>(file.at(0)) << 8) |
                                                   static_cast<quint8>(file.at(1)))
                            : 0;
}

} // namespace

bool RunEriRead(CPluginJob& job, const QString& path)
{
    job.FileName(path);
    CDiagLink link;
    CEfs2Client efs(link);
    if (!ConnectFileSystem(job, link, efs))
        return false;
    job.Status(QStringLiteral("Reading the ERI"));
    job.Address(QString::fromLatin1(ERI_PATH));
    QByteArray data;
    qint32 err = 0;
    const CDiagLink::EOutcome r = efs.ReadFile(ERI_PATH, data, err, [&job](qint64 n) {
        job.Progress(static_cast<int>(qMin<qint64>(80, 10 + n / 64)));
    });
    if (r == CDiagLink::OK && err == EFS_ENOENT)
        return job.Fail(QStringLiteral("The handset holds no ERI file."));
    if (!EfsOk(job, link, r, err, QStringLiteral("ERI read")))
        return false;
    QByteArray nv;
    quint16 status = 0;
    if (!job.Check(link.NvRead(NV_ERI_VERSION, -1, nv, status), link, QStringLiteral("ERI version")))
        return false;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit())
        return job.Fail(QStringLiteral("The file %1 cannot be written: %2").arg(path, f.errorString()));
    const QString nvText = status == 0
                               ? QString::number(GetLe16(reinterpret_cast<const quint8*>(nv.constData())))
                               : QStringLiteral("not set");
    job.SetFinalStatus(QStringLiteral("ERI read: version %1, %2 bytes (handset's ERI version %3)")
                           .arg(EriVersionOf(data))
                           .arg(data.size())
                           .arg(nvText));
    return true;
}

bool RunEriWrite(CPluginJob& job, const QString& path)
{
    job.FileName(path);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return job.Fail(QStringLiteral("The ERI file %1 cannot be read: %2").arg(path, f.errorString()));
    const QByteArray data = f.read(MAX_ERI_SIZE + 1);
    f.close();
    if (data.size() < 4)
        return job.Fail(
            QStringLiteral("The ERI file is too short (%1 bytes) to be an ERI.").arg(data.size()));
    if (data.size() > MAX_ERI_SIZE)
        return job.Fail(QStringLiteral("The ERI file is too large; the handset holds at most %1 bytes.")
                            .arg(MAX_ERI_SIZE));
    const quint16 version = EriVersionOf(data);

    CDiagLink link;
    CEfs2Client efs(link);
    if (!ConnectFileSystem(job, link, efs))
        return false;

    // The handset's ERI and its version are kept before anything is written.
    job.Status(QStringLiteral("Saving the handset's ERI"));
    CWriteBackup backup(job, QStringLiteral("ERI_BK"));
    if (!backup.AddHandsetFile(efs, ERI_PATH, QStringLiteral("eri_data.bin")) ||
        !backup.AddItem(link, NV_ERI_VERSION, -1, QStringLiteral("nv/4025.bin")) || !backup.Finish())
        return false;

    job.Status(QStringLiteral("Unlocking the handset"));
    if (!job.Unlock(link) || !job.Check(link.ModeChange(MODE_OFFLINE), link, QStringLiteral("going offline")))
        return false;
    if (!GreetFileSystem(job, link, efs))
        return false;
    job.Status(QStringLiteral("Writing the ERI"));
    job.Address(QString::fromLatin1(ERI_PATH));
    const auto progress = [&job, &data](int from, int span) {
        return [&job, &data, from, span](qint64 n) {
            job.Progress(from + static_cast<int>(span * n / qMax<qint64>(1, data.size())));
        };
    };
    if (!WriteFileVerified(
            job, efs, ERI_PATH, data, QStringLiteral("ERI write"),
            QStringLiteral(
                "The ERI read back from the handset differs from the file: the write did not take."),
            progress(10, 50), progress(60, 25)))
        return false;
    QByteArray nv(NV_DATA_SIZE, '\0');
    PutLe16(reinterpret_cast<quint8*>(nv.data()), version);
    quint16 status = 0;
    if (!job.Check(link.NvWrite(NV_ERI_VERSION, nv, status), link, QStringLiteral("ERI version")))
        return false;
    if (status != 0)
        return job.Fail(
            QStringLiteral("The handset did not store the ERI version (NV status %1).").arg(status));
    QByteArray nvBack;
    if (!job.Check(link.NvRead(NV_ERI_VERSION, -1, nvBack, status), link, QStringLiteral("ERI version")))
        return false;
    if (status != 0 || GetLe16(reinterpret_cast<const quint8*>(nvBack.constData())) != version)
        return job.Fail(QStringLiteral("The handset's ERI version did not change to %1.").arg(version));
    job.Status(QStringLiteral("Restarting the handset"));
    if (!job.Check(link.ModeChange(MODE_RESET), link, QStringLiteral("restart")))
        return false;
    job.SetFinalStatus(
        QStringLiteral("ERI version %1 written (%2 bytes) and verified").arg(version).arg(data.size()));
    return true;
}
