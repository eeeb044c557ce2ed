#pragma once
// The upgrade page: Upgrade, Bin Download, Script, PRL, ERI and Refurbish through the selected
// model plug-in.
//
// Run of one operation:
//   Start -> busy? -> inputs checked (PRL/ERI: after loading) -> plug-in loaded, export found
//         -> (PRL/ERI Read: folder chosen) -> "Are you sure?" -> BeginRun (run lock, toolbar
//         off, link stopped, busy) -> export called
//   WM_PLUGIN_NOTIFY(PLUGIN_DONE) -> FinishRun (lock released, result shown and logged,
//         ReleaseRs + wait + unload, message, busy cleared, reconnect)
#include "pages/OperationPage.h"
#include "pages/UpgradeOperations.h"
#include "plugin/PluginRun.h"

#include <memory>

class CSkinButton;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

class CUpgradePage : public COperationPage
{
    Q_OBJECT
public:
    // The selected operations (SEL_*, SelectOperation), the inputs Start checks (INPUT_*) and
    // what a check says (CHECK_*).
    using enum EUpgradeSelection;
    using enum EUpgradeInput;
    using enum EInputCheck;

    CUpgradePage(QWidget* parent, IPageServices& services, const QRect& rect);
    ~CUpgradePage() override;

    // Shows operation n (1 Upgrade ... 6 Refurbish) with its inputs.
    void SelectOperation(int n);
    int SelectedOperation() const { return m_nSelected; }
    // Disables Start, empties the value lines, elapsed time "00:00.0s".
    void ResetStatus();
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

    // The picture numbers of operation n's Start button: mouse-over, normal, checked, disabled
    // (disabled = the face shown while it runs). Selected operations 1..6.
    static const int* StartFaces(int selected);
    // The title picture of selected operation n (1..6), 0 for others.
    static int TitleBitmap(int selected);
    // Number of the title picture shown now (0 = none).
    int ShownTitleBitmap() const { return m_nTitleBitmap; }
    // The picture shown in every slot of Start while the face is a running one, else 0.
    int RunningFace() const { return m_nRunningFace; }
    bool IsRunning() const;

private:
    void OnPluginNotify(WPARAM wParam, LPARAM lParam) override;

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
    void SetStartFaces(int selected);
    void SetRunningFace(int picture);
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
    // The rows of EPathRow bits.
    QList<const SPathRow*> PathRows(quint8 rows) const;

    bool StartFitsHandset() const;

    int m_nSelected = 0;
    bool m_bFirmwareOnly = false;
    bool m_bStartWanted = false; // the last EnableStart
    int m_nTitleBitmap = 0;
    int m_nRunningFace = 0;

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

    std::unique_ptr<CPluginRun> m_pRun;
};
