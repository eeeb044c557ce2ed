// Firmware download of a 16 MiB image through the reference plug-in against the simulator (a
// separate process on a pseudo-terminal) on an emulated link. The flash programmer's HELLO answer
// announces the window of unanswered writes and the block size (--download-window,
// --download-block); window 1 with blocks of 1024 bytes is one write at a time, the baseline
// measured in the same run.
//
// Arguments: the link profile of LinkProfiles.h, the window, the block size. stream_ms is the
// measured time from "Writing the software" until the handset was told to restart (the writes,
// CLOSE and RESET); ideal_ms is what the link needs for the image's bytes with the line kept busy;
// link_use is ideal / stream. total_ms is the whole operation (switching to download mode, the
// programmer, the restart and the version check included). Needs qpx_reference and
// qpx-handset-sim built in the same build folder.
#include "LinkProfiles.h"
#include "PluginBench.h"
#include "serial/Checksums.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int IMAGE_PAYLOAD = 16 * 1024 * 1024 - 24;

using namespace pluginbench;

Clock::time_point g_streamStart, g_streamEnd;

void Status(QpxWindow*, const char* text)
{
    if (std::strcmp(text, "Writing the software") == 0)
        g_streamStart = Clock::now();
    else if (std::strcmp(text, "Waiting for the handset to restart") == 0)
        g_streamEnd = Clock::now();
}

// The image format of the plug-in: magic, version directory, payload length, CRC-32, payload.
QByteArray Image()
{
    QByteArray payload(IMAGE_PAYLOAD, '\0');
    quint32 x = 0x12345678;
    for (int i = 0; i < IMAGE_PAYLOAD; ++i) {
        x = x * 1664525u + 1013904223u; // every byte value, frame flags and escapes included
        payload[i] = static_cast<char>(x >> 24);
    }
    QByteArray img("QPXIMG1\0", 8);
    img += QByteArray("VKQ100A2").leftJustified(8, '\0');
    const quint32 fields[2] = {static_cast<quint32>(IMAGE_PAYLOAD), Crc32(payload)};
    for (const quint32 v : fields)
        for (int i = 0; i < 4; ++i)
            img.append(static_cast<char>(v >> (8 * i)));
    return img + payload;
}

void BM_FirmwareDownload(benchmark::State& state)
{
    const SLinkProfile& link = kLinkProfiles[static_cast<size_t>(state.range(0))];
    const int window = static_cast<int>(state.range(1));
    const int block = static_cast<int>(state.range(2));
    state.SetLabel(QStringLiteral("%1 window %2 block %3")
                       .arg(QLatin1String(link.pszName))
                       .arg(window)
                       .arg(block)
                       .toStdString());
    QTemporaryDir tmp;
    const QString bin = tmp.path() + QStringLiteral("/image.bin");
    const QByteArray image = Image();
    {
        QFile f(bin);
        if (!f.open(QIODevice::WriteOnly) || f.write(image) != image.size()) {
            state.SkipWithError("cannot write the image");
            return;
        }
    }
    const QString profile = tmp.path() + QStringLiteral("/handset.txt");
    {
        QFile f(profile);
        f.open(QIODevice::WriteOnly);
        f.write("sw_version_dir=VKQ100A1\n");
    }
    const QString dll = CopyReferencePlugin(tmp.path());
    if (dll.isEmpty()) {
        state.SkipWithError("build qpx_reference first");
        return;
    }
    QProcess sim;
    if (!StartSimulator(sim, QStringList{QStringLiteral("--profile"), profile, QStringLiteral("--state"),
                                         tmp.path() + QStringLiteral("/handset"),
                                         QStringLiteral("--reset-ms"), QStringLiteral("0"),
                                         QStringLiteral("--download-window"), QString::number(window),
                                         QStringLiteral("--download-block"), QString::number(block)} +
                                 link.SimArgs())) {
        state.SkipWithError("the simulator did not start");
        return;
    }
    QpxHostServices host = Host(Status);
    QpxWindow page{&host};
    HMODULE module = ModuleLoad(dll);
    auto download = ModuleFunction<PFN_ModelInterface_Bin>(module, QPX_SYM_BIN);
    auto release = ModuleFunction<PFN_ReleaseRs>(module, QPX_SYM_RELEASE_RS);
    if (download == nullptr || release == nullptr) {
        state.SkipWithError("the plug-in has no firmware download");
        return;
    }
    double total = 0, stream = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        g_done = 0;
        g_streamStart = g_streamEnd = {};
        download(&page, 20, QpxRect{10, 355, 590, 460}, dll.toLocal8Bit().constData(),
                 bin.toLocal8Bit().constData());
        const bool ok = FinishRun(release, &page);
        total += std::chrono::duration<double>(Clock::now() - t0).count();
        stream += std::chrono::duration<double>(g_streamEnd - g_streamStart).count();
        if (!ok) {
            state.SkipWithError(g_result.szMessage[0] != '\0' ? g_result.szMessage
                                                              : "the download did not finish");
            break;
        }
    }
    const double n = static_cast<double>(state.iterations());
    state.SetBytesProcessed(state.iterations() * image.size());
    const double ideal = link.StreamSeconds(image.size());
    state.counters["ideal_ms"] = ideal * 1e3;
    state.counters["stream_ms"] = stream / n * 1e3;
    state.counters["total_ms"] = total / n * 1e3;
    state.counters["link_use"] = stream > 0 ? ideal / (stream / n) : 0;
    ModuleFree(module);
    sim.terminate();
    sim.waitForFinished(5000);
}
// Per profile: one write at a time in blocks of 1024 bytes (the baseline), then the simulator's
// default window and block size; on high speed also the largest block a handset may announce;
// then the default over the bare pseudo-terminal (no emulated link): what the plug-in, the
// terminal and the simulator manage together, the most any emulated link can show.
BENCHMARK(BM_FirmwareDownload)
    ->Args({1, 1, 1024})
    ->Args({1, 8, 4096})
    ->Args({2, 1, 1024})
    ->Args({2, 8, 4096})
    ->Args({2, 8, 16379})
    ->Args({0, 8, 4096})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
