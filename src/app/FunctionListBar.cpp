#include "FunctionListBar.h"

#include "app/MainFrame.h"
#include "app/PageHost.h"

CFunctionListBar::CFunctionListBar(CMainFrame* frame) : CSizingControlBarCF(frame), m_pFrame(frame)
{
    setObjectName(QStringLiteral("functionListBar"));
}

bool CFunctionListBar::CreateBar()
{
    if (!CSizingControlBarCF::Create(QStringLiteral("Function List"), m_pFrame, QSize(800, 550), false, BAR_ID, 0))
        return false;
    m_pHost = new CPageHost(this, m_pFrame);
    setWidget(m_pHost);
    DockAt(m_pFrame, Qt::LeftDockWidgetArea);
    return true;
}

void CFunctionListBar::customEvent(QEvent* event)
{
    if (!DispatchMessageEvent(this, event))
        CSizingControlBarCF::customEvent(event);
}

LRESULT CFunctionListBar::OnMessage(quint32 msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_HOST_COMMAND)
        PostMessage(m_pHost, msg, wParam, lParam);
    return 0;
}
