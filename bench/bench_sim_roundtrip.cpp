// Round trip of the program's requests against the handset simulator (a separate process on a
// pseudo-terminal), through the serial driver and the diagnostic requests: what one poll costs
// apart from the handset's own answer time.
#include "serial/DiagPort.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

struct SSimulator
{
    QProcess process;
    QString strPty;

    bool Start()
    {
        const QString program = QCoreApplication::applicationDirPath() +
                                QStringLiteral("/../tools/qpx-handset-sim/qpx-handset-sim");
        process.start(program, {});
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

void BM_SimStatusRoundTrip(benchmark::State& state)
{
    SSimulator sim;
    if (!sim.Start()) {
        state.SkipWithError("simulator did not start");
        return;
    }
    auto port = std::make_unique<CDiagPort>();
    if (!port->OpenPath(sim.strPty, 20)) {
        state.SkipWithError("cannot open the simulator's port");
        return;
    }
    std::vector<quint8> response(CSerialPort::RESPONSE_BUFFER_SIZE);
    for (auto _ : state) {
        if (!port->RequestStatus(response.data())) {
            state.SkipWithError("status request failed");
            break;
        }
    }
    port->Close();
}
BENCHMARK(BM_SimStatusRoundTrip)->Unit(benchmark::kMicrosecond);

void BM_SimFullPoll(benchmark::State& state)
{
    SSimulator sim;
    if (!sim.Start()) {
        state.SkipWithError("simulator did not start");
        return;
    }
    auto port = std::make_unique<CDiagPort>();
    if (!port->OpenPath(sim.strPty, 20)) {
        state.SkipWithError("cannot open the simulator's port");
        return;
    }
    std::vector<quint8> response(CSerialPort::RESPONSE_BUFFER_SIZE);
    for (auto _ : state) {
        // Status, version, PRL NAM 0 and 1, ERI: one poll of the connection worker.
        const bool ok = port->RequestStatus(response.data()) && port->RequestVersion(response.data()) &&
                        port->ReadPrlVersion(0) != 0xFFFF && port->ReadPrlVersion(1) != 0xFFFF &&
                        port->ReadEriVersion() != 0xFFFF;
        if (!ok) {
            state.SkipWithError("poll failed");
            break;
        }
    }
    port->Close();
}
BENCHMARK(BM_SimFullPoll)->Unit(benchmark::kMicrosecond);

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
