#pragma once
// The application object: start-up (settings, single instance, installation check, main
// window) and exit (settings saved, memory-transfer work folder archived).
#include <QString>

#include <memory>

class CMainFrame;
class CSingleInstanceLock;

class CLumoraApp
{
public:
    CLumoraApp();
    ~CLumoraApp();

    // True when the program should run its event loop.
    bool InitInstance();
    // Returns the exit code.
    int ExitInstance(int frameworkExitCode);

    CMainFrame* MainFrame() const { return m_pFrame.get(); }
    // Title text of the main window ("KOVA QPX " + version).
    static QString TitleFor(const QString& version);

private:
    std::unique_ptr<CSingleInstanceLock> m_pInstanceLock;
    std::unique_ptr<CMainFrame> m_pFrame;
    bool m_bStarted = false;
};
