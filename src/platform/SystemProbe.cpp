#include "SystemProbe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

bool CanReadWrite(const QString& path)
{
    return ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0;
}

bool CanWriteFolder(const QString& path)
{
    struct stat st = {};
    const QByteArray name = QFile::encodeName(path);
    return ::stat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(name.constData(), W_OK | X_OK) == 0;
}

QString GroupOfFile(const QString& path, bool* member)
{
    if (member != nullptr)
        *member = false;
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    bool in = ::getegid() == st.st_gid;
    gid_t groups[256];
    const int n = ::getgroups(256, groups);
    for (int i = 0; i < n && !in; ++i)
        in = groups[i] == st.st_gid;
    if (member != nullptr)
        *member = in;
    const struct group* gr = ::getgrgid(st.st_gid);
    return gr ? QString::fromLocal8Bit(gr->gr_name) : QString::number(st.st_gid);
}

QString UdevRoot()
{
    const QString env = qEnvironmentVariable("QPX_UDEV_ROOT");
    return env.isEmpty() ? QStringLiteral("/") : env + QLatin1Char('/');
}

QString UdevProperty(const QString& devNumber, const QString& key)
{
    if (devNumber.isEmpty())
        return {};
    QFile entry(UdevRoot() + QStringLiteral("run/udev/data/c") + devNumber);
    if (!entry.open(QIODevice::ReadOnly))
        return {};
    const QByteArray prefix = "E:" + key.toUtf8() + '=';
    // An entry holds a few dozen short lines; cap the read anyway.
    for (const QByteArray& line : entry.read(1 << 20).split('\n')) {
        if (line.startsWith(prefix))
            return QString::fromUtf8(line.mid(prefix.size())).trimmed();
    }
    return {};
}

QStringList UdevRulesFiles(const QString& part)
{
    QStringList files, seen;
    for (const char* folder :
         {"etc/udev/rules.d", "run/udev/rules.d", "usr/lib/udev/rules.d", "lib/udev/rules.d"}) {
        const QDir dir(UdevRoot() + QLatin1String(folder));
        for (const QString& name : dir.entryList({QStringLiteral("*.rules")}, QDir::Files, QDir::Name)) {
            // /lib is often /usr/lib: each file once.
            const QString real = QFileInfo(dir.filePath(name)).canonicalFilePath();
            if (name.contains(part) && !seen.contains(real)) {
                seen << real;
                files << dir.filePath(name);
            }
        }
    }
    return files;
}

bool StdoutIsTerminal()
{
    return ::isatty(STDOUT_FILENO) == 1;
}
