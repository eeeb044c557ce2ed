#pragma once
// Computer name, user name and operating-system description for the logs.
#include <QString>

QString GetComputerNameText();
QString GetUserNameText();

// The operating-system record, read once per process and cached.
struct SOsVersionInfo
{
    int nMajor = 0;
    int nMinor = 0;
    int nBuild = 0;
    QString strName;        // distribution name, e.g. "Debian GNU/Linux 12 (bookworm)"
    QString strServicePack; // kernel release text, e.g. "6.1.0-18-amd64"
};

class COsVersion
{
public:
    static const SOsVersionInfo& Get();
    // Parsers kept apart so tests can feed them.
    static void ParseKernelRelease(const QString& release, SOsVersionInfo& info);
    static QString ParseOsReleaseName(const QByteArray& osRelease);
};
