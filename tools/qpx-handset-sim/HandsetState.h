#pragma once
// The simulated handset: its profile (HandsetProfile.h), its NV items and PRLs, its security and
// modes, and the response bodies built from them. Nothing here knows about framing or the
// transport.
#include "HandsetProfile.h"

#include <QByteArray>
#include <QHash>
#include <QString>

// A small valid PRL (standard format, no records) whose PR_LIST_ID is id: what a handset holds
// before anything was written.
QByteArray DefaultPrlImage(quint16 id);

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

    const SHandsetProfile& Profile() const;

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
    bool SpcUnlocked() const;
    bool CheckSpc(const QByteArray& digits);
    // SPC lock-out (0: off): after this many wrong codes in a row every further code is refused,
    // the right one too, for the rest of the run; a reset does not end it (a power cycle, that is
    // a new run of the simulator, does).
    void SetSpcLockout(int attempts);
    bool SpcLockedOut() const;
    // One 0x41 attempt under the lock-out rule; true when it unlocked.
    bool TrySpc(const QByteArray& digits);
    // Item 85 (the SPC itself) refused to readers while the SPC is locked.
    void SetSpcHidden(bool hidden);
    bool SpcHidden() const;
    // Security password (0x46), 8 bytes; empty: the handset has none. When set, the SPC-protected
    // writes also need it, and it stays given until the next reset.
    void SetPassword(const QByteArray& password);
    bool HasPassword() const;
    bool PasswordNeeded() const;
    bool CheckPassword(const QByteArray& bytes);
    bool Offline() const;
    void SetOffline(bool offline);
    // Back online, SPC locked; the simulator then stays silent for a while.
    void Reset();
    bool TakeResetRequest();

    // The PRL image stored for a NAM (empty: none).
    QByteArray Prl(int nam) const;
    void SetPrl(int nam, const QByteArray& image);

    // 0x3A: the handset leaves the diagnostic state once its echo is out.
    void RequestDownload();
    bool TakeDownloadRequest();

    // Software version directory of the version answer (changed by a firmware download).
    void SetSoftwareVersion(const QString& dir);

    // Keeps the handset in folder: NV items, PRLs and the software version are loaded from it
    // now and saved on every change; the file system lives in its "efs" sub-folder.
    bool UseStateFolder(const QString& folder, QString* error);
    QString StateFolder() const;

    // A PRL being received block by block (0x48).
    struct SPrlUpload
    {
        QByteArray data;
        int nNextSeq = 0;
        int nNam = -1;
    };
    SPrlUpload m_prlUpload;

private:
    static quint32 NvKey(quint16 item, quint8 nam);
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
