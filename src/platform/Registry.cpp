#include "Registry.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

QString UserFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/KOVA/QPX.conf");
}

QString MachineFile()
{
    const QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    const QString first = dirs.section(QLatin1Char(':'), 0, 0);
    return (first.isEmpty() ? QStringLiteral("/etc/xdg") : first) + QStringLiteral("/KOVA/QPX.conf");
}

// Reads the raw value from the user file, else the machine-wide file; null when absent.
QVariant ReadRaw(const char* valueName)
{
    const QString name = QString::fromLatin1(valueName);
    for (const QString& file : {UserFile(), MachineFile()}) {
        if (!QFileInfo::exists(file))
            continue;
        QSettings s(file, QSettings::IniFormat);
        if (s.status() != QSettings::NoError)
            continue;
        const QVariant v = s.value(name);
        if (v.isValid())
            return v;
    }
    return {};
}

void WriteRaw(const char* valueName, const QVariant& value)
{
    const QString file = UserFile();
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSettings s(file, QSettings::IniFormat);
    s.setValue(QString::fromLatin1(valueName), value);
    s.sync(); // errors (read-only file, no folder) are swallowed
}

} // namespace

QString RegReadString(const char* /*keyPath*/, const char* valueName, ERegRoot /*root*/)
{
    const QVariant v = ReadRaw(valueName);
    if (!v.isValid())
        return {};
    // A list (a value with commas written by hand) reads back joined, as text would.
    const QString text =
        v.typeId() == QMetaType::QStringList ? v.toStringList().join(QLatin1Char(',')) : v.toString();
    // A value must fit a 256-byte buffer with its terminating zero; a longer one reads as empty.
    if (text.toLocal8Bit().size() >= 256)
        return {};
    // Text ends at its first zero byte, as a C string read from the store would.
    return text.section(QChar(0), 0, 0).trimmed();
}

qint32 RegReadDword(const char* /*keyPath*/, const char* valueName)
{
    const QVariant v = ReadRaw(valueName);
    if (!v.isValid())
        return -1;
    const QString text = v.toString().trimmed();
    bool ok = false;
    const qlonglong n = text.toLongLong(&ok, 0);
    if (!ok || n < INT32_MIN || n > UINT32_MAX)
        return -1;
    return static_cast<qint32>(static_cast<quint32>(n));
}

void RegWriteString(const char* /*keyPath*/, const char* valueName, const QString& text, ERegRoot /*root*/)
{
    WriteRaw(valueName, text);
}

void RegWriteDword(const char* /*keyPath*/, const char* valueName, qint32 value)
{
    WriteRaw(valueName, value);
}

QString RegUserFilePath()
{
    return UserFile();
}
