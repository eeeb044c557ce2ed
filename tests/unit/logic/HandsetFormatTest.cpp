#include "handset/HandsetFormat.h"
#include "serial/DiagCodec.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace Qt::StringLiterals;

namespace {

// The rows of `full` whose digit (0-9, then A) is in `shown`, the others empty.
QStringList Shown(const QStringList& full, const char* shown)
{
    QStringList out;
    for (int i = 0; i < full.size(); ++i)
        out << (QByteArray(shown).contains("0123456789A"[i]) ? full[i] : QString());
    return out;
}

} // namespace

TEST(HandsetFormat, ScalarTexts)
{
    EXPECT_EQ((QStringList{FormatEsn(0x12AB34), FormatEsn(0xFFFFFFFFu), FormatRfMode(0), FormatRfMode(3),
                           FormatRfMode(4), FormatPilotPn(998), FormatPilotPn(999), PrlVersionText(52, 53),
                           EriVersionText(0xFFFF)}),
              QString::fromLatin1("0012ab34|ffffffff|ANALOG|SLEEP|??????|998| 0|1: 52    2: 53|65535")
                  .split(QLatin1Char('|')));
}

// Each group digit is shown plus one modulo ten, a thousands digit of 10 as 0 and of 0 or above 10
// as "/"; an area code or low group out of range shows nothing, no MIN1 only the area code, and a
// leading group of 1000 or more keeps three characters.
TEST(HandsetFormat, MobileNumbers)
{
    const struct
    {
        unsigned lead, thousands, low, min2; // MIN1 is lead (bits 14..23), thousands (10..13), low
        const char* text;
    } cases[] = {
        {309, 5, 456, 212, "(323) 410-5567"},
        {0, 10, 999, 123, "(234) 111-0000"},
        {309, 5, 456, 1000, ""},
        {309, 5, 1000, 212, ""},
        {0, 0, 0, 212, "(323) "},
        {309, 5, 456, 0, "410-5567"},
        {0, 0, 0, 0, ""},
        {309, 0, 456, 0, "410-/567"},
        {309, 9, 456, 0, "410-9567"},
        {309, 11, 456, 0, "410-/567"},
        {1023, 5, 456, 0, "213-5567"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatMobileNumber((c.lead << 14) | (c.thousands << 10) | c.low, c.min2),
                  QLatin1String(c.text))
            << c.lead << " " << c.thousands << " " << c.low << " " << c.min2;
}

// A field the answer does not hold entirely is empty: never a 0, never the bytes behind the
// answer (here 0xEE, standing for the check bytes and the closing flag).
TEST(HandsetFormat, StatusFieldsOutsideTheAnswerAreEmpty)
{
    // The fields at 4, 8, 10, 14, 18, 20, 34 to 44 and 48; 0xEE elsewhere.
    const QByteArray r =
        QByteArray::fromHex("0C EEEEEE 34AB1200 0100 03480000 C8554D00 0000 D400") + QByteArray(12, '\xEE') +
        QByteArray::fromHex("8001 07 A800 3110 0100 0700 EEEEEE 06") + QByteArray(15, '\xEE');
    const auto* answer = reinterpret_cast<const quint8*>(r.constData());
    const QStringList full =
        QString::fromLatin1("0012ab34|(323) 410-5567|112-2114|DIGITAL|384|7|168|4145|1|7|6")
            .split(QLatin1Char('|'));
    // Answer length -> the rows shown, in the order of their last byte. Many handsets send no
    // protocol revision (48); the digital MIN2 ends at 22, the analog one at 20.
    const std::pair<int, const char*> cases[] = {
        {64, "0123456789A"},
        {49, "0123456789A"},
        {48, "0123456789"},
        {44, "012345678"},
        {22, "0123"},
        {21, "023"},
        {10, "03"},
        {7, ""},
        {0, ""},
    };
    for (const auto& [len, shown] : cases)
        EXPECT_EQ(StatusValueTexts(answer, len), Shown(full, shown)) << len;
    EXPECT_EQ(StatusValueTexts(nullptr, 49), QStringList(11, QString()));
}

// The same for the version answer, and whether the S/W version directory (39..46), which the
// model check compares, is there.
TEST(HandsetFormat, VersionFieldsOutsideTheAnswerAreEmpty)
{
    QByteArray r = QByteArray(1, '\0') + "Jan 02 200612:34:56Feb 03 200601:02:03ABCDE123\x2A\x06\x11" +
                   QByteArray::fromHex("D204 0A 61 0A") + QByteArray(9, '\xEE');
    auto* answer = reinterpret_cast<quint8*>(r.data());
    const QStringList full =
        QString::fromLatin1("Jan 02 2006|12:34:56|Feb 03 2006|01:02:03|12.34  ABCDE123|17|a|"
                            "MSM 2P (0x610a)")
            .split(QLatin1Char('|'));
    auto texts = [&](int len) {
        const SVersionTexts v = VersionTexts(answer, len);
        return QStringList{v.strCompileDate, v.strCompileTime, v.strReleaseDate, v.strReleaseTime,
                           v.strSwVersion,   v.strMobileModel, v.strSlotCycle,   v.strMsmVersion};
    };
    // Answer length -> the rows shown (the firmware revision of the S/W version ends at 52); the
    // directory is there from 47 on.
    const std::pair<int, const char*> cases[] = {
        {60, "01234567"}, {55, "01234567"}, {54, "0123456"}, {52, "012345"}, {51, "01235"}, {49, "0123"},
        {47, "0123"},     {46, "0123"},     {38, "012"},     {12, "0"},      {11, ""}};
    for (const auto& [len, shown] : cases) {
        EXPECT_EQ(texts(len), Shown(full, shown)) << len;
        EXPECT_EQ(SoftwareVersionDirectory(answer, len), len >= 47 ? full[4].mid(7) : QString()) << len;
    }
    // A NUL ends a shorter text; the revision has two decimals and at least two digits before them.
    std::memcpy(answer + 20, "Feb 0\0", 6);
    PutLe16(answer + 50, 5);
    EXPECT_EQ(texts(60).mid(2, 3), (QStringList{u"Feb 0"_s, full[3], u"00.05  ABCDE123"_s}));
    PutLe16(answer + 50, 12345);
    EXPECT_EQ(texts(60).value(4), u"123.45  ABCDE123"_s);
}
