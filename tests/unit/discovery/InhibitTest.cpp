// The ModemManager request around an operation, against a stand-in on a private bus: which uid it
// names, that it is taken back, and that nothing is sent when ModemManager is absent.
#include "FakeModemManager.h"
#include "FakeSysfs.h"
#include "TestEnv.h"
#include "platform/ModemManagerInhibitor.h"
#include "platform/SysfsPorts.h"

#include <gtest/gtest.h>

namespace {

struct SInhibitCase
{
    const char* pszName;
    bool bPresent;        // ModemManager holds its name on the bus
    const char* pszModem; // Device of an exported modem listing ttyACM0 ("" for none)
    bool bRefuse;         // it answers InhibitDevice with an error
    const char* pszDevice;
    bool bInhibited;
    QStringList calls; // after Inhibit and Release
};

void PrintTo(const SInhibitCase& c, std::ostream* os)
{
    *os << c.pszName;
}

class Inhibit : public ::testing::TestWithParam<SInhibitCase>
{
protected:
    static void SetUpTestSuite()
    {
        s_bus = new CPrivateBus;
        ASSERT_TRUE(s_bus->Start()) << "dbus-daemon (Debian package dbus) is needed";
        // Read by the system bus connection when it is first made.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", s_bus->Address().toLocal8Bit());
    }
    static void TearDownTestSuite()
    {
        delete s_bus;
        s_bus = nullptr;
    }
    static CPrivateBus* s_bus;
};

CPrivateBus* Inhibit::s_bus = nullptr;

TEST_P(Inhibit, NamesTheDeviceAndTakesTheRequestBack)
{
    const SInhibitCase& c = GetParam();
    CFakeSysfs sys(qpxtest::MakeTempDir(QStringLiteral("sys")));
    sys.AddUsbTty(QStringLiteral("ttyACM0"), QStringLiteral("2"), QStringLiteral("KOVA"),
                  QStringLiteral("CDMA Phone"));
    SetSysfsRoot(sys.Root());
    CFakeModemManager mm(s_bus->Address());
    if (c.bPresent) {
        ASSERT_TRUE(mm.Register());
    }
    if (*c.pszModem != '\0')
        mm.AddModem(QString::fromLatin1(c.pszModem), {QStringLiteral("ttyACM0"), QStringLiteral("wwan0")});
    mm.RefuseInhibit(c.bRefuse);

    {
        CModemManagerInhibitor inhibitor;
        EXPECT_EQ(inhibitor.Inhibit(QString::fromLatin1(c.pszDevice)), c.bInhibited);
        inhibitor.Release();
        inhibitor.Release(); // once only
    }
    SetSysfsRoot(QString());
    EXPECT_EQ(mm.Calls(), c.calls);
}

const QString USB = QStringLiteral("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2");

INSTANTIATE_TEST_SUITE_P(
    Cases, Inhibit,
    ::testing::Values(
        SInhibitCase{"modemListsThePort",
                     true,
                     "/sys/devices/modem-uid",
                     false,
                     "/dev/ttyACM0",
                     true,
                     {"/sys/devices/modem-uid on", "/sys/devices/modem-uid off"}},
        SInhibitCase{"notExportedUsesTheUsbDevice",
                     true,
                     "",
                     false,
                     "/dev/ttyACM0",
                     true,
                     {USB + " on", USB + " off"}},
        SInhibitCase{"noUsbDeviceNothingToAsk", true, "", false, "/dev/pts/77", false, {}},
        SInhibitCase{"absentNothingSent", false, "/sys/devices/modem-uid", false, "/dev/ttyACM0", false, {}},
        SInhibitCase{"refusedIsNotTakenBack",
                     true,
                     "/sys/devices/modem-uid",
                     true,
                     "/dev/ttyACM0",
                     false,
                     {"/sys/devices/modem-uid on"}}),
    [](const ::testing::TestParamInfo<SInhibitCase>& info) { return std::string(info.param.pszName); });

} // namespace
