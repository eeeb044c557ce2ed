// The settings codec of the reference plug-in: the MIN / IMSI_S codings against the worked rules,
// and the refusal of values a field cannot hold (the data must stay untouched then).
#include "SettingsCodec.h"

#include <gtest/gtest.h>

namespace {

SNvField Field(ENvKind kind, int width, int offset = 0, const char* choices = nullptr)
{
    SNvField f;
    f.item = 7;
    f.kind = kind;
    f.width = width;
    f.offset = offset;
    f.choices = choices;
    return f;
}

QByteArray Zero()
{
    return QByteArray(128, '\0');
}

TEST(SettingsCodec, MinGroupsFollowTheDigitRule)
{
    EXPECT_EQ(EncodeDigitGroup(QStringLiteral("310")), 209); // MCC 310
    EXPECT_EQ(EncodeDigitGroup(QStringLiteral("212")), 0x065);
    EXPECT_EQ(EncodeDigitGroup(QStringLiteral("000")), 999);
    EXPECT_EQ(EncodeDigitGroup(QStringLiteral("111")), 0);
    EXPECT_EQ(EncodeDigitGroup(QStringLiteral("31")), 0xFFFF);
    EXPECT_EQ(EncodeDigitGroup(QStringLiteral("3a0")), 0xFFFF);
    EXPECT_EQ(DecodeDigitGroup(209), QStringLiteral("310"));
    EXPECT_EQ(DecodeDigitGroup(999), QStringLiteral("000"));
    EXPECT_EQ(DecodeDigitGroup(1000), QString());
    for (int v = 0; v <= 999; ++v)
        ASSERT_EQ(EncodeDigitGroup(DecodeDigitGroup(static_cast<quint32>(v))), v) << v;
}

TEST(SettingsCodec, ImsiSEncodesTheWorkedExampleAndRoundTrips)
{
    quint16 min2 = 0;
    quint32 min1 = 0;
    ASSERT_TRUE(EncodeImsiS(QStringLiteral("2125550147"), min2, min1));
    EXPECT_EQ(min2, 0x065);
    EXPECT_EQ(min1, 0x6F2824u);
    EXPECT_EQ(DecodeImsiS(0x065, 0x6F2824), QStringLiteral("2125550147"));
    for (const char* n : {"0000000000", "9999999999", "3105550000", "1234567890", "9080706050"}) {
        ASSERT_TRUE(EncodeImsiS(QLatin1String(n), min2, min1)) << n;
        EXPECT_LT(min2, 1024) << n;
        EXPECT_LT(min1, 1u << 24) << n;
        EXPECT_EQ(DecodeImsiS(min2, min1), QLatin1String(n));
    }
    EXPECT_FALSE(EncodeImsiS(QStringLiteral("212555014"), min2, min1));
    EXPECT_FALSE(EncodeImsiS(QStringLiteral("21255501477"), min2, min1));
    EXPECT_FALSE(EncodeImsiS(QStringLiteral("212555O147"), min2, min1));
    // Codes no number gives: a thousands digit of 0 or above 10, a group above 999, bits above 23.
    EXPECT_EQ(DecodeImsiS(0x065, 0x6F0024), QString());
    EXPECT_EQ(DecodeImsiS(0x065, 0x6F2C24), QString());
    EXPECT_EQ(DecodeImsiS(1000, 0x6F2824), QString());
    EXPECT_EQ(DecodeImsiS(0x065, 0x6F2824 | (1u << 24)), QString());
}

TEST(SettingsCodec, ImsiSIsWrittenIntoBothMinItemsAndBothCopies)
{
    SNvField f = Field(NK_IMSI_S, 10, 1);
    f.item = 33;
    f.item2 = 32;
    QByteArray min2 = Zero(), min1 = Zero();
    ASSERT_TRUE(FieldPatch(f, {QStringLiteral("2125550147")}, 33, min2));
    ASSERT_TRUE(FieldPatch(f, {QStringLiteral("2125550147")}, 32, min1));
    EXPECT_EQ(min2.mid(1, 4), QByteArray("\x65\x00\x65\x00", 4));
    EXPECT_EQ(min1.mid(1, 8), QByteArray("\x24\x28\x6F\x00\x24\x28\x6F\x00", 8));
    EXPECT_EQ(FieldShow(f, min2, min1).value(0), QStringLiteral("2125550147"));
    // Only the CDMA copies are shown.
    min1[1] = 0;
    EXPECT_EQ(FieldShow(f, min2, min1).value(0), QStringLiteral("2125550147"));
    min1[5] = 0;
    EXPECT_EQ(FieldShow(f, min2, min1).value(0), QStringLiteral("2125550111"));
    QByteArray other = Zero();
    EXPECT_FALSE(FieldPatch(f, {QStringLiteral("2125550147")}, 40, other)); // not one of its items
}

TEST(SettingsCodec, MccAndMncShowTheirDigits)
{
    const SNvField mcc = Field(NK_MCC, 2, 1);
    const SNvField mnc = Field(NK_MNC, 1, 1);
    QByteArray d = Zero();
    ASSERT_TRUE(FieldPatch(mcc, {QStringLiteral("310")}, 7, d));
    EXPECT_EQ(d.mid(1, 2), QByteArray("\xD1\x00", 2));
    EXPECT_EQ(FieldShow(mcc, d).value(0), QStringLiteral("310"));
    ASSERT_TRUE(FieldPatch(mnc, {QStringLiteral("00")}, 7, d));
    EXPECT_EQ(static_cast<quint8>(d.at(1)), 99);
    EXPECT_EQ(FieldShow(mnc, d).value(0), QStringLiteral("00"));
    ASSERT_TRUE(FieldPatch(mnc, {QStringLiteral("12")}, 7, d));
    EXPECT_EQ(static_cast<quint8>(d.at(1)), 1);
    EXPECT_FALSE(FieldPatch(mnc, {QStringLiteral("123")}, 7, d));
    EXPECT_FALSE(FieldPatch(mcc, {QStringLiteral("31")}, 7, d));
    d[1] = static_cast<char>(0xE8); // 1000: no three digits give it
    d[2] = 0x03;
    EXPECT_EQ(FieldShow(mcc, d).value(0), QString());
}

TEST(SettingsCodec, ValuesThatDoNotFitAreRefusedAndLeaveTheDataAlone)
{
    QByteArray d = Zero();
    d[0] = 0x55;
    const QByteArray before = d;
    struct SCase
    {
        SNvField f;
        QStringList cells;
    };
    SNvField ro = Field(NK_NUMBER, 1);
    ro.readOnly = true;
    SNvField spc = Field(NK_DIGITS, 6);
    spc.minLength = 6;
    const QList<SCase> cases = {
        {Field(NK_NUMBER, 1), {QStringLiteral("256")}},
        {Field(NK_NUMBER, 2), {QStringLiteral("65536")}},
        {Field(NK_NUMBER, 4), {QStringLiteral("4294967296")}},
        {Field(NK_NUMBER, 4), {QStringLiteral("0x100000000")}},
        {Field(NK_NUMBER, 1), {QStringLiteral("-1")}},
        {Field(NK_NUMBER, 1, 0, "Off|On"), {QStringLiteral("Maybe")}},
        {Field(NK_HEX, 1), {QStringLiteral("0x1FF")}},
        {Field(NK_TEXT, 4), {QStringLiteral("abcde")}},
        {Field(NK_TEXT, 8), {QStringLiteral("caf\u00e9")}},
        {Field(NK_TEXT, 8), {QStringLiteral("a\tb")}},
        {Field(NK_DIGITS, 10), {QStringLiteral("12345x")}},
        {spc, {QStringLiteral("12345")}},
        {Field(NK_DIAL, 8), {QStringLiteral("#77a")}},
        {Field(NK_LTEXT, 3), {QStringLiteral("abcd")}},
        {Field(NK_LDIAL, 8), {QStringLiteral("7 77")}},
        {Field(NK_IPV4, 4), {QStringLiteral("10.1.2.256")}},
        {Field(NK_IPV4, 4), {QStringLiteral("10.1.2")}},
        {Field(NK_IPV4, 4), {QStringLiteral("10.1.2.3.4")}},
        {Field(NK_SIDNID, 4), {QStringLiteral("70000"), QStringLiteral("1")}},
        {Field(NK_SIDNID, 4), {QStringLiteral("1"), QStringLiteral("x")}},
        {Field(NK_IMSI_S, 10), {QStringLiteral("21255501")}},
        {Field(NK_ESN, 4), {QStringLiteral("1")}},
        {Field(NK_TEXT, 8, 125), {QStringLiteral("ab")}}, // past the 128 bytes
        {ro, {QStringLiteral("1")}},
    };
    for (const SCase& c : cases) {
        EXPECT_FALSE(FieldPatch(c.f, c.cells, c.f.item, d)) << c.cells.join(QLatin1Char('/')).toStdString();
        ASSERT_EQ(d, before) << c.cells.join(QLatin1Char('/')).toStdString();
    }
}

TEST(SettingsCodec, EachKindWritesItsBytesAndShowsThemAgain)
{
    QByteArray d = Zero();
    ASSERT_TRUE(FieldPatch(Field(NK_NUMBER, 2, 3), {QStringLiteral("0x1234")}, 7, d));
    EXPECT_EQ(d.mid(3, 2), QByteArray("\x34\x12", 2));
    ASSERT_TRUE(FieldPatch(Field(NK_NUMBER, 4, 10), {QStringLiteral("4294967295")}, 7, d));
    EXPECT_EQ(FieldShow(Field(NK_NUMBER, 4, 10), d).value(0), QStringLiteral("4294967295"));

    SNvField copy = Field(NK_NUMBER, 1, 20);
    copy.copy = true;
    ASSERT_TRUE(FieldPatch(copy, {QStringLiteral("9")}, 7, d));
    EXPECT_EQ(d.mid(20, 2), QByteArray("\x09\x09", 2));

    ASSERT_TRUE(FieldPatch(Field(NK_HEX, 4, 24), {QStringLiteral("0x0100beef")}, 7, d));
    EXPECT_EQ(FieldShow(Field(NK_HEX, 4, 24), d).value(0), QStringLiteral("0x0100BEEF"));
    EXPECT_EQ(FieldShow(Field(NK_HEX, 1, 24), d).value(0), QStringLiteral("0xEF"));

    // A shorter text clears what a longer one left behind.
    const SNvField text = Field(NK_TEXT, 12, 30);
    ASSERT_TRUE(FieldPatch(text, {QStringLiteral("long name!!")}, 7, d));
    ASSERT_TRUE(FieldPatch(text, {QStringLiteral("short")}, 7, d));
    EXPECT_EQ(d.mid(30, 12), QByteArray("short\0\0\0\0\0\0\0", 12));

    const SNvField counted = Field(NK_LTEXT, 16, 50);
    ASSERT_TRUE(FieldPatch(counted, {QStringLiteral("user@kova")}, 7, d));
    EXPECT_EQ(static_cast<quint8>(d.at(50)), 9);
    EXPECT_EQ(d.mid(51, 10), QByteArray("user@kova\0", 10));
    EXPECT_EQ(FieldShow(counted, d).value(0), QStringLiteral("user@kova"));
    d[50] = static_cast<char>(200); // a length past the field shows only the field
    EXPECT_EQ(FieldShow(counted, d).value(0).size(), 16);

    ASSERT_TRUE(FieldPatch(Field(NK_IPV4, 4, 70), {QStringLiteral("10.1.2.254")}, 7, d));
    EXPECT_EQ(d.mid(70, 4), QByteArray("\x0A\x01\x02\xFE", 4));
    EXPECT_EQ(FieldShow(Field(NK_IPV4, 4, 70), d).value(0), QStringLiteral("10.1.2.254"));

    const SNvField pair = Field(NK_SIDNID, 4, 80);
    ASSERT_TRUE(FieldPatch(pair, {QStringLiteral("4145"), QStringLiteral("7")}, 7, d));
    EXPECT_EQ(FieldShow(pair, d), (QStringList{QStringLiteral("4145"), QStringLiteral("7")}));
    ASSERT_TRUE(FieldPatch(pair, {QStringLiteral("4146"), QString()}, 7, d)); // NID kept
    EXPECT_EQ(FieldShow(pair, d), (QStringList{QStringLiteral("4146"), QStringLiteral("7")}));

    ASSERT_TRUE(FieldPatch(Field(NK_ESN, 4, 90), {}, 7, d) == false);
    d.replace(90, 4, QByteArray("\xD3\x41\x2A\x8F", 4));
    EXPECT_EQ(FieldShow(Field(NK_ESN, 4, 90), d),
              (QStringList{QString::number(0x8F2A41D3u), QStringLiteral("8F2A41D3")}));
}

TEST(SettingsCodec, ChoicesMapTextsToIndexesOrToTheirOwnValues)
{
    const SNvField byIndex = Field(NK_NUMBER, 1, 0, "A only|B only|Home only");
    const SNvField byValue = Field(NK_NUMBER, 1, 0, "4=Automatic|9=1x only|19=1x + HDR");
    QByteArray d = Zero();
    ASSERT_TRUE(FieldPatch(byIndex, {QStringLiteral("Home only")}, 7, d));
    EXPECT_EQ(d.at(0), 2);
    ASSERT_TRUE(FieldPatch(byValue, {QStringLiteral("1x + HDR")}, 7, d));
    EXPECT_EQ(d.at(0), 19);
    EXPECT_EQ(FieldShow(byValue, d).value(0), QStringLiteral("1x + HDR"));
    // A value without a text shows as its number and can be written as one.
    ASSERT_TRUE(FieldPatch(byValue, {QStringLiteral("5")}, 7, d));
    EXPECT_EQ(FieldShow(byValue, d).value(0), QStringLiteral("5"));
    const auto choices = FieldChoices("4=Automatic|9=1x only");
    ASSERT_EQ(choices.size(), 2);
    EXPECT_EQ(choices[1].first, 9u);
    EXPECT_EQ(choices[1].second, QStringLiteral("1x only"));
}

} // namespace
