#pragma once
// The memory-transfer work folder TRANS_BK beside the selected plug-in, and the guarded
// emptying and removal of folders below a plug-in folder.
#include <QString>

// Folder part of an absolute plug-in path (text before its last '/'); empty for anything else
// ("N/A", the empty text, a bare name).
QString PluginFolderOf(const QString& dllFile);
// <plug-in folder>/TRANS_BK, or empty when the plug-in path has no folder part.
QString TransferWorkFolder(const QString& dllFile);

// Empties folder (keeps the folder itself). Refuses an empty path, "/", a path that is not
// inside allowedRoot (after resolving symbolic links) or allowedRoot itself. Symbolic links
// inside are removed as links, never followed. Returns false when it refused.
bool EmptyFolderGuarded(const QString& folder, const QString& allowedRoot);

// Removes <plug-in folder>/TRANS_BK with everything below it, under the same guard.
bool RemoveTransferWorkFolder(const QString& dllFile);
