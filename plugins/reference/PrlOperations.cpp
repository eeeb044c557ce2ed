// PRL read and write per NAM.
//
//   read:  version → for each NAM: 49 seq nam … until more = 0 → size field checked → file
//   write: file checked (size field, own check value) before the handset is touched
//          → version → back up each NAM's PRL (PRL_BK/<time>/ + manifest.txt beside the plug-in)
//          → 41 SPC → 29 01 00 offline → 48 blocks of 120 bytes → read back and compare
//          → 29 02 00 reset
#include "DiagLink.h"
#include "Operations.h"
#include "WriteBackup.h"
#include "serial/Checksums.h"
#include "serial/DiagCodec.h"
#include "serial/PrlImage.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace {

constexpr int MAX_BLOCKS = (prl::MAX_SIZE + prl::BLOCK_BYTES - 1) / prl::BLOCK_BYTES;

QList<int> NamsOf(int nam)
{
    return nam == 2 ? QList<int>{0, 1} : QList<int>{nam == 1 ? 1 : 0};
}

QString NamFilePath(const QString& pattern, int nam, bool both)
{
    if (!both)
        return pattern;
    // As the page names single-NAM reads: nam1_prl_0000.prl, nam2_prl_0001.prl.
    QString p = pattern;
    return p.replace(QLatin1Char('?'), QString::number(nam + 1))
        .replace(QLatin1Char('#'), QString::number(nam));
}

bool SaveFile(CPluginJob& job, const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit())
        return job.Fail(QStringLiteral("The file %1 cannot be written: %2").arg(path, f.errorString()));
    return true;
}

bool WritePrlImage(CPluginJob& job, CDiagLink& link, int nam, const QByteArray& image, int pctFrom, int pctTo)
{
    const int blocks = static_cast<int>((image.size() + prl::BLOCK_BYTES - 1) / prl::BLOCK_BYTES);
    for (int seq = 0; seq < blocks; ++seq) {
        const QByteArray chunk = image.mid(seq * prl::BLOCK_BYTES, prl::BLOCK_BYTES);
        const bool more = seq + 1 < blocks;
        QByteArray req(6 + prl::BLOCK_BYTES, '\0');
        req[0] = static_cast<char>(CMD_PRL_WRITE);
        req[1] = static_cast<char>(seq);
        req[2] = more ? 1 : 0;
        req[3] = static_cast<char>(nam);
        PutLe16(reinterpret_cast<quint8*>(req.data()) + 4, static_cast<quint16>(chunk.size() * 8));
        req.replace(6, static_cast<int>(chunk.size()), chunk);
        QByteArray answer;
        if (!job.Check(link.Request(req, answer), link, QStringLiteral("PRL write, NAM %1").arg(nam + 1)))
            return false;
        const int status = answer.size() >= 2 ? static_cast<quint8>(answer.at(1)) : -1;
        if (status == 2)
            return job.Fail(
                QStringLiteral("The handset lost the order of the PRL blocks (NAM %1).").arg(nam + 1));
        if (status == 3)
            return job.Fail(QStringLiteral("The PRL is too large for the handset (NAM %1).").arg(nam + 1));
        if (status != (more ? 0 : 1))
            return job.Fail(QStringLiteral("The handset could not store the PRL of NAM %1 (status %2).")
                                .arg(nam + 1)
                                .arg(status));
        job.Address(QStringLiteral("NAM %1, block %2 of %3").arg(nam + 1).arg(seq + 1).arg(blocks));
        job.Progress(pctFrom + (pctTo - pctFrom) * (seq + 1) / blocks);
    }
    return true;
}

} // namespace

bool ReadPrlImage(CPluginJob& job, CDiagLink& link, int nam, QByteArray& image, bool* empty, int pctFrom,
                  int pctTo)
{
    image.clear();
    if (empty != nullptr)
        *empty = false;
    const QString what = QStringLiteral("PRL read, NAM %1").arg(nam + 1);
    for (int seq = 0; seq < MAX_BLOCKS; ++seq) {
        QByteArray req(3, '\0');
        req[0] = static_cast<char>(CMD_PRL_READ);
        req[1] = static_cast<char>(seq);
        req[2] = static_cast<char>(nam);
        QByteArray a;
        if (!job.Check(link.Request(req, a), link, what))
            return false;
        if (a.size() < 8)
            return job.Fail(
                QStringLiteral("The handset's answer to the PRL read is too short (NAM %1).").arg(nam + 1));
        const auto* p = reinterpret_cast<const quint8*>(a.constData());
        const quint16 nv = GetLe16(p + 2);
        if (seq == 0 && nv == 5 && empty != nullptr) {
            *empty = true;
            return true;
        }
        if (nv == 5)
            return job.Fail(QStringLiteral("NAM %1 holds no PRL.").arg(nam + 1));
        if (p[1] != 0 || nv != 0)
            return job.Fail(QStringLiteral("The handset could not read the PRL of NAM %1 (status %2, %3).")
                                .arg(nam + 1)
                                .arg(p[1])
                                .arg(nv));
        const int bits = GetLe16(p + 6);
        if (p[4] != seq || bits > prl::BLOCK_BYTES * 8 || a.size() < 8 + (bits + 7) / 8)
            return job.Fail(
                QStringLiteral("The handset's PRL blocks are out of order (NAM %1).").arg(nam + 1));
        image.append(a.mid(8, (bits + 7) / 8));
        job.Address(QStringLiteral("NAM %1, %2 bytes").arg(nam + 1).arg(image.size()));
        const int expected = qMax(1, static_cast<int>(prl::SizeField(image)));
        job.Progress(pctFrom +
                     (pctTo - pctFrom) * qMin<int>(static_cast<int>(image.size()), expected) / expected);
        if (p[5] == 0)
            return true;
    }
    return job.Fail(QStringLiteral("The PRL of NAM %1 is larger than any PRL can be.").arg(nam + 1));
}

bool RunPrlRead(CPluginJob& job, int nam, const QString& path)
{
    CDiagLink link;
    if (!job.Connect(link))
        return false;
    const QList<int> nams = NamsOf(nam);
    QStringList done;
    for (int i = 0; i < nams.size(); ++i) {
        const int n = nams[i];
        const QString file = NamFilePath(path, n, nam == 2);
        job.Status(QStringLiteral("Reading the PRL of NAM %1").arg(n + 1));
        job.FileName(file);
        QByteArray image;
        const int from = 5 + 90 * i / static_cast<int>(nams.size());
        if (!ReadPrlImage(job, link, n, image, nullptr, from, from + 90 / static_cast<int>(nams.size())))
            return false;
        if (prl::SizeField(image) != image.size())
            return job.Fail(
                QStringLiteral("The PRL read from NAM %1 is incomplete: its size field says %2 bytes, "
                               "%3 arrived.")
                    .arg(n + 1)
                    .arg(prl::SizeField(image))
                    .arg(image.size()));
        if (!SaveFile(job, file, image))
            return false;
        done << QStringLiteral("NAM %1: PRL ID %2, %3 bytes")
                    .arg(n + 1)
                    .arg(prl::PrlId(image))
                    .arg(image.size());
    }
    job.SetFinalStatus(QStringLiteral("PRL read. ") + done.join(QStringLiteral("; ")));
    return true;
}

bool RunPrlWrite(CPluginJob& job, int nam, const QString& path)
{
    job.FileName(path);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return job.Fail(QStringLiteral("The PRL file %1 cannot be read: %2").arg(path, f.errorString()));
    const QByteArray image = f.read(prl::MAX_SIZE + 1);
    f.close();
    // Nothing reaches the handset unless the file is a whole PRL.
    const prl::ECheck check = prl::Check(image);
    if (check != prl::PRL_OK)
        return job.Fail(prl::CheckText(check, image));

    CDiagLink link;
    if (!job.Connect(link))
        return false;
    const QList<int> nams = NamsOf(nam);

    // What is overwritten is kept first, with a manifest.
    CWriteBackup backup(job, QStringLiteral("PRL_BK"));
    for (const int n : nams) {
        job.Status(QStringLiteral("Saving the PRL of NAM %1").arg(n + 1));
        QByteArray old;
        bool empty = false;
        if (!ReadPrlImage(job, link, n, old, &empty, 5, 25))
            return false;
        const QString name = QStringLiteral("nam%1.prl").arg(n + 1);
        if (empty) {
            backup.AddAbsent(name);
            continue;
        }
        const quint16 crc =
            PrlCrc16(reinterpret_cast<const quint8*>(old.constData()), static_cast<int>(old.size()));
        if (!backup.Add(
                name, old,
                QStringLiteral("id=%1 crc=%2").arg(prl::PrlId(old)).arg(crc, 4, 16, QLatin1Char('0'))))
            return false;
    }
    if (!backup.Finish())
        return false;

    job.Status(QStringLiteral("Unlocking the handset"));
    if (!job.Unlock(link))
        return false;
    if (!job.Check(link.ModeChange(MODE_OFFLINE), link, QStringLiteral("going offline")))
        return false;
    for (int i = 0; i < nams.size(); ++i) {
        const int n = nams[i];
        const int span = 60 / static_cast<int>(nams.size());
        const int from = 30 + span * i;
        job.Status(QStringLiteral("Writing the PRL of NAM %1").arg(n + 1));
        if (!WritePrlImage(job, link, n, image, from, from + span * 2 / 3))
            return false;
        job.Status(QStringLiteral("Checking the PRL of NAM %1").arg(n + 1));
        QByteArray back;
        bool empty = false;
        if (!ReadPrlImage(job, link, n, back, &empty, from + span * 2 / 3, from + span))
            return false;
        if (empty || back != image)
            return job.Fail(
                QStringLiteral("The PRL read back from NAM %1 differs from the file: the write did not take.")
                    .arg(n + 1));
    }
    job.Status(QStringLiteral("Restarting the handset"));
    if (!job.Check(link.ModeChange(MODE_RESET), link, QStringLiteral("restart")))
        return false;
    QStringList namText;
    for (const int n : nams)
        namText << QString::number(n + 1);
    job.SetFinalStatus(QStringLiteral("PRL ID %1 written to NAM %2 and verified")
                           .arg(prl::PrlId(image))
                           .arg(namText.join(QStringLiteral(" and "))));
    return true;
}
