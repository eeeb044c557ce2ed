#pragma once
// The ordered list of COM port numbers where a handset may be (theSettings.m_portList).
#include <QList>
#include <QString>

class CPortList
{
public:
    int GetCount() const { return static_cast<int>(m_ports.size()); }
    // Index of the first entry equal to the port, or -1.
    int Find(int port) const;
    // The entry at the index, or -1 when the index is out of range.
    int GetAt(int index) const;
    // Removes the first equal entry; true if one was removed.
    bool Remove(int port);
    // Appends the port unless present; true if appended.
    bool AddUnique(int port);
    void Append(int port) { m_ports.append(port); }
    void RemoveAll() { m_ports.clear(); }
    const QList<int>& Ports() const { return m_ports; }

    // The number after the first "COM" of a port name, when it lies in 1..256; else -1.
    static int ParsePortName(const QString& name);

private:
    QList<int> m_ports;
};
