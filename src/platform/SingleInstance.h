#pragma once
// The single-instance lock "VORTANE_MM": an exclusive flock on a file in the runtime folder.
// The kernel releases it however the process ends.
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

private:
    QString m_strPath;
    int m_fd = -1;
};
