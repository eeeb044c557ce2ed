#include "app/PageHost.h"
#include "TestEnv.h"
#include "app/ComPortPage.h"
#include "app/FunctionListBar.h"
#include "app/FunctionListPanel.h"
#include "app/MainFrame.h"
#include "controls/SkinButton.h"
#include "core/AppSettings.h"
#include "handset/ConnectionStrip.h"
#include "handset/InfoPage.h"
#include "pages/MemoryTransferPage.h"
#include "pages/PhoneBookPage.h"
#include "pages/SettingsPage.h"
#include "pages/UpgradePage.h"
#include "platform/Dialogs.h"
#include "platform/HostCommands.h"
#include "platform/VirtualPorts.h"
#include "plugin/ModelDllDialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QRadioButton>
#include <QScrollBar>
#include <gtest/gtest.h>

#include <memory>

namespace {

// Delivers what is queued, and what that posts in turn (the frame's host commands pass through
// the function list bar).
void Pump()
{
    for (int hop = 0; hop < 3; ++hop)
        QCoreApplication::processEvents();
}

class PageHostTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Dialogs::SetTestMode(true);
        Dialogs::ClearRecords();
        theSettings.Reset();
        theSettings.m_strInstallDir = qpxtest::MakeTempDir(QStringLiteral("install")) + QLatin1Char('/');
        QDir(VirtualPortFolder()).removeRecursively();
        EnsureVirtualPortFolder();
        m_frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(m_frame->Create());
        m_host = m_frame->PageHost();
        // The start-up ends with the result of its port choice.
        ASSERT_TRUE(
            qpxtest::PumpUntil([this] { return m_host->HandledCommands().contains(HC_PORT_RESULT); }, 20000));
    }
    void TearDown() override
    {
        m_frame.reset();
        theSettings.Reset();
    }
    // Runs a host command as the toolbar or frame would post it.
    void Command(quint32 code, LPARAM arg = 0)
    {
        m_host->OnHostCommand(code, arg);
        Pump();
    }

    std::unique_ptr<CMainFrame> m_frame;
    CPageHost* m_host = nullptr;
};

TEST_F(PageHostTest, CommandsSelectPagesAndModes)
{
    EXPECT_EQ(m_host->CurrentPage(), m_host->InfoPage());
    EXPECT_EQ(m_host->Panel()->PanelState(), PANEL_MAIN);
    Command(HC_REFURBISH);
    EXPECT_EQ(m_host->CurrentPage(), m_host->UpgradePage());
    EXPECT_EQ(m_host->UpgradePage()->SelectedOperation(), 6);
    Command(HC_PRL);
    EXPECT_EQ(m_host->UpgradePage()->SelectedOperation(), 4);
    Command(HC_SETTINGS);
    EXPECT_EQ(m_host->CurrentPage(), m_host->SettingsPage());
    Command(HC_PHONEBOOK);
    EXPECT_EQ(m_host->CurrentPage(), m_host->PhoneBookPage());
    Command(HC_TRANSFER);
    EXPECT_EQ(m_host->CurrentPage(), m_host->TransferPage());
    Command(HC_SELECT_PORT);
    EXPECT_EQ(m_host->CurrentPage(), m_host->ComPortPage());
    EXPECT_EQ(m_host->Panel()->PanelState(), PANEL_SELECT_PORT);
    Command(HC_SELECT_MODEL_DLL);
    EXPECT_EQ(m_host->CurrentPage(), m_host->ModelDllPage());
    EXPECT_EQ(m_host->Panel()->PanelState(), PANEL_SELECT_DLL);
    EXPECT_EQ(theSettings.m_bSelectingModelDll.load(), 1);
    Command(0x3000); // unknown: ignored
    EXPECT_EQ(m_host->CurrentPage(), m_host->ModelDllPage());
    Command(HC_INFORMATION);
    EXPECT_EQ(m_host->CurrentPage(), m_host->InfoPage());
    EXPECT_EQ(m_host->Panel()->PanelState(), PANEL_MAIN);
    EXPECT_EQ(theSettings.m_bSelectingModelDll.load(), 0);
}

// A bar shorter than the content (160 x 600) scrolls it in steps of 4 pixels down and 8 across;
// a size change goes back to the top.
TEST_F(PageHostTest, ScrollsWhenTheBarIsShorterThanThePage)
{
    m_frame->show();
    CFunctionListBar* bar = m_frame->FunctionBar();
    bar->setFloating(true);
    const auto scrollBar = [&](const char* name) {
        return m_host->findChild<QScrollBar*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
    };
    QScrollBar* v = scrollBar("verticalScrollBar");
    QScrollBar* h = scrollBar("horizontalScrollBar");
    ASSERT_NE(v, nullptr);
    ASSERT_NE(h, nullptr);

    bar->resize(800, 300);
    ASSERT_TRUE(qpxtest::PumpUntil([&] { return m_host->height() < 300 && v->isVisible(); }, 20000));
    EXPECT_FALSE(h->isVisible());
    const int clientHeight = m_host->height();
    EXPECT_EQ(v->maximum(), (600 - clientHeight + 3) / 4);
    v->setValue(v->maximum());
    const int shift = 4 * v->maximum();
    EXPECT_EQ(m_host->Panel()->y(), 1 - shift);
    EXPECT_EQ(m_host->InfoPage()->y(), 130 - shift);
    EXPECT_EQ(m_host->Strip()->y(), -shift);
    EXPECT_EQ(v->geometry().right(), m_host->width() - 1); // the bar itself stays
    v->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(m_host->InfoPage()->y(), 130 - shift + 4);
    // A page brought forward does not cover the bar.
    Command(HC_SETTINGS);
    const QPoint edge(v->geometry().left() + 1, v->geometry().center().y());
    ASSERT_TRUE(m_host->SettingsPage()->geometry().contains(edge));
    EXPECT_EQ(m_host->childAt(edge), v);

    // Narrower than 160 too: both directions; a size change starts again at the top left.
    bar->resize(120, 200);
    ASSERT_TRUE(qpxtest::PumpUntil([&] { return m_host->width() < 160 && h->isVisible(); }, 20000));
    EXPECT_TRUE(v->isVisible());
    EXPECT_EQ(h->maximum(), (160 - (m_host->width() - v->width()) + 7) / 8);
    EXPECT_EQ(m_host->InfoPage()->pos(), QPoint(205, 130));
    h->setValue(1);
    EXPECT_EQ(m_host->InfoPage()->pos(), QPoint(205 - 8, 130));

    // Room for everything: nothing to scroll.
    bar->resize(800, 680);
    ASSERT_TRUE(qpxtest::PumpUntil([&] { return m_host->height() >= 600 && !v->isVisible(); }, 20000));
    EXPECT_FALSE(h->isVisible());
    EXPECT_EQ(m_host->InfoPage()->pos(), QPoint(205, 130));
    EXPECT_EQ(m_host->Panel()->pos(), QPoint(1, 1));
}

TEST_F(PageHostTest, PortResultEnablesAndDisablesTheStartControls)
{
    theSettings.Set(&CAppSettings::m_strDllFile, QStringLiteral("N/A"));
    // Checked before the worker started by the command gets to try the (absent) port.
    m_host->OnHostCommand(HC_PORT_RESULT, 5);
    // A port without a plug-in: settings, phonebook and transfer on, upgrade off.
    EXPECT_TRUE(m_host->SettingsPage()->IsStartEnabled());
    EXPECT_TRUE(m_host->PhoneBookPage()->IsStartEnabled());
    EXPECT_TRUE(m_host->TransferPage()->IsStartEnabled());
    EXPECT_FALSE(m_host->UpgradePage()->IsStartEnabled());
    m_host->StopLink(LINK_STOP_IDLE);

    theSettings.Set(&CAppSettings::m_strDllFile, QStringLiteral("/opt/qpx/MODEL/ref.so"));
    Command(HC_PORT_RESULT, -1);
    // No port: all five controls off even with a plug-in chosen.
    EXPECT_FALSE(m_host->SettingsPage()->IsStartEnabled());
    EXPECT_FALSE(m_host->PhoneBookPage()->IsStartEnabled());
    EXPECT_FALSE(m_host->TransferPage()->IsStartEnabled());
    EXPECT_FALSE(m_host->UpgradePage()->IsStartEnabled());
}

TEST_F(PageHostTest, DisconnectResetsPanesAndForgetsThePlugin)
{
    theSettings.Set(&CAppSettings::m_strDllFile, QStringLiteral("/opt/qpx/MODEL/ref.so"));
    Command(HC_DISCONNECTED);
    EXPECT_TRUE(theSettings.Get(&CAppSettings::m_strDllFile).isEmpty());
    EXPECT_EQ(m_frame->PaneText(ID_PANE_DLL), QStringLiteral("DLL : N/A"));
    EXPECT_EQ(m_frame->PaneText(ID_PANE_MODEL), QStringLiteral("MODEL : N/A"));
    EXPECT_TRUE(m_host->InfoPage()->ValueText(0).isEmpty());
}

TEST_F(PageHostTest, OkWithoutAPluginRowAsksForOne)
{
    Command(HC_SELECT_MODEL_DLL);
    emit m_host->Panel()->buttonClicked(CFunctionListPanel::ID_OK);
    ASSERT_FALSE(Dialogs::Shown().isEmpty());
    EXPECT_EQ(Dialogs::Shown().last().strText, QStringLiteral("Select model dll."));
    EXPECT_EQ(m_host->Panel()->PanelState(), PANEL_SELECT_DLL);
    emit m_host->Panel()->buttonClicked(CFunctionListPanel::ID_CANCEL);
    EXPECT_EQ(m_host->Panel()->PanelState(), PANEL_MAIN);
    EXPECT_EQ(m_host->CurrentPage(), m_host->InfoPage());
}

TEST_F(PageHostTest, HighPortGoesToTheSecondGridAndOkChoosesIt)
{
    CPtyMaster pty;
    ASSERT_TRUE(pty.Open());
    ASSERT_TRUE(PublishVirtualPort(60, pty.SlavePath(), QStringLiteral("Communications Port")));
    Command(HC_SELECT_PORT);
    QRadioButton* com60 = m_host->ComPortPage()->PortButton(60);
    ASSERT_NE(com60, nullptr);
    EXPECT_TRUE(com60->isEnabled());
    EXPECT_TRUE(com60->isVisibleTo(m_host->ComPortPage()));
    EXPECT_FALSE(m_host->ComPortPage()->PortButton(3)->isEnabled()); // absent
    com60->setChecked(true);
    emit m_host->Panel()->buttonClicked(CFunctionListPanel::ID_OK);
    Pump();
    EXPECT_EQ(m_frame->m_nCurPort, 60);
    EXPECT_EQ(m_host->Panel()->PanelState(), PANEL_MAIN);
    m_host->StopLink(LINK_STOP_IDLE);
    UnpublishVirtualPort(60, pty.SlavePath());
}

} // namespace
