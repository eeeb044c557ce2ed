#include "MainFrame.h"

#include "app/FunctionListBar.h"
#include "app/PageHost.h"
#include "controls/SkinToolBar.h"
#include "core/AppSettings.h"
#include "core/ProgramLog.h"
#include "handset/ConnectionStrip.h"
#include "handset/PortRefusal.h"
#include "platform/Dialogs.h"
#include "platform/HostCommands.h"
#include "platform/ModemManagerInhibitor.h"
#include "plugin/PluginRun.h"
#include "res/Pictures.h"
#include "serial/PortDiscovery.h"
#include "serial/PortWatcher.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QLabel>
#include <QLoggingCategory>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <cstring>

namespace {

Q_LOGGING_CATEGORY(lcApp, "qpx.app")

// How often a termination request that waits for an operation looks whether it has ended.
constexpr int IDLE_CHECK_MS = 100;

struct SToolButton
{
    int nId;          // 0 for a separator
    quint32 nCommand; // host command, 0 for the buttons with their own handling
};

// Left to right, as drawn in the toolbar picture (Res::IDB_TOOLBAR).
constexpr SToolButton TOOL_BUTTONS[] = {
    {ID_SELECT_MODEL, 0},
    {0, 0},
    {ID_SELECT_PORT, HC_SELECT_PORT},
    {0, 0},
    {ID_INFO, HC_INFORMATION},
    {ID_UPGRADE, HC_UPGRADE},
    {ID_BIN, HC_BIN},
    {ID_SCRIPT, HC_SCRIPT},
    {ID_PRL, HC_PRL},
    {ID_ERI, HC_ERI},
    {ID_SETTING, HC_SETTINGS},
    {ID_PHONEBOOK, HC_PHONEBOOK},
    {ID_TRANSFER, HC_TRANSFER},
    {ID_REFURBISH, HC_REFURBISH},
    {0, 0},
    {ID_HELP, 0},
};

constexpr QRgb MAGENTA = 0xFF00FF;

QString PortText(int port, bool padded)
{
    if (port == -1)
        return QStringLiteral("PORT : Not Connected ");
    return QStringLiteral("PORT : COM%1").arg(port) + (padded ? QStringLiteral("   ") : QString());
}

} // namespace

CMainFrame::CMainFrame()
{
    setObjectName(QStringLiteral("mainFrame"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowNestedDocks);
}

CMainFrame::~CMainFrame()
{
    // The pages go after this body; a run they abandon then tells nobody.
    CPluginRun::SetRunHooks({}, {});
}

CPageHost* CMainFrame::PageHost() const
{
    return m_pFunctionBar ? m_pFunctionBar->PageHost() : nullptr;
}

bool CMainFrame::Create()
{
    CreateToolBar();
    CreateStatusPanes();
    theSettings.Set(&CAppSettings::m_strDllFile, QStringLiteral("N/A"));

    m_pFunctionBar = new CFunctionListBar(this);
    if (!m_pFunctionBar->CreateBar())
        return false;
    InstallPortPathResolver();
    m_pInhibitor = std::make_unique<CModemManagerInhibitor>();
    CPluginRun::SetRunHooks([this] { m_pInhibitor->Inhibit(DevicePathOfPort(theSettings.m_nPortNum)); },
                            [this] { m_pInhibitor->Release(); });

    m_pPortWatcher = new CPortWatcher(this);
    connect(m_pPortWatcher, &CPortWatcher::portArrived, this,
            [this](const QString& n) { OnDeviceChange(true, n); });
    connect(m_pPortWatcher, &CPortWatcher::portRemoved, this,
            [this](const QString& n) { OnDeviceChange(false, n); });

    {
        QMutexLocker lock(&theSettings.m_lock);
        theSettings.m_portList.RemoveAll();
        CollectHandsetPorts(theSettings.m_portList);
    }
    AutoSelectPort();

    theSettings.m_strVersion = QString::fromLatin1(PROGRAM_VERSION);
    m_strVersion = theSettings.m_strVersion;
    WriteStartOfRunLog(theSettings.m_strInstallDir, theSettings.m_strVersion);
    return true;
}

void CMainFrame::CreateToolBar()
{
    m_pToolBar = new CSkinToolBar(this);
    m_pToolBar->setObjectName(QStringLiteral("mainToolBar"));
    m_pToolBar->setWindowTitle(QStringLiteral("Toolbar"));
    m_pToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    QList<bool> separators;
    for (const SToolButton& b : TOOL_BUTTONS) {
        if (b.nId == 0) {
            m_pToolBar->addSeparator();
            separators.append(true);
            continue;
        }
        QAction* act = m_pToolBar->addAction(QString());
        act->setData(b.nId);
        act->setObjectName(QStringLiteral("toolbar%1").arg(b.nId));
        connect(act, &QAction::triggered, this, [this, id = b.nId] { OnToolbarCommand(id); });
        m_actions.insert(b.nId, act);
        separators.append(false);
    }
    m_pToolBar->LoadTrueColorImages(LoadBitmap(Res::IDB_TOOLBAR), MAGENTA, separators);
    // The toolbar has no texts; screen readers read the captions drawn in its picture.
    const QList<const char*>& captions = Pictures::ToolbarCaptions();
    qsizetype n = 0;
    for (const SToolButton& b : TOOL_BUTTONS) {
        if (b.nId != 0 && n < captions.size())
            m_pToolBar->widgetForAction(m_actions.value(b.nId))
                ->setAccessibleName(QString::fromLatin1(captions.at(n++)));
    }
    addToolBar(Qt::TopToolBarArea, m_pToolBar);
    UpdateSelectModelButton();
}

void CMainFrame::CreateStatusPanes()
{
    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("statusBar"));
    setStatusBar(bar);
    const struct
    {
        int nId;
        QString strText;
        int nStretch;
    } panes[] = {
        {ID_PANE_PORT, QStringLiteral("PORT : COM") + QString(15, QLatin1Char(' ')), 0},
        {ID_PANE_MODEL, QStringLiteral("Model :") + QString(28, QLatin1Char(' ')), 0},
        {ID_PANE_DLL, QStringLiteral("DLL :") + QString(220, QLatin1Char(' ')), 1},
    };
    for (const auto& p : panes) {
        auto* label = new QLabel(p.strText, bar);
        label->setObjectName(QStringLiteral("pane%1").arg(p.nId));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setTextFormat(Qt::PlainText);
        if (p.nStretch == 0)
            label->setMinimumWidth(label->fontMetrics().horizontalAdvance(p.strText) + 8);
        else
            label->setMinimumWidth(40);
        bar->addWidget(label, p.nStretch);
        m_panes.insert(p.nId, label);
    }
}

void CMainFrame::SetPane(int paneId, const QString& text)
{
    if (QLabel* label = m_panes.value(paneId))
        label->setText(text);
}

QString CMainFrame::PaneText(int paneId) const
{
    const QLabel* label = m_panes.value(paneId);
    return label ? label->text() : QString();
}

QString CMainFrame::DllText(bool withVersion, bool checkSelected) const
{
    const QString dll = theSettings.Get(&CAppSettings::m_strDllFile);
    QString text = QStringLiteral("DLL : ") + dll;
    if (withVersion && (!checkSelected || IsDllSelected(dll)))
        text += QStringLiteral(" (V") + theSettings.Get(&CAppSettings::m_strDllVersion) + QLatin1Char(')');
    return text;
}

void CMainFrame::AutoSelectPort()
{
    QThread::msleep(100);
    int port;
    {
        QMutexLocker lock(&theSettings.m_lock);
        port = theSettings.m_portList.GetAt(0);
    }
    m_nCurPort = port;
    theSettings.m_nPortNum = port;
    m_strRefusedPort.clear();
    const QString portText = PortText(port, true);
    if (m_pFunctionBar)
        PostMessage(m_pFunctionBar, WM_HOST_COMMAND, HC_PORT_RESULT, port);
    SetPane(ID_PANE_DLL, DllText(true, true));
    SetPane(ID_PANE_PORT, portText);
}

void CMainFrame::SelectPort(int port)
{
    int chosen = -1;
    {
        QMutexLocker lock(&theSettings.m_lock);
        if (theSettings.m_portList.Find(port) >= 0)
            chosen = port;
    }
    if (chosen == -1) {
        CPortList present;
        CollectAllPorts(present);
        if (port != 0 && present.Find(port) >= 0)
            chosen = port;
    }
    m_nCurPort = chosen;
    theSettings.m_nPortNum = chosen;
    m_strRefusedPort.clear();
    const QString portText = PortText(chosen, true);
    const QString dllText = chosen == -1 ? DllText(false, false) : DllText(true, false);
    if (m_pFunctionBar) {
        PostMessage(m_pFunctionBar, WM_HOST_COMMAND, HC_PORT_SELECTED, chosen);
        PostMessage(m_pFunctionBar, WM_HOST_COMMAND, HC_PORT_RESULT, chosen);
    }
    SetPane(ID_PANE_PORT, portText);
    SetPane(ID_PANE_DLL, dllText);
}

void CMainFrame::OnDeviceChange(bool arrival, const QString& portName)
{
    const int port = CPortList::ParsePortName(portName);
    if (arrival) {
        CPortList present;
        CollectAllPorts(present);
        if (port != -1 && present.Find(port) >= 0) {
            QMutexLocker lock(&theSettings.m_lock);
            theSettings.m_portList.AddUnique(port);
        }
    } else {
        QMutexLocker lock(&theSettings.m_lock);
        theSettings.m_portList.Remove(port);
    }
    if (theSettings.m_bBusy == 1)
        return;
    if (m_nCurPort == -1) {
        AutoSelectPort();
    } else if (port == m_nCurPort) {
        PostMessage(m_pFunctionBar, WM_HOST_COMMAND, HC_PORT_REMOVED, 0);
        AutoSelectPort();
    } else {
        PostMessage(m_pFunctionBar, WM_HOST_COMMAND, HC_PORTS_CHANGED, 0);
    }
}

void CMainFrame::customEvent(QEvent* event)
{
    if (!DispatchMessageEvent(this, event))
        QMainWindow::customEvent(event);
}

LRESULT CMainFrame::OnMessage(quint32 msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != WM_FRAME_STATUS)
        return 0;
    // Codes that a stopped or replaced connection worker had queued describe another link.
    CPageHost* host = PageHost();
    if (host == nullptr || !host->Strip()->IsFromReplacedWorker(wParam))
        OnFrameStatus(LoWord(wParam), lParam);
    return 0;
}

void CMainFrame::OnFrameStatus(quint32 code, LPARAM arg)
{
    FollowDownloadMode(LoWord(code));
    switch (LoWord(code)) {
    case FS_MODEL_READY: {
        CPageHost* host = PageHost();
        theSettings.Set(&CAppSettings::m_strDllVersion, host ? host->SelectedCatalogueVersion() : QString());
        const QString dll = theSettings.Get(&CAppSettings::m_strDllFile);
        const QString dllText = IsDllSelected(dll) ? DllText(true, false) : QStringLiteral("DLL : N/A");
        const bool enable = IsDllSelected(dll) && theSettings.m_bBusy != 1 && theSettings.m_nPortNum != -1;
        if (host)
            host->EnableStartControls(enable);
        const QString model = theSettings.Get(&CAppSettings::m_strModelName);
        const QString modelText =
            model.isEmpty() ? QStringLiteral("MODEL : N/A") : QStringLiteral("MODEL : ") + model;
        SetPane(ID_PANE_PORT, QStringLiteral("PORT : COM%1").arg(theSettings.m_nPortNum.load()));
        SetPane(ID_PANE_DLL, dllText);
        SetPane(ID_PANE_MODEL, modelText);
        break;
    }
    case FS_RESET:
        SetPane(ID_PANE_PORT, NotConnectedPortText());
        SetPane(ID_PANE_DLL, QStringLiteral("DLL : N/A"));
        SetPane(ID_PANE_MODEL, QStringLiteral("MODEL : N/A"));
        break;
    case FS_TRYING_PORT:
        m_strRefusedPort.clear();
        theSettings.m_nPortNum = static_cast<qint32>(arg);
        SetPane(ID_PANE_PORT, QStringLiteral("PORT : COM%1").arg(static_cast<qint32>(arg)));
        SetPane(ID_PANE_DLL, QStringLiteral("DLL : Connecting..."));
        SetPane(ID_PANE_MODEL, QStringLiteral("MODEL : Connecting..."));
        break;
    case FS_CONNECTING:
        SetPane(ID_PANE_DLL, QStringLiteral("DLL : Connecting..."));
        SetPane(ID_PANE_MODEL, QStringLiteral("MODEL : Connecting..."));
        break;
    case FS_PORT_CLEARED:
        m_nCurPort = -1;
        theSettings.m_nPortNum = -1;
        break;
    case FS_CONNECT_FAILED:
        m_nCurPort = -1;
        theSettings.m_nPortNum = -1;
        if (CPageHost* host = PageHost())
            host->DisableAfterConnectFailed();
        break;
    case FS_DOWNLOAD_MODE:
        OnDownloadMode(static_cast<qint32>(arg));
        break;
    case FS_PORT_REFUSED:
        if (arg != 0) { // the payload: a copy of the worker's record
            SPortRefusal refusal;
            std::memcpy(&refusal, reinterpret_cast<const void*>(arg), sizeof refusal);
            OnPortRefused(refusal);
        }
        break;
    default:
        break;
    }
}

void CMainFrame::OnPortRefused(const SPortRefusal& refusal)
{
    m_strRefusedPort = PortRefusalPaneText(refusal);
    SetPane(ID_PANE_PORT, m_strRefusedPort);
    const qint64 key = (static_cast<qint64>(refusal.nPort) << 8) | (refusal.nError & 0xFF);
    if (m_toldRefusals.contains(key))
        return;
    m_toldRefusals.insert(key);
    const QString text = PortRefusalMessage(refusal);
    WritePortProblemLog(theSettings.m_strInstallDir, refusal.nPort, text);
    Dialogs::MessageBox(this, text, QString::fromLatin1(APP_TITLE), MB_OK, MB_ICONEXCLAMATION);
}

// After a refused port the pane keeps saying why until another port is chosen or opens.
QString CMainFrame::NotConnectedPortText() const
{
    return m_strRefusedPort.isEmpty() ? QStringLiteral("PORT : Not Connected ") : m_strRefusedPort;
}

void CMainFrame::OnDownloadMode(int port)
{
    // The handset cannot tell its software, so only a plug-in chosen by hand may write it.
    const QString dll = theSettings.Get(&CAppSettings::m_strDllFile);
    const bool chosen = theSettings.m_bAutoModelDll == 0 && IsDllSelected(dll);
    m_bDownloadMode = true;
    if (CPageHost* host = PageHost())
        host->ShowDownloadMode(chosen && theSettings.m_bBusy != 1 && port != -1);
    SetPane(ID_PANE_PORT, QStringLiteral("PORT : COM%1").arg(port));
    SetPane(ID_PANE_DLL, chosen ? DllText(true, false) : QStringLiteral("DLL : N/A"));
    SetPane(ID_PANE_MODEL, QStringLiteral("MODEL : Handset in download mode"));
}

void CMainFrame::FollowDownloadMode(quint32 code)
{
    if (!m_bDownloadMode ||
        (code != FS_MODEL_READY && code != FS_TRYING_PORT && code != FS_CONNECTING && code != FS_RESET))
        return;
    m_bDownloadMode = false;
    if (CPageHost* host = PageHost())
        host->EndDownloadMode();
}

void CMainFrame::OnToolbarCommand(int id)
{
    if (id == ID_SELECT_MODEL) {
        if (theSettings.m_bAutoModelDll == 0)
            theSettings.m_bAutoModelDll = 1;
        else
            PostMessage(m_pFunctionBar, WM_HOST_COMMAND, HC_SELECT_MODEL_DLL, 0);
        UpdateSelectModelButton();
        return;
    }
    if (id == ID_HELP) {
        // Without a program for the document the user at least learns where it is.
        const QString help = theSettings.m_strInstallDir + QStringLiteral("QPX.CHM");
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(help)))
            Dialogs::MessageBox(
                this, QStringLiteral("No program could open the help document. It is here:\n\n") + help,
                QString::fromLatin1(APP_TITLE), MB_OK, MB_ICONEXCLAMATION);
        return;
    }
    for (const SToolButton& b : TOOL_BUTTONS) {
        if (b.nId == id && b.nCommand != 0)
            PostMessage(m_pFunctionBar, WM_HOST_COMMAND, b.nCommand, 0);
    }
}

void CMainFrame::UpdateSelectModelButton()
{
    // The button stays usable in both modes (it is the only way to the plug-in page); while a
    // plug-in chosen by hand is in force it shows pressed, and a click returns to automatic choice.
    if (QAction* act = m_actions.value(ID_SELECT_MODEL)) {
        act->setCheckable(true);
        act->setChecked(theSettings.m_bAutoModelDll == 0);
    }
}

void CMainFrame::EnableToolbar(bool enable)
{
    if (m_pToolBar)
        m_pToolBar->setEnabled(enable);
}

void CMainFrame::PlaceWindow(int x, int y)
{
    m_bPlacing = true;
    move(x, y);
    m_bPlacing = false;
}

void CMainFrame::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    // Only the user moves a window that is on screen: where the window system puts it before it
    // first shows it (a window manager's placement) is not a position the user chose.
    if (m_bPlacing || !isVisible() || !windowHandle() || !windowHandle()->isExposed())
        return;
    const QRect frame = frameGeometry();
    theSettings.m_nLastWindowX = frame.x();
    theSettings.m_nLastWindowY = frame.y();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // A plug-in operation is never cut short by the program's end: a firmware write interrupted
    // halfway can leave the handset unusable.
    if (theSettings.m_bBusy == 1) {
        event->ignore();
        if (m_bCloseWithoutQuestion)
            CloseWhenIdle();
        else
            Dialogs::MessageBox(this,
                                QStringLiteral("An operation is running. Wait until it has finished before "
                                               "closing the program: interrupting a write can leave the "
                                               "handset unusable."),
                                QString::fromLatin1(APP_TITLE), MB_OK, MB_ICONEXCLAMATION);
        return;
    }
    if (!m_bCloseWithoutQuestion &&
        Dialogs::MessageBox(this, QStringLiteral("Exit the program?"), QStringLiteral("Confirm"), MB_YESNO,
                            MB_ICONQUESTION) != IDYES) {
        event->ignore();
        return;
    }
    if (CPageHost* host = PageHost())
        host->StopLink(LINK_STOP_CLOSING);
    event->accept();
}

void CMainFrame::CloseWhenIdle()
{
    if (m_pIdleCloser != nullptr)
        return;
    qCWarning(lcApp)
        << "termination requested while an operation runs: the program ends when it has finished";
    m_pIdleCloser = new QTimer(this);
    connect(m_pIdleCloser, &QTimer::timeout, this, [this] {
        if (theSettings.m_bBusy == 1)
            return;
        m_pIdleCloser->stop();
        qCWarning(lcApp) << "the operation has finished: the program ends";
        close();
    });
    m_pIdleCloser->start(IDLE_CHECK_MS);
}
