#include "InfoPage.h"

CInfoPage::CInfoPage(QWidget* parent, CPageHost* host, const QRect& rect) : CPageBase(parent, host, rect)
{
    setObjectName(QStringLiteral("infoPage"));
}

CInfoPage::~CInfoPage() = default;

void CInfoPage::ResetList() {}

void CInfoPage::FillFromStatus(const QByteArray&) {}

QString CInfoPage::ValueText(int) const
{
    return {};
}
