#pragma once
// The phonebook page: copies the handset's phonebook into a CSV file (Read) or a CSV file into
// the handset (Write) through the selected model plug-in, listing the file's entries.
#include "app/PageBase.h"

class CPhoneBookPage : public CPageBase
{
    Q_OBJECT
public:
    static constexpr int ID_START = 1001;
    static constexpr int ID_READ = 1040;
    static constexpr int ID_WRITE = 1041;

    CPhoneBookPage(QWidget* parent, CPageHost* host, const QRect& rect);
    ~CPhoneBookPage() override;

    void EnableStart(bool enable);
    bool IsStartEnabled() const;
    // The Read and Write radios (disabled after a failed connection).
    void EnableModeRadios(bool enable);
    // The port is lost: in Read mode the list is emptied; the status texts become empty.
    void OnPortLost();
    // 1 Read, 0 Write.
    int Mode() const;

    // This page's part of the run lock (called by CUpgradePage::ApplyRunLock / ReleaseRunLock).
    void ApplyRunLock();
    void ReleaseRunLock();
};
