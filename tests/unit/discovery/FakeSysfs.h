#pragma once
// A fake sysfs tree for discovery tests: the same links and attribute files the kernel shows, so
// the real code walks it exactly as it walks /sys.
#include "TestEnv.h"
#include "platform/SysfsPorts.h"
#include "platform/VirtualPorts.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

class CFakeSysfs
{
public:
    explicit CFakeSysfs(const QString& root) : m_strRoot(root)
    {
        QDir().mkpath(m_strRoot + QStringLiteral("/class/tty"));
    }
    QString Root() const { return m_strRoot; }

    // A tty below parent (a device folder of its own), bound to driver; type "" writes no type
    // attribute.
    void AddTty(const QString& name, const QString& parent, const QString& driver, const QString& type = {})
    {
        const QString ttyDir = parent + QStringLiteral("/tty/") + name;
        QDir().mkpath(ttyDir);
        QFile::link(parent, ttyDir + QStringLiteral("/device"));
        if (!type.isEmpty())
            Attr(ttyDir, QStringLiteral("type"), type);
        const QString drv = m_strRoot + QStringLiteral("/bus/drivers/") + driver;
        QDir().mkpath(drv);
        QFile::link(drv, parent + QStringLiteral("/driver"));
        QFile::link(ttyDir, m_strRoot + QStringLiteral("/class/tty/") + name);
    }

    // A USB serial tty: device 1-<port> (vendor 1d6b) with the given texts, interface 1-<port>:1.0,
    // tty below it.
    void AddUsbTty(const QString& name, const QString& port, const QString& manufacturer,
                   const QString& product, const QString& driver = QStringLiteral("cdc_acm"))
    {
        const QString usb = m_strRoot + QStringLiteral("/devices/pci0000:00/0000:00:14.0/usb1/1-") + port;
        QDir().mkpath(usb + QStringLiteral("/1-") + port + QStringLiteral(":1.0"));
        Attr(usb, QStringLiteral("idVendor"), QStringLiteral("1d6b"));
        Attr(usb, QStringLiteral("idProduct"), QStringLiteral("0001"));
        Attr(usb, QStringLiteral("manufacturer"), manufacturer);
        Attr(usb, QStringLiteral("product"), product);
        AddTty(name, usb + QStringLiteral("/1-") + port + QStringLiteral(":1.0"), driver);
    }

    // A built-in UART on the platform bus.
    void AddUart(const QString& name, const QString& type)
    {
        const QString dev = m_strRoot + QStringLiteral("/devices/platform/serial8250.") + name;
        QDir().mkpath(dev);
        AddTty(name, dev, QStringLiteral("serial8250"), type);
    }

    // A tty without a parent device (virtual terminal, console).
    void AddBareTty(const QString& name)
    {
        const QString dir = m_strRoot + QStringLiteral("/devices/virtual/tty/") + name;
        QDir().mkpath(dir);
        QFile::link(dir, m_strRoot + QStringLiteral("/class/tty/") + name);
    }

    void SetConsole(const QString& active)
    {
        AddBareTty(QStringLiteral("console"));
        Attr(m_strRoot + QStringLiteral("/devices/virtual/tty/console"), QStringLiteral("active"), active);
    }

    void RemoveTty(const QString& name) { QFile::remove(m_strRoot + QStringLiteral("/class/tty/") + name); }

private:
    static void Attr(const QString& dir, const QString& name, const QString& value)
    {
        qpxtest::WriteFile(dir + QLatin1Char('/') + name, value.toUtf8() + '\n');
    }

    QString m_strRoot;
};

// A fake sysfs and an empty virtual-port folder, in use for the test's time.
class CFakePortsTest : public ::testing::Test
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

    CFakeSysfs m_sys{qpxtest::MakeTempDir(QStringLiteral("sys"))};
    QString m_strPorts = qpxtest::MakeTempDir(QStringLiteral("ports"));
};
