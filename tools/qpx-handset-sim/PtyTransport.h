#pragma once
// The simulator's side of the line: the master of a pseudo-terminal. Incoming bytes go through
// the stream decoder of the codec; each good frame is handed on as its payload. Writes are queued
// and drained as the pty takes them.
//
// A link can be emulated on top (SetLink): every answer waits the latency from the moment it is
// handed over, then both directions carry bytes no faster than the link rate, each on its own.
// The latency of one answer overlaps with the bytes and latencies of the others, as on a USB
// line that carries answers while it takes requests:
//
//   host → pty → pieces (~1 ms of the line each) read while fewer than IN_QUEUE_MS of the line
//              are queued → each delivered to the decoder when the line has carried it
//   answer → held for the latency → pieces released as the line would carry them → pty → host
//
// Each direction keeps its own clock of when its line is free: a piece that finds the line busy
// goes on when the line is free, not when a timer happened to wake up, so a late wake-up delays
// the pieces it delivers but never slows the line. Precise timers wake the event loop when the
// next piece that may end a frame is due (the pieces before it are handed over with it: the
// decoder acts on nothing earlier) and when the next answer is due; nothing polls. Without SetLink bytes pass
// as fast as the pseudo-terminal takes them.
#include "platform/PreciseTimer.h"
#include "platform/VirtualPorts.h"
#include "serial/DiagCodec.h"

#include <QByteArray>
#include <QObject>

#include <chrono>
#include <deque>
#include <memory>

class QSocketNotifier;

class CPtyTransport : public QObject
{
    Q_OBJECT
public:
    explicit CPtyTransport(QObject* parent = nullptr);
    ~CPtyTransport() override;

    bool Open();
    QString SlavePath() const { return m_pty.SlavePath(); }
    bool IsOpen() const { return m_pty.IsOpen(); }
    // Queues bytes for the line (already framed).
    void Send(const QByteArray& bytes);
    bool HasPendingOutput() const { return !m_out.isEmpty() || !m_paced.empty(); }
    // Closes the master: the slave's users see a hang-up.
    void Hangup();

    // Emulates a link: answers leave latencyUs after Send, and with bytesPerSecond > 0 each
    // direction carries that many bytes a second at most. Both 0: no emulation.
    void SetLink(qint64 latencyUs, qint64 bytesPerSecond);
    // Bytes of one paced piece: about a millisecond of the line, 16 to 4096 bytes.
    qint64 PieceSize() const;
    // How much of the line in is read ahead of the decoder at most, like the requests a USB host
    // controller has queued; more waits in the pseudo-terminal and holds the host's writes back.
    static constexpr int IN_QUEUE_MS = 16;

signals:
    void frameReceived(const QByteArray& payload);
    void badFrame();
    // Everything queued has been written.
    void drained();
    void closed();

private:
    using Clock = std::chrono::steady_clock;

    void OnReadable();
    void OnWritable();
    // Decodes bytes that have arrived; false when a receiver closed the line meanwhile.
    bool Take(const quint8* bytes, size_t n);
    bool ReadPaced();
    void OnPieceArrived();
    void ReleaseDue();
    Clock::duration WireTime(qint64 bytes) const;

    struct SPiece
    {
        Clock::time_point arrives;
        QByteArray bytes;
        bool bFrameEnd = false; // holds a flag: a frame may end in it
    };
    // Sets the timer for the next piece that ends a frame (the decoder acts on nothing earlier),
    // or for the last piece queued when none does.
    void StartInTimer();
    struct SAnswer
    {
        Clock::time_point notBefore;
        QByteArray bytes;
        qsizetype nSent = 0;
    };

    CPtyMaster m_pty;
    std::unique_ptr<CFrameDecoder> m_decoder;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
    QByteArray m_out;

    qint64 m_nLatencyUs = 0;
    qint64 m_nBytesPerSecond = 0;
    std::deque<SAnswer> m_paced; // answers waiting for their moment on the line
    std::deque<SPiece> m_in;     // read, still on their way in
    qint64 m_nQueuedIn = 0;      // their bytes
    QByteArray m_readBuffer;
    Clock::time_point m_inFree{};  // when the line in has carried what was read
    Clock::time_point m_outFree{}; // when the line out has carried what was released
    Clock::time_point m_inDue{};   // when m_inTimer fires
    Clock::time_point m_outDue{};  // when m_outTimer fires
    CPreciseTimer m_inTimer;
    CPreciseTimer m_outTimer;
};
