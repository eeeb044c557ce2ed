// Throughput of the diagnostic frame codec, and the round trip of one request over a
// pseudo-terminal through the serial driver (a thread on the master side echoes each frame).
#include "serial/DiagCodec.h"
#include "serial/DiagPort.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <random>
#include <stdlib.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Random payload with the share of 0x7D/0x7E bytes of ordinary traffic (about 1 in 128).
std::vector<quint8> Payload(size_t n)
{
    std::mt19937 rng(42);
    std::vector<quint8> p(n);
    for (auto& b : p)
        b = static_cast<quint8>(rng());
    return p;
}

void BM_Encode(benchmark::State& state)
{
    const auto payload = Payload(static_cast<size_t>(state.range(0)));
    std::vector<quint8> out(MaxEncodedSize(payload.size()));
    for (auto _ : state) {
        const size_t n = EncodeFrame(payload.data(), payload.size(), out.data(), out.size());
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Encode)->Arg(64)->Arg(1024)->Arg(16384);

void BM_DecodeFrameBody(benchmark::State& state)
{
    const auto payload = Payload(static_cast<size_t>(state.range(0)));
    std::vector<quint8> wire(MaxEncodedSize(payload.size()));
    wire.resize(EncodeFrame(payload.data(), payload.size(), wire.data(), wire.size()));
    std::vector<quint8> out(payload.size() + 2);
    for (auto _ : state) {
        const int n = DecodeFrameBody(wire.data(), wire.size() - 1, out.data(), out.size());
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_DecodeFrameBody)->Arg(64)->Arg(1024)->Arg(16384);

void BM_StreamDecoder(benchmark::State& state)
{
    const auto payload = Payload(static_cast<size_t>(state.range(0)));
    std::vector<quint8> wire(MaxEncodedSize(payload.size()));
    wire.resize(EncodeFrame(payload.data(), payload.size(), wire.data(), wire.size()));
    auto decoder = std::make_unique<CFrameDecoder>();
    for (auto _ : state) {
        int frames = 0;
        for (quint8 b : wire)
            frames += decoder->Feed(b) == CFrameDecoder::FRAME;
        benchmark::DoNotOptimize(frames);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_StreamDecoder)->Arg(64)->Arg(1024)->Arg(16384);

// One status-sized request and answer through CDiagPort::Request over a pseudo-terminal.
void BM_PtyRoundTrip(benchmark::State& state)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    char name[128];
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    struct termios tio = {};
    ::tcgetattr(master, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(master, TCSANOW, &tio);
    auto port = std::make_unique<CDiagPort>();
    if (!port->OpenPath(QString::fromLocal8Bit(name))) {
        state.SkipWithError("cannot open the pseudo-terminal");
        ::close(master);
        return;
    }
    std::atomic<bool> stop{false};
    std::thread handset([&] {
        auto decoder = std::make_unique<CFrameDecoder>();
        std::vector<quint8> answer(49, 0);
        std::vector<quint8> wire(MaxEncodedSize(answer.size()));
        quint8 buf[1024];
        while (!stop.load()) {
            struct pollfd p = {master, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const ssize_t n = ::read(master, buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i) {
                if (decoder->Feed(buf[i]) != CFrameDecoder::FRAME)
                    continue;
                answer[0] = decoder->Payload()[0];
                const size_t w = EncodeFrame(answer.data(), answer.size(), wire.data(), wire.size());
                [[maybe_unused]] const ssize_t r = ::write(master, wire.data(), w);
            }
        }
    });
    auto response = std::make_unique<quint8[]>(CSerialPort::RESPONSE_BUFFER_SIZE);
    for (auto _ : state) {
        if (!port->RequestStatus(response.get())) {
            state.SkipWithError("request failed");
            break;
        }
    }
    stop.store(true);
    handset.join();
    port->Close();
    ::close(master);
}
BENCHMARK(BM_PtyRoundTrip)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
