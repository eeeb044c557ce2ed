#include "controls/SkinButton.h"
#include "res/Pictures.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct SkinButtonFixture : ::testing::Test
{
    QWidget parent;
    CSkinButton* button = nullptr;

    void SetUp() override
    {
        parent.resize(200, 100);
        button = new CSkinButton(&parent, CSkinButton::BS_AUTOCHECKBOX);
        button->setGeometry(10, 10, 190, 45);
        // The panel's Information button pictures: mouse-over, normal, checked, disabled.
        ASSERT_TRUE(button->SetBitmaps(1026, 0, 1027, 0, 1028, 0, 1025, 0));
        parent.show();
    }
    void Move(QPoint pos)
    {
        QMouseEvent ev(QEvent::MouseMove, pos, button->mapToGlobal(pos), Qt::NoButton, {}, Qt::NoModifier);
        QApplication::sendEvent(button, &ev);
    }
    void Click() { QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(30, 20)); }
};

} // namespace

TEST_F(SkinButtonFixture, PictureFollowsTheStateAndClicksFollowTheType)
{
    EXPECT_EQ(button->CurrentSlot(), CSkinButton::SLOT_NORMAL);
    Move(QPoint(20, 20));
    EXPECT_EQ(button->CurrentSlot(), CSkinButton::SLOT_MOUSEOVER);
    Move(QPoint(500, 20)); // outside
    EXPECT_FALSE(button->IsMouseOver());
    button->SetCheck(true);
    EXPECT_EQ(button->CurrentSlot(), CSkinButton::SLOT_CHECKED);
    Move(QPoint(20, 20));
    EXPECT_EQ(button->CurrentSlot(), CSkinButton::SLOT_MOUSEOVER); // mouse-over wins over checked
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    EXPECT_FALSE(button->IsMouseOver());
    button->SetCheck(false);
    button->setEnabled(false);
    EXPECT_EQ(button->CurrentSlot(), CSkinButton::SLOT_DISABLED);

    // Only a check box takes a check, from code or a click; a double click counts as a click.
    button->setEnabled(true);
    button->SetButtonType(CSkinButton::BS_AUTORADIOBUTTON); // the panel's push-like radios
    button->SetCheck(true);
    Click();
    EXPECT_FALSE(button->GetCheck());
    EXPECT_EQ(button->CurrentSlot(), CSkinButton::SLOT_NORMAL);
    button->SetButtonType(CSkinButton::BS_DEFPUSHBUTTON);
    EXPECT_TRUE(button->IsDefaultMode());
    EXPECT_FALSE(button->IsCheckBoxMode());
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    Click();
    QTest::mouseDClick(button, Qt::LeftButton, {}, QPoint(30, 20));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(30, 20));
    EXPECT_EQ(clicked.count(), 2);
    button->SetButtonType(CSkinButton::BS_CHECKBOX);
    Click();
    EXPECT_TRUE(button->GetCheck());
}
