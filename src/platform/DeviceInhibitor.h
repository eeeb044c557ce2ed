#pragma once
// Keeps another program of the system off a serial device while an operation uses it.
#include <QString>

class IDeviceInhibitor
{
public:
    virtual ~IDeviceInhibitor() = default;
    // Asks to leave the device at devicePath alone until Release (a request still held is released
    // first). False when nobody needed asking or the request failed; the operation goes on anyway.
    virtual bool Inhibit(const QString& devicePath) = 0;
    // Ends the request of the last successful Inhibit; nothing when none is held.
    virtual void Release() = 0;
};
