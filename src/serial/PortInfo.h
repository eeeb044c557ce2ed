#pragma once
// One serial port as port discovery found it.
#include <QString>
#include <QtGlobal>

class CPortInfo
{
public:
    QString m_strDevPath;      // path to open the port with (a /dev node, or a virtual port's target)
    QString m_strPortName;     // "COM<n>"
    QString m_strFriendlyName; // shown to users; always ends in "(COM<n>)"
    qint32 m_bUsbDevice = 0;   // 1 when the port belongs to a USB device
    QString m_strPortDesc;     // the friendly name without its "(COM<n>)" part, or the product text
};
