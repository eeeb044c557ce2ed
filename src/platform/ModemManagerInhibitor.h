#pragma once
// ModemManager probes a CDMA handset's port with its own requests and holds it exclusively; while
// an operation runs, it is asked to leave the handset alone. Only when it runs on the system bus:
// without it nothing is sent and nothing changes.
//
//   1. NameHasOwner("org.freedesktop.ModemManager1")   a stopped service is never started
//   2. GetManagedObjects on /org/freedesktop/ModemManager1: the modem whose Ports list the tty
//      (its name below /dev, "ttyACM0") gives its Device property, the uid InhibitDevice wants;
//      without such a modem, the sysfs path of the tty's USB device (ModemManager's default uid)
//   3. InhibitDevice(uid, true); Release sends InhibitDevice(uid, false)
// ModemManager also drops the request by itself when this process leaves the bus, so a program
// that ends without Release leaves nothing behind.
//
// Calls block the calling thread for at most a few seconds (ModemManager closes its ports before
// it answers). User-interface thread or a command-line tool's main thread only.
#include "DeviceInhibitor.h"

class CModemManagerInhibitor final : public IDeviceInhibitor
{
public:
    CModemManagerInhibitor() = default;
    ~CModemManagerInhibitor() override;
    CModemManagerInhibitor(const CModemManagerInhibitor&) = delete;
    CModemManagerInhibitor& operator=(const CModemManagerInhibitor&) = delete;

    bool Inhibit(const QString& devicePath) override;
    void Release() override;

private:
    QString m_strUid; // the uid of the request held, "" when none
};
