#include "LumoraView.h"

#include <QPainter>

CLumoraView::CLumoraView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("lumoraView"));
}

void CLumoraView::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), QColor(0xE3, 0xE3, 0xE3));
}
