#include "FakeSysfs.h"
#include "TestEnv.h"
#include "platform/DeviceNotifier.h"
#include "serial/PortDiscovery.h"
#include "serial/PortWatcher.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int WAIT_MS = 60000; // bound for one signal; events normally come within milliseconds

// The fake sysfs starts empty: only the virtual folder can report anything at first.
class Watcher : public CFakePortsTest
{
protected:
    void SetUp() override
    {
        CFakePortsTest::SetUp();
        qpxtest::WriteFile(m_strDevice, {});
    }
    QString Link(int n) const { return m_strPorts + u"/COM%1"_s.arg(n); }
    // Names of every signal so far, "+COM22" for an arrival, "-COM22" for a removal.
    QStringList Events(const QSignalSpy& arrived, const QSignalSpy& removed, int count)
    {
        qpxtest::PumpUntil([&] { return arrived.size() + removed.size() >= count; }, WAIT_MS);
        QStringList out;
        for (const auto& a : arrived)
            out << QLatin1Char('+') + a.at(0).toString();
        for (const auto& r : removed)
            out << QLatin1Char('-') + r.at(0).toString();
        return out;
    }

    QString m_strDevice = qpxtest::MakeTempDir(u"dev"_s) + u"/pts5"_s;
};

TEST_F(Watcher, VirtualPortsArriveAndLeave)
{
    ASSERT_TRUE(PublishVirtualPort(23, m_strDevice, QString())); // present at start: only its removal
    CPortWatcher watcher;
    ASSERT_TRUE(watcher.IsActive());
    QSignalSpy arrived(&watcher, &CPortWatcher::portArrived);
    QSignalSpy removed(&watcher, &CPortWatcher::portRemoved);
    // None of these is an arrival: a stale link, a name file, a name outside 1..256.
    ASSERT_TRUE(QFile::link(m_strDevice + u".gone"_s, Link(30)) &&
                qpxtest::WriteFile(m_strPorts + u"/COM31.name"_s, "Name\n") &&
                QFile::link(m_strDevice, m_strPorts + u"/COM300"_s));
    // Events come in order, so these are the first ones.
    ASSERT_TRUE(QFile::link(m_strDevice, Link(21)));
    EXPECT_EQ(Events(arrived, removed, 1), QStringList{u"+COM21"_s});
    ASSERT_TRUE(QFile::remove(Link(21)));
    QFile::remove(Link(30));
    ASSERT_TRUE(UnpublishVirtualPort(23, m_strDevice));
    EXPECT_EQ(Events(arrived, removed, 3), (QStringList{u"+COM21"_s, u"-COM21"_s, u"-COM23"_s}));
    // The folder removed and made again is still watched.
    ASSERT_TRUE(PublishVirtualPort(26, m_strDevice, QString()));
    EXPECT_EQ(Events(arrived, removed, 4).value(1), u"+COM26"_s);
    ASSERT_TRUE(QDir(m_strPorts).removeRecursively());
    EXPECT_EQ(Events(arrived, removed, 5).value(4), u"-COM26"_s);
    ASSERT_TRUE(PublishVirtualPort(27, m_strDevice, QString()));
    EXPECT_EQ(Events(arrived, removed, 6).value(2), u"+COM27"_s);
}

// A tty event is named by the numbering rule, once for both event sources; a removal uses the name
// the tty had, also for a tty present at start and displaced by a virtual port.
TEST_F(Watcher, TtyEventsAreNamedByTheNumberingRule)
{
    ASSERT_TRUE(PublishVirtualPort(65, m_strDevice, u"Sim"_s));
    m_sys.AddUsbTty(u"ttyACM0"_s, u"2"_s, u"KOVA"_s, u"Phone"_s);
    const QString displaced = PortNameOfTty(u"ttyACM0"_s);
    ASSERT_TRUE(!displaced.isEmpty() && displaced != u"COM65"_s) << displaced.toStdString();
    QStringList events;
    CDeviceNotifier notifier(
        [&](bool arrival, const QString& name) { events << (arrival ? "+" : "-") + name; },
        [](const QString& kernelName) { return PortNameOfTty(kernelName); });
    ASSERT_TRUE(notifier.Start());
    const bool devices = notifier.IsWatchingDevices(); // names the ttys present at start
    m_sys.AddUsbTty(u"ttyUSB0"_s, u"3"_s, u"KOVA"_s, u"Phone"_s);
    m_sys.AddBareTty(u"tty5"_s); // no serial port
    for (const char* tty : {"ttyUSB0", "ttyUSB0", "tty5"})
        notifier.HandleTtyEvent(true, QLatin1String(tty));
    for (const char* tty : {"ttyUSB0", "ttyACM0"})
        m_sys.RemoveTty(QLatin1String(tty)); // gone from sysfs before the removal comes
    for (const char* tty : {"ttyUSB0", "ttyUSB0", "tty5", "ttyACM0"})
        notifier.HandleTtyEvent(false, QLatin1String(tty));
    QStringList want{u"+COM33"_s, u"-COM33"_s};
    if (devices)
        want << QLatin1Char('-') + displaced;
    EXPECT_EQ(events, want);
}

} // namespace
