// qpx-handset-sim: a CDMA handset on a pseudo-terminal, published as a virtual COM port.
// Prints "qpx-handset-sim: COM<n> -> <pty>" once it answers (and again each time it comes back
// after --reenumerate-ms); ends on SIGINT/SIGTERM (or after the hang-up fault) and removes its port.
// SIGUSR1 ends every fault: the handset answers again (and comes back if it left).
#include "HandsetSimulator.h"

#include "platform/TermSignal.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>

#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

int Fail(const QString& text, int code)
{
    std::fprintf(stderr, "qpx-handset-sim: %s\n", qPrintable(text));
    return code;
}

bool IntOption(const QCommandLineParser& p, const QCommandLineOption& o, int min, int max, int& value)
{
    if (!p.isSet(o))
        return true;
    bool ok = false;
    value = p.value(o).toInt(&ok);
    return ok && value >= min && value <= max;
}

} // namespace

int main(int argc, char** argv)
{
    // SIGUSR1 arrives as a readable descriptor in the event loop: blocked in every thread, which
    // inherit this mask.
    sigset_t recoverSignal;
    sigemptyset(&recoverSignal);
    sigaddset(&recoverSignal, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &recoverSignal, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qpx-handset-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A CDMA handset on a pseudo-terminal, for tests and demos."));
    parser.addHelpOption();
    const QCommandLineOption portOpt(QStringLiteral("port"),
                                     QStringLiteral("Publish as COM<N> (default: lowest free from 20)."),
                                     QStringLiteral("N"));
    const QCommandLineOption nameOpt(QStringLiteral("name"),
                                     QStringLiteral("Friendly name of the port (%n stands for the number)."),
                                     QStringLiteral("TEXT"));
    const QCommandLineOption profileOpt(QStringLiteral("profile"),
                                        QStringLiteral("Handset profile (key=value lines)."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption printOpt(QStringLiteral("print-profile"),
                                      QStringLiteral("Print the profile and exit."));
    const QCommandLineOption verboseOpt(QStringLiteral("verbose"),
                                        QStringLiteral("Log every request to stderr."));
    const QCommandLineOption silentOpt(QStringLiteral("silent"), QStringLiteral("Never answer."));
    const QCommandLineOption lateOpt(QStringLiteral("late"), QStringLiteral("Answer MS milliseconds late."),
                                     QStringLiteral("MS"));
    const QCommandLineOption corruptOpt(QStringLiteral("corrupt-check"),
                                        QStringLiteral("Send answers with a bad check."));
    const QCommandLineOption wrongOpt(QStringLiteral("wrong-command"),
                                      QStringLiteral("Answer another command."));
    const QCommandLineOption garbageOpt(QStringLiteral("garbage"),
                                        QStringLiteral("Send noise before every frame."));
    const QCommandLineOption hangupOpt(QStringLiteral("hangup-after"),
                                       QStringLiteral("Close the line after N requests."),
                                       QStringLiteral("N"));
    const QCommandLineOption statusOnlyOpt(QStringLiteral("status-only"),
                                           QStringLiteral("Answer only the status request."));
    const QCommandLineOption stateOpt(
        QStringLiteral("state"),
        QStringLiteral("Keep the handset's items, PRLs and files in DIR across runs."),
        QStringLiteral("DIR"));
    const QCommandLineOption resetOpt(
        QStringLiteral("reset-ms"),
        QStringLiteral("Stay silent MS milliseconds after a reset (mode change 2, or the download "
                       "protocols' RESET) (default 1500)."),
        QStringLiteral("MS"));
    const QCommandLineOption hangupAtOpt(
        QStringLiteral("hangup-at"), QStringLiteral("Close the line at the N-th request of command CODE."),
        QStringLiteral("CODE:N"));
    const QCommandLineOption refuseOpt(QStringLiteral("refuse"),
                                       QStringLiteral("Answer command CODE with 13 (not supported)."),
                                       QStringLiteral("CODE"));
    const QCommandLineOption corruptAtOpt(
        QStringLiteral("corrupt-at"),
        QStringLiteral("Break the check of the answer to the N-th request CODE."), QStringLiteral("CODE:N"));
    const QCommandLineOption badStoreOpt(
        QStringLiteral("bad-store"),
        QStringLiteral("Acknowledge writes of command CODE but store them with one byte inverted: 0x27 NV "
                       "item (its last data byte), 0x48 PRL (its middle byte), 0x4B EFS2 file (the last "
                       "byte of the piece written at offset 0), 0x07 firmware (the last byte of the first "
                       "stream write). May be given more than once."),
        QStringLiteral("CODE"));
    const QCommandLineOption lockoutOpt(
        QStringLiteral("spc-lockout"),
        QStringLiteral("After N wrong SPCs in a row, refuse every further SPC (41 00), the right one too, "
                       "until the simulator ends; a reset does not clear it (default 0: never)."),
        QStringLiteral("N"));
    const QCommandLineOption hideSpcOpt(
        QStringLiteral("hide-spc"),
        QStringLiteral("Refuse reads of the SPC item (85) with 42 while locked."));
    const QCommandLineOption passwordOpt(
        QStringLiteral("password"),
        QStringLiteral("Give the handset a security password of 8 bytes (16 hexadecimal digits): writes "
                       "that need the SPC then also need it (47 until 46 + the password is accepted, again "
                       "after each reset)."),
        QStringLiteral("HEX16"));
    const QCommandLineOption reenumerateOpt(
        QStringLiteral("reenumerate-ms"),
        QStringLiteral("Leave like a USB device after the download switch (3A) and after the download "
                       "protocols' RESET: the port disappears, and MS milliseconds later a new pty is "
                       "published under the same COM number (and printed like the first)."),
        QStringLiteral("MS"));
    const QCommandLineOption abruptOpt(
        QStringLiteral("leave-abruptly"),
        QStringLiteral("With --reenumerate-ms: drop off at once, without the last answer (the 3A echo, the "
                       "RESET's answer)."));
    const QCommandLineOption efsWindowOpt(
        QStringLiteral("efs-window"),
        QStringLiteral("Announce an EFS2 byte window of BYTES in HELLO (default 1048576) and refuse reads "
                       "and writes of more bytes per request with EINVAL."),
        QStringLiteral("BYTES"));
    const QCommandLineOption startInOpt(
        QStringLiteral("start-in"),
        QStringLiteral("Start in STATE: diag (default); boot-loader, the DMSS download protocol of a handset "
                       "that restarted after an interrupted firmware write; or programmer, the flash "
                       "programmer's streaming protocol still running."),
        QStringLiteral("STATE"));
    parser.addOptions({portOpt,     nameOpt,        profileOpt,  printOpt,     verboseOpt,
                       silentOpt,   lateOpt,        corruptOpt,  wrongOpt,     garbageOpt,
                       hangupOpt,   statusOnlyOpt,  stateOpt,    resetOpt,     hangupAtOpt,
                       refuseOpt,   corruptAtOpt,   badStoreOpt, lockoutOpt,   hideSpcOpt,
                       passwordOpt, reenumerateOpt, abruptOpt,   efsWindowOpt, startInOpt});
    const QCommandLineOption latencyOpt(
        QStringLiteral("latency-us"),
        QStringLiteral("Emulate a link: every answer leaves N microseconds after its request has arrived "
                       "(added to --late)."),
        QStringLiteral("N"));
    const QCommandLineOption linkRateOpt(
        QStringLiteral("link-rate"),
        QStringLiteral("Emulate a link: read and write at most BYTES_PER_S bytes a second, each "
                       "direction on its own (USB full speed about 1000000, high speed about 30000000, "
                       "a 115200-baud line 11520)."),
        QStringLiteral("BYTES_PER_S"));
    const QCommandLineOption windowOpt(
        QStringLiteral("download-window"),
        QStringLiteral("Announce a window of N stream writes that may be unanswered at once in the flash "
                       "programmer's HELLO answer (default 8)."),
        QStringLiteral("N"));
    const QCommandLineOption blockOpt(
        QStringLiteral("download-block"),
        QStringLiteral("Announce BYTES as the most data one stream write carries (default 4096, at most "
                       "16379); larger writes are refused."),
        QStringLiteral("BYTES"));
    const QCommandLineOption flashOpt(
        QStringLiteral("flash-size"),
        QStringLiteral("The flash takes BYTES of image (default 67108864); a stream write past it is "
                       "refused (out of space)."),
        QStringLiteral("BYTES"));
    const QCommandLineOption efsPacketsOpt(
        QStringLiteral("efs-packets"),
        QStringLiteral("Announce an EFS2 packet window of N requests that may be unanswered at once in "
                       "HELLO (default 1048576)."),
        QStringLiteral("N"));
    const QCommandLineOption leaveAtOpt(
        QStringLiteral("leave-at"),
        QStringLiteral("Leave like an unplugged USB device at the N-th request of command CODE, without "
                       "answering it; back after --reenumerate-ms, or on SIGUSR1."),
        QStringLiteral("CODE:N"));
    const QCommandLineOption fromOpt(
        QStringLiteral("faults-from"),
        QStringLiteral("Hold back --silent, --late, --corrupt-check, --wrong-command, --garbage, "
                       "--status-only and --refuse until the N-th request of command CODE, which they "
                       "already hit."),
        QStringLiteral("CODE:N"));
    parser.addOptions(
        {latencyOpt, linkRateOpt, windowOpt, blockOpt, flashOpt, efsPacketsOpt, leaveAtOpt, fromOpt});
    parser.process(app);

    SHandsetProfile profile;
    if (parser.isSet(profileOpt)) {
        QString error;
        if (!LoadProfile(parser.value(profileOpt), profile, &error))
            return Fail(error, 1);
    }
    if (parser.isSet(printOpt)) {
        std::fputs(ProfileText(profile).toUtf8().constData(), stdout);
        return 0;
    }

    SFaults faults;
    int port = 0;
    if (!IntOption(parser, portOpt, 1, 256, port))
        return Fail(QStringLiteral("--port takes a number from 1 to 256"), 1);
    if (!IntOption(parser, lateOpt, 0, 600000, faults.nLateMs))
        return Fail(QStringLiteral("--late takes milliseconds"), 1);
    if (!IntOption(parser, hangupOpt, 1, 1000000, faults.nHangupAfter))
        return Fail(QStringLiteral("--hangup-after takes a count of 1 or more"), 1);
    if (parser.isSet(hangupAtOpt) &&
        !CFaultInjector::ParseKindCount(parser.value(hangupAtOpt), faults.nHangupCode, faults.nHangupAt))
        return Fail(QStringLiteral("--hangup-at takes CODE:N"), 1);
    if (parser.isSet(corruptAtOpt) &&
        !CFaultInjector::ParseKindCount(parser.value(corruptAtOpt), faults.nCorruptCode, faults.nCorruptAt))
        return Fail(QStringLiteral("--corrupt-at takes CODE:N"), 1);
    if (parser.isSet(refuseOpt)) {
        int dummy = 0;
        if (!CFaultInjector::ParseKindCount(parser.value(refuseOpt) + QStringLiteral(":1"),
                                            faults.nRefuseCode, dummy))
            return Fail(QStringLiteral("--refuse takes a command code"), 1);
    }
    if (parser.isSet(leaveAtOpt) &&
        !CFaultInjector::ParseKindCount(parser.value(leaveAtOpt), faults.nLeaveCode, faults.nLeaveAt))
        return Fail(QStringLiteral("--leave-at takes CODE:N"), 1);
    if (parser.isSet(fromOpt) &&
        !CFaultInjector::ParseKindCount(parser.value(fromOpt), faults.nFromCode, faults.nFromAt))
        return Fail(QStringLiteral("--faults-from takes CODE:N"), 1);
    for (const QString& code : parser.values(badStoreOpt))
        if (!CFaultInjector::ParseBadStore(code, faults))
            return Fail(QStringLiteral("--bad-store takes 0x27, 0x48, 0x4B or 0x07"), 1);
    int resetMs = 1500;
    if (!IntOption(parser, resetOpt, 0, 600000, resetMs))
        return Fail(QStringLiteral("--reset-ms takes milliseconds"), 1);
    faults.bSilent = parser.isSet(silentOpt);
    faults.bCorruptCheck = parser.isSet(corruptOpt);
    faults.bWrongCommand = parser.isSet(wrongOpt);
    faults.bGarbage = parser.isSet(garbageOpt);
    faults.bStatusOnly = parser.isSet(statusOnlyOpt);

    int lockout = 0;
    if (!IntOption(parser, lockoutOpt, 0, 1000000, lockout))
        return Fail(QStringLiteral("--spc-lockout takes a count"), 1);
    QByteArray password;
    if (parser.isSet(passwordOpt)) {
        const QString hex = parser.value(passwordOpt).trimmed();
        static const QRegularExpression hex16(QStringLiteral("^[0-9A-Fa-f]{16}$"));
        if (!hex16.match(hex).hasMatch())
            return Fail(QStringLiteral("--password takes 16 hexadecimal digits"), 1);
        password = QByteArray::fromHex(hex.toLatin1());
    }

    int reenumerateMs = -1;
    if (!IntOption(parser, reenumerateOpt, 0, 600000, reenumerateMs))
        return Fail(QStringLiteral("--reenumerate-ms takes milliseconds"), 1);

    int efsWindow = static_cast<int>(EFS2_WINDOW);
    if (!IntOption(parser, efsWindowOpt, 1, static_cast<int>(EFS2_WINDOW), efsWindow))
        return Fail(QStringLiteral("--efs-window takes 1 to 1048576 bytes"), 1);

    int efsPackets = static_cast<int>(EFS2_WINDOW);
    if (!IntOption(parser, efsPacketsOpt, 1, static_cast<int>(EFS2_WINDOW), efsPackets))
        return Fail(QStringLiteral("--efs-packets takes 1 to 1048576 requests"), 1);

    int latencyUs = 0;
    if (!IntOption(parser, latencyOpt, 0, 10000000, latencyUs))
        return Fail(QStringLiteral("--latency-us takes 0 to 10000000 microseconds"), 1);
    int linkRate = 0;
    if (!IntOption(parser, linkRateOpt, 1, 1000000000, linkRate))
        return Fail(QStringLiteral("--link-rate takes 1 to 1000000000 bytes a second"), 1);

    int window = CDownloadMode::DEFAULT_WINDOW;
    if (!IntOption(parser, windowOpt, 1, 65535, window))
        return Fail(QStringLiteral("--download-window takes 1 to 65535 writes"), 1);
    int block = CDownloadMode::DEFAULT_BLOCK_SIZE;
    if (!IntOption(parser, blockOpt, 1, CDownloadMode::MAX_BLOCK_SIZE, block))
        return Fail(QStringLiteral("--download-block takes 1 to %1 bytes").arg(CDownloadMode::MAX_BLOCK_SIZE),
                    1);
    int flash = static_cast<int>(CDownloadMode::DEFAULT_FLASH_SIZE);
    if (!IntOption(parser, flashOpt, 1, static_cast<int>(CDownloadMode::DEFAULT_FLASH_SIZE), flash))
        return Fail(QStringLiteral("--flash-size takes 1 to 67108864 bytes"), 1);

    CDownloadMode::EState startState = CDownloadMode::STATE_DIAG;
    if (parser.isSet(startInOpt)) {
        const QString state = parser.value(startInOpt);
        if (state == QLatin1String("boot-loader"))
            startState = CDownloadMode::STATE_DMSS;
        else if (state == QLatin1String("programmer"))
            startState = CDownloadMode::STATE_STREAMING;
        else if (state != QLatin1String("diag"))
            return Fail(QStringLiteral("--start-in takes diag, boot-loader or programmer"), 1);
    }

    CHandsetSimulator sim(profile, faults);
    sim.StartIn(startState);
    sim.Download().SetWindow(window);
    sim.Download().SetBlockSize(block);
    sim.Download().SetFlashSize(flash);
    sim.SetLink(latencyUs, linkRate);
    sim.SetReenumerateMs(reenumerateMs);
    sim.SetLeaveAbruptly(parser.isSet(abruptOpt));
    sim.SetEfsByteWindow(static_cast<quint32>(efsWindow));
    sim.SetEfsPacketWindow(static_cast<quint32>(efsPackets));
    sim.State().SetSpcLockout(lockout);
    sim.State().SetSpcHidden(parser.isSet(hideSpcOpt));
    sim.State().SetPassword(password);
    sim.SetVerbose(parser.isSet(verboseOpt));
    sim.SetResetSilenceMs(resetMs);
    QString error;
    if (parser.isSet(stateOpt) && !sim.UseStateFolder(parser.value(stateOpt), &error))
        return Fail(error, 1);
    if (!sim.Start(port, parser.value(nameOpt), &error))
        return Fail(error, 2);
    QObject::connect(&sim, &CHandsetSimulator::finished, &app, [] { QCoreApplication::exit(0); });
    InstallTerminationHandler([&sim]() {
        sim.Stop();
        QCoreApplication::exit(0);
    });
    const int recoverFd = signalfd(-1, &recoverSignal, SFD_CLOEXEC | SFD_NONBLOCK);
    QSocketNotifier recoverNotifier(recoverFd, QSocketNotifier::Read);
    QObject::connect(&recoverNotifier, &QSocketNotifier::activated, &sim, [&sim, recoverFd]() {
        signalfd_siginfo info;
        while (::read(recoverFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        }
        sim.Recover();
    });
    std::printf("qpx-handset-sim: COM%d -> %s\n", sim.Port(), qPrintable(sim.SlavePath()));
    std::fflush(stdout);
    const int rc = app.exec();
    sim.Stop();
    return rc;
}
