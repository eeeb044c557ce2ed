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
        SetSysfsRoot(m_sys.Root());
        SetVirtualPortFolder(m_strPorts);
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
        return QFileInfo(path).canonicalFilePath();
    }

    // Each port as "device|port name|friendly name", in the order of their numbers.
    QStringList Listed(bool withDetails = false)
    {
        QList<CPortInfo> ports;
        QString error;
        EXPECT_TRUE(EnumerateSerialPorts(ports, &error)) << error.toStdString();
        QStringList out;
        for (const CPortInfo& p : ports) {
            QStringList fields{p.m_strDevPath, p.m_strPortName, p.m_strFriendlyName};
            if (withDetails)
                fields << p.m_strPortDesc << QString::number(p.m_bUsbDevice);
            out << fields.join(QLatin1Char('|'));
        }
        return out;
    }

    CFakeSysfs m_sys{qpxtest::MakeTempDir(QStringLiteral("sys"))};
    QString m_strPorts = qpxtest::MakeTempDir(QStringLiteral("ports"));
    QString m_strDevices = qpxtest::MakeTempDir(QStringLiteral("dev"));
};

// Each port in the order of its number. A USB product text without "USB" gets it added, so the
// handset filter still sees it. Ttys that are no usable ports are skipped: a virtual terminal, a
// UART slot without a chip, the kernel console. USB attributes come from the device above the
// interface.
TEST_F(Discovery, RealPortsGetTheirFixedNumbersAndNames)
{
    m_sys.AddUart(QStringLiteral("ttyS0"), QStringLiteral("4"));
    m_sys.AddUsbTty(QStringLiteral("ttyACM0"), QStringLiteral("2"), QStringLiteral("KOVA"),
                    QStringLiteral("USB CDMA Modem"));
    m_sys.AddUsbTty(QStringLiteral("ttyUSB1"), QStringLiteral("3"), QStringLiteral("KOVA"),
                    QStringLiteral("Handset"), QStringLiteral("option1"));
    m_sys.AddBareTty(QStringLiteral("tty0"));
    m_sys.AddUart(QStringLiteral("ttyS1"), QStringLiteral("0"));
    m_sys.AddUart(QStringLiteral("ttyS2"), QStringLiteral("4"));
    m_sys.SetConsole(QStringLiteral("tty0 ttyS2"));
    EXPECT_EQ(Listed(true),
              (QStringList{
                  QStringLiteral("/dev/ttyS0|COM1|Communications Port (COM1)|Communications Port|0"),
                  QStringLiteral("/dev/ttyUSB1|COM34|KOVA Handset USB Serial Port (COM34)|Handset|1"),
                  QStringLiteral("/dev/ttyACM0|COM65|KOVA USB CDMA Modem (COM65)|USB CDMA Modem|1"),
              }));
    SSysfsTty one;
    EXPECT_FALSE(ReadSysfsTty(QStringLiteral("ttyS2"), one) || ReadSysfsTty(QStringLiteral("ttyS9"), one));
    ASSERT_TRUE(ReadSysfsTty(QStringLiteral("ttyUSB1"), one));
    EXPECT_EQ(
        QStringList({one.strManufacturer, one.strProduct, one.strVendorId, one.strDriver, one.strDevNode}),
        QString::fromLatin1("KOVA|Handset|1d6b|option1|/dev/ttyUSB1").split(QLatin1Char('|')));
}

// The collectors append (they never empty the list); handsets are the ports whose names say so;
// a second record with the same friendly name is not added.
TEST_F(Discovery, CollectorsApplyTheNameRules)
{
    m_sys.AddUart(QStringLiteral("ttyS0"), QStringLiteral("4")); // Communications Port (COM1)
    ASSERT_TRUE(PublishVirtualPort(12, Device(QStringLiteral("pts12")), QStringLiteral("USB CDMA Modem")));
    ASSERT_TRUE(PublishVirtualPort(21, Device(QStringLiteral("pts21")), QStringLiteral("Plain Line")));
    ASSERT_TRUE(PublishVirtualPort(22, Device(QStringLiteral("pts22")), QStringLiteral("MCCI Port")));
    CPortList all, handsets;
    all.Append(99);
    CollectAllPorts(all);
    EXPECT_EQ(all.Ports(), (QList<int>{99, 1, 12, 21, 22}));
    EXPECT_FALSE(all.AddUnique(12));
    CollectHandsetPorts(handsets);
    EXPECT_EQ(handsets.Ports(), (QList<int>{12, 22}));
    QList<CPortInfo> records;
    CPortInfo record;
    record.m_strFriendlyName = QStringLiteral("USB CDMA Modem (COM12)");
    EXPECT_TRUE(AddPortRecord(records, record));
    record.m_strDevPath = QStringLiteral("/dev/b");
    EXPECT_FALSE(AddPortRecord(records, record));
}

// A virtual port wins over a real port with its number, which moves to the overflow area (counting
// down from COM254, the highest the COM port page offers) until the virtual port is gone; a virtual
// link to a real tty lists the device once, under the virtual port's name.
TEST_F(Discovery, VirtualPortWinsOverARealPortWithTheSameNumber)
{
    m_sys.AddUsbTty(QStringLiteral("ttyUSB0"), QStringLiteral("2"), QStringLiteral("KOVA"),
                    QStringLiteral("Phone"));
    // A fake tty called "null" has the node /dev/null, which exists everywhere and can be linked to.
    m_sys.AddUsbTty(QStringLiteral("null"), QStringLiteral("3"), QStringLiteral("KOVA"),
                    QStringLiteral("Phone"));
    const QString pts = Device(QStringLiteral("pts7"));
    ASSERT_TRUE(PublishVirtualPort(33, pts, QStringLiteral("KOVA USB CDMA Modem")));
    ASSERT_TRUE(PublishVirtualPort(5, QStringLiteral("/dev/null"), QStringLiteral("Linked Phone")));
    EXPECT_EQ(Listed(),
              (QStringList{QStringLiteral("/dev/null|COM5|Linked Phone (COM5)"),
                           pts + QStringLiteral("|COM33|KOVA USB CDMA Modem (COM33)"),
                           QStringLiteral("/dev/ttyUSB0|COM254|KOVA Phone USB Serial Port (COM254)")}));
    EXPECT_EQ(MAX_SELECTABLE_PORT, 254);
    EXPECT_EQ(PortNameOfTty(QStringLiteral("null")), QStringLiteral("COM5"));
    EXPECT_EQ(DevicePathOfPort(33), pts);
    EXPECT_EQ(DevicePathOfPort(254), QStringLiteral("/dev/ttyUSB0"));
    ASSERT_TRUE(UnpublishVirtualPort(33, pts));
    EXPECT_EQ(PortNameOfTty(QStringLiteral("ttyUSB0")), QStringLiteral("COM33"));
    EXPECT_EQ(Listed().size(), 2);
}

// An overflow number stays while its tty stays, also when a tty that sorts before it arrives;
// gone and back, the number is handed out afresh.
TEST_F(Discovery, OverflowNumbersStayWhileTheTtyStaysPresent)
{
    m_sys.AddUsbTty(QStringLiteral("ttyGS5"), QStringLiteral("2"), QStringLiteral("A"), QStringLiteral("B"));
    EXPECT_EQ(PortNameOfTty(QStringLiteral("ttyGS5")), QStringLiteral("COM254"));
    m_sys.AddUsbTty(QStringLiteral("ttyGS1"), QStringLiteral("3"), QStringLiteral("A"), QStringLiteral("C"));
    EXPECT_EQ(PortNameOfTty(QStringLiteral("ttyGS5")), QStringLiteral("COM254"));
    EXPECT_EQ(PortNameOfTty(QStringLiteral("ttyGS1")), QStringLiteral("COM253"));
    m_sys.RemoveTty(QStringLiteral("ttyGS5"));
    EXPECT_EQ(PortNameOfTty(QStringLiteral("ttyGS5")), QString());
    Listed();
    EXPECT_EQ(PortNameOfTty(QStringLiteral("ttyGS1")), QStringLiteral("COM253"));
}

// Publishing and taking down a port; links to nothing, plain files and links of a publisher that
// died are no ports, and may be published over; a live link made by hand never is.
TEST_F(Discovery, VirtualPortsArePublishedAndStaleOnesIgnored)
{
    const QString pts = Device(QStringLiteral("pts9"));
    ASSERT_TRUE(PublishVirtualPort(24, pts, QStringLiteral("Name (COM7)")));
    SVirtualPort port;
    ASSERT_TRUE(ReadVirtualPort(24, port));
    EXPECT_EQ(port.strTarget + port.strName, pts + QStringLiteral("Name (COM7)"));
    // A "(COM<k>)" of the name file is replaced by the port's own number.
    EXPECT_EQ(Listed(), QStringList{pts + QStringLiteral("|COM24|Name (COM24)")});
    EXPECT_FALSE(UnpublishVirtualPort(24, Device(QStringLiteral("other")))); // not ours
    EXPECT_TRUE(UnpublishVirtualPort(24, pts));
    EXPECT_FALSE(QFileInfo::exists(m_strPorts + QStringLiteral("/COM24.name")) || ReadVirtualPort(24, port));
    // Without a name file the port still gets a friendly name with its number.
    ASSERT_TRUE(PublishVirtualPort(25, pts, QString()));
    EXPECT_EQ(Listed(), QStringList{pts + QStringLiteral("|COM25|Virtual Serial Port (COM25)")});
    ASSERT_TRUE(UnpublishVirtualPort(25, pts));

    ASSERT_TRUE(
        QFile::link(m_strDevices + QStringLiteral("/pts-gone"), m_strPorts + QStringLiteral("/COM20")));
    ASSERT_TRUE(qpxtest::WriteFile(m_strPorts + QStringLiteral("/COM20.name"), "Old USB CDMA Modem\n"));
    qpxtest::WriteFile(m_strPorts + QStringLiteral("/COM21"), "not a link");
    QFile::link(Device(QStringLiteral("x")), m_strPorts + QStringLiteral("/COM021"));
    EXPECT_TRUE(Listed().isEmpty());
    EXPECT_EQ(DevicePathOfPort(20), QString());
    EXPECT_TRUE(ListVirtualPorts().isEmpty());
    EXPECT_EQ(LowestFreeVirtualPort(20), 20);
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
    EXPECT_TRUE(ReadVirtualPort(26, port)); // its owner lives
    EXPECT_FALSE(PublishVirtualPort(26, Device(QStringLiteral("pts5")), QStringLiteral("Other")));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_FALSE(ReadVirtualPort(26, port));
    EXPECT_EQ(Listed(), QStringList{pts + QStringLiteral("|COM20|Sim USB CDMA (COM20)")});
    EXPECT_TRUE(PublishVirtualPort(26, Device(QStringLiteral("pts5")), QStringLiteral("Sim USB CDMA")));
    ASSERT_TRUE(QFile::link(pts, m_strPorts + QStringLiteral("/COM27")));
    EXPECT_FALSE(PublishVirtualPort(27, Device(QStringLiteral("pts6")), QStringLiteral("Other")));
    EXPECT_TRUE(ReadVirtualPort(27, port));
}

TEST_F(Discovery, UnreadableSysfsIsAnErrorButVirtualPortsStillCount)
{
    SetSysfsRoot(m_sys.Root() + QStringLiteral("/missing"));
    ASSERT_TRUE(PublishVirtualPort(20, Device(QStringLiteral("pts1")), QStringLiteral("Sim USB CDMA")));
    QList<CPortInfo> ports;
    QString error;
    EXPECT_FALSE(EnumerateSerialPorts(ports, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("(err=2)"))) << error.toStdString();
    EXPECT_EQ(ports.size(), 1);
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
