#pragma once
// The memory-transfer work folder TRANS_BK beside the selected plug-in, its archives, and the
// guarded emptying, moving and removal of folders below a plug-in folder.
//
//   <plug-in folder>/TRANS_BK                    the work folder the plug-in writes and reads
//   <plug-in folder>/TRANS_BK.<yyyyMMdd-hhmmss>  an archive: the work folder at the end of a run,
//                                                or a previous backup set aside while a new one
//                                                runs; the ten newest are kept
#include <QString>

class QDateTime;

constexpr int TRANSFER_ARCHIVES_KEPT = 10;

// Folder part of an absolute plug-in path (text before its last '/'); empty for anything else
// ("N/A", the empty text, a bare name).
QString PluginFolderOf(const QString& dllFile);
// <plug-in folder>/TRANS_BK, or empty when the plug-in path has no folder part.
QString TransferWorkFolder(const QString& dllFile);

// "TRANS_BK.<yyyyMMdd-hhmmss>" of a moment, and whether a name is one of those.
QString TransferArchiveName(const QDateTime& when);
bool IsTransferArchiveName(const QString& name);

// Empties folder (keeps the folder itself). Refuses an empty path, "/", a path that is not
// inside allowedRoot (after resolving symbolic links), allowedRoot itself and a folder that is a
// symbolic link. Symbolic links inside are removed as links, never followed. Returns false when
// it refused.
bool EmptyFolderGuarded(const QString& folder, const QString& allowedRoot);
// Removes folder with everything below it, under the same guard.
bool RemoveFolderGuarded(const QString& folder, const QString& allowedRoot);
// Moves folder, under the same guard, to an archive name beside it stamped with when (the next
// free second when that name is taken). Returns the archive's path; empty when it refused or the
// move failed, and then the folder is where it was.
QString ArchiveFolderGuarded(const QString& folder, const QString& allowedRoot, const QDateTime& when);

// The end of a run: <plug-in folder>/TRANS_BK becomes an archive stamped with when (an empty
// work folder is removed instead), and only the newest TRANSFER_ARCHIVES_KEPT archives stay.
// Returns false when there was no work folder or the guard refused it.
bool ArchiveTransferWorkFolder(const QString& dllFile, const QDateTime& when);
