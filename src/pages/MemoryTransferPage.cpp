#include "MemoryTransferPage.h"

CMemoryTransferPage::CMemoryTransferPage(QWidget* parent, CPageHost* host, const QRect& rect)
    : CPageBase(parent, host, rect)
{
    setObjectName(QStringLiteral("memoryTransferPage"));
}

CMemoryTransferPage::~CMemoryTransferPage() = default;

void CMemoryTransferPage::EnableStart(bool) {}

bool CMemoryTransferPage::IsStartEnabled() const
{
    return false;
}

void CMemoryTransferPage::ResetStatus() {}

int CMemoryTransferPage::Mode() const
{
    return 1;
}

void CMemoryTransferPage::ApplyRunLock() {}

void CMemoryTransferPage::ReleaseRunLock() {}
