// Round trip of the program's requests against the handset simulator (a separate process on a
// pseudo-terminal), through the serial driver and the diagnostic requests: what one poll costs
// apart from the handset's own answer time.
//
// Each runs over the emulated links of LinkProfiles.h (the argument; the label names it). The
// counter ideal_us is what the link itself needs for the same requests one at a time (latency per
// exchange plus the frames' bytes at the link rate, both frames counted on the wire), link_use
// the share of the measured time that is.
#include "LinkProfiles.h"
#include "serial/DiagPort.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

namespace {

struct SSimulator
{
    QProcess process;
    QString strPty;

    bool Start(const QStringList& args)
    {
        const QString program = QCoreApplication::applicationDirPath() +
                                QStringLiteral("/../tools/qpx-handset-sim/qpx-handset-sim");
        process.start(program, args);
        if (!process.waitForStarted(5000))
            return false;
        QByteArray out;
        while (!out.contains('\n') && process.waitForReadyRead(5000))
            out += process.readAllStandardOutput();
        const auto m = QRegularExpression(QStringLiteral("-> (\\S+)")).match(QString::fromUtf8(out));
        strPty = m.captured(1);
        return m.hasMatch();
    }
    ~SSimulator()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
};

// Starts the simulator on the benchmark's link and opens its port; null (and the benchmark
// skipped) when either fails.
std::unique_ptr<CDiagPort> Connect(benchmark::State& state, SSimulator& sim)
{
    const SLinkProfile& link = kLinkProfiles[static_cast<size_t>(state.range(0))];
    state.SetLabel(link.pszName);
    if (!sim.Start(link.SimArgs())) {
        state.SkipWithError("simulator did not start");
        return nullptr;
    }
    auto port = std::make_unique<CDiagPort>();
    if (!port->OpenPath(sim.strPty, 20)) {
        state.SkipWithError("cannot open the simulator's port");
        return nullptr;
    }
    return port;
}

// Runs body once per iteration; puts the ideal time of one iteration's load next to the measured.
template <typename Body>
void Measure(benchmark::State& state, CDiagPort& port, const std::vector<std::vector<quint8>>& payloads,
             Body body)
{
    const SLinkProfile& link = kLinkProfiles[static_cast<size_t>(state.range(0))];
    SLinkLoad load;
    if (!CountExchanges(port, payloads, load)) {
        state.SkipWithError("the requests failed");
        return;
    }
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (!body()) {
            state.SkipWithError("request failed");
            break;
        }
    }
    const double measured =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / state.iterations();
    const double ideal = link.StopAndWaitSeconds(load.nExchanges, load.nBytesOut, load.nBytesIn);
    state.counters["ideal_us"] = ideal * 1e6;
    state.counters["link_use"] = ideal / measured;
    port.Close();
}

void BM_SimStatusRoundTrip(benchmark::State& state)
{
    SSimulator sim;
    auto port = Connect(state, sim);
    if (!port)
        return;
    std::vector<quint8> response(CSerialPort::RESPONSE_BUFFER_SIZE);
    Measure(state, *port, {{CMD_STATUS}}, [&] { return port->RequestStatus(response.data()); });
}
BENCHMARK(BM_SimStatusRoundTrip)->DenseRange(0, kLinkProfiles.size() - 1)->Unit(benchmark::kMicrosecond);

void BM_SimFullPoll(benchmark::State& state)
{
    SSimulator sim;
    auto port = Connect(state, sim);
    if (!port)
        return;
    std::vector<quint8> response(CSerialPort::RESPONSE_BUFFER_SIZE);
    // Status, version, PRL NAM 0 and 1, ERI: one poll of the connection worker.
    Measure(state, *port, PollPayloads(false), [&] {
        return port->RequestStatus(response.data()) && port->RequestVersion(response.data()) &&
               port->ReadPrlVersion(0) != 0xFFFF && port->ReadPrlVersion(1) != 0xFFFF &&
               port->ReadEriVersion() != 0xFFFF;
    });
}
BENCHMARK(BM_SimFullPoll)->DenseRange(0, kLinkProfiles.size() - 1)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    // A private runtime folder, so the simulator's virtual port never shows up elsewhere.
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
