#include "SysfsPorts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace {
QMutex g_rootLock;
QString g_strRoot; // empty: default

QString ReadAttribute(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    // Attributes are one short line; cap the read so a fake tree cannot hand us megabytes.
    return QString::fromUtf8(f.read(256)).trimmed();
}

QStringList ConsoleTtys(const QString& classTty)
{
    return ReadAttribute(classTty + QStringLiteral("/console/active"))
        .split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// The nearest ancestor of the parent device that is a USB device (holds idVendor), or "".
QString UsbDeviceOf(const QString& parent, const QString& root)
{
    const QString top = QFileInfo(root).canonicalFilePath();
    QString dir = parent;
    for (int depth = 0; depth < 16 && !dir.isEmpty() && dir != top && dir != QStringLiteral("/"); ++depth) {
        if (QFileInfo::exists(dir + QStringLiteral("/idVendor")))
            return dir;
        dir = QFileInfo(dir).path();
    }
    return {};
}

// Kernel names in natural order: ttyUSB2 before ttyUSB10.
bool NaturalLess(const QString& a, const QString& b)
{
    auto split = [](const QString& s) {
        int i = static_cast<int>(s.size());
        while (i > 0 && s.at(i - 1).isDigit())
            --i;
        return std::pair<QString, qlonglong>(s.left(i), i < s.size() ? s.mid(i).left(9).toLongLong() : -1);
    };
    const auto ka = split(a);
    const auto kb = split(b);
    if (ka.first != kb.first)
        return ka.first < kb.first;
    if (ka.second != kb.second)
        return ka.second < kb.second;
    return a < b;
}

bool ReadTty(const QString& classTty, const QStringList& consoles, const QString& name, SSysfsTty& tty)
{
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || consoles.contains(name))
        return false;
    const QString entry = classTty + QLatin1Char('/') + name;
    const QString parent = QFileInfo(entry + QStringLiteral("/device")).canonicalFilePath();
    if (parent.isEmpty())
        return false; // no parent device: console, pty, virtual terminal
    // The serial core shows the UART type; 0 (unknown) is a slot with no chip behind it.
    const QString type = ReadAttribute(entry + QStringLiteral("/type"));
    if (type == QStringLiteral("0"))
        return false;

    tty = SSysfsTty();
    tty.strName = name;
    tty.strDevNode = QStringLiteral("/dev/") + name;
    const QString driver = QFileInfo(parent + QStringLiteral("/driver")).canonicalFilePath();
    if (!driver.isEmpty())
        tty.strDriver = QFileInfo(driver).fileName();
    tty.strDevNumber = ReadAttribute(entry + QStringLiteral("/dev"));
    const QString root = SysfsRoot();
    const QString usb = UsbDeviceOf(parent, root);
    if (!usb.isEmpty()) {
        tty.bUsb = true;
        // Named below "/sys" whatever root the tree was read from.
        tty.strUsbPath =
            QStringLiteral("/sys/") + QDir(QFileInfo(root).canonicalFilePath()).relativeFilePath(usb);
        tty.strUsbDevNumber = ReadAttribute(usb + QStringLiteral("/dev"));
        tty.strManufacturer = ReadAttribute(usb + QStringLiteral("/manufacturer"));
        tty.strProduct = ReadAttribute(usb + QStringLiteral("/product"));
        tty.strVendorId = ReadAttribute(usb + QStringLiteral("/idVendor"));
        tty.strProductId = ReadAttribute(usb + QStringLiteral("/idProduct"));
    }
    return true;
}
} // namespace

void SetSysfsRoot(const QString& root)
{
    QMutexLocker lock(&g_rootLock);
    g_strRoot = root;
}

QString SysfsRoot()
{
    {
        QMutexLocker lock(&g_rootLock);
        if (!g_strRoot.isEmpty())
            return g_strRoot;
    }
    const QString env = qEnvironmentVariable("QPX_SYSFS_ROOT");
    return env.isEmpty() ? QStringLiteral("/sys") : env;
}

bool EnumerateSysfsTtys(QList<SSysfsTty>& ttys, int* errorCode)
{
    ttys.clear();
    const QString classTty = SysfsRoot() + QStringLiteral("/class/tty");
    const QFileInfo info(classTty);
    if (!info.isDir() || !info.isReadable()) {
        if (errorCode)
            *errorCode = info.exists() ? EACCES : ENOENT;
        return false;
    }
    const QStringList consoles = ConsoleTtys(classTty);
    QStringList names = QDir(classTty).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    std::sort(names.begin(), names.end(), NaturalLess);
    for (const QString& name : names) {
        SSysfsTty tty;
        if (ReadTty(classTty, consoles, name, tty))
            ttys.append(tty);
    }
    return true;
}

bool ReadSysfsTty(const QString& name, SSysfsTty& tty)
{
    const QString classTty = SysfsRoot() + QStringLiteral("/class/tty");
    return ReadTty(classTty, ConsoleTtys(classTty), name, tty);
}
