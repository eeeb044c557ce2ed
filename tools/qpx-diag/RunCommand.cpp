// qpx-diag run: one operation of a model plug-in without windows, with the arguments the pages
// pass. The plug-in is loaded and released exactly as a page does it (CPluginRun); its live
// display goes to stdout, one line per change; a phonebook or settings list is printed at the end.
//
//   qpx-diag run --plugin FILE (--port N [--port N ...] | --all-handsets) OPERATION [options]
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
// "%n" in an option's value stands for the port's number.
//
// Several ports (or every handset port) run in parallel, one child qpx-diag per port so that the
// handsets share no plug-in state: their lines come back prefixed with "COM<n>: " (on a terminal,
// one line per port, redrawn), and the exit code is the highest of theirs.
//
// While an operation runs, ModemManager (when present) is asked to leave the handset alone.
//
// Exit codes: 0 the operation succeeded; 7 it failed (the plug-in's message on stderr); 8 the
// plug-in does not offer it; 9 the plug-in cannot be loaded or never finished; 1 usage; 2 no
// handset port for --all-handsets.
#include "DiagCommands.h"

#include "platform/ModemManagerInhibitor.h"
#include "platform/SystemProbe.h"
#include "plugin/PluginRun.h"
#include "serial/PortDiscovery.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>

namespace {

constexpr int RUN_FAILED = 7;
constexpr int RUN_NOT_OFFERED = 8;
constexpr int RUN_NO_PLUGIN = 9;
constexpr int DONE_WAIT_MS = 600000;

class CConsolePage final : public QObject, public IMessageReceiver, public IPluginStatusDisplay
{
public:
    explicit CConsolePage(bool quiet) : m_bQuiet(quiet) {}
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
        if (percent != m_nProgress && !m_bQuiet)
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
    void Changed(const QString& name, const QString& text, QString& last) const
    {
        if (text != last && !m_bQuiet)
            PrintLine(name + QStringLiteral(": ") + text);
        last = text;
    }
    bool m_bQuiet;
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

// The command line of run, parsed once for every port.
struct SRunOptions
{
    QCommandLineParser p;
    const QCommandLineOption plugin{QStringLiteral("plugin"), QString(), QStringLiteral("FILE")};
    const QCommandLineOption port{QStringLiteral("port"), QString(), QStringLiteral("N")};
    const QCommandLineOption allHandsets{QStringLiteral("all-handsets")};
    const QCommandLineOption nam{QStringLiteral("nam"), QString(), QStringLiteral("K"), QStringLiteral("0")};
    const QCommandLineOption file{QStringLiteral("file"), QString(), QStringLiteral("F")};
    const QCommandLineOption bin{QStringLiteral("bin"), QString(), QStringLiteral("F")};
    const QCommandLineOption script{QStringLiteral("script"), QString(), QStringLiteral("F")};
    const QCommandLineOption eri{QStringLiteral("eri"), QString(), QStringLiteral("F")};
    const QCommandLineOption prlFile{QStringLiteral("prl"), QString(), QStringLiteral("F")};
    const QCommandLineOption csv{QStringLiteral("csv"), QString(), QStringLiteral("F")};
    const QCommandLineOption category{QStringLiteral("category"), QString(), QStringLiteral("K")};
    const QCommandLineOption rows{QStringLiteral("rows"), QString(), QStringLiteral("N"),
                                  QStringLiteral("0")};
    const QCommandLineOption mask{QStringLiteral("mask"), QString(), QStringLiteral("M")};
    const QCommandLineOption read{QStringLiteral("read")};
    const QCommandLineOption write{QStringLiteral("write")};
    const QCommandLineOption backup{QStringLiteral("backup")};
    const QCommandLineOption restore{QStringLiteral("restore")};

    SRunOptions()
    {
        p.addOptions({plugin, port, allHandsets, nam, file, bin, script, eri, prlFile, csv, category, rows,
                      mask, read, write, backup, restore});
        p.addPositionalArgument(QStringLiteral("operation"), QString());
    }
    QString Operation() const { return p.positionalArguments().value(0); }
};

int Usage()
{
    PrintError(QStringLiteral("usage: run --plugin FILE --port N "
                              "prl|eri|bin|script|upgrade|refurbish|phonebook|settings|transfer [options]"));
    return DIAG_USAGE;
}

// One run's JSON record; the result fields stay empty when the plug-in never reported.
QJsonObject RunRecord(int portNo, const QString& op, int exitCode, const QString& error,
                      const OperationResult* r, const QJsonArray* rows)
{
    QJsonObject o{
        {QStringLiteral("port"), portNo},
        {QStringLiteral("operation"), op},
        {QStringLiteral("exitCode"), exitCode},
        {QStringLiteral("error"), error},
        {QStringLiteral("result"), r == nullptr     ? QString()
                                   : r->nResult < 0 ? QStringLiteral("success")
                                                    : QStringLiteral("failed")},
        {QStringLiteral("status"), r ? QString::fromLocal8Bit(r->szStatus) : QString()},
        {QStringLiteral("file"), r ? QString::fromLocal8Bit(r->szFileName) : QString()},
        {QStringLiteral("address"), r ? QString::fromLocal8Bit(r->szAddress) : QString()},
        {QStringLiteral("minutes"), r ? r->nMinutes : 0},
        {QStringLiteral("seconds"), r ? static_cast<double>(r->fSeconds) : 0.0},
        {QStringLiteral("message"), r && r->nResult >= 0 ? QString::fromLocal8Bit(r->szMessage) : QString()}};
    if (rows != nullptr)
        o.insert(QStringLiteral("rows"), *rows);
    return o;
}

void PrintRunDocument(int exitCode, const QJsonArray& runs)
{
    PrintJson(QJsonObject{{QStringLiteral("exitCode"), exitCode}, {QStringLiteral("runs"), runs}});
}

// The operation on one port, in this process.
int RunOne(const SRunOptions& o, int portNo, bool json)
{
    const QCommandLineParser& p = o.p;
    const QString op = o.Operation();
    const auto value = [&](const QCommandLineOption& opt) {
        return p.value(opt).replace(QStringLiteral("%n"), QString::number(portNo));
    };
    const int direction = (p.isSet(o.read) || p.isSet(o.backup)) ? 1 : 0;
    const auto fail = [&](int code, const QString& error) {
        PrintError(error);
        if (json)
            PrintRunDocument(code, {RunRecord(portNo, op, code, error, nullptr, nullptr)});
        return code;
    };

    // ModemManager leaves the handset alone from the start of the run to its end; the hooks go
    // before the inhibitor does.
    CModemManagerInhibitor inhibitor;
    struct SHooks
    {
        SHooks(CModemManagerInhibitor& i, int n)
        {
            CPluginRun::SetRunHooks([&i, n] { i.Inhibit(DevicePathOfPort(n)); }, [&i] { i.Release(); });
        }
        ~SHooks() { CPluginRun::SetRunHooks({}, {}); }
    } hooks(inhibitor, portNo);

    const QString dll = QFileInfo(value(o.plugin)).absoluteFilePath();
    const QByteArray dllText = Local(dll);
    CConsolePage page(json);
    CPluginRun run(&page, &page);
    if (!run.Load(dll))
        return fail(RUN_NO_PLUGIN, QStringLiteral("%1 cannot be loaded as a plug-in").arg(dll));
    const QpxRect rect = CPluginRun::ToQpxRect(QRect(10, 355, 580, 106));
    // Handing out the page object starts the run: only when an export is called.
    const auto w = [&run] { return run.Window(); };
    std::unique_ptr<CConsoleList> list;
    const int namNo = value(o.nam).toInt();
    bool offered = true;
    if (op == QLatin1String("prl")) {
        auto fn = run.Function<PFN_ModelInterface_Prl>(QPX_SYM_PRL);
        if ((offered = fn != nullptr))
            fn(w(), portNo, rect, dllText.constData(), namNo, Local(value(o.file)).constData(), direction);
    } else if (op == QLatin1String("eri")) {
        auto fn = run.Function<PFN_ModelInterface_Eri>(QPX_SYM_ERI);
        if ((offered = fn != nullptr))
            fn(w(), portNo, rect, dllText.constData(), namNo, Local(value(o.file)).constData(), direction);
    } else if (op == QLatin1String("bin")) {
        auto fn = run.Function<PFN_ModelInterface_Bin>(QPX_SYM_BIN);
        if ((offered = fn != nullptr))
            fn(w(), portNo, rect, dllText.constData(), Local(value(o.bin)).constData());
    } else if (op == QLatin1String("script")) {
        auto fn = run.Function<PFN_ModelInterface_Src>(QPX_SYM_SRC);
        if ((offered = fn != nullptr))
            fn(w(), portNo, rect, dllText.constData(), Local(value(o.script)).constData(),
               Local(value(o.eri)).constData(), namNo, Local(value(o.prlFile)).constData());
    } else if (op == QLatin1String("upgrade")) {
        auto fn = run.Function<PFN_ModelInterface_Upgrade>(QPX_SYM_UPGRADE);
        if ((offered = fn != nullptr))
            fn(w(), portNo, rect, dllText.constData(), Local(value(o.bin)).constData(),
               Local(value(o.script)).constData(), Local(value(o.eri)).constData(), namNo,
               Local(value(o.prlFile)).constData());
    } else if (op == QLatin1String("refurbish")) {
        auto fn = run.Function<PFN_ModelInterface_Refurbish>(QPX_SYM_REFURBISH);
        if ((offered = fn != nullptr))
            fn(w(), portNo, rect, dllText.constData(), Local(value(o.bin)).constData(),
               Local(value(o.script)).constData());
    } else if (op == QLatin1String("phonebook")) {
        auto fn = run.Function<PFN_ModelInterface_PhoneBook>(QPX_SYM_PHONEBOOK);
        list = std::make_unique<CConsoleList>(7, false);
        if ((offered = fn != nullptr))
            fn(w(), portNo, rect, dllText.constData(), direction, Local(value(o.csv)).constData(),
               run.AttachList(list.get()));
    } else if (op == QLatin1String("settings")) {
        auto fn = run.Function<PFN_ModelInterface_Settings>(QPX_SYM_SETTINGS);
        list = std::make_unique<CConsoleList>(3, true);
        for (int i = 0; i < value(o.rows).toInt(); ++i)
            list->InsertRow(-1, QStringLiteral("row %1").arg(i));
        if ((offered = fn != nullptr))
            fn(w(), portNo, rect, dllText.constData(), value(o.category).toInt(), direction, 0,
               run.AttachList(list.get()));
    } else if (op == QLatin1String("transfer")) {
        auto fn = run.Function<PFN_ModelInterface_Transfer>(QPX_SYM_TRANSFER);
        if ((offered = fn != nullptr))
            fn(w(), portNo, rect, dllText.constData(), direction, value(o.mask).toUInt(nullptr, 0));
    }
    if (!offered) {
        run.Unload();
        return fail(RUN_NOT_OFFERED, QStringLiteral("the plug-in does not offer \"%1\"").arg(op));
    }
    QElapsedTimer t;
    t.start();
    while (page.nDone == 0 && t.elapsed() < DONE_WAIT_MS) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    if (page.nDone == 0) {
        // Never unload code that may still run: leave the library loaded and end the process.
        return fail(RUN_NO_PLUGIN, QStringLiteral("the plug-in did not finish"));
    }
    QJsonArray rows;
    if (list) {
        for (const QStringList& row : list->rows) {
            if (json)
                rows.append(QJsonArray::fromStringList(row));
            else
                PrintLine(QStringLiteral("row: ") + row.join(QLatin1Char('\t')));
        }
    }
    run.ReleaseAndUnload();
    const OperationResult& r = page.result;
    const int code = r.nResult < 0 ? DIAG_OK : RUN_FAILED;
    if (json) {
        if (code != DIAG_OK)
            PrintError(QString::fromLocal8Bit(r.szMessage));
        PrintRunDocument(code, {RunRecord(portNo, op, code, QString(), &r, list ? &rows : nullptr)});
        return code;
    }
    PrintLine(QStringLiteral("status: %1").arg(QString::fromLocal8Bit(r.szStatus)));
    PrintLine(QStringLiteral("file: %1").arg(QString::fromLocal8Bit(r.szFileName)));
    PrintLine(QStringLiteral("address: %1").arg(QString::fromLocal8Bit(r.szAddress)));
    PrintLine(QString::asprintf("elapsed: %02d:%04.1f s", r.nMinutes, static_cast<double>(r.fSeconds)));
    if (code == DIAG_OK) {
        PrintLine(QStringLiteral("result: success"));
        return DIAG_OK;
    }
    PrintLine(QStringLiteral("result: failed"));
    PrintError(QString::fromLocal8Bit(r.szMessage));
    return RUN_FAILED;
}

// One child qpx-diag running the operation on one port.
struct SChildRun
{
    int nPort = 0;
    std::unique_ptr<QProcess> process;
    QByteArray out, err;
    QString strProgress, strStatus;
    QStringList report; // on a terminal: the lines kept for after the runs
    int nExit = -1;
};

// What a run reports at its end, in the order printed: every "row:" line, then its closing lines
// status, file, address, elapsed and result (the live display before them is left out).
QStringList FinalReport(const QStringList& lines)
{
    constexpr int CLOSING_LINES = 5;
    QStringList report;
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("row: ")))
            report << line;
    }
    if (lines.size() >= CLOSING_LINES && lines.constLast().startsWith(QLatin1String("result: ")))
        report += lines.mid(lines.size() - CLOSING_LINES);
    return report;
}

QString ChildLine(const SChildRun& c)
{
    QString line = QStringLiteral("COM%1:").arg(c.nPort);
    if (c.nExit >= 0)
        return line +
               (c.nExit == DIAG_OK ? QStringLiteral(" success")
                                   : QStringLiteral(" failed (exit %1)").arg(c.nExit)) +
               (c.strStatus.isEmpty() ? QString() : QStringLiteral(" - ") + c.strStatus);
    if (!c.strProgress.isEmpty())
        line += QLatin1Char(' ') + c.strProgress;
    if (!c.strStatus.isEmpty())
        line += QLatin1Char(' ') + c.strStatus;
    return line;
}

// The arguments of run without its port choice.
QStringList WithoutPorts(const QStringList& args)
{
    QStringList kept;
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--port"))
            ++i;
        else if (!args.at(i).startsWith(QLatin1String("--port=")) &&
                 args.at(i) != QLatin1String("--all-handsets"))
            kept << args.at(i);
    }
    return kept;
}

int RunParallel(const QList<int>& ports, const QStringList& args, bool json)
{
    const bool terminal = !json && StdoutIsTerminal();
    const QStringList common = WithoutPorts(args);
    std::vector<SChildRun> children(ports.size());
    QEventLoop loop;
    int running = static_cast<int>(ports.size());
    QByteArray shown; // the block on the terminal now
    const auto redraw = [&] {
        if (!terminal)
            return;
        QByteArray block;
        for (const SChildRun& c : children)
            block += "\r\x1b[2K" + ChildLine(c).toUtf8() + '\n';
        if (block == shown)
            return;
        if (!shown.isEmpty())
            std::fputs(("\x1b[" + QByteArray::number(static_cast<int>(children.size())) + 'A').constData(),
                       stdout);
        std::fputs(block.constData(), stdout);
        std::fflush(stdout);
        shown = block;
    };
    const auto takeLines = [&](SChildRun& c) {
        c.out += c.process->readAllStandardOutput();
        if (json)
            return; // one document at the end
        qsizetype nl;
        while ((nl = c.out.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(c.out.left(nl));
            c.out.remove(0, nl + 1);
            if (line.startsWith(QLatin1String("progress: ")))
                c.strProgress = line.mid(10);
            else if (line.startsWith(QLatin1String("status: ")))
                c.strStatus = line.mid(8);
            if (terminal) {
                c.report << line;
                redraw();
            } else {
                PrintLine(QStringLiteral("COM%1: ").arg(c.nPort) + line);
            }
        }
        std::fflush(stdout);
    };
    for (size_t i = 0; i < children.size(); ++i) {
        SChildRun& c = children[i];
        c.nPort = ports.at(static_cast<int>(i));
        c.process = std::make_unique<QProcess>();
        QObject::connect(c.process.get(), &QProcess::readyReadStandardOutput, &loop,
                         [&c, &takeLines] { takeLines(c); });
        QObject::connect(c.process.get(), &QProcess::readyReadStandardError, &loop,
                         [&c] { c.err += c.process->readAllStandardError(); });
        QObject::connect(c.process.get(), &QProcess::finished, &loop,
                         [&, pc = &c](int code, QProcess::ExitStatus status) {
                             takeLines(*pc);
                             pc->err += pc->process->readAllStandardError();
                             pc->nExit = status == QProcess::NormalExit ? code : RUN_NO_PLUGIN;
                             redraw();
                             if (--running == 0)
                                 loop.quit();
                         });
        QObject::connect(
            c.process.get(), &QProcess::errorOccurred, &loop, [&, pc = &c](QProcess::ProcessError error) {
                if (error != QProcess::FailedToStart)
                    return; // the end comes as finished
                pc->err += "cannot start " + QCoreApplication::applicationFilePath().toLocal8Bit();
                pc->nExit = RUN_NO_PLUGIN;
                redraw();
                if (--running == 0)
                    loop.quit();
            });
        QStringList childArgs{QStringLiteral("run"), QStringLiteral("--port"), QString::number(c.nPort)};
        childArgs += common;
        if (json)
            childArgs << QStringLiteral("--json");
        c.process->start(QCoreApplication::applicationFilePath(), childArgs);
    }
    redraw();
    if (running > 0)
        loop.exec();

    int worst = DIAG_OK;
    QJsonArray runs;
    for (SChildRun& c : children) {
        worst = std::max(worst, c.nExit);
        for (const QString& line : FinalReport(c.report))
            PrintLine(QStringLiteral("COM%1: ").arg(c.nPort) + line);
        for (const QByteArray& raw : c.err.split('\n')) {
            const QString line =
                QString::fromUtf8(raw).remove(QRegularExpression(QStringLiteral("^qpx-diag: ")));
            if (!line.isEmpty())
                PrintError(QStringLiteral("COM%1: ").arg(c.nPort) + line);
        }
        if (json) {
            const QJsonArray one =
                QJsonDocument::fromJson(c.out).object().value(QStringLiteral("runs")).toArray();
            runs.append(one.isEmpty() ? RunRecord(c.nPort, QString(), c.nExit, QStringLiteral("no result"),
                                                  nullptr, nullptr)
                                      : one.first());
        }
    }
    if (json)
        PrintRunDocument(worst, runs);
    return worst;
}

} // namespace

int RunOperation(const QStringList& args, bool json)
{
    SRunOptions o;
    QCommandLineParser& p = o.p;
    if (!p.parse(QStringList{QStringLiteral("run")} + args) || p.positionalArguments().size() != 1 ||
        !p.isSet(o.plugin) || p.isSet(o.port) == p.isSet(o.allHandsets))
        return Usage();
    QList<int> ports;
    for (const QString& text : p.values(o.port)) {
        bool ok = false;
        const int n = text.toInt(&ok);
        if (!ok || n < 1 || n > 256)
            return Usage();
        if (!ports.contains(n))
            ports << n;
    }
    static const QStringList OPERATIONS = {
        QStringLiteral("prl"),       QStringLiteral("eri"),      QStringLiteral("bin"),
        QStringLiteral("script"),    QStringLiteral("upgrade"),  QStringLiteral("refurbish"),
        QStringLiteral("phonebook"), QStringLiteral("settings"), QStringLiteral("transfer")};
    const QString op = o.Operation();
    if (!OPERATIONS.contains(op))
        return Usage();
    if (p.isSet(o.read) == p.isSet(o.write) &&
        (op == QLatin1String("prl") || op == QLatin1String("eri") || op == QLatin1String("phonebook") ||
         op == QLatin1String("settings")))
        return Usage();
    if (op == QLatin1String("transfer") && p.isSet(o.backup) == p.isSet(o.restore))
        return Usage();

    if (p.isSet(o.allHandsets)) {
        QList<CPortInfo> present;
        EnumerateSerialPorts(present);
        for (const CPortInfo& info : present) {
            if (IsHandsetPortName(info.m_strFriendlyName))
                ports << CPortList::ParsePortName(info.m_strPortName);
        }
        if (ports.isEmpty()) {
            PrintError(QStringLiteral("no handset port is present (\"qpx-diag ports\" lists the ports)"));
            if (json)
                PrintRunDocument(DIAG_NO_SUCH_PORT, {});
            return DIAG_NO_SUCH_PORT;
        }
    }
    if (ports.size() == 1 && !p.isSet(o.allHandsets))
        return RunOne(o, ports.first(), json);
    return RunParallel(ports, args, json);
}
