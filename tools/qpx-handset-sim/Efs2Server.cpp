#include "Efs2Server.h"

#include "serial/DiagCodec.h"
#include "serial/Efs2Protocol.h"

#include <QDirIterator>
#include <QFileInfo>

namespace {

constexpr quint32 STATFS_BLOCK = 512;
constexpr quint32 STATFS_BLOCKS = 65536;
constexpr quint32 STATFS_MAX_FILES = 4096;

quint32 U32(const QByteArray& r, int at)
{
    return GetLe32(reinterpret_cast<const quint8*>(r.constData()) + at);
}

void Add32(QByteArray& out, quint32 v)
{
    quint8 b[4];
    PutLe32(b, v);
    out.append(reinterpret_cast<const char*>(b), 4);
}

// The NUL-terminated text starting at at (to the end when there is no NUL).
QByteArray PathAt(const QByteArray& r, int at)
{
    const int end = static_cast<int>(r.indexOf('\0', at));
    return r.mid(at, end < 0 ? -1 : end - at);
}

// The seven STAT fields of a host file.
void AddStat(QByteArray& out, const QFileInfo& fi)
{
    Add32(out, 0);
    const qint32 mode = (fi.isDir() ? EFS2_S_IFDIR : EFS2_S_IFREG) | 0777;
    Add32(out, static_cast<quint32>(mode));
    Add32(out, static_cast<quint32>(fi.isDir() ? 0 : fi.size()));
    Add32(out, 1);
    const quint32 t = static_cast<quint32>(fi.lastModified().toSecsSinceEpoch());
    Add32(out, t);
    Add32(out, t);
    Add32(out, t);
}

} // namespace

CEfs2Server::CEfs2Server(const QString& rootFolder) : m_strRoot(QDir::cleanPath(rootFolder))
{
    QDir().mkpath(m_strRoot);
}

CEfs2Server::~CEfs2Server() = default;

QString CEfs2Server::HostPath(const QByteArray& path) const
{
    if (!path.startsWith('/'))
        return {};
    const QString clean = QDir::cleanPath(QString::fromLatin1(path));
    if (clean.startsWith(QLatin1String("/..")) || clean.contains(QLatin1String("/../")))
        return {};
    return clean == QLatin1String("/") ? m_strRoot : m_strRoot + clean;
}

QByteArray CEfs2Server::Handle(const QByteArray& request, bool* badLength)
{
    *badLength = false;
    const quint16 cmd = GetLe16(reinterpret_cast<const quint8*>(request.constData()) + 2);
    QByteArray out = request.left(EFS2_HEADER_SIZE);
    const int len = static_cast<int>(request.size());
    auto need = [&](int n) {
        if (len < 4 + n)
            *badLength = true;
        return len >= 4 + n;
    };
    auto pathResult = [&](const QString& host, auto fn) {
        if (host.isEmpty()) {
            Add32(out, EFS_INVALID_PATH);
            return out;
        }
        Add32(out, static_cast<quint32>(fn(host)));
        return out;
    };

    switch (cmd) {
    case EFS2_HELLO: {
        if (!need(40))
            return {};
        for (int i = 0; i < 6; ++i)
            Add32(out, i % 2 == 0 ? qMin(U32(request, 4 + 4 * i), m_nPacketWindow)
                                  : qMin(qMin(U32(request, 4 + 4 * i), m_nByteWindow),
                                         static_cast<quint32>(MAX_TRANSFER)));
        Add32(out, 1); // version, minimum, maximum
        Add32(out, 1);
        Add32(out, 1);
        Add32(out, U32(request, 4 + 36) & 0x1);
        return out;
    }
    case EFS2_QUERY:
        for (const quint32 v : {255u, 1024u, 4u, 0x7FFFFFFFu, 1024u, 1u})
            Add32(out, v);
        return out;
    case EFS2_OPEN: {
        if (!need(9))
            return {};
        const qint32 flags = static_cast<qint32>(U32(request, 4));
        const QString host = HostPath(PathAt(request, 12));
        qint32 fd = -1, err = EFS_OK;
        const QFileInfo fi(host);
        if (host.isEmpty())
            err = EFS_INVALID_PATH;
        else if (static_cast<int>(m_files.size()) >= MAX_OPEN_FILES)
            err = EFS_TOO_MANY_FILES;
        else if (fi.isDir())
            err = EFS_EISDIR;
        else if (!QFileInfo(fi.absolutePath()).isDir())
            err = EFS_ENOENT;
        else if (!fi.exists() && !(flags & EFS2_O_CREAT))
            err = EFS_ENOENT;
        else {
            auto file = std::make_unique<QFile>(host);
            QIODevice::OpenMode mode = QIODevice::ReadOnly;
            if ((flags & 3) == EFS2_O_WRONLY)
                mode = QIODevice::WriteOnly;
            else if ((flags & 3) == EFS2_O_RDWR)
                mode = QIODevice::ReadWrite;
            if (mode != QIODevice::ReadOnly && !(flags & EFS2_O_TRUNC))
                mode |= QIODevice::ReadWrite; // keep the contents (QFile truncates plain WriteOnly)
            if (flags & EFS2_O_TRUNC)
                mode |= QIODevice::Truncate;
            // Pieces go straight to the host file: a WRITE is stored when it is answered.
            mode |= QIODevice::Unbuffered;
            if (!file->open(mode)) {
                err = EFS_EACCES;
            } else {
                fd = m_nNextFd++;
                m_files.emplace(fd, std::move(file));
            }
        }
        Add32(out, static_cast<quint32>(fd));
        Add32(out, static_cast<quint32>(err));
        return out;
    }
    case EFS2_CLOSE: {
        if (!need(4))
            return {};
        Add32(out, m_files.erase(static_cast<qint32>(U32(request, 4))) ? EFS_OK : EFS_EBADF);
        return out;
    }
    case EFS2_READ: {
        if (!need(12))
            return {};
        const qint32 fd = static_cast<qint32>(U32(request, 4));
        const quint32 asked = U32(request, 8);
        const quint32 count = qMin<quint32>(asked, MAX_TRANSFER);
        const quint32 offset = U32(request, 12);
        Add32(out, static_cast<quint32>(fd));
        Add32(out, offset);
        if (asked > m_nByteWindow) {
            Add32(out, static_cast<quint32>(-1));
            Add32(out, EFS_EINVAL);
            return out;
        }
        const auto it = m_files.find(fd);
        if (it == m_files.end() || !(it->second->openMode() & QIODevice::ReadOnly)) {
            Add32(out, static_cast<quint32>(-1));
            Add32(out, EFS_EBADF);
            return out;
        }
        QFile& f = *it->second;
        QByteArray data;
        if (f.pos() == offset || f.seek(offset)) // the next piece follows on: no seek
            data = f.read(count);
        Add32(out, static_cast<quint32>(data.size()));
        Add32(out, EFS_OK);
        out.append(data);
        return out;
    }
    case EFS2_WRITE: {
        if (!need(8))
            return {};
        const qint32 fd = static_cast<qint32>(U32(request, 4));
        const quint32 offset = U32(request, 8);
        QByteArray data = request.mid(12);
        if (m_bBadStore && offset == 0 && !data.isEmpty())
            data[data.size() - 1] = static_cast<char>(data.at(data.size() - 1) ^ 0xFF);
        Add32(out, static_cast<quint32>(fd));
        Add32(out, offset);
        if (static_cast<quint32>(data.size()) > m_nByteWindow) {
            Add32(out, static_cast<quint32>(-1));
            Add32(out, EFS_EINVAL);
            return out;
        }
        const auto it = m_files.find(fd);
        if (it == m_files.end() || !(it->second->openMode() & QIODevice::WriteOnly)) {
            Add32(out, static_cast<quint32>(-1));
            Add32(out, EFS_EBADF);
            return out;
        }
        QFile& f = *it->second;
        const qint64 n = f.pos() == offset || f.seek(offset) ? f.write(data) : -1;
        Add32(out, static_cast<quint32>(n));
        Add32(out, n < 0 ? EFS_ENOSPC : EFS_OK);
        return out;
    }
    case EFS2_UNLINK:
        if (!need(1))
            return {};
        return pathResult(HostPath(PathAt(request, 4)), [](const QString& h) {
            const QFileInfo fi(h);
            if (!fi.exists())
                return EFS_ENOENT;
            if (fi.isDir())
                return EFS_EISDIR;
            return QFile::remove(h) ? EFS_OK : EFS_EACCES;
        });
    case EFS2_MKDIR:
        if (!need(3))
            return {};
        return pathResult(HostPath(PathAt(request, 6)), [](const QString& h) {
            const QFileInfo fi(h);
            if (fi.exists())
                return EFS_EEXIST;
            if (!QFileInfo(fi.absolutePath()).isDir())
                return EFS_ENOENT;
            return QDir().mkdir(h) ? EFS_OK : EFS_EACCES;
        });
    case EFS2_RMDIR:
        if (!need(1))
            return {};
        return pathResult(HostPath(PathAt(request, 4)), [this](const QString& h) {
            const QFileInfo fi(h);
            if (!fi.exists())
                return EFS_ENOENT;
            if (!fi.isDir())
                return EFS_ENOTDIR;
            if (h == m_strRoot)
                return EFS_EACCES;
            if (!QDir(h).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
                return EFS_ENOTEMPTY;
            return QDir().rmdir(h) ? EFS_OK : EFS_EACCES;
        });
    case EFS2_OPENDIR: {
        if (!need(1))
            return {};
        const QString host = HostPath(PathAt(request, 4));
        quint32 handle = 0;
        qint32 err = EFS_OK;
        if (host.isEmpty())
            err = EFS_INVALID_PATH;
        else if (!QFileInfo::exists(host))
            err = EFS_ENOENT;
        else if (!QFileInfo(host).isDir())
            err = EFS_ENOTDIR;
        else if (static_cast<int>(m_dirs.size()) >= MAX_OPEN_DIRS)
            err = EFS_TOO_MANY_DIRS;
        else {
            handle = m_nNextDir++;
            SDir d;
            d.path = host;
            d.entries = QDir(host).entryList(
                QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
            m_dirs.emplace(handle, d);
        }
        Add32(out, handle);
        Add32(out, static_cast<quint32>(err));
        return out;
    }
    case EFS2_READDIR: {
        if (!need(8))
            return {};
        const quint32 handle = U32(request, 4);
        const qint32 seq = static_cast<qint32>(U32(request, 8));
        Add32(out, handle);
        Add32(out, static_cast<quint32>(seq));
        const auto it = m_dirs.find(handle);
        qint32 err = EFS_OK;
        if (it == m_dirs.end())
            err = EFS_DIR_NOT_OPEN;
        else if (seq != it->second.nextSeq)
            err = EFS_BAD_SEQUENCE;
        Add32(out, static_cast<quint32>(err));
        if (err != EFS_OK) {
            out.append(QByteArray(24, '\0'));
            out.append('\0');
            return out;
        }
        SDir& dir = it->second;
        ++dir.nextSeq;
        if (seq - 1 >= dir.entries.size()) {
            out.append(QByteArray(24, '\0'));
            out.append('\0'); // an empty name ends the listing
            return out;
        }
        const QString name = dir.entries.at(seq - 1);
        const QFileInfo fi(dir.path + QLatin1Char('/') + name);
        QByteArray st;
        AddStat(st, fi);
        Add32(out, fi.isDir() ? 1 : 0);
        out.append(st.mid(4, 8));   // mode, size
        out.append(st.mid(16, 12)); // times
        out.append(name.toLatin1());
        out.append('\0');
        return out;
    }
    case EFS2_CLOSEDIR:
        if (!need(4))
            return {};
        Add32(out, m_dirs.erase(U32(request, 4)) ? EFS_OK : EFS_DIR_NOT_OPEN);
        return out;
    case EFS2_RENAME: {
        if (!need(3))
            return {};
        const QByteArray from = PathAt(request, 4);
        const QString to = HostPath(PathAt(request, 4 + static_cast<int>(from.size()) + 1));
        const QString src = HostPath(from);
        qint32 err = EFS_OK;
        if (src.isEmpty() || to.isEmpty())
            err = EFS_INVALID_PATH;
        else if (!QFileInfo::exists(src) || !QFileInfo(QFileInfo(to).absolutePath()).isDir())
            err = EFS_ENOENT;
        else if (src == m_strRoot || to == m_strRoot)
            err = EFS_EACCES;
        else if (QFileInfo(to).isDir() && !QFileInfo(src).isDir())
            err = EFS_EISDIR;
        else {
            if (QFileInfo(to).isFile())
                QFile::remove(to);
            err = QDir().rename(src, to) ? EFS_OK : EFS_EACCES;
        }
        Add32(out, static_cast<quint32>(err));
        return out;
    }
    case EFS2_STAT: {
        if (!need(1))
            return {};
        const QString host = HostPath(PathAt(request, 4));
        const QFileInfo fi(host);
        if (host.isEmpty() || !fi.exists()) {
            Add32(out, host.isEmpty() ? EFS_INVALID_PATH : EFS_ENOENT);
            out.append(QByteArray(24, '\0'));
            return out;
        }
        AddStat(out, fi);
        return out;
    }
    case EFS2_FSTAT: {
        if (!need(4))
            return {};
        const auto it = m_files.find(static_cast<qint32>(U32(request, 4)));
        if (it == m_files.end()) {
            Add32(out, EFS_EBADF);
            out.append(QByteArray(24, '\0'));
            return out;
        }
        AddStat(out, QFileInfo(it->second->fileName()));
        return out;
    }
    case EFS2_STATFS: {
        if (!need(1))
            return {};
        const QString host = HostPath(PathAt(request, 4));
        if (host.isEmpty() || !QFileInfo::exists(host)) {
            Add32(out, host.isEmpty() ? EFS_INVALID_PATH : EFS_ENOENT);
            out.append(QByteArray(40, '\0'));
            return out;
        }
        // One volume of 32 MiB: what the files take is what is no longer free.
        quint32 files = 0, used = 0;
        QDirIterator it(m_strRoot, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            ++files;
            used += static_cast<quint32>((it.fileInfo().size() + STATFS_BLOCK - 1) / STATFS_BLOCK);
        }
        const quint32 free = used < STATFS_BLOCKS ? STATFS_BLOCKS - used : 0;
        Add32(out, EFS_OK);
        Add32(out, 1);                 // file-system id
        out.append("EFS2\0\0\0\0", 8); // type
        for (const quint32 v :
             {STATFS_BLOCK, STATFS_BLOCKS, free, free, 0x7FFFFFFFu, files, STATFS_MAX_FILES})
            Add32(out, v);
        return out;
    }
    default:
        return {};
    }
}
