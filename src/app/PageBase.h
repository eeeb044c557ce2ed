#pragma once
// The common base of the page host and of every page inside it: a child widget placed at a
// rectangle given by its creator, with a hidden size grip and the bold title font. Pages that
// receive window messages (WM_PLUGIN_NOTIFY) override OnMessage.
#include "platform/WindowMessage.h"

#include <QFont>
#include <QWidget>

class CPageHost;
class CMainFrame;
class QSizeGrip;

class CPageBase : public QWidget, public IMessageReceiver
{
    Q_OBJECT
public:
    // Background of the operation pages, RGB(227, 227, 227).
    static QColor PageBackground() { return QColor(227, 227, 227); }

    CPageBase(QWidget* parent, CPageHost* host, const QRect& rect);
    ~CPageBase() override;

    LRESULT OnMessage(quint32 msg, WPARAM wParam, LPARAM lParam) override;

    CPageHost* Host() const { return m_pHost; }
    CMainFrame* Frame() const;
    const QFont& TitleFont() const { return m_titleFont; }
    // The status rectangle handed to plug-ins: left 10, top 355, right page width - 10, bottom 460.
    QRect StatusRect() const { return QRect(QPoint(10, 355), QPoint(width() - 10, 460)); }

    void SetBackground(const QColor& colour);

protected:
    void customEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    CPageHost* m_pHost;
    QSizeGrip* m_pSizeGrip;
    QFont m_titleFont;
};
