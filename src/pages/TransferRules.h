#pragma once
// What the memory transfer page decides before it calls the plug-in: the item mask, which items a
// restore can offer, whether a backup for the plug-in's software exists, and whether the plug-in
// serves the handset.
//
// The work folder is TRANS_BK in the plug-in's folder:
//   TRANS_BK/pim                      phonebook            (row 1, mask 2)
//   TRANS_BK/sms + TRANS_BK/MMS       messages, both       (row 2, mask 4)
//   TRANS_BK/brew/mod/iwsapp/schedule calendar             (row 3, mask 8)
//   TRANS_BK/ui.data                  user interface data  (row 4, mask 16)
//   TRANS_BK/<VERSION>.pp...          backup marker file: upper-cased name contains ".PP" and its
//                                     upper-cased part before the first dot is the version
// Row 0 " All Items" is mask 1.
#include <QList>
#include <QString>

class QDateTime;

constexpr int TRANSFER_ITEM_COUNT = 5;
// Row texts of the items list (each begins with a blank).
extern const char* const TRANSFER_ITEM_TEXTS[TRANSFER_ITEM_COUNT];

// Bit n set when row n is checked (rows past 4 are ignored).
quint32 TransferItemMask(const QList<bool>& checked);

// Which of the five paths of the work folder exist (files or folders, as the plug-in wrote them).
struct STransferPresence
{
    quint8 nPaths = 0; // bit n: the n-th path in the table above, from pim to ui.data

    // Whether restore row r (1..4) has its data (messages: both paths); row 0: whether any of
    // the five paths exists.
    bool RowAvailable(int row) const;
    bool Any() const { return nPaths != 0; }
};

// Tests the paths below <folder of dllFile>/TRANS_BK. A plug-in path without a folder has none.
STransferPresence ProbeTransferFolder(const QString& dllFile);

struct SBackupScan
{
    bool bFound = false;   // a marker for the supported version exists
    QString strWorkFolder; // the last matching folder listed (empty when none)
};

// The backup marker scan: every folder directly in the plug-in's folder whose own name, upper-
// cased, is "TRANS_BK" (in name order; the last is the work folder), and in each the plain files
// whose upper-cased name contains ".PP" and whose upper-cased name before the first dot equals
// supportedVersion exactly. So a supported version with lower-case letters never matches, a
// lower-case marker matches an upper-case version, and neither a sibling such as TRANS_BK_old
// nor an archive TRANS_BK.<time> is ever taken for the work folder.
SBackupScan ScanBackupMarker(const QString& dllFile, const QString& supportedVersion);

// The handset is compatible when supportedVersion occurs in handsetVersion (the S/W Version text
// of the version list) at or after its last capital "V". No "V", no compatibility.
bool IsTransferCompatible(const QString& handsetVersion, const QString& supportedVersion);

// The previous backup while a new one is made over it: moved aside into an archive beside it
// before the plug-in writes, removed when the new backup succeeded, brought back when it failed.
// A program that ends in between leaves it as an archive, so it is never lost.
class CPreviousBackup
{
public:
    // Moves workFolder (as the marker scan found it) aside. False, with nothing moved, when it is
    // not a real folder inside the plug-in's folder or cannot be moved.
    bool SetAside(const QString& workFolder, const QString& dllFile, const QDateTime& when);
    // The new backup has ended: on success the previous one is removed; otherwise whatever the
    // failed attempt left in the work folder is removed and the previous one put back.
    void Settle(bool newBackupSucceeded);
    bool IsSetAside() const { return !m_strArchive.isEmpty(); }
    QString Archive() const { return m_strArchive; }

private:
    QString m_strWorkFolder;
    QString m_strPluginFolder;
    QString m_strArchive;
};
