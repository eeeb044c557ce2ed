#include "DiagCommands.h"

#include "serial/PortDiscovery.h"

#include <QJsonArray>
#include <QJsonObject>

// One line per port: "COM<n> <device path> handset=yes|no <friendly name>", sorted by number.
// The name comes last because it holds blanks.
int RunPorts(const QStringList& args, bool json)
{
    if (!args.isEmpty()) {
        PrintError(QStringLiteral("ports takes no arguments"));
        return DIAG_USAGE;
    }
    QList<CPortInfo> ports;
    QString error;
    if (!EnumerateSerialPorts(ports, &error))
        PrintError(error); // the virtual ports are still listed
    QJsonArray list;
    for (const CPortInfo& p : ports) {
        const bool handset = IsHandsetPortName(p.m_strFriendlyName);
        if (json) {
            list.append(QJsonObject{{QStringLiteral("port"), p.m_strPortName},
                                    {QStringLiteral("number"), CPortList::ParsePortName(p.m_strPortName)},
                                    {QStringLiteral("device"), p.m_strDevPath},
                                    {QStringLiteral("handset"), handset},
                                    {QStringLiteral("usb"), p.m_bUsbDevice != 0},
                                    {QStringLiteral("name"), p.m_strFriendlyName}});
            continue;
        }
        PrintLine(QStringLiteral("%1 %2 handset=%3 %4")
                      .arg(p.m_strPortName, p.m_strDevPath,
                           handset ? QStringLiteral("yes") : QStringLiteral("no"), p.m_strFriendlyName));
    }
    if (json)
        PrintJson(QJsonObject{{QStringLiteral("ports"), list}});
    return DIAG_OK;
}
