#pragma once
// Small helpers shared by the fuzz targets.
#include "PluginJob.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdlib>
#include <cstring>
#include <functional>

#include <unistd.h>

namespace qpxfuzz {

// The input as a QByteArray that does not copy it: a read past the end hits the fuzzer's own
// exactly sized buffer, where AddressSanitizer sees it.
inline QByteArray Bytes(const quint8* data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// A folder of this process in memory (/dev/shm when there is one), removed at exit.
struct SWorkFolder
{
    QString path;
    SWorkFolder()
    {
        const QString base =
            QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        path = QStringLiteral("%1/qpx-fuzz-%2").arg(base).arg(::getpid());
        QDir().mkpath(path);
    }
    ~SWorkFolder() { QDir(path).removeRecursively(); }
};

inline const QString& WorkFolder()
{
    static const SWorkFolder folder;
    return folder.path;
}

// Writes the input into the work folder as name; its path.
inline QString InputFile(const char* name, const quint8* data, size_t size)
{
    const QString path = WorkFolder() + QLatin1Char('/') + QLatin1String(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) != static_cast<qint64>(size))
        std::abort();
    return path;
}

// Runs one operation of the reference plug-in as its work thread would, without a page (so
// without a port: everything after the checks of the operation's inputs fails at once), and
// fills a result record, whose texts must be terminated.
inline bool RunOperation(const std::function<bool(CPluginJob&)>& work)
{
    OperationResult result;
    CPluginJob job(nullptr, 1, WorkFolder() + QStringLiteral("/reference.so"), result);
    const bool ok = work(job);
    job.Finish(ok);
    if (std::memchr(result.szMessage, 0, sizeof result.szMessage) == nullptr ||
        std::memchr(result.szStatus, 0, sizeof result.szStatus) == nullptr)
        std::abort();
    return ok;
}

} // namespace qpxfuzz
