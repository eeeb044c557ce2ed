// The program's own diagnostic requests against a handset played on a pseudo-terminal.
#include "serial/DiagPort.h"
#include "PtyHandset.h"
#include "serial/DiagCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>

namespace {

// The command bytes of a request (its first three at most): what an answer starts with.
Bytes Head(const Bytes& req)
{
    return Bytes(req.begin(), req.begin() + std::min<size_t>(req.size(), 3));
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
};

// Each request on the wire, and what it makes of a good answer, a short one, one to another
// command, a damaged one, none and one about another NAM or item; a request that cannot be sent
// is refused.
TEST_F(DiagFixture, RequestsAndTheirAnswers)
{
    // The call, its request, the result of a good answer (the request echoed, then 7D 7E).
    const std::tuple<std::function<int(CDiagPort&, quint8*)>, Bytes, int> cases[] = {
        {[](CDiagPort& p, quint8* r) { return p.RequestStatus(r) ? 1 : 0; }, HexBytes("0C"), 1},
        {[](CDiagPort& p, quint8* r) { return p.RequestVersion(r) ? 1 : 0; }, HexBytes("00"), 1},
        {[](CDiagPort& p, quint8*) { return int(p.ReadPrlVersion(1)); }, HexBytes("8C 01"), 0x7E7D},
        {[](CDiagPort& p, quint8*) { return int(p.ReadEriVersion()); },
         Concat({HexBytes("26 B9 0F"), Bytes(654, 0)}), 0x7E7D},
    };
    const std::function<Bytes(const Bytes&)> answers[] = {
        [](const Bytes& req) { // after leading flags
            return Concat({HexBytes("7E 7E"), Framed(Concat({Head(req), HexBytes("7D 7E"), Bytes(60, 0)}))});
        },
        [](const Bytes& req) {
            return Framed(Concat({HexBytes("13"), req}));
        },
        [](const Bytes& req) {
            Bytes wire = Framed(Concat({req, HexBytes("7D 7E")}));
            wire[1] ^= 0x01;
            return wire;
        },
        [](const Bytes& req) { return Framed(Head(req)); }, // no version bytes
        [](const Bytes& req) { // about another NAM or item: a late answer to an earlier question
            Bytes head = Head(req);
            head.back() ^= 0x01;
            return Framed(Concat({head, HexBytes("7D 7E"), Bytes(60, 0)}));
        },
    };
    for (const auto& [call, request, good] : cases) {
        // A status or version answer is not checked for its length or subject.
        for (size_t a = 0; a < std::size(answers) - (good == 1 ? 2 : 0); ++a) {
            handset.Serve(answers[a]);
            std::memset(response.get(), 0xEE, CSerialPort::RESPONSE_BUFFER_SIZE);
            EXPECT_EQ(call(*port, response.get()), a == 0      ? good
                                                   : good == 1 ? 0
                                                               : CDiagPort::VERSION_FAILED)
                << good << " answer " << a;
            EXPECT_EQ(handset.Requests().back(), request) << "answer " << a;
            // A good answer lands in a cleared buffer, its check bytes after it.
            const Bytes body = Concat({Head(request), HexBytes("7D 7E"), Bytes(60, 0)});
            EXPECT_TRUE(good != 1 || a != 0 ||
                        (Bytes(response.get(), response.get() + body.size()) == body &&
                         GetLe16(response.get() + body.size()) == Fcs16Of(body.data(), body.size()) &&
                         response[CSerialPort::RESPONSE_BUFFER_SIZE - 1] == 0))
                << "answer " << a;
        }
    }
    // A silent handset: the failure value, and the request still went out.
    handset.Serve([](const Bytes&) { return Bytes(); });
    EXPECT_EQ(port->ReadPrlVersion(0), CDiagPort::VERSION_FAILED);
    EXPECT_EQ(handset.Requests().back(), HexBytes("8C 00"));
    EXPECT_FALSE(port->Request(response.get(), response.get(), 0, nullptr, 10));
    Bytes big(CDiagPort::MAX_REQUEST_PAYLOAD + 1, 0x7E);
    EXPECT_FALSE(port->Request(big.data(), response.get(), CDiagPort::MAX_REQUEST_PAYLOAD + 1, nullptr, 10));
}

} // namespace
