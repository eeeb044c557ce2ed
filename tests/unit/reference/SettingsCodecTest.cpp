// The settings codec of the reference plug-in: the MIN / IMSI_S codings against the worked rules,
// and the refusal of values a field cannot hold (the data must stay untouched then).
#include "SettingsCodec.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

SNvField Field(ENvKind kind, int width, int offset = 0, const char* choices = nullptr)
{
    return {.item = 7, .offset = offset, .kind = kind, .width = width, .choices = choices};
}

// The cells of a row, "|" between them.
QStringList Cells(const char* joined)
{
    return QString::fromUtf8(joined).split(QLatin1Char('|'));
}

// The cells a field shows, "|" between them; trailing empty cells left out.
QString Shown(const SNvField& f, const QByteArray& d, const QByteArray& d2 = {})
{
    QStringList cells = FieldShow(f, d, d2);
    while (!cells.isEmpty() && cells.back().isEmpty())
        cells.removeLast();
    return cells.join(QLatin1Char('|'));
}

TEST(SettingsCodec, MinGroupsAndImsiSFollowTheWorkedRules)
{
    for (const auto& [text, code] :
         {std::pair{"310", 209}, {"000", 999}, {"111", 0}, {"31", 0xFFFF}, {"3a0", 0xFFFF}})
        EXPECT_EQ(EncodeDigitGroup(QLatin1String(text)), code) << text;
    EXPECT_EQ(DecodeDigitGroup(1000), QString());
    for (int v = 0; v <= 999; ++v)
        ASSERT_EQ(EncodeDigitGroup(DecodeDigitGroup(static_cast<quint32>(v))), v) << v;
    // The codes of 2125550147 are checked byte by byte with the items below.
    quint16 min2 = 0;
    quint32 min1 = 0;
    for (const char* n :
         {"2125550147", "0000000000", "9999999999", "3105550000", "1234567890", "9080706050"}) {
        ASSERT_TRUE(EncodeImsiS(QLatin1String(n), min2, min1)) << n;
        EXPECT_EQ(DecodeImsiS(min2, min1), QLatin1String(n)); // which refuses codes out of range
    }
    for (const char* n : {"212555014", "21255501477", "212555O147"})
        EXPECT_FALSE(EncodeImsiS(QLatin1String(n), min2, min1)) << n;
    // Codes no number gives: a thousands digit of 0 or above 10, a group above 999, bits above 23.
    for (const auto& [m2, m1] : {std::pair<quint16, quint32>{0x065, 0x6F0024},
                                 {0x065, 0x6F2C24},
                                 {1000, 0x6F2824},
                                 {0x065, 0x6F2824 | (1u << 24)}})
        EXPECT_EQ(DecodeImsiS(m2, m1), QString()) << m2 << " " << m1;
}

TEST(SettingsCodec, ImsiSIsWrittenIntoBothMinItemsAndBothCopies)
{
    SNvField f{.item = 33, .item2 = 32, .offset = 1, .kind = NK_IMSI_S, .width = 10};
    QByteArray min2(128, '\0'), min1(128, '\0'), other(128, '\0');
    ASSERT_TRUE(FieldPatch(f, Cells("2125550147"), 33, min2) && FieldPatch(f, Cells("2125550147"), 32, min1));
    EXPECT_EQ(min2.mid(1, 4) + min1.mid(1, 8), QByteArray::fromHex("65006500 24286F00 24286F00"));
    EXPECT_EQ(Shown(f, min2, min1), u"2125550147"_s);
    // Only the CDMA copies are shown.
    min1[1] = 0;
    EXPECT_EQ(Shown(f, min2, min1), u"2125550147"_s);
    min1[5] = 0;
    EXPECT_EQ(Shown(f, min2, min1), u"2125550111"_s);
    EXPECT_FALSE(FieldPatch(f, Cells("2125550147"), 40, other)); // not one of its items
}

TEST(SettingsCodec, ValuesThatDoNotFitAreRefusedAndLeaveTheDataAlone)
{
    QByteArray d(128, '\0');
    d[0] = 0x55;
    const QByteArray before = d;
    SNvField sixDigits = Field(NK_DIGITS, 6), readOnly{.item = 7, .readOnly = true};
    sixDigits.minLength = 6;
    const struct
    {
        SNvField f;
        const char* tries; // the cells of each try, ";" between tries
    } cases[] = {
        {Field(NK_NUMBER, 1), "256;-1"},
        {Field(NK_NUMBER, 2), "65536"},
        {Field(NK_NUMBER, 4), "4294967296;0x100000000"},
        {Field(NK_NUMBER, 1, 0, "Off|On"), "Maybe"},
        {Field(NK_HEX, 1), "0x1FF"},
        {Field(NK_TEXT, 4), "abcde"},
        {Field(NK_TEXT, 8), "caf\u00e9;a\tb"},
        {Field(NK_DIGITS, 10), "12345x"},
        {sixDigits, "12345"},
        {Field(NK_DIAL, 8), "#77a"},
        {Field(NK_LTEXT, 3), "abcd"},
        {Field(NK_LDIAL, 8), "7 77"},
        {Field(NK_IPV4, 4), "10.1.2.256;10.1.2;10.1.2.3.4"},
        {Field(NK_SIDNID, 4), "70000|1;1|x"},
        {Field(NK_IMSI_S, 10), "21255501"},
        {Field(NK_ESN, 4), "1"},
        {Field(NK_TEXT, 8, 125), "ab"}, // past the 128 bytes
        {readOnly, "1"},
        {Field(NK_MNC, 1, 1), "123"},
        {Field(NK_MCC, 2, 1), "31"},
    };
    for (const auto& c : cases) {
        for (const QByteArray& cells : QByteArray(c.tries).split(';')) {
            EXPECT_FALSE(FieldPatch(c.f, Cells(cells.constData()), c.f.item, d)) << cells.constData();
            ASSERT_EQ(d, before) << cells.constData();
        }
    }
}

// Each kind writes its bytes at its offset and shows them again, "|" between the shown cells.
TEST(SettingsCodec, EachKindWritesItsBytesAndShowsThemAgain)
{
    SNvField copy = Field(NK_NUMBER, 1, 20);
    copy.copy = true;
    const struct
    {
        SNvField f;
        const char* cells;
        QByteArray bytes; // at the field's offset
        const char* shown;
    } cases[] = {
        {Field(NK_NUMBER, 2, 3), "0x1234", QByteArray("\x34\x12", 2), "4660"},
        {Field(NK_NUMBER, 4, 10), "4294967295", "\xFF\xFF\xFF\xFF", "4294967295"},
        {copy, "9", "\x09\x09", "9"},
        {Field(NK_HEX, 4, 24), "0x0100beef", QByteArray("\xEF\xBE\x00\x01", 4), "0x0100BEEF"},
        {Field(NK_TEXT, 12, 30), "long name!!", "long name!!\0", "long name!!"},
        {Field(NK_TEXT, 12, 30), "short", QByteArray("short\0\0\0\0\0\0\0", 12), "short"}, // clears the rest
        {Field(NK_LTEXT, 16, 50), "user@kova", QByteArray("\x09user@kova\0", 11), "user@kova"},
        {Field(NK_IPV4, 4, 70), "10.1.2.254", "\x0A\x01\x02\xFE", "10.1.2.254"},
        {Field(NK_SIDNID, 4, 80), "4145|7", "\x31\x10\x07\x00", "4145|7"},
        {Field(NK_SIDNID, 4, 80), "4146|", "\x32\x10\x07\x00", "4146|7"}, // NID kept
        {Field(NK_MCC, 2, 90), "310", QByteArray("\xD1\x00", 2), "310"},
        {Field(NK_MNC, 1, 95), "00", "\x63", "00"},
        {Field(NK_MNC, 1, 95), "12", "\x01", "12"},
        {Field(NK_NUMBER, 1, 100, "A only|B only|Home only"), "Home only", "\x02", "Home only"},
        {Field(NK_NUMBER, 1, 100, "4=Automatic|9=1x only|19=1x + HDR"), "1x + HDR", "\x13", "1x + HDR"},
        {Field(NK_NUMBER, 1, 100, "4=Automatic|9=1x only"), "5", "\x05", "5"}, // a value without a text
    };
    QByteArray d(128, '\0');
    for (const auto& c : cases) {
        ASSERT_TRUE(FieldPatch(c.f, Cells(c.cells), 7, d)) << c.cells;
        EXPECT_EQ(d.mid(c.f.offset, c.bytes.size()), c.bytes) << c.cells;
        EXPECT_EQ(Shown(c.f, d), QLatin1String(c.shown)) << c.cells;
    }
    EXPECT_EQ(Shown(Field(NK_HEX, 1, 24), d), u"0xEF"_s);
    d[50] = static_cast<char>(200); // a length past the field shows only the field
    EXPECT_EQ(Shown(Field(NK_LTEXT, 16, 50), d).size(), 16);
    d[90] = static_cast<char>(0xE8); // 1000: no three digits give it
    d[91] = 0x03;
    EXPECT_EQ(Shown(Field(NK_MCC, 2, 90), d), QString());
    d.replace(90, 4, QByteArray("\xD3\x41\x2A\x8F", 4));
    EXPECT_EQ(Shown(Field(NK_ESN, 4, 90), d), u"2401911251|8F2A41D3"_s);
    const auto choices = FieldChoices("4=Automatic|9=1x only");
    EXPECT_TRUE(choices.size() == 2 && choices[1].first == 9u && choices[1].second == u"1x only"_s);
}

} // namespace
