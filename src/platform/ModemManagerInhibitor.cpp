#include "ModemManagerInhibitor.h"

#include "SysfsPorts.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFileInfo>
#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcModem, "qpx.modem")

const QString SERVICE = QStringLiteral("org.freedesktop.ModemManager1");
const QString PATH = QStringLiteral("/org/freedesktop/ModemManager1");
const QString MODEM_INTERFACE = QStringLiteral("org.freedesktop.ModemManager1.Modem");
constexpr int LOOKUP_TIMEOUT_MS = 2000;
// ModemManager closes the ports of a modem it manages before it answers.
constexpr int INHIBIT_TIMEOUT_MS = 5000;

// The tty's name as ModemManager lists its ports: the device node below /dev ("ttyACM0").
QString TtyName(const QString& devicePath)
{
    QString node = QFileInfo(devicePath).canonicalFilePath();
    if (node.isEmpty())
        node = devicePath;
    return node.startsWith(QLatin1String("/dev/")) ? node.mid(5) : QFileInfo(node).fileName();
}

// Port names of a modem's "Ports" property, a(su).
QStringList PortNames(const QVariant& ports)
{
    QStringList names;
    if (!ports.canConvert<QDBusArgument>())
        return names;
    const QDBusArgument arg = ports.value<QDBusArgument>();
    arg.beginArray();
    while (!arg.atEnd()) {
        QString name;
        uint type = 0;
        arg.beginStructure();
        arg >> name >> type;
        arg.endStructure();
        names << name;
    }
    arg.endArray();
    return names;
}

// The Device of the exported modem that lists tty among its ports; "" when none does.
QString ModemDeviceOf(QDBusConnection& bus, const QString& tty)
{
    const QDBusMessage reply = bus.call(
        QDBusMessage::createMethodCall(SERVICE, PATH, QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                       QStringLiteral("GetManagedObjects")),
        QDBus::Block, LOOKUP_TIMEOUT_MS);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    // a{oa{sa{sv}}}: object -> interface -> properties.
    const QDBusArgument objects = reply.arguments().constFirst().value<QDBusArgument>();
    QString device;
    objects.beginMap();
    while (!objects.atEnd()) {
        QDBusObjectPath object;
        objects.beginMapEntry();
        objects >> object;
        objects.beginMap();
        while (!objects.atEnd()) {
            QString interface;
            QVariantMap properties;
            objects.beginMapEntry();
            objects >> interface >> properties;
            objects.endMapEntry();
            if (device.isEmpty() && interface == MODEM_INTERFACE &&
                PortNames(properties.value(QStringLiteral("Ports"))).contains(tty))
                device = properties.value(QStringLiteral("Device")).toString();
        }
        objects.endMap();
        objects.endMapEntry();
    }
    objects.endMap();
    return device;
}

QDBusMessage InhibitCall(const QString& uid, bool inhibit)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(SERVICE, PATH, SERVICE, QStringLiteral("InhibitDevice"));
    call << uid << inhibit;
    return call;
}

} // namespace

CModemManagerInhibitor::~CModemManagerInhibitor()
{
    Release();
}

bool CModemManagerInhibitor::Inhibit(const QString& devicePath)
{
    Release();
    if (devicePath.isEmpty())
        return false;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected() || bus.interface() == nullptr || !bus.interface()->isServiceRegistered(SERVICE))
        return false;
    const QString tty = TtyName(devicePath);
    QString uid = ModemDeviceOf(bus, tty);
    const bool exported = !uid.isEmpty();
    if (!exported) {
        SSysfsTty info;
        if (ReadSysfsTty(tty, info))
            uid = info.strUsbPath;
    }
    if (uid.isEmpty()) {
        qCDebug(lcModem) << "ModemManager knows no device for" << devicePath;
        return false;
    }
    const QDBusMessage reply = bus.call(InhibitCall(uid, true), QDBus::Block, INHIBIT_TIMEOUT_MS);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        // A device it does not manage (its rule tells it to ignore the handset) is refused too.
        if (exported)
            qCWarning(lcModem).noquote()
                << "ModemManager did not leave" << devicePath << "alone:" << reply.errorMessage();
        else
            qCDebug(lcModem).noquote()
                << "ModemManager does not manage" << uid << ":" << reply.errorMessage();
        return false;
    }
    qCDebug(lcModem).noquote() << QStringLiteral("ModemManager leaves %1 alone (%2)").arg(devicePath, uid);
    m_strUid = uid;
    return true;
}

void CModemManagerInhibitor::Release()
{
    if (m_strUid.isEmpty())
        return;
    const QString uid = m_strUid;
    m_strUid.clear();
    QDBusConnection bus = QDBusConnection::systemBus();
    const QDBusMessage reply = bus.call(InhibitCall(uid, false), QDBus::Block, LOOKUP_TIMEOUT_MS);
    if (reply.type() != QDBusMessage::ReplyMessage)
        qCWarning(lcModem).noquote() << "ModemManager did not take" << uid << "back:" << reply.errorMessage();
}
