#pragma once
// The common base of the page host and of every page inside it: a child widget placed at a
// rectangle given by its creator, with the bold title font and a scrollable content area. Pages
// that receive window messages (WM_PLUGIN_NOTIFY) override OnMessage. A page knows nothing of
// the window it lives in; the operation pages reach their host through IPageServices.
//
// Scrolling: the content is 160 x 600 pixels. When the widget is smaller, scroll bars appear at its
// right and bottom edges (taking room from the client area, as a frame's scroll bars do) and move
// the children by 8 pixels across or 4 pixels down per step. Every size change starts again at the
// top left.
#include "platform/WindowMessage.h"

#include <QFont>
#include <QWidget>

class QScrollBar;
class QSizeGrip;

class CPageBase : public QWidget, public IMessageReceiver
{
    Q_OBJECT
public:
    static constexpr int CONTENT_WIDTH = 160;
    static constexpr int CONTENT_HEIGHT = 600;
    static constexpr int SCROLL_UNIT_X = 8;
    static constexpr int SCROLL_UNIT_Y = 4;
    static constexpr int PAGE_STEP_X = 8; // in units

    // Background of the operation pages, RGB(227, 227, 227).
    static QColor PageBackground() { return QColor(227, 227, 227); }

    CPageBase(QWidget* parent, const QRect& rect);
    ~CPageBase() override;

    LRESULT OnMessage(quint32 msg, WPARAM wParam, LPARAM lParam) override;

    const QFont& TitleFont() const { return m_titleFont; }
    // The status rectangle handed to plug-ins: left 10, top 355, right page width - 10, bottom 460.
    QRect StatusRect() const { return QRect(QPoint(10, 355), QPoint(width() - 10, 460)); }

    void SetBackground(const QColor& colour);
    // Puts the scroll bars back above a child that was raised.
    void RaiseScrollBars();

protected:
    void customEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void UpdateScrollBars();
    // Moves the children to the scroll positions (horizontal and vertical, in units).
    void ScrollTo(int x, int y);

    QScrollBar* m_pHScroll;
    QScrollBar* m_pVScroll;
    QSizeGrip* m_pSizeGrip;
    QFont m_titleFont;
    int m_nHPos = 0;
    int m_nVPos = 0;
};
