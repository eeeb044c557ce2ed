#include "controls/XListCtrl.h"
#include "controls/XListModel.h"

#include "TestEnv.h"

#include <QComboBox>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct XListFixture : ::testing::Test
{
    CXListCtrl list;

    void SetUp() override
    {
        list.resize(400, 200);
        list.InsertColumn(0, QStringLiteral("Items"), Qt::AlignHCenter, 200);
        list.InsertColumn(1, QStringLiteral("Checking"), Qt::AlignHCenter, 120);
        list.SetRowHeight(15);
        list.show();
    }

    void AddCheckRows(int n)
    {
        for (int i = 0; i < n; ++i) {
            list.InsertItem(i, QStringLiteral(" row %1").arg(i));
            list.SetCheckbox(i, 1, 0);
        }
    }

    QPoint CellCentre(int row, int col) { return list.visualRect(list.Model()->index(row, col)).center(); }

    // Pixels inside the empty-text rectangle that differ from the list's base colour.
    int InkInEmptyTextArea()
    {
        const QImage shot = list.viewport()->grab().toImage();
        const QRgb base = list.palette().color(QPalette::Base).rgb();
        const QRect r = list.EmptyTextRect().intersected(shot.rect());
        int ink = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                ink += (shot.pixel(x, y) | 0xFF000000) != (base | 0xFF000000) ? 1 : 0;
        return ink;
    }
};

} // namespace

TEST_F(XListFixture, EmptyTextIsDrawnOnlyWithoutRows)
{
    EXPECT_EQ(CXListCtrl::EmptyText(), QStringLiteral("There are no items to show in this view."));
    EXPECT_GT(InkInEmptyTextArea(), 50);
    list.InsertItem(0, QString()); // an empty row over the same place
    EXPECT_EQ(InkInEmptyTextArea(), 0);
    list.DeleteAllItems();
    EXPECT_GT(InkInEmptyTextArea(), 50);
}

// A click toggles the check box of an enabled row only; the header's toggles the whole column.
TEST_F(XListFixture, CheckBoxClicks)
{
    AddCheckRows(3);
    QSignalSpy spy(&list, &CXListCtrl::checkboxClicked);
    list.SetEnabled(1, false);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, CellCentre(1, 1));
    EXPECT_EQ(list.GetCheckbox(1, 1), 0);
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(list.GetCurSel(), -1); // nor is the row selected

    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, CellCentre(2, 1));
    EXPECT_EQ(list.GetCheckbox(2, 1), 1);
    EXPECT_EQ(spy, QList<QVariantList>({{2, 1}}));
    EXPECT_EQ(list.GetCurSel(), 2);

    // A click on a cell without a check box changes no check box.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, CellCentre(0, 0));
    EXPECT_EQ(list.GetCheckbox(0, 1), 0);
    EXPECT_EQ(list.GetCheckbox(0, 0), -1);
    EXPECT_EQ(spy.count(), 1);

    // A disabled row keeps its check when set from code, and comes back to life when enabled.
    list.SetCheckbox(1, 1, 1);
    EXPECT_EQ(list.GetCheckbox(1, 1), 1);
    list.SetEnabled(1, true);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, CellCentre(1, 1));
    EXPECT_EQ(list.GetCheckbox(1, 1), 0);

    // The header's check box sets every check box of its column.
    list.InsertItem(3, QStringLiteral("no box"));
    list.SetEnabled(2, false);
    list.SetHeaderCheckedState(1, 1);
    CXHeaderCtrl* header = list.GetHeaderCtrl();
    const QPoint at(header->sectionViewportPosition(1) + 20, header->height() / 2);

    // Cells without a check box are left alone, disabled rows are not.
    for (const auto& [checked, state] : {std::pair{1, 2}, {0, 1}}) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
        EXPECT_EQ(QList({list.GetCheckbox(0, 1), list.GetCheckbox(1, 1), list.GetCheckbox(2, 1),
                         list.GetCheckbox(3, 1)}),
                  QList({checked, checked, checked, -1}));
        EXPECT_EQ(list.GetHeaderCheckedState(1), state);
    }

    // A header without a check image does nothing to the column.
    const QPoint at0(header->sectionViewportPosition(0) + 20, header->height() / 2);
    list.SetCheckbox(0, 0, 1);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at0);
    EXPECT_EQ(list.GetCheckbox(0, 0), 1);
}

TEST_F(XListFixture, TextsSurviveColumnChanges)
{
    list.InsertItem(0, QStringLiteral("a"));
    list.SetItemText(0, 1, QStringLiteral("b"));
    list.SetCheckbox(0, 1, 1);
    list.InsertColumn(1, QStringLiteral("New"), Qt::AlignLeft, 50);
    EXPECT_EQ(list.GetItemText(0, 0), QStringLiteral("a"));
    EXPECT_EQ(list.GetItemText(0, 1), QString());
    EXPECT_EQ(list.GetItemText(0, 2), QStringLiteral("b"));
    EXPECT_EQ(list.GetCheckbox(0, 2), 1);
    EXPECT_EQ(list.GetCheckbox(0, 1), -1);
    list.DeleteColumn(1);
    EXPECT_EQ(list.GetItemText(0, 1), QStringLiteral("b"));
    EXPECT_EQ(list.GetCheckbox(0, 1), 1);
    EXPECT_EQ(list.GetColumnWidth(1), 120);
}

TEST_F(XListFixture, DropDownCellOffersItsChoices)
{
    list.InsertItem(0, QStringLiteral("mode"));
    list.SetComboBox(0, 1, true, {QStringLiteral("Off"), QStringLiteral("On")}, 10, 1);
    EXPECT_EQ(list.GetComboText(0, 1), QStringLiteral("On")); // default while empty
    QSignalSpy spy(&list, &CXListCtrl::comboSelection);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, CellCentre(0, 1));
    QComboBox* combo = list.OpenComboBox();
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->currentText(), QStringLiteral("On"));
    combo->setCurrentIndex(0);
    emit combo->activated(0);
    EXPECT_EQ(list.OpenComboBox(), nullptr);
    EXPECT_EQ(list.GetItemText(0, 1), QStringLiteral("Off"));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(1).toInt(), 1);

    // Closing without a choice leaves the cell as it was and sends nothing.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, CellCentre(0, 1));
    combo = list.OpenComboBox();
    ASSERT_NE(combo, nullptr);
    combo->hidePopup();
    EXPECT_TRUE(qpxtest::PumpUntil([&] { return list.OpenComboBox() == nullptr; }, 20000));
    EXPECT_EQ(list.GetItemText(0, 1), QStringLiteral("Off"));
    EXPECT_EQ(spy.count(), 1);
}
