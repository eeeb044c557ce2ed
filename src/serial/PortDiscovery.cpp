#include "PortDiscovery.h"

#include "SerialPort.h"

#include "platform/SysfsPorts.h"
#include "platform/VirtualPorts.h"

#include <QHash>
#include <QLoggingCategory>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>

#include <algorithm>
#include <cstring>

namespace {
Q_LOGGING_CATEGORY(lcPorts, "qpx.serial.ports")

constexpr int MIN_PORT = 1;
constexpr int MAX_PORT = 256;

// Overflow numbers this process has handed out, by kernel name (rule 3 of the header). The serial
// driver resolves port numbers on the connection worker while the user-interface thread may be
// enumerating, hence the lock.
QMutex g_overflowLock;
QHash<QString, int>& OverflowNumbers()
{
    static QHash<QString, int> numbers;
    return numbers;
}

struct SFamily
{
    const char* pszPrefix;
    int nFirst; // COM number of index 0
    int nCount;
};
constexpr SFamily FAMILIES[] = {
    {"ttyS", 1, 8},
    {"ttyUSB", 33, 32},
    {"ttyACM", 65, 32},
};

QString WithPortSuffix(QString base, int n)
{
    base = base.simplified();
    // A name file may already carry a "(COM<k>)" of its own: ours replaces it, so that the
    // collectors read the number this port really has.
    const int at = base.lastIndexOf(QLatin1String(" (COM"));
    if (at >= 0 && base.endsWith(QLatin1Char(')')))
        base.truncate(at);
    return QStringLiteral("%1 (COM%2)").arg(base).arg(n);
}

QString RealBaseName(const SSysfsTty& tty)
{
    if (tty.bUsb) {
        QString base = (tty.strManufacturer + QLatin1Char(' ') + tty.strProduct).simplified();
        if (base.isEmpty())
            base = QStringLiteral("%1:%2").arg(tty.strVendorId, tty.strProductId);
        if (!base.contains(QLatin1String("USB")))
            base += QStringLiteral(" USB Serial Port");
        return base;
    }
    if (tty.strName.startsWith(QLatin1String("ttyS")) || tty.strDriver.startsWith(QLatin1String("serial")) ||
        tty.strDriver == QLatin1String("port"))
        return QStringLiteral("Communications Port");
    if (!tty.strDriver.isEmpty())
        return tty.strDriver + QStringLiteral(" Serial Port");
    return QStringLiteral("Serial Port");
}

// The rule every enumeration ends with: no empty friendly name, and a description that is the
// friendly name without its " (...)" tail.
void FinishRecord(CPortInfo& info)
{
    if (info.m_strFriendlyName.isEmpty())
        info.m_strFriendlyName = info.m_strPortName;
    if (info.m_strPortDesc.isEmpty()) {
        info.m_strPortDesc = info.m_strFriendlyName;
        const int at = info.m_strPortDesc.indexOf(QLatin1String(" ("));
        if (at >= 1 && info.m_strPortDesc.endsWith(QLatin1Char(')')))
            info.m_strPortDesc.truncate(at);
    }
}

void Collect(CPortList& list, bool handsetsOnly)
{
    QList<CPortInfo> ports;
    QString error;
    if (!EnumerateSerialPorts(ports, &error))
        qCWarning(lcPorts).noquote() << error;
    for (const CPortInfo& info : ports) {
        if (handsetsOnly && !IsHandsetPortName(info.m_strFriendlyName))
            continue;
        const int n = PortNumberOfFriendlyName(info.m_strFriendlyName);
        if (n >= MIN_PORT)
            list.Append(n);
    }
}
} // namespace

int PreferredPortNumber(const QString& kernelName)
{
    for (const SFamily& family : FAMILIES) {
        const QLatin1String prefix(family.pszPrefix);
        if (!kernelName.startsWith(prefix) || kernelName.size() == prefix.size())
            continue;
        const QString digits = kernelName.mid(prefix.size());
        if (digits.size() > 3 || (digits.size() > 1 && digits.startsWith(QLatin1Char('0'))))
            return -1;
        bool ok = false;
        const int k = digits.toInt(&ok);
        // toInt accepts a sign; kernel names never carry one.
        if (!ok || !digits.at(0).isDigit() || k >= family.nCount)
            return -1;
        return family.nFirst + k;
    }
    return -1;
}

bool AddPortRecord(QList<CPortInfo>& ports, const CPortInfo& record)
{
    for (const CPortInfo& p : ports)
        if (p.m_strFriendlyName == record.m_strFriendlyName)
            return false;
    ports.append(record);
    return true;
}

bool EnumerateSerialPorts(QList<CPortInfo>& ports, QString* error)
{
    ports.clear();
    QList<CPortInfo> found;
    QSet<int> taken;
    QSet<QString> virtualTargets;

    for (const SVirtualPort& vp : ListVirtualPorts()) {
        CPortInfo info;
        info.m_strDevPath = vp.strTarget;
        info.m_strPortName = QStringLiteral("COM%1").arg(vp.nNumber);
        info.m_strFriendlyName = WithPortSuffix(
            vp.strName.isEmpty() ? QStringLiteral("Virtual Serial Port") : vp.strName, vp.nNumber);
        if (AddPortRecord(found, info)) {
            taken.insert(vp.nNumber);
            virtualTargets.insert(vp.strTarget);
        }
    }

    QList<SSysfsTty> ttys;
    int errorCode = 0;
    const bool listed = EnumerateSysfsTtys(ttys, &errorCode);
    if (!listed && error)
        *error = QStringLiteral("Could not list the serial devices in %1/class/tty. (err=%2)")
                     .arg(SysfsRoot())
                     .arg(errorCode, 0, 16);
    ttys.erase(std::remove_if(ttys.begin(), ttys.end(),
                              [&](const SSysfsTty& t) { return virtualTargets.contains(t.strDevNode); }),
               ttys.end());

    // Forget overflow numbers of ttys that have gone, and drop those a virtual port took since.
    QMutexLocker lock(&g_overflowLock);
    QHash<QString, int>& overflow = OverflowNumbers();
    QSet<QString> present;
    for (const SSysfsTty& t : ttys)
        present.insert(t.strName);
    for (auto it = overflow.begin(); it != overflow.end();) {
        if (!present.contains(it.key()) || taken.contains(it.value()))
            it = overflow.erase(it);
        else
            ++it;
    }

    // Preferred numbers first, so that an overflow number can never take one of them.
    QHash<QString, int> numbers;
    for (const SSysfsTty& t : ttys) {
        const int p = PreferredPortNumber(t.strName);
        if (p >= MIN_PORT && !taken.contains(p)) {
            numbers.insert(t.strName, p);
            taken.insert(p);
            overflow.remove(t.strName);
        }
    }
    for (auto it = overflow.cbegin(); it != overflow.cend(); ++it) {
        if (!taken.contains(it.value())) {
            numbers.insert(it.key(), it.value());
            taken.insert(it.value());
        }
    }
    for (const SSysfsTty& t : ttys) { // kernel-name order
        if (numbers.contains(t.strName))
            continue;
        int n = MAX_SELECTABLE_PORT;
        while (n >= MIN_PORT && taken.contains(n))
            --n;
        if (n < MIN_PORT)
            break; // every number the page can offer is in use
        numbers.insert(t.strName, n);
        overflow.insert(t.strName, n);
        taken.insert(n);
    }

    lock.unlock();

    for (const SSysfsTty& t : ttys) {
        const int n = numbers.value(t.strName, -1);
        if (n < MIN_PORT)
            continue;
        CPortInfo info;
        info.m_strDevPath = t.strDevNode;
        info.m_strPortName = QStringLiteral("COM%1").arg(n);
        info.m_strFriendlyName = WithPortSuffix(RealBaseName(t), n);
        info.m_bUsbDevice = t.bUsb ? 1 : 0;
        if (t.bUsb && !t.strProduct.isEmpty())
            info.m_strPortDesc = t.strProduct;
        AddPortRecord(found, info);
    }

    std::stable_sort(found.begin(), found.end(), [](const CPortInfo& a, const CPortInfo& b) {
        return CPortList::ParsePortName(a.m_strPortName) < CPortList::ParsePortName(b.m_strPortName);
    });
    for (CPortInfo& info : found)
        FinishRecord(info);
    ports = found;
    return listed;
}

int PortNumberOfFriendlyName(const QString& friendlyName)
{
    const int com = friendlyName.indexOf(QLatin1String("COM"));
    if (com < 0)
        return -1;
    const int close = friendlyName.indexOf(QLatin1Char(')'), com + 3);
    if (close < 0)
        return -1;
    const QString text = friendlyName.mid(com + 3, close - com - 3);
    if (text.isEmpty())
        return -1;
    // Converted like atoi: leading blanks, an optional sign, then the leading digits.
    int i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        negative = text.at(i++) == QLatin1Char('-');
    long long n = 0;
    for (; i < text.size() && text.at(i).isDigit() && n <= MAX_PORT; ++i)
        n = n * 10 + text.at(i).digitValue();
    if (negative)
        n = -n;
    return (n >= MIN_PORT && n <= MAX_PORT) ? static_cast<int>(n) : -1;
}

bool IsHandsetPortName(const QString& friendlyName)
{
    return friendlyName.contains(QLatin1String("CDMA")) || friendlyName.contains(QLatin1String("MCCI")) ||
           friendlyName.contains(QLatin1String("USB"));
}

void CollectAllPorts(CPortList& list)
{
    Collect(list, false);
}

void CollectHandsetPorts(CPortList& list)
{
    Collect(list, true);
}

QString DevicePathOfPort(int n)
{
    if (n < MIN_PORT || n > MAX_PORT)
        return {};
    // A virtual port needs no look at sysfs.
    SVirtualPort vp;
    if (ReadVirtualPort(n, vp))
        return vp.strTarget;
    QList<CPortInfo> ports;
    EnumerateSerialPorts(ports);
    for (const CPortInfo& info : ports)
        if (CPortList::ParsePortName(info.m_strPortName) == n)
            return info.m_strDevPath;
    return {};
}

QString PortNameOfTty(const QString& kernelName)
{
    SSysfsTty tty;
    if (!ReadSysfsTty(kernelName, tty))
        return {};
    QList<CPortInfo> ports;
    EnumerateSerialPorts(ports);
    for (const CPortInfo& info : ports)
        if (info.m_strDevPath == tty.strDevNode)
            return info.m_strPortName;
    return {};
}

void InstallPortPathResolver()
{
    CSerialPort::SetPathResolver(&DevicePathOfPort);
}
