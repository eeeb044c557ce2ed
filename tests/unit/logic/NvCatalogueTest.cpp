#include "pages/NvCatalogue.h"
#include "QtPrint.h"

#include <gtest/gtest.h>

#include <QSet>

TEST(NvCatalogue, CategoriesAndCounts)
{
    const char* tabs[] = {"General NAM", "NAM1",           "NAM2",    "System Security",
                          "FEATURE",     "Data Parameter", "SMS_EMS", "MMS",
                          "WAP",         "BREW",           "LBS",     "PTT",
                          "Reserved1",   "Reserved2"};
    const int counts[] = {3, 24, 24, 2, 72, 36, 14, 23, 7, 12, 2, 0, 0, 0};
    for (int c = 0; c < NV_CATEGORY_COUNT; ++c) {
        EXPECT_EQ(NvCategoryTabText(c), QLatin1String(tabs[c])) << c;
        EXPECT_EQ(NvCategoryItemCount(c), counts[c]) << c;
        EXPECT_EQ(NvCategoryItems(c).size(), counts[c]) << c;
    }
    EXPECT_EQ(NvTotalItemCount(), 219);
    EXPECT_EQ(NvCategoryTabText(14), QString());
    EXPECT_EQ(NvCategoryItemCount(-1), 0);
    EXPECT_TRUE(NvCategoryItems(11).isEmpty());
}

TEST(NvCatalogue, ExactNames)
{
    EXPECT_EQ(NvCategoryItems(0), (QStringList{QStringLiteral("SCM"), QStringLiteral("Voice Privacy"),
                                               QStringLiteral("Slot Cycle Index")}));
    EXPECT_EQ(NvItemName(1, 19), QStringLiteral("Register - Foreign SID "));
    EXPECT_EQ(NvItemName(1, 23), QStringLiteral("System Select Preference"));
    EXPECT_EQ(NvCategoryItems(1), NvCategoryItems(2));
    EXPECT_EQ(NvItemName(3, 0), QStringLiteral("Service Programming Code(SPC)"));
    EXPECT_EQ(NvItemName(4, 3), QStringLiteral("Auto Retry (auto re-dial) "));
    EXPECT_EQ(NvItemName(4, 14), QStringLiteral("Voice Mail Call Back #"));
    for (int row : {15, 16, 17})
        EXPECT_EQ(NvItemName(4, row), QStringLiteral("Emergency Numbers")) << row;
    EXPECT_EQ(NvItemName(4, 18), QStringLiteral("ERI Banner"));
    EXPECT_EQ(NvItemName(4, 25), QStringLiteral("Power Saver "));
    EXPECT_EQ(NvItemName(4, 71), QStringLiteral("Sub LCD Contrast"));
    EXPECT_EQ(NvItemName(5, 35), QStringLiteral("pref_mode(1xEV-DO)"));
    EXPECT_EQ(NvItemName(6, 2), QStringLiteral("Resend Preiod"));
    EXPECT_EQ(NvItemName(7, 22), QStringLiteral("White Balance(FLIX)"));
    EXPECT_EQ(NvItemName(9, 11), QStringLiteral("BREW Mobile IM CLASSID"));
    EXPECT_EQ(NvItemName(10, 1), QStringLiteral("PDE Port Number"));
    EXPECT_EQ(NvItemName(10, 2), QString());
    EXPECT_EQ(NvItemName(11, 0), QString());
}

TEST(NvCatalogue, OnlyKnownNamesCarryBlanksOrRepeat)
{
    QSet<QString> padded;
    for (int c = 0; c < NV_CATEGORY_COUNT; ++c) {
        const QStringList items = NvCategoryItems(c);
        QSet<QString> seen;
        for (const QString& name : items) {
            EXPECT_FALSE(name.isEmpty());
            EXPECT_FALSE(name.startsWith(QLatin1Char(' '))) << name.toStdString();
            if (name.endsWith(QLatin1Char(' ')))
                padded.insert(name);
            if (seen.contains(name)) {
                EXPECT_EQ(name, QStringLiteral("Emergency Numbers"));
            }
            seen.insert(name);
        }
    }
    EXPECT_EQ(padded,
              (QSet<QString>{QStringLiteral("Register - Foreign SID "),
                             QStringLiteral("Auto Retry (auto re-dial) "), QStringLiteral("Power Saver ")}));
}
