// The serial driver over pseudo-terminals: the test plays the handset on the master side.
#include "serial/SerialPort.h"
#include "PtyHandset.h"
#include "TestEnv.h"
#include "platform/VirtualPorts.h"
#include "serial/DiagCodec.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

qint64 MsSince(Clock::time_point t)
{
    return std::chrono::duration_cast<milliseconds>(Clock::now() - t).count();
}

// Polls a condition for up to a second (thread and descriptor counts settle asynchronously).
template <typename F> bool Eventually(F pred)
{
    const auto deadline = Clock::now() + milliseconds(1000);
    while (!pred()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(milliseconds(2));
    }
    return true;
}

// The object is large; tests keep it on the heap like its owner does.
struct SerialFixture : ::testing::Test
{
    std::unique_ptr<CSerialPort> port = std::make_unique<CSerialPort>();
    CPtyHandset handset;
    quint8 buffer[CSerialPort::RESPONSE_BUFFER_SIZE];

    void SetUp() override
    {
        ASSERT_TRUE(handset.IsValid());
        ASSERT_TRUE(port->OpenPath(handset.SlavePath(), 3)) << port->LastErrorText().toStdString();
    }
    void TearDown() override { port->Close(); }

    Bytes Decoded() const { return Bytes(buffer, buffer + port->DecodedLength()); }
};

TEST(SerialOpen, MissingPortFailsAndLeavesNothingBehind)
{
    CSerialPort::SetPathResolver([](int n) { return QStringLiteral("/nonexistent/qpx/COM%1").arg(n); });
    auto port = std::make_unique<CSerialPort>();
    const int fds = OpenDescriptorCount();
    const int threads = ThreadCount();
    EXPECT_FALSE(port->Open(42));
    EXPECT_EQ(port->LastError(), CSerialDevice::SERIAL_NO_SUCH_PORT);
    EXPECT_TRUE(port->LastErrorText().contains(QStringLiteral("no such port")));
    EXPECT_FALSE(port->IsOpen());
    EXPECT_EQ(OpenDescriptorCount(), fds);
    EXPECT_EQ(ThreadCount(), threads);
    // Receiving on a closed port does not wait.
    quint32 len = 0;
    quint8 buf[16];
    const auto t0 = Clock::now();
    EXPECT_EQ(port->ReceiveFrame(buf, 2000, &len, sizeof buf), RX_TIMEOUT);
    EXPECT_LT(MsSince(t0), 1000);
    // A resolver that knows no device for the number.
    CSerialPort::SetPathResolver([](int) { return QString(); });
    EXPECT_FALSE(port->Open(43));
    EXPECT_EQ(port->LastError(), CSerialDevice::SERIAL_NO_SUCH_PORT);
    EXPECT_EQ(port->LastErrorText(), QStringLiteral("COM43: no such port"));
    EXPECT_EQ(OpenDescriptorCount(), fds);
    port->Close();
    CSerialPort::SetPathResolver({});
}

TEST(SerialOpen, NotATerminalIsRefused)
{
    const QString file = qpxtest::MakeTempDir(QStringLiteral("serial")) + QStringLiteral("/plain");
    ASSERT_TRUE(qpxtest::WriteFile(file, "x"));
    const int fds = OpenDescriptorCount();
    CSerialPort port;
    EXPECT_FALSE(port.OpenPath(file));
    EXPECT_EQ(port.LastError(), CSerialDevice::SERIAL_NOT_A_TTY);
    EXPECT_EQ(OpenDescriptorCount(), fds);
}

TEST(SerialOpen, PermissionDeniedIsToldApart)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root opens everything";
    const QString file = qpxtest::MakeTempDir(QStringLiteral("serial")) + QStringLiteral("/locked");
    ASSERT_TRUE(qpxtest::WriteFile(file, "x"));
    QFile::setPermissions(file, QFileDevice::Permissions());
    CSerialPort port;
    EXPECT_FALSE(port.OpenPath(file));
    EXPECT_EQ(port.LastError(), CSerialDevice::SERIAL_PERMISSION_DENIED);
    EXPECT_TRUE(port.LastErrorText().contains(QStringLiteral("permission denied")));
}

TEST(SerialOpen, SecondOpenOfAHeldPortIsBusy)
{
    CPtyHandset handset;
    ASSERT_TRUE(handset.IsValid());
    auto first = std::make_unique<CSerialPort>();
    auto second = std::make_unique<CSerialPort>();
    ASSERT_TRUE(first->OpenPath(handset.SlavePath()));
    EXPECT_FALSE(second->OpenPath(handset.SlavePath()));
    EXPECT_EQ(second->LastError(), CSerialDevice::SERIAL_BUSY);
    // The holder is named as /proc shows it: this very process.
    QFile comm(QStringLiteral("/proc/self/comm"));
    ASSERT_TRUE(comm.open(QIODevice::ReadOnly));
    const QString holder = QStringLiteral("%1 (process %2)")
                               .arg(QString::fromLocal8Bit(comm.readAll()).trimmed())
                               .arg(::getpid());
    EXPECT_EQ(second->LastErrorDetail(), holder);
    EXPECT_EQ(second->LastErrorDevice(), handset.SlavePath());
    EXPECT_EQ(second->LastErrorText(),
              handset.SlavePath() + QStringLiteral(": port busy (held by ") + holder + QLatin1Char(')'));
    first->Close();
    EXPECT_TRUE(second->OpenPath(handset.SlavePath())); // the lock went with the close
}

TEST(SerialOpen, DefaultResolverFindsTheVirtualPortLink)
{
    CPtyHandset handset;
    ASSERT_TRUE(handset.IsValid());
    const QString folder = VirtualPortFolder();
    EXPECT_TRUE(folder.startsWith(qEnvironmentVariable("XDG_RUNTIME_DIR")));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString link = folder + QStringLiteral("/COM17");
    QFile::remove(link);
    ASSERT_TRUE(QFile::link(handset.SlavePath(), link));
    EXPECT_EQ(ComPortDevicePath(17), link);

    auto port = std::make_unique<CSerialPort>();
    ASSERT_TRUE(port->Open(17));
    EXPECT_EQ(port->Port(), 17);
    EXPECT_EQ(port->BaudRate(), 38400u);
    EXPECT_FALSE(port->Open(18)); // no such link; the first port was closed on the way
    EXPECT_FALSE(port->IsOpen());
    QFile::remove(link);
}

TEST(SerialOpen, ReopeningSwitchesPortsAndEndsTheOldReader)
{
    CPtyHandset a, b;
    ASSERT_TRUE(a.IsValid() && b.IsValid());
    const int threads = ThreadCount();
    auto port = std::make_unique<CSerialPort>();
    ASSERT_TRUE(port->OpenPath(a.SlavePath(), 1));
    EXPECT_EQ(ThreadCount(), threads + 1);
    ASSERT_TRUE(port->OpenPath(b.SlavePath(), 2));
    EXPECT_EQ(port->Port(), 2);
    EXPECT_TRUE(Eventually([&] { return ThreadCount() == threads + 1; }));
    // The first port is free again, the second works.
    CSerialPort other;
    EXPECT_TRUE(other.OpenPath(a.SlavePath()));
    other.Close();
    const Bytes req = Framed({0x0C});
    EXPECT_TRUE(port->Write(req.data(), static_cast<quint32>(req.size())));
    EXPECT_EQ(b.ReadRaw(req.size()), req);
    port->Close();
    EXPECT_TRUE(Eventually([&] { return ThreadCount() == threads; }));
}

TEST_F(SerialFixture, ResponseSplitAcrossReadsAfterLeadingFlags)
{
    const Bytes payload = HexBytes("0C 00 7E 7D 11 13 00 42");
    handset.Serve([=](const Bytes&) { return Concat({HexBytes("7E 7E 7E"), Framed(payload)}); }, 1, 2);
    const Bytes req = Framed({0x0C});
    quint32 len = 0;
    ASSERT_TRUE(port->Transact(req.data(), static_cast<quint32>(req.size()), buffer, &len, 1280));
    EXPECT_EQ(handset.Received(), HexBytes("0C 14 3A 7E"));
    // Raw length counts escapes and the closing flag, not the leading flags.
    EXPECT_EQ(len, Framed(payload).size());
    ASSERT_EQ(port->DecodedLength(), static_cast<int>(payload.size() + 2));
    EXPECT_EQ(Bytes(buffer, buffer + payload.size()), payload);
    EXPECT_EQ(GetLe16(buffer + payload.size()), Fcs16Of(payload.data(), payload.size()));
}

TEST_F(SerialFixture, BackToBackFramesStayUntilPurge)
{
    ASSERT_TRUE(handset.WriteRaw(Concat({Framed({0x01, 0x02}), Framed({0x03}), Framed({0x04})})));
    quint32 len = 0;
    ASSERT_EQ(port->ReceiveFrame(buffer, 500, &len), RX_FRAME_OK);
    EXPECT_EQ(port->DecodedLength(), 4);
    EXPECT_EQ(buffer[0], 0x01);
    EXPECT_EQ(buffer[1], 0x02);
    ASSERT_EQ(port->ReceiveFrame(buffer, 500, &len), RX_FRAME_OK);
    EXPECT_EQ(buffer[0], 0x03);
    EXPECT_EQ(port->DecodedLength(), 3);
    port->Purge();
    EXPECT_EQ(port->ReceiveFrame(buffer, 20, &len), RX_TIMEOUT);
}

TEST_F(SerialFixture, TimeOutIsALittleOverTwiceTheWait)
{
    quint32 len = 0;
    const auto t0 = Clock::now();
    EXPECT_EQ(port->ReceiveFrame(buffer, 100, &len), RX_TIMEOUT);
    const qint64 ms = MsSince(t0);
    EXPECT_GE(ms, 200);
    EXPECT_LT(ms, 700);
}

TEST_F(SerialFixture, DamagedFramesAreBadWithoutWaiting)
{
    quint32 len = 0;
    Bytes bad = Framed(HexBytes("0C 01 02 03"));
    bad[2] ^= 0x10;
    ASSERT_TRUE(handset.WriteRaw(bad));
    auto t0 = Clock::now();
    EXPECT_EQ(port->ReceiveFrame(buffer, 1280, &len), RX_BAD_FRAME);
    EXPECT_LT(MsSince(t0), 1000);

    // A body that ends in a lone escape.
    ASSERT_TRUE(handset.WriteRaw(HexBytes("0C 14 3A 7D 7E")));
    EXPECT_EQ(port->ReceiveFrame(buffer, 1280, &len), RX_BAD_FRAME);

    // Unescaped body longer than the decode buffer.
    ASSERT_TRUE(handset.WriteRaw(Framed(Bytes(CSerialPort::DECODE_BUFFER_SIZE - 1, 0x33))));
    EXPECT_EQ(port->ReceiveFrame(buffer, 1280, &len), RX_BAD_FRAME);
    // ...while one that just fits is good.
    ASSERT_TRUE(handset.WriteRaw(Framed(Bytes(CSerialPort::DECODE_BUFFER_SIZE - 2, 0x33))));
    EXPECT_EQ(port->ReceiveFrame(buffer, 1280, &len), RX_FRAME_OK);

    // Raw form longer than the caller's buffer: rejected once the buffer is full.
    port->Purge();
    quint8 small[16];
    ASSERT_TRUE(handset.WriteRaw(Framed(Bytes(20, 0x44))));
    t0 = Clock::now();
    EXPECT_EQ(port->ReceiveFrame(small, 1280, &len, sizeof small), RX_BAD_FRAME);
    EXPECT_LT(MsSince(t0), 1000);
}

TEST_F(SerialFixture, ReplyLargerThanTheRingPassesWhenTheConsumerKeepsUp)
{
    // 4094 escaped bytes: about 8190 raw bytes, more than the ring, and 4096 decoded bytes.
    Bytes payload(CSerialPort::DECODE_BUFFER_SIZE - 2, 0x7E);
    payload[0] = 0x4B;
    const Bytes wire = Framed(payload);
    ASSERT_GT(wire.size(), static_cast<size_t>(CSerialPort::RX_RING_SIZE));
    handset.Serve([=](const Bytes&) { return wire; });
    const Bytes req = Framed({0x4B});
    quint32 len = 0;
    ASSERT_TRUE(port->Transact(req.data(), static_cast<quint32>(req.size()), buffer, &len, 1280));
    EXPECT_EQ(len, wire.size());
    EXPECT_EQ(Bytes(buffer, buffer + payload.size()), payload);
}

TEST_F(SerialFixture, FullRingMakesTheReaderWaitInsteadOfOverwriting)
{
    // Five frames of ~3000 bytes arrive before anyone reads: the ring fills up and the reader must
    // hold back the rest; every frame then arrives intact and in order.
    Bytes all;
    for (quint8 i = 1; i <= 5; ++i) {
        Bytes payload(3000);
        for (size_t j = 0; j < payload.size(); ++j)
            payload[j] = static_cast<quint8>(i * 31 + j);
        payload[0] = i;
        const Bytes f = Framed(payload);
        all.insert(all.end(), f.begin(), f.end());
    }
    std::thread writer([&] { handset.WriteRaw(all, 5000); });
    std::this_thread::sleep_for(milliseconds(100));
    for (quint8 i = 1; i <= 5; ++i) {
        quint32 len = 0;
        ASSERT_EQ(port->ReceiveFrame(buffer, 1000, &len), RX_FRAME_OK) << int(i);
        EXPECT_EQ(buffer[0], i);
        EXPECT_EQ(buffer[2999], static_cast<quint8>(i * 31 + 2999));
    }
    writer.join();
}

TEST_F(SerialFixture, CloseWhileTheReaderWaitsIsQuick)
{
    std::this_thread::sleep_for(milliseconds(20)); // the reader is in its wait by now
    const auto t0 = Clock::now();
    port->Close();
    EXPECT_LT(MsSince(t0), 220);
    EXPECT_FALSE(port->IsOpen());
    port->Close(); // twice is harmless
}

TEST_F(SerialFixture, CloseWhileTheReaderWaitsForRoomIsQuick)
{
    // More than the ring holds and nobody consumes: the reader sits in its wait for room.
    ASSERT_TRUE(handset.WriteRaw(Bytes(CSerialPort::RX_RING_SIZE + 2048, 0x31), 5000));
    std::this_thread::sleep_for(milliseconds(100));
    const auto t0 = Clock::now();
    port->Close();
    EXPECT_LT(MsSince(t0), 220);
}

TEST_F(SerialFixture, WriteGivesUpAfterItsTimeLimit)
{
    // Nobody reads the master: the pty fills up and the write waits until its limit.
    const Bytes big(256 * 1024, 0x55);
    const auto t0 = Clock::now();
    EXPECT_FALSE(port->Write(big.data(), static_cast<quint32>(big.size())));
    const qint64 ms = MsSince(t0);
    EXPECT_GE(ms, CSerialPort::WRITE_TIMEOUT_MS - 50);
    EXPECT_LT(ms, CSerialPort::WRITE_TIMEOUT_MS + 1500);
}

TEST_F(SerialFixture, CloseFromAnotherThreadEndsAWaitingReceive)
{
    std::thread closer([&] {
        std::this_thread::sleep_for(milliseconds(50));
        port->Close();
    });
    quint32 len = 0;
    const auto t0 = Clock::now();
    EXPECT_EQ(port->ReceiveFrame(buffer, 5000, &len), RX_TIMEOUT);
    EXPECT_LT(MsSince(t0), 2000);
    closer.join();
}

TEST_F(SerialFixture, CloseEndsABlockedWrite)
{
    // Nobody reads the master: the pty fills up and Write waits for room.
    const Bytes big(256 * 1024, 0x55);
    std::thread closer([&] {
        std::this_thread::sleep_for(milliseconds(100));
        port->Close();
    });
    const auto t0 = Clock::now();
    EXPECT_FALSE(port->Write(big.data(), static_cast<quint32>(big.size())));
    EXPECT_LT(MsSince(t0), 1500);
    closer.join();
}

TEST_F(SerialFixture, InterruptEndsReceivingUntilTheNextOpen)
{
    std::thread stopper([&] {
        std::this_thread::sleep_for(milliseconds(50));
        port->Interrupt();
    });
    quint32 len = 0;
    auto t0 = Clock::now();
    EXPECT_EQ(port->ReceiveFrame(buffer, 5000, &len), RX_TIMEOUT);
    EXPECT_LT(MsSince(t0), 2000);
    stopper.join();
    // Still interrupted: even a waiting frame is not taken.
    ASSERT_TRUE(handset.WriteRaw(Framed({0x0C})));
    t0 = Clock::now();
    EXPECT_EQ(port->ReceiveFrame(buffer, 5000, &len), RX_TIMEOUT);
    EXPECT_LT(MsSince(t0), 1000);
    ASSERT_TRUE(port->OpenPath(handset.SlavePath()));
    ASSERT_TRUE(handset.WriteRaw(Framed({0x0C})));
    EXPECT_EQ(port->ReceiveFrame(buffer, 1000, &len), RX_FRAME_OK);
}

TEST_F(SerialFixture, HangUpMidFrameFailsFastAndEndsTheReader)
{
    const int threads = ThreadCount();
    ASSERT_TRUE(handset.WriteRaw(HexBytes("0C 01 02")));
    std::this_thread::sleep_for(milliseconds(20));
    handset.HangUp();
    quint32 len = 0;
    const auto t0 = Clock::now();
    EXPECT_EQ(port->ReceiveFrame(buffer, 2000, &len), RX_TIMEOUT);
    EXPECT_LT(MsSince(t0), 1000);
    EXPECT_TRUE(port->IsGone());
    // The reader ended instead of spinning on the dead line.
    EXPECT_TRUE(Eventually([&] { return ThreadCount() == threads - 1; }));
    const Bytes req = Framed({0x0C});
    EXPECT_FALSE(port->Write(req.data(), static_cast<quint32>(req.size())));
    EXPECT_EQ(port->ReceiveFrame(buffer, 2000, &len), RX_TIMEOUT);
    EXPECT_LT(MsSince(t0), 1500);
}

TEST_F(SerialFixture, PurgeDropsStaleBytesBeforeARequest)
{
    // A late answer to an earlier request sits in the ring; Transact purges it first.
    ASSERT_TRUE(handset.WriteRaw(Framed({0x00, 0x01})));
    std::this_thread::sleep_for(milliseconds(30));
    handset.Serve([](const Bytes& req) { return Framed(Concat({req, HexBytes("AA BB")})); });
    const Bytes req = Framed({0x0C});
    quint32 len = 0;
    ASSERT_TRUE(port->Transact(req.data(), static_cast<quint32>(req.size()), buffer, &len, 1280));
    EXPECT_EQ(Decoded().size(), 5u);
    EXPECT_EQ(buffer[0], 0x0C);
    EXPECT_EQ(buffer[1], 0xAA);
}

} // namespace
