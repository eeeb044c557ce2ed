#include "TestEnv.h"
#include "app/ComPortPage.h"
#include "app/FunctionListBar.h"
#include "app/FunctionListPanel.h"
#include "app/LumoraApp.h"
#include "app/MainFrame.h"
#include "app/PageHost.h"
#include "core/AppSettings.h"
#include "handset/ConnectionStrip.h"
#include "handset/ConnectionWorker.h"
#include "handset/InfoPage.h"
#include "handset/PortRefusal.h"
#include "pages/SettingsPage.h"
#include "platform/Dialogs.h"
#include "platform/HostCommands.h"
#include "platform/Registry.h"
#include "platform/VirtualPorts.h"
#include "serial/SerialPort.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QScrollBar>
#include <QWindow>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

// Delivers what is queued, and what that posts in turn: a host command goes from the frame to
// the function list bar, which posts it on to the host.
void Pump()
{
    for (int hop = 0; hop < 3; ++hop)
        QCoreApplication::processEvents();
}

using qpxtest::PumpUntil;

class FrameTest : public ::testing::Test
{
protected:
    // Each test starts without virtual ports (a pseudo-terminal published as one is a plugged-in
    // handset) and leaves none behind.
    void SetUp() override
    {
        Dialogs::SetTestMode(true);
        Dialogs::ClearRecords();
        theSettings.Reset();
        m_install = qpxtest::MakeTempDir(QStringLiteral("install")) + QLatin1Char('/');
        theSettings.m_strInstallDir = m_install;
        QDir(VirtualPortFolder()).removeRecursively();
        EnsureVirtualPortFolder();
    }
    void TearDown() override
    {
        m_frame.reset();
        theSettings.Reset();
        QDir(VirtualPortFolder()).removeRecursively();
    }
    // Publishes a pseudo-terminal as port n.
    bool Plug(CPtyMaster& pty, int n, const QString& name)
    {
        return pty.Open() && PublishVirtualPort(n, pty.SlavePath(), name);
    }
    CMainFrame& MakeFrame()
    {
        m_frame = std::make_unique<CMainFrame>();
        EXPECT_TRUE(m_frame->Create());
        // The start-up ends with the result of its port choice.
        EXPECT_TRUE(PumpUntil(
            [this] { return m_frame->PageHost()->HandledCommands().contains(HC_PORT_RESULT); }, 20000));
        return *m_frame;
    }
    // Runs a host command as the toolbar or frame would post it.
    void Command(quint32 code, LPARAM arg = 0)
    {
        m_frame->PageHost()->OnHostCommand(code, arg);
        Pump();
    }

    QString m_install;
    std::unique_ptr<CMainFrame> m_frame;
};

// Each frame status code sets the panes and the current port; only the low 16 bits count, a
// code that is no status is ignored. Empty texts: that pane is left as it was.
TEST_F(FrameTest, FrameStatusCodesSetThePanes)
{
    CMainFrame& f = MakeFrame();
    const QString dll = QStringLiteral("/opt/qpx/MODEL/ref.so");
    // clang-format off
    // portAfter: m_nCurPort, which is 4 before each code; -2: not looked at
    const struct { quint32 code; QString dllFile, port, dllPane, model; int portAfter; } steps[] = {
        {FS_TRYING_PORT, {}, "PORT : COM4", "DLL : Connecting...", "MODEL : Connecting...", 4},
        {FS_MODEL_READY, {}, "PORT : COM4", "DLL : N/A", "MODEL : N/A", 4},
        {0x10000 | FS_MODEL_READY, dll, "PORT : COM4", "DLL : " + dll + " (V", "MODEL : KQ-100", 4},
        {FS_CONNECTING, dll, "PORT : COM4", {}, "MODEL : Connecting...", 4},
        {0x2108, dll, {}, {}, "MODEL : Connecting...", 4},
        {FS_PORT_CLEARED, dll, {}, {}, "MODEL : Connecting...", -1},
        {FS_CONNECT_FAILED, dll, {}, {}, {}, -1},
        {FS_RESET, dll, "PORT : Not Connected ", "DLL : N/A", "MODEL : N/A", -2},
    };
    // clang-format on
    for (const auto& step : steps) {
        SCOPED_TRACE(step.code);
        theSettings.Set(&CAppSettings::m_strDllFile, step.dllFile);
        theSettings.Set(&CAppSettings::m_strModelName,
                        step.dllFile.isEmpty() ? QString() : QStringLiteral("KQ-100"));
        f.m_nCurPort = 4;
        f.OnFrameStatus(step.code, 4);
        EXPECT_TRUE(step.port.isEmpty() || f.PaneText(ID_PANE_PORT) == step.port) << step.port.toStdString();
        EXPECT_TRUE(f.PaneText(ID_PANE_DLL).startsWith(step.dllPane))
            << f.PaneText(ID_PANE_DLL).toStdString();
        EXPECT_TRUE(step.model.isEmpty() || f.PaneText(ID_PANE_MODEL) == step.model)
            << step.model.toStdString();
        EXPECT_TRUE(step.portAfter == -2 || f.m_nCurPort == step.portAfter) << f.m_nCurPort;
    }

    // Codes that a connection worker no longer current had queued are dropped; untagged codes
    // (the strip's and the host's own) always count.
    const quint32 replaced = f.PageHost()->Strip()->WorkerGeneration() + 1;
    for (quint32 code : {FS_TRYING_PORT, FS_CONNECTING, FS_CONNECT_FAILED}) {
        f.m_nCurPort = 7;
        PostMessage(&f, WM_FRAME_STATUS, LinkWParam(code, replaced), 9);
        Pump();
        EXPECT_EQ(f.PaneText(ID_PANE_PORT), QStringLiteral("PORT : Not Connected ")) << code;
        EXPECT_EQ(f.PaneText(ID_PANE_MODEL), QStringLiteral("MODEL : N/A")) << code;
        EXPECT_EQ(f.m_nCurPort, 7) << code;
    }
    PostMessage(&f, WM_FRAME_STATUS, FS_TRYING_PORT, 9);
    Pump();
    EXPECT_EQ(f.PaneText(ID_PANE_PORT), QStringLiteral("PORT : COM9"));
}

TEST_F(FrameTest, RefusedPortIsShownToldOnceAndLogged)
{
    // Another program (here: this test) holds the only handset port.
    CPtyMaster modem;
    ASSERT_TRUE(Plug(modem, 3, QStringLiteral("KOVA USB CDMA Modem")));
    CSerialPort holder;
    ASSERT_TRUE(holder.OpenPath(modem.SlavePath(), 3));
    const QString self =
        QStringLiteral("%1 (process %2)")
            .arg(QString::fromLocal8Bit(qpxtest::ReadFile(QStringLiteral("/proc/self/comm"))).trimmed())
            .arg(QCoreApplication::applicationPid());
    const QString busy =
        QStringLiteral("COM3 (%1) is in use by another program: %2.\nClose that program, then "
                       "choose the port again with Select Port.")
            .arg(modem.SlavePath(), self);

    CMainFrame& f = MakeFrame();
    // The link gives up on it; the pane keeps saying why after the reset.
    ASSERT_TRUE(PumpUntil(
        [&] { return f.m_nCurPort == -1 && f.PaneText(ID_PANE_MODEL) == QStringLiteral("MODEL : N/A"); }));
    EXPECT_EQ(f.PaneText(ID_PANE_PORT), QStringLiteral("PORT : COM3 busy"));
    ASSERT_EQ(Dialogs::Shown().size(), 1);
    EXPECT_EQ(Dialogs::Shown()[0].strText, busy);
    EXPECT_EQ(Dialogs::Shown()[0].nIcon, MB_ICONEXCLAMATION);
    const QStringList logs = QDir(m_install + QStringLiteral("LOG")).entryList(QDir::Files);
    ASSERT_EQ(logs.size(), 1);
    const QByteArray log = qpxtest::ReadFile(m_install + QStringLiteral("LOG/") + logs[0]);
    EXPECT_TRUE(log.contains("* Port Problem\t: ")) << log.constData();
    EXPECT_TRUE(log.contains(
        "COM Port\t: 3\r\nProblem\t\t: " + QString(busy).replace(u'\n', u' ').toLocal8Bit() + "\r\n"))
        << log.constData();

    // Chosen again while still held: the pane says so again, the user is not told twice.
    f.SelectPort(3);
    EXPECT_EQ(f.PaneText(ID_PANE_PORT), QStringLiteral("PORT : COM3   "));
    ASSERT_TRUE(PumpUntil([&] { return f.PaneText(ID_PANE_PORT) == QStringLiteral("PORT : COM3 busy"); }));
    Pump();
    EXPECT_EQ(Dialogs::Shown().size(), 1);

    // Free again: chosen once more, it opens.
    holder.Close();
    f.SelectPort(3);
    ASSERT_TRUE(PumpUntil([&] { return f.PaneText(ID_PANE_PORT) == QStringLiteral("PORT : COM3"); }));
    EXPECT_EQ(Dialogs::Shown().size(), 1);

    // Not permitted: the fix is named, with the group the user lacks or else the udev rule.
    SPortRefusal denied;
    denied.nPort = 9;
    denied.nError = CSerialDevice::SERIAL_PERMISSION_DENIED;
    std::strcpy(denied.szDevice, "/dev/ttyUSB0");
    std::strcpy(denied.szDetail, "dialout");
    f.OnFrameStatus(FS_PORT_REFUSED, reinterpret_cast<LPARAM>(&denied));
    EXPECT_EQ(f.PaneText(ID_PANE_PORT), QStringLiteral("PORT : COM9 not permitted"));
    EXPECT_EQ(Dialogs::Shown().constLast().strText,
              QStringLiteral("You may not use COM9 (/dev/ttyUSB0): your user is not in the group dialout.\n"
                             "Add it (sudo usermod -aG dialout $USER) and log in again, then choose the port "
                             "again with Select Port."));
    denied.nPort = 10;
    denied.szDetail[0] = '\0';
    f.OnFrameStatus(FS_PORT_REFUSED, reinterpret_cast<LPARAM>(&denied));
    EXPECT_EQ(
        Dialogs::Shown().constLast().strText,
        QStringLiteral("You may not use COM10 (/dev/ttyUSB0).\nA udev rule must give the port to the "
                       "logged-in user (TAG+=\"uaccess\"), or the administrator must grant access; then "
                       "choose the port again with Select Port."));
    EXPECT_EQ(Dialogs::Shown().size(), 3);
}

// Every control a person can press has an accessible name (all pages exist from the frame's
// creation on); Qt's own overflow arrow and the lists' disabled corner buttons aside.
TEST_F(FrameTest, AccessibleNamesHelpExitQuestionAndTheBarThatStays)
{
    CMainFrame& f = MakeFrame();
    f.show();
    Pump();
    QStringList unnamed;
    for (QAbstractButton* b : f.findChildren<QAbstractButton*>()) {
        if (b->objectName() == QLatin1String("qt_toolbar_ext_button") ||
            QLatin1String(b->metaObject()->className()) == QLatin1String("QTableCornerButton"))
            continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(b);
        if (!a || a->text(QAccessible::Name).trimmed().isEmpty())
            unnamed << b->objectName() + QLatin1Char(' ') + QLatin1String(b->metaObject()->className());
    }
    EXPECT_EQ(unnamed.join(QStringLiteral(", ")).toStdString(), "");

    // Help without a program to open its document says where it is; the exit question's No keeps
    // the program running; the Function List bar cannot be closed.
    f.ToolbarAction(ID_HELP)->trigger();
    ASSERT_EQ(Dialogs::Shown().size(), 1);
    EXPECT_EQ(Dialogs::Shown().constFirst().strText,
              QStringLiteral("No program could open the help document. It is here:\n\n") + m_install +
                  QStringLiteral("QPX.CHM"));
    EXPECT_FALSE(f.FunctionBar()->close());
    EXPECT_TRUE(f.FunctionBar()->isVisible());
    Dialogs::SetNextAnswer(IDNO);
    EXPECT_FALSE(f.close());
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(Dialogs::Shown().last().strText, QStringLiteral("Exit the program?"));
    EXPECT_EQ(Dialogs::Shown().last().nButtons, MB_YESNO);
    Dialogs::SetNextAnswer(IDYES);
    EXPECT_TRUE(f.close());
}

// A bar shorter than the content (160 x 600) scrolls it in steps of 4 pixels down and 8 across;
// a size change goes back to the top.
TEST_F(FrameTest, ScrollsWhenTheBarIsShorterThanThePage)
{
    CPageHost* host = MakeFrame().PageHost();
    m_frame->show();
    CFunctionListBar* bar = m_frame->FunctionBar();
    bar->setFloating(true);
    const auto scrollBar = [&](const char* name) {
        return host->findChild<QScrollBar*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
    };
    QScrollBar* v = scrollBar("verticalScrollBar");
    QScrollBar* h = scrollBar("horizontalScrollBar");
    ASSERT_NE(v, nullptr);
    ASSERT_NE(h, nullptr);

    bar->resize(800, 300);
    ASSERT_TRUE(PumpUntil([&] { return host->height() < 300 && v->isVisible(); }, 20000));
    EXPECT_FALSE(h->isVisible());
    const int clientHeight = host->height();
    EXPECT_EQ(v->maximum(), (600 - clientHeight + 3) / 4);
    v->setValue(v->maximum());
    const int shift = 4 * v->maximum();
    EXPECT_EQ(host->InfoPage()->y(), 130 - shift);
    EXPECT_EQ(v->geometry().right(), host->width() - 1); // the bar itself stays
    v->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(host->InfoPage()->y(), 130 - shift + 4);
    // A page brought forward does not cover the bar.
    Command(HC_SETTINGS);
    const QPoint edge(v->geometry().left() + 1, v->geometry().center().y());
    ASSERT_TRUE(host->SettingsPage()->geometry().contains(edge));
    EXPECT_EQ(host->childAt(edge), v);

    // Narrower than 160 too: both directions; a size change starts again at the top left.
    bar->resize(120, 200);
    ASSERT_TRUE(PumpUntil([&] { return host->width() < 160 && h->isVisible(); }, 20000));
    EXPECT_TRUE(v->isVisible());
    EXPECT_EQ(h->maximum(), (160 - (host->width() - v->width()) + 7) / 8);
    EXPECT_EQ(host->InfoPage()->pos(), QPoint(205, 130));
    h->setValue(1);
    EXPECT_EQ(host->InfoPage()->pos(), QPoint(205 - 8, 130));

    // Room for everything: nothing to scroll.
    bar->resize(800, 680);
    ASSERT_TRUE(PumpUntil([&] { return host->height() >= 600 && !v->isVisible(); }, 20000));
    EXPECT_FALSE(h->isVisible());
    EXPECT_EQ(host->InfoPage()->pos(), QPoint(205, 130));
}

// OK on the plug-in panel without a row asks for one; on the port panel it takes the port checked,
// also one of the second grid.
TEST_F(FrameTest, PanelOkTakesTheChoiceOrAsksForOne)
{
    CPageHost* host = MakeFrame().PageHost();
    Command(HC_SELECT_MODEL_DLL);
    emit host->Panel()->buttonClicked(CFunctionListPanel::ID_OK);
    ASSERT_FALSE(Dialogs::Shown().isEmpty());
    EXPECT_EQ(Dialogs::Shown().last().strText, QStringLiteral("Select model dll."));
    EXPECT_EQ(host->Panel()->PanelState(), PANEL_SELECT_DLL);
    emit host->Panel()->buttonClicked(CFunctionListPanel::ID_CANCEL);
    EXPECT_EQ(host->Panel()->PanelState(), PANEL_MAIN);
    EXPECT_EQ(host->CurrentPage(), host->InfoPage());

    CPtyMaster pty;
    ASSERT_TRUE(Plug(pty, 60, QStringLiteral("Communications Port")));
    Command(HC_SELECT_PORT);
    EXPECT_EQ(host->Panel()->PanelState(), PANEL_SELECT_PORT);
    QRadioButton* com60 = host->ComPortPage()->PortButton(60);
    ASSERT_NE(com60, nullptr);
    EXPECT_TRUE(com60->isEnabled());
    EXPECT_TRUE(com60->isVisibleTo(host->ComPortPage()));
    EXPECT_FALSE(host->ComPortPage()->PortButton(3)->isEnabled()); // absent
    com60->setChecked(true);
    emit host->Panel()->buttonClicked(CFunctionListPanel::ID_OK);
    Pump();
    EXPECT_EQ(m_frame->m_nCurPort, 60);
    EXPECT_EQ(host->Panel()->PanelState(), PANEL_MAIN);
    host->StopLink(LINK_STOP_IDLE);
}

using AppStartTest = FrameTest;

// Without an installation folder the program refuses to start, yet writes its settings back; with
// one, the remembered position is the user's own move.
TEST_F(AppStartTest, RefusedWithoutInstallFolderElseTheRememberedPositionIsTheUsersOwnMove)
{
    qpxtest::WriteFile(RegUserFilePath(), "[General]\nLAST_PORTNUM=7\n");
    {
        CLumoraApp app;
        EXPECT_FALSE(app.InitInstance());
        EXPECT_EQ(app.MainFrame(), nullptr);
        app.ExitInstance(0);
    }
    ASSERT_FALSE(Dialogs::Shown().isEmpty());
    EXPECT_EQ(Dialogs::Shown().last().strText,
              QStringLiteral("QPX program is not properly installed. Please re-install the proram."));
    QByteArray written = qpxtest::ReadFile(RegUserFilePath());
    EXPECT_TRUE(written.contains("LAST_PORTNUM=7"));
    EXPECT_TRUE(written.contains("LAST_OPERATION=-1"));
    EXPECT_FALSE(written.contains("LOCATE_DIRECTORY"));

    qpxtest::WriteFile(RegUserFilePath(), "[General]\nLOCATE_DIRECTORY=" + m_install.toLocal8Bit() +
                                              "\nLAST_WINDOW_POSITION_X=40\nLAST_WINDOW_POSITION_Y=30\n");
    {
        CLumoraApp app;
        ASSERT_TRUE(app.InitInstance());
        CMainFrame* f = app.MainFrame();
        EXPECT_EQ(f->pos(), QPoint(40, 30));

        // Where the window system puts the window before it is first on screen is not the user's
        // choice: the remembered position stays. A move after that is, and is saved at exit.
        f->move(60, 50);
        ASSERT_TRUE(PumpUntil([&] { return f->windowHandle() && f->windowHandle()->isExposed(); }));
        Pump();
        EXPECT_EQ(theSettings.m_nLastWindowX, 40);
        EXPECT_EQ(theSettings.m_nLastWindowY, 30);
        f->move(120, 90);
        Pump();
        EXPECT_EQ(QPoint(theSettings.m_nLastWindowX, theSettings.m_nLastWindowY),
                  f->frameGeometry().topLeft());
        EXPECT_EQ(f->frameGeometry().topLeft(), QPoint(120, 90));
        app.ExitInstance(0);
    }
    written = qpxtest::ReadFile(RegUserFilePath());
    EXPECT_TRUE(written.contains("LAST_WINDOW_POSITION_X=120")) << written.toStdString();
    EXPECT_TRUE(written.contains("LAST_WINDOW_POSITION_Y=90")) << written.toStdString();
    QFile::remove(RegUserFilePath());
}

} // namespace
