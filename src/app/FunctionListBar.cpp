#include "FunctionListBar.h"

#include "app/PageHost.h"

#include <QCloseEvent>

CFunctionListBar::CFunctionListBar(CMainFrame* frame)
    : QDockWidget(QStringLiteral("Function List")), m_pFrame(frame)
{
    setObjectName(QStringLiteral("functionListBar"));
    setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    setAllowedAreas(Qt::AllDockWidgetAreas);
    m_pHost = new CPageHost(this, frame);
    m_pHost->resize(800, 600);
    setWidget(m_pHost);
}

void CFunctionListBar::customEvent(QEvent* event)
{
    if (!DispatchMessageEvent(this, event))
        QDockWidget::customEvent(event);
}

LRESULT CFunctionListBar::OnMessage(quint32 msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_HOST_COMMAND)
        PostMessage(m_pHost, msg, wParam, lParam);
    return 0;
}

void CFunctionListBar::closeEvent(QCloseEvent* event)
{
    event->ignore(); // the bar cannot be closed
}
