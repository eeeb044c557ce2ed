#include "res/Pictures.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

bool IsKey(QRgb pixel, QRgb key)
{
    return (pixel & 0xFFFFFF) == (key & 0xFFFFFF);
}

int CountKey(const QImage& img, QRgb key, QRect area = {})
{
    if (area.isNull())
        area = img.rect();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += IsKey(img.pixel(x, y), key) ? 1 : 0;
    return n;
}

} // namespace

TEST(Pictures, EveryNumberIsUniqueAndDrawnAtItsSize)
{
    QSet<int> seen;
    for (const SPictureInfo& info : Pictures::Table()) {
        EXPECT_FALSE(seen.contains(info.nId)) << info.nId;
        seen.insert(info.nId);
        const QImage img = LoadBitmap(info.nId);
        ASSERT_FALSE(img.isNull()) << info.nId;
        EXPECT_EQ(img.size(), QSize(info.nWidth, info.nHeight)) << info.nId;
    }
    EXPECT_TRUE(LoadBitmap(4711).isNull());
    // Drawn once, then served from the cache.
    Pictures::Preload();
    EXPECT_EQ(LoadBitmap(1027).cacheKey(), LoadBitmap(1027).cacheKey());
    EXPECT_EQ(LoadBitmap(1027), Pictures::Render(1027));
    EXPECT_EQ(Pictures::Find(4711), nullptr);
}

TEST(Pictures, DocumentedNumbersArePresent)
{
    const int ids[] = {1026, 1027, 1028, 1025, 1032, 1033, 1030, 1031, 1036, 1037, 1034, 1035, 1056, 1057,
                       1058, 1055, 1048, 1049, 1042, 1047, 1040, 1041, 1038, 1039, 1060, 1061, 1050, 1059,
                       1044, 1045, 1046, 1043, 1052, 1053, 1054, 1051, 1062, 1064, 1065, 1067, 1014, 1015,
                       148,  1075, 1074, 1077, 1076, 179,  1069, 1078, 1079, 147,  140,  142,  143,  144,
                       171,  188,  1089, 1088, 158,  1081, 1080, 152,  1083, 1082, 156,  1084, 1085, 155,
                       1086, 1087, 153,  178,  176,  177,  136,  135,  154,  174,  172,  173,  1090, 1091,
                       161,  1094, 1095, 160,  138,  137,  157,  151,  149,  150,  1010, 1011, 164};
    for (int id : ids)
        EXPECT_NE(Pictures::Find(id), nullptr) << id;
    EXPECT_EQ(Pictures::Find(1026)->face, EPictureFace::MouseOver);
    EXPECT_EQ(Pictures::Find(1025)->face, EPictureFace::Disabled);
    EXPECT_EQ(Pictures::Find(1028)->face, EPictureFace::Checked);
    EXPECT_EQ(Pictures::Find(158)->face, EPictureFace::Disabled);
    EXPECT_EQ(Pictures::Find(1090)->nWidth, 150);
}

TEST(Pictures, PanelButtonsKeepBlackForTheCornersOnly)
{
    for (int id : {1026, 1027, 1028, 1025, 1064}) {
        const QImage img = LoadBitmap(id);
        // Rounded corners are transparent...
        EXPECT_TRUE(IsKey(img.pixel(0, 0), 0)) << id;
        EXPECT_TRUE(IsKey(img.pixel(187, 43), 0)) << id;
        // ...and nothing inside the body is pure black.
        EXPECT_EQ(CountKey(img, 0, QRect(10, 4, 168, 36)), 0) << id;
    }
}

TEST(Pictures, ToolbarIsThirteenImagesOnMagenta)
{
    const QImage img = LoadBitmap(Res::IDB_TOOLBAR);
    ASSERT_EQ(img.width(), 13 * 47);
    EXPECT_EQ(Pictures::ToolbarCaptions().size(), 13);
    for (int i = 0; i < 13; ++i) {
        const QRect cell(i * 47, 0, 47, 37);
        const int keyed = CountKey(img, 0xFF00FF, cell);
        EXPECT_GT(keyed, 47 * 37 / 3) << i;                                   // mostly background
        EXPECT_LT(keyed, 47 * 37 - 150) << i;                                 // but something is drawn
        EXPECT_EQ(CountKey(img, 0xFF00FF, QRect(i * 47, 35, 47, 2)), 47 * 2); // cut line stays empty
    }
}

TEST(Pictures, BrowseButtonsUseWhiteAsKey)
{
    for (int id : {Res::IDB_BROWSE_OVER, Res::IDB_BROWSE_NORMAL}) {
        const QImage img = LoadBitmap(id);
        EXPECT_TRUE(IsKey(img.pixel(0, 0), 0xFFFFFF)) << id;
        EXPECT_EQ(CountKey(img, 0xFFFFFF, QRect(3, 3, 19, 14)), 0) << id;
    }
    EXPECT_NE(LoadBitmap(Res::IDB_BROWSE_OVER), LoadBitmap(Res::IDB_BROWSE_NORMAL));
}

TEST(Pictures, LinkFramesDifferFromEachOther)
{
    const int frames[] = {147, 140, 142, 143, 144, 171, 188};
    for (int a = 0; a < 7; ++a)
        for (int b = a + 1; b < 7; ++b)
            EXPECT_NE(LoadBitmap(frames[a]), LoadBitmap(frames[b])) << frames[a] << " " << frames[b];
}

TEST(Pictures, ContactSheetIsWritten)
{
    const QImage sheet = Pictures::ContactSheet();
    ASSERT_FALSE(sheet.isNull());
    EXPECT_TRUE(sheet.save(QStringLiteral("/tmp/qpx-pictures.png")));
}
