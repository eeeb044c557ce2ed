#include "serial/DiagCodec.h"
#include "PtyHandset.h"
#include "TestEnv.h"
#include "serial/Checksums.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// A byte stream of a test as a seed of the frame fuzz target: its output room (u16) and piece
// seed (u32) come first.
void SeedFrame(const Bytes& stream)
{
    qpxtest::FuzzSeed("frame",
                      QByteArray("\xff\xff\x2a\0\0\0", 6) +
                          QByteArray(reinterpret_cast<const char*>(stream.data()), qsizetype(stream.size())));
}

// Every helper below runs the fast codec and the byte-at-a-time reference and expects the same
// bytes and results from both, so each case of this file also checks that they agree.

// Encodes into a buffer of cap bytes (the worst case when cap is 0); returns what fits.
Bytes Encode(const Bytes& payload, size_t cap = 0)
{
    if (cap == 0)
        cap = MaxEncodedSize(payload.size());
    Bytes out(cap, 0xAA), ref(cap, 0xAA);
    out.resize(EncodeFrame(payload.data(), payload.size(), out.data(), cap));
    ref.resize(EncodeFrameBytewise(payload.data(), payload.size(), ref.data(), cap));
    EXPECT_EQ(out, ref) << "payload of " << payload.size() << " bytes, room " << cap;
    return out;
}

// DecodeFrameBody into out (which may be body itself), checked against the reference.
int Decode(quint8* body, size_t n, quint8* out, size_t outCap)
{
    const bool inPlace = out == body;
    Bytes refBody(body, body + n), refOut(outCap, 0);
    const int m =
        DecodeFrameBodyBytewise(refBody.data(), n, inPlace ? refBody.data() : refOut.data(), outCap);
    const int k = DecodeFrameBody(body, n, out, outCap);
    EXPECT_EQ(k, m) << "decoded length of a body of " << n << " bytes";
    EXPECT_TRUE(k != m || k <= 0 || std::equal(out, out + k, inPlace ? refBody.data() : refOut.data()))
        << "decoded bytes";
    return k;
}

// Computed frames of the protocol notes (payload, wire), the FCS that needs escaping included.
const std::pair<const char*, const char*> kExamples[] = {
    {"0C", "0C 14 3A 7E"},
    {"00", "00 78 F0 7E"},
    {"8C 01", "8C 01 A2 3B 7E"},
    {"29 01 00", "29 01 00 31 40 7E"},
    {"41 30 30 30 30 30 30", "41 30 30 30 30 30 30 DF 8A 7E"},
    {"13 06", "13 06 88 D5 7E"},
    {"7E", "7D 5E 81 6A 7E"},
    {"7D 7E", "7D 5D 7D 5E 02 D5 7E"},
    {"4B 13 00 00 00 00 10 00 00 00 10 00 00 00 10 00 00 00 10 00 00 00 10 00 00 00 10 00 01 00 00 00 01 00 "
     "00 00 01 00 00 00 FF FF FF FF",
     "4B 13 00 00 00 00 10 00 00 00 10 00 00 00 10 00 00 00 10 00 00 00 10 00 00 00 10 00 01 00 00 00 01 00 "
     "00 00 01 00 00 00 FF FF FF FF 7D 5E 05 7E"},
};

TEST(DiagCodec, WorkedExamplesEncodeAndDecodeExactly)
{
    for (const auto& [text, wireText] : kExamples) {
        const Bytes payload = HexBytes(text);
        Bytes wire = HexBytes(wireText), decoded(wire.size() + 1, 0);
        EXPECT_EQ(Encode(payload), wire) << text;
        SeedFrame(wire);
        ASSERT_EQ(Decode(wire.data(), wire.size() - 1, decoded.data(), decoded.size()), // flag left out
                  static_cast<int>(payload.size() + 2))
            << text;
        EXPECT_TRUE(std::equal(payload.begin(), payload.end(), decoded.begin())) << text;
        EXPECT_EQ(GetLe16(decoded.data() + payload.size()), Fcs16Of(payload.data(), payload.size())) << text;
        // With any less room than the frame needs nothing is written, and the decoder refuses.
        for (size_t room = 1; room < wire.size(); ++room) {
            EXPECT_TRUE(Encode(payload, room).empty()) << text << " in " << room;
            EXPECT_TRUE(room >= payload.size() + 2 ||
                        Decode(wire.data(), wire.size() - 1, decoded.data(), room) == -1)
                << text;
        }
    }
    // In place as well.
    Bytes wire = HexBytes("7D 5D 7D 5E 02 D5 7E");
    ASSERT_EQ(Decode(wire.data(), wire.size() - 1, wire.data(), wire.size()), 4);
    EXPECT_EQ(Bytes(wire.begin(), wire.begin() + 4), HexBytes("7D 7E 02 D5"));
}

TEST(DiagCodec, CheckValueAndResidue)
{
    const char* text = "123456789";
    const auto* p = reinterpret_cast<const quint8*>(text);
    EXPECT_EQ(Fcs16Of(p, 9), 0x906E);
    // The data formats' checks over the same text give their standard check values too.
    EXPECT_EQ(Crc32(QByteArray(text)), 0xCBF43926u);
    QByteArray longer(1000, '\0'); // many eight-byte steps and an odd tail
    for (int i = 0; i < longer.size(); ++i)
        longer[i] = static_cast<char>(i * 7 + 3);
    EXPECT_EQ(Crc32(longer), 0x17BC2A46u);
    EXPECT_EQ(PrlCrc16(p, 9), 0xD64E);
    quint8 framed[11];
    std::memcpy(framed, p, 9);
    PutLe16(framed + 9, 0x906E);
    for (auto update : {Fcs16Update, Fcs16UpdateBytewise}) {
        EXPECT_EQ(update(FCS16_INIT, framed, 11), FCS16_GOOD);
        // Feeding in pieces gives the same register as one call.
        EXPECT_EQ(update(update(FCS16_INIT, framed, 4), framed + 4, 7), FCS16_GOOD);
    }
}

// Only flag and escape are stuffed (control characters go through unchanged), and a frame that
// does not fit its buffer is not written at all.
TEST(DiagCodec, OnlyFlagAndEscapeAreStuffedAndNothingIsCutShort)
{
    Bytes all(256);
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<quint8>(i);
    const Bytes wire = Encode(all);
    // 256 payload bytes + 2 escapes + 2 check bytes (3C 30: none to escape) + flag.
    ASSERT_EQ(wire.size(), 256u + 2 + 2 + 1);
    EXPECT_EQ(std::count(wire.begin(), wire.end() - 1, FRAME_FLAG), 0);
    EXPECT_EQ(Bytes(wire.begin() + 0x11, wire.begin() + 0x14), HexBytes("11 12 13"));
    EXPECT_EQ(Bytes(wire.begin() + 0x7D, wire.begin() + 0x81), HexBytes("7D 5D 7D 5E"));
    EXPECT_EQ(Encode(all, wire.size()), wire); // exactly the room it needs (less: see the worked examples)
    EXPECT_TRUE(EncodeFrame(all.data(), 1, nullptr, 0) == 0 && Encode({}, 8).empty()); // no room, no payload
}

// An empty body, any single flipped bit and a lone escape at the end are refused (more bytes than the
// output holds: see the worked examples).
TEST(DiagCodec, DecodeRejectsDamagedBodies)
{
    quint8 out[64];
    EXPECT_EQ(Decode(nullptr, 0, out, sizeof out), -1);
    for (int bit = 0; bit < 24; ++bit) {
        Bytes bad = HexBytes("0C 14 3A");
        bad[bit / 8] ^= static_cast<quint8>(1 << (bit % 8));
        EXPECT_EQ(Decode(bad.data(), 3, out, sizeof out), -1) << bit;
    }
    Bytes cut = HexBytes("0C 14 3A 7D");
    EXPECT_EQ(Decode(cut.data(), cut.size(), out, sizeof out), -1);
}

// Every result other than NEED_MORE, with the stream position of the byte that gave it.
struct SFeedLog
{
    std::vector<Bytes> frames;
    int bad = 0;
    std::vector<std::pair<size_t, CFrameDecoder::EResult>> results;
    bool operator==(const SFeedLog&) const = default;
};

void Note(SFeedLog& log, const CFrameDecoder& dec, CFrameDecoder::EResult r, size_t at)
{
    if (r == CFrameDecoder::NEED_MORE)
        return;
    log.results.emplace_back(at, r);
    if (r == CFrameDecoder::FRAME)
        log.frames.emplace_back(dec.Payload(), dec.Payload() + dec.PayloadLength());
    else
        ++log.bad;
}

// Feeds the stream one byte at a time to a fresh decoder, then again in pieces of 1, 2, 7, 16 and
// random sizes, and expects the same results at the same places each time.
SFeedLog FeedAll(const Bytes& stream)
{
    SeedFrame(stream);
    auto dec = std::make_unique<CFrameDecoder>(); // large: on the heap, like its owners keep it
    SFeedLog log;
    for (size_t i = 0; i < stream.size(); ++i)
        Note(log, *dec, dec->Feed(stream[i]), i);
    quint32 seed = static_cast<quint32>(stream.size());
    for (const size_t piece : {1, 2, 7, 16, 0}) {
        CFrameDecoder fast;
        SFeedLog got;
        for (size_t at = 0; at < stream.size();) {
            seed = seed * 1103515245u + 12345u;
            const size_t len = std::min(stream.size() - at, piece != 0 ? piece : 1 + (seed >> 16) % 300);
            size_t used = 0;
            const CFrameDecoder::EResult r = fast.Feed(stream.data() + at, len, &used);
            EXPECT_TRUE(used >= 1 && used <= len) << "piece of " << len << " at " << at;
            EXPECT_TRUE(r != CFrameDecoder::NEED_MORE || used == len) << "piece of " << len << " at " << at;
            if (used == 0)
                break;
            Note(got, fast, r, at + used - 1);
            at += used;
        }
        EXPECT_TRUE(got == log) << "pieces of " << piece << ": " << got.results.size() << " results against "
                                << log.results.size();
    }
    return log;
}

// Leading and doubled flags are skipped; "AT\r\n", a flipped check bit, a lone escape before the
// flag, a body of only check bytes and a payload one byte over the largest are each one bad frame,
// after which the next frame is found.
TEST(FrameDecoder, SplitsFramesAndResynchronises)
{
    const Bytes largest(CFrameDecoder::MAX_PAYLOAD, 0x42);
    const std::tuple<Bytes, std::vector<Bytes>, int> cases[] = {
        // stream, frames, bad frames
        {HexBytes("7E 7E 7E 0C 14 3A 7E 7E 7D 5D 7D 5E 02 D5 7E 8C 01 A2 3B 7E"),
         {{0x0C}, {0x7D, 0x7E}, {0x8C, 0x01}},
         0},
        {HexBytes("41 54 0D 0A 7E 00 78 F0 7E 0C 14 3B 7E 0C 14 3A 7D 7E 0C 14 3A 7E"), {{0x00}, {0x0C}}, 3},
        {HexBytes("00 00 7E"), {}, 1},
        {Concat({Encode(Concat({largest, {0x42}})), Encode(largest), HexBytes("0C 14 3A 7E")}),
         {largest, {0x0C}},
         1},
    };
    for (const auto& [stream, frames, bad] : cases) {
        const SFeedLog log = FeedAll(stream);
        EXPECT_TRUE(log.bad == bad && log.frames == frames) << stream.size() << " bytes";
    }
}

} // namespace
