#pragma once
// The upgrade page: Upgrade, Bin Download, Script, PRL, ERI and Refurbish through the selected
// model plug-in. It also owns the run lock that every operation page applies while a plug-in
// works (ApplyRunLock / ReleaseRunLock by operation number).
#include "app/PageBase.h"

enum EOperation : int
{
    OP_UPGRADE = 1,
    OP_BIN = 2,
    OP_SCRIPT = 3,
    OP_PRL = 4,
    OP_ERI = 5,
    OP_SETTINGS = 6,
    OP_PHONEBOOK = 7,
    OP_TRANSFER = 8,
    OP_REFURBISH = 9,
};

class CUpgradePage : public CPageBase
{
    Q_OBJECT
public:
    static constexpr int ID_START = 1005;

    CUpgradePage(QWidget* parent, CPageHost* host, const QRect& rect);
    ~CUpgradePage() override;

    // Shows operation n (1 Upgrade ... 6 Refurbish) with its inputs.
    void SelectOperation(int n);
    int SelectedOperation() const;
    // Disables Start, empties the value lines, elapsed time "00:00.0s".
    void ResetStatus();
    void EnableStart(bool enable);
    bool IsStartEnabled() const;

    // Run lock shared by every operation page, by operation number 1..9.
    void ApplyRunLock(int operation);
    void ReleaseRunLock(int operation);

    // Number of the operation that runs or ran last, on any page.
    int m_nOperation = 0;
    // 1 until the operation log has written the handset block.
    bool m_bLogHandsetInfo = true;
};
