// The serial driver over pseudo-terminals, and the program's own diagnostic requests on it: the
// test plays the handset on the master side. A call that should end early gets a wait far beyond
// CTest's time-out, so only its result is checked.
#include "PtyHandset.h"
#include "TestEnv.h"
#include "serial/DiagPort.h"

#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

constexpr quint32 FOREVER_MS = 3600 * 1000; // for calls that must end early
constexpr quint32 LONG_MS = 60 * 1000;      // for frames on their way

// The object is large; tests keep it on the heap like its owner does. The diagnostic port is the
// serial port with the program's requests on top.
struct SerialFixture : ::testing::Test
{
    std::unique_ptr<CDiagPort> port = std::make_unique<CDiagPort>();
    CPtyHandset handset;
    quint8 buffer[CSerialPort::RESPONSE_BUFFER_SIZE];
    quint32 len = 0;

    void SetUp() override
    {
        ASSERT_TRUE(handset.IsValid());
        ASSERT_TRUE(port->OpenPath(handset.SlavePath(), 3)) << port->LastErrorText().toStdString();
    }
    void TearDown() override { port->Close(); }
    quint16 Receive(quint32 waitMs = LONG_MS) { return port->ReceiveFrame(buffer, waitMs, &len); }
    bool Transact(const Bytes& payload)
    {
        const Bytes req = Framed(payload);
        return port->CSerialPort::Transact(req.data(), static_cast<quint32>(req.size()), buffer, &len, 1280);
    }
};

// Every refused open names its cause and leaves no descriptor or thread behind; a port held by
// another open is busy, named with its holder, until that one closes.
TEST_F(SerialFixture, SecondOpenOfAHeldPortIsBusyAndRefusedOpensLeaveNothingBehind)
{
    const QString dir = qpxtest::MakeTempDir(u"serial"_s);
    ASSERT_TRUE(qpxtest::WriteFile(dir + u"/plain"_s, "x") && qpxtest::WriteFile(dir + u"/locked"_s, "x"));
    QFile::setPermissions(dir + u"/locked"_s, QFileDevice::Permissions());
    const QString holder =
        u"%1 (process %2)"_s.arg(QString::fromLocal8Bit(qpxtest::ReadFile(u"/proc/self/comm"_s)).trimmed())
            .arg(::getpid());
    const struct
    {
        QString path; // empty: open COM42 through a resolver that knows no device
        CSerialDevice::EError error;
        QString text;
    } cases[] = {
        {dir + u"/missing"_s, CSerialDevice::SERIAL_NO_SUCH_PORT, u"no such port"_s},
        {QString(), CSerialDevice::SERIAL_NO_SUCH_PORT, u"COM42: no such port"_s},
        {dir + u"/plain"_s, CSerialDevice::SERIAL_NOT_A_TTY, QString()},
        {dir + u"/locked"_s, CSerialDevice::SERIAL_PERMISSION_DENIED, u"permission denied"_s},
        {handset.SlavePath(), CSerialDevice::SERIAL_BUSY,
         handset.SlavePath() + u": port busy (held by "_s + holder + QLatin1Char(')')},
    };
    CSerialPort::SetPathResolver([](int) { return QString(); });
    for (const auto& c : cases) {
        if (c.error == CSerialDevice::SERIAL_PERMISSION_DENIED && ::geteuid() == 0)
            continue; // root opens everything
        SCOPED_TRACE(c.path.toStdString());
        auto refused = std::make_unique<CSerialPort>();
        const int fds = ProcEntries("fd"), threads = ProcEntries("task");
        EXPECT_FALSE(c.path.isEmpty() ? refused->Open(42) : refused->OpenPath(c.path));
        EXPECT_EQ(refused->LastError(), c.error);
        EXPECT_TRUE(refused->LastErrorText().contains(c.text)) << refused->LastErrorText().toStdString();
        EXPECT_TRUE(!refused->IsOpen() && ProcEntries("fd") == fds && ProcEntries("task") == threads);
        EXPECT_EQ(refused->ReceiveFrame(buffer, FOREVER_MS, &len), RX_TIMEOUT); // no wait
        if (c.error == CSerialDevice::SERIAL_BUSY) {
            EXPECT_EQ(refused->LastErrorDetail() + refused->LastErrorDevice(), holder + handset.SlavePath());
            port->Close();
            EXPECT_TRUE(refused->OpenPath(c.path)); // the lock went with the close
        }
    }
    CSerialPort::SetPathResolver({});
}

// A damaged frame is bad at once, not a time-out after the long wait; so is one longer than the
// decode buffer (the largest that fits: see the full ring), and one whose raw form is longer than
// the caller's buffer.
TEST_F(SerialFixture, DamagedFramesAreBadWithoutWaiting)
{
    Bytes flipped = Framed(HexBytes("0C 01 02 03"));
    flipped[2] ^= 0x10;
    for (const Bytes& wire : {flipped, Framed(Bytes(CSerialPort::DECODE_BUFFER_SIZE - 1, 0x33))}) {
        ASSERT_TRUE(handset.WriteRaw(wire));
        EXPECT_EQ(Receive(), RX_BAD_FRAME) << wire.size();
    }
    quint8 small[16];
    ASSERT_TRUE(handset.WriteRaw(Framed(Bytes(20, 0x44))));
    EXPECT_EQ(port->ReceiveFrame(small, LONG_MS, &len, sizeof small), RX_BAD_FRAME);
}

// A reply larger than the ring passes when the consumer keeps up; five frames of 3000 bytes sent
// at once fill the ring, and the reader waits instead of overwriting: every frame arrives intact.
TEST_F(SerialFixture, FullRingMakesTheReaderWaitInsteadOfOverwriting)
{
    Bytes payload(CSerialPort::DECODE_BUFFER_SIZE - 2, 0x7E); // about 8190 raw bytes
    payload[0] = 0x4B;
    const Bytes wire = Framed(payload);
    ASSERT_GT(wire.size(), static_cast<size_t>(CSerialPort::RX_RING_SIZE));
    handset.Serve([=](const Bytes&) { return wire; });
    ASSERT_TRUE(Transact({0x4B}));
    EXPECT_TRUE(len == wire.size() && Bytes(buffer, buffer + payload.size()) == payload);
    handset.Stop();

    Bytes all;
    for (quint8 i = 1; i <= 5; ++i) {
        Bytes frame(3000, static_cast<quint8>(i * 31));
        frame[0] = i;
        all = Concat({all, Framed(frame)});
    }
    std::thread writer([&] { handset.WriteRaw(all, 60000); });
    for (quint8 i = 1; i <= 5; ++i) {
        ASSERT_EQ(Receive(), RX_FRAME_OK) << int(i);
        EXPECT_TRUE(buffer[0] == i && buffer[2999] == static_cast<quint8>(i * 31)) << int(i);
    }
    writer.join();
}

// Something ends a receive that would otherwise wait for ever: Close or Interrupt from another
// thread, or the far end hanging up (also mid-frame, and while the reader waits for room).
TEST_F(SerialFixture, SomethingEndsABlockedReceive)
{
    constexpr int CLOSE = 0, INTERRUPT = 1, HANG_UP = 2;
    for (const int end : {CLOSE, INTERRUPT, HANG_UP}) {
        SCOPED_TRACE(end);
        CPtyHandset far;
        ASSERT_TRUE(port->OpenPath(far.SlavePath(), 4));
        const int threads = ProcEntries("task");
        ASSERT_TRUE(far.WriteRaw(HexBytes("0C 01 02"))); // half a frame
        std::thread ender([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the result is the same before
            if (end == CLOSE)
                port->Close();
            else if (end == INTERRUPT)
                port->Interrupt();
            else
                far.HangUp();
        });
        EXPECT_EQ(Receive(FOREVER_MS), RX_TIMEOUT);
        ender.join();
        if (end == INTERRUPT) {
            // Still interrupted: even a waiting frame is not taken until the next open.
            ASSERT_TRUE(far.WriteRaw(Framed({0x0C})));
            EXPECT_EQ(Receive(FOREVER_MS), RX_TIMEOUT);
            ASSERT_TRUE(port->OpenPath(far.SlavePath()));
            ASSERT_TRUE(far.WriteRaw(Framed({0x0C})));
            EXPECT_EQ(Receive(), RX_FRAME_OK);
        }
        if (end == HANG_UP) {
            // No reader spins on.
            EXPECT_TRUE(port->IsGone() &&
                        qpxtest::PumpUntil([&] { return ProcEntries("task") == threads - 1; }));
            const Bytes req = Framed({0x0C});
            EXPECT_FALSE(port->Write(req.data(), static_cast<quint32>(req.size())));
            EXPECT_EQ(Receive(FOREVER_MS), RX_TIMEOUT);
        }
        port->Close();
    }
    // Close while the reader waits for room in a full ring returns, and twice is harmless.
    ASSERT_TRUE(port->OpenPath(handset.SlavePath()));
    ASSERT_TRUE(handset.WriteRaw(Bytes(CSerialPort::RX_RING_SIZE + 2048, 0x31), 60000));
    port->Close();
    port->Close();
    EXPECT_FALSE(port->IsOpen());
    // A write nobody reads gives up.
    ASSERT_TRUE(port->OpenPath(handset.SlavePath()));
    const Bytes big(256 * 1024, 0x55); // more than the pty holds
    EXPECT_FALSE(port->Write(big.data(), static_cast<quint32>(big.size())));
}

// The command bytes of a request (its first three at most): what an answer starts with.
Bytes Head(const Bytes& req)
{
    return Bytes(req.begin(), req.begin() + std::min<size_t>(req.size(), 3));
}

// Each request on the wire (a late answer purged before it), and what it makes of a good answer, a
// short one, one to another command, a damaged one, none and one about another NAM or item; a
// request that cannot be sent is refused.
TEST_F(SerialFixture, DiagRequestsAndTheirAnswers)
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
    // A late answer to an earlier request sits in the ring: the first request purges it.
    ASSERT_TRUE(handset.WriteRaw(Framed({0x00, 0x01})));
    for (const auto& [call, request, good] : cases) {
        // A status or version answer is not checked for its length or subject.
        for (size_t a = 0; a < std::size(answers) - (good == 1 ? 2 : 0); ++a) {
            handset.Serve(answers[a]);
            std::memset(buffer, 0xEE, sizeof buffer);
            EXPECT_EQ(call(*port, buffer), a == 0      ? good
                                           : good == 1 ? 0
                                                       : CDiagPort::VERSION_FAILED)
                << good << " answer " << a;
            EXPECT_EQ(handset.Requests().back(), request) << "answer " << a;
            // A good answer lands in a cleared buffer, its check bytes after it.
            const Bytes body = Concat({Head(request), HexBytes("7D 7E"), Bytes(60, 0)});
            EXPECT_TRUE(good != 1 || a != 0 ||
                        (Bytes(buffer, buffer + body.size()) == body &&
                         GetLe16(buffer + body.size()) == Fcs16Of(body.data(), body.size()) &&
                         buffer[CSerialPort::RESPONSE_BUFFER_SIZE - 1] == 0))
                << "answer " << a;
        }
    }
    // A silent handset: the failure value, and the request still went out.
    handset.Serve([](const Bytes&) { return Bytes(); });
    EXPECT_EQ(port->ReadPrlVersion(0), CDiagPort::VERSION_FAILED);
    EXPECT_EQ(handset.Requests().back(), HexBytes("8C 00"));
    EXPECT_FALSE(port->Request(buffer, buffer, 0, nullptr, 10));
    Bytes big(CDiagPort::MAX_REQUEST_PAYLOAD + 1, 0x7E);
    EXPECT_FALSE(port->Request(big.data(), buffer, CDiagPort::MAX_REQUEST_PAYLOAD + 1, nullptr, 10));
}

} // namespace
