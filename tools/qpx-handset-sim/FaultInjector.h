#pragma once
// Ways the simulated handset can misbehave, chosen on the command line. Each one is a decision
// taken per request, between decoding the request and writing the answer:
//
//   request → [silent / status-only: drop] → [wrong-command: answer another request]
//           → dispatcher → encode → [corrupt-check: break the FCS] → [garbage: noise first]
//           → [late: wait] → write → [hang-up-after: close the port after the N-th answer]
//
// Faults of one kind of request (command code, counted separately) hit an operation midway:
//   hang-up-at CODE:N   the N-th request CODE gets no answer: the line closes instead
//   refuse CODE         every request CODE is answered 13 + copy ("not supported")
//   corrupt-at CODE:N   the answer to the N-th request CODE fails its check
//   leave-at CODE:N     the N-th request CODE gets no answer: the handset leaves like an unplugged
//                       USB device (back after --reenumerate-ms, or when it recovers)
//
// faults-from CODE:N holds back silent, late, corrupt-check, wrong-command, garbage, status-only and
// refuse until the N-th request CODE (which they already hit), so they strike one phase of a run.
// Recover() ends every fault: the handset answers again.
//
// Faults of the handset's memory (the answer looks right, the stored data is not):
//   bad-store 0x27      an NV item write stores the item with its last data byte inverted
//                       (the last non-zero byte; never the NAM index of a per-NAM item)
//   bad-store 0x48      a PRL write stores the image with its middle byte inverted
//   bad-store 0x4B      an EFS2 write at offset 0 stores the last byte of its piece inverted
//   bad-store 0x07      the flash programmer's first stream write stores its last byte inverted
//                       (the image check at CLOSE then fails)
#include <QByteArray>
#include <QString>

struct SFaults
{
    bool bSilent = false;                  // never answer
    int nLateMs = 0;                       // answer this much later
    bool bCorruptCheck = false;            // answers fail their check
    bool bWrongCommand = false;            // answer a different command than the one asked
    bool bGarbage = false;                 // noise bytes before every frame
    int nHangupAfter = -1;                 // close the port after this many requests (-1: never)
    bool bStatusOnly = false;              // answer only the status request
    int nHangupCode = -1, nHangupAt = 0;   // hang up at the N-th request of this command
    int nRefuseCode = -1;                  // refuse this command
    int nCorruptCode = -1, nCorruptAt = 0; // break the answer to the N-th request of this command
    bool bBadStoreNv = false;              // NV writes acknowledged, stored altered
    bool bBadStorePrl = false;             // PRL writes acknowledged, stored altered
    bool bBadStoreEfs = false;             // EFS2 writes acknowledged, stored altered
    bool bBadStoreFirmware = false;        // firmware stream written, stored altered
    int nLeaveCode = -1, nLeaveAt = 0;     // leave like an unplugged USB device at this request
    int nFromCode = -1, nFromAt = 0;       // the request that lets the held-back faults start

    bool Any() const;
};

class CFaultInjector
{
public:
    explicit CFaultInjector(const SFaults& faults) : m_faults(faults), m_bArmed(faults.nFromCode < 0) {}

    const SFaults& Faults() const { return m_faults; }

    // False when the request gets no answer at all.
    bool ShouldAnswer(const QByteArray& request) const;
    // The request whose answer is sent instead (the request itself unless wrong-command).
    QByteArray RequestToAnswer(const QByteArray& request) const;
    // Applied to an encoded frame before it is written; corrupt breaks this one frame's check.
    QByteArray Mangle(const QByteArray& frame, bool corrupt = false);

    enum EKindFault
    {
        KIND_NONE,
        KIND_HANGUP,
        KIND_REFUSE,
        KIND_CORRUPT,
        KIND_LEAVE
    };
    // Counts one request of its command code (the held-back faults may start with it); the
    // per-kind fault that hits it.
    EKindFault CountKind(quint8 code);
    // Parses "CODE:N" (code decimal or 0x-hexadecimal, N >= 1); false when malformed.
    static bool ParseKindCount(const QString& text, int& code, int& count);
    // Parses the CODE of --bad-store into faults; false for a code that stores nothing.
    static bool ParseBadStore(const QString& text, SFaults& faults);
    int DelayMs() const { return m_bArmed ? m_faults.nLateMs : 0; }
    // True once the held-back faults strike (from the start without faults-from).
    bool Armed() const { return m_bArmed; }
    // Every fault ends: the handset answers again.
    void Recover();
    // Counts one request; true when the port is to be closed once this request is dealt with.
    bool CountRequest();

private:
    SFaults m_faults;
    bool m_bArmed;
    int m_nRequests = 0;
    int m_nKindCount[256] = {};
    quint32 m_nNoise = 0x2545F491; // state of the noise generator (fixed: runs are repeatable)
};
