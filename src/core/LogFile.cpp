#include "LogFile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::function<int(const QString&)> g_openFailure;

enum EOpen
{
    OPEN_OK,
    OPEN_DENIED, // or written short: the block goes to a "!" name
    OPEN_FAILED
};

EOpen AppendTo(const QString& path, const QByteArray& block)
{
    if (g_openFailure) {
        if (const int err = g_openFailure(path); err != 0)
            return (err == EACCES || err == EPERM || err == EROFS) ? OPEN_DENIED : OPEN_FAILED;
    }
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return (errno == EACCES || errno == EPERM || errno == EROFS) ? OPEN_DENIED : OPEN_FAILED;
    qsizetype done = 0;
    while (done < block.size()) {
        const ssize_t n = ::write(fd, block.constData() + done, static_cast<size_t>(block.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    // A block cut short (a full disk, a size limit) is no log entry: it goes to the "!" file.
    const bool whole = ::close(fd) == 0 && done == block.size();
    return whole ? OPEN_OK : OPEN_DENIED;
}

} // namespace

QString AppendLogBlock(const QString& folder, const QString& fileName, const QByteArray& block)
{
    QDir().mkpath(folder);
    QString name = fileName;
    for (int attempt = 0; attempt <= LOG_BANG_ATTEMPTS; ++attempt) {
        const QString path = QDir(folder).filePath(name);
        switch (AppendTo(path, block)) {
        case OPEN_OK:
            return path;
        case OPEN_FAILED:
            return {};
        case OPEN_DENIED:
            name.prepend(QLatin1Char('!'));
            break;
        }
    }
    return {};
}

void SetLogOpenFailureForTest(std::function<int(const QString&)> failure)
{
    g_openFailure = std::move(failure);
}

QByteArray BlankPadded2(int n)
{
    return QByteArray::number(n).rightJustified(2, ' ');
}
