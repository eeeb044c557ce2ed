#include "TestEnv.h"
#include "platform/SysfsPorts.h"
#include "platform/VirtualPorts.h"
#include "serial/PortWatcher.h"

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
        SetSysfsRoot(qpxtest::MakeTempDir(QStringLiteral("sys")));
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

} // namespace
