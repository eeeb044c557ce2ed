#pragma once
// The simulated handset: its identity and radio state (the profile) and its NV items, and the
// response bodies built from them. Nothing here knows about framing or the transport.
//
// Profile file: plain text, one "key=value" per line; blank lines and lines starting with '#'
// are skipped; unknown keys are errors. Numbers are decimal or 0x-hexadecimal; the ESN is always
// hexadecimal. Phone numbers are 10 digits (7 digits leave MIN2 at 0); other characters in them
// are ignored. --print-profile writes every key in the same format.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

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
    QString strSwVersionDir = QStringLiteral("KQ100V12");
    quint16 nFirmwareRevision = 1206;
    quint8 nMobileModel = 42;
    quint8 nSlotCycleIndex = 2;
    quint8 nStationClassMark = 0x2A;
    quint8 nHwMajor = 0x61;
    quint8 nHwMinor = 0x0A;
    quint16 nPrlVersion[2] = {52, 53};
    bool bEriSet = true; // false: item 4025 was never written
    quint16 nEriVersion = 3;
};

// The IS-95 MIN of a phone number: MIN2 = area code, MIN1 = the seven-digit number.
// False when the text does not hold 7 or 10 digits.
bool EncodeMin(const QString& number, quint32& min1, quint16& min2);

// Reads a profile file over the values already in profile. False with a message naming the line.
bool LoadProfile(const QString& path, SHandsetProfile& profile, QString* error);
// Applies one "key=value" line; false for an unknown key or a bad value.
bool SetProfileValue(SHandsetProfile& profile, const QString& key, const QString& value);
// Every key in file format, one per line, in a fixed order.
QString ProfileText(const SHandsetProfile& profile);

class CHandsetState
{
public:
    static constexpr quint16 NV_ITEM_ERI_VERSION = 4025;
    static constexpr int NV_DATA_SIZE = 128;
    static constexpr int STATUS_RESPONSE_SIZE = 49;
    static constexpr int VERSION_RESPONSE_SIZE = 55;

    explicit CHandsetState(const SHandsetProfile& profile);

    const SHandsetProfile& Profile() const { return m_profile; }

    QByteArray StatusResponse() const;
    QByteArray VersionResponse() const;
    // PRL version of NAM 0 or 1.
    quint16 PrlVersion(int nam) const { return m_profile.nPrlVersion[nam & 1]; }
    // An NV item's 128 data bytes; false when the item was never written.
    bool ReadNvItem(quint16 item, QByteArray& data) const;
    void WriteNvItem(quint16 item, const QByteArray& data);

private:
    SHandsetProfile m_profile;
    QHash<quint16, QByteArray> m_nvItems;
};
