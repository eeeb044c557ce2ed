#pragma once
// The single-instance lock "VORTANE_MM": an exclusive flock on a file in the runtime folder.
// The kernel releases it however the process ends. Without a runtime folder the file lives in a
// folder of the user's own (mode 0700) below the temporary folder, or in the user's cache folder
// when another user holds that name, so no one else can plant or hold the lock file.
#include <QString>

class CSingleInstanceLock
{
public:
    explicit CSingleInstanceLock(const QString& name);
    ~CSingleInstanceLock();
    CSingleInstanceLock(const CSingleInstanceLock&) = delete;
    CSingleInstanceLock& operator=(const CSingleInstanceLock&) = delete;

    // True when another process holds the lock.
    bool IsHeldElsewhere() const;
    // Takes the lock for the life of this object (or of the process). False if not taken.
    bool Acquire();

    static QString LockPath(const QString& name);
    // The folder of the lock file when no runtime folder is set.
    static QString FallbackFolder();

private:
    QString m_strPath;
    int m_fd = -1;
};
