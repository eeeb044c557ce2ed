// The ModemManager request around an operation, against a stand-in on a private bus: which uid it
// names, that it is taken back, and that nothing is sent when ModemManager is absent.
#include "FakeModemManager.h"
#include "FakeSysfs.h"
#include "TestEnv.h"
#include "platform/ModemManagerInhibitor.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(Inhibit, NamesTheDeviceAndTakesTheRequestBack)
{
    CPrivateBus bus;
    ASSERT_TRUE(bus.Start()) << "dbus-daemon (Debian package dbus) is needed";
    // Read by the system bus connection when it is first made.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus.Address().toLocal8Bit());
    const QString uid = u"/sys/devices/modem-uid"_s;
    const QString usb = u"/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2"_s;
    const struct
    {
        const char* what;
        bool present;  // ModemManager holds its name on the bus
        QString modem; // Device of an exported modem listing ttyACM0
        bool refuse;   // it answers InhibitDevice with an error
        const char* device;
        bool inhibited;
        QStringList calls; // after Inhibit and Release
    } cases[] = {
        {"modem lists the port", true, uid, false, "/dev/ttyACM0", true, {uid + " on", uid + " off"}},
        {"not exported: the USB device", true, {}, false, "/dev/ttyACM0", true, {usb + " on", usb + " off"}},
        {"no USB device: nothing to ask", true, {}, false, "/dev/pts/77", false, {}},
        {"absent: nothing sent", false, uid, false, "/dev/ttyACM0", false, {}},
        {"refused: not taken back", true, uid, true, "/dev/ttyACM0", false, {uid + " on"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CFakeSysfs sys(qpxtest::MakeTempDir(u"sys"_s));
        sys.AddUsbTty(u"ttyACM0"_s, u"2"_s, u"KOVA"_s, u"CDMA Phone"_s);
        SetSysfsRoot(sys.Root());
        CFakeModemManager mm(bus.Address());
        ASSERT_TRUE(!c.present || mm.Register());
        if (!c.modem.isEmpty())
            mm.AddModem(c.modem, {u"ttyACM0"_s, u"wwan0"_s});
        mm.RefuseInhibit(c.refuse);
        {
            CModemManagerInhibitor inhibitor;
            EXPECT_EQ(inhibitor.Inhibit(QString::fromLatin1(c.device)), c.inhibited);
            inhibitor.Release();
            inhibitor.Release(); // once only
        }
        SetSysfsRoot(QString());
        EXPECT_EQ(mm.Calls(), c.calls);
    }
}

} // namespace
