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

// A small valid PRL (standard format, no records) whose PR_LIST_ID is id: what a handset holds
// before anything was written.
QByteArray DefaultPrlImage(quint16 id);

// Reads a profile file over the values already in profile. False with a message naming the line.
bool LoadProfile(const QString& path, SHandsetProfile& profile, QString* error);
// Applies one "key=value" line; false for an unknown key or a bad value.
bool SetProfileValue(SHandsetProfile& profile, const QString& key, const QString& value);
// Every key in file format, one per line, in a fixed order.
QString ProfileText(const SHandsetProfile& profile);

class CHandsetState
{
public:
    static constexpr quint16 NV_ITEM_ESN = 0;
    static constexpr quint16 NV_ITEM_SCM = 4;
    static constexpr quint16 NV_ITEM_SLOT_CYCLE_INDEX = 5;
    static constexpr quint16 NV_ITEM_SPC = 85;
    static constexpr quint16 NV_ITEM_MEID = 1943;
    static constexpr quint16 NV_ITEM_ERI_VERSION = 4025;
    static constexpr int STATUS_RESPONSE_SIZE = 49;
    static constexpr int VERSION_RESPONSE_SIZE = 55;

    // NV status codes of the item read/write answers.
    enum ENvStatus : quint16
    {
        NV_DONE = 0,
        NV_INACTIVE = 5,
        NV_BAD_PARAMETER = 6,
        NV_READ_ONLY = 7
    };

    explicit CHandsetState(const SHandsetProfile& profile);

    const SHandsetProfile& Profile() const { return m_profile; }

    QByteArray StatusResponse() const;
    QByteArray VersionResponse() const;
    // PR_LIST_ID of the PRL stored for NAM 0 or 1; 0 when the NAM holds none.
    quint16 PrlVersion(int nam) const;
    // An NV item's 128 data bytes (NAM 0 for per-NAM items); false when never written.
    bool ReadNvItem(quint16 item, QByteArray& data) const;
    void WriteNvItem(quint16 item, const QByteArray& data);

    // Item access as the NV commands see it: per-NAM items are keyed by data byte 0.
    ENvStatus ReadNv(quint16 item, const QByteArray& requestData, QByteArray& data) const;
    ENvStatus WriteNv(quint16 item, const QByteArray& data);
    static bool IsPerNam(quint16 item);
    static bool IsReadOnly(quint16 item);
    // Items of the General NAM, NAM and System Security groups: written only after the SPC.
    static bool IsSpcProtected(quint16 item);

    // Security and modes. The SPC unlock, the password and offline mode last until the next reset.
    bool SpcUnlocked() const { return m_bSpcUnlocked; }
    bool CheckSpc(const QByteArray& digits);
    // SPC lock-out (0: off): after this many wrong codes in a row every further code is refused,
    // the right one too, for the rest of the run; a reset does not end it (a power cycle, that is
    // a new run of the simulator, does).
    void SetSpcLockout(int attempts) { m_nSpcLockout = attempts; }
    bool SpcLockedOut() const { return m_nSpcLockout > 0 && m_nWrongSpc >= m_nSpcLockout; }
    // One 0x41 attempt under the lock-out rule; true when it unlocked.
    bool TrySpc(const QByteArray& digits)
    {
        if (SpcLockedOut()) {
            m_bSpcUnlocked = false;
            return false;
        }
        const bool ok = CheckSpc(digits);
        m_nWrongSpc = ok ? 0 : m_nWrongSpc + 1;
        return ok;
    }
    // Item 85 (the SPC itself) refused to readers while the SPC is locked.
    void SetSpcHidden(bool hidden) { m_bSpcHidden = hidden; }
    bool SpcHidden() const { return m_bSpcHidden; }
    // Security password (0x46), 8 bytes; empty: the handset has none. When set, the SPC-protected
    // writes also need it, and it stays given until the next reset.
    void SetPassword(const QByteArray& password)
    {
        m_password = password;
        m_bPasswordGiven = false;
    }
    bool HasPassword() const { return !m_password.isEmpty(); }
    bool PasswordNeeded() const { return HasPassword() && !m_bPasswordGiven; }
    bool CheckPassword(const QByteArray& bytes)
    {
        if (!HasPassword())
            return true;
        m_bPasswordGiven = bytes == m_password;
        return m_bPasswordGiven;
    }
    bool Offline() const { return m_bOffline; }
    void SetOffline(bool offline) { m_bOffline = offline; }
    // Back online, SPC locked; the simulator then stays silent for a while.
    void Reset();
    bool TakeResetRequest();

    // The PRL image stored for a NAM (empty: none).
    QByteArray Prl(int nam) const { return m_prl[nam & 1]; }
    void SetPrl(int nam, const QByteArray& image);

    // 0x3A: the handset leaves the diagnostic state once its echo is out.
    void RequestDownload() { m_bDownloadRequested = true; }
    bool TakeDownloadRequest()
    {
        const bool r = m_bDownloadRequested;
        m_bDownloadRequested = false;
        return r;
    }

    // Software version directory of the version answer (changed by a firmware download).
    void SetSoftwareVersion(const QString& dir);

    // Keeps the handset in folder: NV items, PRLs and the software version are loaded from it
    // now and saved on every change; the file system lives in its "efs" sub-folder.
    bool UseStateFolder(const QString& folder, QString* error);
    QString StateFolder() const { return m_strStateFolder; }

    // A PRL being received block by block (0x48).
    struct SPrlUpload
    {
        QByteArray data;
        int nNextSeq = 0;
        int nNam = -1;
    };
    SPrlUpload m_prlUpload;

private:
    static quint32 NvKey(quint16 item, quint8 nam) { return item | (static_cast<quint32>(nam) << 16); }
    void Save() const;

    SHandsetProfile m_profile;
    QHash<quint32, QByteArray> m_nvItems;
    QByteArray m_prl[2];
    bool m_bSpcUnlocked = false;
    int m_nSpcLockout = 0;
    int m_nWrongSpc = 0;
    bool m_bSpcHidden = false;
    QByteArray m_password;
    bool m_bPasswordGiven = false;
    bool m_bOffline = false;
    bool m_bResetRequested = false;
    bool m_bDownloadRequested = false;
    QString m_strStateFolder;
};
