#pragma once
// The page host: the container inside the "Function List" bar and the switchboard of the
// program. It owns the function list panel, the connection strip and every page, creates them
// once and only shows and hides them. Toolbar, panel, frame and connection code drive it with
// WM_HOST_COMMAND. The operation pages reach it through IPageServices: the start and end of a
// run, the operation log, the reconnection.
#include "controls/PageBase.h"
#include "pages/PageServices.h"

#include "qpx_plugin.h"

#include <QList>

#include <array>

class CMainFrame;
class CConnectionStrip;
class CFunctionListPanel;
class CUpgradePage;
class CInfoPage;
class CMemoryTransferPage;
class CModelDllDialog;
class CComPortPage;
class CSettingsPage;
class CPhoneBookPage;
class COperationPage;
enum ELinkStop : int;

class CPageHost : public CPageBase, public IPageServices
{
    Q_OBJECT
public:
    static constexpr int HOST_WIDTH = 800;
    static constexpr int HOST_HEIGHT = 600;

    CPageHost(QWidget* parent, CMainFrame* frame);
    ~CPageHost() override;

    LRESULT OnMessage(quint32 msg, WPARAM wParam, LPARAM lParam) override;
    void OnHostCommand(quint32 code, LPARAM arg);

    CMainFrame* Frame() const { return m_pFrame; }
    CConnectionStrip* Strip() const { return m_pStrip; }
    CFunctionListPanel* Panel() const { return m_pPanel; }
    CUpgradePage* UpgradePage() const { return m_pUpgrade; }
    CInfoPage* InfoPage() const { return m_pInfo; }
    CMemoryTransferPage* TransferPage() const { return m_pTransfer; }
    CModelDllDialog* ModelDllPage() const { return m_pModelDll; }
    CComPortPage* ComPortPage() const { return m_pComPort; }
    CSettingsPage* SettingsPage() const { return m_pSettings; }
    CPhoneBookPage* PhoneBookPage() const { return m_pPhoneBook; }
    // The operation page shown now.
    QWidget* CurrentPage() const;

    // Used by the main frame.
    void EnableStartControls(bool enable);
    void DisableAfterConnectFailed();
    // A handset in download mode: only the upgrade page's firmware operations may start, and only
    // when canStart; EndDownloadMode lifts that limit.
    void ShowDownloadMode(bool canStart);
    void EndDownloadMode();
    QString SelectedCatalogueVersion() const;
    void StopLink(ELinkStop mode);

    // IPageServices.
    void BeginRun(int operation) override;
    void EndRun(int operation) override;
    void WriteOperationLog(const OperationResult& result) override;
    void Reconnect() override;
    QString HandsetSoftwareVersion() const override;

    // The last ESN, Digital MIN and Analog MIN texts of the Information page.
    QString m_strEsn;
    QString m_strDigitalMin;
    QString m_strAnalogMin;
    // Number of the operation that runs or ran last, on any page (EOperation).
    int m_nOperation = 0;
    // True until the operation log has written the handset block (once per program run).
    bool m_bLogHandsetInfo = true;

    // Every host command handled so far (diagnostics and tests).
    const QList<quint32>& HandledCommands() const { return m_handled; }

protected:
    void customEvent(QEvent* event) override;

private:
    // The windows go away while a plug-in operation has not reported its end: its block says so.
    void LogUnfinishedOperation();
    void ShowPage(QWidget* page);
    // The upgrade page showing operation n (EOperation).
    void ShowUpgrade(int operation);
    void OnPanelButton(int id);
    void OnPanelOk();
    void OnPhoneStatus(const QByteArray& response);
    // Resets the Information page and forgets the texts kept for the operation log.
    void ForgetHandset();

    CConnectionStrip* m_pStrip = nullptr;
    CMainFrame* m_pFrame;
    CFunctionListPanel* m_pPanel = nullptr;
    CUpgradePage* m_pUpgrade = nullptr;
    CInfoPage* m_pInfo = nullptr;
    CMemoryTransferPage* m_pTransfer = nullptr;
    CModelDllDialog* m_pModelDll = nullptr;
    CComPortPage* m_pComPort = nullptr;
    CSettingsPage* m_pSettings = nullptr;
    CPhoneBookPage* m_pPhoneBook = nullptr;
    QList<QWidget*> m_pages;
    std::array<COperationPage*, 4> m_operationPages{};
    QList<quint32> m_handled;
    bool m_bDownloadMode = false;
};
