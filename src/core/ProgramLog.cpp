#include "ProgramLog.h"

#include "LogFile.h"

QString StartOfRunLogFileName(const QString& computer, const QString& user, const QDate& date)
{
    return QStringLiteral("%1_%2_%3_%4_%5_log.txt")
        .arg(computer, user)
        .arg(date.year())
        .arg(date.month())
        .arg(date.day());
}

namespace {
const QByteArray SEPARATOR = ";---------------------------------------\r\n";

QByteArray DateTimeText(const QDateTime& now)
{
    const QDate d = now.date();
    const QTime t = now.time();
    return QByteArray::number(d.year()) + '-' + QByteArray::number(d.month()) + '-' +
           QByteArray::number(d.day()) + ",\t" + BlankPadded2(t.hour()) + ':' + BlankPadded2(t.minute()) +
           ':' + BlankPadded2(t.second());
}

bool AppendToTodaysLog(const QString& installDir, const QDateTime& now, const QByteArray& block)
{
    const QString file = StartOfRunLogFileName(GetComputerNameText(), GetUserNameText(), now.date());
    return !AppendLogBlock(installDir + QStringLiteral("LOG/"), file, block).isEmpty();
}
} // namespace

QByteArray FormatStartOfRunBlock(const QDateTime& now, const QString& computer, const QString& user,
                                 const SOsVersionInfo& os, const QString& version)
{
    QByteArray b;
    b += SEPARATOR;
    b += "* QPX Started\t: " + DateTimeText(now) + "\r\n";
    b += SEPARATOR;
    b += "Computer Name\t: " + computer.toLocal8Bit() + "\r\n";
    b += "User Name\t: " + user.toLocal8Bit() + "\r\n";
    b += "OS Version\t: " + QByteArray::number(os.nMajor) + '.' + QByteArray::number(os.nMinor) + " build " +
         QByteArray::number(os.nBuild & 0xFFFF) + ' ' + os.strName.toLocal8Bit() + ' ' +
         os.strServicePack.toLocal8Bit() + "\r\n";
    b += "Downloader Ver.\t: " + version.toLocal8Bit() + "\r\n\r\n";
    return b;
}

bool WriteStartOfRunLog(const QString& installDir, const QString& version, const QDateTime& now)
{
    return AppendToTodaysLog(
        installDir, now,
        FormatStartOfRunBlock(now, GetComputerNameText(), GetUserNameText(), COsVersion::Get(), version));
}

QByteArray FormatPortProblemBlock(const QDateTime& now, int port, const QString& text)
{
    QByteArray b;
    b += SEPARATOR;
    b += "* Port Problem\t: " + DateTimeText(now) + "\r\n";
    b += SEPARATOR;
    b += "COM Port\t: " + QByteArray::number(port) + "\r\n";
    b += "Problem\t\t: " + QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')).toLocal8Bit() +
         "\r\n\r\n";
    return b;
}

bool WritePortProblemLog(const QString& installDir, int port, const QString& text, const QDateTime& now)
{
    return AppendToTodaysLog(installDir, now, FormatPortProblemBlock(now, port, text));
}
