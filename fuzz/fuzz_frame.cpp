// Feeds arbitrary bytes to the frame codec and checks what must hold for any input:
// - the fast codec and the byte-at-a-time reference agree byte for byte: the FCS register, the
//   encoding of the input as a payload and the decoding of it as a body (into a buffer and in
//   place), each with an output room that the input chooses;
// - the stream decoder reports the same results after the same bytes, with the same payloads,
//   whether it is fed one byte at a time or in pieces whose sizes the input chooses;
// - a decoded frame re-encodes to a frame that decodes to the same bytes, and the stream decoder
//   agrees with DecodeFrameBody on every frame it accepts.
#include "serial/DiagCodec.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

void Require(bool ok)
{
    if (!ok)
        std::abort();
}

void SameEncoding(const std::vector<quint8>& payload, size_t room)
{
    std::vector<quint8> fast(room + 1, 0xAA), ref(room + 1, 0xAA);
    const size_t n = EncodeFrame(payload.data(), payload.size(), fast.data(), room);
    const size_t m = EncodeFrameBytewise(payload.data(), payload.size(), ref.data(), room);
    Require(n == m && n <= room && std::memcmp(fast.data(), ref.data(), n) == 0);
}

void SameDecoding(const std::vector<quint8>& body, size_t room)
{
    std::vector<quint8> fast(room + 1, 0xAA), ref(room + 1, 0xAA);
    const int n = DecodeFrameBody(body.data(), body.size(), fast.data(), room);
    const int m = DecodeFrameBodyBytewise(body.data(), body.size(), ref.data(), room);
    Require(n == m && n <= static_cast<int>(room));
    if (n > 0)
        Require(std::memcmp(fast.data(), ref.data(), static_cast<size_t>(n)) == 0);
    // In place, as the serial driver decodes.
    std::vector<quint8> a = body, b = body;
    const int p = DecodeFrameBody(a.data(), a.size(), a.data(), std::min(room, a.size()));
    const int q = DecodeFrameBodyBytewise(b.data(), b.size(), b.data(), std::min(room, b.size()));
    Require(p == q);
    if (p > 0)
        Require(std::memcmp(a.data(), b.data(), static_cast<size_t>(p)) == 0);
}

// The stream fed one byte at a time against the same stream fed in pieces.
void SameStream(const std::vector<quint8>& stream, quint32 seed)
{
    static auto ref = std::make_unique<CFrameDecoder>();
    static auto fast = std::make_unique<CFrameDecoder>();
    ref->Reset();
    fast->Reset();
    const size_t longest = 1 + seed % 97;
    size_t at = 0;    // where the next piece for the fast decoder starts
    size_t piece = 0; // bytes of the current piece not yet taken
    size_t i = 0;     // bytes the reference has taken
    while (at < stream.size()) {
        if (piece == 0) {
            seed ^= seed << 13;
            seed ^= seed >> 17;
            seed ^= seed << 5;
            piece = std::min(stream.size() - at, (seed & 8) != 0 ? stream.size() : 1 + seed % longest);
        }
        size_t used = 0;
        const CFrameDecoder::EResult r = fast->Feed(stream.data() + at, piece, &used);
        Require(used >= 1 && used <= piece && (r != CFrameDecoder::NEED_MORE || used == piece));
        at += used;
        piece -= used;
        // The reference must report nothing before the last byte taken, and then the same.
        CFrameDecoder::EResult s = CFrameDecoder::NEED_MORE;
        while (i < at) {
            s = ref->Feed(stream[i++]);
            Require(i == at || s == CFrameDecoder::NEED_MORE);
        }
        Require(s == r);
        if (r == CFrameDecoder::FRAME)
            Require(fast->PayloadLength() == ref->PayloadLength() &&
                    std::memcmp(fast->Payload(), ref->Payload(), static_cast<size_t>(ref->PayloadLength())) ==
                        0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const size_t room = in.ConsumeIntegral<quint16>();
    const quint32 seed = in.ConsumeIntegral<quint32>() | 1;
    const std::vector<quint8> bytes = in.ConsumeRemainingBytes<quint8>();

    const size_t skip = std::min<size_t>(bytes.size(), room % 17);
    Require(Fcs16Update(static_cast<quint16>(seed), bytes.data() + skip, bytes.size() - skip) ==
            Fcs16UpdateBytewise(static_cast<quint16>(seed), bytes.data() + skip, bytes.size() - skip));
    SameEncoding(bytes, std::min(room, MaxEncodedSize(bytes.size())));
    SameEncoding(bytes, MaxEncodedSize(bytes.size()));
    SameDecoding(bytes, std::min(room, bytes.size()));
    SameDecoding(bytes, bytes.size());
    SameStream(bytes, seed);

    // Properties of the codec itself, on the fast path the program uses.
    static auto decoder = std::make_unique<CFrameDecoder>();
    static quint8 out[CFrameDecoder::MAX_PAYLOAD + 2];
    static quint8 wire[MaxEncodedSize(CFrameDecoder::MAX_PAYLOAD)];
    const quint8* p = bytes.data();
    const int n = DecodeFrameBody(p, bytes.size(), out, sizeof out);
    if (n >= 0)
        Require(n <= static_cast<int>(bytes.size()) &&
                Fcs16Update(FCS16_INIT, out, static_cast<size_t>(n)) == FCS16_GOOD);

    decoder->Reset();
    size_t start = 0; // where the current frame's raw bytes began
    for (size_t i = 0; i < bytes.size(); ++i) {
        const CFrameDecoder::EResult r = decoder->Feed(p[i]);
        if (p[i] != FRAME_FLAG) {
            Require(r == CFrameDecoder::NEED_MORE); // only a flag ends a frame
            continue;
        }
        const size_t len = i - start;
        start = i + 1;
        if (r != CFrameDecoder::FRAME)
            continue;
        // The same body through the one-shot decoder.
        const int m = DecodeFrameBody(p + i - len, len, out, sizeof out);
        Require(m == decoder->PayloadLength() + 2 &&
                std::memcmp(out, decoder->Payload(), static_cast<size_t>(decoder->PayloadLength())) == 0);
        // Re-encoding gives a frame that decodes to the same payload.
        const size_t w =
            EncodeFrame(decoder->Payload(), static_cast<size_t>(decoder->PayloadLength()), wire, sizeof wire);
        Require(w != 0 && DecodeFrameBody(wire, w - 1, out, sizeof out) == decoder->PayloadLength() + 2);
    }
    return 0;
}
