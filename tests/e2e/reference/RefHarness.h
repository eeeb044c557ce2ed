#pragma once
// Runs operations of the reference plug-in the way a page does: a copy of the library in a
// temporary MODEL folder, loaded with CPluginRun, an export called on this (the user-interface)
// thread, completion awaited as WM_PLUGIN_NOTIFY / PLUGIN_DONE (bounded), then ReleaseRs and unload.
#include "SimProcess.h"
#include "TestEnv.h"
#include "platform/WindowMessage.h"
#include "plugin/PluginRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QPair>

#include <functional>

#include <gtest/gtest.h>

class CRefPage : public QObject, public IMessageReceiver, public IPluginStatusDisplay
{
public:
    int nDone = 0;
    OperationResult result{};
    QStringList statuses;
    int nLastProgress = -1;

    LRESULT OnMessage(quint32 msg, WPARAM w, LPARAM l) override
    {
        if (msg == WM_PLUGIN_NOTIFY_MSG && w == PLUGIN_DONE) {
            result = CPluginRun::CopyResult(l);
            ++nDone;
        }
        return 0;
    }
    void SetProgress(int percent) override { nLastProgress = percent; }
    void SetStatusText(const QString& t) override { statuses.append(t); }
    void SetFileName(const QString&) override {}
    void SetAddress(const QString&) override {}
    void SetElapsed(int, float) override {}

protected:
    void customEvent(QEvent* e) override { DispatchMessageEvent(this, e); }
};

struct SRefOutcome
{
    bool bFinished = false;
    OperationResult result{};
    QStringList statuses;
    bool Ok() const { return bFinished && result.nResult < 0; }
    QString Message() const { return QString::fromLocal8Bit(result.szMessage); }
    QString Status() const { return QString::fromLocal8Bit(result.szStatus); }
};

// A list or grid of the pages: the phonebook's seven columns or a settings grid's three, with the
// editor definitions recorded per cell.
template <int COLUMNS> class CRefTable final : public IPluginList
{
public:
    virtual ~CRefTable() = default;
    QList<QStringList> rows;
    // (row, column) -> "combo:a|b", "edit:<width>", "text:<bytes>", "ip"
    QMap<QPair<int, int>, QString> editors;
    int RowCount() const override { return static_cast<int>(rows.size()); }
    int ColumnCount() const override { return COLUMNS; }
    QString Text(int r, int c) const override { return In(r, c) ? rows[r][c] : QString(); }
    int SetText(int r, int c, const QString& t) override
    {
        if (!In(r, c))
            return -1;
        rows[r][c] = t;
        return 1;
    }
    int InsertRow(int r, const QString& t) override
    {
        if (r < -1 || r > RowCount())
            return -1;
        QStringList row(COLUMNS);
        row[0] = t;
        const int at = r < 0 ? RowCount() : r;
        rows.insert(at, row);
        return at;
    }
    int DeleteRow(int r) override
    {
        if (r < 0 || r >= RowCount())
            return -1;
        rows.removeAt(r);
        return 1;
    }
    int DeleteAllRows() override
    {
        rows.clear();
        editors.clear();
        return 1;
    }
    int AddComboEditor(int r, int c, const QStringList& t) override
    {
        return Editor(r, c, QStringLiteral("combo:") + t.join(QLatin1Char('|')));
    }
    int AddEditEditor(int r, int c, const QString&, int, int w, int bytes) override
    {
        return Editor(r, c,
                      bytes > 0 ? QStringLiteral("text:%1").arg(bytes) : QStringLiteral("edit:%1").arg(w));
    }
    int AddIpEditor(int r, int c) override { return Editor(r, c, QStringLiteral("ip")); }
    int ClearEditors() override
    {
        editors.clear();
        return 1;
    }

private:
    bool In(int r, int c) const { return r >= 0 && r < RowCount() && c >= 0 && c < COLUMNS; }
    int Editor(int r, int c, const QString& what)
    {
        if (!In(r, c) || c < 1)
            return -1;
        editors[{r, c}] = what;
        return 1;
    }
};
using CRefList = CRefTable<7>;
using CRefGrid = CRefTable<3>;

class CRefPlugin
{
public:
    static constexpr int DONE_WAIT_MS = 30000;

    CRefPlugin()
    {
        m_strFolder = qpxtest::MakeTempDir(QStringLiteral("install")) + QStringLiteral("/MODEL");
        QDir().mkpath(m_strFolder);
        m_strPath = m_strFolder + QStringLiteral("/reference.so");
        QFile::copy(QStringLiteral(QPX_REF_PLUGIN), m_strPath);
        CPluginRun::SetReleaseWaitMs(0);
    }
    QString Folder() const { return m_strFolder; }
    QString Path() const { return m_strPath; }

    // Loads the library, calls the export through call (given the run), waits for PLUGIN_DONE.
    SRefOutcome Run(const std::function<void(CPluginRun&)>& call)
    {
        SRefOutcome out;
        CRefPage page;
        CPluginRun run(&page, &page);
        if (!run.Load(m_strPath))
            return out;
        call(run);
        qpxtest::PumpUntil([&] { return page.nDone > 0; }, DONE_WAIT_MS);
        // Anything posted twice would show up now.
        QCoreApplication::processEvents();
        out.bFinished = page.nDone == 1;
        out.result = page.result;
        out.statuses = page.statuses;
        run.ReleaseAndUnload();
        return out;
    }

    SRefOutcome Prl(int port, int nam, const QString& file, int direction)
    {
        return Run([&](CPluginRun& run) {
            auto fn = run.Function<PFN_ModelInterface_Prl>(QPX_SYM_PRL);
            ASSERT_NE(fn, nullptr);
            fn(run.Window(), port, CPluginRun::ToQpxRect(QRect(10, 355, 580, 105)),
               m_strPath.toLocal8Bit().constData(), nam, file.toLocal8Bit().constData(), direction);
        });
    }

    SRefOutcome Eri(int port, const QString& file, int direction)
    {
        return Run([&](CPluginRun& run) {
            auto fn = run.Function<PFN_ModelInterface_Eri>(QPX_SYM_ERI);
            ASSERT_NE(fn, nullptr);
            fn(run.Window(), port, CPluginRun::ToQpxRect(QRect(10, 355, 580, 105)),
               m_strPath.toLocal8Bit().constData(), 0, file.toLocal8Bit().constData(), direction);
        });
    }

    SRefOutcome Transfer(int port, int mode, quint32 mask)
    {
        return Run([&](CPluginRun& run) {
            auto fn = run.Function<PFN_ModelInterface_Transfer>(QPX_SYM_TRANSFER);
            ASSERT_NE(fn, nullptr);
            fn(run.Window(), port, CPluginRun::ToQpxRect(QRect(10, 355, 580, 105)),
               m_strPath.toLocal8Bit().constData(), mode, mask);
        });
    }

    SRefOutcome PhoneBook(int port, int mode, const QString& csv, IPluginList* list)
    {
        return Run([&](CPluginRun& run) {
            auto fn = run.Function<PFN_ModelInterface_PhoneBook>(QPX_SYM_PHONEBOOK);
            ASSERT_NE(fn, nullptr);
            fn(run.Window(), port, CPluginRun::ToQpxRect(QRect(10, 355, 580, 105)),
               m_strPath.toLocal8Bit().constData(), mode, csv.toLocal8Bit().constData(),
               run.AttachList(list));
        });
    }

    SRefOutcome Settings(int port, int category, int direction, IPluginList* list)
    {
        return Run([&](CPluginRun& run) {
            auto fn = run.Function<PFN_ModelInterface_Settings>(QPX_SYM_SETTINGS);
            ASSERT_NE(fn, nullptr);
            fn(run.Window(), port, CPluginRun::ToQpxRect(QRect(10, 355, 580, 105)),
               m_strPath.toLocal8Bit().constData(), category, direction, 0, run.AttachList(list));
        });
    }

    SRefOutcome Bin(int port, const QString& bin)
    {
        return Run([&](CPluginRun& run) {
            auto fn = run.Function<PFN_ModelInterface_Bin>(QPX_SYM_BIN);
            ASSERT_NE(fn, nullptr);
            fn(run.Window(), port, CPluginRun::ToQpxRect(QRect(10, 355, 580, 105)),
               m_strPath.toLocal8Bit().constData(), bin.toLocal8Bit().constData());
        });
    }

    SRefOutcome Upgrade(int port, const QString& bin, const QString& eri, int nam, const QString& prl)
    {
        return Run([&](CPluginRun& run) {
            auto fn = run.Function<PFN_ModelInterface_Upgrade>(QPX_SYM_UPGRADE);
            ASSERT_NE(fn, nullptr);
            fn(run.Window(), port, CPluginRun::ToQpxRect(QRect(10, 355, 580, 105)),
               m_strPath.toLocal8Bit().constData(), bin.toLocal8Bit().constData(), "",
               eri.toLocal8Bit().constData(), nam, prl.toLocal8Bit().constData());
        });
    }

    SRefOutcome Src(int port, const QString& scr, const QString& eri, int nam, const QString& prl)
    {
        return Run([&](CPluginRun& run) {
            auto fn = run.Function<PFN_ModelInterface_Src>(QPX_SYM_SRC);
            ASSERT_NE(fn, nullptr);
            fn(run.Window(), port, CPluginRun::ToQpxRect(QRect(10, 355, 580, 105)),
               m_strPath.toLocal8Bit().constData(), scr.toLocal8Bit().constData(),
               eri.toLocal8Bit().constData(), nam, prl.toLocal8Bit().constData());
        });
    }

    SRefOutcome Refurbish(int port, const QString& bin, const QString& scr)
    {
        return Run([&](CPluginRun& run) {
            auto fn = run.Function<PFN_ModelInterface_Refurbish>(QPX_SYM_REFURBISH);
            ASSERT_NE(fn, nullptr);
            fn(run.Window(), port, CPluginRun::ToQpxRect(QRect(10, 355, 580, 105)),
               m_strPath.toLocal8Bit().constData(), bin.toLocal8Bit().constData(),
               scr.toLocal8Bit().constData());
        });
    }

private:
    QString m_strFolder;
    QString m_strPath;
};

// A simulated handset of the model the plug-in serves, its state kept in a folder of the test.
inline QStringList RefSimArgs(const QString& stateFolder, const QStringList& more = {})
{
    const QString profile = qpxtest::MakeTempDir(QStringLiteral("profile")) + QStringLiteral("/handset.txt");
    qpxtest::WriteFile(profile, "sw_version_dir=VKQ100A1\n");
    return QStringList{QStringLiteral("--profile"),  profile,
                       QStringLiteral("--state"),    stateFolder,
                       QStringLiteral("--reset-ms"), QStringLiteral("100")} +
           more;
}
