#include "PhoneBookPage.h"

CPhoneBookPage::CPhoneBookPage(QWidget* parent, CPageHost* host, const QRect& rect)
    : CPageBase(parent, host, rect)
{
    setObjectName(QStringLiteral("phoneBookPage"));
}

CPhoneBookPage::~CPhoneBookPage() = default;

void CPhoneBookPage::EnableStart(bool) {}

bool CPhoneBookPage::IsStartEnabled() const
{
    return false;
}

void CPhoneBookPage::EnableModeRadios(bool) {}

void CPhoneBookPage::OnPortLost() {}

int CPhoneBookPage::Mode() const
{
    return 1;
}

void CPhoneBookPage::ApplyRunLock() {}

void CPhoneBookPage::ReleaseRunLock() {}
