#pragma once
// The daily operation log: every finished plug-in operation appends one block to
// <install dir>LOG/<year>_<month>_<day>_log.txt (no zero padding, local date of writing).
// The first block of a run is preceded by the handset block. Lines end in CR LF; texts are
// written as 8-bit bytes without conversion (Qt strings as UTF-8).
//
//   Compile Date\t:\t<text>            } handset block, once per run
//   ...                                 }
//   ERI Version\t:\t<text>\r\n\r\n      }
//   ;---------------------------------------
//   * Operation Started\t: 2006-5-17,\t 9: 5: 3
//   ;---------------------------------------
//   Current Operation\t:\tPRL
//   Current mode\t\t:\tread             (4, 5: read/write; 8: BACKUP/RESTORE)
//   COM Port\t\t:\t5
//   Model Name\t\t:\t<model>
//   Last Processed File\t:\t<szFileName>
//   Last Message\t\t:\t<szMessage>
//   Elapsed Time\t\t:\t2 min 5.340000 sec
//   Last Status\t\t:\t<szStatus>\r\n\r\n\r\n
#include "qpx_plugin.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

// The handset texts the log writes once per run: the Information page's ESN and MINs and the
// version list's texts.
struct SHandsetTexts
{
    QString strEsn;
    QString strDigitalMin;
    QString strAnalogMin;
    QString strCompileDate;
    QString strReleaseDate;
    QString strSwVersion;
    QString strMsmVersion;
    QString strPrlVersion;
    QString strEriVersion;
};

// "%d_%d_%d_log.txt" of the date.
QString OperationLogFileName(const QDate& date);

// The handset block (nine lines, the last followed by an empty line).
QByteArray HandsetLogBlock(const SHandsetTexts& handset);

// The operation block. operation: 1 Upgrade, 2 Bin Download, 3 Script, 4 PRL, 5 ERI, 6 Setting,
// 7 Phonebook, 8 Transfer, 9 Refurbish (any other number writes no operation line).
// lastDirection: m_nLastDirection (0 = write, otherwise read) for 4 and 5; transferMode: the
// memory transfer page's mode (1 = backup) for 8.
QByteArray OperationLogBlock(const OperationResult& result, int operation, int port, const QString& modelName,
                             int lastDirection, int transferMode, const QDateTime& when);

// Appends the entry to the day file below installDir (which ends in "/"; "LOG/" is appended).
// When logHandsetInfo is true the handset block goes first and the flag is cleared once the
// entry is written. A day file that denies access makes the entry go to "!" + the file name (see
// AppendLogBlock). Returns the path written, or empty when the entry was dropped.
QString WriteOperationLog(const OperationResult& result, int operation, const SHandsetTexts& handset,
                          bool& logHandsetInfo, const QString& installDir, int port, const QString& modelName,
                          int lastDirection, int transferMode,
                          const QDateTime& when = QDateTime::currentDateTime());

// The entry of an operation whose plug-in never reported its end because the program ended
// first: a failure, with the time it had run.
OperationResult UnfinishedOperationResult(qint64 elapsedMs);

// The page's elapsed-time text, "%02d:%04.1f s" (2 min 5.34 s -> "02:05.3 s").
QString ElapsedTimeText(int minutes, float seconds);

// A text field of the record: up to its first NUL, never past the end of its array.
QByteArray ResultText(const char* field, int size);
