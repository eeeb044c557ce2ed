#include "serial/DiagCodec.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<quint8>;

Bytes Hex(const char* text)
{
    Bytes out;
    const std::string s(text);
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == ' ')
            continue;
        out.push_back(static_cast<quint8>(std::stoul(s.substr(i, 2), nullptr, 16)));
        ++i;
    }
    return out;
}

// Number of escapes the two check bytes of a payload need.
size_t CheckEscapes(const Bytes& payload)
{
    const quint16 fcs = Fcs16Of(payload.data(), payload.size());
    auto special = [](int b) { return b == FRAME_FLAG || b == FRAME_ESCAPE; };
    return (special(fcs & 0xFF) ? 1 : 0) + (special(fcs >> 8) ? 1 : 0);
}

Bytes Encode(const Bytes& payload)
{
    Bytes out(MaxEncodedSize(payload.size()));
    const size_t n = EncodeFrame(payload.data(), payload.size(), out.data(), out.size());
    out.resize(n);
    return out;
}

// Decodes a whole encoded frame (closing flag included) with DecodeFrameBody.
int DecodeWire(const Bytes& wire, Bytes* decoded)
{
    qpxtest::FuzzSeed("frame", QByteArrayView(wire.data(), qsizetype(wire.size())));
    decoded->assign(wire.size() + 1, 0);
    return DecodeFrameBody(wire.data(), wire.size() - 1, decoded->data(), decoded->size());
}

struct SWorkedExample
{
    const char* payload;
    const char* wire;
    quint16 fcs;
};

// Computed frames of the protocol notes, the FCS that needs escaping included.
const SWorkedExample kExamples[] = {
    {"0C", "0C 14 3A 7E", 0x3A14},
    {"00", "00 78 F0 7E", 0xF078},
    {"8C 00", "8C 00 2B 2A 7E", 0x2A2B},
    {"8C 01", "8C 01 A2 3B 7E", 0x3BA2},
    {"01", "01 F1 E1 7E", 0xE1F1},
    {"1C", "1C 95 2A 7E", 0x2A95},
    {"3A", "3A A1 6E 7E", 0x6EA1},
    {"29 01 00", "29 01 00 31 40 7E", 0x4031},
    {"29 02 00", "29 02 00 59 6A 7E", 0x6A59},
    {"29 04 00", "29 04 00 89 3E 7E", 0x3E89},
    {"41 30 30 30 30 30 30", "41 30 30 30 30 30 30 DF 8A 7E", 0x8ADF},
    {"49 00 00", "49 00 00 A4 5C 7E", 0x5CA4},
    {"49 01 00", "49 01 00 7C 45 7E", 0x457C},
    {"13 06", "13 06 88 D5 7E", 0xD588},
    {"7E", "7D 5E 81 6A 7E", 0x6A81},
    {"7D 7E", "7D 5D 7D 5E 02 D5 7E", 0xD502},
    {"4B 13 00 00 00 00 10 00 00 00 10 00 00 00 10 00 00 00 10 00 00 00 10 00 00 00 10 00 01 00 00 00 01 00 "
     "00 00 01 00 00 00 FF FF FF FF",
     "4B 13 00 00 00 00 10 00 00 00 10 00 00 00 10 00 00 00 10 00 00 00 10 00 00 00 10 00 01 00 00 00 01 00 "
     "00 00 01 00 00 00 FF FF FF FF 7D 5E 05 7E",
     0x057E},
    {"4B 13 0B 00 2F 00", "4B 13 0B 00 2F 00 19 11 7E", 0x1119},
};

TEST(DiagCodec, WorkedExamplesEncodeExactly)
{
    for (const auto& ex : kExamples) {
        const Bytes payload = Hex(ex.payload);
        EXPECT_EQ(Encode(payload), Hex(ex.wire)) << ex.payload;
        EXPECT_EQ(Fcs16Of(payload.data(), payload.size()), ex.fcs) << ex.payload;
    }
}

TEST(DiagCodec, WorkedExamplesDecodeToPayloadAndCheckBytes)
{
    for (const auto& ex : kExamples) {
        const Bytes payload = Hex(ex.payload);
        Bytes decoded;
        const int n = DecodeWire(Hex(ex.wire), &decoded);
        ASSERT_EQ(n, static_cast<int>(payload.size() + 2)) << ex.payload;
        EXPECT_TRUE(std::equal(payload.begin(), payload.end(), decoded.begin())) << ex.payload;
        EXPECT_EQ(GetLe16(decoded.data() + payload.size()), ex.fcs) << ex.payload;
    }
}

TEST(DiagCodec, CheckValueAndResidue)
{
    const char* text = "123456789";
    const auto* p = reinterpret_cast<const quint8*>(text);
    EXPECT_EQ(Fcs16Of(p, 9), 0x906E);
    quint8 framed[11];
    std::memcpy(framed, p, 9);
    PutLe16(framed + 9, 0x906E);
    EXPECT_EQ(Fcs16Update(FCS16_INIT, framed, 11), FCS16_GOOD);
    // Feeding in pieces gives the same register as one call.
    EXPECT_EQ(Fcs16Update(Fcs16Update(FCS16_INIT, framed, 4), framed + 4, 7), FCS16_GOOD);
}

TEST(DiagCodec, OnlyFlagAndEscapeAreStuffed)
{
    Bytes all(256);
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<quint8>(i);
    const Bytes wire = Encode(all);
    ASSERT_FALSE(wire.empty());
    EXPECT_EQ(wire.back(), FRAME_FLAG);
    // 256 payload bytes + 2 escapes + 2 check bytes (+ their escapes) + flag.
    EXPECT_EQ(wire.size(), 256u + 2 + 2 + CheckEscapes(all) + 1);
    // No flag inside the frame; control characters go through unchanged.
    EXPECT_EQ(std::count(wire.begin(), wire.end() - 1, FRAME_FLAG), 0);
    EXPECT_EQ(wire[0x11], 0x11);
    EXPECT_EQ(wire[0x13], 0x13);
    EXPECT_EQ(wire[0x7D], 0x7D);
    EXPECT_EQ(wire[0x7E], 0x5D);
    EXPECT_EQ(wire[0x7F], 0x7D);
    EXPECT_EQ(wire[0x80], 0x5E);
}

TEST(DiagCodec, EncodeRespectsCapacity)
{
    const Bytes payload = Hex("7E 7E 7E");
    const Bytes full = Encode(payload);
    ASSERT_EQ(full.size(), 6u + 2 + CheckEscapes(payload) + 1);
    Bytes out(full.size(), 0xAA);
    EXPECT_EQ(EncodeFrame(payload.data(), payload.size(), out.data(), out.size()), full.size());
    EXPECT_EQ(out, full);
    for (size_t cap = 0; cap < full.size(); ++cap)
        EXPECT_EQ(EncodeFrame(payload.data(), payload.size(), out.data(), cap), 0u) << cap;
    EXPECT_EQ(EncodeFrame(payload.data(), 0, out.data(), out.size()), 0u);
}

TEST(DiagCodec, DecodeRejectsDamagedBodies)
{
    quint8 out[64];
    // Empty body.
    EXPECT_EQ(DecodeFrameBody(nullptr, 0, out, sizeof out), -1);
    // Every single flipped bit of the status request is caught.
    const Bytes wire = Hex("0C 14 3A 7E");
    for (size_t byte = 0; byte < 3; ++byte) {
        for (int bit = 0; bit < 8; ++bit) {
            Bytes bad = wire;
            bad[byte] ^= static_cast<quint8>(1 << bit);
            EXPECT_EQ(DecodeFrameBody(bad.data(), 3, out, sizeof out), -1) << byte << ":" << bit;
        }
    }
    // A body that ends in a lone escape is cut, even if what came before would check.
    Bytes cut = Hex("0C 14 3A 7D");
    EXPECT_EQ(DecodeFrameBody(cut.data(), cut.size(), out, sizeof out), -1);
    // More decoded bytes than the output holds.
    const Bytes ok = Hex("41 30 30 30 30 30 30 DF 8A");
    EXPECT_EQ(DecodeFrameBody(ok.data(), ok.size(), out, 8), -1);
    EXPECT_EQ(DecodeFrameBody(ok.data(), ok.size(), out, 9), 9);
}

TEST(DiagCodec, DecodeInPlace)
{
    Bytes wire = Hex("7D 5D 7D 5E 02 D5 7E");
    const int n = DecodeFrameBody(wire.data(), wire.size() - 1, wire.data(), wire.size());
    ASSERT_EQ(n, 4);
    EXPECT_EQ(Bytes(wire.begin(), wire.begin() + 4), Hex("7D 7E 02 D5"));
}

TEST(DiagCodec, RoundTripOfEveryLength)
{
    Bytes payload;
    quint32 seed = 12345;
    for (int len = 1; len <= 600; len += 7) {
        payload.resize(len);
        for (auto& b : payload) {
            seed = seed * 1103515245u + 12345u;
            b = static_cast<quint8>((seed >> 16) % 4 == 0 ? 0x7D + ((seed >> 8) & 1) : seed >> 24);
        }
        const Bytes wire = Encode(payload);
        ASSERT_LE(wire.size(), MaxEncodedSize(payload.size()));
        Bytes decoded;
        ASSERT_EQ(DecodeWire(wire, &decoded), len + 2);
        EXPECT_TRUE(std::equal(payload.begin(), payload.end(), decoded.begin()));
    }
}

// Feeds bytes and collects every result other than NEED_MORE.
struct SFeedLog
{
    std::vector<Bytes> frames;
    int bad = 0;
};

SFeedLog FeedAll(CFrameDecoder& dec, const Bytes& stream)
{
    qpxtest::FuzzSeed("frame", QByteArrayView(stream.data(), qsizetype(stream.size())));
    SFeedLog log;
    for (quint8 b : stream) {
        switch (dec.Feed(b)) {
        case CFrameDecoder::FRAME:
            log.frames.emplace_back(dec.Payload(), dec.Payload() + dec.PayloadLength());
            break;
        case CFrameDecoder::BAD_FRAME:
            ++log.bad;
            break;
        case CFrameDecoder::NEED_MORE:
            break;
        }
    }
    return log;
}

TEST(FrameDecoder, SkipsFlagsAndSplitsFrames)
{
    CFrameDecoder dec;
    Bytes stream = Hex("7E 7E 7E");
    for (const char* w : {"0C 14 3A 7E", "7E 7D 5D 7D 5E 02 D5 7E", "8C 01 A2 3B 7E"}) {
        const Bytes part = Hex(w);
        stream.insert(stream.end(), part.begin(), part.end());
    }
    const SFeedLog log = FeedAll(dec, stream);
    EXPECT_EQ(log.bad, 0);
    ASSERT_EQ(log.frames.size(), 3u);
    EXPECT_EQ(log.frames[0], Hex("0C"));
    EXPECT_EQ(log.frames[1], Hex("7D 7E"));
    EXPECT_EQ(log.frames[2], Hex("8C 01"));
}

TEST(FrameDecoder, ResynchronisesAfterGarbage)
{
    CFrameDecoder dec;
    Bytes stream = Hex("41 54 0D 0A 7E 00 78 F0 7E 0C 14 3B 7E 0C 14 3A 7D 7E 0C 14 3A 7E");
    const SFeedLog log = FeedAll(dec, stream);
    // "AT\r\n", a flipped check bit and a lone escape before the flag are each one bad frame.
    EXPECT_EQ(log.bad, 3);
    ASSERT_EQ(log.frames.size(), 2u);
    EXPECT_EQ(log.frames[0], Hex("00"));
    EXPECT_EQ(log.frames[1], Hex("0C"));
}

TEST(FrameDecoder, TooShortAndOversizeAreBad)
{
    CFrameDecoder dec;
    // A body of only check bytes carries no command.
    EXPECT_EQ(FeedAll(dec, Hex("00 00 7E")).bad, 1);

    Bytes big(CFrameDecoder::MAX_PAYLOAD + 1, 0x42);
    Bytes wire = Encode(big);
    dec.Reset();
    SFeedLog log = FeedAll(dec, wire);
    EXPECT_EQ(log.bad, 1);
    EXPECT_TRUE(log.frames.empty());

    // The largest payload that fits passes, and the decoder is usable afterwards.
    big.resize(CFrameDecoder::MAX_PAYLOAD);
    wire = Encode(big);
    const Bytes next = Hex("0C 14 3A 7E");
    wire.insert(wire.end(), next.begin(), next.end());
    log = FeedAll(dec, wire);
    EXPECT_EQ(log.bad, 0);
    ASSERT_EQ(log.frames.size(), 2u);
    EXPECT_EQ(log.frames[0].size(), static_cast<size_t>(CFrameDecoder::MAX_PAYLOAD));
    EXPECT_EQ(log.frames[1], Hex("0C"));
}

} // namespace
