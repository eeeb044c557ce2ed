#pragma once
// A private message bus started for one test (dbus-daemon, never the machine's system bus) and a
// ModemManager stand-in on it: it lists the modems a test gives it (ObjectManager) and records
// every InhibitDevice call. Point DBUS_SYSTEM_BUS_ADDRESS at Address() before the code under test
// first uses the system bus (child processes inherit it).
#include <QMutex>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>

#include <memory>

class CPrivateBus
{
public:
    // Starts dbus-daemon (killed with this object) and waits for its address; false when it cannot be
    // started.
    bool Start();
    QString Address() const { return m_strAddress; }

private:
    std::unique_ptr<QProcess> m_process;
    QString m_strAddress;
};

class CFakeModemManagerObject;

class CFakeModemManager
{
public:
    explicit CFakeModemManager(const QString& busAddress);
    ~CFakeModemManager();
    CFakeModemManager(const CFakeModemManager&) = delete;
    CFakeModemManager& operator=(const CFakeModemManager&) = delete;

    // Takes the name org.freedesktop.ModemManager1 and serves /org/freedesktop/ModemManager1.
    bool Register();
    // A modem whose Device property is device and whose Ports are the given tty names.
    void AddModem(const QString& device, const QStringList& ports);
    // Answers InhibitDevice with an error from now on (still recorded).
    void RefuseInhibit(bool refuse);
    // Every InhibitDevice call so far, "<uid> on" or "<uid> off", in order (any thread).
    QStringList Calls() const;

private:
    QString m_strConnection;
    QThread m_thread;
    CFakeModemManagerObject* m_pObject = nullptr;
};
