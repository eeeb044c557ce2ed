#include "PortRefusal.h"

#include "serial/SerialPort.h"

#include <algorithm>
#include <cstring>

namespace {

void CopyText(char* to, size_t size, const QString& text)
{
    QByteArray b = text.toUtf8();
    // Cut on a whole character: never inside a UTF-8 sequence.
    qsizetype n = std::min<qsizetype>(b.size(), static_cast<qsizetype>(size) - 1);
    while (n > 0 && n < b.size() && (static_cast<quint8>(b.at(n)) & 0xC0) == 0x80)
        --n;
    std::memcpy(to, b.constData(), static_cast<size_t>(n));
    to[n] = '\0';
}

QString FromField(const char* field, size_t size)
{
    return QString::fromUtf8(field, static_cast<qsizetype>(::strnlen(field, size)));
}

const QString AGAIN = QStringLiteral("then choose the port again with Select Port.");

} // namespace

bool MakePortRefusal(const CSerialPort& port, int portNumber, SPortRefusal& out)
{
    const CSerialDevice::EError error = port.LastError();
    if (error != CSerialDevice::SERIAL_BUSY && error != CSerialDevice::SERIAL_PERMISSION_DENIED)
        return false;
    out = SPortRefusal();
    out.nPort = portNumber;
    out.nError = error;
    CopyText(out.szDevice, sizeof out.szDevice, port.LastErrorDevice());
    CopyText(out.szDetail, sizeof out.szDetail, port.LastErrorDetail());
    return true;
}

QString RefusalDevice(const SPortRefusal& r)
{
    return FromField(r.szDevice, sizeof r.szDevice);
}

QString RefusalDetail(const SPortRefusal& r)
{
    return FromField(r.szDetail, sizeof r.szDetail);
}

QString PortRefusalMessage(const SPortRefusal& r)
{
    const QString port = QStringLiteral("COM%1 (%2)").arg(r.nPort).arg(RefusalDevice(r));
    const QString detail = RefusalDetail(r);
    if (r.nError == CSerialDevice::SERIAL_BUSY) {
        const QString who = detail.isEmpty() ? QString() : QStringLiteral(": ") + detail;
        return QStringLiteral("%1 is in use by another program%2.\nClose that program, %3")
            .arg(port, who, AGAIN);
    }
    if (!detail.isEmpty())
        return QStringLiteral("You may not use %1: your user is not in the group %2.\n"
                              "Add it (sudo usermod -aG %2 $USER) and log in again, %3")
            .arg(port, detail, AGAIN);
    return QStringLiteral("You may not use %1.\nA udev rule must give the port to the logged-in user "
                          "(TAG+=\"uaccess\"), or the administrator must grant access; %2")
        .arg(port, AGAIN);
}

QString PortRefusalPaneText(const SPortRefusal& r)
{
    return QStringLiteral("PORT : COM%1 %2")
        .arg(r.nPort)
        .arg(r.nError == CSerialDevice::SERIAL_BUSY ? QStringLiteral("busy")
                                                    : QStringLiteral("not permitted"));
}
