#include "LumoraApp.h"

#include "app/LumoraView.h"
#include "app/MainFrame.h"
#include "core/AppSettings.h"
#include "core/WorkFolder.h"
#include "platform/Dialogs.h"
#include "platform/HostCommands.h"
#include "platform/SingleInstance.h"

#include <QApplication>
#include <QDateTime>

namespace {
constexpr int WINDOW_WIDTH = 800;
constexpr int WINDOW_HEIGHT = 707;

void SimpleMessage(const QString& text)
{
    Dialogs::MessageBox(nullptr, text, QString::fromLatin1(APP_TITLE), MB_OK, MB_ICONNONE);
}
} // namespace

CLumoraApp::CLumoraApp() = default;

CLumoraApp::~CLumoraApp() = default;

QString CLumoraApp::TitleFor(const QString& version)
{
    return QStringLiteral("KOVA QPX ") + version;
}

bool CLumoraApp::InitInstance()
{
    theSettings.Load();

    m_pInstanceLock = std::make_unique<CSingleInstanceLock>(QStringLiteral("VORTANE_MM"));
    if (m_pInstanceLock->IsHeldElsewhere() || !m_pInstanceLock->Acquire()) {
        SimpleMessage(QStringLiteral("Program is already running!"));
        return false;
    }

    if (theSettings.m_strInstallDir.isEmpty()) {
        SimpleMessage(QStringLiteral("QPX program is not properly installed. Please re-install the proram."));
        return false;
    }
    // The folder is used as a prefix for LOG/, MODEL/ and the help file.
    if (!theSettings.m_strInstallDir.endsWith(QLatin1Char('/')))
        theSettings.m_strInstallDir += QLatin1Char('/');

    m_pFrame = std::make_unique<CMainFrame>();
    m_pFrame->setCentralWidget(new CLumoraView(m_pFrame.get()));
    if (!m_pFrame->Create())
        return false;

    m_pFrame->setFixedSize(WINDOW_WIDTH, WINDOW_HEIGHT);
    m_pFrame->PlaceWindow(theSettings.m_nLastWindowX, theSettings.m_nLastWindowY);
    m_pFrame->show();
    m_pFrame->repaint();
    m_pFrame->setWindowTitle(TitleFor(theSettings.m_strVersion));
    m_bStarted = true;
    return true;
}

int CLumoraApp::ExitInstance(int frameworkExitCode)
{
    m_pFrame.reset();
    theSettings.Save();
    // The work folder goes into an archive beside it, so the next run starts without one and a
    // customer's backup survives the closed program. After a refused start the plug-in path is
    // still the one loaded from the settings and may belong to another running copy: its work
    // folder is left alone.
    if (m_bStarted)
        ArchiveTransferWorkFolder(theSettings.Get(&CAppSettings::m_strDllFile), QDateTime::currentDateTime());
    return frameworkExitCode;
}
