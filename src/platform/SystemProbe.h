#pragma once
// What the doctor asks of the system besides ports (SysfsPorts.h) and processes
// (DeviceHolders.h): file access for this user, and udev's view of a device.
//
//   <udev root>/run/udev/data/c<major>:<minor>   udev's database entry of a character device;
//                                                 "E:KEY=VALUE" lines hold its properties
//   <udev root>/{etc,run,usr/lib,lib}/udev/rules.d   the rules folders, in udev's order
// The udev root is "/" unless QPX_UDEV_ROOT names another folder (tests).
#include <QString>
#include <QStringList>

// True when this user may read and write the file (as open(2) would decide; privileges count).
bool CanReadWrite(const QString& path);
// True when this user may create files in the folder.
bool CanWriteFolder(const QString& path);
// The name of the file's group ("" when it cannot be read); *member tells whether this user is in
// it.
QString GroupOfFile(const QString& path, bool* member);

QString UdevRoot();
// The value of a property udev recorded for the character device "<major>:<minor>"; "" when
// absent (no udev daemon, no such property).
QString UdevProperty(const QString& devNumber, const QString& key);
// Every rules file (full path) of the rules folders whose name contains part.
QStringList UdevRulesFiles(const QString& part);

// True when standard output is a terminal (a person watches it, not a script).
bool StdoutIsTerminal();
