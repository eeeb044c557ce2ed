#include "DiagCodec.h"
#include "SlicedCrc.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace {

// The RFC 1662 FCS-16 table followed by fifteen more, so sixteen bytes take sixteen independent
// look-ups.
using FcsTables = std::array<std::array<quint16, 256>, 16>;
constexpr FcsTables kFcs = MakeSlicedCrcTables<quint16, 16>(0x8408);
constexpr const std::array<quint16, 256>& kFcsTable = kFcs[0];
static_assert(kFcsTable[0x01] == 0x1189 && kFcsTable[0x80] == 0x8408 && kFcsTable[0xFF] == 0x0F78);

inline quint16 FcsStep(quint16 fcs, quint8 b)
{
    return static_cast<quint16>((fcs >> 8) ^ kFcsTable[(fcs ^ b) & 0xFF]);
}

inline bool NeedsEscape(quint8 b)
{
    return b == FRAME_FLAG || b == FRAME_ESCAPE;
}

inline quint64 LoadLe64(const quint8* p)
{
    if constexpr (std::endian::native == std::endian::little) {
        quint64 w;
        std::memcpy(&w, p, sizeof w);
        return w;
    } else {
        quint64 w = 0;
        for (int i = 7; i >= 0; --i)
            w = (w << 8) | p[i];
        return w;
    }
}

// Length of the leading run of p[0..n) that holds neither a nor b, sixteen bytes at a time (the
// compiler's vector types: SSE2 or NEON compares, plain integers elsewhere).
inline size_t RunWithout(const quint8* p, size_t n, quint8 a, quint8 b)
{
    using V16 = quint8 __attribute__((vector_size(16)));
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        V16 v;
        std::memcpy(&v, p + i, sizeof v);
        const auto hit = (v == a) | (v == b);
        quint64 lo, hi;
        std::memcpy(&lo, &hit, 8);
        std::memcpy(&hi, reinterpret_cast<const char*>(&hit) + 8, 8);
        if ((lo | hi) != 0) {
            if constexpr (std::endian::native == std::endian::little)
                return i +
                       static_cast<size_t>(lo != 0 ? std::countr_zero(lo) / 8 : 8 + std::countr_zero(hi) / 8);
            break; // the bytes below find it
        }
    }
    for (; i < n; ++i)
        if (p[i] == a || p[i] == b)
            return i;
    return n;
}

inline quint16 Fcs16Slice16(quint16 fcs, quint64 lo, quint64 hi)
{
    // Only the first two bytes meet the register; the other fourteen look-ups do not wait for it.
    const auto at = [](quint64 w, int byte) { return static_cast<unsigned>(w >> (8 * byte)) & 0xFF; };
    const quint16 rest = static_cast<quint16>(kFcs[13][at(lo, 2)] ^ kFcs[12][at(lo, 3)] ^
                                              kFcs[11][at(lo, 4)] ^ kFcs[10][at(lo, 5)] ^ kFcs[9][at(lo, 6)] ^
                                              kFcs[8][at(lo, 7)] ^ kFcs[7][at(hi, 0)] ^ kFcs[6][at(hi, 1)] ^
                                              kFcs[5][at(hi, 2)] ^ kFcs[4][at(hi, 3)] ^ kFcs[3][at(hi, 4)] ^
                                              kFcs[2][at(hi, 5)] ^ kFcs[1][at(hi, 6)] ^ kFcs[0][at(hi, 7)]);
    const quint64 first = lo ^ fcs;
    return static_cast<quint16>(rest ^ kFcs[15][at(first, 0)] ^ kFcs[14][at(first, 1)]);
}

// Bytes the fast paths take per pass, small enough to stay in the first-level cache.
constexpr size_t kBlock = 4096;

} // namespace

quint16 Fcs16Update(quint16 fcs, const quint8* p, size_t n)
{
    for (; n >= 16; p += 16, n -= 16)
        fcs = Fcs16Slice16(fcs, LoadLe64(p), LoadLe64(p + 8));
    // What is left (short runs between escapes end up here often) in slices of 8 and 4.
    if (n >= 8) {
        const quint64 w = LoadLe64(p) ^ fcs;
        const auto at = [w](int byte) { return static_cast<unsigned>(w >> (8 * byte)) & 0xFF; };
        fcs = static_cast<quint16>(kFcs[7][at(0)] ^ kFcs[6][at(1)] ^ kFcs[5][at(2)] ^ kFcs[4][at(3)] ^
                                   kFcs[3][at(4)] ^ kFcs[2][at(5)] ^ kFcs[1][at(6)] ^ kFcs[0][at(7)]);
        p += 8;
        n -= 8;
    }
    if (n >= 4) {
        const quint32 w = static_cast<quint32>(p[0] | (p[1] << 8)) ^ fcs;
        fcs = static_cast<quint16>(kFcs[3][w & 0xFF] ^ kFcs[2][w >> 8] ^ kFcs[1][p[2]] ^ kFcs[0][p[3]]);
        p += 4;
        n -= 4;
    }
    for (size_t i = 0; i < n; ++i)
        fcs = FcsStep(fcs, p[i]);
    return fcs;
}

quint16 Fcs16UpdateBytewise(quint16 fcs, const quint8* p, size_t n)
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
    size_t k = 0;
    quint16 fcs = FCS16_INIT;
    // Block by block, so the escape pass reads what the FCS pass has just brought into the cache.
    for (size_t block = 0; block < n; block += kBlock) {
        const size_t end = std::min(n, block + kBlock);
        fcs = Fcs16Update(fcs, payload + block, end - block);
        // Runs of bytes that go out as they are, each ended by one byte that needs escaping.
        for (size_t i = block; i < end;) {
            const size_t run = RunWithout(payload + i, end - i, FRAME_FLAG, FRAME_ESCAPE);
            if (run > outCap - k)
                return 0;
            std::memcpy(out + k, payload + i, run);
            i += run;
            k += run;
            if (i == end)
                break;
            if (outCap - k < 2)
                return 0;
            out[k++] = FRAME_ESCAPE;
            out[k++] = static_cast<quint8>(payload[i++] ^ FRAME_ESCAPE_XOR);
        }
    }
    fcs = static_cast<quint16>(~fcs);
    for (const quint8 b : {static_cast<quint8>(fcs), static_cast<quint8>(fcs >> 8)}) {
        if (outCap - k < (NeedsEscape(b) ? 2u : 1u))
            return 0;
        if (NeedsEscape(b)) {
            out[k++] = FRAME_ESCAPE;
            out[k++] = static_cast<quint8>(b ^ FRAME_ESCAPE_XOR);
        } else {
            out[k++] = b;
        }
    }
    if (k == outCap)
        return 0;
    out[k++] = FRAME_FLAG;
    return k;
}

size_t EncodeFrameBytewise(const quint8* payload, size_t n, quint8* out, size_t outCap)
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
    size_t checked = 0; // out[0..checked) has gone through the FCS
    quint16 fcs = FCS16_INIT;
    for (size_t i = 0; i < n;) {
        // A run without escapes is taken as it is; a 0x7E inside a body is data here.
        const size_t run = RunWithout(body + i, n - i, FRAME_ESCAPE, FRAME_ESCAPE);
        if (run > outCap - k)
            return -1;
        std::memmove(out + k, body + i, run); // k never passes i: in place is safe
        i += run;
        k += run;
        if (i < n) {
            if (++i == n)
                return -1; // lone trailing escape: the frame was cut
            if (k == outCap)
                return -1;
            out[k++] = static_cast<quint8>(body[i++] ^ FRAME_ESCAPE_XOR);
        }
        // The FCS runs over whole blocks of what was decoded, while they are still in the cache.
        if (k - checked >= kBlock || i == n) {
            fcs = Fcs16Update(fcs, out + checked, k - checked);
            checked = k;
        }
    }
    if (fcs != FCS16_GOOD)
        return -1;
    return static_cast<int>(k);
}

int DecodeFrameBodyBytewise(const quint8* body, size_t n, quint8* out, size_t outCap)
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

CFrameDecoder::EResult CFrameDecoder::Feed(const quint8* bytes, size_t n, size_t* consumed)
{
    size_t i = 0;
    while (i < n) {
        if (m_bDelivered) {
            // The byte-at-a-time step starts afresh after a result; so do the runs below.
        } else if (m_bOverflow) {
            // Everything up to the flag is swallowed.
            const void* flag = std::memchr(bytes + i, FRAME_FLAG, n - i);
            if (flag == nullptr) {
                i = n;
                break;
            }
            i = static_cast<size_t>(static_cast<const quint8*>(flag) - bytes);
        } else if (!m_bEscape) {
            // Runs and whole escape pairs go straight into the buffer; the FCS follows over all
            // of it at once. Flags, an escape at the end of the piece or before a flag, and the
            // byte that finds the buffer full take the byte-at-a-time step.
            const int from = m_nData;
            size_t room = sizeof m_data - static_cast<size_t>(m_nData);
            for (;;) {
                const size_t run = std::min(RunWithout(bytes + i, n - i, FRAME_FLAG, FRAME_ESCAPE), room);
                std::memcpy(m_data + m_nData, bytes + i, run);
                m_nData += static_cast<int>(run);
                i += run;
                room -= run;
                if (room == 0 || n - i < 2 || bytes[i] != FRAME_ESCAPE || bytes[i + 1] == FRAME_FLAG)
                    break;
                m_data[m_nData++] = static_cast<quint8>(bytes[i + 1] ^ FRAME_ESCAPE_XOR);
                i += 2;
                --room;
            }
            m_fcs = Fcs16Update(m_fcs, m_data + from, static_cast<size_t>(m_nData - from));
            if (i == n)
                break;
        }
        const EResult r = Feed(bytes[i++]);
        if (r != NEED_MORE) {
            *consumed = i;
            return r;
        }
    }
    *consumed = n;
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
