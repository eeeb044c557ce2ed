// Throughput of the diagnostic frame codec, and the round trip of one request over a
// pseudo-terminal through the serial driver (a thread on the master side echoes each frame).
//
// Each codec benchmark times three implementations in turn inside every iteration, so a loaded
// machine slows them alike: the fast codec (the benchmark's own time), the byte-at-a-time
// reference, and the common two-pass scheme (FCS pass, then escape pass; unescape pass, then FCS).
// Counters: GB/s of each, and the fast codec's speed-up over the other two (x_two_pass, x_bytewise).
// Best of several runs: --benchmark_repetitions=5 and read the _max rows.
#include "serial/DiagCodec.h"
#include "serial/DiagPort.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
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

using Clock = std::chrono::steady_clock;

// Random payload with the share of 0x7D/0x7E bytes of ordinary traffic (about 1 in 128).
std::vector<quint8> Payload(size_t n)
{
    std::mt19937 rng(42);
    std::vector<quint8> p(n);
    for (auto& b : p)
        b = static_cast<quint8>(rng());
    return p;
}

std::vector<quint8> Wire(const std::vector<quint8>& payload)
{
    std::vector<quint8> wire(MaxEncodedSize(payload.size()));
    wire.resize(EncodeFrame(payload.data(), payload.size(), wire.data(), wire.size()));
    return wire;
}

// The two-pass scheme as it is commonly written: a table-driven FCS pass, then an escape pass.
size_t EncodeTwoPass(const quint8* payload, size_t n, quint8* out)
{
    const quint16 fcs = static_cast<quint16>(~Fcs16UpdateBytewise(FCS16_INIT, payload, n));
    size_t k = 0;
    auto put = [&](quint8 b) {
        if (b == FRAME_FLAG || b == FRAME_ESCAPE) {
            out[k++] = FRAME_ESCAPE;
            out[k++] = static_cast<quint8>(b ^ FRAME_ESCAPE_XOR);
        } else {
            out[k++] = b;
        }
    };
    for (size_t i = 0; i < n; ++i)
        put(payload[i]);
    put(static_cast<quint8>(fcs));
    put(static_cast<quint8>(fcs >> 8));
    out[k++] = FRAME_FLAG;
    return k;
}

// And on receipt: an unescape pass, then an FCS pass over what it gave.
int DecodeTwoPass(const quint8* body, size_t n, quint8* out, size_t outCap)
{
    size_t k = 0;
    for (size_t i = 0; i < n; ++i) {
        quint8 b = body[i];
        if (b == FRAME_ESCAPE) {
            if (++i == n)
                return -1;
            b = static_cast<quint8>(body[i] ^ FRAME_ESCAPE_XOR);
        }
        if (k == outCap)
            return -1;
        out[k++] = b;
    }
    if (k == 0 || Fcs16UpdateBytewise(FCS16_INIT, out, k) != FCS16_GOOD)
        return -1;
    return static_cast<int>(k);
}

// Times the fast codec and its two baselines in turn, each over enough calls to make the clock's
// cost vanish; the fast one's time is the benchmark's time.
template <typename Fast, typename TwoPass, typename Bytewise>
void Compare(benchmark::State& state, Fast fast, TwoPass twoPass, Bytewise bytewise)
{
    const size_t size = static_cast<size_t>(state.range(0));
    const int calls = static_cast<int>(std::max<size_t>(1, 16384 / size));
    Clock::duration total[3] = {};
    auto timed = [&](auto&& run, Clock::duration& sum) {
        const auto t0 = Clock::now();
        for (int i = 0; i < calls; ++i)
            run();
        const auto d = Clock::now() - t0;
        sum += d;
        return d;
    };
    for (auto _ : state) {
        const auto d = timed(fast, total[0]);
        timed(twoPass, total[1]);
        timed(bytewise, total[2]);
        state.SetIterationTime(std::chrono::duration<double>(d).count());
    }
    const double bytes = static_cast<double>(state.iterations()) * calls * static_cast<double>(size);
    auto gbps = [&](Clock::duration d) { return bytes / std::chrono::duration<double>(d).count() / 1e9; };
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["fast_GBps"] = gbps(total[0]);
    state.counters["two_pass_GBps"] = gbps(total[1]);
    state.counters["bytewise_GBps"] = gbps(total[2]);
    state.counters["x_two_pass"] = gbps(total[0]) / gbps(total[1]);
    state.counters["x_bytewise"] = gbps(total[0]) / gbps(total[2]);
}

double Max(const std::vector<double>& v)
{
    return v.empty() ? 0.0 : *std::max_element(v.begin(), v.end());
}

void BM_Encode(benchmark::State& state)
{
    const auto payload = Payload(static_cast<size_t>(state.range(0)));
    std::vector<quint8> out(MaxEncodedSize(payload.size()));
    auto run = [&](auto encode) {
        return [&, encode] {
            benchmark::DoNotOptimize(encode(payload.data(), payload.size(), out.data(), out.size()));
            benchmark::ClobberMemory();
        };
    };
    Compare(state, run(EncodeFrame),
            run([](const quint8* p, size_t n, quint8* o, size_t) { return EncodeTwoPass(p, n, o); }),
            run(EncodeFrameBytewise));
}
BENCHMARK(BM_Encode)->Arg(64)->Arg(1024)->Arg(16384)->UseManualTime()->ComputeStatistics("max", Max);

void BM_DecodeFrameBody(benchmark::State& state)
{
    const auto payload = Payload(static_cast<size_t>(state.range(0)));
    const auto wire = Wire(payload);
    std::vector<quint8> out(payload.size() + 2);
    auto run = [&](auto decode) {
        return [&, decode] {
            benchmark::DoNotOptimize(decode(wire.data(), wire.size() - 1, out.data(), out.size()));
            benchmark::ClobberMemory();
        };
    };
    Compare(state, run(DecodeFrameBody), run(DecodeTwoPass), run(DecodeFrameBodyBytewise));
}
BENCHMARK(BM_DecodeFrameBody)->Arg(64)->Arg(1024)->Arg(16384)->UseManualTime()->ComputeStatistics("max", Max);

// The stream decoder as the simulator uses it: the bytes of a read handed over at once.
void BM_StreamDecoder(benchmark::State& state)
{
    const auto payload = Payload(static_cast<size_t>(state.range(0)));
    const auto wire = Wire(payload);
    std::vector<quint8> out(payload.size() + 2);
    auto decoder = std::make_unique<CFrameDecoder>();
    Compare(
        state,
        [&] {
            size_t used = 0;
            int frames = 0;
            for (size_t at = 0; at < wire.size(); at += used)
                frames += decoder->Feed(wire.data() + at, wire.size() - at, &used) == CFrameDecoder::FRAME;
            benchmark::DoNotOptimize(frames);
        },
        [&] {
            benchmark::DoNotOptimize(DecodeTwoPass(wire.data(), wire.size() - 1, out.data(), out.size()));
            benchmark::ClobberMemory();
        },
        [&] {
            int frames = 0;
            for (quint8 b : wire)
                frames += decoder->Feed(b) == CFrameDecoder::FRAME;
            benchmark::DoNotOptimize(frames);
        });
}
BENCHMARK(BM_StreamDecoder)->Arg(64)->Arg(1024)->Arg(16384)->UseManualTime()->ComputeStatistics("max", Max);

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
