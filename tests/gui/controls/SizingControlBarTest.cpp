#include "controls/SizingControlBar.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <gtest/gtest.h>

TEST(SizingControlBar, DefaultSizeIsReportedForEveryOrientation)
{
    QMainWindow frame;
    auto* bar = new CSizingControlBarCF(&frame);
    ASSERT_TRUE(bar->Create(QStringLiteral("Function List"), &frame, QSize(800, 550), false, 1230));
    EXPECT_EQ(bar->HorzSize(), QSize(800, 550));
    EXPECT_EQ(bar->VertSize(), QSize(800, 550));
    EXPECT_EQ(bar->FloatSize(), QSize(800, 550));
    EXPECT_EQ(bar->windowTitle(), QStringLiteral("Function List"));
    EXPECT_EQ(bar->BarId(), 1230);
    EXPECT_FALSE(bar->HasGripper());
    EXPECT_EQ(bar->CalcFixedLayout(true, true), QSize(32767, 550));
    EXPECT_EQ(bar->CalcFixedLayout(true, false), QSize(800, 32767));
}

TEST(SizingControlBar, MinimumsHoldDockedAndFloating)
{
    QMainWindow frame;
    frame.setCentralWidget(new QLabel(QStringLiteral("view")));
    frame.resize(600, 400);
    auto* bar = new CSizingControlBarCF(&frame);
    bar->setWidget(new QWidget); // the page host leaves the minimum to the bar
    ASSERT_TRUE(bar->Create(QStringLiteral("Function List"), &frame, QSize(10, 10), false, 1230));
    EXPECT_EQ(bar->CalcFixedLayout(false, true), QSize(33, 32));
    EXPECT_EQ(bar->CalcFixedLayout(false, false), QSize(33, 32));
    EXPECT_EQ(bar->CalcFloatingLayout(5, true), QSize(37, 32));

    bar->DockAt(&frame, Qt::LeftDockWidgetArea);
    frame.show();
    EXPECT_EQ(bar->DockSide(), CSizingControlBar::DOCK_LEFT);
    EXPECT_EQ(bar->SizingStyle() & CSizingControlBar::SCBS_EDGEALL,
              quint32(CSizingControlBar::SCBS_EDGERIGHT));
    EXPECT_EQ(bar->minimumSize(), QSize(33, 32));
    // Dragging the free edge further than the minimum allows stops at the minimum.
    frame.resizeDocks({bar}, {5}, Qt::Horizontal);
    EXPECT_GE(bar->width(), 33);

    bar->setFloating(true);
    EXPECT_EQ(bar->DockSide(), CSizingControlBar::DOCK_FLOATING);
    EXPECT_EQ(bar->minimumSize(), QSize(37, 32));
    bar->setFloating(false);
    EXPECT_EQ(bar->minimumSize(), QSize(33, 32));
}

// The bar ignores close requests, follows the focus, and is destroyed safely with the focus
// inside it.
TEST(SizingControlBar, CloseRequestsAreIgnoredAndTheFocusIsFollowed)
{
    QMainWindow frame;
    auto* bar = new CSizingControlBarCF(&frame);
    bar->Create(QStringLiteral("Function List"), &frame, QSize(800, 550), false, 1230);
    bar->DockAt(&frame, Qt::LeftDockWidgetArea);
    auto* edit = new QLineEdit;
    bar->setWidget(edit);
    frame.show();
    EXPECT_FALSE(bar->features() & QDockWidget::DockWidgetClosable);
    EXPECT_FALSE(bar->close());
    EXPECT_TRUE(bar->isVisible());
    QApplication::setActiveWindow(&frame);
    edit->setFocus();
    EXPECT_TRUE(bar->IsActive());
    delete bar;
    EXPECT_TRUE(frame.findChildren<QDockWidget*>().isEmpty());
}

TEST(SizingControlBar, TwoBarsShareARow)
{
    QMainWindow frame;
    frame.setCentralWidget(new QLabel(QStringLiteral("view")));
    frame.resize(600, 500);
    auto* a = new CSizingControlBar(&frame);
    auto* b = new CSizingControlBar(&frame);
    a->Create(QStringLiteral("A"), &frame, QSize(150, 200), false, 1);
    b->Create(QStringLiteral("B"), &frame, QSize(150, 200), false, 2);
    a->DockAt(&frame, Qt::LeftDockWidgetArea);
    b->DockAt(&frame, Qt::LeftDockWidgetArea);
    frame.show();
    EXPECT_EQ(frame.dockWidgetArea(a), Qt::LeftDockWidgetArea);
    EXPECT_EQ(frame.dockWidgetArea(b), Qt::LeftDockWidgetArea);
    // Moving the edge between them far down keeps the lower bar at its minimum height.
    frame.resizeDocks({a, b}, {10000, 1}, Qt::Vertical);
    EXPECT_GE(b->height(), 32);
    EXPECT_GE(a->height(), 32);
}
