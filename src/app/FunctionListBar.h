#pragma once
// The "Function List" bar: the docking bar of the main frame that holds the page host.
// Host commands sent to the bar are passed on unchanged to the page host.
#include "platform/WindowMessage.h"

#include <QDockWidget>

class CMainFrame;
class CPageHost;

class CFunctionListBar : public QDockWidget, public IMessageReceiver
{
    Q_OBJECT
public:
    static constexpr int BAR_ID = 1230;

    explicit CFunctionListBar(CMainFrame* frame);

    LRESULT OnMessage(quint32 msg, WPARAM wParam, LPARAM lParam) override;
    CPageHost* PageHost() const { return m_pHost; }

protected:
    void customEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    CMainFrame* m_pFrame;
    CPageHost* m_pHost;
};
