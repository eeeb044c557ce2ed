#pragma once
// COM port discovery: the serial ports present, each with a COM number 1..256 (the program's port
// identity everywhere), a device path and a friendly name that ends in "(COM<n>)".
//
// Sources: real ttys from sysfs (platform/SysfsPorts.h) and virtual ports from the virtual-port
// folder (platform/VirtualPorts.h).
//
// COM numbers (also in docs/ports.md):
//   1. A virtual port COM<n> has the number n. Virtual ports win: no real port is given a number
//      that a live virtual port holds, and a real tty that a virtual port links to is listed once,
//      as the virtual port.
//   2. A real tty has a preferred number fixed by its kernel name alone:
//          ttyS<k>    k 0..7    COM1  + k   (COM1..COM8, built-in UARTs)
//          ttyUSB<k>  k 0..31   COM33 + k   (COM33..COM64, USB serial converters and modems)
//          ttyACM<k>  k 0..31   COM65 + k   (COM65..COM96, USB CDC modems)
//      The kernel never renames a tty while its device stays plugged in, so this number is stable;
//      COM9..COM32 are left to virtual ports (the simulator starts at COM20).
//   3. Every other tty, and a tty whose preferred number a virtual port holds, gets an overflow
//      number: the highest free one counting down from COM254 (the last port the COM port page can
//      offer), handed out in kernel-name order. An overflow number, once given, is kept by this
//      process while the tty stays present.
//
// Friendly names: virtual ports use the text of COM<n>.name (default "Virtual Serial Port"); USB
// ttys "<manufacturer> <product>", with " USB Serial Port" added when that holds no "USB"
// (so the handset filter of CollectHandsetPorts keeps its meaning); built-in UARTs
// "Communications Port"; others "<driver> Serial Port". " (COM<n>)" is appended to each.
//
// Callers: the user-interface thread (lists, device changes), the connection worker (through the
// serial driver's path resolver) and command-line tools; every function is safe from any thread.
#include "PortInfo.h"
#include "PortList.h"

#include <QList>
#include <QString>

// The highest COM number the port selection page offers, and so the top of the overflow area.
constexpr int MAX_SELECTABLE_PORT = 254;

// Fills ports (emptied first) with every port present, sorted by COM number. False, with a message
// in *error, when the serial devices cannot be listed (the virtual ports are still filled in).
bool EnumerateSerialPorts(QList<CPortInfo>& ports, QString* error = nullptr);

// Appends the number of every port found (no duplicate check; the list is not emptied first).
// A failed enumeration is logged and counts as no ports.
void CollectAllPorts(CPortList& list);
// The same, only for ports whose friendly name contains "CDMA", "MCCI" or "USB".
void CollectHandsetPorts(CPortList& list);

// The collectors' rule: the decimal number between the first "COM" of a friendly name and the
// first ")" after it, when it lies in 1..256; else -1.
int PortNumberOfFriendlyName(const QString& friendlyName);
// True when a friendly name marks a handset port ("CDMA", "MCCI" or "USB", case-sensitive).
bool IsHandsetPortName(const QString& friendlyName);

// Device path of COM n as found now; "" when no such port is present.
QString DevicePathOfPort(int n);

// "COM<n>" of a real tty (kernel name) present now; "" when it is no serial port.
QString PortNameOfTty(const QString& kernelName);

// The fixed preferred number of a kernel name (rule 2); -1 when it has none.
int PreferredPortNumber(const QString& kernelName);

// Appends the record unless one with the same friendly name is there; true if appended.
bool AddPortRecord(QList<CPortInfo>& ports, const CPortInfo& record);

// Makes the serial driver map COM numbers to device paths with DevicePathOfPort. Call once at
// start-up, before the first port is opened.
void InstallPortPathResolver();
