#include "OperationLog.h"

#include "core/LogFile.h"

#include <cstdio>
#include <cstring>

namespace {

const char kSeparator[] = ";---------------------------------------\r\n";

QByteArray Field(const char* label, const QString& value)
{
    return QByteArray(label) + value.toUtf8() + "\r\n";
}

const char* OperationName(int operation)
{
    switch (operation) {
    case 1:
        return "Upgrade";
    case 2:
        return "Bin Download";
    case 3:
        return "Script";
    case 4:
        return "PRL";
    case 5:
        return "ERI";
    case 6:
        return "Setting";
    case 7:
        return "Phonebook";
    case 8:
        return "Transfer";
    case 9:
        return "Refurbish";
    default:
        return nullptr;
    }
}

template <size_t N> QByteArray Printf(const char (&format)[N], auto... args)
{
    char buffer[128];
    const int n = std::snprintf(buffer, sizeof buffer, format, args...);
    return QByteArray(buffer, n < 0 ? 0 : qMin(n, int(sizeof buffer) - 1));
}

} // namespace

QByteArray ResultText(const char* field, int size)
{
    if (field == nullptr || size <= 0)
        return {};
    const void* nul = std::memchr(field, 0, size_t(size));
    const qsizetype len = nul == nullptr ? size : static_cast<const char*>(nul) - field;
    return QByteArray(field, len);
}

QString OperationLogFileName(const QDate& date)
{
    return QStringLiteral("%1_%2_%3_log.txt").arg(date.year()).arg(date.month()).arg(date.day());
}

QByteArray HandsetLogBlock(const SHandsetTexts& h)
{
    QByteArray b;
    b += Field("Compile Date\t:\t", h.strCompileDate);
    b += Field("Release Date\t:\t", h.strReleaseDate);
    b += Field("S/W Version\t:\t", h.strSwVersion);
    b += Field("ESN\t\t:\t", h.strEsn);
    b += Field("Digital MIN\t:\t", h.strDigitalMin);
    b += Field("Analog MIN\t:\t", h.strAnalogMin);
    b += Field("MSM Version\t:\t", h.strMsmVersion);
    b += Field("PRL Version\t:\t", h.strPrlVersion);
    b += Field("ERI Version\t:\t", h.strEriVersion);
    b += "\r\n";
    return b;
}

QByteArray OperationLogBlock(const OperationResult& r, int operation, int port, const QString& modelName,
                             int lastDirection, int transferMode, const QDateTime& when)
{
    const QDate d = when.date();
    const QTime t = when.time();
    QByteArray b;
    b += kSeparator;
    b += Printf("* Operation Started\t: %d-%d-%d,\t%2d:%2d:%2d\r\n", d.year(), d.month(), d.day(), t.hour(),
                t.minute(), t.second());
    b += kSeparator;
    if (const char* name = OperationName(operation))
        b += QByteArray("Current Operation\t:\t") + name + "\r\n";
    if (operation == 4 || operation == 5)
        b += QByteArray("Current mode\t\t:\t") + (lastDirection != 0 ? "read" : "write") + "\r\n";
    else if (operation == 8)
        b += QByteArray("Current mode\t\t:\t") + (transferMode == 1 ? "BACKUP" : "RESTORE") + "\r\n";
    b += Printf("COM Port\t\t:\t%d\r\n", port);
    b += Field("Model Name\t\t:\t", modelName);
    b += "Last Processed File\t:\t" + ResultText(r.szFileName, sizeof r.szFileName) + "\r\n";
    b += "Last Message\t\t:\t" + ResultText(r.szMessage, sizeof r.szMessage) + "\r\n";
    b += Printf("Elapsed Time\t\t:\t%d min %f sec\r\n", r.nMinutes, double(r.fSeconds));
    b += "Last Status\t\t:\t" + ResultText(r.szStatus, sizeof r.szStatus) + "\r\n\r\n\r\n";
    return b;
}

QString WriteOperationLog(const OperationResult& result, int operation, const SHandsetTexts& handset,
                          bool& logHandsetInfo, const QString& installDir, int port, const QString& modelName,
                          int lastDirection, int transferMode, const QDateTime& when)
{
    // One reading of the clock names the file and stamps the block.
    QByteArray block;
    if (logHandsetInfo)
        block += HandsetLogBlock(handset);
    block += OperationLogBlock(result, operation, port, modelName, lastDirection, transferMode, when);
    const QString written =
        AppendLogBlock(installDir + QStringLiteral("LOG/"), OperationLogFileName(when.date()), block);
    if (!written.isEmpty())
        logHandsetInfo = false;
    return written;
}

OperationResult UnfinishedOperationResult(qint64 elapsedMs)
{
    OperationResult r;
    std::memset(&r, 0, sizeof r);
    r.nResult = 0;
    r.nMinutes = static_cast<int32_t>(elapsedMs / 60000);
    r.fSeconds = static_cast<float>(elapsedMs % 60000) / 1000.0f;
    qstrncpy(r.szMessage, "The program ended before the plug-in reported the end of the operation.",
             sizeof r.szMessage);
    qstrncpy(r.szStatus, "Not finished: the program ended during the operation", sizeof r.szStatus);
    return r;
}

QString ElapsedTimeText(int minutes, float seconds)
{
    return QString::fromLatin1(Printf("%02d:%04.1f s", minutes, double(seconds)));
}
