#include "app/LumoraApp.h"
#include "app/MainFrame.h"
#include "platform/TermSignal.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KOVA QPX"));
    // The desktop matches the window to its menu entry (name, icon) by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(QPX_DESKTOP_ID));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(QPX_DESKTOP_ID)));
    QApplication::setQuitOnLastWindowClosed(true);
    // A termination request ends the run like a confirmed close, without the question; during a
    // plug-in operation the window closes once it has ended (CMainFrame). The handler is in place
    // before start-up so a request during start-up is not lost.
    CLumoraApp lumora;
    bool terminationRequested = false;
    InstallTerminationHandler([&lumora, &terminationRequested] {
        terminationRequested = true;
        if (CMainFrame* frame = lumora.MainFrame())
            frame->SetCloseWithoutQuestion(true);
        QApplication::quit();
    });
    if (!lumora.InitInstance())
        return lumora.ExitInstance(0);
    // quit() does nothing before the event loop runs: a request that came while start-up
    // handled events ends the run here.
    if (terminationRequested)
        return lumora.ExitInstance(0);
    const int code = QApplication::exec();
    return lumora.ExitInstance(code);
}
