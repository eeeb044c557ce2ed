#include "PortList.h"

int CPortList::Find(int port) const
{
    return static_cast<int>(m_ports.indexOf(port));
}

int CPortList::GetAt(int index) const
{
    if (index < 0 || index >= m_ports.size())
        return -1;
    return m_ports.at(index);
}

bool CPortList::Remove(int port)
{
    const int i = Find(port);
    if (i < 0)
        return false;
    m_ports.removeAt(i);
    return true;
}

bool CPortList::AddUnique(int port)
{
    if (Find(port) >= 0)
        return false;
    m_ports.append(port);
    return true;
}

int CPortList::ParsePortName(const QString& name)
{
    const int at = name.indexOf(QLatin1String("COM"));
    if (at < 0)
        return -1;
    // Leading decimal digits after "COM"; nothing numeric gives 0.
    long long n = 0;
    for (int i = at + 3; i < name.size() && name.at(i).isDigit() && n <= 100000; ++i)
        n = n * 10 + name.at(i).digitValue();
    return (n >= 1 && n <= 256) ? static_cast<int>(n) : -1;
}
