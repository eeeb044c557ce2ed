#include "TestEnv.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

using namespace Qt::StringLiterals;

namespace qpxtest {
namespace {
std::unique_ptr<QTemporaryDir>& Root()
{
    static std::unique_ptr<QTemporaryDir> root;
    return root;
}

// Root of this process's temporary area.
QString TempRoot()
{
    return Root() ? Root()->path() : QDir::tempPath();
}

std::mutex g_captureMutex;
QStringList g_captured;
QtMessageHandler g_previousHandler = nullptr;

void CaptureMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    {
        std::lock_guard lock(g_captureMutex);
        g_captured.append(text);
    }
    if (g_previousHandler != nullptr)
        g_previousHandler(type, context, text);
}
} // namespace

CLogCapture::CLogCapture()
{
    std::lock_guard lock(g_captureMutex);
    g_captured.clear();
    g_previousHandler = qInstallMessageHandler(&CaptureMessage);
}

CLogCapture::~CLogCapture()
{
    qInstallMessageHandler(g_previousHandler);
    std::lock_guard lock(g_captureMutex);
    g_captured.clear();
}

int CLogCapture::Count(const QStringList& parts) const
{
    std::lock_guard lock(g_captureMutex);
    return static_cast<int>(std::count_if(g_captured.cbegin(), g_captured.cend(), [&](const QString& m) {
        return std::all_of(parts.cbegin(), parts.cend(), [&](const QString& p) { return m.contains(p); });
    }));
}

void SetUpProcessEnvironment()
{
    Root() = std::make_unique<QTemporaryDir>(QDir::tempPath() + u"/qpx-test-XXXXXX"_s);
    const QString base = Root()->path();
    // XDG_CONFIG_DIRS, the machine-wide fallback, is an empty folder so /etc/xdg never leaks into a
    // test; the sysfs is empty so no test ever sees the machine's real serial ports.
    for (const char* name : {"XDG_CONFIG_HOME=/config", "XDG_RUNTIME_DIR=/runtime",
                             "XDG_CONFIG_DIRS=/xdg-dirs", "QPX_SYSFS_ROOT=/sysfs"}) {
        const QByteArray v(name);
        const QString folder = base + QString::fromLatin1(v.mid(v.indexOf('=') + 1));
        QDir().mkpath(folder);
        qputenv(v.left(v.indexOf('=')), folder.toLocal8Bit());
    }
    QDir().mkpath(base + u"/sysfs/class/tty"_s);
    QFile::setPermissions(base + u"/runtime"_s,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // No system bus: no test ever talks to the machine's ModemManager. A test that needs one
    // starts a private bus and points this at it.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + QFile::encodeName(base) + "/no-system-bus");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Under the sanitizers, the programs a test starts (simulator, qpx, qpx-diag) write their
    // reports into files that WithChildSanitizerReports() collects: their stderr is rarely shown and a
    // leak at exit does not always change an exit code a test looks at. This process has read its
    // options already and keeps reporting on stderr.
    QDir().mkpath(base + u"/sanitizer"_s);
    const QByteArray logPath = ":log_path=" + QFile::encodeName(base) + "/sanitizer/report";
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS"}) {
        if (qEnvironmentVariableIsSet(name))
            qputenv(name, qgetenv(name) + logPath);
    }
}

int WithChildSanitizerReports(int rc)
{
    QString reports;
    const QMap<QString, QByteArray> files = FilesBelow(TempRoot() + u"/sanitizer"_s);
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        reports += u"--- %1\n"_s.arg(it.key()) + QString::fromLocal8Bit(it.value());
    if (reports.isEmpty())
        return rc;
    std::fprintf(stderr, "Sanitizer reports of started programs:\n%s", qPrintable(reports));
    return 1;
}

QString MakeTempDir(const QString& hint)
{
    const QString path = TempRoot() + u'/' + hint + u'-' + QUuid::createUuid().toString(QUuid::Id128).left(8);
    QDir().mkpath(path);
    return path;
}

bool WriteFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(data) == data.size();
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void FuzzSeed(const char* target, QByteArrayView bytes)
{
    // The fuzz targets take inputs up to 64 KiB; a longer seed would only slow them down.
    const QString root = qEnvironmentVariable("QPX_FUZZ_SEED_DIR");
    if (root.isEmpty() || bytes.size() > 65536)
        return;
    const QString name =
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(16));
    WriteFile(u"%1/fuzz_%2/%3"_s.arg(root, QLatin1String(target), name), bytes.toByteArray());
}

QMap<QString, QByteArray> FilesBelow(const QString& folder)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        out.insert(QDir(folder).relativeFilePath(f), ReadFile(f));
    }
    return out;
}

QString BuiltProgram(const QString& name)
{
    QDirIterator it(QStringLiteral(QPX_BUILD_DIR), QStringList{name}, QDir::Files | QDir::Executable,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        if (!p.contains(u"CMakeFiles"_s))
            return p;
    }
    return {};
}

QByteArray FirstLine(QProcess& process, int waitMs)
{
    QByteArray out;
    while (!out.contains('\n') && process.waitForReadyRead(waitMs))
        out += process.readAllStandardOutput();
    return out.left(out.indexOf('\n'));
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return done();
}

} // namespace qpxtest
