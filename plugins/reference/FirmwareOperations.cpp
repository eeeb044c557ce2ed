// Firmware download (Bin, and the first step of Upgrade).
//
// Image file: FirmwareImage.h. Codes: DiagProtocol.h.
//
//   file checked (magic, length, check value, software family) before the handset is touched
//   → 06 NOP: a handset left in download mode by an interrupted write answers it (02 the boot
//     loader: on at the parameters below; 0D/0E the flash programmer: on at HELLO)
//   → version → 41 SPC → 3A (the handset leaves DIAG; on USB it leaves the bus too)
//   → port closed, its device asked from the host again and reopened (up to 5 s)
//   → DMSS: 06 NOP until 02 ACK → 07 parameters → 0F programmer pieces at 0x00100000 → 05 GO
//   → streaming: 01 HELLO → 17 01 → 1B 05 (modem image) → 07 offset data … (each 08 offset
//     checked) → 15 CLOSE (the handset checks the image) → 0B RESET
//   → port closed and reopened as above (up to 15 s) until the version answers: the handset
//     back in DIAG must report the image's software version
#include "FirmwareImage.h"
#include "Operations.h"
#include "serial/DiagCodec.h"

#include <QFile>

namespace {

constexpr quint32 PROGRAMMER_ADDRESS = 0x00100000;
constexpr int PROGRAMMER_SIZE = 2048;
constexpr int STREAM_BLOCK = 1024;
constexpr int RETURN_WAIT_MS = 15000;
constexpr int DOWNLOAD_WAIT_MS = 5000; // for the port to come back in download mode
constexpr quint8 MODEM_IMAGE = 5;      // the image type of STREAM_OPEN_IMAGE

QString StreamErrorText(const QByteArray& a)
{
    const quint32 code = a.size() >= 5 ? GetLe32(reinterpret_cast<const quint8*>(a.constData()) + 1) : 0;
    return QStringLiteral("%1 (code %2)").arg(QString::fromLatin1(a.mid(5)).trimmed()).arg(code);
}

// One download-protocol exchange whose answer must start with expect. leaving: the request makes
// the handset restart, and one that drops off the bus at once may lose its answer; a port that
// hung up counts as that answer.
bool Step(CPluginJob& job, CDiagLink& link, const QByteArray& req, quint8 expect, QByteArray& answer,
          const QString& what, bool leaving = false)
{
    const CDiagLink::EOutcome r = link.Exchange(req, answer, 1000);
    if (leaving && r == CDiagLink::NO_ANSWER && link.Gone())
        return true;
    if (!job.Check(r, link, what))
        return false;
    const quint8 code = static_cast<quint8>(answer.at(0));
    if (code == expect)
        return true;
    if (code == STREAM_ERROR)
        return job.Fail(
            QStringLiteral("The handset stopped the download (%1): %2").arg(what, StreamErrorText(answer)));
    if (code == DMSS_NAK && answer.size() >= 3)
        return job.Fail(
            QStringLiteral("The handset's boot loader refused %1 (reason %2).")
                .arg(what)
                .arg((static_cast<quint8>(answer.at(1)) << 8) | static_cast<quint8>(answer.at(2))));
    return job.Fail(QStringLiteral("The handset gave an unexpected answer (%1).").arg(what));
}

// Where the handset stands when the download begins.
enum EDownloadStart
{
    START_DIAG,
    START_BOOT_LOADER,
    START_PROGRAMMER,
};

constexpr quint32 PROBE_TIMEOUT_MS = 250;

// Opens the port and finds out what the handset speaks: a handset left in download mode answers
// the DMSS NOP; one in the diagnostic state refuses it and is identified by its version.
bool ConnectForDownload(CPluginJob& job, CDiagLink& link, EDownloadStart& start)
{
    start = START_DIAG;
    if (!job.OpenPort(link))
        return false;
    QByteArray a;
    if (link.Exchange(QByteArray(1, static_cast<char>(DMSS_NOP)), a, PROBE_TIMEOUT_MS) == CDiagLink::OK) {
        const quint8 code = static_cast<quint8>(a.at(0));
        if (code == DMSS_ACK)
            start = START_BOOT_LOADER;
        else if (code == STREAM_ERROR || code == STREAM_LOG)
            start = START_PROGRAMMER;
    }
    return start != START_DIAG || job.Identify(link);
}

// DMSS: the boot loader's parameters, the flash programmer written to RAM in pieces, then GO.
bool LoadProgrammer(CPluginJob& job, CDiagLink& link, QByteArray& a)
{
    if (!Step(job, link, QByteArray(1, static_cast<char>(DMSS_PARAMETERS_REQUEST)), DMSS_PARAMETERS, a,
              QStringLiteral("boot loader parameters")))
        return false;
    int maxWrite = a.size() >= 5 ? ((static_cast<quint8>(a.at(3)) << 8) | static_cast<quint8>(a.at(4))) : 256;
    maxWrite = qBound(64, maxWrite, 1024);

    job.Status(QStringLiteral("Loading the flash programmer"));
    for (int at = 0; at < PROGRAMMER_SIZE; at += maxWrite) {
        const int n = qMin(maxWrite, PROGRAMMER_SIZE - at);
        QByteArray req(7, '\0');
        req[0] = static_cast<char>(DMSS_WRITE32);
        const quint32 addr = PROGRAMMER_ADDRESS + static_cast<quint32>(at);
        for (int i = 0; i < 4; ++i)
            req[1 + i] = static_cast<char>(addr >> (24 - 8 * i));
        req[5] = static_cast<char>(n >> 8);
        req[6] = static_cast<char>(n);
        for (int i = 0; i < n; ++i)
            req.append(static_cast<char>((at + i) * 7)); // the programmer stands in for the real one
        if (!Step(job, link, req, DMSS_ACK, a, QStringLiteral("flash programmer")))
            return false;
    }
    // GO: segment 0x0010, offset 0 (PROGRAMMER_ADDRESS).
    const char go[] = {static_cast<char>(DMSS_GO), 0x00, 0x10, 0x00, 0x00};
    return Step(job, link, QByteArray(go, sizeof go), DMSS_ACK, a,
                QStringLiteral("starting the flash programmer"));
}

} // namespace

bool RunBin(CPluginJob& job, const QString& binPath)
{
    job.FileName(binPath);
    QFile f(binPath);
    if (!f.open(QIODevice::ReadOnly))
        return job.Fail(QStringLiteral("The image file %1 cannot be read: %2").arg(binPath, f.errorString()));
    const QByteArray image = f.readAll();
    f.close();
    switch (fwimage::Check(image)) {
    case fwimage::IMAGE_OK:
        break;
    case fwimage::IMAGE_NOT_AN_IMAGE:
        return job.Fail(QStringLiteral("The file %1 is not a firmware image of this model.").arg(binPath));
    case fwimage::IMAGE_BAD_LENGTH:
        return job.Fail(
            QStringLiteral("The firmware image is damaged: it says %1 bytes of software, the file holds %2.")
                .arg(fwimage::PayloadLength(image))
                .arg(image.size() - fwimage::HEADER_SIZE));
    case fwimage::IMAGE_BAD_CRC:
        return job.Fail(QStringLiteral("The firmware image is damaged: its check value does not match."));
    }
    const QString dir = fwimage::SoftwareDirectory(image);
    if (dir.left(5) != QLatin1String(REF_SUPPORTED_VERSION).left(5))
        return job.Fail(QStringLiteral("The firmware image is for software %1; this plug-in serves %2.")
                            .arg(dir, QLatin1String(REF_SUPPORTED_VERSION)));

    CDiagLink link;
    EDownloadStart start = START_DIAG;
    if (!ConnectForDownload(job, link, start))
        return false;
    const QString before = start == START_DIAG ? job.SoftwareVersion() : QStringLiteral("in download mode");
    QByteArray a;
    if (start == START_DIAG) {
        job.Status(QStringLiteral("Unlocking the handset"));
        if (!job.Unlock(link))
            return false;
        job.Status(QStringLiteral("Switching the handset to download mode"));
        CDiagLink::EOutcome r = link.Request(QByteArray(1, static_cast<char>(CMD_DOWNLOAD)), a);
        // A handset on USB may drop off the bus before its echo is read: leaving is answer enough.
        if (!(r == CDiagLink::NO_ANSWER && link.Gone()) &&
            !job.Check(r, link, QStringLiteral("download mode")))
            return false;
        // The port is opened again as the host finds it now (a USB handset comes back as a new
        // device); the boot loader answers NOP with ACK once it runs.
        auto bootLoader = [&link, &a]() {
            const CDiagLink::EOutcome nop = link.Exchange(QByteArray(1, static_cast<char>(DMSS_NOP)), a);
            return nop == CDiagLink::OK && a.at(0) == DMSS_ACK ? CDiagLink::OK : CDiagLink::NO_ANSWER;
        };
        if (!job.Reopen(link, bootLoader, DOWNLOAD_WAIT_MS, QStringLiteral("boot loader")))
            return false;
    }
    if (start != START_PROGRAMMER && !LoadProgrammer(job, link, a))
        return false;
    QByteArray hello(1, static_cast<char>(STREAM_HELLO));
    hello += QByteArray("KOVA fast download protocol host");
    hello += QByteArray("\x03\x02\x09", 3);
    const char securityMode[] = {static_cast<char>(STREAM_SECURITY_MODE), 0x01};
    const char openImage[] = {static_cast<char>(STREAM_OPEN_IMAGE), static_cast<char>(MODEM_IMAGE)};
    if (!Step(job, link, hello, STREAM_HELLO_ANSWER, a, QStringLiteral("flash programmer hello")) ||
        !Step(job, link, QByteArray(securityMode, 2), STREAM_SECURITY_MODE_ANSWER, a,
              QStringLiteral("security mode")) ||
        !Step(job, link, QByteArray(openImage, 2), STREAM_IMAGE_OPENED, a,
              QStringLiteral("opening the image")))
        return false;
    if (a.size() >= 2 && a.at(1) != 0)
        return job.Fail(QStringLiteral("The handset cannot open the image area (status %1).")
                            .arg(static_cast<int>(a.at(1))));

    job.Status(QStringLiteral("Writing the software"));
    for (qint64 at = 0; at < image.size(); at += STREAM_BLOCK) {
        QByteArray req(5, '\0');
        req[0] = static_cast<char>(STREAM_WRITE);
        PutLe32(reinterpret_cast<quint8*>(req.data()) + 1, static_cast<quint32>(at));
        req += image.mid(at, STREAM_BLOCK);
        if (!Step(job, link, req, STREAM_WRITTEN, a,
                  QStringLiteral("writing at 0x%1").arg(at, 8, 16, QLatin1Char('0'))))
            return false;
        if (a.size() < 5 ||
            GetLe32(reinterpret_cast<const quint8*>(a.constData()) + 1) != static_cast<quint32>(at))
            return job.Fail(QStringLiteral("The handset confirmed another address than 0x%1.")
                                .arg(at, 8, 16, QLatin1Char('0')));
        job.Address(QStringLiteral("0x%1").arg(at, 8, 16, QLatin1Char('0')));
        job.Progress(10 +
                     static_cast<int>(80 * qMin<qint64>(at + STREAM_BLOCK, image.size()) / image.size()));
    }
    if (!Step(job, link, QByteArray(1, static_cast<char>(STREAM_CLOSE)), STREAM_CLOSED, a,
              QStringLiteral("closing the image")) ||
        !Step(job, link, QByteArray(1, static_cast<char>(STREAM_RESET)), STREAM_RESET_ANSWER, a,
              QStringLiteral("restart"), true))
        return false;

    // The proof: the restarted handset, found again on its port, reports the new software.
    job.Status(QStringLiteral("Waiting for the handset to restart"));
    auto version = [&link, &a]() {
        const CDiagLink::EOutcome v = link.Request(QByteArray(1, static_cast<char>(CMD_VERSION)), a);
        return v == CDiagLink::OK && a.size() < 47 ? CDiagLink::UNEXPECTED : v;
    };
    if (!job.Reopen(link, version, RETURN_WAIT_MS, QStringLiteral("after the restart")))
        return false;
    const QString after = QString::fromLatin1(a.mid(39, 8)).remove(QChar(0)).trimmed();
    if (after != dir)
        return job.Fail(QStringLiteral("The handset still reports software %1 after the download of %2.")
                            .arg(after, dir));
    job.SetFinalStatus(QStringLiteral("Software %1 written (%2 bytes) and verified; it was %3")
                           .arg(dir)
                           .arg(image.size())
                           .arg(before));
    return true;
}
