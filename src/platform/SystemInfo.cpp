#include "SystemInfo.h"

#include <QFile>
#include <QRegularExpression>

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

QString GetComputerNameText()
{
    char buf[256] = {};
    if (::gethostname(buf, sizeof(buf) - 1) != 0)
        return {};
    return QString::fromLocal8Bit(buf);
}

QString GetUserNameText()
{
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

void COsVersion::ParseKernelRelease(const QString& release, SOsVersionInfo& info)
{
    static const QRegularExpression re(QStringLiteral("^(\\d+)\\.(\\d+)(?:\\.(\\d+))?"));
    const auto m = re.match(release);
    if (m.hasMatch()) {
        info.nMajor = m.captured(1).toInt();
        info.nMinor = m.captured(2).toInt();
        info.nBuild = m.captured(3).toInt() & 0xFFFF;
    }
    info.strServicePack = release;
}

QString COsVersion::ParseOsReleaseName(const QByteArray& osRelease)
{
    QString name;
    for (const QByteArray& line : osRelease.split('\n')) {
        const int eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArray key = line.left(eq).trimmed();
        QByteArray value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        if (key == "PRETTY_NAME")
            return QString::fromUtf8(value);
        if (key == "NAME" && name.isEmpty())
            name = QString::fromUtf8(value);
    }
    return name.isEmpty() ? QStringLiteral("Linux") : name;
}

const SOsVersionInfo& COsVersion::Get()
{
    static const SOsVersionInfo info = [] {
        SOsVersionInfo i;
        utsname u{};
        if (::uname(&u) == 0)
            ParseKernelRelease(QString::fromLatin1(u.release), i);
        QFile f(QStringLiteral("/etc/os-release"));
        QByteArray text;
        if (f.open(QIODevice::ReadOnly))
            text = f.readAll();
        else if (QFile g(QStringLiteral("/usr/lib/os-release")); g.open(QIODevice::ReadOnly))
            text = g.readAll();
        i.strName = ParseOsReleaseName(text);
        return i;
    }();
    return info;
}
