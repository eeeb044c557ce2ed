#include "controls/EditGrid.h"
#include "controls/XListModel.h"
#include "platform/Dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct EditGridFixture : ::testing::Test
{
    QWidget window;
    CEditGrid* grid = nullptr;
    QLineEdit* other = nullptr;

    void SetUp() override
    {
        Dialogs::SetTestMode(true);
        Dialogs::ClearRecords();
        window.resize(600, 300);
        grid = new CEditGrid(&window);
        grid->setGeometry(0, 0, 560, 240);
        other = new QLineEdit(&window);
        other->setGeometry(0, 250, 100, 20);
        grid->InsertColumn(0, QStringLiteral("Item Name"), Qt::AlignLeft, 190);
        grid->InsertColumn(1, QStringLiteral("PARAMETER1"), Qt::AlignLeft, 185);
        grid->InsertColumn(2, QStringLiteral("PARAMETER2"), Qt::AlignLeft, 150);
        grid->SetReadOnlyColumn(0);
        for (int r = 0; r < 4; ++r)
            grid->InsertItem(r, QStringLiteral("item %1").arg(r));
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window, 2000));
    }

    void TearDown() override { Dialogs::SetTestMode(false); }

    QPoint Cell(int row, int col) { return grid->visualRect(grid->Model()->index(row, col)).center(); }

    QLineEdit* OpenEdit(int row, int col)
    {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, Cell(row, col));
        return qobject_cast<QLineEdit*>(grid->Editor());
    }
};

} // namespace

TEST_F(EditGridFixture, ClickOpensOnlyCellsWithADefinition)
{
    grid->AddEditDef(1, 1, QString(), 0, 0);
    grid->AddEditDef(1, 0, QString(), 0, 0); // read-only column
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, Cell(0, 1));
    EXPECT_FALSE(grid->IsEditing());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, Cell(1, 0));
    EXPECT_FALSE(grid->IsEditing());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, Cell(1, 1));
    ASSERT_TRUE(grid->IsEditing());
    EXPECT_EQ(grid->EditRow(), 1);
    EXPECT_EQ(grid->EditCol(), 1);
    EXPECT_TRUE(grid->Editor()->geometry().intersects(grid->visualRect(grid->Model()->index(1, 1))));

    grid->ClearEditorDefs();
    EXPECT_FALSE(grid->IsEditing());
    EXPECT_EQ(grid->EditorKindAt(1, 1), CEditGrid::EDITOR_NONE);
}

TEST_F(EditGridFixture, EnterKeepsAndEscapeRestores)
{
    grid->SetItemText(2, 1, QStringLiteral("12"));
    grid->AddEditDef(2, 1, QStringLiteral("0123456789"), 0, 1);
    QSignalSpy spy(grid, &CEditGrid::endLabelEdit);

    QLineEdit* edit = OpenEdit(2, 1);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), QStringLiteral("12"));
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClicks(edit, QStringLiteral("5a")); // "a" is not allowed
    EXPECT_EQ(edit->text(), QStringLiteral("125"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_FALSE(grid->IsEditing());
    EXPECT_EQ(grid->GetItemText(2, 1), QStringLiteral("125"));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(2).toString(), QStringLiteral("125"));

    edit = OpenEdit(2, 1);
    ASSERT_NE(edit, nullptr);
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), QStringLiteral("12"));
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_FALSE(grid->IsEditing());
    EXPECT_EQ(grid->GetItemText(2, 1), QStringLiteral("125"));
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(1).at(2).toString(), QStringLiteral("125"));
}

TEST_F(EditGridFixture, ByteWidthRefusesKeystrokesInTheField)
{
    grid->AddEditDef(0, 1, QString(), 0, 1);
    QLineEdit* edit = OpenEdit(0, 1);
    ASSERT_NE(edit, nullptr);
    QTest::keyClicks(edit, QStringLiteral("256"));
    EXPECT_EQ(edit->text(), QStringLiteral("25"));
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("00"));
    EXPECT_EQ(edit->text(), QStringLiteral("0"));
}

TEST_F(EditGridFixture, TooShortFieldKeepsTheFocusWithAMessage)
{
    grid->AddEditDef(3, 2, QString(), 4, 0);
    QLineEdit* edit = OpenEdit(3, 2);
    ASSERT_NE(edit, nullptr);
    QTest::keyClicks(edit, QStringLiteral("abc"));
    other->setFocus();
    ASSERT_EQ(Dialogs::Shown().size(), 1);
    EXPECT_EQ(Dialogs::Shown().at(0).strText, QStringLiteral("This item's minimum size is 4."));
    EXPECT_EQ(Dialogs::Shown().at(0).strCaption, QStringLiteral("KOVA QPX"));
    EXPECT_TRUE(grid->IsEditing());
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(grid->GetItemText(3, 2), QString());

    // Enter runs the same check.
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(Dialogs::Shown().size(), 2);
    EXPECT_TRUE(grid->IsEditing());

    QTest::keyClicks(edit, QStringLiteral("d"));
    other->setFocus();
    EXPECT_FALSE(grid->IsEditing());
    EXPECT_EQ(grid->GetItemText(3, 2), QStringLiteral("abcd"));
    EXPECT_EQ(Dialogs::Shown().size(), 2);
}

TEST_F(EditGridFixture, CloseEditorsEndsWithoutAMessage)
{
    grid->AddEditDef(1, 2, QString(), 5, 0);
    grid->SetItemText(1, 2, QStringLiteral("hello"));
    QLineEdit* edit = OpenEdit(1, 2);
    ASSERT_NE(edit, nullptr);
    edit->setText(QStringLiteral("hi"));
    grid->CloseEditors();
    EXPECT_FALSE(grid->IsEditing());
    EXPECT_TRUE(Dialogs::Shown().isEmpty());
    EXPECT_EQ(grid->GetItemText(1, 2), QStringLiteral("hello")); // the short text never arrives

    edit = OpenEdit(1, 2);
    ASSERT_NE(edit, nullptr);
    edit->setText(QStringLiteral("world!"));
    grid->CloseEditors();
    EXPECT_EQ(grid->GetItemText(1, 2), QStringLiteral("world!"));
}

TEST_F(EditGridFixture, DropDownOffersTheFixedTexts)
{
    grid->AddComboDef(0, 2, {QStringLiteral("Disable"), QStringLiteral("Enable")});
    grid->SetItemText(0, 2, QStringLiteral("Enable"));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, Cell(0, 2));
    auto* combo = qobject_cast<QComboBox*>(grid->Editor());
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->currentText(), QStringLiteral("Enable"));
    combo->setCurrentIndex(0);
    emit combo->activated(0);
    EXPECT_FALSE(grid->IsEditing());
    EXPECT_EQ(grid->GetItemText(0, 2), QStringLiteral("Disable"));
}

TEST_F(EditGridFixture, IpAddressFieldReturnsDottedText)
{
    grid->AddIpDef(2, 2);
    grid->SetItemText(2, 2, QStringLiteral("10.0.0.1"));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, Cell(2, 2));
    auto* ip = qobject_cast<CIpAddressEdit*>(grid->Editor());
    ASSERT_NE(ip, nullptr);
    EXPECT_EQ(ip->Address(), QStringLiteral("10.0.0.1"));
    ip->Field(0)->selectAll();
    QTest::keyClicks(ip->Field(0), QStringLiteral("192"));                 // three digits move on
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("168.")); // and so does a dot
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("300"));  // 300 is refused at the last 0
    EXPECT_EQ(ip->Field(2)->text(), QStringLiteral("30"));
    ip->Field(3)->clear();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(grid->IsEditing());
    EXPECT_EQ(grid->GetItemText(2, 2), QStringLiteral("192.168.30.0"));
}

TEST_F(EditGridFixture, RowsAndDefinitionsOutOfRange)
{
    EXPECT_FALSE(grid->SetItemText(4, 1, QStringLiteral("x")));
    EXPECT_EQ(grid->GetItemText(0, 3), QString());
    EXPECT_FALSE(grid->AddEditDef(0, 1, QString(), 0, 5));
    EXPECT_FALSE(grid->AddComboDef(-1, 1, {}));
    EXPECT_FALSE(grid->OpenEditor(9, 1));
    EXPECT_FALSE(grid->RemoveEditorDef(0, 1));
    EXPECT_EQ(grid->GetItemCount(), 4);
    EXPECT_EQ(grid->GetColumnCount(), 3);
    EXPECT_TRUE(grid->DeleteItem(0));
    EXPECT_EQ(grid->GetItemText(0, 0), QStringLiteral("item 1"));
    EXPECT_TRUE(grid->DeleteAllItems());
    EXPECT_EQ(grid->GetItemCount(), 0);
}
