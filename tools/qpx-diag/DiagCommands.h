#pragma once
// qpx-diag: the program's core without windows. One subcommand per entry of SUBCOMMANDS; each
// takes the arguments after its name (without --json) and returns the process exit code.
#include <QStringList>

#include <cstdio>

class QJsonObject;

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

// The doctor's own: all well, warnings only, errors.
enum EDoctorExit
{
    DOCTOR_OK = 0,
    DOCTOR_WARNINGS = 1,
    DOCTOR_ERRORS = 2
};

struct SSubcommand
{
    const char* pszName;
    const char* pszUsage;
    const char* pszSummary;
    const char* pszHelp; // what "<command> --help" prints after the usage line
    int (*run)(const QStringList& args, bool json);
};

int RunPorts(const QStringList& args, bool json);
int RunInfo(const QStringList& args, bool json);
int RunPlugins(const QStringList& args, bool json);
int RunOperation(const QStringList& args, bool json); // RunCommand.cpp
int RunDoctor(const QStringList& args, bool json);    // DoctorCommand.cpp

// Output helpers: one line each, to stdout or to stderr with the "qpx-diag: " prefix; a JSON
// document (indented) to stdout.
void PrintLine(const QString& text);
void PrintError(const QString& text);
void PrintJson(const QJsonObject& document);
