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

QByteArray Header(quint16 cmd)
{
    QByteArray req(EFS2_HEADER_SIZE, '\0');
    req[0] = static_cast<char>(CMD_SUBSYSTEM);
    req[1] = static_cast<char>(SUBSYSTEM_EFS2);
    PutLe16(reinterpret_cast<quint8*>(req.data()) + 2, cmd);
    return req;
}

} // namespace

CDiagLink::EOutcome CEfs2Client::Call(quint16 cmd, const QByteArray& body, QByteArray& answer, int minBody)
{
    const QByteArray req = Header(cmd);
    const CDiagLink::EOutcome r = m_link.Request(req + body, answer);
    if (r != CDiagLink::OK)
        return r;
    if (answer.size() < EFS2_HEADER_SIZE + minBody || answer.left(EFS2_HEADER_SIZE) != req)
        return CDiagLink::UNEXPECTED;
    return CDiagLink::OK;
}

CDiagLink::EOutcome CEfs2Client::Answer(quint16 cmd, QByteArray& answer, int minBody)
{
    const CDiagLink::EOutcome r = m_link.ReceiveAnswer(CMD_SUBSYSTEM, answer);
    if (r != CDiagLink::OK)
        return r;
    if (answer.size() < EFS2_HEADER_SIZE + minBody || answer.left(EFS2_HEADER_SIZE) != Header(cmd))
        return CDiagLink::UNEXPECTED;
    return CDiagLink::OK;
}

CDiagLink::EOutcome CEfs2Client::Drain(quint16 cmd, int due)
{
    QByteArray a;
    for (; due > 0; --due) {
        const CDiagLink::EOutcome r = Answer(cmd, a, 0);
        if (r != CDiagLink::OK)
            return r;
    }
    return CDiagLink::OK;
}

int CEfs2Client::PiecesInFlight() const
{
    const qint64 fits = qMax<qint64>(1, MAX_BYTES_IN_FLIGHT / qMax(1, m_nChunk));
    return static_cast<int>(qMin<qint64>(qMin<qint64>(m_nWindow, MAX_WINDOW), fits));
}

CDiagLink::EOutcome CEfs2Client::Hello()
{
    QByteArray body;
    for (int i = 0; i < 6; ++i)
        Add32(body, i % 2 == 0 ? static_cast<quint32>(MAX_WINDOW) : static_cast<quint32>(MAX_READ));
    Add32(body, 1);
    Add32(body, 1);
    Add32(body, 1);
    Add32(body, 0xFFFFFFFF);
    QByteArray a;
    const CDiagLink::EOutcome r = Call(EFS2_HELLO, body, a, 40);
    if (r != CDiagLink::OK)
        return r;
    // A single request must fit both byte windows the handset announced, and no more requests
    // may be unanswered than both packet windows allow; 0 means "no limit".
    m_nChunk = MAX_READ;
    m_nWindow = MAX_WINDOW;
    for (const int at : {4 + 4, 4 + 12}) {
        const qint32 window = I32(a, at);
        if (window > 0 && window < m_nChunk)
            m_nChunk = window;
    }
    for (const int at : {4, 4 + 8}) {
        const qint32 window = I32(a, at);
        if (window > 0 && window < m_nWindow)
            m_nWindow = window;
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
    const int window = PiecesInFlight();
    quint32 asked = 0;  // the offset of the next READ
    quint32 expect = 0; // the offset of the oldest READ unanswered
    int due = 0;        // READs unanswered
    bool ended = false; // a short piece came: the file ends there
    m_link.Purge();
    while (r == CDiagLink::OK && err == 0 && (due > 0 || !ended)) {
        for (; !ended && due < window; ++due, asked += static_cast<quint32>(m_nChunk)) {
            QByteArray req = Header(EFS2_READ);
            Add32(req, static_cast<quint32>(fd));
            Add32(req, static_cast<quint32>(m_nChunk));
            Add32(req, asked);
            if (!m_link.Send(req))
                return CDiagLink::NO_ANSWER;
        }
        QByteArray a;
        r = Answer(EFS2_READ, a, 16);
        if (r != CDiagLink::OK)
            return r;
        --due;
        err = I32(a, 16);
        const qint32 n = I32(a, 12);
        if (I32(a, 4) != fd || static_cast<quint32>(I32(a, 8)) != expect ||
            (err == 0 && (n < 0 || n > a.size() - 20 || n > m_nChunk || (ended && n > 0))))
            return CDiagLink::UNEXPECTED;
        expect += static_cast<quint32>(m_nChunk);
        if (err != 0) {
            r = Drain(EFS2_READ, due);
            break;
        }
        if (ended)
            continue;
        data.append(a.constData() + 20, n);
        ended = n < m_nChunk;
        if (progress)
            progress(data.size());
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
    const int window = PiecesInFlight();
    const qint64 size = data.size();
    qint64 sent = 0, done = 0;
    int due = 0;
    m_link.Purge();
    while (done < size) {
        for (; sent < size && due < window; ++due, sent += m_nChunk) {
            QByteArray req = Header(EFS2_WRITE);
            Add32(req, static_cast<quint32>(fd));
            Add32(req, static_cast<quint32>(sent));
            req.append(data.constData() + sent, static_cast<qsizetype>(qMin<qint64>(m_nChunk, size - sent)));
            if (!m_link.Send(req))
                return CDiagLink::NO_ANSWER;
        }
        QByteArray a;
        r = Answer(EFS2_WRITE, a, 16);
        if (r != CDiagLink::OK)
            return r;
        --due;
        if (I32(a, 4) != fd || static_cast<quint32>(I32(a, 8)) != static_cast<quint32>(done))
            return CDiagLink::UNEXPECTED;
        err = I32(a, 16);
        const qint64 piece = qMin<qint64>(m_nChunk, size - done);
        if (err == 0 && I32(a, 12) != piece)
            err = EFS_ENOSPC; // a short write: no room left
        if (err != 0) {
            r = Drain(EFS2_WRITE, due);
            break;
        }
        done += piece;
        if (progress)
            progress(done);
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
