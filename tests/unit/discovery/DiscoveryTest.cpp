#include "FakeSysfs.h"
#include "TestEnv.h"
#include "platform/SysfsPorts.h"
#include "platform/VirtualPorts.h"
#include "serial/PortDiscovery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class Discovery : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_sys = std::make_unique<CFakeSysfs>(qpxtest::MakeTempDir(QStringLiteral("sys")));
        SetSysfsRoot(m_sys->Root());
        m_strPorts = qpxtest::MakeTempDir(QStringLiteral("ports"));
        SetVirtualPortFolder(m_strPorts);
        m_strDevices = qpxtest::MakeTempDir(QStringLiteral("dev"));
    }
    void TearDown() override
    {
        SetSysfsRoot({});
        SetVirtualPortFolder({});
    }

    // A stand-in device node that virtual links can point at.
    QString Device(const QString& name)
    {
        const QString path = m_strDevices + QLatin1Char('/') + name;
        qpxtest::WriteFile(path, {});
        return path;
    }

    QList<CPortInfo> Enumerate()
    {
        QList<CPortInfo> ports;
        QString error;
        EXPECT_TRUE(EnumerateSerialPorts(ports, &error)) << error.toStdString();
        return ports;
    }

    static const CPortInfo* FindByPath(const QList<CPortInfo>& ports, const QString& path)
    {
        for (const CPortInfo& p : ports)
            if (p.m_strDevPath == path)
                return &p;
        return nullptr;
    }

    static QList<int> Numbers(const QList<CPortInfo>& ports)
    {
        QList<int> numbers;
        for (const CPortInfo& p : ports)
            numbers.append(PortNumberOfFriendlyName(p.m_strFriendlyName));
        return numbers;
    }

    std::unique_ptr<CFakeSysfs> m_sys;
    QString m_strPorts;
    QString m_strDevices;
};

// Each port as "device|port name|friendly name|description|usb", in the order of their numbers. A
// USB product text without "USB" gets it added, so the handset filter still sees it. Ttys that are
// no usable ports are skipped: a virtual terminal, a UART slot without a chip, the kernel console.
TEST_F(Discovery, RealPortsGetTheirFixedNumbersAndNames)
{
    m_sys->AddUart(QStringLiteral("ttyS0"), QStringLiteral("4"));
    m_sys->AddUsbTty(QStringLiteral("ttyACM0"), QStringLiteral("2"), QStringLiteral("KOVA"),
                     QStringLiteral("USB CDMA Modem"));
    m_sys->AddUsbTty(QStringLiteral("ttyUSB1"), QStringLiteral("3"), QStringLiteral("KOVA"),
                     QStringLiteral("Handset"), QStringLiteral("option1"));
    m_sys->AddBareTty(QStringLiteral("tty0"));
    m_sys->AddUart(QStringLiteral("ttyS1"), QStringLiteral("0"));
    m_sys->AddUart(QStringLiteral("ttyS2"), QStringLiteral("4"));
    m_sys->SetConsole(QStringLiteral("tty0 ttyS2"));
    QStringList got;
    for (const CPortInfo& p : Enumerate())
        got << QStringList{p.m_strDevPath, p.m_strPortName, p.m_strFriendlyName, p.m_strPortDesc,
                           QString::number(p.m_bUsbDevice)}
                   .join(QLatin1Char('|'));
    EXPECT_EQ(got, (QStringList{
                       QStringLiteral("/dev/ttyS0|COM1|Communications Port (COM1)|Communications Port|0"),
                       QStringLiteral("/dev/ttyUSB1|COM34|KOVA Handset USB Serial Port (COM34)|Handset|1"),
                       QStringLiteral("/dev/ttyACM0|COM65|KOVA USB CDMA Modem (COM65)|USB CDMA Modem|1"),
                   }));
    SSysfsTty one;
    EXPECT_FALSE(ReadSysfsTty(QStringLiteral("ttyS2"), one));
    EXPECT_FALSE(ReadSysfsTty(QStringLiteral("ttyS9"), one));
    // USB attributes come from the USB device above the interface.
    ASSERT_TRUE(ReadSysfsTty(QStringLiteral("ttyUSB1"), one));
    EXPECT_EQ(QStringList({one.strManufacturer, one.strProduct, one.strVendorId, one.strDriver,
                           one.strDevNode, QString::number(one.bUsb)}),
              QString::fromLatin1("KOVA|Handset|1d6b|option1|/dev/ttyUSB1|1").split(QLatin1Char('|')));
}

TEST_F(Discovery, CollectorsApplyTheNameRules)
{
    m_sys->AddUart(QStringLiteral("ttyS0"), QStringLiteral("4")); // Communications Port (COM1)
    ASSERT_TRUE(PublishVirtualPort(12, Device(QStringLiteral("pts12")), QStringLiteral("USB CDMA Modem")));
    ASSERT_TRUE(PublishVirtualPort(21, Device(QStringLiteral("pts21")), QStringLiteral("Plain Line")));
    ASSERT_TRUE(PublishVirtualPort(22, Device(QStringLiteral("pts22")), QStringLiteral("MCCI Port")));

    const QList<CPortInfo> ports = Enumerate();
    ASSERT_EQ(ports.size(), 4);
    EXPECT_EQ(ports[1].m_strFriendlyName, QStringLiteral("USB CDMA Modem (COM12)"));

    CPortList all;
    all.Append(99); // the collectors append; they never empty the list
    CollectAllPorts(all);
    EXPECT_EQ(all.Ports(), (QList<int>{99, 1, 12, 21, 22}));

    CPortList handsets;
    CollectHandsetPorts(handsets);
    EXPECT_EQ(handsets.Ports(), (QList<int>{12, 22}));
    // A second record with the same friendly name is not added.
    QList<CPortInfo> records;
    EXPECT_TRUE(AddPortRecord(records, ports[1]));
    CPortInfo twin = ports[1];
    twin.m_strDevPath = QStringLiteral("/dev/b");
    EXPECT_FALSE(AddPortRecord(records, twin));
    EXPECT_EQ(records.size(), 1);
}

// A virtual port wins over a real port with its number, which moves to the overflow area until
// the virtual port is gone; a virtual link to a real tty lists the device once, under the virtual
// port's name.
TEST_F(Discovery, VirtualPortWinsOverARealPortWithTheSameNumber)
{
    m_sys->AddUsbTty(QStringLiteral("ttyUSB0"), QStringLiteral("2"), QStringLiteral("KOVA"),
                     QStringLiteral("Phone"));
    // A fake tty called "null" has the node /dev/null, which exists everywhere and can be linked to.
    m_sys->AddUsbTty(QStringLiteral("null"), QStringLiteral("3"), QStringLiteral("KOVA"),
                     QStringLiteral("Phone"));
    const QString pts = Device(QStringLiteral("pts7"));
    ASSERT_TRUE(PublishVirtualPort(33, pts, QStringLiteral("KOVA USB CDMA Modem")));
    ASSERT_TRUE(PublishVirtualPort(5, QStringLiteral("/dev/null"), QStringLiteral("Linked Phone")));

    QList<CPortInfo> ports = Enumerate();
    ASSERT_EQ(ports.size(), 3);
    EXPECT_EQ(ports[0].m_strFriendlyName, QStringLiteral("Linked Phone (COM5)"));
    EXPECT_EQ(ports[0].m_strDevPath, QStringLiteral("/dev/null"));
    EXPECT_EQ(PortNameOfTty(QStringLiteral("null")), QStringLiteral("COM5"));
    const CPortInfo* virt = FindByPath(ports, QFileInfo(pts).canonicalFilePath());
    const CPortInfo* real = FindByPath(ports, QStringLiteral("/dev/ttyUSB0"));
    ASSERT_TRUE(virt && real);
    EXPECT_EQ(virt->m_strFriendlyName, QStringLiteral("KOVA USB CDMA Modem (COM33)"));
    const int displaced = PortNumberOfFriendlyName(real->m_strFriendlyName);
    EXPECT_GE(displaced, 200); // the overflow area counts down from COM254
    EXPECT_EQ(real->m_strPortName, QStringLiteral("COM%1").arg(displaced));
    EXPECT_EQ(DevicePathOfPort(33), QFileInfo(pts).canonicalFilePath());
    EXPECT_EQ(DevicePathOfPort(displaced), QStringLiteral("/dev/ttyUSB0"));

    ASSERT_TRUE(UnpublishVirtualPort(33, pts));
    EXPECT_EQ(Numbers(Enumerate()), (QList<int>{5, 33}));
    EXPECT_EQ(PortNameOfTty(QStringLiteral("ttyUSB0")), QStringLiteral("COM33"));
}

TEST_F(Discovery, OverflowNumbersStayWhileTheTtyStaysPresent)
{
    // The overflow area ends at the highest number the COM port page can offer.
    m_sys->AddUsbTty(QStringLiteral("ttyGS5"), QStringLiteral("2"), QStringLiteral("A"), QStringLiteral("B"));
    const QString first = PortNameOfTty(QStringLiteral("ttyGS5"));
    EXPECT_EQ(first, QStringLiteral("COM254"));
    EXPECT_EQ(MAX_SELECTABLE_PORT, 254);
    // A tty that sorts before it arrives later: the first one keeps its number.
    m_sys->AddUsbTty(QStringLiteral("ttyGS1"), QStringLiteral("3"), QStringLiteral("A"), QStringLiteral("C"));
    EXPECT_EQ(PortNameOfTty(QStringLiteral("ttyGS5")), first);
    EXPECT_EQ(PortNameOfTty(QStringLiteral("ttyGS1")), QStringLiteral("COM253"));
    // Gone and back: the number is handed out afresh.
    m_sys->RemoveTty(QStringLiteral("ttyGS5"));
    EXPECT_EQ(PortNameOfTty(QStringLiteral("ttyGS5")), QString());
    Enumerate();
    EXPECT_EQ(PortNameOfTty(QStringLiteral("ttyGS1")), QStringLiteral("COM253"));
}

TEST_F(Discovery, StaleVirtualLinksAreIgnored)
{
    const QString gone = m_strDevices + QStringLiteral("/pts-gone");
    ASSERT_TRUE(QFile::link(gone, m_strPorts + QStringLiteral("/COM20")));
    ASSERT_TRUE(qpxtest::WriteFile(m_strPorts + QStringLiteral("/COM20.name"), "Old USB CDMA Modem\n"));
    // Files that are no port entries at all.
    qpxtest::WriteFile(m_strPorts + QStringLiteral("/COM21"), "not a link");
    QFile::link(Device(QStringLiteral("x")), m_strPorts + QStringLiteral("/COM021"));

    EXPECT_TRUE(Enumerate().isEmpty());
    EXPECT_EQ(DevicePathOfPort(20), QString());
    EXPECT_TRUE(ListVirtualPorts().isEmpty());
    EXPECT_EQ(LowestFreeVirtualPort(20), 20);

    // Publishing over a stale link is allowed; over a live one it is not.
    const QString pts = Device(QStringLiteral("pts3"));
    EXPECT_TRUE(PublishVirtualPort(20, pts, QStringLiteral("Sim USB CDMA")));
    EXPECT_FALSE(PublishVirtualPort(20, Device(QStringLiteral("pts4")), QStringLiteral("Other")));
    EXPECT_EQ(LowestFreeVirtualPort(20), 22); // COM21 is a plain file: not usable for a link

    // A publisher killed without taking its port down leaves a link whose target may live on (the
    // pty number goes to someone else's terminal): the port is stale and its number free again.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const char ok = PublishVirtualPort(26, pts, QStringLiteral("Sim USB CDMA")) ? 1 : 0;
        [[maybe_unused]] auto n = ::write(ready[1], &ok, 1);
        ::pause();
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    ASSERT_EQ(ok, 1);
    SVirtualPort port;
    EXPECT_TRUE(ReadVirtualPort(26, port)); // its owner lives
    EXPECT_FALSE(PublishVirtualPort(26, Device(QStringLiteral("pts5")), QStringLiteral("Other")));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_FALSE(ReadVirtualPort(26, port));
    EXPECT_EQ(Numbers(Enumerate()), QList<int>{20});
    EXPECT_TRUE(PublishVirtualPort(26, Device(QStringLiteral("pts5")), QStringLiteral("Sim USB CDMA")));
    // A live link made by hand (no lock file) is never taken over.
    ASSERT_TRUE(QFile::link(pts, m_strPorts + QStringLiteral("/COM27")));
    EXPECT_FALSE(PublishVirtualPort(27, Device(QStringLiteral("pts6")), QStringLiteral("Other")));
    EXPECT_TRUE(ReadVirtualPort(27, port));
}

TEST_F(Discovery, VirtualPortEntriesAndPublishing)
{
    const QString pts = Device(QStringLiteral("pts9"));
    ASSERT_TRUE(PublishVirtualPort(24, pts, QStringLiteral("Name (COM7)")));
    SVirtualPort port;
    ASSERT_TRUE(ReadVirtualPort(24, port));
    EXPECT_EQ(port.strTarget, QFileInfo(pts).canonicalFilePath());
    EXPECT_EQ(port.strName, QStringLiteral("Name (COM7)"));
    // A "(COM<k>)" of the name file is replaced by the port's own number.
    const QList<CPortInfo> ports = Enumerate();
    ASSERT_EQ(ports.size(), 1);
    EXPECT_EQ(ports[0].m_strFriendlyName, QStringLiteral("Name (COM24)"));

    EXPECT_FALSE(UnpublishVirtualPort(24, Device(QStringLiteral("other")))); // not ours
    EXPECT_TRUE(ReadVirtualPort(24, port));
    EXPECT_TRUE(UnpublishVirtualPort(24, pts));
    EXPECT_FALSE(QFileInfo::exists(m_strPorts + QStringLiteral("/COM24.name")));
    EXPECT_FALSE(ReadVirtualPort(24, port));

    // Without a name file the port still gets a friendly name with its number.
    ASSERT_TRUE(PublishVirtualPort(25, pts, QString()));
    EXPECT_EQ(Enumerate().value(0).m_strFriendlyName, QStringLiteral("Virtual Serial Port (COM25)"));
}

TEST_F(Discovery, UnreadableSysfsIsAnErrorButVirtualPortsStillCount)
{
    SetSysfsRoot(m_sys->Root() + QStringLiteral("/missing"));
    ASSERT_TRUE(PublishVirtualPort(20, Device(QStringLiteral("pts1")), QStringLiteral("Sim USB CDMA")));
    QList<CPortInfo> ports;
    QString error;
    EXPECT_FALSE(EnumerateSerialPorts(ports, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("(err=2)"))) << error.toStdString();
    ASSERT_EQ(ports.size(), 1);
    CPortList list;
    CollectHandsetPorts(list);
    EXPECT_EQ(list.Ports(), (QList<int>{20}));
}

} // namespace

// Whichever process asks first, a named runtime folder that does not exist yet is made and used,
// so a simulator and the program never end up in different folders.
TEST(VirtualPortFolderChoice, AMissingRuntimeFolderIsMadeNotSkipped)
{
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    const QString runtime = qpxtest::MakeTempDir(QStringLiteral("rt")) + QStringLiteral("/not/yet");
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    const QString folder = VirtualPortFolder();
    qputenv("XDG_RUNTIME_DIR", saved);
    EXPECT_EQ(folder, runtime + QStringLiteral("/qpx/ports"));
    EXPECT_TRUE(QFileInfo(runtime).isDir());
    EXPECT_EQ(QFileInfo(runtime).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), 0);
}
