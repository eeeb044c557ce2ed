#pragma once
// The program log: one block per program start, appended to
// LOG/<computer>_<user>_<year>_<month>_<day>_log.txt of the installation folder, and one block per
// port the user had to be told about (busy, not permitted).
#include "platform/SystemInfo.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

QString StartOfRunLogFileName(const QString& computer, const QString& user, const QDate& date);
QByteArray FormatStartOfRunBlock(const QDateTime& now, const QString& computer, const QString& user,
                                 const SOsVersionInfo& os, const QString& version);

// Writes the block for the current time; returns whether it was written. Shows nothing.
bool WriteStartOfRunLog(const QString& installDir, const QString& version,
                        const QDateTime& now = QDateTime::currentDateTime());

// ";---…", "* Port Problem\t: <date>,\t<time>", ";---…", "COM Port\t: <n>", "Problem\t\t: <text>"
// (the text on one line), and an empty line.
QByteArray FormatPortProblemBlock(const QDateTime& now, int port, const QString& text);
bool WritePortProblemLog(const QString& installDir, int port, const QString& text,
                         const QDateTime& now = QDateTime::currentDateTime());
