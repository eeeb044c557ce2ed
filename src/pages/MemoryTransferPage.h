#pragma once
// The memory transfer page: backs up phonebook, messages, calendar and user interface data into
// the TRANS_BK work folder beside the selected plug-in and restores them from there.
#include "app/PageBase.h"

class CMemoryTransferPage : public CPageBase
{
    Q_OBJECT
public:
    static constexpr int ID_START = 1000;

    CMemoryTransferPage(QWidget* parent, CPageHost* host, const QRect& rect);
    ~CMemoryTransferPage() override;

    void EnableStart(bool enable);
    bool IsStartEnabled() const;
    // The value lines and the elapsed-time text become empty.
    void ResetStatus();
    // 1 Backup, 0 Restore.
    int Mode() const;

    // This page's part of the run lock (called by CUpgradePage::ApplyRunLock / ReleaseRunLock).
    void ApplyRunLock();
    void ReleaseRunLock();
};
