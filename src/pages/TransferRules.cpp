#include "TransferRules.h"

#include "core/WorkFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include <iterator>

namespace {
Q_LOGGING_CATEGORY(lcTransfer, "qpx.transfer")

// The paths below TRANS_BK and the restore row whose data each holds.
const struct
{
    const char* below;
    int row;
} TRANSFER_PATHS[] = {
    {"pim", 1}, {"sms", 2}, {"MMS", 2}, {"brew/mod/iwsapp/schedule", 3}, {"ui.data", 4},
};

} // namespace

const char* const TRANSFER_ITEM_TEXTS[TRANSFER_ITEM_COUNT] = {
    " All Items", " Phone book", " SMS, MMS, EMS Contents", " Calendar", " User Interface",
};

quint32 TransferItemMask(const QList<bool>& checked)
{
    quint32 mask = 0;
    for (int i = 0; i < TRANSFER_ITEM_COUNT && i < checked.size(); ++i)
        if (checked.at(i))
            mask |= 1u << i;
    return mask;
}

bool STransferPresence::RowAvailable(int row) const
{
    if (row == 0)
        return Any();
    quint8 needed = 0;
    for (size_t i = 0; i < std::size(TRANSFER_PATHS); ++i)
        if (TRANSFER_PATHS[i].row == row)
            needed |= 1u << i;
    return needed != 0 && (nPaths & needed) == needed;
}

STransferPresence ProbeTransferFolder(const QString& dllFile)
{
    STransferPresence p;
    const QString work = TransferWorkFolder(dllFile);
    if (work.isEmpty())
        return p;
    for (size_t i = 0; i < std::size(TRANSFER_PATHS); ++i)
        if (QFileInfo::exists(work + QLatin1Char('/') + QLatin1String(TRANSFER_PATHS[i].below)))
            p.nPaths |= 1u << i;
    return p;
}

SBackupScan ScanBackupMarker(const QString& dllFile, const QString& supportedVersion)
{
    SBackupScan scan;
    const QString folder = PluginFolderOf(dllFile);
    if (folder.isEmpty())
        return scan;
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        // The folder's own name only: the plug-in's path may hold the word anywhere.
        if (entry.fileName().toUpper() != QLatin1String("TRANS_BK"))
            continue;
        const QString path = folder + QLatin1Char('/') + entry.fileName();
        scan.strWorkFolder = path;
        const QFileInfoList files = QDir(path).entryInfoList(
            QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo& file : files) {
            const QString upper = file.fileName().toUpper();
            if (!upper.contains(QLatin1String(".PP")))
                continue;
            if (upper.left(upper.indexOf(QLatin1Char('.'))) == supportedVersion)
                scan.bFound = true;
        }
    }
    return scan;
}

bool IsTransferCompatible(const QString& handsetVersion, const QString& supportedVersion)
{
    const qsizetype v = handsetVersion.lastIndexOf(QLatin1Char('V'));
    if (v < 0)
        return false;
    return handsetVersion.indexOf(supportedVersion, v) >= 0;
}

bool CPreviousBackup::SetAside(const QString& workFolder, const QString& dllFile, const QDateTime& when)
{
    m_strPluginFolder = PluginFolderOf(dllFile);
    m_strWorkFolder = workFolder;
    m_strArchive = ArchiveFolderGuarded(workFolder, m_strPluginFolder, when);
    return IsSetAside();
}

void CPreviousBackup::Settle(bool newBackupSucceeded)
{
    if (!IsSetAside())
        return;
    if (newBackupSucceeded) {
        if (!RemoveFolderGuarded(m_strArchive, m_strPluginFolder))
            qCWarning(lcTransfer) << "previous backup kept in" << m_strArchive;
    } else {
        const auto taken = [this] {
            const QFileInfo f(m_strWorkFolder);
            return f.exists() || f.isSymLink();
        };
        if (taken())
            RemoveFolderGuarded(m_strWorkFolder, m_strPluginFolder);
        // Whatever the guard would not remove stays, and the previous backup stays an archive.
        if (taken() || !QDir().rename(m_strArchive, m_strWorkFolder))
            qCWarning(lcTransfer) << "previous backup left in" << m_strArchive;
    }
    m_strArchive.clear();
}
