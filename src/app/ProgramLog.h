#pragma once
// The start-of-run log: one block per program start, appended to
// LOG/<computer>_<user>_<year>_<month>_<day>_log.txt of the installation folder.
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
