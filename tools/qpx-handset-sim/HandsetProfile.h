#pragma once
// The simulated handset's identity and radio state (the profile), and its file format.
//
// Profile file: plain text, one "key=value" per line; blank lines and lines starting with '#'
// are skipped; unknown keys are errors. Numbers are decimal or 0x-hexadecimal; the ESN is always
// hexadecimal. Phone numbers are 10 digits (7 digits leave MIN2 at 0); other characters in them
// are ignored. --print-profile writes every key in the same format.
#include <QString>

struct SHandsetProfile
{
    quint32 nEsn = 0x8F2A41D3;
    QString strDigitalNumber = QStringLiteral("2125550147");
    QString strAnalogNumber = QStringLiteral("2125550147");
    // Raw MIN values; -1 means "from the phone number". They let a profile send values that no
    // phone number gives (MIN2 above 999, for example).
    qint64 nDigitalMin1 = -1, nDigitalMin2 = -1, nAnalogMin1 = -1, nAnalogMin2 = -1;
    quint16 nRfMode = 1;
    quint16 nChannel = 384;
    quint8 nCodeChannel = 12;
    quint16 nPilotPn = 168;
    quint16 nSid = 4145;
    quint16 nNid = 1;
    quint16 nLocaid = 7;
    quint8 nProtocolRevision = 6;
    QString strCompileDate = QStringLiteral("Mar 14 2006");
    QString strCompileTime = QStringLiteral("10:22:31");
    QString strReleaseDate = QStringLiteral("Mar 15 2006");
    QString strReleaseTime = QStringLiteral("09:00:00");
    QString strSwVersionDir = QStringLiteral("VKQ100A1");
    quint16 nFirmwareRevision = 1206;
    quint8 nMobileModel = 42;
    quint8 nSlotCycleIndex = 2;
    quint8 nStationClassMark = 0x2A;
    quint8 nHwMajor = 0x61;
    quint8 nHwMinor = 0x0A;
    quint16 nPrlVersion[2] = {52, 53};
    bool bEriSet = true;                       // false: item 4025 was never written
    QString strSpc = QStringLiteral("000000"); // NV item 85
    quint16 nEriVersion = 3;
    // Lengths of the status and version answers (1..4000): shorter ones end early, longer ones
    // carry zero bytes after the known fields. Many real handsets send a 48-byte status answer.
    quint16 nStatusLength = 49;
    quint16 nVersionLength = 55;
};

// The IS-95 MIN of a phone number: MIN2 = area code, MIN1 = the seven-digit number.
// False when the text does not hold 7 or 10 digits.
bool EncodeMin(const QString& number, quint32& min1, quint16& min2);
// The digital (CDMA) and analog MIN1/MIN2 of a profile: its numbers encoded, unless it sets a
// coded value itself.
void ProfileMins(const SHandsetProfile& p, quint32& dmin1, quint16& dmin2, quint32& amin1, quint16& amin2);

// Reads a profile file over the values already in profile. False with a message naming the line.
bool LoadProfile(const QString& path, SHandsetProfile& profile, QString* error);
// Applies one "key=value" line; false for an unknown key or a bad value.
bool SetProfileValue(SHandsetProfile& profile, const QString& key, const QString& value);
// Every key in file format, one per line, in a fixed order.
QString ProfileText(const SHandsetProfile& profile);
