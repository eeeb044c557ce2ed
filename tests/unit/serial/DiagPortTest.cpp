// The program's own diagnostic requests against a handset played on a pseudo-terminal.
#include "serial/DiagPort.h"
#include "PtyHandset.h"
#include "serial/DiagCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

qint64 MsSince(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// A status answer of 49 bytes with a few recognisable fields.
Bytes StatusPayload()
{
    Bytes p(49, 0);
    p[0] = CMD_STATUS;
    PutLe32(p.data() + 4, 0x8F7E7D12); // contains both special bytes once encoded
    PutLe16(p.data() + 8, 1);
    PutLe16(p.data() + 39, 4145);
    p[48] = 6;
    return p;
}

struct DiagFixture : ::testing::Test
{
    std::unique_ptr<CDiagPort> port = std::make_unique<CDiagPort>();
    CPtyHandset handset;
    std::unique_ptr<quint8[]> response = std::make_unique<quint8[]>(CSerialPort::RESPONSE_BUFFER_SIZE);

    void SetUp() override
    {
        ASSERT_TRUE(handset.IsValid());
        ASSERT_TRUE(port->OpenPath(handset.SlavePath(), 5));
    }
    void TearDown() override
    {
        port->Close();
        handset.Stop();
    }
    // The wire bytes of the one request the handset received.
    Bytes OnlyRequestOnTheWire()
    {
        EXPECT_EQ(handset.Requests().size(), 1u);
        return handset.Received();
    }
};

TEST(DiagPortEncode, MemberEncodeReportsTheEncodedLength)
{
    auto port = std::make_unique<CDiagPort>();
    const quint8 payload[] = {0x7D, 0x7E};
    quint8 out[16];
    quint32 len = 2;
    port->EncodeFrame(payload, &len, out);
    ASSERT_EQ(len, 7u);
    EXPECT_EQ(Bytes(out, out + len), HexBytes("7D 5D 7D 5E 02 D5 7E"));
}

TEST_F(DiagFixture, StatusRequestAndResponseBuffer)
{
    const Bytes payload = StatusPayload();
    handset.Serve([=](const Bytes&) { return Concat({HexBytes("7E"), Framed(payload)}); });
    std::memset(response.get(), 0xEE, CSerialPort::RESPONSE_BUFFER_SIZE);
    quint32 len = 0;
    ASSERT_TRUE(port->RequestStatus(response.get(), &len));
    EXPECT_EQ(OnlyRequestOnTheWire(), HexBytes("0C 14 3A 7E"));
    EXPECT_EQ(len, Framed(payload).size());
    // Unescaped payload, then its two check bytes; the rest was cleared before the request.
    EXPECT_EQ(Bytes(response.get(), response.get() + payload.size()), payload);
    EXPECT_EQ(GetLe16(response.get() + payload.size()), Fcs16Of(payload.data(), payload.size()));
    EXPECT_EQ(port->DecodedLength(), static_cast<int>(payload.size() + 2));
    EXPECT_EQ(GetLe32(response.get() + 4), 0x8F7E7D12u);
    EXPECT_EQ(response[CSerialPort::RESPONSE_BUFFER_SIZE - 1], 0);
    EXPECT_EQ(response[len], 0);
}

TEST_F(DiagFixture, VersionRequestOnTheWire)
{
    Bytes payload(55, 0x20);
    payload[0] = CMD_VERSION;
    handset.Serve([=](const Bytes&) { return Framed(payload); });
    ASSERT_TRUE(port->RequestVersion(response.get()));
    EXPECT_EQ(OnlyRequestOnTheWire(), HexBytes("00 78 F0 7E"));
}

TEST_F(DiagFixture, PrlVersionOfBothNams)
{
    handset.Serve([](const Bytes& req) {
        // 8C, NAM, version: NAM 0 holds 0x7E7D (escaped on the way), NAM 1 holds 0x1234.
        return Framed(Concat({req, req[1] == 0 ? HexBytes("7D 7E") : HexBytes("34 12")}));
    });
    EXPECT_EQ(port->ReadPrlVersion(0), 0x7E7D);
    EXPECT_EQ(port->ReadPrlVersion(1), 0x1234);
    EXPECT_EQ(handset.Received(), HexBytes("8C 00 2B 2A 7E 8C 01 A2 3B 7E"));
}

TEST_F(DiagFixture, EriVersionRequestIs657Bytes)
{
    handset.Serve([](const Bytes& req) {
        Bytes answer(133, 0);
        std::copy(req.begin(), req.begin() + 3, answer.begin());
        PutLe16(answer.data() + 3, 0x0203);
        return Framed(answer);
    });
    EXPECT_EQ(port->ReadEriVersion(), 0x0203);
    const auto requests = handset.Requests();
    ASSERT_EQ(requests.size(), 1u);
    Bytes expected(657, 0);
    expected[0] = 0x26;
    expected[1] = 0xB9;
    expected[2] = 0x0F;
    EXPECT_EQ(requests[0], expected);
}

TEST_F(DiagFixture, AnswerToAnotherQuestionFails)
{
    // First a refusal (another command), then the right command about another NAM or item, as a
    // late answer to an earlier question would be.
    auto served = std::make_shared<std::atomic<int>>(0);
    handset.Serve([served](const Bytes& req) {
        if ((*served)++ < 3)
            return Framed(Concat({HexBytes("13"), req}));
        if (req[0] == CMD_PRL_VERSION)
            return Framed(
                Concat({HexBytes("8C"), Bytes{static_cast<quint8>(req[1] ^ 1)}, HexBytes("34 12")}));
        Bytes answer(133, 0);
        answer[0] = CMD_NV_READ;
        PutLe16(answer.data() + 1, 85);
        PutLe16(answer.data() + 3, 0x0203);
        return Framed(answer);
    });
    EXPECT_FALSE(port->RequestStatus(response.get()));
    EXPECT_EQ(port->ReadPrlVersion(0), CDiagPort::VERSION_FAILED);
    EXPECT_EQ(port->ReadEriVersion(), CDiagPort::VERSION_FAILED);
    EXPECT_EQ(port->ReadPrlVersion(1), CDiagPort::VERSION_FAILED);
    EXPECT_EQ(port->ReadEriVersion(), CDiagPort::VERSION_FAILED);
}

TEST_F(DiagFixture, FlippedBitFailsAtTheClosingFlag)
{
    handset.Serve([](const Bytes&) {
        Bytes wire = Framed(StatusPayload());
        wire[20] ^= 0x01;
        return wire;
    });
    const auto t0 = Clock::now();
    EXPECT_FALSE(port->RequestStatus(response.get()));
    // The whole wait would be 2560 ms.
    EXPECT_LT(MsSince(t0), 1000);
}

TEST_F(DiagFixture, ShortVersionAnswerFails)
{
    // A good frame for the right command, but without the version bytes: 8C 01 / 26 B9 0F.
    handset.Serve([](const Bytes& req) {
        return Framed(Bytes(req.begin(), req.begin() + std::min<size_t>(req.size(), 3)));
    });
    EXPECT_EQ(port->ReadPrlVersion(1), CDiagPort::VERSION_FAILED);
    EXPECT_EQ(port->ReadEriVersion(), CDiagPort::VERSION_FAILED);
}

TEST_F(DiagFixture, SilentHandsetGivesTheFailureValueAfterTheWholeWait)
{
    const auto t0 = Clock::now();
    EXPECT_EQ(port->ReadPrlVersion(0), CDiagPort::VERSION_FAILED);
    const qint64 ms = MsSince(t0);
    EXPECT_GE(ms, 800);
    EXPECT_LT(ms, 1300);
    // The request still went out.
    EXPECT_EQ(handset.ReadRaw(5, 500), HexBytes("8C 00 2B 2A 7E"));
}

TEST_F(DiagFixture, PayloadThatCannotBeEncodedIsRefused)
{
    EXPECT_FALSE(port->Request(response.get(), response.get(), 0, nullptr, 10));
    auto big = std::make_unique<quint8[]>(CDiagPort::MAX_REQUEST_PAYLOAD + 1);
    std::memset(big.get(), 0x7E, CDiagPort::MAX_REQUEST_PAYLOAD + 1);
    EXPECT_FALSE(port->Request(big.get(), response.get(), CDiagPort::MAX_REQUEST_PAYLOAD + 1, nullptr, 10));
}

} // namespace
