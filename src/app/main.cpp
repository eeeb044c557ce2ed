#include "app/LumoraApp.h"
#include "platform/TermSignal.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KOVA QPX"));
    QApplication::setQuitOnLastWindowClosed(true);
    CLumoraApp lumora;
    if (!lumora.InitInstance())
        return lumora.ExitInstance(0);
    // A termination request ends the run like a confirmed close, without the question.
    InstallTerminationHandler([] { QApplication::quit(); });
    const int code = QApplication::exec();
    return lumora.ExitInstance(code);
}
