#include "controls/EditRules.h"

#include <gtest/gtest.h>

namespace {

// Types `text` one character at a time; returns the index of the first refused character, or
// -1 when every character was taken.
int TypeInto(const SEditFieldRule& rule, const QString& text)
{
    QString field;
    for (int i = 0; i < text.size(); ++i) {
        if (!AcceptEditChange(rule, field, field + text.mid(i, 1)))
            return i;
        field += text.mid(i, 1);
    }
    return -1;
}

} // namespace

// Every rule of the grid's fields: typed key by key (T: index of the first refused character),
// a change judged by what it inserts (C: paste, drop, removal), the finished text (R), the
// minimum length (M), a part of an IP address (I) and the number a field holds (N).
TEST(EditRules, EveryRuleOfTheFields)
{
    const SEditFieldRule none{}, w1{{}, 0, 1}, w2{{}, 0, 2}, w3{{}, 0, 3}, w4{{}, 0, 4},
        phone{QStringLiteral("0123456789*#"), 0, 0}, digits{QStringLiteral("0123456789"), 0, 0},
        hex{QStringLiteral("0123456789abcdefx"), 0, 1}, bytes4{{}, 0, 0, 4}, bytes3{{}, 0, 0, 3},
        min4{{}, 4, 0}, min9{{}, 9, 0};
    const QString e = QStringLiteral("\u00e9"), euro = QStringLiteral("\u20ac");
    const int ok = int(EIpPart::Accepted), range = int(EIpPart::OutOfRange), nan = int(EIpPart::NotANumber);
    // clang-format off
    const struct { char kind; SEditFieldRule rule; QString a, b; qint64 want; } cases[] = {
        // One byte: refused above 255, and a zero written longer than one character.
        {'T', w1, "256", {}, 2}, {'T', w1, "255", {}, -1}, {'T', w1, "0x100", {}, 4}, {'T', w1, "0xff", {}, -1},
        {'T', w1, "0xFF", {}, -1}, {'T', w1, "00", {}, 1}, {'T', w1, "0", {}, -1}, {'T', w1, "0x0", {}, 2},
        {'C', w1, "256", "2561", 0},
        // Wider fields have their own limits; far beyond 64 bits is still too large.
        {'T', w2, "65535", {}, -1}, {'T', w2, "65536", {}, 4}, {'T', w2, "0x10000", {}, 6},
        {'T', w3, "16777215", {}, -1}, {'T', w3, "16777216", {}, 7}, {'T', w3, "0xffffff", {}, -1},
        {'T', w4, "4294967295", {}, -1}, {'T', w4, "4294967296", {}, 9}, {'T', w4, "0xffffffff", {}, -1},
        {'T', w4, "0x100000000", {}, 10}, {'T', w4, "99999999999999999999999", {}, 9},
        {'T', none, "0099999999999", {}, -1},
        // Allowed characters; removing text always passes; both rules together.
        {'T', phone, "*228#", {}, -1}, {'T', phone, "12a3", {}, 2}, {'C', phone, "x1", "x", 1},
        {'C', phone, "12", "", 1}, {'C', phone, "", "12#", 1}, {'C', phone, "", "12b", 0},
        {'C', phone, "19", "1289", 1}, {'C', phone, "19", "12b9", 0}, {'C', phone, "12", "12", 1},
        {'C', phone, "1x2", "1x2#", 1}, {'C', phone, "abc", "ab#", 1}, {'C', phone, "abc", "abd", 0},
        {'T', hex, "0x1g", {}, 3}, {'T', hex, "0x1ff", {}, 4},
        // Text rows hold their bytes; a character that does not fit whole is refused.
        {'T', bytes4, "abcde", {}, 4}, {'T', bytes4, "ab" + e + "c", {}, 3}, {'T', bytes4, euro + euro, {}, 1},
        {'C', bytes4, "ab", "abcde", 0}, {'C', bytes4, "abcdef", "abcde", 1},
        // The finished text: the whole of it is judged, and an unfinished "0x" is no number.
        {'R', digits, "123", {}, 1}, {'R', digits, "1a3", {}, 0}, {'R', w1, "255", {}, 1},
        {'R', w1, "256", {}, 0}, {'R', w1, "0x", {}, 0}, {'R', w1, "00", {}, 0}, {'R', w1, "", {}, 1},
        {'R', bytes3, "abc", {}, 1}, {'R', bytes3, "abcd", {}, 0}, {'R', min9, "short", {}, 1},
        {'M', min4, "1234", {}, 1}, {'M', min4, "123", {}, 0},
        {'I', none, "", {}, ok}, {'I', none, "0", {}, ok}, {'I', none, "255", {}, ok},
        {'I', none, "256", {}, range}, {'I', none, "300", {}, range}, {'I', none, "0255", {}, range},
        {'I', none, "2a", {}, nan}, {'I', none, "1.2", {}, nan}, {'I', none, "-1", {}, nan},
        {'N', none, "0x1A", {}, 26}, {'N', none, "  42abc", {}, 42}, {'N', none, "1A", {}, 1},
        {'N', none, "", {}, 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(1, c.kind) + " " + c.a.toStdString() + " -> " + c.b.toStdString());
        // clang-format off
        switch (c.kind) {
        case 'T': EXPECT_EQ(TypeInto(c.rule, c.a), c.want); break;
        case 'C': EXPECT_EQ(AcceptEditChange(c.rule, c.a, c.b), c.want != 0); break;
        case 'R': EXPECT_EQ(AcceptEditResult(c.rule, c.a), c.want != 0); break;
        case 'M': EXPECT_EQ(MeetsMinimumLength(c.rule, c.a), c.want != 0); break;
        case 'I': EXPECT_EQ(int(CheckIpPart(c.a)), c.want); break;
        default: EXPECT_EQ(qint64(FieldNumber(c.a)), c.want); break;
        }
        // clang-format on
    }
    EXPECT_EQ(MaxValueForByteWidth(5), 0u);
    EXPECT_EQ(FormatIpAddress(192, 168, 0, 1), QStringLiteral("192.168.0.1"));
}
