#include "PageBase.h"

#include <QCoreApplication>
#include <QPalette>
#include <QScrollBar>
#include <QSizeGrip>
#include <QWheelEvent>

#include <algorithm>

namespace {

// Steps of `unit` pixels needed to bring `content` pixels into `client` pixels.
int ScrollMax(int content, int client, int unit)
{
    return std::max(0, (content - client + unit - 1) / unit);
}

} // namespace

CPageBase::CPageBase(QWidget* parent, const QRect& rect) : QWidget(parent)
{
    setGeometry(rect);
    m_pHScroll = new QScrollBar(Qt::Horizontal, this);
    m_pHScroll->setObjectName(QStringLiteral("horizontalScrollBar"));
    m_pVScroll = new QScrollBar(Qt::Vertical, this);
    m_pVScroll->setObjectName(QStringLiteral("verticalScrollBar"));
    for (QScrollBar* bar : {m_pHScroll, m_pVScroll}) {
        bar->setSingleStep(1);
        bar->hide();
    }
    m_pHScroll->setPageStep(PAGE_STEP_X);
    connect(m_pHScroll, &QScrollBar::valueChanged, this, [this](int x) { ScrollTo(x, m_nVPos); });
    connect(m_pVScroll, &QScrollBar::valueChanged, this, [this](int y) { ScrollTo(m_nHPos, y); });
    m_pSizeGrip = new QSizeGrip(this);
    m_pSizeGrip->setObjectName(QStringLiteral("sizeGrip"));
    m_pSizeGrip->hide();
    m_titleFont = QFont(QStringLiteral("Arial"));
    m_titleFont.setPixelSize(15);
    m_titleFont.setWeight(QFont::Bold);
    m_titleFont.setStyleHint(QFont::SansSerif);
    SetBackground(PageBackground());
}

CPageBase::~CPageBase() = default;

void CPageBase::SetBackground(const QColor& colour)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colour);
    setPalette(pal);
    setAutoFillBackground(true);
}

LRESULT CPageBase::OnMessage(quint32, WPARAM, LPARAM)
{
    return 0;
}

void CPageBase::customEvent(QEvent* event)
{
    if (!DispatchMessageEvent(this, event))
        QWidget::customEvent(event);
}

void CPageBase::ScrollTo(int x, int y)
{
    const int dx = (m_nHPos - x) * SCROLL_UNIT_X;
    const int dy = (m_nVPos - y) * SCROLL_UNIT_Y;
    m_nHPos = x;
    m_nVPos = y;
    if (dx == 0 && dy == 0)
        return;
    // The children move; the scroll bars and the size grip stay at the edges.
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->isWindow() || child == m_pHScroll || child == m_pVScroll || child == m_pSizeGrip)
            continue;
        child->move(child->pos() + QPoint(dx, dy));
    }
}

void CPageBase::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    UpdateScrollBars();
}

void CPageBase::UpdateScrollBars()
{
    // Back to the top left, so the children stand where their creator put them.
    m_pHScroll->blockSignals(true);
    m_pVScroll->blockSignals(true);
    ScrollTo(0, 0);

    // A bar takes room from the client area, which may make the other one necessary.
    const int barWidth = m_pVScroll->sizeHint().width();
    const int barHeight = m_pHScroll->sizeHint().height();
    bool vertical = false;
    bool horizontal = false;
    for (int pass = 0; pass < 2; ++pass) {
        vertical = height() - (horizontal ? barHeight : 0) < CONTENT_HEIGHT;
        horizontal = width() - (vertical ? barWidth : 0) < CONTENT_WIDTH;
    }
    const int clientWidth = width() - (vertical ? barWidth : 0);
    const int clientHeight = height() - (horizontal ? barHeight : 0);
    const int hMax = ScrollMax(CONTENT_WIDTH, clientWidth, SCROLL_UNIT_X);
    const int vMax = ScrollMax(CONTENT_HEIGHT, clientHeight, SCROLL_UNIT_Y);

    m_pHScroll->setRange(0, hMax);
    m_pHScroll->setValue(0);
    m_pHScroll->setGeometry(0, clientHeight, clientWidth, barHeight);
    m_pHScroll->setVisible(hMax > 0);
    m_pVScroll->setRange(0, vMax);
    m_pVScroll->setPageStep(std::max(1, clientHeight / SCROLL_UNIT_Y));
    m_pVScroll->setValue(0);
    m_pVScroll->setGeometry(clientWidth, 0, barWidth, clientHeight);
    m_pVScroll->setVisible(vMax > 0);
    m_pHScroll->blockSignals(false);
    m_pVScroll->blockSignals(false);
    RaiseScrollBars();

    const QSize grip = m_pSizeGrip->sizeHint();
    m_pSizeGrip->move(width() - grip.width(), height() - grip.height());
}

void CPageBase::RaiseScrollBars()
{
    m_pHScroll->raise();
    m_pVScroll->raise();
}

void CPageBase::wheelEvent(QWheelEvent* event)
{
    QScrollBar* bar = m_pVScroll->isVisible() ? m_pVScroll : m_pHScroll;
    if (bar->isVisible())
        QCoreApplication::sendEvent(bar, event);
    else
        QWidget::wheelEvent(event);
}
