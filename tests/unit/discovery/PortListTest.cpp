// The pure rules of port names and numbers, and the port list.
#include "serial/PortList.h"
#include "platform/SysfsPorts.h"
#include "platform/VirtualPorts.h"
#include "serial/PortDiscovery.h"

#include <gtest/gtest.h>

namespace {

TEST(PortList, RemoveAddFindAndGetAt)
{
    CPortList list;
    for (int p : {4, 9, 4, 7})
        list.Append(p);
    EXPECT_TRUE(list.Remove(4)); // only the first equal entry, the gap closed
    EXPECT_EQ(list.Ports(), (QList<int>{9, 4, 7}));
    EXPECT_FALSE(list.Remove(5));
    EXPECT_FALSE(list.AddUnique(7));
    EXPECT_TRUE(list.AddUnique(12));
    EXPECT_EQ(list.Ports(), (QList<int>{9, 4, 7, 12}));
    EXPECT_EQ(list.GetCount(), 4);
    EXPECT_EQ(list.Find(4), 1);
    EXPECT_EQ(list.Find(5), -1);
    EXPECT_EQ(list.GetAt(3), 12);
    EXPECT_EQ(list.GetAt(4), -1);
    EXPECT_EQ(list.GetAt(-1), -1);
    EXPECT_EQ(CPortList().GetAt(0), -1);
}

int HandsetName(const QString& s)
{
    return IsHandsetPortName(s) ? 1 : 0;
}

TEST(PortNames, NumberRules)
{
    const struct
    {
        int (*rule)(const QString&);
        const char* text;
        int number;
    } cases[] = {
        // COM names: the leading digits after the first "COM", 1..256, case-sensitive, no wrap-around.
        {CPortList::ParsePortName, "COM7", 7},
        {CPortList::ParsePortName, "COM256", 256},
        {CPortList::ParsePortName, "COM257", -1},
        {CPortList::ParsePortName, "COM0", -1},
        {CPortList::ParsePortName, "LPT1", -1},
        {CPortList::ParsePortName, "COM", -1},
        {CPortList::ParsePortName, "", -1},
        {CPortList::ParsePortName, "\\\\.\\COM12", 12},
        {CPortList::ParsePortName, "COM3x9", 3},
        {CPortList::ParsePortName, "COMx3", -1},
        {CPortList::ParsePortName, "com5", -1},
        {CPortList::ParsePortName, "COM4294967297", -1},
        {CPortList::ParsePortName, "COM18446744073709551617", -1},
        // Friendly names: the number inside "(COM...)".
        {PortNumberOfFriendlyName, "USB CDMA Modem (COM12)", 12},
        {PortNumberOfFriendlyName, "Device (COM256)", 256},
        {PortNumberOfFriendlyName, "Device (COM300)", -1},
        {PortNumberOfFriendlyName, "Device (COM0)", -1},
        {PortNumberOfFriendlyName, "COM4", -1},
        {PortNumberOfFriendlyName, "Modem (COM)", -1},
        {PortNumberOfFriendlyName, "Modem (com4)", -1},
        {PortNumberOfFriendlyName, "Modem (COM4a)", 4},
        {PortNumberOfFriendlyName, "Modem (COM99999999999)", -1},
        {HandsetName, "Qualified MCCI thing (COM3)", 1},
        {HandsetName, "Some CDMA (COM3)", 1},
        {HandsetName, "Some usb cdma (COM3)", 0},
        // Entries of the virtual-port folder.
        {VirtualPortNumberOfEntry, "COM1", 1},
        {VirtualPortNumberOfEntry, "COM256", 256},
        {VirtualPortNumberOfEntry, "COM257", -1},
        {VirtualPortNumberOfEntry, "COM0", -1},
        {VirtualPortNumberOfEntry, "COM01", -1},
        {VirtualPortNumberOfEntry, "COM12.name", -1},
        {VirtualPortNumberOfEntry, "COM", -1},
        // The fixed numbers of real ttys.
        {PreferredPortNumber, "ttyS0", 1},
        {PreferredPortNumber, "ttyS7", 8},
        {PreferredPortNumber, "ttyS8", -1},
        {PreferredPortNumber, "ttyUSB0", 33},
        {PreferredPortNumber, "ttyUSB31", 64},
        {PreferredPortNumber, "ttyUSB32", -1},
        {PreferredPortNumber, "ttyACM0", 65},
        {PreferredPortNumber, "ttyACM31", 96},
        {PreferredPortNumber, "ttyUSB", -1},
        {PreferredPortNumber, "ttyUSB01", -1},
        {PreferredPortNumber, "ttyUSB+1", -1},
        {PreferredPortNumber, "ttyAMA0", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.rule(QString::fromLatin1(c.text)), c.number) << c.text;
}

} // namespace
