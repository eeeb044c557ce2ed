// The settings map of the reference plug-in against the page's catalogue, the shared table of
// private items, and the simulator's factory values built from it: a renamed catalogue row, a
// private number given twice or a factory value that does not fit its row all fail here. That
// every mapped row reads a value from the simulator is checked end to end.
#include "SettingsMap.h"
#include "HandsetState.h"
#include "NvDefaults.h"
#include "PrivateItems.h"
#include "TestEnv.h"
#include "pages/NvCatalogue.h"

#include <QSet>

#include <QDataStream>
#include <QFile>
#include <QHash>

#include <gtest/gtest.h>

namespace {

// The n-th row of a name in a category (0 for the first), or -1.
int RowOf(int category, const QString& name, int occurrence)
{
    const QStringList rows = NvCategoryItems(category);
    for (int r = 0, seen = 0; r < rows.size(); ++r)
        if (rows[r] == name && seen++ == occurrence)
            return r;
    return -1;
}

bool IsLeftOut(int category, const QString& name)
{
    for (const SLeftOutRow& l : SettingsLeftOut())
        if (l.category == category && name == QLatin1String(l.name))
            return true;
    return false;
}

TEST(SettingsMap, EveryCatalogueRowIsMappedOrDeliberatelyLeftOut)
{
    int mapped = 0;
    for (int c = 0; c < NV_CATEGORY_COUNT; ++c) {
        for (int r = 0; r < NvCategoryItemCount(c); ++r) {
            SNvField f;
            const bool isMapped = SettingsRowField(c, r, f);
            const QString name = NvItemName(c, r);
            EXPECT_NE(isMapped, IsLeftOut(c, name))
                << NvCategoryTabText(c).toStdString() << ": \"" << name.toStdString() << "\"";
            mapped += isMapped ? 1 : 0;
        }
        SNvField f;
        EXPECT_FALSE(SettingsRowField(c, NvCategoryItemCount(c), f)); // past the last row
    }
    EXPECT_EQ(mapped + static_cast<int>(SettingsLeftOut().size()), NvTotalItemCount());
    for (const SLeftOutRow& l : SettingsLeftOut())
        EXPECT_GE(RowOf(l.category, QLatin1String(l.name), 0), 0) << l.name; // still in the catalogue
}

TEST(SettingsMap, PrivateItemsNameRealRowsAndOwnTheirNumbers)
{
    QSet<quint16> numbers;
    for (const SPrivateItem& p : PrivateItems()) {
        const QString name = QLatin1String(p.row);
        // A renamed or removed catalogue row leaves its private item behind: caught here.
        EXPECT_GE(RowOf(p.category, name, p.occurrence), 0) << p.row << " #" << p.occurrence;
        EXPECT_GE(p.item, PRIVATE_ITEM_FIRST) << p.row;
        EXPECT_FALSE(numbers.contains(p.item)) << "item " << p.item << " given twice";
        numbers.insert(p.item);
        EXPECT_EQ(FindPrivateItem(p.category, name, p.occurrence), &p) << p.row;
    }
    // The three "Emergency Numbers" rows are three items.
    const int first = RowOf(4, QStringLiteral("Emergency Numbers"), 0);
    SNvField a, b, c;
    ASSERT_TRUE(SettingsRowField(4, first, a) && SettingsRowField(4, first + 1, b) &&
                SettingsRowField(4, first + 2, c));
    EXPECT_NE(a.item, b.item);
    EXPECT_NE(b.item, c.item);
}

TEST(SettingsMap, PublicRowsStayBelowThePrivateRange)
{
    for (int c = 0; c < NV_CATEGORY_COUNT; ++c)
        for (int r = 0; r < NvCategoryItemCount(c); ++r) {
            SNvField f;
            if (!SettingsRowField(c, r, f) || FindPrivateItem(c, NvItemName(c, r), 0) != nullptr)
                continue;
            EXPECT_LT(f.item, PRIVATE_ITEM_FIRST) << NvItemName(c, r).toStdString();
            if (c == 1 || c == 2) {
                EXPECT_GE(f.offset, 1)
                    << "byte 0 of a NAM item is the NAM index: " << NvItemName(c, r).toStdString();
            }
        }
}

TEST(SettingsMap, EveryPrivateFactoryValueFitsItsRowAndShowsAsWritten)
{
    for (const SPrivateItem& p : PrivateItems()) {
        const QByteArray data = PrivateFactoryData(p);
        ASSERT_EQ(data.size(), 128) << p.row;
        EXPECT_EQ(FieldShow(PrivateField(p), data).value(0), QLatin1String(p.factory)) << p.row;
        // The row's factory data and text seed the settings codec's fuzz target.
        qpxtest::FuzzSeed("settings_codec", QByteArray(1, char(p.category)) +
                                                char(RowOf(p.category, QLatin1String(p.row), p.occurrence)) +
                                                char(data.size()) + data + p.factory);
        EXPECT_FALSE(QByteArray(p.factory).isEmpty()) << p.row;
    }
}

// Reads one field the way the plug-in does: through the simulator's NV read with the NAM index.
QStringList ShowFromState(const CHandsetState& s, const SNvField& f, int nam, bool* allSet)
{
    QList<QByteArray> data;
    for (const quint16 item : FieldItems(f)) {
        QByteArray d;
        const QByteArray request(1, static_cast<char>(nam < 0 ? 0 : nam));
        *allSet = s.ReadNv(item, request, d) == CHandsetState::NV_DONE && *allSet;
        data.append(d);
    }
    return FieldShow(f, data.value(0), data.value(1));
}

TEST(SimulatorDefaults, FactoryValuesFollowTheProfile)
{
    SHandsetProfile profile;
    profile.strDigitalNumber = QStringLiteral("3105550000");
    profile.nSid = 22;
    const CHandsetState state(profile);
    SNvField imsi, sid;
    ASSERT_TRUE(
        SettingsRowField(2, static_cast<int>(NvCategoryItems(2).indexOf(QStringLiteral("IMSI_S"))), imsi));
    ASSERT_TRUE(SettingsRowField(
        2, static_cast<int>(NvCategoryItems(2).indexOf(QStringLiteral("CDMA Home SID/NID"))), sid));
    bool set = true;
    EXPECT_EQ(ShowFromState(state, imsi, 1, &set).value(0), QStringLiteral("3105550000"));
    EXPECT_EQ(ShowFromState(state, sid, 1, &set).value(0), QStringLiteral("22"));
    EXPECT_TRUE(set);
    // The ERI version stays unwritten when the profile says so.
    profile.bEriSet = false;
    QByteArray d;
    EXPECT_EQ(CHandsetState(profile).ReadNv(4025, {}, d), CHandsetState::NV_INACTIVE);
}

// A value written into the state folder is read again by the next simulator, a new handset starts
// from the factory value, and a state file older than an item gets the item's factory value.
TEST(SimulatorDefaults, StateFolderValuesWinOverFactoryValues)
{
    const SPrivateItem* language = FindPrivateItem(4, QStringLiteral("Language"), 0);
    ASSERT_NE(language, nullptr);
    const auto shown = [&](const CHandsetState& s) {
        QByteArray d;
        EXPECT_EQ(s.ReadNv(language->item, {}, d), CHandsetState::NV_DONE);
        return FieldShow(PrivateField(*language), d).value(0);
    };
    const QString folder = qpxtest::MakeTempDir(QStringLiteral("state"));
    QByteArray korean(128, '\0');
    ASSERT_TRUE(FieldPatch(PrivateField(*language), {QStringLiteral("Korean")}, language->item, korean));
    {
        CHandsetState first{SHandsetProfile()};
        ASSERT_TRUE(first.UseStateFolder(folder, nullptr));
        ASSERT_EQ(first.WriteNv(language->item, korean), CHandsetState::NV_DONE);
    }
    CHandsetState again{SHandsetProfile()};
    ASSERT_TRUE(again.UseStateFolder(folder, nullptr));
    EXPECT_EQ(shown(again), QStringLiteral("Korean"));
    EXPECT_EQ(shown(CHandsetState{SHandsetProfile()}), QStringLiteral("English"));

    // A state file written before the item existed: only item 4 (SCM), with a value of its own.
    const QString old = qpxtest::MakeTempDir(QStringLiteral("old"));
    QByteArray scm(128, '\0');
    scm[0] = 0x2B;
    QHash<quint32, QByteArray> items;
    items.insert(4, scm);
    QFile f(old + QStringLiteral("/state.dat"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    QDataStream out(&f);
    out << quint32(0x51505853) << items << QByteArray() << QByteArray() << QStringLiteral("VKQ100A1");
    f.close();
    CHandsetState state{SHandsetProfile()};
    ASSERT_TRUE(state.UseStateFolder(old, nullptr));
    QByteArray d;
    ASSERT_EQ(state.ReadNv(4, {}, d), CHandsetState::NV_DONE);
    EXPECT_EQ(static_cast<quint8>(d.at(0)), 0x2B);
    EXPECT_EQ(shown(state), QStringLiteral("English"));
}

} // namespace
