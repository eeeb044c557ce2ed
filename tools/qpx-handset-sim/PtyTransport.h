#pragma once
// The simulator's side of the line: the master of a pseudo-terminal. Incoming bytes go through
// the stream decoder of the codec; each good frame is handed on as its payload. Writes are queued
// and drained as the pty takes them.
#include "platform/VirtualPorts.h"
#include "serial/DiagCodec.h"

#include <QByteArray>
#include <QObject>

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
    bool HasPendingOutput() const { return !m_out.isEmpty(); }
    // Closes the master: the slave's users see a hang-up.
    void Hangup();

signals:
    void frameReceived(const QByteArray& payload);
    void badFrame();
    // Everything queued has been written.
    void drained();
    void closed();

private:
    void OnReadable();
    void OnWritable();

    CPtyMaster m_pty;
    std::unique_ptr<CFrameDecoder> m_decoder;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
    QByteArray m_out;
};
