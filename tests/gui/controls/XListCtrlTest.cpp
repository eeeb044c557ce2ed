#include "controls/XListCtrl.h"
#include "controls/XListModel.h"

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
    EXPECT_EQ(list.EmptyTextRect().top(), 10);
    EXPECT_GT(InkInEmptyTextArea(), 50);
    list.InsertItem(0, QString()); // an empty row over the same place
    EXPECT_EQ(InkInEmptyTextArea(), 0);
    list.DeleteAllItems();
    EXPECT_GT(InkInEmptyTextArea(), 50);
}

TEST_F(XListFixture, ClickTogglesCheckBoxOfEnabledRowOnly)
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
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 2);
    EXPECT_EQ(spy.at(0).at(1).toInt(), 1);
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
}

TEST_F(XListFixture, HeaderCheckImageFollowsTheColumn)
{
    AddCheckRows(3);
    ASSERT_TRUE(list.SetHeaderCheckedState(1, 1));
    list.SetCheckbox(0, 1, 1);
    list.SetCheckbox(1, 1, 1);
    EXPECT_EQ(list.GetHeaderCheckedState(1), 1);
    list.SetCheckbox(2, 1, 1); // the last clear one
    EXPECT_EQ(list.GetHeaderCheckedState(1), 2);
    EXPECT_EQ(list.GetHeaderCtrl()->GetCheckImage(1), 2);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, CellCentre(0, 1)); // clearing one by click
    EXPECT_EQ(list.GetHeaderCheckedState(1), 1);
    // A column without a header image keeps none.
    list.SetCheckbox(0, 0, 1);
    EXPECT_EQ(list.GetHeaderCheckedState(0), 0);
}

TEST_F(XListFixture, HeaderClickTogglesEveryCheckBoxOfTheColumn)
{
    AddCheckRows(3);
    list.InsertItem(3, QStringLiteral("no box"));
    list.SetEnabled(2, false);
    list.SetHeaderCheckedState(1, 1);
    CXHeaderCtrl* header = list.GetHeaderCtrl();
    const QPoint at(header->sectionViewportPosition(1) + 20, header->height() / 2);

    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(list.GetCheckbox(0, 1), 1);
    EXPECT_EQ(list.GetCheckbox(1, 1), 1);
    EXPECT_EQ(list.GetCheckbox(2, 1), 1);
    EXPECT_EQ(list.GetCheckbox(3, 1), -1); // cells without a check box are left alone
    EXPECT_EQ(list.GetHeaderCheckedState(1), 2);

    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(list.GetCheckbox(0, 1), 0);
    EXPECT_EQ(list.GetCheckbox(2, 1), 0);
    EXPECT_EQ(list.GetHeaderCheckedState(1), 1);

    // A header without a check image does nothing to the column.
    const QPoint at0(header->sectionViewportPosition(0) + 20, header->height() / 2);
    list.SetCheckbox(0, 0, 1);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at0);
    EXPECT_EQ(list.GetCheckbox(0, 0), 1);
}

TEST_F(XListFixture, OutOfRangeCallsAreIgnored)
{
    list.InsertItem(0, QStringLiteral("a"));
    EXPECT_FALSE(list.SetItemText(1, 0, QStringLiteral("x")));
    EXPECT_FALSE(list.SetItemText(0, 2, QStringLiteral("x")));
    EXPECT_FALSE(list.SetItemText(-1, 0, QStringLiteral("x")));
    EXPECT_EQ(list.GetItemText(0, 5), QString());
    EXPECT_FALSE(list.SetCheckbox(3, 1, 1));
    EXPECT_EQ(list.GetCheckbox(3, 1), -1);
    EXPECT_EQ(list.GetCheckbox(0, 7), -1);
    EXPECT_FALSE(list.SetCheckbox(0, 1, 2));
    EXPECT_FALSE(list.SetEnabled(4, false));
    EXPECT_FALSE(list.SetBold(0, 9, true));
    EXPECT_FALSE(list.DeleteItem(1));
    EXPECT_FALSE(list.SetHeaderCheckedState(2, 1));
    EXPECT_EQ(list.GetHeaderCheckedState(2), -1);
    EXPECT_EQ(list.GetColumnWidth(2), -1);
    EXPECT_FALSE(list.SetCurSel(1));
    EXPECT_EQ(list.InsertItem(-1, QStringLiteral("x")), -1);
    EXPECT_EQ(list.GetItemCount(), 1);
    EXPECT_EQ(list.GetItemText(0, 0), QStringLiteral("a"));
}

TEST_F(XListFixture, TextsAndColoursPerCell)
{
    // Inserting past the end appends; inserting in the middle shifts the later rows.
    EXPECT_EQ(list.InsertItem(5, QStringLiteral("first")), 0);
    EXPECT_EQ(list.InsertItem(1, QStringLiteral("third"), QColor(0, 0, 0), QColor(223, 244, 188)), 1);
    EXPECT_EQ(list.InsertItem(1, QStringLiteral("second")), 1);
    EXPECT_EQ(list.GetItemText(2, 0), QStringLiteral("third"));
    list.SetItemText(1, 1, QStringLiteral("two"));
    list.SetItemText(1, 0, QStringLiteral("zwei"));
    EXPECT_EQ(list.GetItemText(1, 0), QStringLiteral("zwei"));
    EXPECT_EQ(list.GetItemText(1, 1), QStringLiteral("two"));
    list.SetItemText(1, 1, QString());
    EXPECT_EQ(list.GetItemText(1, 1), QString());
    EXPECT_EQ(list.GetItemText(1, 0), QStringLiteral("zwei"));

    // Colours given with the row apply to all of its cells.
    const CXListModel* m = list.Model();
    EXPECT_EQ(m->Attr(2, 1).crBackground, qRgb(223, 244, 188));
    // Text set without colours takes the control's defaults again.
    list.SetItemText(2, 1, QStringLiteral("x"));
    EXPECT_EQ(qAlpha(m->Attr(2, 1).crBackground), 0);
    EXPECT_EQ(m->Attr(2, 0).crBackground, qRgb(223, 244, 188));
    list.SetItemText(0, 0, QStringLiteral("label"), QColor(0, 0, 0), QColor(192, 192, 192));
    EXPECT_EQ(m->Attr(0, 0).crBackground, qRgb(192, 192, 192));
    EXPECT_EQ(m->Attr(0, 0).crText, qRgb(0, 0, 0));

    list.SetBold(0, 0, true);
    EXPECT_TRUE(list.GetBold(0, 0));
    EXPECT_FALSE(list.GetBold(0, 1));

    EXPECT_TRUE(list.DeleteItem(0));
    EXPECT_EQ(list.GetItemText(0, 0), QStringLiteral("zwei"));
    EXPECT_FALSE(list.GetBold(0, 0));
}

TEST_F(XListFixture, TextsSurviveColumnChanges)
{
    list.InsertItem(0, QStringLiteral("a"));
    list.SetItemText(0, 1, QStringLiteral("b"));
    list.SetCheckbox(0, 1, 1);
    list.InsertColumn(1, QStringLiteral("New"), Qt::AlignLeft, 50);
    EXPECT_EQ(list.GetColumnCount(), 3);
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
    QTest::qWait(1);
    QCoreApplication::processEvents();
    EXPECT_EQ(list.OpenComboBox(), nullptr);
    EXPECT_EQ(list.GetItemText(0, 1), QStringLiteral("Off"));
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(XListFixture, ProgressCellAndRowHeight)
{
    list.InsertItem(0, QStringLiteral("file"));
    EXPECT_FALSE(list.UpdateProgress(0, 1, 10)); // not a progress cell yet
    EXPECT_TRUE(list.SetProgress(0, 1));
    EXPECT_TRUE(list.UpdateProgress(0, 1, 150));
    EXPECT_EQ(list.Model()->Attr(0, 1).nProgressComplete, 100);
    EXPECT_TRUE(list.DeleteProgress(0, 1));
    EXPECT_EQ(list.GetRowHeight(), 15);
    EXPECT_EQ(list.rowHeight(0), 15);
    list.SetRowHeight(20);
    EXPECT_EQ(list.rowHeight(0), 20);
}

TEST_F(XListFixture, BatchFillShowsEveryRowAtTheEnd)
{
    list.SetRedraw(false);
    for (int i = 0; i < 500; ++i) {
        list.InsertItem(i, QString::number(i));
        list.SetItemText(i, 1, QStringLiteral("v%1").arg(i));
    }
    list.SetRedraw(true);
    EXPECT_EQ(list.GetItemCount(), 500);
    EXPECT_EQ(list.model()->rowCount(), 500);
    EXPECT_EQ(list.GetItemText(499, 1), QStringLiteral("v499"));
    EXPECT_TRUE(list.visualRect(list.Model()->index(0, 0)).isValid());
}
