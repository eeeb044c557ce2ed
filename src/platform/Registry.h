#pragma once
// The program's settings store, the key SOFTWARE\KOVA\QPX that the Reg* calls name.
// It is an INI file that QSettings reads: $XDG_CONFIG_HOME/KOVA/QPX.conf, every value a
// top-level key ([General]) named exactly like the value. /etc/xdg/KOVA/QPX.conf
// (or the first folder of $XDG_CONFIG_DIRS) is read as a read-only machine-wide fallback.
//
// Read rules: an absent value reads as "" or -1; strings are trimmed and a string of 256 bytes
// or more reads as empty; a number that does not parse as a 32-bit value reads as -1.
// Write failures are swallowed.
#include <QString>

enum class ERegRoot
{
    LocalMachine
};
constexpr ERegRoot HKEY_LOCAL_MACHINE = ERegRoot::LocalMachine;

inline constexpr const char* QPX_REG_KEY = "SOFTWARE\\KOVA\\QPX";

QString RegReadString(const char* keyPath, const char* valueName, ERegRoot root);
qint32 RegReadDword(const char* keyPath, const char* valueName);
void RegWriteString(const char* keyPath, const char* valueName, const QString& text, ERegRoot root);
void RegWriteDword(const char* keyPath, const char* valueName, qint32 value);

// The per-user settings file (for scripts and tests).
QString RegUserFilePath();
