#pragma once
// The simulator's side of the line: the master of a pseudo-terminal. Incoming bytes go through
// the stream decoder of the codec; each good frame is handed on as its payload. Writes are queued
// and drained as the pty takes them.
//
// A link can be emulated on top (SetLink): every answer waits the latency from the moment it is
// handed over, then both directions carry bytes no faster than the link rate, each on its own:
//
//   host → pty → read one piece (~1 ms of the line) → held until the line would have carried it
//              → decoder                                   (the next piece is read only then)
//   answer → held for the latency → pieces released as the line would carry them → pty → host
//
// Precise timers wake the event loop when the next piece is due; nothing polls. Without SetLink
// bytes pass as fast as the pseudo-terminal takes them.
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
    void ReadPaced();
    void OnPieceArrived();
    void ReleaseDue();
    Clock::duration WireTime(qint64 bytes) const;

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
    std::deque<SAnswer> m_paced;   // answers waiting for their moment on the line
    QByteArray m_inPiece;          // read, still on its way in
    Clock::time_point m_inFree{};  // when the line in has carried what was read
    Clock::time_point m_outFree{}; // when the line out has carried what was released
    CPreciseTimer m_inTimer;
    CPreciseTimer m_outTimer;
};
