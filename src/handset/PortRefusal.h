#pragma once
// A port the connection worker could not open because another program holds it or the user may
// not use it. The worker posts a copy of the record to the main frame (FS_PORT_REFUSED); the
// frame shows the pane text, tells the user once per port and reason, and writes the program log.
#include <QString>
#include <QtGlobal>

class CSerialPort;

struct SPortRefusal
{
    qint32 nPort = -1;
    qint32 nError = 0;       // CSerialDevice::SERIAL_BUSY or SERIAL_PERMISSION_DENIED
    char szDevice[256] = {}; // the device path, UTF-8, NUL-terminated
    char szDetail[256] = {}; // busy: the programs holding it; not permitted: the group the user lacks
};

// True (with the record filled) when the port's last failed open is one the user must hear of.
bool MakePortRefusal(const CSerialPort& port, int portNumber, SPortRefusal& out);

QString RefusalDevice(const SPortRefusal& r);
QString RefusalDetail(const SPortRefusal& r);

// What the user is told: what happened and what to do.
QString PortRefusalMessage(const SPortRefusal& r);
// The PORT pane while the refusal stands, e.g. "PORT : COM20 busy".
QString PortRefusalPaneText(const SPortRefusal& r);
