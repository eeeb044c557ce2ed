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
//   → streaming: 01 HELLO (its answer announces the block size and the window) → 17 01 → 1B 05
//     (modem image) → 07 offset data …, up to a window of writes unanswered at once; the 08
//     answers come in order and each must confirm its own offset; the first answer that does not
//     ends the download → 15 CLOSE (the handset checks the image) → 0B RESET
//   → port closed and reopened as above (up to 15 s) until the version answers: the handset
//     back in DIAG must report the image's software version
#include "FirmwareImage.h"
#include "Operations.h"
#include "serial/DiagCodec.h"

#include <QFile>

namespace {

constexpr quint32 PROGRAMMER_ADDRESS = 0x00100000;
constexpr int PROGRAMMER_SIZE = 2048;
// Without a usable HELLO answer: one write of 1024 bytes at a time.
constexpr int STREAM_BLOCK = 1024;
// The most the plug-in takes from a HELLO answer: a write fits the handset's frame decoder (code
// and offset in front of the data), and a window of them stays well within what the line carries
// before an answer is overdue.
constexpr int MAX_STREAM_BLOCK = 16384 - 5;
constexpr int MAX_STREAM_WINDOW = 64;
constexpr qint64 MAX_BYTES_IN_FLIGHT = 256 * 1024;
constexpr quint32 STREAM_TIMEOUT_MS = 1000;
constexpr int RETURN_WAIT_MS = 15000;
constexpr int DOWNLOAD_WAIT_MS = 5000; // for the port to come back in download mode
constexpr quint8 MODEM_IMAGE = 5;      // the image type of STREAM_OPEN_IMAGE

QString StreamErrorText(const QByteArray& a)
{
    const quint32 code = a.size() >= 5 ? GetLe32(reinterpret_cast<const quint8*>(a.constData()) + 1) : 0;
    return QStringLiteral("%1 (code %2)").arg(QString::fromLatin1(a.mid(5)).trimmed()).arg(code);
}

// An answer of the download protocols judged: it must start with expect.
bool Judge(CPluginJob& job, CDiagLink& link, CDiagLink::EOutcome r, const QByteArray& answer, quint8 expect,
           const QString& what)
{
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

// One download-protocol exchange whose answer must start with expect. leaving: the request makes
// the handset restart, and one that drops off the bus at once may lose its answer; a port that
// hung up counts as that answer.
bool Step(CPluginJob& job, CDiagLink& link, const QByteArray& req, quint8 expect, QByteArray& answer,
          const QString& what, bool leaving = false)
{
    const CDiagLink::EOutcome r = link.Exchange(req, answer, STREAM_TIMEOUT_MS);
    if (leaving && r == CDiagLink::NO_ANSWER && link.Gone())
        return true;
    return Judge(job, link, r, answer, expect, what);
}

// What the flash programmer's HELLO answer announces:
//   02 | magic (32) | version | compatible | u32 block size | u32 flash base | u8 n, flash id (n) |
//   u16 window | u16 sectors | u32 sector sizes … | features
struct SStreamLimits
{
    int nBlock = STREAM_BLOCK;
    int nWindow = 1;
};

SStreamLimits StreamLimits(const QByteArray& a)
{
    SStreamLimits l;
    const auto* p = reinterpret_cast<const quint8*>(a.constData());
    if (a.size() >= 39 && GetLe32(p + 35) > 0)
        l.nBlock = static_cast<int>(qMin<quint32>(GetLe32(p + 35), MAX_STREAM_BLOCK));
    const int window = a.size() >= 44 && a.size() >= 44 + p[43] + 2 ? GetLe16(p + 44 + p[43]) : 0;
    if (window > 0)
        l.nWindow = qMin(window, MAX_STREAM_WINDOW);
    const int fits = static_cast<int>(qMax<qint64>(1, MAX_BYTES_IN_FLIGHT / l.nBlock));
    l.nWindow = qMin(l.nWindow, fits);
    return l;
}

QString Hex(qint64 at)
{
    return QStringLiteral("0x%1").arg(at, 8, 16, QLatin1Char('0'));
}

// The image in STREAM_WRITEs of limits.nBlock bytes, up to limits.nWindow of them unanswered. The
// answers come in order; each must confirm the offset of the oldest write still unanswered.
bool StreamImage(CPluginJob& job, CDiagLink& link, const QByteArray& image, const SStreamLimits& limits)
{
    const qint64 size = image.size();
    qint64 sent = 0;      // bytes handed to the line
    qint64 confirmed = 0; // bytes the handset confirmed, in order
    int shown = -1;
    QByteArray a;
    link.Purge();
    while (confirmed < size) {
        while (sent < size && sent - confirmed < static_cast<qint64>(limits.nWindow) * limits.nBlock) {
            QByteArray req(5, '\0');
            req[0] = static_cast<char>(STREAM_WRITE);
            PutLe32(reinterpret_cast<quint8*>(req.data()) + 1, static_cast<quint32>(sent));
            req += image.mid(sent, limits.nBlock);
            if (!link.Send(req))
                return job.Check(CDiagLink::NO_ANSWER, link, QStringLiteral("writing at %1").arg(Hex(sent)));
            sent = qMin(sent + limits.nBlock, size);
        }
        const QString what = QStringLiteral("writing at %1").arg(Hex(confirmed));
        if (!Judge(job, link, link.Receive(a, STREAM_TIMEOUT_MS), a, STREAM_WRITTEN, what))
            return false;
        if (a.size() < 5 ||
            GetLe32(reinterpret_cast<const quint8*>(a.constData()) + 1) != static_cast<quint32>(confirmed))
            return job.Fail(
                QStringLiteral("The handset confirmed another address than %1.").arg(Hex(confirmed)));
        const qint64 at = confirmed;
        confirmed = qMin(confirmed + limits.nBlock, size);
        const int percent = 10 + static_cast<int>(80 * confirmed / size);
        if (percent != shown || confirmed == size) {
            shown = percent;
            job.Address(Hex(at));
            job.Progress(percent);
        }
    }
    return true;
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
    if (!Step(job, link, hello, STREAM_HELLO_ANSWER, a, QStringLiteral("flash programmer hello")))
        return false;
    const SStreamLimits limits = StreamLimits(a);
    if (!Step(job, link, QByteArray(securityMode, 2), STREAM_SECURITY_MODE_ANSWER, a,
              QStringLiteral("security mode")) ||
        !Step(job, link, QByteArray(openImage, 2), STREAM_IMAGE_OPENED, a,
              QStringLiteral("opening the image")))
        return false;
    if (a.size() >= 2 && a.at(1) != 0)
        return job.Fail(QStringLiteral("The handset cannot open the image area (status %1).")
                            .arg(static_cast<int>(a.at(1))));

    job.Status(QStringLiteral("Writing the software"));
    if (!StreamImage(job, link, image, limits))
        return false;
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
