#include "ConnectionStrip.h"

CConnectionStrip::CConnectionStrip(QWidget* parent, CPageHost* host, CMainFrame* frame, const QRect& rect)
    : QWidget(parent), m_pHost(host), m_pFrame(frame)
{
    setObjectName(QStringLiteral("connectionStrip"));
    setGeometry(rect);
}

CConnectionStrip::~CConnectionStrip() = default;

void CConnectionStrip::customEvent(QEvent* event)
{
    if (!DispatchMessageEvent(this, event))
        QWidget::customEvent(event);
}

LRESULT CConnectionStrip::OnMessage(quint32, WPARAM, LPARAM)
{
    return 0;
}

void CConnectionStrip::StopLink(int) {}

void CConnectionStrip::ResetVersionList(bool) {}

SVersionStrings CConnectionStrip::VersionStrings() const
{
    return {};
}

bool CConnectionStrip::IsLinkRunning() const
{
    return false;
}
