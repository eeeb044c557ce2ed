#pragma once
// The memory transfer page: backs up phonebook, messages, calendar and user interface data into
// the TRANS_BK work folder beside the selected plug-in and restores them from there.
//
//   Start ─ mode and item checks ─ load plug-in, GetSupportBINVersion ─ compatibility with the
//           handset's S/W Version ─ ModelInterface_Transfer looked up ─ backup marker scan
//           (Backup: overwrite question, previous backup moved aside under the guard; Restore: a
//           backup must exist, "Are you sure?") ─ BeginRun(8): run lock, toolbar off, link
//           stopped, busy ─ Transfer(mode, mask)
//   PLUGIN_DONE ─ previous backup removed (success) or brought back (failure) ─ FinishRun: result
//                 shown and logged, ReleaseRs + wait + unload, lock released, message, busy
//                 cleared, link restarted
#include "pages/OperationPage.h"
#include "pages/TransferRules.h"

#include <functional>

class CXListCtrl;
class QRadioButton;

class CMemoryTransferPage : public COperationPage
{
    Q_OBJECT
public:
    CMemoryTransferPage(QWidget* parent, IPageServices& services, const QRect& rect);
    ~CMemoryTransferPage() override;

    // User commands.
    void OnBackupRadio();
    void OnRestoreRadio();
    void OnItemClicked();
    void OnStart();

    // The mask of the checked items (bit n = row n).
    quint32 ItemMask() const;
    // What GetSupportBINVersion returned at the last Start, and the last marker scan's result.
    QString SupportedVersion() const { return m_strSupportedVersion; }
    bool BackupFound() const { return m_bBackupFound; }

    CXListCtrl* List() const { return m_pList; }

    // Where Start takes the handset's software version text; by default the version list's
    // "S/W Version" (the host's). Tests without a handset put their own text here.
    void SetSoftwareVersionSource(std::function<QString()> source);

private:
    void CreateControls();
    void SetupList();
    QString SoftwareVersion() const;
    void OnPluginNotify(WPARAM wParam, LPARAM lParam) override;

    quint32 m_nItemMask = 0;
    QString m_strSupportedVersion;
    bool m_bBackupFound = false;
    CPreviousBackup m_previousBackup;
    PFN_ModelInterface_Transfer m_pfnTransfer = nullptr;
    std::function<QString()> m_versionSource;

    CXListCtrl* m_pList = nullptr;
    QRadioButton* m_pBackupRadio = nullptr;
    QRadioButton* m_pRestoreRadio = nullptr;
};
