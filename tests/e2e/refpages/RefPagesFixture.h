#pragma once
// The real program with the reference plug-in in its installation's MODEL folder and the handset
// simulator on a virtual port. Operations are started from the pages' own controls; what the
// handset holds afterwards is read from the simulator's state folder or with a second operation.
#include "RefSim.h"
#include "app/FunctionListPanel.h"
#include "app/MainFrame.h"
#include "app/PageHost.h"
#include "controls/SkinButton.h"
#include "controls/SkinToolBar.h"
#include "controls/XListCtrl.h"
#include "core/AppSettings.h"
#include "handset/ConnectionStrip.h"
#include "pages/OperationLog.h"
#include "platform/Dialogs.h"
#include "platform/HostCommands.h"
#include "platform/VirtualPorts.h"
#include "plugin/PluginRun.h"

#include <QAction>
#include <QDate>
#include <QFileInfo>
#include <QLabel>

#include <algorithm>
#include <functional>
#include <memory>

namespace refpages {

constexpr int CONNECT_MS = 20000;
constexpr int OPERATION_MS = 40000;

using qpxtest::PumpUntil;

using namespace reftest;

class CRefPagesTest : public CRefSimTest
{
protected:
    // The simulator on port (faults in simArgs) and the main frame, up to the automatic choice
    // of the plug-in for the handset (unless waitForHandset is false).
    void Launch(int port, const QStringList& simArgs = {}, bool waitForHandset = true)
    {
        Dialogs::SetTestMode(true);
        Dialogs::ClearRecords();
        theSettings.Reset();
        CPluginRun::SetReleaseWaitMs(20);
        m_nPort = port;
        theSettings.m_strInstallDir = m_install;
        QDir(VirtualPortFolder()).removeRecursively();
        ASSERT_TRUE(EnsureVirtualPortFolder());
        ASSERT_TRUE(StartSim(simArgs)) << "the simulator did not start";
        m_frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(m_frame->Create());
        m_pHost = m_frame->PageHost();
        ASSERT_NE(m_pHost, nullptr);
        ASSERT_TRUE(!waitForHandset || PumpUntil([&] { return Connected() && HandsetShown(); }, CONNECT_MS))
            << "the reference plug-in was not chosen for the handset";
    }

    void TearDown() override
    {
        m_frame.reset();
        m_sim.Stop();
        theSettings.Reset();
        Dialogs::ClearRecords();
    }

    // The plug-in is chosen for the handset and the link runs on the simulator's port.
    bool Connected() const
    {
        return theSettings.Get(&CAppSettings::m_strDllFile) == m_dll && m_pHost->Strip()->IsLinkRunning() &&
               theSettings.m_nPortNum == m_nPort;
    }
    // The version list shows the handset's software, PRL and ERI versions.
    bool HandsetShown() const
    {
        return !SoftwareVersionText().isEmpty() && !PrlVersionText().isEmpty() && !EriVersionText().isEmpty();
    }

    // "S/W Version" of the version list, e.g. "12.06  VKQ100A1"; the PRL and ERI versions.
    QString SoftwareVersionText() const { return m_pHost->Strip()->VersionList()->GetItemText(2, 1); }
    QString PrlVersionText() const { return m_pHost->Strip()->VersionList()->GetItemText(4, 1); }
    QString EriVersionText() const { return m_pHost->Strip()->VersionList()->GetItemText(4, 3); }

    // A toolbar button, as a click does; waits for the page it shows.
    void Toolbar(int id, QWidget* page)
    {
        QAction* act = m_frame->ToolbarAction(id);
        ASSERT_NE(act, nullptr) << id;
        act->trigger();
        ASSERT_TRUE(PumpUntil([&] { return m_pHost->CurrentPage() == page; }, 5000)) << id;
    }

    template <typename T> T* Child(const QWidget* page, const char* name) const
    {
        T* w = page->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    // Clicks a start button and waits for the operation to end; the last message box is the
    // outcome.
    void RunOperation(QPushButton* start)
    {
        ASSERT_NE(start, nullptr);
        ASSERT_TRUE(start->isEnabled());
        const qsizetype before = Dialogs::Shown().size();
        start->click();
        ASSERT_EQ(theSettings.m_bBusy, 1) << "not started: " << ShownTexts().toStdString();
        EXPECT_FALSE(m_frame->ToolBar()->isEnabled());
        EXPECT_FALSE(m_pHost->Strip()->IsLinkRunning());
        ASSERT_TRUE(PumpUntil([] { return theSettings.m_bBusy == 0; }, OPERATION_MS)) << "no end";
        ASSERT_GT(Dialogs::Shown().size(), before);
        EXPECT_TRUE(m_frame->ToolBar()->isEnabled());
    }

    // Every message box text so far, for failure output.
    static QString ShownTexts()
    {
        QStringList texts;
        for (const SMessageBoxRecord& r : Dialogs::Shown())
            texts << u'"' + r.strText + u'"';
        return texts.join(u", "_s);
    }

    QString LastMessage() const
    {
        return Dialogs::Shown().isEmpty() ? QString() : Dialogs::Shown().constLast().strText;
    }

    // The main buttons of the function list panel are all usable.
    bool PanelUnlocked() const
    {
        const auto ids = CFunctionListPanel::MainButtonIds();
        return std::all_of(ids.begin(), ids.end(),
                           [&](int id) { return m_pHost->Panel()->Button(id)->isEnabled(); });
    }

    QByteArray LogText() const
    {
        return qpxtest::ReadFile(m_install + u"LOG/"_s + OperationLogFileName(QDate::currentDate()));
    }

    std::unique_ptr<CMainFrame> m_frame;
    CPageHost* m_pHost = nullptr;
};

} // namespace refpages
