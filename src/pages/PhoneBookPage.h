#pragma once
// The phonebook page: copies the handset's phonebook into a CSV file (Read) or a CSV file into
// the handset (Write) through the selected model plug-in, listing the file's entries.
//
//   Start ─ checks ─ load plug-in ─ (Read: save dialog, name completed, replace question |
//           Write: the file listed again and checked, "Are you sure?") ─ BeginRun(7): run lock,
//           toolbar off, link stopped, busy ─ ModelInterface_PhoneBook(page, port, rect, dll,
//           mode, csv, list)
//   PLUGIN_DONE ─ FinishRun: result shown and logged, ReleaseRs + wait + unload, lock released,
//                 message, busy cleared, link restarted
#include "pages/OperationPage.h"
#include "pages/PluginLists.h"

#include <memory>

class CXListCtrl;
class CSkinButton;
class QRadioButton;
class QLineEdit;

class CPhoneBookPage : public COperationPage
{
    Q_OBJECT
public:
    CPhoneBookPage(QWidget* parent, IPageServices& services, const QRect& rect);
    ~CPhoneBookPage() override;

    // The Read and Write radios (disabled after a failed connection).
    void EnableModeRadios(bool enable);
    // A port is in use again: Start is enabled, and so is the Read/Write choice unless a run
    // holds its lock.
    void OnPortFound();
    // The port is lost: in Read mode (1; Write is 0) the list is emptied; the status texts
    // become empty.
    void ResetStatus() override;

    // User commands.
    void OnReadRadio();
    void OnWriteRadio();
    void OnBrowse();
    void OnStart();

    // Deletes the list's rows and reads the CSV file into it; when the file cannot be opened the
    // error is shown and the list keeps its rows.
    bool ReadCsvIntoList(const QString& path);

    CXListCtrl* List() const { return m_pList; }
    // The list as the plug-in sees it (a CSV load under way completed first).
    CPluginList* PluginList() const { return m_pListAdapter.get(); }

private:
    void CreateControls();
    void SetupListColumns();
    void OnPluginNotify(WPARAM wParam, LPARAM lParam) override;

    PFN_ModelInterface_PhoneBook m_pfnPhoneBook = nullptr;

    CXListCtrl* m_pList = nullptr;
    std::unique_ptr<CPluginList> m_pListAdapter;
    QRadioButton* m_pReadRadio = nullptr;
    QRadioButton* m_pWriteRadio = nullptr;
    QLineEdit* m_pPathEdit = nullptr;
    CSkinButton* m_pBrowseButton = nullptr;
};
