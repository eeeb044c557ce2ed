#include "PageBase.h"

#include "app/PageHost.h"

#include <QPalette>
#include <QSizeGrip>

CPageBase::CPageBase(QWidget* parent, CPageHost* host, const QRect& rect) : QWidget(parent), m_pHost(host)
{
    setGeometry(rect);
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

CMainFrame* CPageBase::Frame() const
{
    return m_pHost ? m_pHost->Frame() : nullptr;
}

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

void CPageBase::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const QSize grip = m_pSizeGrip->sizeHint();
    m_pSizeGrip->move(width() - grip.width(), height() - grip.height());
}
