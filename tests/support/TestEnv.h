#pragma once
// Test environment: every test process gets its own temporary XDG folders so no test
// touches the user's settings, lock files or virtual ports.
#include <QString>

namespace qpxtest {

// Called once by the test mains before anything else runs.
void SetUpProcessEnvironment();

// Root of this process's temporary area (removed at exit).
QString TempRoot();

// A fresh, empty folder below TempRoot() for one test.
QString MakeTempDir(const QString& hint);

// Writes bytes to a file, creating parent folders. Returns false on failure.
bool WriteFile(const QString& path, const QByteArray& data);
QByteArray ReadFile(const QString& path);

// Path of a built program (qpx, qpx-diag, qpx-handset-sim...) in the build tree.
QString BuiltProgram(const QString& name);

} // namespace qpxtest
