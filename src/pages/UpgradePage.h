#pragma once
// The upgrade page: Upgrade, Bin Download, Script, PRL, ERI and Refurbish through the selected
// model plug-in.
//
// Run of one operation:
//   Start -> busy? -> inputs checked (PRL/ERI: after loading) -> plug-in loaded, export found
//         -> (PRL/ERI Read: folder chosen) -> "Are you sure?" -> BeginRun (run lock, toolbar
//         off, link stopped, busy) -> export called
//   WM_PLUGIN_NOTIFY(PLUGIN_DONE) -> FinishRun (result shown and logged, ReleaseRs + wait +
//         unload, lock released, message, busy cleared, reconnect)
#include "pages/OperationPage.h"
#include "pages/UpgradeOperations.h"

class CSkinButton;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

class CUpgradePage : public COperationPage
{
    Q_OBJECT
public:
    // The inputs Start checks (INPUT_*).
    using enum EUpgradeInput;
    // What ValidateInput says of one input.
    enum EInputCheck : int
    {
        CHECK_REFUSED = 0, // its message has been shown
        CHECK_PASSED = 1,  // it is good and remembered in the settings
    };

    CUpgradePage(QWidget* parent, IPageServices& services, const QRect& rect);
    ~CUpgradePage() override;

    // Shows operation n (EOperation: OP_UPGRADE ... OP_ERI, OP_REFURBISH) with its inputs.
    void SelectOperation(int n);
    int SelectedOperation() const { return m_nSelected; }
    // Disables Start, empties the value lines, elapsed time "00:00.0s".
    void ResetStatus() override;
    // The direction remembered in the settings: 1 Read, 0 Write, -1 none.
    int Mode() const override;
    // Start is enabled only for an operation the handset can take (SetFirmwareOnly).
    void EnableStart(bool enable) override;
    // While the handset answers only as a downloader, Start serves only the operations that write
    // its firmware (Upgrade, Bin Download, Refurbish).
    void SetFirmwareOnly(bool on);

    // Whatever runs, the value lines and their labels are hidden; the page's own operations
    // lock their rows, NAM and direction radios and Start (RunLock.h).
    void ApplyRunLock(int operation) override;
    void ReleaseRunLock(int operation) override;

    // The Start button.
    void OnStart();
    // Checks one input (EUpgradeInput). A refused input has shown its message; a kind that is
    // not an input is refused silently.
    EInputCheck ValidateInput(int kind);

    // The title picture of operation n, 0 for one this page does not run.
    static int TitleBitmap(int operation);
    // Number of the title picture shown now (0 = none).
    int ShownTitleBitmap() const { return m_nTitleBitmap; }

private:
    void OnPluginNotify(WPARAM wParam, LPARAM lParam) override;
    // The picture numbers of operation n's Start button: mouse-over, normal, checked, disabled
    // (disabled = the face shown while it runs).
    const int* StartFacesOf(int operation) const override;
    // Its own runs lock the NAM radios not chosen besides the common part.
    void LockOwnRun(const SRunLock& lock) override;
    void ReleaseOwnRun(const SRunLock& lock) override;

    struct SPathRow
    {
        QLabel* label = nullptr;
        QLineEdit* edit = nullptr;
        CSkinButton* browse = nullptr;
        void SetShown(bool shown) const;
        void SetEnabled(bool enabled) const;
    };

    void CreateControls();
    void LayOut();
    void InitialiseInputs();
    void ApplyRows();
    void UpdateDirectionRow(const SPathRow& row, bool columnEnabled);
    void OnBrowse(int kind);
    void OnNamRadio(int nam);
    void OnDirectionRadio(int direction);
    // False when a file the read would write exists and the user keeps it.
    bool MayReplace(const QString& fileArgument);
    SUpgradeInputs Inputs() const;
    bool CheckInputs(const SUpgradeOperation& op);
    const SPathRow& RowOf(int kind) const;

    bool StartFitsHandset() const;

    int m_nSelected = 0;
    bool m_bFirmwareOnly = false;
    bool m_bStartWanted = false; // the last EnableStart
    int m_nTitleBitmap = 0;

    QLabel* m_pTitle = nullptr;
    SPathRow m_binRow;
    SPathRow m_scrRow;
    SPathRow m_prlRow;
    SPathRow m_eriRow;
    QGroupBox* m_pDirectionGroup = nullptr;
    QRadioButton* m_pRead = nullptr;
    QRadioButton* m_pWrite = nullptr;
    QGroupBox* m_pNamGroup = nullptr;
    QRadioButton* m_pNam[3] = {nullptr, nullptr, nullptr};
    CSkinButton* m_pStart = nullptr;
};
