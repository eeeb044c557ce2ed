#include "SkinToolBar.h"

#include <QAction>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QStyleOptionToolBar>

#include <algorithm>
#include <cmath>

namespace {

double HueToChannel(double m1, double m2, double hue)
{
    if (hue < 0)
        hue += 360;
    if (hue >= 360)
        hue -= 360;
    if (hue < 60)
        return m1 + (m2 - m1) * hue / 60;
    if (hue < 180)
        return m2;
    if (hue < 240)
        return m1 + (m2 - m1) * (240 - hue) / 60;
    return m1;
}

QImage FilterImage(const QImage& source, QRgb transparent, QRgb (*filter)(QRgb))
{
    QImage img = source.convertToFormat(QImage::Format_RGB32);
    const QRgb key = transparent & 0xFFFFFF;
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if ((line[x] & 0xFFFFFF) != key)
                line[x] = filter(line[x]);
        }
    }
    return img;
}

// Pixels of the transparent colour become fully transparent for the icon.
QPixmap ToIconPixmap(const QImage& image, QRgb transparent)
{
    QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = transparent & 0xFFFFFF;
    for (int y = 0; y < argb.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(argb.scanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if ((line[x] & 0xFFFFFF) == key)
                line[x] = 0;
        }
    }
    return QPixmap::fromImage(argb);
}

} // namespace

QRgb DisabledPixel(QRgb rgb)
{
    const int grey = (3 * qRed(rgb) + 6 * qGreen(rgb) + qBlue(rgb)) / 10;
    return qRgb(grey, grey, grey);
}

QRgb HotPixel(QRgb rgb)
{
    const int r = qRed(rgb), g = qGreen(rgb), b = qBlue(rgb);
    const int mx = std::max({r, g, b});
    const int mn = std::min({r, g, b});
    double lightness = (mx + mn) / 510.0;
    double saturation = 0;
    double hue = 0;
    if (mx != mn) {
        saturation = lightness <= 0.5 ? double(mx - mn) / (mx + mn) : double(mx - mn) / (510 - mx - mn);
        const double delta = mx - mn;
        if (r == mx)
            hue = (g - b) / delta;
        else if (g == mx)
            hue = 2 + (b - r) / delta;
        else
            hue = 4 + (r - g) / delta;
        hue *= 60;
        if (hue < 0)
            hue += 360;
    }
    lightness = std::min(1.0, lightness + 0.04);
    double red, green, blue;
    if (saturation == 0) {
        red = green = blue = lightness;
    } else {
        const double m2 =
            lightness <= 0.5 ? lightness * (1 + saturation) : lightness + saturation - lightness * saturation;
        const double m1 = 2 * lightness - m2;
        red = HueToChannel(m1, m2, hue + 120);
        green = HueToChannel(m1, m2, hue);
        blue = HueToChannel(m1, m2, hue - 120);
    }
    auto to8 = [](double v) { return std::clamp(static_cast<int>(std::lround(v * 255)), 0, 255); };
    return qRgb(to8(red), to8(green), to8(blue));
}

QImage FilterDisabledImage(const QImage& source, QRgb transparent)
{
    return FilterImage(source, transparent, &DisabledPixel);
}

QImage FilterHotImage(const QImage& source, QRgb transparent)
{
    return FilterImage(source, transparent, &HotPixel);
}

CSkinToolBar::CSkinToolBar(QWidget* parent) : QToolBar(parent)
{
    setIconSize(QSize(IMAGE_WIDTH, IMAGE_HEIGHT));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
}

void CSkinToolBar::LoadTrueColorImages(const QImage& bitmap, QRgb transparent, const QList<bool>& separators)
{
    m_offsets.clear();
    m_normal.clear();
    m_hot.clear();
    m_disabled.clear();
    int index = 0;
    for (const bool separator : separators) {
        if (!separator)
            m_offsets.append(IMAGE_WIDTH * index++);
    }
    const QImage normal = bitmap.convertToFormat(QImage::Format_RGB32);
    const QImage hot = FilterHotImage(normal, transparent);
    const QImage disabled = FilterDisabledImage(normal, transparent);
    for (const int x : std::as_const(m_offsets)) {
        m_normal.append(normal.copy(x, 0, IMAGE_WIDTH, IMAGE_HEIGHT));
        m_hot.append(hot.copy(x, 0, IMAGE_WIDTH, IMAGE_HEIGHT));
        m_disabled.append(disabled.copy(x, 0, IMAGE_WIDTH, IMAGE_HEIGHT));
    }
    const QList<QAction*> acts = actions();
    int image = 0;
    for (int i = 0; i < acts.size() && i < separators.size(); ++i) {
        if (separators.at(i) || image >= m_normal.size())
            continue;
        QIcon icon;
        icon.addPixmap(ToIconPixmap(m_normal.at(image), transparent), QIcon::Normal);
        icon.addPixmap(ToIconPixmap(m_hot.at(image), transparent), QIcon::Active);
        icon.addPixmap(ToIconPixmap(m_disabled.at(image), transparent), QIcon::Disabled);
        acts.at(i)->setIcon(icon);
        ++image;
    }
}

void CSkinToolBar::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(0xC6, 0xC0, 0xC6));
    QToolBar::paintEvent(event);
}
