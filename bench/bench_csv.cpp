// Reading a phonebook CSV of 100 000 lines: the reader alone (fields as byte views) and with the
// rows the phonebook page fills its list from. Goal: well under a second for the whole file.
#include "pages/CsvReader.h"

#include <benchmark/benchmark.h>

namespace {

QByteArray PhoneBook(int lines)
{
    QByteArray text;
    text.reserve(lines * 48);
    for (int i = 0; i < lines; ++i)
        text += "Name " + QByteArray::number(i) + " , 010-" + QByteArray::number(i) + ",02-555-0101,,mail" +
                QByteArray::number(i) + "@example.com,,\r\n";
    return text;
}

struct SCountingSink : ICsvSink
{
    qsizetype bytes = 0;
    void InsertRow(int, QByteArrayView name) override { bytes += name.size(); }
    void SetField(int, int, QByteArrayView text) override { bytes += text.size(); }
};

void BM_CsvFields(benchmark::State& state)
{
    const QByteArray text = PhoneBook(int(state.range(0)));
    for (auto _ : state) {
        SCountingSink sink;
        ParseCsv(text, sink);
        benchmark::DoNotOptimize(sink.bytes);
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}

void BM_CsvRows(benchmark::State& state)
{
    const QByteArray text = PhoneBook(int(state.range(0)));
    for (auto _ : state) {
        QList<QStringList> rows = ParseCsvRows(text);
        benchmark::DoNotOptimize(rows.size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_CsvFields)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CsvRows)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
