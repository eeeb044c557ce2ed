#include "ProgramLog.h"

#include "LogFile.h"

namespace {
const QByteArray SEPARATOR = ";---------------------------------------\r\n";
}

QString StartOfRunLogFileName(const QString& computer, const QString& user, const QDate& date)
{
    return QStringLiteral("%1_%2_%3_%4_%5_log.txt")
        .arg(computer, user)
        .arg(date.year())
        .arg(date.month())
        .arg(date.day());
}

QByteArray FormatStartOfRunBlock(const QDateTime& now, const QString& computer, const QString& user,
                                 const SOsVersionInfo& os, const QString& version)
{
    const QDate d = now.date();
    const QTime t = now.time();
    QByteArray b;
    b += SEPARATOR;
    b += "* QPX Started\t: " + QByteArray::number(d.year()) + '-' + QByteArray::number(d.month()) + '-' +
         QByteArray::number(d.day()) + ",\t" + BlankPadded2(t.hour()) + ':' + BlankPadded2(t.minute()) + ':' +
         BlankPadded2(t.second()) + "\r\n";
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
    const QString computer = GetComputerNameText();
    const QString user = GetUserNameText();
    const QByteArray block = FormatStartOfRunBlock(now, computer, user, COsVersion::Get(), version);
    return !AppendLogBlock(installDir + QStringLiteral("LOG/"),
                           StartOfRunLogFileName(computer, user, now.date()), block)
                .isEmpty();
}
