#include "FakeModemManager.h"

#include "TestEnv.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QFile>
#include <QMutexLocker>

using namespace Qt::StringLiterals;

namespace {

struct SFakePort
{
    QString strName;
    uint nType = 0;
};

using FakePorts = QList<SFakePort>;
using FakeInterfaces = QMap<QString, QVariantMap>;
using FakeObjects = QMap<QDBusObjectPath, FakeInterfaces>;

} // namespace

Q_DECLARE_METATYPE(SFakePort)
Q_DECLARE_METATYPE(FakeInterfaces)
Q_DECLARE_METATYPE(FakeObjects)

namespace {

QDBusArgument& operator<<(QDBusArgument& a, const SFakePort& p)
{
    a.beginStructure();
    a << p.strName << p.nType;
    a.endStructure();
    return a;
}

const QDBusArgument& operator>>(const QDBusArgument& a, SFakePort& p)
{
    a.beginStructure();
    a >> p.strName >> p.nType;
    a.endStructure();
    return a;
}

constexpr char SERVICE[] = "org.freedesktop.ModemManager1";
constexpr char PATH[] = "/org/freedesktop/ModemManager1";
constexpr uint PORT_TYPE_AT = 3;

} // namespace

// Answers on the thread of the fake (ObjectManager and Manager interfaces of one path).
class CFakeModemManagerObject : public QDBusVirtualObject
{
public:
    mutable QMutex m_lock;
    FakeObjects m_objects;
    QStringList m_calls;
    bool m_bRefuse = false;

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        QDBusConnection bus(connection);
        QMutexLocker lock(&m_lock);
        if (message.member() == "GetManagedObjects"_L1) {
            bus.send(message.createReply(QVariant::fromValue(m_objects)));
            return true;
        }
        if (message.member() == "InhibitDevice"_L1 && message.arguments().size() == 2) {
            m_calls << message.arguments().at(0).toString() +
                           (message.arguments().at(1).toBool() ? u" on"_s : u" off"_s);
            bus.send(m_bRefuse
                         ? message.createErrorReply(u"org.freedesktop.ModemManager1.Error.Core.NotFound"_s,
                                                    u"No device found"_s)
                         : message.createReply());
            return true;
        }
        return false;
    }
};

bool CPrivateBus::Start()
{
    const QString dir = qpxtest::MakeTempDir(u"bus"_s);
    m_process = std::make_unique<QProcess>();
    m_process->start(u"dbus-daemon"_s,
                     {u"--session"_s, u"--address=unix:dir="_s + dir, u"--nofork"_s, u"--print-address"_s});
    if (!m_process->waitForStarted(10000))
        return false;
    m_strAddress = QString::fromUtf8(qpxtest::FirstLine(*m_process, 10000)).trimmed();
    return !m_strAddress.isEmpty();
}

CFakeModemManager::CFakeModemManager(const QString& busAddress) : m_strConnection(u"fake-modem-manager"_s)
{
    qDBusRegisterMetaType<SFakePort>();
    qDBusRegisterMetaType<FakePorts>();
    qDBusRegisterMetaType<FakeInterfaces>();
    qDBusRegisterMetaType<FakeObjects>();
    QDBusConnection::connectToBus(busAddress, m_strConnection);
    m_pObject = new CFakeModemManagerObject;
    m_thread.start();
    m_pObject->moveToThread(&m_thread);
}

CFakeModemManager::~CFakeModemManager()
{
    QDBusConnection(m_strConnection).unregisterObject(QString::fromLatin1(PATH));
    QDBusConnection::disconnectFromBus(m_strConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_pObject;
}

bool CFakeModemManager::Register()
{
    QDBusConnection bus(m_strConnection);
    return bus.isConnected() && bus.registerVirtualObject(QString::fromLatin1(PATH), m_pObject) &&
           bus.registerService(QString::fromLatin1(SERVICE));
}

void CFakeModemManager::AddModem(const QString& device, const QStringList& ports)
{
    FakePorts list;
    for (const QString& p : ports)
        list.append({p, PORT_TYPE_AT});
    QVariantMap properties;
    properties.insert(u"Device"_s, device);
    properties.insert(u"Ports"_s, QVariant::fromValue(list));
    QMutexLocker lock(&m_pObject->m_lock);
    const QDBusObjectPath path(u"/org/freedesktop/ModemManager1/Modem/%1"_s.arg(m_pObject->m_objects.size()));
    m_pObject->m_objects.insert(path, {{u"org.freedesktop.ModemManager1.Modem"_s, properties}});
}

void CFakeModemManager::RefuseInhibit(bool refuse)
{
    QMutexLocker lock(&m_pObject->m_lock);
    m_pObject->m_bRefuse = refuse;
}

QStringList CFakeModemManager::Calls() const
{
    QMutexLocker lock(&m_pObject->m_lock);
    return m_pObject->m_calls;
}
