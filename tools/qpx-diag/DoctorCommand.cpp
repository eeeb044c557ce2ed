// qpx-diag doctor: checks what the program needs of this system and says, one line per check,
// what is wrong and the exact fix. Each check is "ok", "warning" (the program works, but something
// will get in its way) or "error" (the program cannot start or cannot reach a handset).
//
//   install       LOCATE_DIRECTORY set, the folder there, MODEL/ in it              error
//   log           LOG/ writable (or creatable)                                       warning
//   lock          the single-instance lock free (who holds it)                       warning
//   ports         a handset port present                                             warning
//   access        per handset port: this user may open it (group, uaccess rule)      error
//   busy          per handset port: no other process holds it (from /proc)           warning
//   modemmanager  ModemManager running and a USB handset without ID_MM_DEVICE_IGNORE  warning
//   brltty        brltty running, or its rules claiming a USB handset present        warning
#include "DiagCommands.h"

#include "platform/DeviceHolders.h"
#include "platform/Registry.h"
#include "platform/SingleInstance.h"
#include "platform/SysfsPorts.h"
#include "platform/SystemProbe.h"
#include "platform/VirtualPorts.h"
#include "serial/PortDiscovery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

namespace {

enum ELevel
{
    LEVEL_OK,
    LEVEL_WARNING,
    LEVEL_ERROR
};

struct SCheck
{
    QString strCheck;   // stable name of the check
    QString strSubject; // "COM<n>" for the checks of one port, else ""
    ELevel level = LEVEL_OK;
    QString strText;
    QString strFix;
};

const char* const LEVEL_NAMES[] = {"ok", "warning", "error"};

// The rules file a shop writes its own handsets into; the packaged 70-kova-qpx.rules must keep
// its name alone, as a file of the same name in /etc would hide it.
constexpr char LOCAL_RULES[] = "/etc/udev/rules.d/70-kova-qpx-local.rules";
constexpr char RELOAD_RULES[] = "sudo udevadm control --reload && sudo udevadm trigger";

QString RuleLine(const SSysfsTty& tty)
{
    return QStringLiteral("SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"%1\", ATTRS{idProduct}==\"%2\", "
                          "TAG+=\"uaccess\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"")
        .arg(tty.strVendorId, tty.strProductId);
}

QString AddRuleFix(const SSysfsTty& tty)
{
    return QStringLiteral("add the line '%1' to %2, then %3")
        .arg(RuleLine(tty), QLatin1String(LOCAL_RULES), QLatin1String(RELOAD_RULES));
}

QString HoldersText(const QList<SDeviceHolder>& holders)
{
    QStringList parts;
    for (const SDeviceHolder& h : holders)
        parts << QStringLiteral("%1 (process %2)")
                     .arg(h.strName.isEmpty() ? QStringLiteral("unnamed") : h.strName)
                     .arg(h.nPid);
    return parts.join(QStringLiteral(", "));
}

// A present handset port with what the checks need of it.
struct SHandsetPort
{
    int nNumber = -1;
    QString strName; // "COM<n>"
    QString strDevice;
    bool bVirtual = false;
    bool bSysfs = false; // a real tty that sysfs describes
    SSysfsTty tty;
};

class CDoctor
{
public:
    QList<SCheck> checks;

    void Add(const char* check, const QString& subject, ELevel level, const QString& text,
             const QString& fix = QString())
    {
        checks.append({QLatin1String(check), subject, level, text, fix});
    }

    void CheckInstall()
    {
        const QString conf = RegUserFilePath();
        QString dir = RegReadString(QPX_REG_KEY, "LOCATE_DIRECTORY", HKEY_LOCAL_MACHINE);
        if (dir.isEmpty()) {
            Add("install", {}, LEVEL_ERROR,
                QStringLiteral("LOCATE_DIRECTORY is not set, so the program does not start."),
                QStringLiteral("start the program once through its qpx launcher, or write "
                               "LOCATE_DIRECTORY=<installation folder>/ under [General] in %1")
                    .arg(conf));
            return;
        }
        if (!dir.endsWith(QLatin1Char('/')))
            dir += QLatin1Char('/');
        if (!QFileInfo(dir).isDir()) {
            Add("install", {}, LEVEL_ERROR,
                QStringLiteral("LOCATE_DIRECTORY names %1, which is no folder.").arg(dir),
                QStringLiteral("correct LOCATE_DIRECTORY in %1, or make the folder: mkdir -p %2MODEL")
                    .arg(conf, dir));
            return;
        }
        m_strInstall = dir;
        if (!QFileInfo(dir + QStringLiteral("MODEL")).isDir()) {
            Add("install", {}, LEVEL_ERROR,
                QStringLiteral("%1 holds no MODEL/ folder, so no model plug-in can be found.").arg(dir),
                QStringLiteral("mkdir -p %1MODEL and copy the model plug-ins (*.so) into it").arg(dir));
            return;
        }
        Add("install", {}, LEVEL_OK, QStringLiteral("LOCATE_DIRECTORY %1 holds MODEL/.").arg(dir));
    }

    void CheckLog()
    {
        if (m_strInstall.isEmpty())
            return;
        const QString log = m_strInstall + QStringLiteral("LOG");
        const QFileInfo info(log);
        if (info.exists() ? CanWriteFolder(log) : CanWriteFolder(m_strInstall)) {
            Add("log", {}, LEVEL_OK, QStringLiteral("%1/ is writable.").arg(log));
            return;
        }
        QString fix;
        if (info.exists() && !info.isDir())
            fix = QStringLiteral("move the file %1 aside; the program makes the folder").arg(log);
        else if (info.exists())
            fix = QStringLiteral("sudo chown -R \"$USER\" %1").arg(log);
        else
            fix = QStringLiteral("sudo mkdir %1 && sudo chown \"$USER\" %1").arg(log);
        Add("log", {}, LEVEL_WARNING,
            QStringLiteral("%1/ is not writable, so the program log and the operation log are lost.")
                .arg(log),
            fix);
    }

    void CheckLock()
    {
        const QString name = QStringLiteral("VORTANE_MM");
        const CSingleInstanceLock lock(name);
        if (!lock.IsHeldElsewhere()) {
            Add("lock", {}, LEVEL_OK, QStringLiteral("No copy of the program is running."));
            return;
        }
        const QString path = CSingleInstanceLock::LockPath(name);
        const QString who = HoldersText(FindDeviceHolders(path));
        Add("lock", {}, LEVEL_WARNING,
            QStringLiteral("The program is running: %1 holds its lock %2.")
                .arg(who.isEmpty() ? QStringLiteral("another process") : who, path),
            QStringLiteral(
                "close that copy before starting another; qpx-diag cannot use the port it is connected "
                "to"));
    }

    void CollectPorts()
    {
        QList<CPortInfo> ports;
        EnumerateSerialPorts(ports);
        for (const CPortInfo& info : ports) {
            if (!IsHandsetPortName(info.m_strFriendlyName))
                continue;
            SHandsetPort port;
            port.strName = info.m_strPortName;
            port.nNumber = CPortList::ParsePortName(info.m_strPortName);
            port.strDevice = info.m_strDevPath;
            SVirtualPort virt;
            port.bVirtual = ReadVirtualPort(port.nNumber, virt);
            if (!port.bVirtual && port.strDevice.startsWith(QLatin1String("/dev/")))
                port.bSysfs = ReadSysfsTty(port.strDevice.mid(5), port.tty);
            m_ports.append(port);
        }
        if (m_ports.isEmpty())
            Add("ports", {}, LEVEL_WARNING, QStringLiteral("No handset port is present."),
                QStringLiteral(
                    "plug the handset in with its data cable and turn it on; \"qpx-diag ports\" lists "
                    "every serial port"));
        else {
            QStringList names;
            for (const SHandsetPort& port : std::as_const(m_ports))
                names << port.strName;
            Add("ports", {}, LEVEL_OK,
                QStringLiteral("Handset ports present: %1.").arg(names.join(QStringLiteral(", "))));
        }
    }

    void CheckAccess(const SHandsetPort& port)
    {
        const QString what = QStringLiteral("%1 (%2)").arg(port.strName, port.strDevice);
        if (!QFileInfo::exists(port.strDevice)) {
            Add("access", port.strName, LEVEL_ERROR,
                QStringLiteral("%1: the device node is missing.").arg(what),
                QStringLiteral("plug the handset in again; \"sudo dmesg\" tells what the kernel saw"));
            return;
        }
        if (CanReadWrite(port.strDevice)) {
            Add("access", port.strName, LEVEL_OK, QStringLiteral("%1: this user may open it.").arg(what));
            return;
        }
        bool member = false;
        const QString group = GroupOfFile(port.strDevice, &member);
        QStringList fixes;
        if (!group.isEmpty() && group != QLatin1String("root") && !member)
            fixes << QStringLiteral("sudo usermod -aG %1 \"$USER\", then log out and in again").arg(group);
        if (port.bSysfs && port.tty.bUsb && !port.tty.strVendorId.isEmpty())
            fixes << QStringLiteral("or, for whoever sits at the machine without a group, ") +
                         AddRuleFix(port.tty);
        if (fixes.isEmpty())
            fixes << QStringLiteral(
                         "sudo chmod a+rw %1 (until the device comes again), or ask the administrator")
                         .arg(port.strDevice);
        Add("access", port.strName, LEVEL_ERROR,
            QStringLiteral("%1: this user may not open it%2.")
                .arg(what, group.isEmpty() ? QString() : QStringLiteral(" (group %1)").arg(group)),
            fixes.join(QStringLiteral("; ")));
    }

    void CheckBusy(const SHandsetPort& port)
    {
        QList<SDeviceHolder> holders = FindDeviceHolders(port.strDevice);
        if (port.bVirtual) {
            // The publisher of a virtual port keeps its other end open: no user of it.
            const QList<SDeviceHolder> publishers = FindDeviceHolders(VirtualPortLockPath(port.nNumber));
            holders.erase(std::remove_if(holders.begin(), holders.end(),
                                         [&](const SDeviceHolder& h) {
                                             return std::any_of(
                                                 publishers.cbegin(), publishers.cend(),
                                                 [&](const SDeviceHolder& p) { return p.nPid == h.nPid; });
                                         }),
                          holders.end());
        }
        if (holders.isEmpty()) {
            Add("busy", port.strName, LEVEL_OK, QStringLiteral("%1 is free.").arg(port.strName));
            return;
        }
        const SDeviceHolder& first = holders.first();
        QString fix;
        if (first.strName == QLatin1String("ModemManager"))
            fix = port.bSysfs && port.tty.bUsb
                      ? QStringLiteral("ModemManager probes the handset: ") + AddRuleFix(port.tty)
                      : QStringLiteral("sudo systemctl stop ModemManager");
        else if (first.strName == QLatin1String("brltty"))
            fix = QStringLiteral("sudo apt-get remove brltty (if no braille display is used)");
        else if (first.strName == QLatin1String("qpx"))
            fix = QStringLiteral("the program is connected to it: use its pages, or close it first");
        else
            fix = QStringLiteral("close %1, or end it: kill %2").arg(first.strName).arg(first.nPid);
        Add("busy", port.strName, LEVEL_WARNING,
            QStringLiteral("%1 is busy: held by %2.").arg(port.strName, HoldersText(holders)), fix);
    }

    void CheckModemManager()
    {
        const QList<SDeviceHolder> mm = FindProcessesNamed(QStringLiteral("ModemManager"));
        if (mm.isEmpty()) {
            Add("modemmanager", {}, LEVEL_OK, QStringLiteral("ModemManager is not running."));
            return;
        }
        bool usb = false;
        for (const SHandsetPort& port : std::as_const(m_ports)) {
            if (!port.bSysfs || !port.tty.bUsb)
                continue;
            usb = true;
            const QString key = QStringLiteral("ID_MM_DEVICE_IGNORE");
            if (UdevProperty(port.tty.strDevNumber, key) == QLatin1String("1") ||
                UdevProperty(port.tty.strUsbDevNumber, key) == QLatin1String("1")) {
                Add("modemmanager", port.strName, LEVEL_OK,
                    QStringLiteral("ModemManager leaves %1 alone (ID_MM_DEVICE_IGNORE).").arg(port.strName));
                continue;
            }
            Add("modemmanager", port.strName, LEVEL_WARNING,
                QStringLiteral(
                    "ModemManager (process %1) is running and no rule tells it to leave %2 (%3:%4) "
                    "alone: it probes the handset and holds the port for seconds.")
                    .arg(mm.first().nPid)
                    .arg(port.strName, port.tty.strVendorId, port.tty.strProductId),
                AddRuleFix(port.tty));
        }
        if (!usb)
            Add("modemmanager", {}, LEVEL_OK,
                QStringLiteral("ModemManager is running; no USB handset is present."));
    }

    void CheckBrltty()
    {
        const QStringList rules = UdevRulesFiles(QStringLiteral("brltty"));
        QByteArray text;
        for (const QString& file : rules) {
            QFile f(file);
            if (f.open(QIODevice::ReadOnly))
                text += f.read(1 << 20).toLower() + '\n';
        }
        bool claimed = false;
        for (const SHandsetPort& port : std::as_const(m_ports)) {
            if (!port.bSysfs || !port.tty.bUsb || !Claims(text, port.tty))
                continue;
            claimed = true;
            Add("brltty", port.strName, LEVEL_WARNING,
                QStringLiteral("brltty's rules claim %1 (%2:%3) as a braille display and take the port away.")
                    .arg(port.strName, port.tty.strVendorId, port.tty.strProductId),
                QStringLiteral("sudo apt-get remove brltty (if no braille display is used)"));
        }
        if (claimed)
            return;
        const QList<SDeviceHolder> running = FindProcessesNamed(QStringLiteral("brltty"));
        if (!running.isEmpty())
            Add("brltty", {}, LEVEL_WARNING,
                QStringLiteral(
                    "brltty (process %1) is running: it claims common USB serial adapters as braille "
                    "displays.")
                    .arg(running.first().nPid),
                QStringLiteral("sudo apt-get remove brltty (if no braille display is used)"));
        else
            Add("brltty", {}, LEVEL_OK, QStringLiteral("brltty claims no handset port."));
    }

    void Run()
    {
        CheckInstall();
        CheckLog();
        CheckLock();
        CollectPorts();
        for (const SHandsetPort& port : std::as_const(m_ports)) {
            CheckAccess(port);
            CheckBusy(port);
        }
        CheckModemManager();
        CheckBrltty();
    }

private:
    // brltty's rules name a device as ENV{PRODUCT}=="<vid>/<pid>/*" (hexadecimal without leading
    // zeros) or with idVendor and idProduct on one line.
    static bool Claims(const QByteArray& rules, const SSysfsTty& tty)
    {
        bool okV = false, okP = false;
        const uint vid = tty.strVendorId.toUInt(&okV, 16);
        const uint pid = tty.strProductId.toUInt(&okP, 16);
        if (!okV || !okP)
            return false;
        if (rules.contains("\"" + QByteArray::number(vid, 16) + '/' + QByteArray::number(pid, 16) + '/'))
            return true;
        const QByteArray v = "idvendor}==\"" + tty.strVendorId.toLower().toLatin1() + '"';
        const QByteArray p = "idproduct}==\"" + tty.strProductId.toLower().toLatin1() + '"';
        for (const QByteArray& line : rules.split('\n')) {
            if (line.contains(v) && line.contains(p))
                return true;
        }
        return false;
    }

    QString m_strInstall; // with its "/", "" when unusable
    QList<SHandsetPort> m_ports;
};

} // namespace

int RunDoctor(const QStringList& args, bool json)
{
    if (!args.isEmpty()) {
        PrintError(QStringLiteral("doctor takes no arguments"));
        return DIAG_USAGE;
    }
    CDoctor doctor;
    doctor.Run();
    int warnings = 0, errors = 0;
    QJsonArray list;
    for (const SCheck& c : std::as_const(doctor.checks)) {
        warnings += c.level == LEVEL_WARNING ? 1 : 0;
        errors += c.level == LEVEL_ERROR ? 1 : 0;
        const QString level = QLatin1String(LEVEL_NAMES[c.level]);
        if (json)
            list.append(QJsonObject{{QStringLiteral("check"), c.strCheck},
                                    {QStringLiteral("subject"), c.strSubject},
                                    {QStringLiteral("level"), level},
                                    {QStringLiteral("text"), c.strText},
                                    {QStringLiteral("fix"), c.strFix}});
        else
            PrintLine(level + QStringLiteral(": ") + c.strText +
                      (c.strFix.isEmpty() ? QString() : QStringLiteral(" Fix: ") + c.strFix));
    }
    const int code = errors > 0 ? DOCTOR_ERRORS : warnings > 0 ? DOCTOR_WARNINGS : DOCTOR_OK;
    if (json)
        PrintJson(QJsonObject{{QStringLiteral("exitCode"), code},
                              {QStringLiteral("errors"), errors},
                              {QStringLiteral("warnings"), warnings},
                              {QStringLiteral("checks"), list}});
    return code;
}
