#pragma once
// Virtual serial ports: a folder of links that discovery lists beside the real devices.
//
//   <folder>/COM<n>        symbolic link to a tty device (a simulator's pty, a socat link, ...)
//   <folder>/COM<n>.name   optional friendly name, one line of text
//   <folder>.owners/COM<n>.lock   made by PublishVirtualPort: the publishing process holds a lock
//                                 on it for as long as it owns the number
//
// <folder> is $XDG_RUNTIME_DIR/qpx/ports/ (fallback /tmp/qpx-ports-<uid>/) unless
// SetVirtualPortFolder() names another one. n is 1..256 written without leading zeros. A link is
// stale when its target no longer exists, or when it has a lock file that no process holds (its
// publisher was killed; the pty number may since belong to someone else's terminal). A stale link
// is not listed, and publishing over it is allowed. A link made by hand has no lock file and
// lives as long as its target.
//
// Also here, for processes that publish a port: the master side of a pseudo-terminal.
#include <QList>
#include <QString>

struct SVirtualPort
{
    int nNumber = -1;
    QString strLink;   // <folder>/COM<n>
    QString strTarget; // canonical path of the link's target
    QString strName;   // content of COM<n>.name, trimmed first line; "" when absent
};

// "" restores the default folder.
void SetVirtualPortFolder(const QString& folder);
QString VirtualPortFolder();
// Creates the folder (owner-only) when missing; false when it cannot be made.
bool EnsureVirtualPortFolder();

// n when fileName is exactly "COM<n>" with 1 <= n <= 256 (no leading zero), else -1.
int VirtualPortNumberOfEntry(const QString& fileName);

// The live virtual ports, sorted by number; stale links and other files are skipped.
QList<SVirtualPort> ListVirtualPorts();
// One live port; false when COM<n> is absent or stale.
bool ReadVirtualPort(int n, SVirtualPort& port);

// The lock file of COM<n>: the process that holds it open published the port (its other end).
QString VirtualPortLockPath(int n);

// Lowest n >= from (up to 256) that no live virtual port holds; -1 when none is free.
int LowestFreeVirtualPort(int from);

// Takes the lock of COM<n> for this process, writes COM<n>.name, then creates the COM<n> link to
// target (atomically; a stale link is replaced). False when a live COM<n> exists or the folder
// cannot be written.
bool PublishVirtualPort(int n, const QString& target, const QString& friendlyName);
// Removes COM<n> (only while it still points at target), its name file and its lock.
bool UnpublishVirtualPort(int n, const QString& target);

// The master side of a pseudo-terminal in raw mode, non-blocking. The object also keeps one
// descriptor of the slave open so that the master does not report a hang-up while no client has
// the port open; Close() drops both, and the slave's clients then see POLLHUP.
class CPtyMaster
{
public:
    CPtyMaster() = default;
    ~CPtyMaster();
    CPtyMaster(const CPtyMaster&) = delete;
    CPtyMaster& operator=(const CPtyMaster&) = delete;

    bool Open();
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    QString SlavePath() const { return m_strSlave; }

    // Non-blocking: bytes read (0 when nothing is there), -1 on a hang-up or error.
    qint64 Read(char* buffer, qint64 capacity);
    // Non-blocking: bytes written (possibly fewer than asked), -1 on error.
    qint64 Write(const char* data, qint64 size);

private:
    int m_fd = -1;
    int m_slaveFd = -1;
    QString m_strSlave;
};
