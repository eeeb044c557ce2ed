#pragma once
// Ways the simulated handset can misbehave, chosen on the command line. Each one is a decision
// taken per request, between decoding the request and writing the answer:
//
//   request → [silent / status-only: drop] → [wrong-command: answer another request]
//           → dispatcher → encode → [corrupt-check: break the FCS] → [garbage: noise first]
//           → [late: wait] → write → [hang-up-after: close the port after the N-th answer]
#include <QByteArray>

struct SFaults
{
    bool bSilent = false;       // never answer
    int nLateMs = 0;            // answer this much later
    bool bCorruptCheck = false; // answers fail their check
    bool bWrongCommand = false; // answer a different command than the one asked
    bool bGarbage = false;      // noise bytes before every frame
    int nHangupAfter = -1;      // close the port after this many requests (-1: never)
    bool bStatusOnly = false;   // answer only the status request

    bool Any() const
    {
        return bSilent || nLateMs > 0 || bCorruptCheck || bWrongCommand || bGarbage || nHangupAfter >= 0 ||
               bStatusOnly;
    }
};

class CFaultInjector
{
public:
    explicit CFaultInjector(const SFaults& faults) : m_faults(faults) {}

    const SFaults& Faults() const { return m_faults; }

    // False when the request gets no answer at all.
    bool ShouldAnswer(const QByteArray& request) const;
    // The request whose answer is sent instead (the request itself unless wrong-command).
    QByteArray RequestToAnswer(const QByteArray& request) const;
    // Applied to an encoded frame before it is written.
    QByteArray Mangle(const QByteArray& frame);
    int DelayMs() const { return m_faults.nLateMs; }
    // Counts one request; true when the port is to be closed once this request is dealt with.
    bool CountRequest();

private:
    SFaults m_faults;
    int m_nRequests = 0;
    quint32 m_nNoise = 0x2545F491; // state of the noise generator (fixed: runs are repeatable)
};
