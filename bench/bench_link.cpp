// The connection as the user meets it, with the real main frame (offscreen) and the handset
// simulator:
//   BM_PortToInformationPage  time from a handset's virtual port appearing to the Information
//                             page showing its ESN (goal: at most 0.9 s)
//   BM_IdlePollingCpu         CPU time of the whole program (all threads) while it polls an idle
//                             handset, as a share of one core over 10 s (goal: at most 0.5 %)
//
// The simulator publishes its pseudo-terminal in a folder of its own; the benchmark publishes it
// in the program's virtual-port folder itself, so the clock starts exactly when the port appears.
//
// BM_PortToInformationPage runs over the emulated links of LinkProfiles.h (the argument; the label
// names it). ideal_ms is the least it can take there: the worker's pause before its first poll
// plus one status request and answer on the link (latency plus both frames at the link rate).
#include "LinkProfiles.h"
#include "app/MainFrame.h"
#include "app/PageHost.h"
#include "core/AppSettings.h"
#include "handset/ConnectionStrip.h"
#include "handset/ConnectionWorker.h"
#include "handset/InfoPage.h"
#include "platform/Dialogs.h"
#include "platform/VirtualPorts.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <functional>
#include <memory>

namespace {

constexpr int BENCH_PORT = 40;

QTemporaryDir* g_root = nullptr;

bool PumpUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    return done();
}

struct SSimulator
{
    QProcess process;
    QString strPty;

    bool Start(const QStringList& args = {})
    {
        // Its own runtime folder: it must not publish into the program's port folder.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString own = g_root->path() + QStringLiteral("/sim-runtime");
        QDir().mkpath(own);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), own);
        process.setProcessEnvironment(env);
        process.start(QCoreApplication::applicationDirPath() +
                          QStringLiteral("/../tools/qpx-handset-sim/qpx-handset-sim"),
                      args);
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

// The program with no handset yet.
struct SProgram
{
    std::unique_ptr<CMainFrame> frame;

    SProgram()
    {
        theSettings.Reset();
        theSettings.m_strInstallDir = g_root->path() + QStringLiteral("/install/");
        QDir().mkpath(theSettings.m_strInstallDir + QStringLiteral("MODEL"));
        frame = std::make_unique<CMainFrame>();
        frame->Create();
        PumpUntil([] { return false; }, 200);
    }
    CInfoPage* Info() const { return frame->PageHost()->InfoPage(); }
    bool Shown() const { return !Info()->ValueText(0).isEmpty(); }
};

bool Plug(const SSimulator& sim)
{
    return PublishVirtualPort(BENCH_PORT, sim.strPty, QStringLiteral("KOVA USB CDMA Modem"));
}

void BM_PortToInformationPage(benchmark::State& state)
{
    const SLinkProfile& link = kLinkProfiles[static_cast<size_t>(state.range(0))];
    state.SetLabel(link.pszName);
    SSimulator sim;
    if (!sim.Start(link.SimArgs())) {
        state.SkipWithError("simulator did not start");
        return;
    }
    // What one status request puts on this link, before the program takes the port.
    SLinkLoad load;
    {
        auto port = std::make_unique<CDiagPort>();
        if (!port->OpenPath(sim.strPty) || !CountExchanges(*port, {{CMD_STATUS}}, load)) {
            state.SkipWithError("the simulator does not answer");
            return;
        }
        port->Close();
    }
    SProgram program;
    double worst = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        if (!Plug(sim)) {
            state.SkipWithError("cannot publish the port");
            break;
        }
        if (!PumpUntil([&] { return program.Shown(); }, 5000)) {
            state.SkipWithError("the handset was not shown");
            break;
        }
        const double seconds = t.nsecsElapsed() / 1e9;
        worst = std::max(worst, seconds);
        state.SetIterationTime(seconds);

        UnpublishVirtualPort(BENCH_PORT, sim.strPty);
        if (!PumpUntil(
                [&] { return !program.Shown() && !program.frame->PageHost()->Strip()->IsLinkRunning(); },
                10000)) {
            state.SkipWithError("the handset was not forgotten");
            break;
        }
    }
    state.counters["worst_s"] = worst;
    state.counters["ideal_ms"] =
        CConnectionWorker::PollPauseMs() +
        link.StopAndWaitSeconds(load.nExchanges, load.nBytesOut, load.nBytesIn) * 1e3;
}
BENCHMARK(BM_PortToInformationPage)
    ->DenseRange(0, kLinkProfiles.size() - 1)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
}

void BM_IdlePollingCpu(benchmark::State& state)
{
    SSimulator sim;
    if (!sim.Start()) {
        state.SkipWithError("simulator did not start");
        return;
    }
    SProgram program;
    if (!Plug(sim) || !PumpUntil([&] { return program.Shown(); }, 5000)) {
        state.SkipWithError("the handset was not shown");
        return;
    }
    double share = 0;
    for (auto _ : state) {
        // The program idles in its event loop, as it does for a user watching the page.
        const double cpu0 = CpuSeconds();
        QElapsedTimer t;
        t.start();
        QEventLoop loop;
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        const double wall = t.nsecsElapsed() / 1e9;
        share = (CpuSeconds() - cpu0) / wall * 100.0;
        state.SetIterationTime(wall);
    }
    state.counters["cpu_percent"] = share;
    state.counters["polls_shown"] = program.Shown() ? 1 : 0;
    UnpublishVirtualPort(BENCH_PORT, sim.strPty);
}
BENCHMARK(BM_IdlePollingCpu)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // A private world: temporary settings and port folder, no real serial ports, no display.
    QTemporaryDir root;
    g_root = &root;
    QDir().mkpath(root.path() + QStringLiteral("/runtime"));
    QFile::setPermissions(root.path() + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir().mkpath(root.path() + QStringLiteral("/config"));
    QDir().mkpath(root.path() + QStringLiteral("/sysfs/class/tty"));
    qputenv("XDG_RUNTIME_DIR", (root.path() + QStringLiteral("/runtime")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (root.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("QPX_SYSFS_ROOT", (root.path() + QStringLiteral("/sysfs")).toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Dialogs::SetTestMode(true);
    EnsureVirtualPortFolder();

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
