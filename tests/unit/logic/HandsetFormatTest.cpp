#include "handset/HandsetFormat.h"
#include "QtPrint.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace {

// MIN1 from its three parts: leading group (bits 14..23), thousands digit (10..13), low group.
quint32 Min1(unsigned lead, unsigned thousands, unsigned low)
{
    return (lead << 14) | (thousands << 10) | low;
}

void Put16(quint8* p, int off, unsigned v)
{
    p[off] = static_cast<quint8>(v);
    p[off + 1] = static_cast<quint8>(v >> 8);
}

void Put32(quint8* p, int off, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        p[off + i] = static_cast<quint8>(v >> (8 * i));
}

} // namespace

TEST(HandsetFormat, EsnHasEightLowerCaseDigits)
{
    EXPECT_EQ(FormatEsn(0x12AB34), QStringLiteral("0012ab34"));
    EXPECT_EQ(FormatEsn(0xFFFFFFFFu), QStringLiteral("ffffffff"));
    EXPECT_EQ(FormatEsn(0), QStringLiteral("00000000"));
}

TEST(HandsetFormat, RfModeNamesAndUnknown)
{
    EXPECT_EQ(FormatRfMode(0), QStringLiteral("ANALOG"));
    EXPECT_EQ(FormatRfMode(1), QStringLiteral("DIGITAL"));
    EXPECT_EQ(FormatRfMode(2), QStringLiteral("PCN"));
    EXPECT_EQ(FormatRfMode(3), QStringLiteral("SLEEP"));
    EXPECT_EQ(FormatRfMode(4), QStringLiteral("??????"));
    EXPECT_EQ(FormatRfMode(0xFFFF), QStringLiteral("??????"));
}

TEST(HandsetFormat, PilotPnBelow999OnlyElseBlankZero)
{
    EXPECT_EQ(FormatPilotPn(998), QStringLiteral("998"));
    EXPECT_EQ(FormatPilotPn(999), QStringLiteral(" 0"));
    EXPECT_EQ(FormatPilotPn(1000), QStringLiteral(" 0"));
    EXPECT_EQ(FormatPilotPn(0), QStringLiteral("0"));
}

TEST(HandsetFormat, MobileNumberFullForm)
{
    EXPECT_EQ(FormatMobileNumber(Min1(309, 5, 456), 212), QStringLiteral("(323) 410-5567"));
    // Group digits each plus one modulo ten.
    EXPECT_EQ(FormatMobileNumber(Min1(0, 10, 999), 123), QStringLiteral("(234) 111-0000"));
}

TEST(HandsetFormat, MobileNumberRangeRule)
{
    EXPECT_EQ(FormatMobileNumber(Min1(309, 5, 456), 1000), QString());
    EXPECT_EQ(FormatMobileNumber(Min1(309, 5, 1000), 212), QString());
    EXPECT_EQ(FormatMobileNumber(Min1(309, 5, 999), 999), QStringLiteral("(000) 410-5000"));
}

TEST(HandsetFormat, MobileNumberPartsLeftOut)
{
    EXPECT_EQ(FormatMobileNumber(0, 212), QStringLiteral("(323) "));
    EXPECT_EQ(FormatMobileNumber(Min1(309, 5, 456), 0), QStringLiteral("410-5567"));
    EXPECT_EQ(FormatMobileNumber(0, 0), QString());
}

TEST(HandsetFormat, MobileNumberThousandsDigit)
{
    EXPECT_EQ(FormatMobileNumber(Min1(309, 0, 456), 0), QStringLiteral("410-/567"));
    EXPECT_EQ(FormatMobileNumber(Min1(309, 1, 456), 0), QStringLiteral("410-1567"));
    EXPECT_EQ(FormatMobileNumber(Min1(309, 9, 456), 0), QStringLiteral("410-9567"));
    EXPECT_EQ(FormatMobileNumber(Min1(309, 10, 456), 0), QStringLiteral("410-0567"));
    EXPECT_EQ(FormatMobileNumber(Min1(309, 11, 456), 0), QStringLiteral("410-/567"));
    EXPECT_EQ(FormatMobileNumber(Min1(309, 15, 456), 0), QStringLiteral("410-/567"));
}

TEST(HandsetFormat, LeadingGroupOfThousandOrMoreKeepsThreeCharacters)
{
    // 1000 -> digits 1,0,0,0 -> 2,1,1,1 -> "211"; 1023 -> 2,1,3,4 -> "213".
    EXPECT_EQ(FormatMobileNumber(Min1(1000, 5, 456), 0), QStringLiteral("211-5567"));
    EXPECT_EQ(FormatMobileNumber(Min1(1023, 5, 456), 0), QStringLiteral("213-5567"));
}

TEST(HandsetFormat, StatusRowsFromResponse)
{
    std::array<quint8, 64> r{};
    r[0] = 0x0C;
    Put32(r.data(), 4, 0x12AB34);
    Put16(r.data(), 8, 1);
    Put32(r.data(), 10, Min1(1, 2, 3));     // analog MIN1
    Put32(r.data(), 14, Min1(309, 5, 456)); // digital MIN1
    Put16(r.data(), 18, 0);                 // analog MIN2
    Put16(r.data(), 20, 212);               // digital MIN2
    Put16(r.data(), 34, 384);
    r[36] = 7;
    Put16(r.data(), 37, 999);
    Put16(r.data(), 39, 65535);
    Put16(r.data(), 41, 2);
    Put16(r.data(), 43, 3);
    r[48] = 6;
    const QStringList rows = StatusValueTexts(r.data(), int(r.size()));
    const QStringList want = {QStringLiteral("0012ab34"), QStringLiteral("(323) 410-5567"),
                              QStringLiteral("112-2114"), QStringLiteral("DIGITAL"),
                              QStringLiteral("384"),      QStringLiteral("7"),
                              QStringLiteral(" 0"),       QStringLiteral("65535"),
                              QStringLiteral("2"),        QStringLiteral("3"),
                              QStringLiteral("6")};
    EXPECT_EQ(rows, want);
}

TEST(HandsetFormat, ShortStatusResponseReadsMissingFieldsAsZero)
{
    std::array<quint8, 64> r{};
    r.fill(0xEE);
    Put32(r.data(), 4, 0x01020304);
    // Only 6 bytes available: the ESN's upper two bytes and everything after read as 0.
    const QStringList rows = StatusValueTexts(r.data(), 6);
    ASSERT_EQ(rows.size(), 11);
    EXPECT_EQ(rows[0], QStringLiteral("00000304"));
    EXPECT_EQ(rows[1], QString());
    EXPECT_EQ(rows[3], QStringLiteral("ANALOG"));
    EXPECT_EQ(rows[6], QStringLiteral("0"));
    EXPECT_EQ(rows[10], QStringLiteral("0"));
    EXPECT_EQ(StatusValueTexts(nullptr, 0).size(), 11);
}

TEST(HandsetFormat, VersionTextsFromResponse)
{
    std::array<quint8, 64> r{};
    std::memcpy(r.data() + 1, "Jan 02 2006", 11);
    std::memcpy(r.data() + 12, "12:34:56", 8);
    std::memcpy(r.data() + 20, "Feb 0", 5);        // shorter field: NUL ends it
    std::memcpy(r.data() + 31, "01:02:03XYZ", 11); // spills into the directory field
    std::memcpy(r.data() + 39, "ABCDE123", 8);
    r[49] = 17;
    Put16(r.data(), 50, 1234);
    r[52] = 10;
    r[53] = 0x61;
    r[54] = 0x0A;
    const SVersionTexts v = VersionTexts(r.data(), int(r.size()));
    EXPECT_EQ(v.strCompileDate, QStringLiteral("Jan 02 2006"));
    EXPECT_EQ(v.strCompileTime, QStringLiteral("12:34:56"));
    EXPECT_EQ(v.strReleaseDate, QStringLiteral("Feb 0"));
    EXPECT_EQ(v.strReleaseTime, QStringLiteral("01:02:03"));
    EXPECT_EQ(v.strSwVersion, QStringLiteral("12.34  ABCDE123"));
    EXPECT_EQ(v.strMobileModel, QStringLiteral("17"));
    EXPECT_EQ(v.strSlotCycle, QStringLiteral("a"));
    EXPECT_EQ(v.strMsmVersion, QStringLiteral("MSM 2P (0x610a)"));
    EXPECT_EQ(SoftwareVersionDirectory(r.data(), int(r.size())), QStringLiteral("ABCDE123"));
}

TEST(HandsetFormat, FirmwareRevisionWidths)
{
    std::array<quint8, 64> r{};
    std::memcpy(r.data() + 39, "QX", 2);
    Put16(r.data(), 50, 5);
    EXPECT_EQ(VersionTexts(r.data(), int(r.size())).strSwVersion, QStringLiteral("00.05  QX"));
    Put16(r.data(), 50, 12345);
    EXPECT_EQ(VersionTexts(r.data(), int(r.size())).strSwVersion, QStringLiteral("123.45  QX"));
}

TEST(HandsetFormat, ShortVersionResponseCutsCharacterFields)
{
    std::array<quint8, 64> r{};
    std::memcpy(r.data() + 39, "ABCDE123", 8);
    EXPECT_EQ(SoftwareVersionDirectory(r.data(), 44), QStringLiteral("ABCDE"));
    const SVersionTexts v = VersionTexts(r.data(), 44);
    EXPECT_EQ(v.strSwVersion, QStringLiteral("00.00  ABCDE"));
    EXPECT_EQ(v.strMsmVersion, QStringLiteral("MSM 2P (0x0000)"));
}

TEST(HandsetFormat, PrlAndEriTexts)
{
    EXPECT_EQ(PrlVersionText(52, 53), QStringLiteral("1: 52    2: 53"));
    EXPECT_EQ(PrlVersionText(0xFFFF, 0xFFFF), QStringLiteral("1: 65535    2: 65535"));
    EXPECT_EQ(EriVersionText(0xFFFF), QStringLiteral("65535"));
}

TEST(HandsetFormat, LabelsKeepTheirBlanks)
{
    EXPECT_STREQ(STATUS_ROW_LABELS[0], "                       ESN");
    EXPECT_STREQ(STATUS_ROW_LABELS[10], "        Protocol Revision");
    EXPECT_STREQ(VERSION_COL0_LABELS[3], "       Slot Cycle Index");
    EXPECT_STREQ(VERSION_COL2_LABELS[3], "MSM Version");
}
