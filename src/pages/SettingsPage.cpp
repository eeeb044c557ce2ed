#include "SettingsPage.h"

CSettingsPage::CSettingsPage(QWidget* parent, CPageHost* host, const QRect& rect)
    : CPageBase(parent, host, rect)
{
    setObjectName(QStringLiteral("settingsPage"));
}

CSettingsPage::~CSettingsPage() = default;

void CSettingsPage::EnableButtons(bool) {}

bool CSettingsPage::AreButtonsEnabled() const
{
    return false;
}

void CSettingsPage::ResetStatus() {}

void CSettingsPage::RebuildCatalogue() {}

int CSettingsPage::CurrentCategory() const
{
    return 0;
}
