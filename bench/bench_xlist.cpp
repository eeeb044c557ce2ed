// The extended list control with a phonebook-sized content: 100 000 rows of 7 columns, filled the
// way the phonebook page fills it (insert the row with its name, then set the six other cells).
// Reports the fill time, the peak resident memory the fill added, and the cost of painting the
// visible rows after a jump into the middle of the list.
#include "controls/XListCtrl.h"
#include "controls/XListModel.h"

#include <QApplication>
#include <QFile>
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <memory>

namespace {

constexpr int ROWS = 100000;

// Peak resident set (VmHWM) in kB; ResetPeak() starts a new peak from the current size.
long PeakRssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

void ResetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

std::unique_ptr<CXListCtrl> MakeList()
{
    auto list = std::make_unique<CXListCtrl>();
    const char* headings[] = {"Name", "Mobile1", "Home", "Work", "E-Mail1", "Mobile2", "E-Mail2"};
    for (int c = 0; c < 7; ++c)
        list->InsertColumn(c, QString::fromLatin1(headings[c]), Qt::AlignHCenter, 80);
    list->SetGridLines(true);
    list->SetRowHeight(14);
    list->resize(575, 140);
    list->show();
    QCoreApplication::processEvents();
    return list;
}

void Fill(CXListCtrl& list)
{
    for (int r = 0; r < ROWS; ++r) {
        list.InsertItem(r, QStringLiteral("Contact %1").arg(r));
        list.SetItemText(r, 1, QStringLiteral("010-%1").arg(r, 8, 10, QLatin1Char('0')));
        list.SetItemText(r, 2, QStringLiteral("02-555-%1").arg(r % 10000, 4, 10, QLatin1Char('0')));
        list.SetItemText(r, 3, QString());
        list.SetItemText(r, 4, QStringLiteral("contact%1@example.org").arg(r));
        list.SetItemText(r, 5, QString());
        list.SetItemText(r, 6, QString());
    }
}

void RunFill(benchmark::State& state, bool batch)
{
    long rssDelta = 0;
    size_t modelBytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto list = MakeList();
        malloc_trim(0);
        ResetPeak();
        const long before = PeakRssKb();
        state.ResumeTiming();

        if (batch)
            list->SetRedraw(false);
        Fill(*list);
        if (batch)
            list->SetRedraw(true);
        QCoreApplication::processEvents();

        state.PauseTiming();
        rssDelta = PeakRssKb() - before;
        modelBytes = list->Model()->MemoryEstimate();
        list.reset();
        QCoreApplication::processEvents();
        malloc_trim(0); // hand the freed rows back so the next fill starts from a lean heap
        state.ResumeTiming();
    }
    state.counters["peak_rss_delta_MB"] = double(rssDelta) / 1024.0;
    state.counters["model_MB"] = double(modelBytes) / (1024.0 * 1024.0);
    state.counters["bytes_per_row"] = double(rssDelta) * 1024.0 / ROWS;
}

void BM_Fill100kRows(benchmark::State& state)
{
    RunFill(state, false);
}
BENCHMARK(BM_Fill100kRows)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_Fill100kRowsBatched(benchmark::State& state)
{
    RunFill(state, true);
}
BENCHMARK(BM_Fill100kRowsBatched)->Unit(benchmark::kMillisecond)->Iterations(2);

// Jump to a row and paint the visible part: what scrolling through the full list costs per step.
void BM_PaintAfterJump(benchmark::State& state)
{
    auto list = MakeList();
    list->SetRedraw(false);
    Fill(*list);
    list->SetRedraw(true);
    int row = 0;
    for (auto _ : state) {
        row = (row + 7919) % ROWS;
        list->scrollTo(list->Model()->index(row, 0));
        QPixmap shot = list->viewport()->grab();
        benchmark::DoNotOptimize(shot);
    }
}
BENCHMARK(BM_PaintAfterJump)->Unit(benchmark::kMicrosecond);

// Clearing the filled list (the page empties it on every Read).
void BM_DeleteAll100kRows(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto list = MakeList();
        list->SetRedraw(false);
        Fill(*list);
        list->SetRedraw(true);
        state.ResumeTiming();
        list->DeleteAllItems();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_DeleteAll100kRows)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
