#include "CsvListLoader.h"

#include "controls/XListCtrl.h"
#include "controls/XListModel.h"
#include "pages/CsvReader.h"
#include "pages/PluginLists.h"
#include "plugin/ByteText.h"

#include <QFile>
#include <QMetaObject>

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

// Builds the list's rows from the reader's fields, as CXListCsvSink would fill the list.
class CPackedRowsSink : public ICsvSink
{
public:
    explicit CPackedRowsSink(const std::atomic<bool>& cancelled) : m_bCancelled(cancelled) {}

    void InsertRow(int, QByteArrayView name) override
    {
        Flush();
        if (m_bCancelled.load(std::memory_order_relaxed))
            return;
        m_cells[0] = TextFromBytes(name);
        m_nCells = 1;
    }
    void SetField(int, int column, QByteArrayView text) override
    {
        if (m_nCells == 0 || column < 1 || column >= CSV_COLUMNS)
            return;
        for (int c = m_nCells; c < column; ++c)
            m_cells[c].clear();
        m_cells[column] = TextFromBytes(text);
        m_nCells = std::max(m_nCells, column + 1);
    }
    std::vector<SXPackedRow> Take()
    {
        Flush();
        return std::move(m_rows);
    }

private:
    void Flush()
    {
        if (m_nCells == 0)
            return;
        QList<QStringView> views;
        views.reserve(m_nCells);
        for (int c = 0; c < m_nCells; ++c)
            views.append(m_cells[c]);
        m_rows.push_back(CXListModel::PackCells(views));
        m_nCells = 0;
    }

    const std::atomic<bool>& m_bCancelled;
    std::array<QString, CSV_COLUMNS> m_cells;
    int m_nCells = 0;
    std::vector<SXPackedRow> m_rows;
};

// One list's loads. A child of the list: it goes when the list goes, after its parser ended.
class CCsvListLoader : public QObject
{
public:
    explicit CCsvListLoader(CXListCtrl* list) : QObject(list), m_pList(list)
    {
        setObjectName(QStringLiteral("csvListLoader"));
        // Any change to the list while a load is under way supersedes the load.
        CXListModel* model = list->Model();
        connect(model, &QAbstractItemModel::modelAboutToBeReset, this, &CCsvListLoader::Supersede);
        connect(model, &QAbstractItemModel::rowsInserted, this, &CCsvListLoader::Supersede);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &CCsvListLoader::Supersede);
        connect(model, &QAbstractItemModel::dataChanged, this, &CCsvListLoader::Supersede);
    }
    ~CCsvListLoader() override { Drop(); }

    static CCsvListLoader* Of(CXListCtrl* list, bool create)
    {
        auto* loader =
            list->findChild<CCsvListLoader*>(QStringLiteral("csvListLoader"), Qt::FindDirectChildrenOnly);
        return loader != nullptr || !create ? loader : new CCsvListLoader(list);
    }

    // Parses bytes aside; the list is already empty.
    void Start(QByteArray bytes)
    {
        Drop();
        m_pJob = std::make_unique<SJob>();
        SJob* job = m_pJob.get();
        job->nId = ++m_nLastId;
        job->thread = std::thread([this, job, bytes = std::move(bytes)] {
            CPackedRowsSink sink(job->bCancelled);
            ParseCsv(bytes, sink);
            job->rows = sink.Take();
            // Queued: runs on the list's thread (dropped if the loader is gone by then; its
            // destructor waits for this thread first).
            QMetaObject::invokeMethod(
                this, [this, id = job->nId] { Finish(id); }, Qt::QueuedConnection);
        });
    }

    // The pending rows go into the list now.
    void Complete()
    {
        if (m_pJob)
            Finish(m_pJob->nId);
    }

private:
    struct SJob
    {
        std::thread thread;
        std::atomic<bool> bCancelled{false};
        std::vector<SXPackedRow> rows;
        quint64 nId = 0;
    };

    void Finish(quint64 id)
    {
        if (!m_pJob || m_pJob->nId != id)
            return; // an older load, already dropped
        m_pJob->thread.join();
        std::unique_ptr<SJob> done = std::move(m_pJob);
        if (done->bCancelled.load())
            return;
        m_bApplying = true;
        m_pList->Model()->ReplaceRows(std::move(done->rows));
        m_bApplying = false;
    }

    void Supersede()
    {
        if (!m_bApplying && m_pJob)
            m_pJob->bCancelled = true;
    }

    // Ends the current load without its rows (the parser stops early once told).
    void Drop()
    {
        if (!m_pJob)
            return;
        m_pJob->bCancelled = true;
        m_pJob->thread.join();
        m_pJob.reset();
    }

    CXListCtrl* m_pList;
    std::unique_ptr<SJob> m_pJob;
    quint64 m_nLastId = 0;
    bool m_bApplying = false;
};

} // namespace

void FillListFromCsv(CXListCtrl* list, QByteArray bytes)
{
    list->DeleteAllItems(); // also supersedes a large load still under way
    if (bytes.size() < CSV_PARSE_ASIDE_BYTES) {
        CXListCsvSink sink(list);
        ParseCsv(bytes, sink);
        return;
    }
    CCsvListLoader::Of(list, true)->Start(std::move(bytes));
}

void FillListFromCsvNow(CXListCtrl* list, QByteArrayView bytes)
{
    list->DeleteAllItems();
    CXListCsvSink sink(list);
    ParseCsv(bytes, sink);
}

void CompletePendingCsvLoad(CXListCtrl* list)
{
    if (CCsvListLoader* loader = CCsvListLoader::Of(list, false))
        loader->Complete();
}
