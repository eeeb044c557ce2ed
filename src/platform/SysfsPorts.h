#pragma once
// Serial devices as the kernel lists them in sysfs. Nothing here opens a device node.
//
//   <root>/class/tty/<name>           one entry per tty (normally a link into <root>/devices/...)
//   <root>/class/tty/<name>/device    link to the parent device; consoles, ptys and virtual
//                                     terminals have none and are no serial ports
//   <root>/class/tty/<name>/type      serial-core port type, the value TIOCGSERIAL reports, read
//                                     without opening the device; "0" (unknown) is a UART slot
//                                     without hardware
//   <root>/class/tty/console/active   the ttys the kernel writes its console to (never offered)
//   <root>/class/tty/<name>/dev       "<major>:<minor>" of the device node
//   <USB device>/manufacturer, product, idVendor, idProduct, dev
//                                     the nearest ancestor of the parent device that has idVendor
//
// The root is "/sys" unless QPX_SYSFS_ROOT or SetSysfsRoot() names another folder; tests point it
// at a fake tree so they never see the machine's real ports.
#include <QList>
#include <QString>

struct SSysfsTty
{
    QString strName;    // kernel name, e.g. "ttyUSB0"
    QString strDevNode; // "/dev/" + name
    QString strDriver;  // driver of the parent device ("cdc_acm", "option1", "serial8250"), may be empty
    bool bUsb = false;  // the parent sits below a USB device
    QString strManufacturer, strProduct, strVendorId, strProductId; // USB texts, trimmed
    QString strDevNumber;    // "<major>:<minor>" of the tty, may be empty
    QString strUsbPath;      // the USB device as the kernel names it ("/sys/devices/..."), or ""
    QString strUsbDevNumber; // "<major>:<minor>" of the USB device, may be empty
};

// "" restores the default (QPX_SYSFS_ROOT, else "/sys").
void SetSysfsRoot(const QString& root);
QString SysfsRoot();

// Every tty that is a usable serial port, sorted by kernel name. False (with an errno value in
// *errorCode when given) when <root>/class/tty cannot be read.
bool EnumerateSysfsTtys(QList<SSysfsTty>& ttys, int* errorCode = nullptr);

// One tty by kernel name; false when it does not exist or is not a usable serial port.
bool ReadSysfsTty(const QString& name, SSysfsTty& tty);
