#include "DiagCommands.h"

#include "serial/PortDiscovery.h"

// One line per port: "COM<n> <device path> handset=yes|no <friendly name>", sorted by number.
// The name comes last because it holds blanks.
int RunPorts(const QStringList& args)
{
    if (!args.isEmpty()) {
        PrintError(QStringLiteral("ports takes no arguments"));
        return DIAG_USAGE;
    }
    QList<CPortInfo> ports;
    QString error;
    if (!EnumerateSerialPorts(ports, &error))
        PrintError(error); // the virtual ports are still listed
    for (const CPortInfo& p : ports)
        PrintLine(
            QStringLiteral("%1 %2 handset=%3 %4")
                .arg(p.m_strPortName, p.m_strDevPath,
                     IsHandsetPortName(p.m_strFriendlyName) ? QStringLiteral("yes") : QStringLiteral("no"),
                     p.m_strFriendlyName));
    return DIAG_OK;
}
