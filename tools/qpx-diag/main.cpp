// qpx-diag: list ports, show a handset's status and versions as the program shows them.
//   qpx-diag ports
//   qpx-diag info --port N
//   qpx-diag plugins [--folder F]
#include "DiagCommands.h"

#include "serial/PortDiscovery.h"

#include <QCoreApplication>
#include <QLoggingCategory>

namespace {

const SSubcommand SUBCOMMANDS[] = {
    {"ports", "ports", "list the serial ports: COM number, device, handset=yes/no, friendly name", RunPorts},
    {"info", "info --port N", "ask the handset on COM N for status and versions (21 lines)", RunInfo},
    {"plugins", "plugins [--folder F]",
     "list the model plug-in catalogue (Model, DLL Version, Modified, Location, Path)", RunPlugins},
    {"run", "run --plugin F --port N OP", "run a plug-in operation headless (see RunCommand.cpp)", RunOperation},
};

void PrintUsage(FILE* to)
{
    std::fprintf(to, "usage: qpx-diag <command> [options]\n\ncommands:\n");
    for (const SSubcommand& c : SUBCOMMANDS)
        std::fprintf(to, "  %-16s %s\n", c.pszUsage, c.pszSummary);
    std::fprintf(to, "\nexit codes: 0 success, 1 usage, 2 no such port, 3 port busy, 4 permission denied,\n"
                     "            5 handset not answering, 6 port unusable\n");
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

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qpx-diag"));
    // The library's debug lines are for the program log; here the messages below say it all
    // (QT_LOGGING_RULES still turns them on).
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("qpx.*.debug=false"));
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        PrintUsage(args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? DIAG_USAGE : DIAG_OK;
    }
    InstallPortPathResolver();
    const QString name = args.takeFirst();
    for (const SSubcommand& c : SUBCOMMANDS)
        if (name == QLatin1String(c.pszName))
            return c.run(args);
    PrintError(QStringLiteral("unknown command \"%1\"").arg(name));
    PrintUsage(stderr);
    return DIAG_USAGE;
}
