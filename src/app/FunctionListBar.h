#pragma once
// The "Function List" bar: the sizing docking bar of the main frame that holds the page host.
// Host commands sent to the bar are passed on unchanged to the page host.
#include "controls/SizingControlBar.h"
#include "platform/WindowMessage.h"

class CMainFrame;
class CPageHost;

class CFunctionListBar : public CSizingControlBarCF, public IMessageReceiver
{
    Q_OBJECT
public:
    static constexpr int BAR_ID = 1230;

    explicit CFunctionListBar(CMainFrame* frame);

    // Creates the bar (title, default size 800 x 550, id 1230) with the page host inside and
    // docks it at the frame's left edge.
    bool CreateBar();

    LRESULT OnMessage(quint32 msg, WPARAM wParam, LPARAM lParam) override;
    CPageHost* PageHost() const { return m_pHost; }

protected:
    void customEvent(QEvent* event) override;

private:
    CMainFrame* m_pFrame;
    CPageHost* m_pHost = nullptr;
};
