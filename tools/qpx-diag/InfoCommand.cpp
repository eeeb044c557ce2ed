#include "DiagCommands.h"

#include "handset/HandsetFormat.h"
#include "serial/DiagPort.h"
#include "serial/PortDiscovery.h"
#include "serial/PortList.h"

#include <QJsonObject>

#include <memory>
#include <vector>

namespace {

// "20" or "COM20".
int ParsePortArgument(const QString& text)
{
    if (text.startsWith(QLatin1String("COM")))
        return CPortList::ParsePortName(text);
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok && n >= 1 && n <= 256 ? n : -1;
}

// The exit code of a port that did not open, its message in *text.
int OpenFailure(int n, const CSerialPort& port, QString* text)
{
    const QString why = port.LastErrorText();
    switch (port.LastError()) {
    case CSerialDevice::SERIAL_NO_SUCH_PORT:
        *text = QStringLiteral("COM%1: %2").arg(n).arg(why);
        return DIAG_NO_SUCH_PORT;
    case CSerialDevice::SERIAL_BUSY:
        *text = QStringLiteral("COM%1: %2. Close the other program (or stop its connection) and try again.")
                    .arg(n)
                    .arg(why);
        return DIAG_PORT_BUSY;
    case CSerialDevice::SERIAL_PERMISSION_DENIED:
        *text = QStringLiteral("COM%1: %2. Add the user to the device's group (usually dialout: "
                               "sudo usermod -aG dialout $USER), then log in again.")
                    .arg(n)
                    .arg(why);
        return DIAG_PERMISSION_DENIED;
    default:
        *text = QStringLiteral("COM%1: %2").arg(n).arg(why);
        return DIAG_PORT_FAILED;
    }
}

QString NotAnswering(int n, const CSerialPort& port, const char* request)
{
    return QStringLiteral("COM%1: the handset does not answer the %2 request%3")
        .arg(n)
        .arg(QLatin1String(request))
        .arg(port.IsGone() ? QStringLiteral(" (the line hung up)") : QString());
}

// The message on stderr; with --json also {"port", "error"} on stdout.
int Fail(int n, int code, const QString& text, bool json)
{
    PrintError(text);
    if (json)
        PrintJson(QJsonObject{{QStringLiteral("port"), n}, {QStringLiteral("error"), text}});
    return code;
}

// The JSON keys of the Information rows and of the version list (column 0, then column 2).
const char* const STATUS_KEYS[11] = {"esn",         "digitalMin",  "analogMin",       "rfMode",
                                     "cdmaChannel", "codeChannel", "activeSectorPn",  "sid",
                                     "nid",         "locaid",      "protocolRevision"};
const char* const VERSION_KEYS[5][2] = {{"compileDate", "compileTime"},
                                        {"releaseDate", "releaseTime"},
                                        {"swVersion", "mobileModel"},
                                        {"slotCycleIndex", "msmVersion"},
                                        {"prlVersion", "eriVersion"}};

QString Label(const char* text)
{
    return QString::fromLatin1(text).trimmed();
}

} // namespace

// One poll as the connection worker does it: status, version, PRL versions of NAM 0 and 1, ERI
// version. Prints the eleven Information rows, then the version list row by row (column 0, then
// column 2), as "Label: value".
int RunInfo(const QStringList& args, bool json)
{
    int n = -1;
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--port") && i + 1 < args.size())
            n = ParsePortArgument(args.at(++i));
        else if (args.at(i).startsWith(QLatin1String("--port=")))
            n = ParsePortArgument(args.at(i).mid(7));
        else {
            PrintError(QStringLiteral("info: unexpected argument \"%1\"").arg(args.at(i)));
            return DIAG_USAGE;
        }
    }
    if (n < 0) {
        PrintError(QStringLiteral("info needs --port N (1..256)"));
        return DIAG_USAGE;
    }
    if (DevicePathOfPort(n).isEmpty())
        return Fail(n, DIAG_NO_SUCH_PORT,
                    QStringLiteral("COM%1: no such port (\"qpx-diag ports\" lists the ports present)").arg(n),
                    json);

    auto port = std::make_unique<CDiagPort>(); // large buffers: not on the stack
    if (!port->Open(n)) {
        QString text;
        const int code = OpenFailure(n, *port, &text);
        return Fail(n, code, text, json);
    }

    std::vector<quint8> status(CSerialPort::RESPONSE_BUFFER_SIZE);
    std::vector<quint8> version(CSerialPort::RESPONSE_BUFFER_SIZE);
    if (!port->RequestStatus(status.data()))
        return Fail(n, DIAG_NOT_ANSWERING, NotAnswering(n, *port, "status"), json);
    const int statusLen = port->DecodedLength() - 2;
    if (!port->RequestVersion(version.data()))
        return Fail(n, DIAG_NOT_ANSWERING, NotAnswering(n, *port, "version"), json);
    const int versionLen = port->DecodedLength() - 2;
    // A failed PRL or ERI request shows 65535, as the version list does.
    const quint16 prl0 = port->ReadPrlVersion(0);
    const quint16 prl1 = port->ReadPrlVersion(1);
    const quint16 eri = port->ReadEriVersion();
    port->Close();

    const QStringList values = StatusValueTexts(status.data(), statusLen);
    const SVersionTexts v = VersionTexts(version.data(), versionLen);
    const QString col1[5] = {v.strCompileDate, v.strReleaseDate, v.strSwVersion, v.strSlotCycle,
                             PrlVersionText(prl0, prl1)};
    const QString col3[5] = {v.strCompileTime, v.strReleaseTime, v.strMobileModel, v.strMsmVersion,
                             EriVersionText(eri)};
    if (json) {
        QJsonObject document{{QStringLiteral("port"), n}};
        for (int row = 0; row < 11; ++row)
            document.insert(QLatin1String(STATUS_KEYS[row]), values.value(row));
        for (int row = 0; row < 5; ++row) {
            document.insert(QLatin1String(VERSION_KEYS[row][0]), col1[row]);
            document.insert(QLatin1String(VERSION_KEYS[row][1]), col3[row]);
        }
        PrintJson(document);
        return DIAG_OK;
    }
    for (int row = 0; row < 11; ++row)
        PrintLine(Label(STATUS_ROW_LABELS[row]) + QStringLiteral(": ") + values.value(row));
    for (int row = 0; row < 5; ++row) {
        PrintLine(Label(VERSION_COL0_LABELS[row]) + QStringLiteral(": ") + col1[row]);
        PrintLine(Label(VERSION_COL2_LABELS[row]) + QStringLiteral(": ") + col3[row]);
    }
    return DIAG_OK;
}
