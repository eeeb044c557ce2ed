#include "serial/PortList.h"

#include <gtest/gtest.h>

namespace {

CPortList ListOf(std::initializer_list<int> ports)
{
    CPortList list;
    for (int p : ports)
        list.Append(p);
    return list;
}

TEST(PortList, RemoveClosesTheGapAndKeepsOrder)
{
    CPortList list = ListOf({3, 5, 7});
    EXPECT_TRUE(list.Remove(5));
    EXPECT_EQ(list.Ports(), (QList<int>{3, 7}));
    EXPECT_FALSE(list.Remove(5));
    EXPECT_EQ(list.GetCount(), 2);
}

TEST(PortList, RemoveTakesOnlyTheFirstEqualEntry)
{
    CPortList list = ListOf({4, 9, 4});
    EXPECT_TRUE(list.Remove(4));
    EXPECT_EQ(list.Ports(), (QList<int>{9, 4}));
}

TEST(PortList, AddUniqueAppendsOnlyNewPorts)
{
    CPortList list = ListOf({3, 7});
    EXPECT_FALSE(list.AddUnique(3));
    EXPECT_TRUE(list.AddUnique(12));
    EXPECT_EQ(list.Ports(), (QList<int>{3, 7, 12}));
}

TEST(PortList, GetAtOutsideTheListGivesMinusOne)
{
    CPortList list = ListOf({3, 5, 7});
    list.Remove(5);
    EXPECT_EQ(list.GetAt(0), 3);
    EXPECT_EQ(list.GetAt(1), 7);
    EXPECT_EQ(list.GetAt(2), -1);
    EXPECT_EQ(list.GetAt(-1), -1);
    EXPECT_EQ(CPortList().GetAt(0), -1);
}

TEST(PortList, FindGivesTheFirstIndex)
{
    CPortList list = ListOf({8, 2, 8});
    EXPECT_EQ(list.Find(8), 0);
    EXPECT_EQ(list.Find(2), 1);
    EXPECT_EQ(list.Find(5), -1);
}

TEST(PortList, ParsePortName)
{
    EXPECT_EQ(CPortList::ParsePortName(QStringLiteral("COM7")), 7);
    EXPECT_EQ(CPortList::ParsePortName(QStringLiteral("COM1")), 1);
    EXPECT_EQ(CPortList::ParsePortName(QStringLiteral("COM256")), 256);
    EXPECT_EQ(CPortList::ParsePortName(QStringLiteral("COM257")), -1);
    EXPECT_EQ(CPortList::ParsePortName(QStringLiteral("COM0")), -1);
    EXPECT_EQ(CPortList::ParsePortName(QStringLiteral("LPT1")), -1);
    EXPECT_EQ(CPortList::ParsePortName(QStringLiteral("COM")), -1);
    EXPECT_EQ(CPortList::ParsePortName(QString()), -1);
    // Only the leading digits after the first "COM" count.
    EXPECT_EQ(CPortList::ParsePortName(QStringLiteral("\\\\.\\COM12")), 12);
    EXPECT_EQ(CPortList::ParsePortName(QStringLiteral("COM3x9")), 3);
    EXPECT_EQ(CPortList::ParsePortName(QStringLiteral("COMx3")), -1);
    EXPECT_EQ(CPortList::ParsePortName(QStringLiteral("com5")), -1); // case-sensitive
    // Huge numbers must not wrap around into the valid range.
    EXPECT_EQ(CPortList::ParsePortName(QStringLiteral("COM4294967297")), -1);
    EXPECT_EQ(CPortList::ParsePortName(QStringLiteral("COM18446744073709551617")), -1);
}

} // namespace
