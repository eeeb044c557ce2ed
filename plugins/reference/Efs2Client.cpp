#include "Efs2Client.h"

#include "serial/DiagCodec.h"

namespace {

void Add32(QByteArray& out, quint32 v)
{
    quint8 b[4];
    PutLe32(b, v);
    out.append(reinterpret_cast<const char*>(b), 4);
}

qint32 I32(const QByteArray& a, int at)
{
    return static_cast<qint32>(GetLe32(reinterpret_cast<const quint8*>(a.constData()) + at));
}

QByteArray Path(const QByteArray& p)
{
    return p + '\0';
}

} // namespace

CDiagLink::EOutcome CEfs2Client::Call(quint16 cmd, const QByteArray& body, QByteArray& answer, int minBody)
{
    QByteArray req(EFS2_HEADER_SIZE, '\0');
    req[0] = static_cast<char>(CMD_SUBSYSTEM);
    req[1] = static_cast<char>(SUBSYSTEM_EFS2);
    PutLe16(reinterpret_cast<quint8*>(req.data()) + 2, cmd);
    const CDiagLink::EOutcome r = m_link.Request(req + body, answer);
    if (r != CDiagLink::OK)
        return r;
    if (answer.size() < EFS2_HEADER_SIZE + minBody || answer.left(EFS2_HEADER_SIZE) != req)
        return CDiagLink::UNEXPECTED;
    return CDiagLink::OK;
}

CDiagLink::EOutcome CEfs2Client::Hello()
{
    QByteArray body;
    for (int i = 0; i < 6; ++i)
        Add32(body, EFS2_WINDOW);
    Add32(body, 1);
    Add32(body, 1);
    Add32(body, 1);
    Add32(body, 0xFFFFFFFF);
    QByteArray a;
    const CDiagLink::EOutcome r = Call(EFS2_HELLO, body, a, 40);
    if (r != CDiagLink::OK)
        return r;
    // A single request must fit both byte windows the handset announced; 0 means "no limit".
    for (const int at : {4 + 4, 4 + 12}) {
        const qint32 window = I32(a, at);
        if (window > 0 && window < m_nChunk)
            m_nChunk = window;
    }
    return r;
}

CDiagLink::EOutcome CEfs2Client::Open(const QByteArray& path, qint32 flags, qint32& fd, qint32& err)
{
    QByteArray body;
    Add32(body, static_cast<quint32>(flags));
    Add32(body, FILE_MODE);
    QByteArray a;
    const CDiagLink::EOutcome r = Call(EFS2_OPEN, body + Path(path), a, 8);
    if (r == CDiagLink::OK) {
        fd = I32(a, 4);
        err = I32(a, 8);
    }
    return r;
}

CDiagLink::EOutcome CEfs2Client::Close(qint32 fd, qint32& err)
{
    QByteArray body, a;
    Add32(body, static_cast<quint32>(fd));
    const CDiagLink::EOutcome r = Call(EFS2_CLOSE, body, a, 4);
    if (r == CDiagLink::OK)
        err = I32(a, 4);
    return r;
}

CDiagLink::EOutcome CEfs2Client::Read(qint32 fd, quint32 offset, QByteArray& data, qint32& err)
{
    QByteArray body, a;
    Add32(body, static_cast<quint32>(fd));
    Add32(body, static_cast<quint32>(m_nChunk));
    Add32(body, offset);
    const CDiagLink::EOutcome r = Call(EFS2_READ, body, a, 16);
    if (r != CDiagLink::OK)
        return r;
    err = I32(a, 16);
    const qint32 n = I32(a, 12);
    if (I32(a, 4) != fd || static_cast<quint32>(I32(a, 8)) != offset ||
        (err == 0 && (n < 0 || n > a.size() - 20)))
        return CDiagLink::UNEXPECTED;
    data = err == 0 ? a.mid(20, n) : QByteArray();
    return r;
}

CDiagLink::EOutcome CEfs2Client::Write(qint32 fd, quint32 offset, const QByteArray& data, qint32& err)
{
    QByteArray body, a;
    Add32(body, static_cast<quint32>(fd));
    Add32(body, offset);
    const CDiagLink::EOutcome r = Call(EFS2_WRITE, body + data, a, 16);
    if (r != CDiagLink::OK)
        return r;
    err = I32(a, 16);
    if (err == 0 && I32(a, 12) != data.size())
        err = 28; // a short write: no room left
    return r;
}

CDiagLink::EOutcome CEfs2Client::Mkdir(const QByteArray& path, qint32& err)
{
    QByteArray body(2, '\0'), a;
    PutLe16(reinterpret_cast<quint8*>(body.data()), 0x01FF);
    const CDiagLink::EOutcome r = Call(EFS2_MKDIR, body + Path(path), a, 4);
    if (r == CDiagLink::OK)
        err = I32(a, 4);
    return r;
}

CDiagLink::EOutcome CEfs2Client::Unlink(const QByteArray& path, qint32& err)
{
    QByteArray a;
    const CDiagLink::EOutcome r = Call(EFS2_UNLINK, Path(path), a, 4);
    if (r == CDiagLink::OK)
        err = I32(a, 4);
    return r;
}

CDiagLink::EOutcome CEfs2Client::Stat(const QByteArray& path, qint32& mode, qint32& size, qint32& err)
{
    QByteArray a;
    const CDiagLink::EOutcome r = Call(EFS2_STAT, Path(path), a, 12);
    if (r == CDiagLink::OK) {
        err = I32(a, 4);
        mode = I32(a, 8);
        size = I32(a, 12);
    }
    return r;
}

CDiagLink::EOutcome CEfs2Client::List(const QByteArray& path, QList<SEntry>& entries, qint32& err)
{
    entries.clear();
    QByteArray a, body;
    CDiagLink::EOutcome r = Call(EFS2_OPENDIR, Path(path), a, 8);
    if (r != CDiagLink::OK)
        return r;
    const quint32 handle = static_cast<quint32>(I32(a, 4));
    err = I32(a, 8);
    if (err != 0 || handle == 0)
        return r;
    for (qint32 seq = 1; seq < 100000; ++seq) {
        body.clear();
        Add32(body, handle);
        Add32(body, static_cast<quint32>(seq));
        r = Call(EFS2_READDIR, body, a, 37);
        if (r != CDiagLink::OK)
            return r;
        err = I32(a, 12);
        if (err != 0)
            break;
        const int end = static_cast<int>(a.indexOf('\0', 40));
        const QByteArray name = a.mid(40, end < 0 ? -1 : end - 40);
        if (name.isEmpty())
            break;
        entries.append({QString::fromLatin1(name), I32(a, 16) == 1, I32(a, 24)});
    }
    body.clear();
    Add32(body, handle);
    qint32 closeErr = 0;
    r = Call(EFS2_CLOSEDIR, body, a, 4);
    if (r == CDiagLink::OK)
        closeErr = I32(a, 4);
    if (err == 0)
        err = closeErr;
    return r;
}

CDiagLink::EOutcome CEfs2Client::ReadFile(const QByteArray& path, QByteArray& data, qint32& err,
                                          const std::function<void(qint64)>& progress)
{
    data.clear();
    qint32 fd = -1;
    CDiagLink::EOutcome r = Open(path, O_READ, fd, err);
    if (r != CDiagLink::OK || err != 0)
        return r;
    for (;;) {
        QByteArray piece;
        r = Read(fd, static_cast<quint32>(data.size()), piece, err);
        if (r != CDiagLink::OK || err != 0)
            break;
        data.append(piece);
        if (progress)
            progress(data.size());
        if (piece.size() < m_nChunk)
            break;
    }
    qint32 closeErr = 0;
    if (r == CDiagLink::OK) {
        r = Close(fd, closeErr);
        if (err == 0)
            err = closeErr;
    }
    return r;
}

CDiagLink::EOutcome CEfs2Client::WriteFile(const QByteArray& path, const QByteArray& data, qint32& err,
                                           const std::function<void(qint64)>& progress)
{
    qint32 fd = -1;
    CDiagLink::EOutcome r = Open(path, O_WRITE_CREATE_TRUNC, fd, err);
    if (r != CDiagLink::OK || err != 0)
        return r;
    for (qint64 at = 0; at < data.size(); at += m_nChunk) {
        r = Write(fd, static_cast<quint32>(at), data.mid(at, m_nChunk), err);
        if (r != CDiagLink::OK || err != 0)
            break;
        if (progress)
            progress(qMin<qint64>(at + m_nChunk, data.size()));
    }
    qint32 closeErr = 0;
    if (r == CDiagLink::OK) {
        r = Close(fd, closeErr);
        if (err == 0)
            err = closeErr;
    }
    return r;
}

CDiagLink::EOutcome CEfs2Client::MakePath(const QByteArray& path, qint32& err)
{
    err = 0;
    QByteArray so;
    const QList<QByteArray> parts = path.split('/');
    for (const QByteArray& p : parts) {
        if (p.isEmpty())
            continue;
        so += '/' + p;
        const CDiagLink::EOutcome r = Mkdir(so, err);
        if (r != CDiagLink::OK)
            return r;
        if (err == EFS_EEXIST)
            err = 0;
        if (err != 0)
            return r;
    }
    return CDiagLink::OK;
}
