#pragma once
// The EFS2 file system of a handset, reached through CMD_SUBSYSTEM (DiagProtocol.h): the
// vocabulary the reference plug-in's client and the simulator's server share.
//
//   request:  4B 13 cc cc | body          answer:  4B 13 cc cc | body  (cc: u16 EFS2_* command)
//
// Fields are little-endian; paths are NUL-terminated; every answer that can fail carries an
// errno (EFS_* below, 0 for none).
#include <QtGlobal>

constexpr quint8 SUBSYSTEM_EFS2 = 0x13;
constexpr int EFS2_HEADER_SIZE = 4;

// Subsystem commands.
enum EEfs2Command : quint16
{
    EFS2_HELLO = 0,
    EFS2_QUERY = 1,
    EFS2_OPEN = 2,
    EFS2_CLOSE = 3,
    EFS2_READ = 4,
    EFS2_WRITE = 5,
    EFS2_UNLINK = 8,
    EFS2_MKDIR = 9,
    EFS2_RMDIR = 10,
    EFS2_OPENDIR = 11,
    EFS2_READDIR = 12,
    EFS2_CLOSEDIR = 13,
    EFS2_RENAME = 14,
    EFS2_STAT = 15,
    EFS2_FSTAT = 17,
    EFS2_STATFS = 19,
};

// HELLO: the packet and byte windows both sides announce (the smaller byte window is the most a
// READ or WRITE carries).
constexpr quint32 EFS2_WINDOW = 0x00100000;

// Flags of OPEN and the mode bits of STAT.
constexpr qint32 EFS2_O_RDONLY = 0;
constexpr qint32 EFS2_O_WRONLY = 1;
constexpr qint32 EFS2_O_RDWR = 2;
constexpr qint32 EFS2_O_CREAT = 0x40;
constexpr qint32 EFS2_O_TRUNC = 0x200;
constexpr qint32 EFS2_S_IFMT = 0170000;
constexpr qint32 EFS2_S_IFDIR = 040000;
constexpr qint32 EFS2_S_IFREG = 0100000;

// Error numbers of the errno fields: POSIX numbers and the file system's own.
enum EEfs2Errno : qint32
{
    EFS_OK = 0,
    EFS_ENOENT = 2,
    EFS_EBADF = 9,
    EFS_EACCES = 13,
    EFS_EEXIST = 17,
    EFS_ENOTDIR = 20,
    EFS_EISDIR = 21,
    EFS_EINVAL = 22,
    EFS_ENOSPC = 28,
    EFS_ENOTEMPTY = 39,
    EFS_BAD_SEQUENCE = 0x40000002,
    EFS_DIR_NOT_OPEN = 0x40000003,
    EFS_INVALID_PATH = 0x40000005,
    EFS_TOO_MANY_DIRS = 0x40000007,
    EFS_TOO_MANY_FILES = 0x40000009
};
