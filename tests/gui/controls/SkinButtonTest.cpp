#include "controls/SkinButton.h"
#include "res/Pictures.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Pictures whose slots can be told apart by one pixel colour.
QImage Solid(QRgb colour, int w = 20, int h = 10)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

void Move(QWidget* w, QPoint pos, Qt::MouseButtons buttons = Qt::NoButton)
{
    QMouseEvent ev(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &ev);
}

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
};

} // namespace

TEST_F(SkinButtonFixture, PictureFollowsTheState)
{
    EXPECT_EQ(button->CurrentSlot(), CSkinButton::SLOT_NORMAL);
    Move(button, QPoint(20, 20));
    EXPECT_TRUE(button->IsMouseOver());
    EXPECT_EQ(button->CurrentSlot(), CSkinButton::SLOT_MOUSEOVER);
    Move(button, QPoint(500, 20)); // outside
    EXPECT_FALSE(button->IsMouseOver());

    button->SetCheck(true);
    EXPECT_EQ(button->CurrentSlot(), CSkinButton::SLOT_CHECKED);
    Move(button, QPoint(20, 20));
    EXPECT_EQ(button->CurrentSlot(), CSkinButton::SLOT_MOUSEOVER); // mouse-over wins over checked
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    EXPECT_FALSE(button->IsMouseOver());

    button->SetCheck(false);
    button->setEnabled(false);
    EXPECT_EQ(button->CurrentSlot(), CSkinButton::SLOT_DISABLED);
}

TEST_F(SkinButtonFixture, SetCheckIsIgnoredOutsideCheckboxMode)
{
    // The panel's buttons are push-like radio buttons.
    button->SetButtonType(CSkinButton::BS_AUTORADIOBUTTON);
    EXPECT_FALSE(button->IsCheckBoxMode());
    button->SetCheck(true);
    EXPECT_FALSE(button->GetCheck());
    EXPECT_EQ(button->CurrentSlot(), CSkinButton::SLOT_NORMAL);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(30, 20));
    EXPECT_FALSE(button->GetCheck());

    button->SetButtonType(CSkinButton::BS_DEFPUSHBUTTON);
    EXPECT_TRUE(button->IsDefaultMode());
    EXPECT_FALSE(button->IsCheckBoxMode());

    button->SetButtonType(CSkinButton::BS_CHECKBOX);
    EXPECT_TRUE(button->IsCheckBoxMode());
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(30, 20));
    EXPECT_TRUE(button->GetCheck()); // a click toggles in checkbox mode
}

TEST_F(SkinButtonFixture, DoubleClickCountsAsClick)
{
    button->SetButtonType(CSkinButton::BS_PUSHBUTTON);
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    // Press, release, double click, release: two clicks.
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(30, 20));
    QTest::mouseDClick(button, Qt::LeftButton, {}, QPoint(30, 20));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(30, 20));
    EXPECT_EQ(clicked.count(), 2);
}

TEST_F(SkinButtonFixture, KeyColourShowsTheParentBackground)
{
    parent.setAutoFillBackground(true);
    QPalette pal = parent.palette();
    pal.setColor(QPalette::Window, QColor(0x12, 0x9A, 0x34));
    parent.setPalette(pal);

    // A picture with one black pixel in its corner; black is the transparent colour.
    QImage pic = Solid(0xFFFFD000, 190, 45);
    pic.setPixel(0, 0, 0xFF000000);
    pic.setPixel(5, 5, 0xFF010101); // nearly black is drawn
    ASSERT_TRUE(button->SetBitmaps(pic, 0, pic, 0));
    EXPECT_EQ(qAlpha(button->SlotImage(CSkinButton::SLOT_NORMAL).pixel(0, 0)), 0);

    const QImage shot = parent.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(10, 10)), QColor(0x12, 0x9A, 0x34));
    EXPECT_EQ(QColor(shot.pixel(15, 15)), QColor(0x01, 0x01, 0x01));
    EXPECT_EQ(QColor(shot.pixel(40, 30)), QColor(0xFF, 0xD0, 0x00));
    // Without a transparent colour every pixel is drawn.
    ASSERT_TRUE(button->SetBitmaps(pic, CSkinButton::NO_TRANSPARENCY, pic, CSkinButton::NO_TRANSPARENCY));
    EXPECT_EQ(QColor(parent.grab().toImage().pixel(10, 10)), QColor(0, 0, 0));
}
