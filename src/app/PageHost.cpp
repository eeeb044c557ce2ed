#include "PageHost.h"

#include "app/ComPortPage.h"
#include "app/FunctionListPanel.h"
#include "app/MainFrame.h"
#include "core/AppSettings.h"
#include "handset/ConnectionStrip.h"
#include "handset/InfoPage.h"
#include "pages/MemoryTransferPage.h"
#include "pages/OperationLog.h"
#include "pages/PhoneBookPage.h"
#include "pages/SettingsPage.h"
#include "pages/UpgradePage.h"
#include "platform/Dialogs.h"
#include "platform/HostCommands.h"
#include "plugin/ModelDllDialog.h"
#include "plugin/PluginRun.h"

CPageHost::CPageHost(QWidget* parent, CMainFrame* frame)
    : CPageBase(parent, QRect(0, 0, HOST_WIDTH, HOST_HEIGHT)), m_pFrame(frame)
{
    setObjectName(QStringLiteral("pageHost"));
    // The bar may be dragged thinner than the pages; they are clipped, not squeezed.
    setMinimumSize(0, 0);
    // Children are laid out once from the creation size.
    const int w = HOST_WIDTH, h = HOST_HEIGHT;
    const QRect pageRect(205, 130, w - 215, h);
    m_pPanel = new CFunctionListPanel(this, QRect(1, 1, 200, h));
    m_pUpgrade = new CUpgradePage(this, *this, pageRect);
    m_pInfo = new CInfoPage(this, pageRect);
    m_pTransfer = new CMemoryTransferPage(this, *this, pageRect);
    m_pModelDll = new CModelDllDialog(this, pageRect);
    m_pComPort = new CComPortPage(this, pageRect);
    m_pSettings = new CSettingsPage(this, *this, pageRect);
    m_pPhoneBook = new CPhoneBookPage(this, *this, pageRect);
    m_pStrip = new CConnectionStrip(this, frame, this, m_pModelDll->Selection(), QRect(205, 0, w - 215, 125));
    m_pages = {m_pUpgrade, m_pInfo, m_pTransfer, m_pModelDll, m_pComPort, m_pSettings, m_pPhoneBook};
    m_operationPages = {m_pUpgrade, m_pSettings, m_pPhoneBook, m_pTransfer};

    connect(m_pPanel, &CFunctionListPanel::buttonClicked, this, &CPageHost::OnPanelButton);
    connect(m_pModelDll, &CModelDllDialog::modelImageChanged, m_pPanel, &CFunctionListPanel::SetModelImage);

    m_pStrip->show();
    m_pPanel->show();
    ShowPage(m_pInfo);
    m_pPanel->MarkCurrent(CFunctionListPanel::ID_INFO);
}

CPageHost::~CPageHost()
{
    LogUnfinishedOperation();
    // The worker must not outlive the windows it reports to.
    if (m_pStrip)
        m_pStrip->StopLink(LINK_STOP_CLOSING);
}

QWidget* CPageHost::CurrentPage() const
{
    for (QWidget* p : m_pages) {
        if (p->isVisibleTo(const_cast<CPageHost*>(this)))
            return p;
    }
    return nullptr;
}

void CPageHost::ShowPage(QWidget* page)
{
    for (QWidget* p : std::as_const(m_pages)) {
        if (p != page)
            p->hide();
    }
    page->show();
    page->raise();
    RaiseScrollBars();
}

void CPageHost::ShowUpgrade(int operation)
{
    m_pUpgrade->SelectOperation(operation);
    ShowPage(m_pUpgrade);
    // Refurbish has no button of its own to mark.
    static const int marks[] = {CFunctionListPanel::ID_UPGRADE, CFunctionListPanel::ID_BIN,
                                CFunctionListPanel::ID_SCRIPT, CFunctionListPanel::ID_PRL,
                                CFunctionListPanel::ID_ERI};
    if (operation >= OP_UPGRADE && operation <= OP_ERI)
        m_pPanel->MarkCurrent(marks[operation - OP_UPGRADE]);
}

void CPageHost::customEvent(QEvent* event)
{
    // The status response is the payload of HC_PHONE_STATUS, exactly as long as the handset's
    // answer; OnMessage would see only its address.
    if (event->type() == CMessageEvent::EventType()) {
        auto* msg = static_cast<CMessageEvent*>(event);
        if (msg->Message() == WM_HOST_COMMAND && LoWord(msg->WParam()) == HC_PHONE_STATUS) {
            // A status that a stopped or replaced worker had queued is another handset's.
            if (!m_pStrip->IsFromReplacedWorker(msg->WParam()))
                OnPhoneStatus(msg->Payload());
            m_handled.append(HC_PHONE_STATUS);
            return;
        }
    }
    CPageBase::customEvent(event);
}

LRESULT CPageHost::OnMessage(quint32 msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != WM_HOST_COMMAND)
        return 0;
    OnHostCommand(LoWord(wParam), lParam);
    return 0;
}

void CPageHost::ForgetHandset()
{
    m_pInfo->ResetList();
    m_strEsn.clear();
    m_strDigitalMin.clear();
    m_strAnalogMin.clear();
}

void CPageHost::OnPhoneStatus(const QByteArray& response)
{
    m_pInfo->FillFromStatus(response);
    m_strEsn = m_pInfo->ValueText(0);
    m_strDigitalMin = m_pInfo->ValueText(1);
    m_strAnalogMin = m_pInfo->ValueText(2);
}

void CPageHost::OnHostCommand(quint32 code, LPARAM arg)
{
    m_handled.append(code);
    // A handset in download mode takes no operation but a firmware write (ShowDownloadMode).
    const bool dllSelected = IsDllSelected(theSettings.Get(&CAppSettings::m_strDllFile)) && !m_bDownloadMode;
    switch (code) {
    case HC_SELECT_MODEL_DLL:
        m_pModelDll->FillList();
        ShowPage(m_pModelDll);
        m_pPanel->SetPanelState(PANEL_SELECT_DLL);
        break;
    case HC_SELECT_PORT:
        m_pComPort->Refresh();
        ShowPage(m_pComPort);
        m_pPanel->SetPanelState(PANEL_SELECT_PORT);
        break;
    case HC_UPGRADE:
        ShowUpgrade(OP_UPGRADE);
        break;
    case HC_BIN:
        ShowUpgrade(OP_BIN);
        break;
    case HC_SCRIPT:
        ShowUpgrade(OP_SCRIPT);
        break;
    case HC_PRL:
        ShowUpgrade(OP_PRL);
        break;
    case HC_ERI:
        ShowUpgrade(OP_ERI);
        break;
    case HC_REFURBISH:
        ShowUpgrade(OP_REFURBISH);
        break;
    case HC_SETTINGS:
        m_pSettings->EnableStart(dllSelected);
        ShowPage(m_pSettings);
        m_pPanel->MarkCurrent(CFunctionListPanel::ID_SETTING);
        break;
    case HC_TRANSFER:
        m_pTransfer->EnableStart(dllSelected);
        ShowPage(m_pTransfer);
        m_pPanel->MarkCurrent(CFunctionListPanel::ID_TRANSFER);
        break;
    case HC_INFORMATION:
        ShowPage(m_pInfo);
        m_pPanel->MarkCurrent(CFunctionListPanel::ID_INFO);
        break;
    case HC_PHONEBOOK:
        m_pPhoneBook->EnableStart(dllSelected);
        ShowPage(m_pPhoneBook);
        m_pPanel->MarkCurrent(CFunctionListPanel::ID_PHONEBOOK);
        break;
    case HC_PORT_RESULT: {
        const int port = static_cast<int>(arg);
        if (port == -1) {
            PostMessage(m_pStrip, WM_LINK_COMMAND, LC_STOP, 0);
            m_pComPort->Refresh();
            m_pModelDll->SetListEnabled(false);
            m_pModelDll->FillList();
            m_pSettings->EnableStart(false);
            m_pPhoneBook->EnableStart(false);
            m_pUpgrade->EnableStart(false);
            m_pTransfer->EnableStart(false);
            m_pStrip->ResetVersionList(true);
            m_pUpgrade->ResetStatus();
            m_pSettings->ResetStatus();
            m_pTransfer->ResetStatus();
            m_pPhoneBook->ResetStatus();
        } else {
            // A new connection: the worker still running stops first, so nothing it had queued
            // and nothing of its handset is shown or logged after this point.
            m_pStrip->StopLink(LINK_STOP_IDLE);
            ForgetHandset();
            PostMessage(m_pStrip, WM_LINK_COMMAND, LC_START, port);
            m_pUpgrade->EnableStart(dllSelected);
            m_pComPort->Refresh();
            m_pModelDll->SetListEnabled(true);
            m_pModelDll->FillList();
            m_pSettings->EnableStart(true);
            m_pPhoneBook->OnPortFound();
            m_pTransfer->EnableStart(true);
        }
        break;
    }
    case HC_DISCONNECTED:
        PostMessage(m_pFrame, WM_FRAME_STATUS, FS_RESET, 0);
        m_pInfo->ResetList();
        theSettings.Set(&CAppSettings::m_strDllFile, QString());
        m_pSettings->RebuildCatalogue();
        break;
    case HC_PORTS_CHANGED:
        m_pComPort->Refresh();
        m_pModelDll->FillList();
        break;
    case HC_PORT_REMOVED:
        m_pStrip->StopLink(LINK_STOP_IDLE);
        m_pUpgrade->EnableStart(false);
        break;
    case HC_PORT_SELECTED:
        m_pStrip->ResetVersionList(true);
        ForgetHandset();
        break;
    default:
        break;
    }
}

void CPageHost::OnPanelButton(int id)
{
    switch (id) {
    case CFunctionListPanel::ID_INFO:
        m_pPanel->SetPanelState(PANEL_MAIN);
        ShowPage(m_pInfo);
        break;
    case CFunctionListPanel::ID_UPGRADE:
        ShowUpgrade(OP_UPGRADE);
        break;
    case CFunctionListPanel::ID_BIN:
        ShowUpgrade(OP_BIN);
        break;
    case CFunctionListPanel::ID_SCRIPT:
        ShowUpgrade(OP_SCRIPT);
        break;
    case CFunctionListPanel::ID_PRL:
        m_pPanel->SetPanelState(PANEL_MAIN);
        ShowUpgrade(OP_PRL);
        break;
    case CFunctionListPanel::ID_ERI:
        m_pPanel->SetPanelState(PANEL_MAIN);
        ShowUpgrade(OP_ERI);
        break;
    case CFunctionListPanel::ID_SETTING:
        m_pPanel->SetPanelState(PANEL_MAIN);
        OnHostCommand(HC_SETTINGS, 0);
        break;
    case CFunctionListPanel::ID_TRANSFER:
        m_pPanel->SetPanelState(PANEL_MAIN);
        OnHostCommand(HC_TRANSFER, 0);
        break;
    case CFunctionListPanel::ID_PHONEBOOK:
        OnHostCommand(HC_PHONEBOOK, 0);
        break;
    case CFunctionListPanel::ID_CANCEL:
        m_pPanel->SetPanelState(PANEL_MAIN);
        ShowPage(m_pInfo);
        m_pPanel->MarkCurrent(CFunctionListPanel::ID_INFO);
        break;
    case CFunctionListPanel::ID_OK:
        OnPanelOk();
        break;
    default:
        break;
    }
}

void CPageHost::OnPanelOk()
{
    if (theSettings.m_bSelectingModelDll == 1) {
        if (!m_pModelDll->HasHotRow()) {
            Dialogs::MessageBox(this, QStringLiteral("Select model dll."), QString::fromLatin1(APP_TITLE));
            return;
        }
        m_pModelDll->ApplyModelChoice();
        theSettings.m_bAutoModelDll = 0;
        if (m_pFrame)
            m_pFrame->UpdateSelectModelButton();
    } else {
        const int port = m_pComPort->CheckedPort();
        if (port != -1) {
            m_pStrip->StopLink(LINK_STOP_IDLE);
            m_pFrame->SelectPort(port);
        }
    }
    m_pPanel->SetPanelState(PANEL_MAIN);
    ShowPage(m_pInfo);
    m_pPanel->MarkCurrent(CFunctionListPanel::ID_INFO);
}

void CPageHost::EnableStartControls(bool enable)
{
    m_pUpgrade->EnableStart(enable);
    m_pSettings->EnableStart(enable);
    m_pPhoneBook->EnableStart(enable);
    m_pTransfer->EnableStart(enable);
}

void CPageHost::DisableAfterConnectFailed()
{
    m_pUpgrade->EnableStart(false);
    m_pPhoneBook->EnableModeRadios(false);
    m_pSettings->EnableStart(false);
    m_pTransfer->EnableStart(false);
}

void CPageHost::ShowDownloadMode(bool canStart)
{
    m_bDownloadMode = true;
    m_pSettings->EnableStart(false);
    m_pPhoneBook->EnableStart(false);
    m_pTransfer->EnableStart(false);
    m_pUpgrade->SetFirmwareOnly(true);
    m_pUpgrade->EnableStart(canStart);
}

void CPageHost::EndDownloadMode()
{
    m_bDownloadMode = false;
    m_pUpgrade->SetFirmwareOnly(false);
}

QString CPageHost::SelectedCatalogueVersion() const
{
    return m_pModelDll->SelectedVersionText();
}

void CPageHost::StopLink(ELinkStop mode)
{
    m_pStrip->StopLink(mode);
}

void CPageHost::BeginRun(int operation)
{
    m_nOperation = operation;
    if (m_pFrame)
        m_pFrame->EnableToolbar(false);
    m_pPanel->EnableMainButtons(false);
    for (COperationPage* page : m_operationPages) {
        if (!page->RunsOperation(operation))
            page->ApplyRunLock(operation);
    }
    m_pStrip->StopLink(LINK_STOP_OPERATION);
}

void CPageHost::EndRun(int operation)
{
    if (m_pFrame)
        m_pFrame->EnableToolbar(true);
    m_pPanel->EnableMainButtons(true);
    for (COperationPage* page : m_operationPages) {
        if (!page->RunsOperation(operation))
            page->ReleaseRunLock(operation);
    }
}

void CPageHost::Reconnect()
{
    if (m_pFrame)
        m_pFrame->SelectPort(theSettings.m_nPortNum);
}

QString CPageHost::HandsetSoftwareVersion() const
{
    return m_pStrip->VersionStrings().strSwVersion;
}

void CPageHost::WriteOperationLog(const OperationResult& result)
{
    const SVersionStrings v = m_pStrip->VersionStrings();
    SHandsetTexts texts;
    texts.strEsn = m_strEsn;
    texts.strDigitalMin = m_strDigitalMin;
    texts.strAnalogMin = m_strAnalogMin;
    texts.strCompileDate = v.strCompileDate;
    texts.strReleaseDate = v.strReleaseDate;
    texts.strSwVersion = v.strSwVersion;
    texts.strMsmVersion = v.strMsmVersion;
    texts.strPrlVersion = v.strPrlVersion;
    texts.strEriVersion = v.strEriVersion;
    ::WriteOperationLog(result, m_nOperation, texts, m_bLogHandsetInfo, theSettings.m_strInstallDir,
                        theSettings.m_nPortNum, theSettings.Get(&CAppSettings::m_strModelName),
                        theSettings.m_nLastDirection, m_pTransfer->Mode());
}

void CPageHost::LogUnfinishedOperation()
{
    // Its plug-in stays loaded (CPluginRun), so the thread it started ends on its own.
    if (const CPluginRun* run = CPluginRun::RunInProgress())
        WriteOperationLog(UnfinishedOperationResult(run->ElapsedMs()));
}
