#pragma once
// Test environment: every test process gets its own temporary XDG folders so no test
// touches the user's settings, lock files or virtual ports.
#include <QByteArray>
#include <QByteArrayView>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

class QProcess;

namespace qpxtest {

// Called once by the test mains before anything else runs.
void SetUpProcessEnvironment();

// The exit status of the test run: rc, or 1 when a program this process started left a sanitizer
// report (printed here), so such a report fails the run like one of this process.
int WithChildSanitizerReports(int rc);

// A fresh, empty folder for one test below this process's temporary area (removed at exit).
QString MakeTempDir(const QString& hint);

// Writes bytes to a file, creating parent folders. Returns false on failure.
bool WriteFile(const QString& path, const QByteArray& data);
QByteArray ReadFile(const QString& path);
// Every file below folder (hidden ones too), by path relative to folder, with its contents.
QMap<QString, QByteArray> FilesBelow(const QString& folder);

// Runs the event loop until done() holds or timeoutMs pass; done()'s last answer. The default is
// long: a wait only ends early on success, and a busy CI machine can be slow to deliver.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 30000);

// Collects the Qt log messages (qCWarning and the like) of every thread while it lives; they
// still reach the previous handler.
class CLogCapture
{
public:
    CLogCapture();
    ~CLogCapture();
    CLogCapture(const CLogCapture&) = delete;
    CLogCapture& operator=(const CLogCapture&) = delete;
    // How many messages so far contain every one of the parts.
    int Count(const QStringList& parts) const;
};

// With QPX_FUZZ_SEED_DIR set (scripts/fuzz --seeds), keeps bytes as a seed of the fuzz target
// fuzz_<target> (one file per distinct input); does nothing otherwise.
void FuzzSeed(const char* target, QByteArrayView bytes);

// The first line a started process writes to stdout (without the newline), empty when it writes
// none within waitMs per read.
QByteArray FirstLine(QProcess& process, int waitMs);

// Path of a built program (qpx, qpx-diag, qpx-handset-sim...) in the build tree.
QString BuiltProgram(const QString& name);

} // namespace qpxtest
