// qpx-diag: list ports, show a handset's status and versions as the program shows them, list the
// plug-ins, run plug-in operations, check the system.
//   qpx-diag ports | info --port N | plugins [--folder F] | run ... | doctor   [--json] [--help]
//   qpx-diag --help | --version
#include "DiagCommands.h"

#include "serial/PortDiscovery.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

#include <algorithm>

namespace {

const SSubcommand SUBCOMMANDS[] = {
    {"ports", "ports", "list the serial ports: COM number, device, handset=yes/no, friendly name",
     "List the serial ports as the program's discovery numbers them, sorted by COM number:\n"
     "  COM<n> <device path> handset=yes|no <friendly name>\n"
     "\noptions:\n"
     "  --json    one JSON document: {\"ports\": [{\"port\", \"number\", \"device\", \"handset\",\n"
     "            \"usb\", \"name\"}]}\n",
     RunPorts},
    {"info", "info --port N", "ask the handset on COM N for status and versions (21 lines)",
     "Ask the handset on COM N (N or COMN) for its status and versions, as the Information page and\n"
     "the version list show them: 21 lines \"Label: value\".\n"
     "\noptions:\n"
     "  --port N  the COM number (1..256)\n"
     "  --json    one JSON document with one key per line (esn, digitalMin, ... eriVersion) and\n"
     "            \"port\"; on failure {\"port\", \"error\"}\n"
     "\nexit codes: 0 success, 1 usage, 2 no such port, 3 port busy, 4 permission denied,\n"
     "            5 handset not answering, 6 port unusable\n",
     RunInfo},
    {"plugins", "plugins [--folder F]",
     "list the model plug-in catalogue (Model, DLL Version, Modified, Location, Path)",
     "List the model plug-in catalogue as the \"Select Model DLL\" page does: a heading, then one\n"
     "tab-separated line per plug-in. Without --folder the MODEL folder of the installation\n"
     "(LOCATE_DIRECTORY) is scanned.\n"
     "\noptions:\n"
     "  --folder F  scan F instead\n"
     "  --json      one JSON document: {\"folder\", \"plugins\": [{\"model\", \"dllVersion\",\n"
     "              \"modified\", \"location\", \"path\"}]}\n",
     RunPlugins},
    {"run", "run --plugin F --port N OP", "run a plug-in operation headless (several ports in parallel)",
     "usage: qpx-diag run --plugin FILE (--port N [--port N ...] | --all-handsets) OPERATION [options]\n"
     "\nRun one operation of a model plug-in without windows. Its live display is printed line by\n"
     "line (progress, status, file, address), then the result. With several ports (or\n"
     "--all-handsets: every handset port present) the operation runs on each handset at once, one\n"
     "line per port; \"%n\" in an option's value stands for the port's number (COM20: 20), so each\n"
     "handset can read into a file of its own. The exit code is the highest of the runs.\n"
     "\noperations:\n"
     "  prl       --nam 0|1|2 --file F (--read | --write)\n"
     "  eri       --file F (--read | --write)\n"
     "  bin       --bin F\n"
     "  script    --script F [--eri F] [--nam K] [--prl F]\n"
     "  upgrade   --bin F [--script F] [--eri F] [--nam K] [--prl F]\n"
     "  refurbish --bin F [--script F]\n"
     "  phonebook --csv F (--read | --write)\n"
     "  settings  --category K (--read | --write) [--rows N]\n"
     "  transfer  --mask M (--backup | --restore)\n"
     "\noptions:\n"
     "  --json    one JSON document: {\"exitCode\", \"runs\": [{\"port\", \"operation\", \"exitCode\",\n"
     "            \"result\", \"status\", \"file\", \"address\", \"minutes\", \"seconds\", \"message\",\n"
     "            \"error\", \"rows\"}]}\n"
     "\nexit codes: 0 success, 1 usage, 2 no handset port, 7 the operation failed, 8 the plug-in does\n"
     "            not offer it, 9 the plug-in cannot be loaded or never finished\n",
     RunOperation},
    {"doctor", "doctor", "check the system for the program: ports, access, ModemManager, brltty, ...",
     "Check what the program needs, one line per check (\"ok:\", \"warning:\" or \"error:\") with\n"
     "the fix: the installation folder (LOCATE_DIRECTORY with MODEL/), LOG/ writable, the\n"
     "program's lock, access to each handset port and the process holding a busy one,\n"
     "ModemManager without a rule for a handset present, brltty claiming USB serial adapters.\n"
     "\noptions:\n"
     "  --json    one JSON document: {\"exitCode\", \"errors\", \"warnings\", \"checks\": [{\"check\",\n"
     "            \"subject\", \"level\", \"text\", \"fix\"}]}\n"
     "\nexit codes: 0 all is well, 1 warnings, 2 errors\n",
     RunDoctor},
};

void PrintUsage(FILE* to)
{
    std::fprintf(to, "usage: qpx-diag <command> [options]\n\ncommands:\n");
    for (const SSubcommand& c : SUBCOMMANDS)
        std::fprintf(to, "  %-16s %s\n", c.pszUsage, c.pszSummary);
    std::fprintf(to, "\n\"qpx-diag <command> --help\" tells more; --json gives one JSON document.\n");
    std::fprintf(to, "\nexit codes: 0 success, 1 usage, 2 no such port, 3 port busy, 4 permission denied,\n"
                     "            5 handset not answering, 6 port unusable\n");
}

bool IsHelp(const QString& arg)
{
    return arg == QLatin1String("--help") || arg == QLatin1String("-h");
}

} // namespace

void PrintLine(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
}

void PrintError(const QString& text)
{
    std::fprintf(stderr, "qpx-diag: %s\n", text.toUtf8().constData());
}

void PrintJson(const QJsonObject& document)
{
    std::fputs(QJsonDocument(document).toJson(QJsonDocument::Indented).constData(), stdout);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qpx-diag"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QPX_VERSION));
    // The library's debug lines are for the program log; here the messages below say it all
    // (QT_LOGGING_RULES still turns them on).
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("qpx.*.debug=false"));
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || IsHelp(args.first())) {
        PrintUsage(args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? DIAG_USAGE : DIAG_OK;
    }
    if (args.first() == QLatin1String("--version")) {
        PrintLine(QStringLiteral("qpx-diag ") + QCoreApplication::applicationVersion());
        return DIAG_OK;
    }
    InstallPortPathResolver();
    const QString name = args.takeFirst();
    for (const SSubcommand& c : SUBCOMMANDS) {
        if (name != QLatin1String(c.pszName))
            continue;
        if (std::any_of(args.cbegin(), args.cend(), IsHelp)) {
            if (!QByteArray(c.pszHelp).startsWith("usage:"))
                std::printf("usage: qpx-diag %s [--json]\n\n", c.pszUsage);
            std::fputs(c.pszHelp, stdout);
            return DIAG_OK;
        }
        const bool json = args.removeAll(QStringLiteral("--json")) > 0;
        return c.run(args, json);
    }
    PrintError(QStringLiteral("unknown command \"%1\"").arg(name));
    PrintUsage(stderr);
    return DIAG_USAGE;
}
