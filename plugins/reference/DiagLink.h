#pragma once
// The plug-in's own connection to the handset: one request, one answer, and a verdict that keeps
// "the link failed" apart from "the handset refused".
//
//   Request(payload) → frame → CSerialPort::Transact → decoded answer
//     no good frame in time, or the line hung up   → NO_ANSWER
//     a frame that failed its check                → DAMAGED
//     first byte 13/14/15/16/18/42/47 (not ours)   → REFUSED (RefusalCode says which)
//     any other first byte than the request's      → UNEXPECTED
//     otherwise                                    → OK
//
//   Windowed: Purge, Send … Send, then Receive the answers one by one in order; answers that
//   arrive after the first failure stay unread (the caller stops and closes the link). Requests
//   sent together leave in one write (up to MAX_PENDING bytes) when the first answer is awaited.
//
//   47 (password needed) with a password set: 46 + password once per link; 46 01 → the
//   request is sent again; 46 00 → REFUSED 47, and the password is never sent again.
//
// Work-thread only; nothing here shows anything to the user.
#include "serial/DiagProtocol.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <utility>

class CSerialPort;

class CDiagLink
{
public:
    enum EOutcome
    {
        OK,
        NO_ANSWER,
        DAMAGED,
        REFUSED,
        UNEXPECTED
    };

    static constexpr quint32 TIMEOUT_MS = 400; // the driver waits a little over twice this

    CDiagLink();
    ~CDiagLink();

    bool Open(const QString& devicePath);
    void Close();
    QString OpenError() const { return m_strOpenError; }
    // True once the device hung up (a USB handset that left the bus, a closed pseudo-terminal).
    bool Gone() const;

    EOutcome Request(const QByteArray& request, QByteArray& answer, quint32 timeoutMs = TIMEOUT_MS);
    // The handset's security password (8 bytes), sent only when the handset asks for it (47);
    // empty: none known.
    void SetPassword(const QByteArray& password) { m_password = password; }
    // One frame out, one good frame back, whatever its first byte (the download protocols answer
    // with their own codes): OK, NO_ANSWER or DAMAGED.
    EOutcome Exchange(const QByteArray& request, QByteArray& answer, quint32 timeoutMs = TIMEOUT_MS);
    // The halves of Exchange for several requests in flight: Purge once, Send each request, then
    // Receive their answers in the order sent (the handset answers in order).
    void Purge();
    bool Send(const QByteArray& request);
    // Writes the requests sent and not yet written; Receive does it first. Purge drops them.
    bool Flush();
    static constexpr qsizetype MAX_PENDING = 4096;
    EOutcome Receive(QByteArray& answer, quint32 timeoutMs = TIMEOUT_MS);
    // Receive, judged like Request for a request of command code: OK, or the refusal, or
    // UNEXPECTED (no password retry inside a window).
    EOutcome ReceiveAnswer(quint8 code, QByteArray& answer, quint32 timeoutMs = TIMEOUT_MS);
    quint8 RefusalCode() const { return m_nRefusal; }
    // Stands in for the port (tests, fuzzing): every request sent goes to the function, and what it
    // answers is the next decoded frame received. false: NO_ANSWER; an empty answer: DAMAGED.
    using Responder = std::function<bool(const QByteArray& request, QByteArray& answer)>;
    void SetResponder(Responder responder) { m_responder = std::move(responder); }
    // A sentence for the technician about the last outcome that was not OK; what names the step.
    QString Problem(EOutcome outcome, const QString& what) const;

    // NV item access (NV_PACKET_SIZE packets). nam < 0: not a per-NAM item.
    EOutcome NvRead(quint16 item, int nam, QByteArray& data, quint16& nvStatus);
    // The halves of NvRead for several reads in flight: Purge, Send(NvReadRequest) each, then
    // ReceiveNvRead in the order sent.
    static QByteArray NvReadRequest(quint16 item, int nam);
    EOutcome ReceiveNvRead(quint16 item, QByteArray& data, quint16& nvStatus);
    EOutcome NvWrite(quint16 item, const QByteArray& data, quint16& nvStatus);
    // 41 + six digits; accepted reports 41 01.
    EOutcome SendSpc(const QByteArray& digits, bool& accepted);
    // CMD_MODE_CHANGE with MODE_OFFLINE, MODE_RESET or MODE_ONLINE.
    EOutcome ModeChange(quint16 mode);

private:
    enum EPassword
    {
        PASSWORD_UNTRIED,
        PASSWORD_ACCEPTED,
        PASSWORD_REJECTED
    };
    EOutcome RequestOnce(const QByteArray& request, QByteArray& answer, quint32 timeoutMs);
    EOutcome Classify(quint8 code, const QByteArray& answer);

    std::unique_ptr<CSerialPort> m_pPort;
    QByteArray m_password;
    EPassword m_ePassword = PASSWORD_UNTRIED;
    std::unique_ptr<quint8[]> m_pBuffer;
    quint8 m_nRefusal = 0;
    QString m_strOpenError;
    Responder m_responder;
    QList<std::pair<EOutcome, QByteArray>> m_answered; // the responder's answers not yet received
    QByteArray m_pending;                              // frames sent, not yet written
};
