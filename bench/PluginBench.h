#pragma once
// Whole operations of the reference plug-in against the handset simulator, for the benchmarks:
// the simulator runs as a separate process on a pseudo-terminal, the plug-in is loaded from a
// copy in a temporary MODEL folder, and the host services record the completion. Needs
// qpx_reference and qpx-handset-sim built in the same build folder.
#include "platform/Module.h"
#include "qpx_plugin.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

namespace pluginbench {

inline std::atomic<int> g_done{0};
inline OperationResult g_result;
inline QByteArray g_pty;

inline int32_t Post(QpxWindow*, uint32_t, uintptr_t w, intptr_t l)
{
    if (w == PLUGIN_DONE) {
        std::memcpy(&g_result, reinterpret_cast<const void*>(l), sizeof g_result);
        g_done = 1;
    }
    return 1;
}
inline void Progress(QpxWindow*, int32_t) {}
inline void Text(QpxWindow*, const char*) {}
inline void Elapsed(QpxWindow*, int32_t, float) {}
inline int32_t Device(QpxWindow*, int32_t, char* buffer, uint32_t size)
{
    if (size > static_cast<uint32_t>(g_pty.size()))
        std::memcpy(buffer, g_pty.constData(), static_cast<size_t>(g_pty.size()) + 1);
    return static_cast<int32_t>(g_pty.size());
}

// The host services a page gives a plug-in; status texts go to the given function.
inline QpxHostServices Host(void (*status)(QpxWindow*, const char*) = Text)
{
    QpxHostServices host{};
    host.size = sizeof host;
    host.version = QPX_HOST_SERVICES_VERSION;
    host.PostPageMessage = Post;
    host.SetProgress = Progress;
    host.SetStatusText = status;
    host.SetFileName = Text;
    host.SetAddress = Text;
    host.SetElapsed = Elapsed;
    host.GetPortDevice = Device;
    return host;
}

inline QString BuildDir()
{
    return QString::fromStdString(
        std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path().string());
}

// Copies the built plug-in into <dir>/MODEL; empty when it has not been built.
inline QString CopyReferencePlugin(const QString& dir)
{
    QDir().mkpath(dir + QStringLiteral("/MODEL"));
    const QString dll = dir + QStringLiteral("/MODEL/reference.so");
    return QFile::copy(BuildDir() + QStringLiteral("/MODEL/reference.so"), dll) ? dll : QString();
}

// Starts the simulator and takes its terminal from the first line it prints; false when it did
// not start.
inline bool StartSimulator(QProcess& sim, const QStringList& args)
{
    sim.start(BuildDir() + QStringLiteral("/tools/qpx-handset-sim/qpx-handset-sim"), args);
    QByteArray out;
    while (!out.contains('\n') && sim.waitForReadyRead(5000))
        out += sim.readAllStandardOutput();
    const auto m = QRegularExpression(QStringLiteral("-> (\\S+)")).match(QString::fromUtf8(out));
    if (!m.hasMatch())
        return false;
    g_pty = m.captured(1).toLocal8Bit();
    return true;
}

// Waits up to ten minutes for the plug-in's completion, then lets its work end; true when it
// reported success.
inline bool FinishRun(PFN_ReleaseRs release, QpxWindow* page)
{
    for (int i = 0; i < 600000 && g_done == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    release(page);
    return g_done != 0 && g_result.nResult < 0;
}

} // namespace pluginbench
