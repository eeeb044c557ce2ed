#include "DiagCodec.h"

#include <array>

namespace {

// The RFC 1662 FCS-16 table, generated from the reflected polynomial.
constexpr std::array<quint16, 256> MakeFcsTable()
{
    std::array<quint16, 256> t{};
    for (unsigned b = 0; b < 256; ++b) {
        unsigned v = b;
        for (int i = 0; i < 8; ++i)
            v = (v & 1) ? (v >> 1) ^ 0x8408 : v >> 1;
        t[b] = static_cast<quint16>(v);
    }
    return t;
}

constexpr std::array<quint16, 256> kFcsTable = MakeFcsTable();
static_assert(kFcsTable[0x01] == 0x1189 && kFcsTable[0x80] == 0x8408 && kFcsTable[0xFF] == 0x0F78);

inline quint16 FcsStep(quint16 fcs, quint8 b)
{
    return static_cast<quint16>((fcs >> 8) ^ kFcsTable[(fcs ^ b) & 0xFF]);
}

inline bool NeedsEscape(quint8 b)
{
    return b == FRAME_FLAG || b == FRAME_ESCAPE;
}

} // namespace

quint16 Fcs16Update(quint16 fcs, const quint8* p, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        fcs = FcsStep(fcs, p[i]);
    return fcs;
}

quint16 Fcs16Of(const quint8* payload, size_t n)
{
    return static_cast<quint16>(~Fcs16Update(FCS16_INIT, payload, n));
}

size_t EncodeFrame(const quint8* payload, size_t n, quint8* out, size_t outCap)
{
    if (n == 0)
        return 0;
    // With room for the worst case the per-byte capacity checks can go.
    const bool checked = outCap < MaxEncodedSize(n);
    size_t k = 0;
    quint16 fcs = FCS16_INIT;
    auto put = [&](quint8 b) {
        if (NeedsEscape(b)) {
            if (checked && k + 2 > outCap)
                return false;
            out[k++] = FRAME_ESCAPE;
            out[k++] = static_cast<quint8>(b ^ FRAME_ESCAPE_XOR);
        } else {
            if (checked && k + 1 > outCap)
                return false;
            out[k++] = b;
        }
        return true;
    };
    for (size_t i = 0; i < n; ++i) {
        const quint8 b = payload[i];
        fcs = FcsStep(fcs, b);
        if (!put(b))
            return 0;
    }
    fcs = static_cast<quint16>(~fcs);
    if (!put(static_cast<quint8>(fcs)) || !put(static_cast<quint8>(fcs >> 8)))
        return 0;
    if (checked && k + 1 > outCap)
        return 0;
    out[k++] = FRAME_FLAG;
    return k;
}

int DecodeFrameBody(const quint8* body, size_t n, quint8* out, size_t outCap)
{
    if (n == 0)
        return -1;
    size_t k = 0;
    quint16 fcs = FCS16_INIT;
    for (size_t i = 0; i < n; ++i) {
        quint8 b = body[i];
        if (b == FRAME_ESCAPE) {
            if (++i == n)
                return -1; // lone trailing escape: the frame was cut
            b = static_cast<quint8>(body[i] ^ FRAME_ESCAPE_XOR);
        }
        if (k == outCap)
            return -1;
        out[k++] = b; // k never passes i, so decoding in place is safe
        fcs = FcsStep(fcs, b);
    }
    if (fcs != FCS16_GOOD)
        return -1;
    return static_cast<int>(k);
}

CFrameDecoder::EResult CFrameDecoder::Feed(quint8 byte)
{
    if (m_bDelivered)
        Reset();
    if (byte == FRAME_FLAG) {
        if (m_nData == 0 && !m_bEscape && !m_bOverflow)
            return NEED_MORE; // empty frame between flags
        // A frame needs at least one payload byte besides the check bytes.
        const bool good = !m_bEscape && !m_bOverflow && m_nData >= 3 && m_fcs == FCS16_GOOD;
        m_bDelivered = true;
        if (!good)
            return BAD_FRAME;
        m_nPayload = m_nData - 2;
        return FRAME;
    }
    if (m_bOverflow)
        return NEED_MORE;
    if (byte == FRAME_ESCAPE && !m_bEscape) {
        m_bEscape = true;
        return NEED_MORE;
    }
    if (m_bEscape) {
        byte = static_cast<quint8>(byte ^ FRAME_ESCAPE_XOR);
        m_bEscape = false;
    }
    if (m_nData == static_cast<int>(sizeof m_data)) {
        m_bOverflow = true; // keep swallowing until the flag, then report it
        return NEED_MORE;
    }
    m_data[m_nData++] = byte;
    m_fcs = FcsStep(m_fcs, byte);
    return NEED_MORE;
}

void CFrameDecoder::Reset()
{
    m_nData = 0;
    m_nPayload = 0;
    m_fcs = FCS16_INIT;
    m_bEscape = false;
    m_bOverflow = false;
    m_bDelivered = false;
}
