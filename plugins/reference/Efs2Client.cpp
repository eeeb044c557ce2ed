#include "Efs2Client.h"

#include "serial/DiagCodec.h"

#include <deque>

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
    const qint32 dirWindow = I32(a, 4 + 16);
    m_nDirWindow = dirWindow > 0 ? qMin(dirWindow, MAX_WINDOW) : MAX_WINDOW;
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
    // READDIRs go out ahead within the directory window HELLO negotiated, two more than the
    // entries seen so far (a small folder costs one READDIR more, a large one few round trips).
    // The answers come in order; the first empty name or error ends the listing and the answers
    // still due are taken.
    m_link.Purge();
    qint32 next = 1;   // the sequence number of the next READDIR
    qint32 expect = 1; // that of the oldest unanswered
    bool ended = false;
    while (next > expect || !ended) {
        for (; !ended && next < 100000 && next - expect < qMin<qint64>(m_nDirWindow, 2 + entries.size());
             ++next) {
            QByteArray req = Header(EFS2_READDIR);
            Add32(req, handle);
            Add32(req, static_cast<quint32>(next));
            if (!m_link.Send(req))
                return CDiagLink::NO_ANSWER;
        }
        if (next == expect)
            break; // the sequence numbers ran out
        r = Answer(EFS2_READDIR, a, 37);
        if (r != CDiagLink::OK)
            return r;
        if (I32(a, 8) != expect++)
            return CDiagLink::UNEXPECTED;
        if (ended)
            continue;
        err = I32(a, 12);
        const int end = static_cast<int>(a.indexOf('\0', 40));
        const QByteArray name = a.mid(40, end < 0 ? -1 : end - 40);
        if (err != 0 || name.isEmpty())
            ended = true;
        else
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

namespace {

// A request sent and its answer still due, with the data it carries to the handset (a WRITE's)
// or asks back (a READ's).
struct SDue
{
    quint16 cmd;
    int job;
    qint64 toHandset = 0;
    qint64 fromHandset = 0;
};

// Where one job of RunFiles stands.
struct SJobState
{
    qint32 fd = -1;
    bool bOpen = false; // OPEN answered with a descriptor
    bool bCloseSent = false;
    bool bEnded = false; // no more pieces to send: all sent, the end seen, or an error
    bool bDone = false;  // nothing more due: settled may run
    quint32 asked = 0;   // the offset of the next piece
    quint32 expect = 0;  // the offset of the oldest piece unanswered
    int due = 0;         // pieces unanswered
    qint64 expectedSize = -1;
};

} // namespace

CDiagLink::EOutcome CEfs2Client::RunFiles(QList<SFileJob>& jobs, const std::function<bool(int)>& settled,
                                          const std::function<void(qint64)>& progress, int* at)
{
    const int count = static_cast<int>(jobs.size());
    QList<SJobState> st(count);
    for (int i = 0; i < count; ++i) {
        st[i].expectedSize = jobs[i].expectedSize;
        jobs[i].err = 0;
        if (!jobs[i].bWrite)
            jobs[i].data.clear();
    }
    const int window = qMax(1, qMin(m_nWindow, MAX_WINDOW));
    std::deque<SDue> dueList;
    qint64 toHandset = 0, fromHandset = 0; // data unanswered each way
    int next = 0;                          // the first job not yet settled
    int opening = 0;                       // the next job to open
    int open = 0;                          // OPENs sent less CLOSEs sent
    bool stop = false;
    qint64 bytes = 0;
    auto fail = [&](CDiagLink::EOutcome r, int job) {
        if (at)
            *at = job;
        return r;
    };
    int sending = 0; // the job of the last request sent
    auto send = [&](quint16 cmd, int job, const QByteArray& body, qint64 out = 0, qint64 back = 0) {
        sending = job;
        if (!m_link.Send(Header(cmd) + body))
            return false;
        dueList.push_back({cmd, job, out, back});
        toHandset += out;
        fromHandset += back;
        return true;
    };
    const auto fits = [](qint64 due, qint64 more) { return due == 0 || due + more <= MAX_BYTES_IN_FLIGHT; };
    // The next request worth sending: a CLOSE first (it frees a descriptor), then the next OPEN,
    // then a piece: of the earliest open file that reads and of the earliest that writes, the one
    // whose way along the line carries less data unanswered, so that while one file is read back
    // the next is written (each way of the line busy). False: nothing to send now.
    auto sendOne = [&](bool& failed) -> bool {
        failed = false;
        for (int j = next; j < opening; ++j) {
            SJobState& s = st[j];
            if (s.bOpen && !s.bCloseSent && (s.bEnded || stop)) {
                QByteArray body;
                Add32(body, static_cast<quint32>(s.fd));
                s.bCloseSent = true;
                --open;
                failed = !send(EFS2_CLOSE, j, body);
                return true;
            }
        }
        if (stop)
            return false;
        if (opening < count && open < MAX_OPEN) {
            bool free = true; // no earlier job on the same path still open
            for (int j = next; j < opening && free; ++j)
                free = st[j].bCloseSent || jobs[j].path != jobs[opening].path;
            if (free) {
                const SFileJob& f = jobs[opening];
                QByteArray body;
                Add32(body, static_cast<quint32>(f.bWrite ? O_WRITE_CREATE_TRUNC : O_READ));
                Add32(body, FILE_MODE);
                ++open;
                failed = !send(EFS2_OPEN, opening, body + Path(f.path));
                ++opening;
                return true;
            }
        }
        int pick[2] = {-1, -1}; // the earliest file with a piece to send: [0] reading, [1] writing
        for (int j = next; j < opening && (pick[0] < 0 || pick[1] < 0); ++j) {
            const SJobState& s = st[j];
            const bool write = jobs[j].bWrite;
            // A read whose listed end is asked for waits for that answer: it says whether to read on.
            if (s.bOpen && !s.bCloseSent && !s.bEnded && pick[write] < 0 &&
                (write || s.expectedSize < 0 || s.asked <= s.expectedSize))
                pick[write] = j;
        }
        const bool canRead = pick[0] >= 0 && fits(fromHandset, m_nChunk);
        const bool canWrite = pick[1] >= 0 && fits(toHandset, m_nChunk);
        if (!canRead && !canWrite)
            return false;
        const int j = canWrite && (!canRead || toHandset < fromHandset ||
                                   (toHandset == fromHandset && pick[1] < pick[0]))
                          ? pick[1]
                          : pick[0];
        SJobState& s = st[j];
        const SFileJob& f = jobs[j];
        QByteArray body;
        Add32(body, static_cast<quint32>(s.fd));
        if (f.bWrite) {
            const qint64 piece = qMin<qint64>(m_nChunk, f.data.size() - s.asked);
            Add32(body, s.asked);
            body.append(f.data.constData() + s.asked, static_cast<qsizetype>(piece));
            s.asked += static_cast<quint32>(m_nChunk);
            s.bEnded = s.asked >= f.data.size();
            failed = !send(EFS2_WRITE, j, body, piece, 0);
        } else {
            Add32(body, static_cast<quint32>(m_nChunk));
            Add32(body, s.asked);
            s.asked += static_cast<quint32>(m_nChunk);
            failed = !send(EFS2_READ, j, body, 0, m_nChunk);
        }
        ++s.due;
        return true;
    };

    // The window is topped up after every few answers, so that several requests leave in one
    // write and reach the handset together; nearly drained, at once.
    const int batch = qBound(1, window / 8, 4);
    int answered = batch;
    m_link.Purge();
    for (;;) {
        if (answered >= batch || static_cast<int>(dueList.size()) <= batch)
            answered = 0;
        while (answered == 0 && static_cast<int>(dueList.size()) < window) {
            bool failed = false;
            if (!sendOne(failed))
                break;
            if (failed)
                return fail(CDiagLink::NO_ANSWER, sending);
        }
        if (dueList.empty()) {
            if (stop || next >= count)
                return CDiagLink::OK;
            return fail(CDiagLink::UNEXPECTED, next); // cannot happen: nothing to send, nothing due
        }
        const SDue d = dueList.front();
        dueList.pop_front();
        toHandset -= d.toHandset;
        fromHandset -= d.fromHandset;
        ++answered;
        SFileJob& f = jobs[d.job];
        SJobState& s = st[d.job];
        QByteArray a;
        const int minBody = d.cmd == EFS2_OPEN ? 8 : d.cmd == EFS2_CLOSE ? 4 : 16;
        const CDiagLink::EOutcome r = Answer(d.cmd, a, minBody);
        if (r != CDiagLink::OK)
            return fail(r, d.job);
        if (d.cmd == EFS2_OPEN) {
            f.err = I32(a, 8);
            if (f.err != 0) { // nothing was opened
                --open;
                s.bCloseSent = true;
                s.bDone = true;
            } else {
                s.fd = I32(a, 4);
                s.bOpen = true;
                s.bEnded = f.bWrite && f.data.isEmpty();
            }
        } else if (d.cmd == EFS2_CLOSE) {
            const qint32 closeErr = I32(a, 4);
            if (f.err == 0)
                f.err = closeErr;
            s.bDone = true;
        } else {
            --s.due;
            if (I32(a, 4) != s.fd || static_cast<quint32>(I32(a, 8)) != s.expect)
                return fail(CDiagLink::UNEXPECTED, d.job);
            const qint32 err = I32(a, 16);
            const qint32 n = I32(a, 12);
            if (d.cmd == EFS2_READ) {
                if (err == 0 && (n < 0 || n > a.size() - 20 || n > m_nChunk || (s.bEnded && n > 0)))
                    return fail(CDiagLink::UNEXPECTED, d.job);
                if (err == 0 && !s.bEnded && f.err == 0) {
                    f.data.append(a.constData() + 20, n);
                    bytes += n;
                    s.bEnded = n < m_nChunk;
                    if (!s.bEnded && s.due == 0)
                        s.expectedSize = -1; // longer than listed: read on until the end shows
                    if (progress)
                        progress(bytes);
                }
            } else {
                const qint64 piece = qMin<qint64>(m_nChunk, f.data.size() - s.expect);
                if (err == 0 && f.err == 0 && n != piece)
                    f.err = EFS_ENOSPC; // a short write: no room left
                if (err == 0 && f.err == 0) {
                    bytes += piece;
                    if (progress)
                        progress(bytes);
                }
            }
            s.expect += static_cast<quint32>(m_nChunk);
            if (err != 0 && f.err == 0)
                f.err = err;
            if (f.err != 0)
                s.bEnded = true; // none of its pieces is sent any more
        }
        while (next < count && st[next].bDone) {
            if (!stop && !settled(next))
                stop = true;
            ++next;
        }
    }
}

CDiagLink::EOutcome CEfs2Client::ReadFile(const QByteArray& path, QByteArray& data, qint32& err,
                                          const std::function<void(qint64)>& progress, qint64 expectedSize)
{
    QList<SFileJob> jobs{{path, false, {}, expectedSize, 0}};
    const CDiagLink::EOutcome r = RunFiles(
        jobs, [](int) { return true; }, progress);
    data = jobs[0].data;
    err = jobs[0].err;
    return r;
}

CDiagLink::EOutcome CEfs2Client::WriteFile(const QByteArray& path, const QByteArray& data, qint32& err,
                                           const std::function<void(qint64)>& progress)
{
    QList<SFileJob> jobs{{path, true, data, -1, 0}};
    const CDiagLink::EOutcome r = RunFiles(
        jobs, [](int) { return true; }, progress);
    err = jobs[0].err;
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
        if (m_made.contains(so))
            continue;
        const CDiagLink::EOutcome r = Mkdir(so, err);
        if (r != CDiagLink::OK)
            return r;
        if (err == EFS_EEXIST)
            err = 0;
        if (err != 0)
            return r;
        m_made.append(so);
    }
    return CDiagLink::OK;
}
