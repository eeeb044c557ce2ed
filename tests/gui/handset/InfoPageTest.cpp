// The Information page: labels, colours and the values it shows from a status response.
#include "handset/InfoPage.h"
#include "controls/XListCtrl.h"
#include "controls/XListModel.h"
#include "handset/HandsetFormat.h"

#include <QLabel>

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

class InfoPageTest : public ::testing::Test
{
protected:
    CInfoPage m_page{nullptr, QRect(205, 130, 585, 600)};
    CXListCtrl* List() const { return m_page.StatusList(); }
    QColor Background(int row, int col) const { return QColor(List()->Model()->Attr(row, col).crBackground); }
};

TEST_F(InfoPageTest, ShowsElevenLabelledRowsWithAlternatingColours)
{
    ASSERT_EQ(List()->GetItemCount(), 11);
    ASSERT_EQ(List()->GetColumnCount(), 2);
    EXPECT_EQ(List()->Model()->ColumnHeading(0), QStringLiteral("Item"));
    EXPECT_EQ(List()->Model()->ColumnHeading(1), QStringLiteral("Information"));
    EXPECT_EQ(List()->GetItemText(0, 0), QStringLiteral("                       ESN"));
    EXPECT_EQ(List()->GetItemText(10, 0), QStringLiteral("        Protocol Revision"));
    for (int row = 0; row < 11; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(List()->GetItemText(row, 0), QString::fromLatin1(STATUS_ROW_LABELS[row]));
        EXPECT_TRUE(m_page.ValueText(row).isEmpty());
        if (row % 2 == 0) {
            EXPECT_EQ(Background(row, 0), QColor(223, 244, 188));
            EXPECT_EQ(Background(row, 1), QColor(176, 214, 127));
        } else {
            EXPECT_EQ(List()->Model()->Attr(row, 0).crBackground, 0u); // the list's default
        }
    }
    EXPECT_EQ(List()->geometry().topLeft(), QPoint(5, 50));
    EXPECT_EQ(List()->width(), 575);
    auto* header = m_page.findChild<QLabel*>(QStringLiteral("headerPicture"));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->geometry(), QRect(6, 0, 569, 29));
    EXPECT_FALSE(header->pixmap().isNull());
}

TEST_F(InfoPageTest, FillsEveryRowFromTheStatusRecordAndKeepsTheColours)
{
    m_page.FillFromStatus(StatusRecord());
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
    for (int row = 0; row < 11; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(m_page.ValueText(row), expected[row]);
        if (row % 2 == 0) {
            EXPECT_EQ(Background(row, 1), QColor(176, 214, 127));
        }
    }
}

TEST_F(InfoPageTest, ResetBringsBackTheBareLabels)
{
    m_page.FillFromStatus(StatusRecord());
    m_page.ResetList();
    ASSERT_EQ(List()->GetItemCount(), 11);
    for (int row = 0; row < 11; ++row) {
        EXPECT_TRUE(m_page.ValueText(row).isEmpty());
        EXPECT_EQ(List()->GetItemText(row, 0), QString::fromLatin1(STATUS_ROW_LABELS[row]));
    }
    EXPECT_EQ(Background(4, 0), QColor(223, 244, 188));
}

} // namespace
