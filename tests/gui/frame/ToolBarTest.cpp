#include "controls/SkinToolBar.h"

#include <QAction>
#include <gtest/gtest.h>

namespace {

constexpr QRgb MAGENTA = 0xFF00FF;

TEST(SkinToolBarFilters, DisabledIsWeightedGrey)
{
    EXPECT_EQ(DisabledPixel(qRgb(100, 50, 10)), qRgb(61, 61, 61)); // (300 + 300 + 10) / 10
    EXPECT_EQ(DisabledPixel(qRgb(255, 255, 255)), qRgb(255, 255, 255));
    EXPECT_EQ(DisabledPixel(qRgb(0, 0, 9)), qRgb(0, 0, 0)); // integer division
}

TEST(SkinToolBarFilters, HotRaisesLightnessByFourHundredths)
{
    // Grey 100: lightness 200/510 = 0.392 -> 0.432 -> 110.2 -> 110.
    EXPECT_EQ(HotPixel(qRgb(100, 100, 100)), qRgb(110, 110, 110));
    // White stays white (capped at 1.0); black becomes 10.
    EXPECT_EQ(HotPixel(qRgb(255, 255, 255)), qRgb(255, 255, 255));
    EXPECT_EQ(HotPixel(qRgb(0, 0, 0)), qRgb(10, 10, 10));
    // A saturated colour keeps its hue and gets lighter.
    const QRgb red = HotPixel(qRgb(200, 0, 0));
    EXPECT_EQ(qRed(red), 220);
    EXPECT_EQ(qGreen(red), 0);
    EXPECT_EQ(qBlue(red), 0);
}

TEST(SkinToolBarFilters, MagentaStaysTransparentInAllForms)
{
    QImage src(3, 1, QImage::Format_RGB32);
    src.setPixel(0, 0, qRgb(255, 0, 255));
    src.setPixel(1, 0, qRgb(10, 20, 30));
    src.setPixel(2, 0, qRgb(254, 0, 255)); // near-magenta is an ordinary pixel
    const QImage hot = FilterHotImage(src, MAGENTA);
    const QImage dis = FilterDisabledImage(src, MAGENTA);
    EXPECT_EQ(hot.pixel(0, 0) & 0xFFFFFF, 0xFF00FFu);
    EXPECT_EQ(dis.pixel(0, 0) & 0xFFFFFF, 0xFF00FFu);
    EXPECT_NE(dis.pixel(2, 0) & 0xFFFFFF, 0xFE00FFu);
    EXPECT_EQ(dis.pixel(1, 0), qRgb(18, 18, 18));
}

TEST(SkinToolBar, ImagesAreCutPerButtonAndSkipSeparators)
{
    QImage strip(3 * 47, 37, QImage::Format_RGB32);
    for (int x = 0; x < strip.width(); ++x)
        for (int y = 0; y < strip.height(); ++y)
            strip.setPixel(x, y, qRgb(x / 47 * 100, 0, 0));
    CSkinToolBar bar;
    bar.addAction(QStringLiteral("a"));
    bar.addSeparator();
    bar.addAction(QStringLiteral("b"));
    bar.addAction(QStringLiteral("c"));
    bar.LoadTrueColorImages(strip, MAGENTA, {false, true, false, false});
    EXPECT_EQ(qRed(bar.NormalImage(0).pixel(5, 5)), 0);
    EXPECT_EQ(qRed(bar.NormalImage(1).pixel(5, 5)), 100);
    EXPECT_EQ(qRed(bar.NormalImage(2).pixel(5, 5)), 200);
    EXPECT_EQ(bar.NormalImage(2).size(), QSize(47, 35));
    EXPECT_FALSE(bar.actions().at(0)->icon().isNull());
    EXPECT_TRUE(bar.actions().at(1)->icon().isNull());
}

} // namespace
