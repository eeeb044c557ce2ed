#include "FakeSysfs.h"
#include "TestEnv.h"
#include "serial/PortDiscovery.h"

#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

class Discovery : public CFakePortsTest
{
protected:
    // A stand-in device node that virtual links can point at.
    QString Device(const QString& name)
    {
        const QString path = m_strDevices + QLatin1Char('/') + name;
        qpxtest::WriteFile(path, {});
        return QFileInfo(path).canonicalFilePath();
    }

    // Each port as "device|port name|friendly name", in the order of their numbers.
    QStringList Listed()
    {
        QList<CPortInfo> ports;
        QString error;
        EXPECT_TRUE(EnumerateSerialPorts(ports, &error)) << error.toStdString();
        QStringList out;
        for (const CPortInfo& p : ports)
            out << QStringList{p.m_strDevPath, p.m_strPortName, p.m_strFriendlyName}.join(QLatin1Char('|'));
        return out;
    }

    QString m_strDevices = qpxtest::MakeTempDir(u"dev"_s);
};

// Each port in the order of its number. A USB product text without "USB" gets it added, so the
// handset filter still sees it. Ttys that are no usable ports are skipped: a virtual terminal, a
// UART slot without a chip, the kernel console. USB attributes come from the device above the
// interface.
TEST_F(Discovery, RealPortsGetTheirFixedNumbersAndNames)
{
    m_sys.AddUart(u"ttyS0"_s, u"4"_s);
    m_sys.AddUsbTty(u"ttyACM0"_s, u"2"_s, u"KOVA"_s, u"USB CDMA Modem"_s);
    m_sys.AddUsbTty(u"ttyUSB1"_s, u"3"_s, u"KOVA"_s, u"Handset"_s, u"option1"_s);
    m_sys.AddBareTty(u"tty0"_s);
    m_sys.AddUart(u"ttyS1"_s, u"0"_s);
    m_sys.AddUart(u"ttyS2"_s, u"4"_s);
    m_sys.SetConsole(u"tty0 ttyS2"_s);
    EXPECT_EQ(Listed(), (QStringList{u"/dev/ttyS0|COM1|Communications Port (COM1)"_s,
                                     u"/dev/ttyUSB1|COM34|KOVA Handset USB Serial Port (COM34)"_s,
                                     u"/dev/ttyACM0|COM65|KOVA USB CDMA Modem (COM65)"_s}));
}

// The collectors append (they never empty the list); handsets are the ports whose names say so;
// a second record with the same friendly name is not added.
TEST_F(Discovery, CollectorsApplyTheNameRules)
{
    m_sys.AddUart(u"ttyS0"_s, u"4"_s); // Communications Port (COM1)
    for (const auto& [n, name] : {std::pair{12, "USB CDMA Modem"}, {21, "Plain Line"}, {22, "MCCI Port"}})
        ASSERT_TRUE(PublishVirtualPort(n, Device(u"pts%1"_s.arg(n)), QLatin1String(name)));
    CPortList all, handsets;
    all.Append(99);
    CollectAllPorts(all);
    EXPECT_EQ(all.Ports(), (QList<int>{99, 1, 12, 21, 22}));
    EXPECT_FALSE(all.AddUnique(12));
    CollectHandsetPorts(handsets);
    EXPECT_EQ(handsets.Ports(), (QList<int>{12, 22}));
    QList<CPortInfo> records;
    CPortInfo record;
    record.m_strFriendlyName = u"USB CDMA Modem (COM12)"_s;
    EXPECT_TRUE(AddPortRecord(records, record));
    record.m_strDevPath = u"/dev/b"_s;
    EXPECT_FALSE(AddPortRecord(records, record));
}

// A virtual port wins over a real port with its number, which moves to the overflow area (counting
// down from COM254, the highest the COM port page offers) until the virtual port is gone; a virtual
// link to a real tty lists the device once, under the virtual port's name.
TEST_F(Discovery, VirtualPortWinsOverARealPortWithTheSameNumber)
{
    m_sys.AddUsbTty(u"ttyUSB0"_s, u"2"_s, u"KOVA"_s, u"Phone"_s);
    // A fake tty called "null" has the node /dev/null, which exists everywhere and can be linked to.
    m_sys.AddUsbTty(u"null"_s, u"3"_s, u"KOVA"_s, u"Phone"_s);
    const QString pts = Device(u"pts7"_s);
    ASSERT_TRUE(PublishVirtualPort(33, pts, u"KOVA USB CDMA Modem"_s));
    ASSERT_TRUE(PublishVirtualPort(5, u"/dev/null"_s, u"Linked Phone"_s));
    EXPECT_EQ(Listed(), (QStringList{u"/dev/null|COM5|Linked Phone (COM5)"_s,
                                     pts + u"|COM33|KOVA USB CDMA Modem (COM33)"_s,
                                     u"/dev/ttyUSB0|COM254|KOVA Phone USB Serial Port (COM254)"_s}));
    EXPECT_EQ((QStringList{PortNameOfTty(u"null"_s), DevicePathOfPort(33), DevicePathOfPort(254)}),
              (QStringList{u"COM5"_s, pts, u"/dev/ttyUSB0"_s}));
    ASSERT_TRUE(UnpublishVirtualPort(33, pts));
    EXPECT_EQ(PortNameOfTty(u"ttyUSB0"_s), u"COM33"_s);
    EXPECT_EQ(Listed().size(), 2);
}

// An overflow number stays while its tty stays, also when a tty that sorts before it arrives;
// gone and back, the number is handed out afresh.
TEST_F(Discovery, OverflowNumbersStayWhileTheTtyStaysPresent)
{
    const auto names = [] { return PortNameOfTty(u"ttyGS5"_s) + u'|' + PortNameOfTty(u"ttyGS1"_s); };
    m_sys.AddUsbTty(u"ttyGS5"_s, u"2"_s, u"A"_s, u"B"_s);
    EXPECT_EQ(names(), u"COM254|"_s);
    m_sys.AddUsbTty(u"ttyGS1"_s, u"3"_s, u"A"_s, u"C"_s);
    EXPECT_EQ(names(), u"COM254|COM253"_s);
    m_sys.RemoveTty(u"ttyGS5"_s);
    EXPECT_EQ(names(), u"|COM253"_s);
    Listed();
    EXPECT_EQ(names(), u"|COM253"_s);
}

// Publishing and taking down a port; links to nothing, plain files and links of a publisher that
// died are no ports, and may be published over; a live link made by hand never is.
TEST_F(Discovery, VirtualPortsArePublishedAndStaleOnesIgnored)
{
    const QString pts = Device(u"pts9"_s);
    ASSERT_TRUE(PublishVirtualPort(24, pts, u"Name (COM7)"_s));
    // A "(COM<k>)" of the name file is replaced by the port's own number.
    EXPECT_EQ(Listed(), QStringList{pts + u"|COM24|Name (COM24)"_s});
    SVirtualPort port;
    EXPECT_FALSE(UnpublishVirtualPort(24, Device(u"other"_s))); // not ours
    EXPECT_TRUE(UnpublishVirtualPort(24, pts));
    EXPECT_FALSE(QFileInfo::exists(m_strPorts + u"/COM24.name"_s) || ReadVirtualPort(24, port));
    // Without a name file the port still gets a friendly name with its number.
    ASSERT_TRUE(PublishVirtualPort(25, pts, QString()));
    EXPECT_EQ(Listed(), QStringList{pts + u"|COM25|Virtual Serial Port (COM25)"_s});
    ASSERT_TRUE(UnpublishVirtualPort(25, pts));

    ASSERT_TRUE(QFile::link(m_strDevices + u"/pts-gone"_s, m_strPorts + u"/COM20"_s));
    ASSERT_TRUE(qpxtest::WriteFile(m_strPorts + u"/COM20.name"_s, "Old USB CDMA Modem\n"));
    qpxtest::WriteFile(m_strPorts + u"/COM21"_s, "not a link");
    QFile::link(Device(u"x"_s), m_strPorts + u"/COM021"_s);
    EXPECT_TRUE(Listed().isEmpty() && DevicePathOfPort(20).isEmpty() && ListVirtualPorts().isEmpty());
    EXPECT_EQ(LowestFreeVirtualPort(20), 20);
    EXPECT_TRUE(PublishVirtualPort(20, pts, u"Sim USB CDMA"_s));
    EXPECT_FALSE(PublishVirtualPort(20, Device(u"pts4"_s), u"Other"_s));
    EXPECT_EQ(LowestFreeVirtualPort(20), 22); // COM21 is a plain file: not usable for a link

    // A publisher killed without taking its port down leaves a link whose target may live on (the
    // pty number goes to someone else's terminal): the port is stale and its number free again.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const char ok = PublishVirtualPort(26, pts, u"Sim USB CDMA"_s) ? 1 : 0;
        [[maybe_unused]] auto n = ::write(ready[1], &ok, 1);
        ::pause();
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_TRUE(::read(ready[0], &ok, 1) == 1 && ok == 1);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_TRUE(ReadVirtualPort(26, port)); // its owner lives
    EXPECT_FALSE(PublishVirtualPort(26, Device(u"pts5"_s), u"Other"_s));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_FALSE(ReadVirtualPort(26, port));
    EXPECT_EQ(Listed(), QStringList{pts + u"|COM20|Sim USB CDMA (COM20)"_s});
    EXPECT_TRUE(PublishVirtualPort(26, Device(u"pts5"_s), u"Sim USB CDMA"_s));
    ASSERT_TRUE(QFile::link(pts, m_strPorts + u"/COM27"_s));
    EXPECT_FALSE(PublishVirtualPort(27, Device(u"pts6"_s), u"Other"_s));
    EXPECT_TRUE(ReadVirtualPort(27, port));
}

TEST_F(Discovery, UnreadableSysfsIsAnErrorButVirtualPortsStillCount)
{
    SetSysfsRoot(m_sys.Root() + u"/missing"_s);
    ASSERT_TRUE(PublishVirtualPort(20, Device(u"pts1"_s), u"Sim USB CDMA"_s));
    QList<CPortInfo> ports;
    QString error;
    EXPECT_FALSE(EnumerateSerialPorts(ports, &error));
    EXPECT_TRUE(error.contains(u"(err=2)"_s) && ports.size() == 1) << error.toStdString();
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
    const QString runtime = qpxtest::MakeTempDir(u"rt"_s) + u"/not/yet"_s;
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    const QString folder = VirtualPortFolder();
    qputenv("XDG_RUNTIME_DIR", saved);
    EXPECT_EQ(folder, runtime + u"/qpx/ports"_s);
    EXPECT_TRUE(QFileInfo(runtime).isDir() &&
                !(QFileInfo(runtime).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther)));
}
