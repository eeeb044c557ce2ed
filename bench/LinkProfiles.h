#pragma once
// The links the benchmarks emulate with the handset simulator (--latency-us, --link-rate), and
// the time such a link ideally needs for what a benchmark moved over it, to print next to the
// measured time.
#include "serial/DiagCodec.h"
#include "serial/DiagPort.h"

#include <QStringList>

#include <array>
#include <vector>

struct SLinkProfile
{
    const char* pszName;
    int nLatencyUs;      // added to every answer
    int nBytesPerSecond; // each direction; 0: as fast as the pseudo-terminal

    QStringList SimArgs() const
    {
        QStringList args;
        if (nLatencyUs > 0)
            args << QStringLiteral("--latency-us") << QString::number(nLatencyUs);
        if (nBytesPerSecond > 0)
            args << QStringLiteral("--link-rate") << QString::number(nBytesPerSecond);
        return args;
    }
    double ByteSeconds(double bytes) const { return nBytesPerSecond > 0 ? bytes / nBytesPerSecond : 0.0; }
    // One request and its answer at a time: every exchange pays the latency and both frames.
    double StopAndWaitSeconds(int exchanges, qint64 bytesOut, qint64 bytesIn) const
    {
        return exchanges * nLatencyUs / 1e6 + ByteSeconds(static_cast<double>(bytesOut + bytesIn));
    }
    // Bytes streamed with the line kept busy: one latency, then the bytes at the link rate.
    double StreamSeconds(qint64 bytes) const
    {
        return nLatencyUs / 1e6 + ByteSeconds(static_cast<double>(bytes));
    }
};

// Benchmarks take the index as their first argument.
inline const std::array<SLinkProfile, 4> kLinkProfiles = {{
    {"pty", 0, 0},
    {"usb_full_speed", 1000, 1000000},
    {"usb_high_speed", 125, 30000000},
    {"serial_115200", 0, 11520},
}};

// What a sequence of requests put on the line, counted from the frames themselves.
struct SLinkLoad
{
    int nExchanges = 0;
    qint64 nBytesOut = 0; // host to handset
    qint64 nBytesIn = 0;  // handset to host (raw, escapes and flag included)
};

// Sends each payload once over port, one at a time, and counts what the line carried; false when
// a request failed.
inline bool CountExchanges(CDiagPort& port, const std::vector<std::vector<quint8>>& payloads, SLinkLoad& load)
{
    std::vector<quint8> response(CSerialPort::RESPONSE_BUFFER_SIZE);
    for (const auto& p : payloads) {
        quint32 len = 0;
        if (!port.Request(p.data(), response.data(), static_cast<quint32>(p.size()), &len, 1280))
            return false;
        std::vector<quint8> wire(MaxEncodedSize(p.size()));
        load.nBytesOut += static_cast<qint64>(EncodeFrame(p.data(), p.size(), wire.data(), wire.size()));
        load.nBytesIn += len;
        ++load.nExchanges;
    }
    return true;
}

// The requests of one poll of the connection worker: status, version, PRL version of both NAMs,
// ERI version, and status once more (withSecondStatus).
inline std::vector<std::vector<quint8>> PollPayloads(bool withSecondStatus)
{
    std::vector<quint8> eri(CDiagPort::ERI_REQUEST_LENGTH, 0);
    eri[0] = CMD_NV_READ;
    PutLe16(eri.data() + 1, CDiagPort::ERI_VERSION_ITEM);
    std::vector<std::vector<quint8>> all = {
        {CMD_STATUS}, {CMD_VERSION}, {CMD_PRL_VERSION, 0}, {CMD_PRL_VERSION, 1}, eri};
    if (withSecondStatus)
        all.push_back({CMD_STATUS});
    return all;
}
