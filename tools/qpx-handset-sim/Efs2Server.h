#pragma once
// The handset's EFS2 file system (Efs2Protocol.h) on a host folder.
//
//   request:  4B 13 cc cc | body          response: 4B 13 cc cc | body
//   HELLO 0   10 x u32                     10 x u32: packet windows (requests that may be
//                                          unanswered at once) and byte windows (the most one
//                                          READ or WRITE carries), each the smaller of the host's
//                                          and ours; version 1, 1, 1
//   QUERY 1   -                            6 x i32 limits
//   OPEN 2    flags, mode, path            fd, errno
//   CLOSE 3   fd                           errno
//   READ 4    fd, count, offset            fd, offset, bytes read, errno, data
//   WRITE 5   fd, offset, data             fd, offset, bytes written, errno
//   UNLINK 8 / RMDIR 10 / OPENDIR 11 (handle, errno) / MKDIR 9 (i16 mode first)
//   READDIR 12 handle, sequence (from 1)   handle, seq, errno, type, mode, size, 3 times, name ("" = end)
//   CLOSEDIR 13, RENAME 14 (old path, new path; a file replaces a file), STAT 15, FSTAT 17
//   (errno, mode, size, links, 3 times), STATFS 19 path (errno, id, type "EFS2", block size 512,
//   total / available / free blocks of a 32 MiB volume less the files' blocks, maximum file size,
//   files, maximum files)
//
// Paths are absolute handset paths below the root folder; ".." never leaves it. A few files and
// directories may be open at once; past that the EFS2 "too many" codes come back.
#include "serial/Efs2Protocol.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>

class CEfs2Server
{
public:
    static constexpr int MAX_OPEN_FILES = 8;
    static constexpr int MAX_OPEN_DIRS = 4;
    static constexpr int MAX_TRANSFER = 4000; // largest READ answer that fits a frame; the byte
                                              // window announced is never larger

    explicit CEfs2Server(const QString& rootFolder);
    ~CEfs2Server();

    // The answer to one 0x4B request for subsystem 0x13; empty for an unknown command (the
    // dispatcher then answers 13 + copy). A short body is answered 15 + copy by the caller:
    // *badLength is set.
    QByteArray Handle(const QByteArray& request, bool* badLength);

    QString Root() const { return m_strRoot; }
    // The byte windows announced in HELLO (at most what the host offers): a READ asking for more
    // or a WRITE carrying more is refused with EINVAL (nothing is cut short silently).
    void SetByteWindow(quint32 bytes) { m_nByteWindow = bytes; }
    quint32 ByteWindow() const { return m_nByteWindow; }
    // The packet window announced in HELLO: how many requests the host may keep unanswered.
    void SetPacketWindow(quint32 requests) { m_nPacketWindow = requests; }
    // Memory fault: a WRITE at offset 0 is acknowledged in full but the last byte of its piece is
    // stored inverted (FaultInjector.h, bad-store).
    void SetBadStore(bool bad) { m_bBadStore = bad; }

private:
    struct SDir
    {
        QStringList entries;
        QString path;
        qint32 nextSeq = 1;
    };

    // Host path of a handset path; empty when it is not a valid absolute path.
    QString HostPath(const QByteArray& path) const;

    QString m_strRoot;
    std::map<qint32, std::unique_ptr<QFile>> m_files;
    std::map<quint32, SDir> m_dirs;
    qint32 m_nNextFd = 1;
    quint32 m_nNextDir = 1;
    bool m_bBadStore = false;
    quint32 m_nByteWindow = EFS2_WINDOW;
    quint32 m_nPacketWindow = EFS2_WINDOW;
};
