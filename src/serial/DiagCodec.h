#pragma once
// Framing of the diagnostic protocol (HDLC-like, asynchronous):
//
//   payload (command code first) | FCS-16 low, high | 0x7E
//
// 0x7D and 0x7E inside payload and FCS go out as 0x7D, value ^ 0x20; nothing else is escaped.
// The FCS is the RFC 1662 FCS-16 (reflected 0x8408, start 0xFFFF, ones' complement sent).
// Running the register over payload + received FCS leaves 0xF0B8 for a good frame.
// We send no opening flag; flags before any data are skipped on receipt.
//
// Two implementations give the same bytes and results. The byte-at-a-time one (…Bytewise, and
// CFrameDecoder::Feed of one byte) follows the format as written and is the reference. The fast
// one, used everywhere else, finds the runs between bytes that need escaping eight bytes at a time,
// copies them whole and runs the FCS over them with a table sliced sixteen bytes wide.
//
// Everything here is pure: no I/O, no allocation, safe from any thread. The command codes
// inside the payload are DiagProtocol.h.
#include "serial/DiagProtocol.h"

#include <QtGlobal>

#include <cstddef>

constexpr quint16 FCS16_INIT = 0xFFFF;
constexpr quint16 FCS16_GOOD = 0xF0B8;

constexpr quint8 FRAME_FLAG = 0x7E;
constexpr quint8 FRAME_ESCAPE = 0x7D;
constexpr quint8 FRAME_ESCAPE_XOR = 0x20;

// Largest encoded size of a payload of n bytes: every byte and both FCS bytes escaped, plus the flag.
constexpr size_t MaxEncodedSize(size_t n)
{
    return 2 * n + 5;
}

// Runs the FCS-16 register over n bytes.
quint16 Fcs16Update(quint16 fcs, const quint8* p, size_t n);
quint16 Fcs16UpdateBytewise(quint16 fcs, const quint8* p, size_t n);
// The check value to send for a payload (already complemented; low byte goes first).
quint16 Fcs16Of(const quint8* payload, size_t n);

// Encodes payload + FCS + closing flag into out. Returns the encoded length, or 0 when it does not
// fit in outCap (MaxEncodedSize(n) always fits) or n is 0.
size_t EncodeFrame(const quint8* payload, size_t n, quint8* out, size_t outCap);
size_t EncodeFrameBytewise(const quint8* payload, size_t n, quint8* out, size_t outCap);

// Unescapes and checks a received frame body (everything before the closing flag) into out.
// Returns the decoded length (payload + 2 FCS bytes), or -1 when the body is empty, ends in a lone
// 0x7D, decodes to more than outCap bytes, or fails the check. out may equal body (in place).
int DecodeFrameBody(const quint8* body, size_t n, quint8* out, size_t outCap);
int DecodeFrameBodyBytewise(const quint8* body, size_t n, quint8* out, size_t outCap);

// Explicit little-endian readers and writers for response fields.
constexpr quint16 GetLe16(const quint8* p)
{
    return static_cast<quint16>(p[0] | (p[1] << 8));
}
constexpr quint32 GetLe32(const quint8* p)
{
    return static_cast<quint32>(p[0]) | (static_cast<quint32>(p[1]) << 8) |
           (static_cast<quint32>(p[2]) << 16) | (static_cast<quint32>(p[3]) << 24);
}
constexpr void PutLe16(quint8* p, quint16 v)
{
    p[0] = static_cast<quint8>(v);
    p[1] = static_cast<quint8>(v >> 8);
}
constexpr void PutLe32(quint8* p, quint32 v)
{
    p[0] = static_cast<quint8>(v);
    p[1] = static_cast<quint8>(v >> 8);
    p[2] = static_cast<quint8>(v >> 16);
    p[3] = static_cast<quint8>(v >> 24);
}

// Stream decoder for the peers that read a byte stream (simulator, plug-in): feed bytes; FRAME
// means Payload() holds one whole, checked payload (valid until the next Feed or Reset).
// Garbage before a flag shows up as one BAD_FRAME, after which decoding starts afresh at the flag.
// Empty frames (back-to-back flags) are skipped. Payloads longer than MAX_PAYLOAD are BAD_FRAME.
class CFrameDecoder
{
public:
    enum EResult
    {
        NEED_MORE,
        FRAME,
        BAD_FRAME
    };
    static constexpr int MAX_PAYLOAD = 16384;

    // One byte at a time (the reference).
    EResult Feed(quint8 byte);
    // A piece of the stream: stops after the byte that completes a frame or a bad frame and
    // returns that result with *consumed counting the bytes taken, that byte included; otherwise
    // takes all n bytes and returns NEED_MORE. Exactly what feeding the same bytes one at a time
    // would report.
    EResult Feed(const quint8* bytes, size_t n, size_t* consumed);
    const quint8* Payload() const { return m_data; }
    // Payload length without the two FCS bytes; valid after FRAME.
    int PayloadLength() const { return m_nPayload; }
    void Reset();

private:
    quint8 m_data[MAX_PAYLOAD + 2];
    int m_nData = 0;
    int m_nPayload = 0;
    quint16 m_fcs = FCS16_INIT;
    bool m_bEscape = false;
    bool m_bOverflow = false;
    bool m_bDelivered = false;
};
