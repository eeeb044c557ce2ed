// qpx-diag run: one operation of a model plug-in without windows, with the arguments the pages
// pass. The plug-in is loaded and released exactly as a page does it (CPluginRun); its live
// display goes to stdout, one line per change; a phonebook or settings list is printed at the end.
//
//   qpx-diag run --plugin FILE --port N OPERATION [options]
//     prl       --nam 0|1|2 --file F (--read | --write)
//     eri       --file F (--read | --write)
//     bin       --bin F
//     script    --script F [--eri F] [--nam K] [--prl F]
//     upgrade   --bin F [--script F] [--eri F] [--nam K] [--prl F]
//     refurbish --bin F [--script F]
//     phonebook --csv F (--read | --write)
//     settings  --category K (--read | --write) [--rows N]
//     transfer  --mask M (--backup | --restore)
//
// Exit codes: 0 the operation succeeded; 7 it failed (the plug-in's message on stderr); 8 the
// plug-in does not offer it; 9 the plug-in cannot be loaded or never finished; 1 usage.
#include "DiagCommands.h"

#include "plugin/PluginRun.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

namespace {

constexpr int RUN_FAILED = 7;
constexpr int RUN_NOT_OFFERED = 8;
constexpr int RUN_NO_PLUGIN = 9;
constexpr int DONE_WAIT_MS = 600000;

class CConsolePage final : public QObject, public IMessageReceiver, public IPluginStatusDisplay
{
public:
    int nDone = 0;
    OperationResult result{};

    virtual ~CConsolePage() = default;
    LRESULT OnMessage(quint32 msg, WPARAM w, LPARAM l) override
    {
        if (msg == WM_PLUGIN_NOTIFY_MSG && w == PLUGIN_DONE && nDone++ == 0)
            result = CPluginRun::CopyResult(l);
        return 0;
    }
    void SetProgress(int percent) override
    {
        if (percent != m_nProgress)
            PrintLine(QStringLiteral("progress: %1%").arg(percent));
        m_nProgress = percent;
    }
    void SetStatusText(const QString& t) override { Changed(QStringLiteral("status"), t, m_strStatus); }
    void SetFileName(const QString& t) override { Changed(QStringLiteral("file"), t, m_strFile); }
    void SetAddress(const QString& t) override { Changed(QStringLiteral("address"), t, m_strAddress); }
    void SetElapsed(int, float) override {}

protected:
    void customEvent(QEvent* e) override { DispatchMessageEvent(this, e); }

private:
    static void Changed(const QString& name, const QString& text, QString& last)
    {
        if (text != last)
            PrintLine(name + QStringLiteral(": ") + text);
        last = text;
    }
    int m_nProgress = -1;
    QString m_strStatus, m_strFile, m_strAddress;
};

// The list of the phonebook (7 columns) or a settings category (3 columns), kept in memory.
class CConsoleList final : public IPluginList
{
public:
    explicit CConsoleList(int columns, bool grid) : m_nColumns(columns), m_bGrid(grid) {}
    virtual ~CConsoleList() = default;
    QList<QStringList> rows;

    int RowCount() const override { return static_cast<int>(rows.size()); }
    int ColumnCount() const override { return m_nColumns; }
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
        QStringList row(m_nColumns);
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
        return 1;
    }
    int AddComboEditor(int r, int c, const QStringList&) override { return Editor(r, c); }
    int AddEditEditor(int r, int c, const QString&, int, int, int) override { return Editor(r, c); }
    int AddIpEditor(int r, int c) override { return Editor(r, c); }
    int ClearEditors() override { return m_bGrid ? 1 : -1; }

private:
    bool In(int r, int c) const { return r >= 0 && r < RowCount() && c >= 0 && c < m_nColumns; }
    int Editor(int r, int c) const { return m_bGrid && In(r, c) && c >= 1 ? 1 : -1; }
    int m_nColumns;
    bool m_bGrid;
};

QByteArray Local(const QString& s)
{
    return s.toLocal8Bit();
}

} // namespace

int RunOperation(const QStringList& args)
{
    QCommandLineParser p;
    const QCommandLineOption plugin(QStringLiteral("plugin"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("N"));
    const QCommandLineOption nam(QStringLiteral("nam"), QString(), QStringLiteral("K"), QStringLiteral("0"));
    const QCommandLineOption file(QStringLiteral("file"), QString(), QStringLiteral("F"));
    const QCommandLineOption bin(QStringLiteral("bin"), QString(), QStringLiteral("F"));
    const QCommandLineOption script(QStringLiteral("script"), QString(), QStringLiteral("F"));
    const QCommandLineOption eri(QStringLiteral("eri"), QString(), QStringLiteral("F"));
    const QCommandLineOption prlFile(QStringLiteral("prl"), QString(), QStringLiteral("F"));
    const QCommandLineOption csv(QStringLiteral("csv"), QString(), QStringLiteral("F"));
    const QCommandLineOption category(QStringLiteral("category"), QString(), QStringLiteral("K"));
    const QCommandLineOption rowsOpt(QStringLiteral("rows"), QString(), QStringLiteral("N"),
                                     QStringLiteral("0"));
    const QCommandLineOption mask(QStringLiteral("mask"), QString(), QStringLiteral("M"));
    const QCommandLineOption read(QStringLiteral("read"));
    const QCommandLineOption write(QStringLiteral("write"));
    const QCommandLineOption backup(QStringLiteral("backup"));
    const QCommandLineOption restore(QStringLiteral("restore"));
    p.addOptions({plugin, port, nam, file, bin, script, eri, prlFile, csv, category, rowsOpt, mask, read,
                  write, backup, restore});
    p.addPositionalArgument(QStringLiteral("operation"), QString());
    const auto usage = []() {
        PrintError(
            QStringLiteral("usage: run --plugin FILE --port N "
                           "prl|eri|bin|script|upgrade|refurbish|phonebook|settings|transfer [options]"));
        return DIAG_USAGE;
    };
    if (!p.parse(QStringList{QStringLiteral("run")} + args) || p.positionalArguments().size() != 1 ||
        !p.isSet(plugin) || !p.isSet(port))
        return usage();
    bool ok = false;
    const int portNo = p.value(port).toInt(&ok);
    if (!ok || portNo < 1 || portNo > 256)
        return usage();
    const QString op = p.positionalArguments().first();
    const int direction = (p.isSet(read) || p.isSet(backup)) ? 1 : 0;
    if (p.isSet(read) == p.isSet(write) &&
        (op == QLatin1String("prl") || op == QLatin1String("eri") || op == QLatin1String("phonebook") ||
         op == QLatin1String("settings")))
        return usage();
    if (op == QLatin1String("transfer") && p.isSet(backup) == p.isSet(restore))
        return usage();

    const QString dll = QFileInfo(p.value(plugin)).absoluteFilePath();
    const QByteArray dllText = Local(dll);
    CConsolePage page;
    CPluginRun run(&page, &page);
    if (!run.Load(dll)) {
        PrintError(QStringLiteral("%1 cannot be loaded as a plug-in").arg(dll));
        return RUN_NO_PLUGIN;
    }
    const QpxRect rect = CPluginRun::ToQpxRect(QRect(10, 355, 580, 106));
    // Handing out the page object starts the run: only when an export is called.
    const auto w = [&run] { return run.Window(); };
    std::unique_ptr<CConsoleList> list;
    const int namNo = p.value(nam).toInt();
    bool offered = true;
    if (op == QLatin1String("prl")) {
        auto fn = run.Function<PFN_ModelInterface_Prl>(QPX_SYM_PRL);
        if ((offered = fn != nullptr))
            fn(w(), portNo, rect, dllText.constData(), namNo, Local(p.value(file)).constData(), direction);
    } else if (op == QLatin1String("eri")) {
        auto fn = run.Function<PFN_ModelInterface_Eri>(QPX_SYM_ERI);
        if ((offered = fn != nullptr))
            fn(w(), portNo, rect, dllText.constData(), namNo, Local(p.value(file)).constData(), direction);
    } else if (op == QLatin1String("bin")) {
        auto fn = run.Function<PFN_ModelInterface_Bin>(QPX_SYM_BIN);
        if ((offered = fn != nullptr))
            fn(w(), portNo, rect, dllText.constData(), Local(p.value(bin)).constData());
    } else if (op == QLatin1String("script")) {
        auto fn = run.Function<PFN_ModelInterface_Src>(QPX_SYM_SRC);
        if ((offered = fn != nullptr))
            fn(w(), portNo, rect, dllText.constData(), Local(p.value(script)).constData(),
               Local(p.value(eri)).constData(), namNo, Local(p.value(prlFile)).constData());
    } else if (op == QLatin1String("upgrade")) {
        auto fn = run.Function<PFN_ModelInterface_Upgrade>(QPX_SYM_UPGRADE);
        if ((offered = fn != nullptr))
            fn(w(), portNo, rect, dllText.constData(), Local(p.value(bin)).constData(),
               Local(p.value(script)).constData(), Local(p.value(eri)).constData(), namNo,
               Local(p.value(prlFile)).constData());
    } else if (op == QLatin1String("refurbish")) {
        auto fn = run.Function<PFN_ModelInterface_Refurbish>(QPX_SYM_REFURBISH);
        if ((offered = fn != nullptr))
            fn(w(), portNo, rect, dllText.constData(), Local(p.value(bin)).constData(),
               Local(p.value(script)).constData());
    } else if (op == QLatin1String("phonebook")) {
        auto fn = run.Function<PFN_ModelInterface_PhoneBook>(QPX_SYM_PHONEBOOK);
        list = std::make_unique<CConsoleList>(7, false);
        if ((offered = fn != nullptr))
            fn(w(), portNo, rect, dllText.constData(), direction, Local(p.value(csv)).constData(),
               run.AttachList(list.get()));
    } else if (op == QLatin1String("settings")) {
        auto fn = run.Function<PFN_ModelInterface_Settings>(QPX_SYM_SETTINGS);
        list = std::make_unique<CConsoleList>(3, true);
        for (int i = 0; i < p.value(rowsOpt).toInt(); ++i)
            list->InsertRow(-1, QStringLiteral("row %1").arg(i));
        if ((offered = fn != nullptr))
            fn(w(), portNo, rect, dllText.constData(), p.value(category).toInt(), direction, 0,
               run.AttachList(list.get()));
    } else if (op == QLatin1String("transfer")) {
        auto fn = run.Function<PFN_ModelInterface_Transfer>(QPX_SYM_TRANSFER);
        if ((offered = fn != nullptr))
            fn(w(), portNo, rect, dllText.constData(), direction, p.value(mask).toUInt(nullptr, 0));
    } else {
        run.Unload();
        return usage();
    }
    if (!offered) {
        run.Unload();
        PrintError(QStringLiteral("the plug-in does not offer \"%1\"").arg(op));
        return RUN_NOT_OFFERED;
    }
    QElapsedTimer t;
    t.start();
    while (page.nDone == 0 && t.elapsed() < DONE_WAIT_MS) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    if (page.nDone == 0) {
        // Never unload code that may still run: leave the library loaded and end the process.
        PrintError(QStringLiteral("the plug-in did not finish"));
        return RUN_NO_PLUGIN;
    }
    if (list) {
        for (const QStringList& row : list->rows)
            PrintLine(QStringLiteral("row: ") + row.join(QLatin1Char('\t')));
    }
    run.ReleaseAndUnload();
    const OperationResult& r = page.result;
    PrintLine(QStringLiteral("status: %1").arg(QString::fromLocal8Bit(r.szStatus)));
    PrintLine(QStringLiteral("file: %1").arg(QString::fromLocal8Bit(r.szFileName)));
    PrintLine(QStringLiteral("address: %1").arg(QString::fromLocal8Bit(r.szAddress)));
    PrintLine(QString::asprintf("elapsed: %02d:%04.1f s", r.nMinutes, static_cast<double>(r.fSeconds)));
    if (r.nResult < 0) {
        PrintLine(QStringLiteral("result: success"));
        return DIAG_OK;
    }
    PrintLine(QStringLiteral("result: failed"));
    PrintError(QString::fromLocal8Bit(r.szMessage));
    return RUN_FAILED;
}
