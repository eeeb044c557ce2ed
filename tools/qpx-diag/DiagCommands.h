#pragma once
// qpx-diag: the program's core without windows. One subcommand per entry of SUBCOMMANDS; each
// takes the arguments after its name and returns the process exit code.
#include <QStringList>

#include <cstdio>

// Exit codes (also listed by "qpx-diag --help").
enum EDiagExit
{
    DIAG_OK = 0,
    DIAG_USAGE = 1,             // bad command line
    DIAG_NO_SUCH_PORT = 2,      // the COM number is not present
    DIAG_PORT_BUSY = 3,         // another program holds the port
    DIAG_PERMISSION_DENIED = 4, // the user may not open the device
    DIAG_NOT_ANSWERING = 5,     // the port opened but the handset did not answer
    DIAG_PORT_FAILED = 6        // the port could not be used for another reason (not a tty, ...)
};

struct SSubcommand
{
    const char* pszName;
    const char* pszUsage;
    const char* pszSummary;
    int (*run)(const QStringList& args);
};

int RunPorts(const QStringList& args);
int RunInfo(const QStringList& args);
int RunPlugins(const QStringList& args);
int RunOperation(const QStringList& args); // RunCommand.cpp

// Output helpers: one line each, to stdout or to stderr with the "qpx-diag: " prefix.
void PrintLine(const QString& text);
void PrintError(const QString& text);
