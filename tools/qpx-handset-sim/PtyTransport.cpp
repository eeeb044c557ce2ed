#include "PtyTransport.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cstring>

CPtyTransport::CPtyTransport(QObject* parent)
    : QObject(parent), m_decoder(std::make_unique<CFrameDecoder>()), m_inTimer([this] { OnPieceArrived(); }),
      m_outTimer([this] { ReleaseDue(); })
{
}

CPtyTransport::~CPtyTransport()
{
    Hangup();
}

bool CPtyTransport::Open()
{
    if (!m_pty.Open())
        return false;
    m_decoder->Reset();
    m_readNotifier = std::make_unique<QSocketNotifier>(m_pty.Fd(), QSocketNotifier::Read);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, &CPtyTransport::OnReadable);
    m_writeNotifier = std::make_unique<QSocketNotifier>(m_pty.Fd(), QSocketNotifier::Write);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier.get(), &QSocketNotifier::activated, this, &CPtyTransport::OnWritable);
    return true;
}

void CPtyTransport::SetLink(qint64 latencyUs, qint64 bytesPerSecond)
{
    m_nLatencyUs = std::max<qint64>(0, latencyUs);
    m_nBytesPerSecond = std::max<qint64>(0, bytesPerSecond);
}

qint64 CPtyTransport::PieceSize() const
{
    return std::clamp<qint64>(m_nBytesPerSecond / 1000, 16, 4096);
}

CPtyTransport::Clock::duration CPtyTransport::WireTime(qint64 bytes) const
{
    if (m_nBytesPerSecond <= 0)
        return Clock::duration::zero();
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::nanoseconds(bytes * 1000000000 / m_nBytesPerSecond));
}

void CPtyTransport::Send(const QByteArray& bytes)
{
    if (!m_pty.IsOpen())
        return;
    if (m_nLatencyUs == 0 && m_nBytesPerSecond == 0) {
        m_out.append(bytes);
        OnWritable();
        return;
    }
    m_paced.push_back({Clock::now() + std::chrono::microseconds(m_nLatencyUs), bytes});
    ReleaseDue();
}

void CPtyTransport::Hangup()
{
    const bool wasOpen = m_pty.IsOpen();
    m_readNotifier.reset();
    m_writeNotifier.reset();
    m_inTimer.Stop();
    m_outTimer.Stop();
    m_pty.Close();
    m_out.clear();
    m_paced.clear();
    m_in.clear();
    m_nQueuedIn = 0;
    if (wasOpen)
        emit closed();
}

bool CPtyTransport::Take(const quint8* bytes, size_t n)
{
    for (size_t at = 0, used = 0; at < n; at += used) {
        switch (m_decoder->Feed(bytes + at, n - at, &used)) {
        case CFrameDecoder::FRAME:
            emit frameReceived(
                QByteArray(reinterpret_cast<const char*>(m_decoder->Payload()), m_decoder->PayloadLength()));
            if (!m_pty.IsOpen())
                return false; // a receiver hung up
            break;
        case CFrameDecoder::BAD_FRAME:
            emit badFrame();
            break;
        case CFrameDecoder::NEED_MORE:
            break;
        }
    }
    return true;
}

void CPtyTransport::OnReadable()
{
    if (m_nBytesPerSecond > 0) {
        if (ReadPaced())
            OnPieceArrived();
        return;
    }
    char buffer[4096];
    for (;;) {
        const qint64 n = m_pty.Read(buffer, sizeof buffer);
        if (n == 0)
            return;
        if (n < 0) {
            Hangup();
            return;
        }
        if (!Take(reinterpret_cast<const quint8*>(buffer), static_cast<size_t>(n)))
            return;
    }
}

// Reads while little of the line is queued; while the queue is full the pty keeps the rest, so a
// host that sends faster than the link finds its writes held back, as on the real line. A piece
// starts when the line is free or when it was read, whichever is later: with pieces queued the
// line is still busy when the next ones are read, so it runs back to back. A read that does not
// fill its buffer took all there was: the notifier tells when more comes. False: hung up.
bool CPtyTransport::ReadPaced()
{
    const qint64 piece = PieceSize();
    const qint64 room = std::max(4 * piece, m_nBytesPerSecond * IN_QUEUE_MS / 1000);
    while (m_nQueuedIn < room) {
        m_readBuffer.resize(static_cast<qsizetype>(std::min<qint64>(room - m_nQueuedIn, 65536)));
        const qint64 n = m_pty.Read(m_readBuffer.data(), m_readBuffer.size());
        if (n < 0) {
            Hangup();
            return false;
        }
        const Clock::time_point now = Clock::now();
        for (qint64 at = 0; at < n; at += piece) {
            const qint64 k = std::min(piece, n - at);
            m_inFree = std::max(now, m_inFree) + WireTime(k);
            const char* bytes = m_readBuffer.constData() + at;
            m_in.push_back({m_inFree, QByteArray(bytes, static_cast<qsizetype>(k)),
                            std::memchr(bytes, FRAME_FLAG, static_cast<size_t>(k)) != nullptr});
        }
        m_nQueuedIn += n;
        if (n < m_readBuffer.size())
            break;
    }
    const bool more = m_nQueuedIn < room;
    if (m_readNotifier && m_readNotifier->isEnabled() != more)
        m_readNotifier->setEnabled(more);
    return true;
}

void CPtyTransport::StartInTimer()
{
    if (m_in.empty())
        return;
    const auto end = std::find_if(m_in.begin(), m_in.end(), [](const SPiece& p) { return p.bFrameEnd; });
    const Clock::time_point due = end != m_in.end() ? end->arrives : m_in.back().arrives;
    if (!m_inTimer.IsActive() || due != m_inDue)
        m_inTimer.StartAt(due);
    m_inDue = due;
}

// Hands the decoder every piece the line has carried by now (a late wake-up catches up at once;
// a short request read a moment ago has usually arrived already), reads on when reading waited
// for room, and sets the timer for what is still on its way.
void CPtyTransport::OnPieceArrived()
{
    for (;;) {
        const Clock::time_point now = Clock::now();
        bool took = false;
        while (!m_in.empty() && m_in.front().arrives <= now) {
            QByteArray piece;
            piece.swap(m_in.front().bytes);
            m_in.pop_front();
            m_nQueuedIn -= piece.size();
            took = true;
            if (!m_pty.IsOpen() ||
                !Take(reinterpret_cast<const quint8*>(piece.constData()), static_cast<size_t>(piece.size())))
                return;
        }
        if (!m_pty.IsOpen())
            return;
        if (!took || !m_readNotifier || m_readNotifier->isEnabled())
            break;
        const qsizetype before = m_in.size();
        if (!ReadPaced())
            return;
        if (static_cast<qsizetype>(m_in.size()) == before)
            break;
    }
    StartInTimer();
}

// Moves to the pty every piece of the queued answers that the line would have carried by now,
// and sets the timer for the next one.
void CPtyTransport::ReleaseDue()
{
    const Clock::time_point now = Clock::now();
    bool released = false;
    while (!m_paced.empty()) {
        SAnswer& a = m_paced.front();
        const qint64 left = a.bytes.size() - a.nSent;
        const qint64 piece = m_nBytesPerSecond > 0 ? std::min(left, PieceSize()) : left;
        const Clock::time_point done = std::max(a.notBefore, m_outFree) + WireTime(piece);
        if (done > now) {
            if (!m_outTimer.IsActive() || done != m_outDue)
                m_outTimer.StartAt(done);
            m_outDue = done;
            break;
        }
        m_out.append(a.bytes.constData() + a.nSent, static_cast<qsizetype>(piece));
        m_outFree = done;
        a.nSent += piece;
        if (a.nSent == a.bytes.size())
            m_paced.pop_front();
        released = true;
    }
    // While the pty is full its notifier says when it takes more.
    if (released && !(m_writeNotifier && m_writeNotifier->isEnabled()))
        OnWritable();
}

void CPtyTransport::OnWritable()
{
    while (!m_out.isEmpty() && m_pty.IsOpen()) {
        const qint64 n = m_pty.Write(m_out.constData(), m_out.size());
        if (n < 0) {
            Hangup();
            return;
        }
        if (n == 0)
            break;
        m_out.remove(0, n);
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_out.isEmpty());
    if (!HasPendingOutput())
        emit drained();
}
