// Memory backup of handset files through the reference plug-in: the simulator (a separate
// process on a pseudo-terminal) serves its file system over EFS2, the plug-in copies the files
// into TRANS_BK. Goal: at least 1 MB/s on the bare pseudo-terminal. Needs qpx_reference and
// qpx-handset-sim built in the same build folder.
//
// Arguments: the emulated link of LinkProfiles.h (the label names it) and the bytes of files
// (1 MiB; 64 KiB on the serial line). ideal_ms is what the link needs to carry the files' bytes
// with the line kept busy (one latency plus the bytes at the link rate, framing not counted);
// link_use is that as a share of the measured time.
#include "LinkProfiles.h"
#include "platform/Module.h"
#include "qpx_plugin.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

namespace {

constexpr int FILE_SIZE = 65536;

std::atomic<int> g_done{0};
OperationResult g_result;
QByteArray g_pty;

int32_t Post(QpxWindow*, uint32_t, uintptr_t w, intptr_t l)
{
    if (w == PLUGIN_DONE) {
        std::memcpy(&g_result, reinterpret_cast<const void*>(l), sizeof g_result);
        g_done = 1;
    }
    return 1;
}
void Progress(QpxWindow*, int32_t) {}
void Text(QpxWindow*, const char*) {}
void Elapsed(QpxWindow*, int32_t, float) {}
int32_t Device(QpxWindow*, int32_t, char* buffer, uint32_t size)
{
    if (size > static_cast<uint32_t>(g_pty.size()))
        std::memcpy(buffer, g_pty.constData(), static_cast<size_t>(g_pty.size()) + 1);
    return static_cast<int32_t>(g_pty.size());
}

QString BuildDir()
{
    return QString::fromStdString(
        std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path().string());
}

void BM_MemoryBackup(benchmark::State& state)
{
    const SLinkProfile& link = kLinkProfiles[static_cast<size_t>(state.range(0))];
    state.SetLabel(link.pszName);
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
    QDir().mkpath(tmp.path() + QStringLiteral("/MODEL"));
    const QString dll = tmp.path() + QStringLiteral("/MODEL/reference.so");
    if (!QFile::copy(BuildDir() + QStringLiteral("/MODEL/reference.so"), dll)) {
        state.SkipWithError("build qpx_reference first");
        return;
    }
    QProcess sim;
    sim.start(BuildDir() + QStringLiteral("/tools/qpx-handset-sim/qpx-handset-sim"),
              QStringList{QStringLiteral("--state"), handset} + link.SimArgs());
    QByteArray out;
    while (!out.contains('\n') && sim.waitForReadyRead(5000))
        out += sim.readAllStandardOutput();
    const auto m = QRegularExpression(QStringLiteral("-> (\\S+)")).match(QString::fromUtf8(out));
    if (!m.hasMatch()) {
        state.SkipWithError("the simulator did not start");
        return;
    }
    g_pty = m.captured(1).toLocal8Bit();

    QpxHostServices host{};
    host.size = sizeof host;
    host.version = QPX_HOST_SERVICES_VERSION;
    host.PostPageMessage = Post;
    host.SetProgress = Progress;
    host.SetStatusText = Text;
    host.SetFileName = Text;
    host.SetAddress = Text;
    host.SetElapsed = Elapsed;
    host.GetPortDevice = Device;
    QpxWindow page{&host};
    HMODULE module = ModuleLoad(dll);
    auto transfer = ModuleFunction<PFN_ModelInterface_Transfer>(module, QPX_SYM_TRANSFER);
    auto release = ModuleFunction<PFN_ReleaseRs>(module, QPX_SYM_RELEASE_RS);
    if (transfer == nullptr || release == nullptr) {
        state.SkipWithError("the plug-in has no transfer");
        return;
    }
    double measured = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        g_done = 0;
        transfer(&page, 20, QpxRect{10, 355, 590, 460}, dll.toLocal8Bit().constData(), 1, 2u);
        for (int i = 0; i < 60000 && g_done == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        release(&page);
        measured += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (g_done == 0 || g_result.nResult >= 0) {
            state.SkipWithError(g_result.szMessage[0] != '\0' ? g_result.szMessage
                                                              : "the backup did not finish");
            break;
        }
    }
    const qint64 bytes = static_cast<qint64>(fileCount) * FILE_SIZE;
    state.SetBytesProcessed(state.iterations() * bytes);
    const double ideal = link.StreamSeconds(bytes);
    state.counters["ideal_ms"] = ideal * 1e3;
    state.counters["link_use"] = measured > 0 ? ideal / (measured / state.iterations()) : 0;
    ModuleFree(module);
    sim.terminate();
    sim.waitForFinished(5000);
}
BENCHMARK(BM_MemoryBackup)
    ->Args({0, 1 << 20})
    ->Args({1, 1 << 20})
    ->Args({2, 1 << 20})
    ->Args({3, 64 << 10})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
