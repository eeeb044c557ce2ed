#pragma once
// Appending a block of text to a log file in the LOG folder. The folder is created when
// missing; a file that cannot be written because access is denied, or that takes only part of
// the block, is replaced by one whose name carries a leading "!" (a few attempts at most, each
// adding one more "!"). Files are only ever appended to. Failures are silent: the caller's work
// never depends on its log.
#include <QByteArray>
#include <QString>

#include <functional>

// Appends bytes to folder/name. Returns the path written, or an empty string.
QString AppendLogBlock(const QString& folder, const QString& fileName, const QByteArray& block);

// "%d-%d-%d,\t%2d:%2d:%2d" style helpers shared by the logs.
QByteArray BlankPadded2(int n);

constexpr int LOG_BANG_ATTEMPTS = 4;

// Test seam: when set, returns the errno an open of the path should fail with (0 = open).
void SetLogOpenFailureForTest(std::function<int(const QString&)> failure);
