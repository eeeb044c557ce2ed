// The Information page: the values it shows from a status response.
#include "handset/InfoPage.h"
#include "controls/XListCtrl.h"
#include "controls/XListModel.h"
#include "handset/HandsetFormat.h"

#include <gtest/gtest.h>

namespace {

void Put16(QByteArray& b, int off, quint16 v)
{
    b[off] = static_cast<char>(v & 0xFF);
    b[off + 1] = static_cast<char>(v >> 8);
}

void Put32(QByteArray& b, int off, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[off + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A full-size status record as the worker hands it over.
QByteArray StatusRecord()
{
    QByteArray r(16404, '\0');
    r[0] = 0x0C;
    Put32(r, 4, 0x12AB34);
    Put16(r, 8, 4); // no name
    Put32(r, 10, 0x2A5);
    Put16(r, 18, 1000); // breaks the range rule: empty
    Put32(r, 14, (0x135u << 14) | (5u << 10) | 0x1C8u);
    Put16(r, 20, 0x0D4);
    Put16(r, 34, 283);
    r[36] = static_cast<char>(9);
    Put16(r, 37, 999);
    Put16(r, 39, 65535);
    Put16(r, 41, 2);
    Put16(r, 43, 300);
    r[48] = static_cast<char>(200);
    return r;
}

// Every row from the status record; a reset brings back the bare labels.
TEST(InfoPage, FillsEveryRowFromTheStatusRecordAndResetEmptiesThem)
{
    CInfoPage page{nullptr, QRect(205, 130, 585, 600)};
    page.FillFromStatus(StatusRecord());
    const QStringList expected{QStringLiteral("0012ab34"),
                               QStringLiteral("(323) 410-5567"),
                               QString(),
                               QStringLiteral("??????"),
                               QStringLiteral("283"),
                               QStringLiteral("9"),
                               QStringLiteral(" 0"),
                               QStringLiteral("65535"),
                               QStringLiteral("2"),
                               QStringLiteral("300"),
                               QStringLiteral("200")};
    for (int row = 0; row < 11; ++row)
        EXPECT_EQ(page.ValueText(row), expected[row]) << row;
    page.ResetList();
    for (int row = 0; row < 11; ++row) {
        EXPECT_TRUE(page.ValueText(row).isEmpty());
        EXPECT_EQ(page.StatusList()->GetItemText(row, 0), QString::fromLatin1(STATUS_ROW_LABELS[row]));
    }
}

} // namespace
