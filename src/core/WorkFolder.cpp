#include "WorkFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// Deletes the entries of a folder that is already known to be safe. Links are deleted as
// links; sub-folders are emptied and removed.
void EmptyContents(const QString& folder)
{
    QDir dir(folder);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& e : entries) {
        if (e.isSymLink() || !e.isDir()) {
            QFile::remove(e.absoluteFilePath());
        } else {
            EmptyContents(e.absoluteFilePath());
            dir.rmdir(e.fileName());
        }
    }
}

bool IsSafeBelow(const QString& folder, const QString& allowedRoot)
{
    if (folder.isEmpty() || allowedRoot.isEmpty())
        return false;
    const QFileInfo f(folder);
    if (!f.exists() || !f.isDir() || f.isSymLink())
        return false;
    const QString real = f.canonicalFilePath();
    const QString root = QFileInfo(allowedRoot).canonicalFilePath();
    if (real.isEmpty() || root.isEmpty() || real == QLatin1String("/") || real == root)
        return false;
    return real.startsWith(root + QLatin1Char('/'));
}

// Something (a folder, a file or a link, even a dangling one) already has this name.
bool NameTaken(const QString& path)
{
    const QFileInfo f(path);
    return f.exists() || f.isSymLink();
}

// Keeps the newest archives beside the work folder (their names sort by their time).
void PruneArchives(const QString& pluginFolder)
{
    const QFileInfoList entries =
        QDir(pluginFolder)
            .entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot,
                           QDir::Name | QDir::Reversed);
    int kept = 0;
    for (const QFileInfo& e : entries) {
        if (!IsTransferArchiveName(e.fileName()))
            continue;
        if (kept < TRANSFER_ARCHIVES_KEPT)
            ++kept;
        else
            RemoveFolderGuarded(e.absoluteFilePath(), pluginFolder);
    }
}

} // namespace

QString PluginFolderOf(const QString& dllFile)
{
    // Plug-in paths are absolute; "N/A" and other texts without a leading "/" have no folder.
    if (!dllFile.startsWith(QLatin1Char('/')))
        return {};
    const int slash = dllFile.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : dllFile.left(slash);
}

QString TransferWorkFolder(const QString& dllFile)
{
    const QString folder = PluginFolderOf(dllFile);
    if (folder.isEmpty())
        return {};
    return folder + QStringLiteral("/TRANS_BK");
}

bool EmptyFolderGuarded(const QString& folder, const QString& allowedRoot)
{
    if (!IsSafeBelow(folder, allowedRoot))
        return false;
    EmptyContents(QFileInfo(folder).canonicalFilePath());
    return true;
}

QString TransferArchiveName(const QDateTime& when)
{
    return QStringLiteral("TRANS_BK.") + when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

bool IsTransferArchiveName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^TRANS_BK\\.[0-9]{8}-[0-9]{6}$"));
    return pattern.match(name).hasMatch();
}

bool RemoveFolderGuarded(const QString& folder, const QString& allowedRoot)
{
    if (!EmptyFolderGuarded(folder, allowedRoot))
        return false;
    return QDir().rmdir(QFileInfo(folder).canonicalFilePath());
}

QString ArchiveFolderGuarded(const QString& folder, const QString& allowedRoot, const QDateTime& when)
{
    if (!IsSafeBelow(folder, allowedRoot))
        return {};
    const QFileInfo real(QFileInfo(folder).canonicalFilePath());
    const QString beside = real.absolutePath() + QLatin1Char('/');
    QDateTime stamp = when;
    // Two archives of one second: the later one takes the next free second.
    for (int attempt = 0; attempt < 1000; ++attempt, stamp = stamp.addSecs(1)) {
        const QString target = beside + TransferArchiveName(stamp);
        if (NameTaken(target))
            continue;
        return QDir().rename(real.absoluteFilePath(), target) ? target : QString();
    }
    return {};
}

bool ArchiveTransferWorkFolder(const QString& dllFile, const QDateTime& when)
{
    const QString pluginFolder = PluginFolderOf(dllFile);
    const QString work = TransferWorkFolder(dllFile);
    if (!IsSafeBelow(work, pluginFolder))
        return false;
    // An empty work folder holds nothing to keep and would push a real archive out.
    if (QDir(work).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        return QDir().rmdir(work);
    if (ArchiveFolderGuarded(work, pluginFolder, when).isEmpty())
        return false;
    PruneArchives(pluginFolder);
    return true;
}
