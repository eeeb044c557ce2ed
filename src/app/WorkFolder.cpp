#include "WorkFolder.h"

#include <QDir>
#include <QFileInfo>

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

bool RemoveTransferWorkFolder(const QString& dllFile)
{
    const QString pluginFolder = PluginFolderOf(dllFile);
    const QString work = TransferWorkFolder(dllFile);
    if (!EmptyFolderGuarded(work, pluginFolder))
        return false;
    return QDir().rmdir(QFileInfo(work).canonicalFilePath());
}
