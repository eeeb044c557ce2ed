#pragma once
// The settings page: fourteen categories of handset settings, each a grid of the catalogue's
// item names with two parameter columns that the model plug-in reads, the user edits in place
// and the plug-in writes back.
#include "app/PageBase.h"

class CSettingsPage : public CPageBase
{
    Q_OBJECT
public:
    static constexpr int ID_READ = 1032;
    static constexpr int ID_WRITE = 1033;

    CSettingsPage(QWidget* parent, CPageHost* host, const QRect& rect);
    ~CSettingsPage() override;

    // The Read and Write buttons.
    void EnableButtons(bool enable);
    bool AreButtonsEnabled() const;
    // The value lines become empty and the elapsed time "00:00.0s".
    void ResetStatus();
    // Empties every list and inserts the catalogue again (all values gone).
    void RebuildCatalogue();
    int CurrentCategory() const;
};
