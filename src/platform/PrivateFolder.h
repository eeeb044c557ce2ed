#pragma once
// A folder only this user may enter, for files another user must not plant or replace (lock
// files in a shared temporary folder).
#include <QString>

// True when path is a folder owned by this user with mode 0700: made when missing, tightened
// when it is ours but open to others. A symbolic link or another user's folder is refused.
bool EnsurePrivateFolder(const QString& path);
