#include "UpgradePage.h"

CUpgradePage::CUpgradePage(QWidget* parent, CPageHost* host, const QRect& rect)
    : CPageBase(parent, host, rect)
{
    setObjectName(QStringLiteral("upgradePage"));
}

CUpgradePage::~CUpgradePage() = default;

void CUpgradePage::SelectOperation(int) {}

int CUpgradePage::SelectedOperation() const
{
    return 0;
}

void CUpgradePage::ResetStatus() {}

void CUpgradePage::EnableStart(bool) {}

bool CUpgradePage::IsStartEnabled() const
{
    return false;
}

void CUpgradePage::ApplyRunLock(int) {}

void CUpgradePage::ReleaseRunLock(int) {}
