// Phonebook CSV files: a 100 000-line file must be shown in the page's list within one second.
//
//   BM_CsvFileToPageList   the phonebook page's own path (Write radio / browse): file read,
//                          rows deleted, parsed into the list (aside for a large file, waited
//                          for here), list repainted
//   BM_CsvFields           the reader alone (fields as byte views)
//   BM_CsvRows             the reader into rows of strings
#include "NoPageHost.h"
#include "controls/XListCtrl.h"
#include "pages/CsvListLoader.h"
#include "pages/CsvReader.h"
#include "pages/PhoneBookPage.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

QByteArray MakeCsv(int lines)
{
    QByteArray out;
    out.reserve(lines * 80);
    for (int i = 0; i < lines; ++i) {
        out += "Name " + QByteArray::number(i) + ",010-" + QByteArray::number(1000000 + i) + ",02-555-" +
               QByteArray::number(i % 10000) + ", 031-777-1234 ,user" + QByteArray::number(i) +
               "@example.com,011-222-3333,alt" + QByteArray::number(i) + "@example.org\r\n";
    }
    return out;
}

struct SCsvFile
{
    QTemporaryDir dir;
    QString path;
    explicit SCsvFile(int lines)
    {
        path = dir.path() + QStringLiteral("/book.csv");
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(MakeCsv(lines));
    }
};

void BM_CsvFileToPageList(benchmark::State& state)
{
    const int lines = static_cast<int>(state.range(0));
    SCsvFile file(lines);
    CNoPageHost host;
    CPhoneBookPage page(nullptr, host, QRect(0, 0, 585, 600));
    page.show();
    for (auto _ : state) {
        if (!page.ReadCsvIntoList(file.path))
            state.SkipWithError("cannot read the file");
        CompletePendingCsvLoad(page.List()); // a large file is parsed aside: wait for it
        page.List()->viewport()->repaint();
        if (page.List()->GetItemCount() != lines)
            state.SkipWithError("wrong row count");
    }
    state.SetItemsProcessed(state.iterations() * lines);
}
BENCHMARK(BM_CsvFileToPageList)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

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

// The reader alone (fields as byte views).
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
BENCHMARK(BM_CsvFields)->Arg(100000)->Unit(benchmark::kMillisecond);

// The reader into rows of strings.
void BM_CsvRows(benchmark::State& state)
{
    const QByteArray text = PhoneBook(int(state.range(0)));
    for (auto _ : state) {
        QList<QStringList> rows = ParseCsvRows(text);
        benchmark::DoNotOptimize(rows.size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CsvRows)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
