#include "FakeSysfs.h"
#include "TestEnv.h"
#include "platform/DeviceNotifier.h"
#include "platform/SysfsPorts.h"
#include "platform/VirtualPorts.h"
#include "serial/PortDiscovery.h"
#include "serial/PortWatcher.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

constexpr int WAIT_MS = 5000; // bound for one signal; events normally come within milliseconds

class Watcher : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // An empty sysfs: only the virtual folder can report anything.
        m_sys = std::make_unique<CFakeSysfs>(qpxtest::MakeTempDir(QStringLiteral("sys")));
        SetSysfsRoot(m_sys->Root());
        m_strPorts = qpxtest::MakeTempDir(QStringLiteral("ports"));
        SetVirtualPortFolder(m_strPorts);
        m_strDevice = qpxtest::MakeTempDir(QStringLiteral("dev")) + QStringLiteral("/pts5");
        qpxtest::WriteFile(m_strDevice, {});
    }
    void TearDown() override
    {
        SetSysfsRoot({});
        SetVirtualPortFolder({});
    }

    QString Link(int n) const { return m_strPorts + QStringLiteral("/COM%1").arg(n); }

    std::unique_ptr<CFakeSysfs> m_sys;
    QString m_strPorts;
    QString m_strDevice;
};

TEST_F(Watcher, VirtualPortArrivalAndRemoval)
{
    CPortWatcher watcher;
    ASSERT_TRUE(watcher.IsActive());
    QSignalSpy arrived(&watcher, &CPortWatcher::portArrived);
    QSignalSpy removed(&watcher, &CPortWatcher::portRemoved);

    ASSERT_TRUE(QFile::link(m_strDevice, Link(21)));
    ASSERT_TRUE(arrived.wait(WAIT_MS));
    ASSERT_EQ(arrived.size(), 1);
    EXPECT_EQ(arrived.at(0).at(0).toString(), QStringLiteral("COM21"));
    EXPECT_EQ(removed.size(), 0);

    ASSERT_TRUE(QFile::remove(Link(21)));
    ASSERT_TRUE(removed.wait(WAIT_MS));
    ASSERT_EQ(removed.size(), 1);
    EXPECT_EQ(removed.at(0).at(0).toString(), QStringLiteral("COM21"));
    EXPECT_EQ(arrived.size(), 1);
}

TEST_F(Watcher, PublishHelpersAreSeenAndStrangersAreNot)
{
    CPortWatcher watcher;
    QSignalSpy arrived(&watcher, &CPortWatcher::portArrived);
    QSignalSpy removed(&watcher, &CPortWatcher::portRemoved);

    // None of these is an arrival: a stale link, a name file, a name outside 1..256.
    ASSERT_TRUE(QFile::link(m_strDevice + QStringLiteral(".gone"), Link(30)));
    qpxtest::WriteFile(m_strPorts + QStringLiteral("/COM31.name"), "Name\n");
    ASSERT_TRUE(QFile::link(m_strDevice, m_strPorts + QStringLiteral("/COM300")));
    // This one is; since events come in order, the first signal must be for it.
    ASSERT_TRUE(PublishVirtualPort(22, m_strDevice, QStringLiteral("Sim USB CDMA")));
    ASSERT_TRUE(arrived.wait(WAIT_MS));
    ASSERT_EQ(arrived.size(), 1);
    EXPECT_EQ(arrived.at(0).at(0).toString(), QStringLiteral("COM22"));

    // Removing the stale link reports nothing; unpublishing reports the removal.
    QFile::remove(Link(30));
    ASSERT_TRUE(UnpublishVirtualPort(22, m_strDevice));
    ASSERT_TRUE(removed.wait(WAIT_MS));
    ASSERT_EQ(removed.size(), 1);
    EXPECT_EQ(removed.at(0).at(0).toString(), QStringLiteral("COM22"));
}

TEST_F(Watcher, PortsPresentAtStartAreReportedOnlyWhenTheyLeave)
{
    ASSERT_TRUE(PublishVirtualPort(23, m_strDevice, QString()));
    CPortWatcher watcher;
    QSignalSpy arrived(&watcher, &CPortWatcher::portArrived);
    QSignalSpy removed(&watcher, &CPortWatcher::portRemoved);
    ASSERT_TRUE(UnpublishVirtualPort(23, m_strDevice));
    ASSERT_TRUE(removed.wait(WAIT_MS));
    EXPECT_EQ(removed.at(0).at(0).toString(), QStringLiteral("COM23"));
    EXPECT_EQ(arrived.size(), 0);
}

struct SEvent
{
    bool bArrival;
    QString strName;
    bool operator==(const SEvent& o) const { return bArrival == o.bArrival && strName == o.strName; }
};

TEST_F(Watcher, TtyEventsAreNamedByTheNumberingRule)
{
    QList<SEvent> events;
    CDeviceNotifier notifier(
        [&](bool arrival, const QString& name) {
            events.append({arrival, name});
        },
        [](const QString& kernelName) { return PortNameOfTty(kernelName); });

    m_sys->AddUsbTty(QStringLiteral("ttyUSB0"), QStringLiteral("2"), QStringLiteral("KOVA"),
                     QStringLiteral("Phone"));
    notifier.HandleTtyEvent(true, QStringLiteral("ttyUSB0"));
    notifier.HandleTtyEvent(true, QStringLiteral("ttyUSB0")); // the same event from the other source
    m_sys->AddBareTty(QStringLiteral("tty5"));
    notifier.HandleTtyEvent(true, QStringLiteral("tty5")); // no serial port
    // By the time the removal comes the tty has left sysfs; the name is the one it had.
    m_sys->RemoveTty(QStringLiteral("ttyUSB0"));
    notifier.HandleTtyEvent(false, QStringLiteral("ttyUSB0"));
    notifier.HandleTtyEvent(false, QStringLiteral("ttyUSB0"));
    notifier.HandleTtyEvent(false, QStringLiteral("tty5"));

    EXPECT_EQ(events, (QList<SEvent>{{true, QStringLiteral("COM33")}, {false, QStringLiteral("COM33")}}));
}

TEST_F(Watcher, TtysPresentAtStartAreRemovedUnderTheirName)
{
    // A tty displaced by a virtual port keeps its overflow name until it goes.
    ASSERT_TRUE(PublishVirtualPort(65, m_strDevice, QStringLiteral("Sim")));
    m_sys->AddUsbTty(QStringLiteral("ttyACM0"), QStringLiteral("2"), QStringLiteral("KOVA"),
                     QStringLiteral("Phone"));
    const QString name = PortNameOfTty(QStringLiteral("ttyACM0"));
    ASSERT_FALSE(name.isEmpty());
    ASSERT_NE(name, QStringLiteral("COM65"));

    QList<SEvent> events;
    CDeviceNotifier notifier(
        [&](bool arrival, const QString& n) {
            events.append({arrival, n});
        },
        [](const QString& kernelName) { return PortNameOfTty(kernelName); });
    ASSERT_TRUE(notifier.Start());
    if (!notifier.IsWatchingDevices())
        GTEST_SKIP() << "no kernel device events in this environment";
    m_sys->RemoveTty(QStringLiteral("ttyACM0"));
    notifier.HandleTtyEvent(false, QStringLiteral("ttyACM0"));
    EXPECT_EQ(events, (QList<SEvent>{{false, name}}));
}

TEST_F(Watcher, TheFolderRemovedAndMadeAgainKeepsBeingWatched)
{
    ASSERT_TRUE(PublishVirtualPort(26, m_strDevice, QString()));
    CPortWatcher watcher;
    QSignalSpy arrived(&watcher, &CPortWatcher::portArrived);
    QSignalSpy removed(&watcher, &CPortWatcher::portRemoved);
    ASSERT_TRUE(QDir(m_strPorts).removeRecursively());
    ASSERT_TRUE(removed.wait(WAIT_MS));
    EXPECT_EQ(removed.at(0).at(0).toString(), QStringLiteral("COM26"));
    ASSERT_TRUE(PublishVirtualPort(27, m_strDevice, QString()));
    ASSERT_TRUE(arrived.wait(WAIT_MS));
    EXPECT_EQ(arrived.at(0).at(0).toString(), QStringLiteral("COM27"));
}

} // namespace
