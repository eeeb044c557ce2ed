// Memory backup and restore of handset files through the reference plug-in: the simulator (a
// separate process on a pseudo-terminal) serves its file system over EFS2, the plug-in copies the
// files into TRANS_BK and back. Needs qpx_reference and qpx-handset-sim built in the same build
// folder.
//
// Arguments: the emulated link of LinkProfiles.h (the label names it), the bytes of files, and
// the EFS2 windows the simulator announces in HELLO: packets (requests unanswered at once) and
// bytes (the most one READ or WRITE carries); 0 leaves the simulator's default. Packets 1 with
// 1024 bytes is one piece of 1024 bytes at a time, the baseline measured in the same run.
// ideal_ms is what the link needs to carry the files' bytes with the line kept busy (one latency
// plus the bytes at the link rate, framing not counted): once for a backup, twice for a restore
// (the handset's copies kept first, then the files written while the ones written before are
// read back and compared: the line carries both directions at once); link_use is that as a
// share of the measured time. The pseudo-terminal rows (no emulated link) show what the plug-in,
// the terminal and the simulator manage together, the most any emulated link can show.
#include "LinkProfiles.h"
#include "PluginBench.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int FILE_SIZE = 65536;

using namespace pluginbench;

void Transfer(benchmark::State& state, int mode)
{
    const SLinkProfile& link = kLinkProfiles[static_cast<size_t>(state.range(0))];
    const int packets = static_cast<int>(state.range(2));
    const int window = static_cast<int>(state.range(3));
    state.SetLabel(QStringLiteral("%1 packets %2 bytes %3")
                       .arg(QLatin1String(link.pszName))
                       .arg(packets)
                       .arg(window)
                       .toStdString());
    const int fileCount = static_cast<int>(state.range(1) / FILE_SIZE);
    QTemporaryDir tmp;
    const QString handset = tmp.path() + QStringLiteral("/handset");
    QDir().mkpath(handset + QStringLiteral("/efs/pim"));
    for (int i = 0; i < fileCount; ++i) {
        QFile f(handset + QStringLiteral("/efs/pim/record%1.dat").arg(i));
        f.open(QIODevice::WriteOnly);
        QByteArray data(FILE_SIZE, '\0');
        for (int k = 0; k < FILE_SIZE; ++k)
            data[k] = static_cast<char>((k * 31 + i) & 0xFF); // frame flags and escapes included
        f.write(data);
    }
    const QString dll = CopyReferencePlugin(tmp.path());
    if (dll.isEmpty()) {
        state.SkipWithError("build qpx_reference first");
        return;
    }
    QStringList windows;
    if (packets > 0)
        windows << QStringLiteral("--efs-packets") << QString::number(packets);
    if (window > 0)
        windows << QStringLiteral("--efs-window") << QString::number(window);
    QProcess sim;
    if (!StartSimulator(sim, QStringList{QStringLiteral("--state"), handset, QStringLiteral("--reset-ms"),
                                         QStringLiteral("0")} +
                                 windows + link.SimArgs())) {
        state.SkipWithError("the simulator did not start");
        return;
    }
    QpxHostServices host = Host();
    QpxWindow page{&host};
    HMODULE module = ModuleLoad(dll);
    auto transfer = ModuleFunction<PFN_ModelInterface_Transfer>(module, QPX_SYM_TRANSFER);
    auto release = ModuleFunction<PFN_ReleaseRs>(module, QPX_SYM_RELEASE_RS);
    if (transfer == nullptr || release == nullptr) {
        state.SkipWithError("the plug-in has no transfer");
        return;
    }
    if (mode == 0) { // a restore needs a complete backup first
        g_done = 0;
        transfer(&page, 20, QpxRect{10, 355, 590, 460}, dll.toLocal8Bit().constData(), 1, 2u);
        if (!FinishRun(release, &page)) {
            state.SkipWithError("the backup before the restore failed");
            return;
        }
    }
    double measured = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        g_done = 0;
        transfer(&page, 20, QpxRect{10, 355, 590, 460}, dll.toLocal8Bit().constData(), mode, 2u);
        const bool ok = FinishRun(release, &page);
        measured += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (!ok) {
            state.SkipWithError(g_result.szMessage[0] != '\0' ? g_result.szMessage
                                                              : "the transfer did not finish");
            break;
        }
    }
    const qint64 bytes = static_cast<qint64>(fileCount) * FILE_SIZE;
    state.SetBytesProcessed(state.iterations() * bytes);
    const double ideal = link.StreamSeconds(mode == 0 ? 2 * bytes : bytes);
    state.counters["ideal_ms"] = ideal * 1e3;
    state.counters["link_use"] = measured > 0 ? ideal / (measured / state.iterations()) : 0;
    ModuleFree(module);
    sim.terminate();
    sim.waitForFinished(5000);
}
void BM_MemoryBackup(benchmark::State& state)
{
    Transfer(state, 1);
}
void BM_MemoryRestore(benchmark::State& state)
{
    Transfer(state, 0);
}
// 8 MiB of files per USB profile: one piece of 1024 bytes at a time, then the simulator's windows;
// then the same over the bare pseudo-terminal.
BENCHMARK(BM_MemoryBackup)
    ->Args({1, 8 << 20, 1, 1024})
    ->Args({1, 8 << 20, 0, 0})
    ->Args({2, 8 << 20, 1, 1024})
    ->Args({2, 8 << 20, 0, 0})
    ->Args({0, 8 << 20, 0, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK(BM_MemoryRestore)
    ->Args({1, 8 << 20, 1, 1024})
    ->Args({1, 8 << 20, 0, 0})
    ->Args({2, 8 << 20, 1, 1024})
    ->Args({2, 8 << 20, 0, 0})
    ->Args({0, 8 << 20, 0, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
