// The longest time the user-interface thread stops answering (goal: at most 50 ms), measured as
// the lateness of a 2 ms timer on that thread while the work runs from its event loop:
//
//   BM_GuiStallCsvLoad/0   a 100 000-line CSV read into the phonebook list on the user-interface
//                          thread, all at once (the baseline: how small files are still read)
//   BM_GuiStallCsvLoad/1   the same file through the page (Write radio): parsed on a thread of its
//                          own, the rows put into the list in one step
//   BM_GuiStallOperation   a phonebook read of 1000 entries through the page with the reference
//                          plug-in against the handset simulator, from Start to the result message;
//                          /1000 with the program's own wait after ReleaseRs (1000 ms, spent in the
//                          event loop: work_ms includes it, stall_ms must not), /0 without it (the
//                          operation's own work)
//
// Counters: stall_ms (the timer's worst lateness), work_ms (from the start of the work until it
// is done). A loaded machine adds stalls of its own: take the best of several runs
// (--benchmark_repetitions=3, the _min rows). Needs qpx_reference and qpx-handset-sim built in the
// same build folder.
#include "NoPageHost.h"
#include "controls/XListCtrl.h"
#include "core/AppSettings.h"
#include "pages/CsvListLoader.h"
#include "pages/PhoneBookPage.h"
#include "platform/Dialogs.h"
#include "platform/VirtualPorts.h"
#include "plugin/PluginRun.h"
#include "serial/DiagCodec.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <vector>

namespace {

constexpr int CSV_LINES = 100000;
constexpr int PHONEBOOK_ENTRIES = 1000;

QTemporaryDir* g_root = nullptr;

// Best of several repetitions (--benchmark_repetitions): the least stall and time.
double Min(const std::vector<double>& v)
{
    return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end());
}

QString BuildDir()
{
    return QString::fromStdString(
        std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path().string());
}

// Starts the work from the event loop and runs the loop until done() holds (or a minute passed),
// while a 2 ms timer notes how late it fires. Returns the worst lateness in milliseconds.
double WorstStallMs(const std::function<void()>& work, const std::function<bool()>& done, double* workMs)
{
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    qint64 worst = 0;
    constexpr int TICK_MS = 2;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(TICK_MS);
    QElapsedTimer workClock;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, now - last - TICK_MS * 1000000LL);
        last = now;
        if (workClock.isValid() && done()) {
            *workMs = workClock.nsecsElapsed() / 1e6;
            loop.quit();
        }
    });
    QTimer::singleShot(20, [&] {
        workClock.start();
        work();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    probe.start();
    loop.exec();
    return worst / 1e6;
}

QByteArray MakeCsv(int lines)
{
    QByteArray out;
    out.reserve(lines * 100);
    for (int i = 0; i < lines; ++i)
        out += "Name " + QByteArray::number(i) + ",010-" + QByteArray::number(1000000 + i) + ",02-555-" +
               QByteArray::number(i % 10000) + ", 031-777-1234 ,user" + QByteArray::number(i) +
               "@example.com,011-222-3333,alt" + QByteArray::number(i) + "@example.org\r\n";
    return out;
}

void BM_GuiStallCsvLoad(benchmark::State& state)
{
    const QString path = g_root->path() + QStringLiteral("/book.csv");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(MakeCsv(CSV_LINES)) < 0) {
            state.SkipWithError("cannot write the CSV file");
            return;
        }
    }
    const bool throughPage = state.range(0) == 1;
    state.SetLabel(throughPage ? "page, parsed aside" : "all on the GUI thread");
    theSettings.m_strLastCsvFile = path;
    CNoPageHost host;
    CPhoneBookPage page(nullptr, host, QRect(0, 0, 585, 600));
    page.show();
    double stall = 0, work = 0;
    for (auto _ : state) {
        page.findChild<QRadioButton*>(QStringLiteral("readRadio"))->click();
        double ms = 0;
        const double s = WorstStallMs(
            [&] {
                if (throughPage)
                    page.findChild<QRadioButton*>(QStringLiteral("writeRadio"))->click();
                else {
                    QFile file(path);
                    file.open(QIODevice::ReadOnly);
                    FillListFromCsvNow(page.List(), file.readAll());
                }
            },
            [&] { return page.List()->GetItemCount() == CSV_LINES; }, &ms);
        if (page.List()->GetItemCount() != CSV_LINES) {
            state.SkipWithError("the list did not fill");
            break;
        }
        stall = std::max(stall, s);
        work = std::max(work, ms);
        state.SetIterationTime(ms / 1e3);
    }
    state.counters["stall_ms"] = stall;
    state.counters["work_ms"] = work;
}
BENCHMARK(BM_GuiStallCsvLoad)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", Min);

// The handset's phonebook file: "QPB1", count, record size 289, then records of an in-use byte
// and the seven fields padded with NUL (Name 32, Mobile1 32, Home 32, Work 32, E-Mail1 64,
// Mobile2 32, E-Mail2 64).
QByteArray PhonebookFile(int entries)
{
    static const int widths[7] = {32, 32, 32, 32, 64, 32, 64};
    QByteArray out("QPB1");
    quint8 head[4];
    PutLe16(head, static_cast<quint16>(entries));
    PutLe16(head + 2, 289);
    out.append(reinterpret_cast<const char*>(head), 4);
    for (int i = 0; i < entries; ++i) {
        out.append('\1');
        const QByteArray fields[7] = {"Name " + QByteArray::number(i),
                                      "010-" + QByteArray::number(1000000 + i),
                                      "02-555-0101",
                                      "031-777-1234",
                                      "user" + QByteArray::number(i) + "@example.com",
                                      "011-222-3333",
                                      "alt" + QByteArray::number(i) + "@example.org"};
        for (int f = 0; f < 7; ++f)
            out.append(fields[f].leftJustified(widths[f], '\0', true));
    }
    return out;
}

void BM_GuiStallOperation(benchmark::State& state)
{
    QTemporaryDir tmp;
    const QString handset = tmp.path() + QStringLiteral("/handset");
    QDir().mkpath(handset + QStringLiteral("/efs/pim"));
    {
        QFile f(handset + QStringLiteral("/efs/pim/phonebook.qpb"));
        if (!f.open(QIODevice::WriteOnly) || f.write(PhonebookFile(PHONEBOOK_ENTRIES)) < 0) {
            state.SkipWithError("cannot write the handset's phonebook");
            return;
        }
    }
    QDir().mkpath(tmp.path() + QStringLiteral("/MODEL"));
    const QString dll = tmp.path() + QStringLiteral("/MODEL/reference.so");
    if (!QFile::copy(BuildDir() + QStringLiteral("/MODEL/reference.so"), dll)) {
        state.SkipWithError("build qpx_reference first");
        return;
    }
    QProcess sim;
    sim.start(BuildDir() + QStringLiteral("/tools/qpx-handset-sim/qpx-handset-sim"),
              {QStringLiteral("--state"), handset});
    QByteArray out;
    while (!out.contains('\n') && sim.waitForReadyRead(5000))
        out += sim.readAllStandardOutput();
    const auto m = QRegularExpression(QStringLiteral("COM(\\d+) ->")).match(QString::fromUtf8(out));
    if (!m.hasMatch()) {
        state.SkipWithError("the simulator did not start");
        return;
    }
    theSettings.m_nPortNum = m.captured(1).toInt();
    theSettings.Set(&CAppSettings::m_strDllFile, dll);
    const int releaseWait = static_cast<int>(state.range(0));
    CPluginRun::SetReleaseWaitMs(releaseWait);

    CNoPageHost host;
    CPhoneBookPage page(nullptr, host, QRect(0, 0, 585, 600));
    page.show();
    double stall = 0, work = 0;
    for (auto _ : state) {
        page.List()->DeleteAllItems();
        Dialogs::SetNextFile(tmp.path() + QStringLiteral("/read.csv"));
        double ms = 0;
        const double s = WorstStallMs(
            [&] {
                page.EnableStart(true);
                page.OnStart();
            },
            [&] { return !page.IsRunning() && theSettings.m_bBusy == 0; }, &ms);
        if (page.List()->GetItemCount() != PHONEBOOK_ENTRIES) {
            state.SkipWithError("the phonebook was not read");
            break;
        }
        stall = std::max(stall, s);
        work = std::max(work, ms);
        state.SetIterationTime(ms / 1e3);
    }
    state.counters["stall_ms"] = stall;
    state.counters["work_ms"] = work;
    CPluginRun::SetReleaseWaitMs(1000);
    sim.terminate();
    sim.waitForFinished(5000);
}
BENCHMARK(BM_GuiStallOperation)
    ->Arg(1000)
    ->Arg(0)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", Min);

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
    theSettings.Reset();
    theSettings.m_strInstallDir = root.path() + QStringLiteral("/install/");
    QDir().mkpath(theSettings.m_strInstallDir);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
