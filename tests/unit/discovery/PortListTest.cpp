// The pure rules of port names and numbers.
#include "serial/PortList.h"
#include "platform/SysfsPorts.h"
#include "platform/VirtualPorts.h"
#include "serial/PortDiscovery.h"

#include <gtest/gtest.h>

namespace {

// Each rule with its cases, "text=number" separated by "|".
TEST(PortNames, NumberRules)
{
    const struct
    {
        int (*rule)(const QString&);
        const char* cases;
    } rules[] = {
        // COM names: the leading digits after the first "COM", 1..256, case-sensitive, no wrap-around.
        {CPortList::ParsePortName, "COM7=7|COM256=256|COM257=-1|COM0=-1|LPT1=-1|COM=-1|=-1|\\\\.\\COM12=12|"
                                   "COM3x9=3|COMx3=-1|com5=-1|COM4294967297=-1|COM18446744073709551617=-1"},
        // Friendly names: the number inside "(COM...)".
        {PortNumberOfFriendlyName, "USB CDMA Modem (COM12)=12|Device (COM256)=256|Device (COM300)=-1|"
                                   "Device (COM0)=-1|COM4=-1|Modem (COM)=-1|Modem (com4)=-1|Modem (COM4a)=4|"
                                   "Modem (COM99999999999)=-1"},
        {[](const QString& s) { return IsHandsetPortName(s) ? 1 : 0; },
         "Qualified MCCI thing (COM3)=1|Some CDMA (COM3)=1|Some usb cdma (COM3)=0"},
        // Entries of the virtual-port folder.
        {VirtualPortNumberOfEntry, "COM1=1|COM256=256|COM257=-1|COM0=-1|COM01=-1|COM12.name=-1|COM=-1"},
        // The fixed numbers of real ttys.
        {PreferredPortNumber, "ttyS0=1|ttyS7=8|ttyS8=-1|ttyUSB0=33|ttyUSB31=64|ttyUSB32=-1|ttyACM0=65|"
                              "ttyACM31=96|ttyUSB=-1|ttyUSB01=-1|ttyUSB+1=-1|ttyAMA0=-1"},
    };
    for (const auto& r : rules) {
        for (const QString& c : QString::fromLatin1(r.cases).split(QLatin1Char('|'))) {
            const qsizetype eq = c.lastIndexOf(QLatin1Char('='));
            EXPECT_EQ(r.rule(c.left(eq)), c.mid(eq + 1).toInt()) << c.toStdString();
        }
    }
}

} // namespace
