// Phonebook and settings through the reference plug-in against the simulator (a separate process
// on a pseudo-terminal) on an emulated link, counted per entry and per row.
//
// Phonebook: 1,000 entries read into a CSV file, and a CSV file of 1,000 entries written (the
// handset's phonebook kept first, the file written, then read back and compared). The baseline
// keeps one EFS2 piece of 1024 bytes unanswered at a time (--efs-packets 1 --efs-window 1024);
// then the simulator's windows. Settings: every category read once (219 rows); the baseline reads
// one NV item at a time (QPX_REF_NV_WINDOW=1), then the plug-in's default window.
//
// Arguments: the link profile of LinkProfiles.h. Counters: requests (every request the simulator
// was sent, counted from its --verbose lines), req_per_entry (per phonebook entry or settings
// row), req_per_s, entries_per_s (entries or rows a second), and base_* and speedup (baseline
// time / time) for the baseline measured in the same run. Needs qpx_reference and
// qpx-handset-sim built in the same build folder.
#include "LinkProfiles.h"
#include "PluginBench.h"
#include "pages/NvCatalogue.h"
#include "serial/DiagCodec.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

// The list a page hands the plug-in, reduced to its row count: the benchmark keeps no texts.
struct QpxList
{
    int nRows = 0;
};

namespace {

using namespace pluginbench;

constexpr int ENTRIES = 1000;
constexpr int WIDTHS[] = {32, 32, 32, 32, 64, 32, 64};
constexpr int RECORD_SIZE = 1 + 32 + 32 + 32 + 32 + 64 + 32 + 64;

int32_t RowCount(QpxList* list)
{
    return list->nRows;
}
int32_t GetText(QpxList*, int32_t, int32_t, char* buffer, uint32_t size)
{
    if (size > 0)
        buffer[0] = '\0';
    return 0;
}
int32_t SetText(QpxList*, int32_t, int32_t, const char*)
{
    return 0;
}
int32_t InsertRow(QpxList* list, int32_t, const char*)
{
    return list->nRows++;
}
int32_t DeleteAll(QpxList* list)
{
    list->nRows = 0;
    return 0;
}
int32_t Combo(QpxList*, int32_t, int32_t, const char* const*, int32_t)
{
    return 0;
}
int32_t Edit(QpxList*, int32_t, int32_t, const char*, int32_t, int32_t)
{
    return 0;
}
int32_t Ip(QpxList*, int32_t, int32_t)
{
    return 0;
}
int32_t Clear(QpxList*)
{
    return 0;
}

QpxHostServices ListHost()
{
    QpxHostServices host = Host();
    host.ListRowCount = RowCount;
    host.ListGetText = GetText;
    host.ListSetText = SetText;
    host.ListInsertRow = InsertRow;
    host.ListDeleteAllRows = DeleteAll;
    host.GridAddComboEditor = Combo;
    host.GridAddEditEditor = Edit;
    host.GridAddIpEditor = Ip;
    host.GridClearEditors = Clear;
    host.GridAddTextEditor = Edit;
    return host;
}

QList<QByteArrayList> Entries()
{
    QList<QByteArrayList> rows;
    for (int i = 0; i < ENTRIES; ++i)
        rows.append({"Entry " + QByteArray::number(i), "010" + QByteArray::number(10000000 + i),
                     "02" + QByteArray::number(5550000 + i), "",
                     "person" + QByteArray::number(i) + "@kova.example", "", ""});
    return rows;
}

// The handset's phonebook file holding the entries (the plug-in's record format).
QByteArray PhonebookFile()
{
    QByteArray out("QPB1");
    quint8 head[4];
    PutLe16(head, ENTRIES);
    PutLe16(head + 2, RECORD_SIZE);
    out.append(reinterpret_cast<const char*>(head), 4);
    for (const QByteArrayList& row : Entries()) {
        out.append('\1');
        for (int c = 0; c < 7; ++c)
            out.append(row[c].leftJustified(WIDTHS[c], '\0', true));
    }
    return out;
}

struct SRun
{
    double seconds = 0;
    int nRequests = 0;
    bool bOk = false;
    QString strError;
};

// One simulator with args on the link; run calls one export of the plug-in per step (steps of
// them) and waits for its completion each time. Requests are counted from the simulator's log.
SRun Measure(const SLinkProfile& link, const QString& dir, const QStringList& args, int steps,
             const std::function<void(HMODULE, QpxWindow*, const QString&, int)>& run)
{
    SRun out;
    const QString dll = CopyReferencePlugin(dir);
    if (dll.isEmpty()) {
        out.strError = QStringLiteral("build qpx_reference first");
        return out;
    }
    const QString log = dir + QStringLiteral("/sim.log");
    QProcess sim;
    sim.setStandardErrorFile(log);
    if (!StartSimulator(sim, QStringList{QStringLiteral("--state"), dir + QStringLiteral("/handset"),
                                         QStringLiteral("--reset-ms"), QStringLiteral("0"),
                                         QStringLiteral("--verbose")} +
                                 args + link.SimArgs())) {
        out.strError = QStringLiteral("the simulator did not start");
        return out;
    }
    static QpxHostServices host = ListHost();
    QpxWindow page{&host};
    HMODULE module = ModuleLoad(dll);
    auto release = ModuleFunction<PFN_ReleaseRs>(module, QPX_SYM_RELEASE_RS);
    out.bOk = release != nullptr;
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < steps && out.bOk; ++i) {
        g_done = 0;
        run(module, &page, dll, i);
        out.bOk = FinishRun(release, &page);
        if (!out.bOk)
            out.strError = QString::fromLocal8Bit(g_result.szMessage);
    }
    out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ModuleFree(module);
    sim.terminate();
    sim.waitForFinished(5000);
    QFile f(log);
    if (f.open(QIODevice::ReadOnly))
        out.nRequests = static_cast<int>(f.readAll().count("qpx-handset-sim: request "));
    return out;
}

void Report(benchmark::State& state, const SRun& base, const SRun& now, int entries)
{
    state.counters["requests"] = now.nRequests;
    state.counters["req_per_entry"] = static_cast<double>(now.nRequests) / entries;
    state.counters["req_per_s"] = now.nRequests / now.seconds;
    state.counters["entries_per_s"] = entries / now.seconds;
    state.counters["base_requests"] = base.nRequests;
    state.counters["base_entries_per_s"] = entries / base.seconds;
    state.counters["speedup"] = base.seconds / now.seconds;
}

// mode 1: read the handset's phonebook; 0: write the CSV file into the handset.
void Phonebook(benchmark::State& state, int mode)
{
    const SLinkProfile& link = kLinkProfiles[static_cast<size_t>(state.range(0))];
    state.SetLabel(link.pszName);
    QByteArray csv;
    for (const QByteArrayList& row : Entries())
        csv += row.join(',') + '\n';
    const auto run = [mode](HMODULE module, QpxWindow* page, const QString& dll, int) {
        auto phonebook = ModuleFunction<PFN_ModelInterface_PhoneBook>(module, QPX_SYM_PHONEBOOK);
        const QString path = QFileInfo(dll).absolutePath() + QStringLiteral("/../phonebook.csv");
        phonebook(page, 20, QpxRect{10, 355, 590, 460}, dll.toLocal8Bit().constData(), mode,
                  path.toLocal8Bit().constData(), nullptr);
    };
    SRun runs[2];
    const QStringList windows[2] = {{QStringLiteral("--efs-packets"), QStringLiteral("1"),
                                     QStringLiteral("--efs-window"), QStringLiteral("1024")},
                                    {}};
    for (auto _ : state) {
        for (int k = 0; k < 2; ++k) {
            QTemporaryDir tmp;
            QDir().mkpath(tmp.path() + QStringLiteral("/handset/efs/pim"));
            QFile f(mode == 1 ? tmp.path() + QStringLiteral("/handset/efs/pim/phonebook.qpb")
                              : tmp.path() + QStringLiteral("/phonebook.csv"));
            f.open(QIODevice::WriteOnly);
            f.write(mode == 1 ? PhonebookFile() : csv);
            f.close();
            runs[k] = Measure(link, tmp.path(), windows[k], 1, run);
            if (!runs[k].bOk) {
                state.SkipWithError(runs[k].strError.toStdString().c_str());
                return;
            }
        }
    }
    Report(state, runs[0], runs[1], ENTRIES);
}

void BM_PhonebookRead(benchmark::State& state)
{
    Phonebook(state, 1);
}
void BM_PhonebookWrite(benchmark::State& state)
{
    Phonebook(state, 0);
}

void BM_SettingsRead(benchmark::State& state)
{
    const SLinkProfile& link = kLinkProfiles[static_cast<size_t>(state.range(0))];
    state.SetLabel(link.pszName);
    int rows = 0;
    for (int c = 0; c < NV_CATEGORY_COUNT; ++c)
        rows += NvCategoryItemCount(c);
    const auto run = [](HMODULE module, QpxWindow* page, const QString& dll, int category) {
        auto settings = ModuleFunction<PFN_ModelInterface_Settings>(module, QPX_SYM_SETTINGS);
        static QpxList list;
        list.nRows = NvCategoryItemCount(category);
        settings(page, 20, QpxRect{10, 355, 590, 460}, dll.toLocal8Bit().constData(), category, 1, 0, &list);
    };
    SRun runs[2];
    for (auto _ : state) {
        for (int k = 0; k < 2; ++k) {
            if (k == 0)
                qputenv("QPX_REF_NV_WINDOW", "1");
            else
                qunsetenv("QPX_REF_NV_WINDOW");
            QTemporaryDir tmp;
            runs[k] = Measure(link, tmp.path(), {}, NV_CATEGORY_COUNT, run);
            if (!runs[k].bOk) {
                state.SkipWithError(runs[k].strError.toStdString().c_str());
                return;
            }
        }
    }
    Report(state, runs[0], runs[1], rows);
}

BENCHMARK(BM_PhonebookRead)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_PhonebookWrite)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_SettingsRead)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
