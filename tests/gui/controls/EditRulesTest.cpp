#include "controls/EditRules.h"

#include <gtest/gtest.h>

namespace {

// Types `text` one character at a time; returns the index of the first refused character, or
// -1 when every character was taken.
int TypeInto(const SEditFieldRule& rule, const QString& text)
{
    QString field;
    for (int i = 0; i < text.size(); ++i) {
        const QString ch = text.mid(i, 1);
        if (!AcceptEditChange(rule, field, field + ch))
            return i;
        field += ch;
    }
    return -1;
}

SEditFieldRule Width(int bytes, const QString& allowed = QString())
{
    return SEditFieldRule{allowed, 0, bytes};
}

} // namespace

TEST(EditRules, OneByteRefusesAboveTwoFiftyFive)
{
    const SEditFieldRule rule = Width(1);
    EXPECT_EQ(TypeInto(rule, QStringLiteral("256")), 2); // refused at the last digit
    EXPECT_EQ(TypeInto(rule, QStringLiteral("255")), -1);
    EXPECT_EQ(TypeInto(rule, QStringLiteral("0x100")), 4);
    EXPECT_EQ(TypeInto(rule, QStringLiteral("0xff")), -1);
    EXPECT_EQ(TypeInto(rule, QStringLiteral("0xFF")), -1);
    EXPECT_EQ(TypeInto(rule, QStringLiteral("00")), 1); // refused at the second zero
    EXPECT_EQ(TypeInto(rule, QStringLiteral("0")), -1);
    EXPECT_EQ(TypeInto(rule, QStringLiteral("0x0")), 2); // zero written longer than one character
    EXPECT_FALSE(AcceptEditChange(rule, QStringLiteral("256"), QStringLiteral("2561")));
}

TEST(EditRules, WiderFieldsHaveTheirOwnLimits)
{
    EXPECT_EQ(TypeInto(Width(2), QStringLiteral("65535")), -1);
    EXPECT_EQ(TypeInto(Width(2), QStringLiteral("65536")), 4);
    EXPECT_EQ(TypeInto(Width(2), QStringLiteral("0x10000")), 6);
    EXPECT_EQ(TypeInto(Width(3), QStringLiteral("16777215")), -1);
    EXPECT_EQ(TypeInto(Width(3), QStringLiteral("16777216")), 7);
    EXPECT_EQ(TypeInto(Width(3), QStringLiteral("0xffffff")), -1);
    EXPECT_EQ(TypeInto(Width(4), QStringLiteral("4294967295")), -1);
    EXPECT_EQ(TypeInto(Width(4), QStringLiteral("4294967296")), 9);
    EXPECT_EQ(TypeInto(Width(4), QStringLiteral("0xffffffff")), -1);
    EXPECT_EQ(TypeInto(Width(4), QStringLiteral("0x100000000")), 10);
    // Far beyond 64 bits still counts as too large rather than wrapping round.
    EXPECT_EQ(TypeInto(Width(4), QStringLiteral("99999999999999999999999")), 9);
    // Without a width any number goes.
    EXPECT_EQ(TypeInto(Width(0), QStringLiteral("0099999999999")), -1);
    EXPECT_EQ(MaxValueForByteWidth(5), 0u);
}

TEST(EditRules, AllowedCharactersOnly)
{
    const SEditFieldRule rule{QStringLiteral("0123456789*#"), 0, 0};
    EXPECT_EQ(TypeInto(rule, QStringLiteral("*228#")), -1);
    EXPECT_EQ(TypeInto(rule, QStringLiteral("12a3")), 2);
    // A change is judged by what it inserts: removing text always passes, even from a text the
    // rules would refuse (one a plug-in put in the cell); a paste or drop inserts many at once.
    const struct
    {
        const char *before, *after;
        bool accepted;
    } changes[] = {
        {"x1", "x", true},    {"12", "", true},      {"", "12#", true},  {"", "12b", false},
        {"19", "1289", true}, {"19", "12b9", false}, {"12", "12", true}, {"1x2", "1x2#", true},
        {"abc", "ab#", true}, {"abc", "abd", false},
    };
    for (const auto& c : changes)
        EXPECT_EQ(AcceptEditChange(rule, QString::fromUtf8(c.before), QString::fromUtf8(c.after)), c.accepted)
            << c.before << " -> " << c.after;
    // Both rules together.
    const SEditFieldRule hex{QStringLiteral("0123456789abcdefx"), 0, 1};
    EXPECT_EQ(TypeInto(hex, QStringLiteral("0x1g")), 3);
    EXPECT_EQ(TypeInto(hex, QStringLiteral("0x1ff")), 4);
}

TEST(EditRules, TextRowsHoldTheirBytes)
{
    const SEditFieldRule four{QString(), 0, 0, 4};
    EXPECT_EQ(TypeInto(four, QStringLiteral("abcde")), 4);
    EXPECT_EQ(TypeInto(four, QStringLiteral("ab\u00e9c")), 3); // the e-acute takes two bytes
    EXPECT_EQ(TypeInto(four, QStringLiteral("\u20ac\u20ac")), 1)
        << "a character that does not fit whole is refused";
    EXPECT_FALSE(AcceptEditChange(four, QStringLiteral("ab"), QStringLiteral("abcde")));
    EXPECT_TRUE(AcceptEditChange(four, QStringLiteral("abcdef"), QStringLiteral("abcde"))); // shorter: passes
}

// The finished text: the whole of it is judged, and an unfinished "0x" is no number.
TEST(EditRules, FinishedTextMeetsEveryRule)
{
    const struct
    {
        SEditFieldRule rule;
        const char* text;
        bool accepted;
    } results[] = {
        {{QStringLiteral("0123456789"), 0, 0, 0}, "123", true},
        {{QStringLiteral("0123456789"), 0, 0, 0}, "1a3", false},
        {{QString(), 0, 1, 0}, "255", true},
        {{QString(), 0, 1, 0}, "256", false},
        {{QString(), 0, 1, 0}, "0x", false},
        {{QString(), 0, 1, 0}, "00", false},
        {{QString(), 0, 1, 0}, "", true},
        {{QString(), 0, 0, 3}, "abc", true},
        {{QString(), 0, 0, 3}, "abcd", false},
        {{QString(), 9, 0, 0}, "short", true},
    };
    for (const auto& r : results)
        EXPECT_EQ(AcceptEditResult(r.rule, QString::fromUtf8(r.text)), r.accepted) << r.text;
}

TEST(EditRules, IpAddressParts)
{
    const struct
    {
        const char* text;
        EIpPart result;
    } parts[] = {
        {"", EIpPart::Accepted},      {"0", EIpPart::Accepted},     {"255", EIpPart::Accepted},
        {"256", EIpPart::OutOfRange}, {"300", EIpPart::OutOfRange}, {"0255", EIpPart::OutOfRange},
        {"2a", EIpPart::NotANumber},  {"1.2", EIpPart::NotANumber}, {"-1", EIpPart::NotANumber},
    };
    for (const auto& p : parts)
        EXPECT_EQ(CheckIpPart(QString::fromUtf8(p.text)), p.result) << p.text;
    EXPECT_EQ(FormatIpAddress(192, 168, 0, 1), QStringLiteral("192.168.0.1"));
}

TEST(EditRules, NumberReadingAndLength)
{
    EXPECT_EQ(FieldNumber(QStringLiteral("0x1A")), 26u);
    EXPECT_EQ(FieldNumber(QStringLiteral("  42abc")), 42u);
    EXPECT_EQ(FieldNumber(QStringLiteral("1A")), 1u); // decimal without "0x"
    EXPECT_EQ(FieldNumber(QString()), 0u);
    EXPECT_TRUE(MeetsMinimumLength(SEditFieldRule{QString(), 4, 0}, QStringLiteral("1234")));
    EXPECT_FALSE(MeetsMinimumLength(SEditFieldRule{QString(), 4, 0}, QStringLiteral("123")));
}
