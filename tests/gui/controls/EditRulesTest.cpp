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
        if (!AcceptEditKeystroke(rule, EEditKey::Char, ch, field + ch))
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
    EXPECT_FALSE(AcceptEditKeystroke(rule, EEditKey::Char, QStringLiteral("1"), QStringLiteral("2561")));
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
    // Backspace, copy and cut pass whatever the text; a paste is judged by what it inserts.
    EXPECT_TRUE(AcceptEditKeystroke(rule, EEditKey::Backspace, QString(), QStringLiteral("x")));
    EXPECT_TRUE(AcceptEditKeystroke(rule, EEditKey::Copy, QString(), QStringLiteral("x")));
    EXPECT_TRUE(AcceptEditKeystroke(rule, EEditKey::Cut, QString(), QString()));
    EXPECT_TRUE(AcceptEditKeystroke(rule, EEditKey::Paste, QStringLiteral("12#"), QStringLiteral("12#")));
    EXPECT_FALSE(AcceptEditKeystroke(rule, EEditKey::Paste, QStringLiteral("12b"), QStringLiteral("12b")));
    // Both rules together.
    const SEditFieldRule hex{QStringLiteral("0123456789abcdefx"), 0, 1};
    EXPECT_EQ(TypeInto(hex, QStringLiteral("0x1g")), 3);
    EXPECT_EQ(TypeInto(hex, QStringLiteral("0x1ff")), 4);
}

TEST(EditRules, NumberReadingAndLength)
{
    EXPECT_EQ(FieldNumber(QStringLiteral("0x1A")), 26u);
    EXPECT_EQ(FieldNumber(QStringLiteral("  42abc")), 42u);
    EXPECT_EQ(FieldNumber(QStringLiteral("1A")), 1u); // decimal without "0x"
    EXPECT_EQ(FieldNumber(QString()), 0u);
    EXPECT_TRUE(MeetsMinimumLength(SEditFieldRule{QString(), 4, 0}, QStringLiteral("1234")));
    EXPECT_FALSE(MeetsMinimumLength(SEditFieldRule{QString(), 4, 0}, QStringLiteral("123")));
    EXPECT_EQ(FormatIpAddress(192, 168, 0, 1), QStringLiteral("192.168.0.1"));
}
