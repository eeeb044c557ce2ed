#pragma once
// The real program with the reference plug-in in its installation's MODEL folder and the handset
// simulator on a virtual port, its state kept in a folder of the test. Operations are started
// from the pages' own controls; what the handset holds afterwards is read from the simulator's
// state folder (state.dat and the efs/ tree) or with a second operation.
#include "../reference/RefHarness.h"
#include "RefFiles.h"
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
#include "serial/PrlImage.h"

#include <QAction>
#include <QDataStream>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLabel>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>

// Readable failure output for Qt texts.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os)
{
    *os << '{';
    for (const QString& s : l)
        *os << '"' << s.toStdString() << "\" ";
    *os << '}';
}
inline void PrintTo(const QList<QStringList>& rows, std::ostream* os)
{
    for (const QStringList& r : rows)
        PrintTo(r, os);
}
inline void PrintTo(const QByteArray& b, std::ostream* os)
{
    *os << '"' << QString::fromUtf8(b.toPercentEncoding(" ,;:/.@")).toStdString() << '"';
}

namespace refpages {

constexpr int CONNECT_MS = 20000;
constexpr int OPERATION_MS = 40000;

using qpxtest::PumpUntil;

using namespace reftest;

// ---- what the simulated handset holds ----

struct SSimState
{
    bool bRead = false;
    QHash<quint32, QByteArray> items;
    QByteArray prl[2];
    QString strSwVersion;

    // An NV item (per-NAM items under their NAM index), empty when never written.
    QByteArray Item(quint16 item, quint8 nam = 0) const
    {
        return items.value(item | (static_cast<quint32>(nam) << 16));
    }
    quint16 PrlId(int nam) const
    {
        const QByteArray& p = prl[nam & 1];
        return p.size() < 4 ? 0 : static_cast<quint16>((quint8(p[2]) << 8) | quint8(p[3]));
    }
};

// state.dat of a simulator state folder: magic, items, both PRLs, software version directory.
inline SSimState ReadSimState(const QString& folder)
{
    SSimState s;
    QFile f(folder + QStringLiteral("/state.dat"));
    if (!f.open(QIODevice::ReadOnly))
        return s;
    QDataStream in(&f);
    quint32 magic = 0;
    in >> magic >> s.items >> s.prl[0] >> s.prl[1] >> s.strSwVersion;
    s.bRead = in.status() == QDataStream::Ok && magic == 0x51505853;
    return s;
}

// ---- the program ----

class CRefPagesTest : public ::testing::Test
{
protected:
    // Rows and columns of the connection strip's version list.
    static constexpr int VERSION_ROW_SW = 2;
    static constexpr int VERSION_ROW_PRL_ERI = 4;

    // The installation with the plug-in, the simulator on port (faults in simArgs) and the main
    // frame, up to the automatic choice of the plug-in for the handset (unless waitForHandset is
    // false).
    void Launch(int port, const QStringList& simArgs = {}, bool waitForHandset = true)
    {
        Dialogs::SetTestMode(true);
        Dialogs::ClearRecords();
        theSettings.Reset();
        CPluginRun::SetReleaseWaitMs(20);
        m_nPort = port;
        m_install = qpxtest::MakeTempDir(QStringLiteral("install")) + QLatin1Char('/');
        theSettings.m_strInstallDir = m_install;
        ASSERT_TRUE(QDir().mkpath(m_install + QStringLiteral("MODEL")));
        m_dll = m_install + QStringLiteral("MODEL/reference.so");
        ASSERT_TRUE(QFile::copy(QStringLiteral(QPX_REF_PLUGIN), m_dll));
        m_files = qpxtest::MakeTempDir(QStringLiteral("files"));
        if (m_state.isEmpty())
            m_state = qpxtest::MakeTempDir(QStringLiteral("state"));
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

    bool StartSim(const QStringList& more = {})
    {
        return m_sim.Start(
            RefSimArgs(m_state, QStringList{QStringLiteral("--port"), QString::number(m_nPort),
                                            QStringLiteral("--name"), QStringLiteral("CDMA USB Modem")} +
                                    more));
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

    QString VersionCell(int row, int col) const
    {
        return m_pHost->Strip()->VersionList()->GetItemText(row, col);
    }
    // "S/W Version" of the version list, e.g. "12.06  VKQ100A1".
    QString SoftwareVersionText() const { return VersionCell(VERSION_ROW_SW, 1); }
    QString PrlVersionText() const { return VersionCell(VERSION_ROW_PRL_ERI, 1); }
    QString EriVersionText() const { return VersionCell(VERSION_ROW_PRL_ERI, 3); }

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
            texts << QLatin1Char('"') + r.strText + QLatin1Char('"');
        return texts.join(QStringLiteral(", "));
    }

    QString LastMessage() const
    {
        return Dialogs::Shown().isEmpty() ? QString() : Dialogs::Shown().constLast().strText;
    }

    // The main buttons of the function list panel are all usable.
    bool PanelUnlocked() const
    {
        for (int id : CFunctionListPanel::MainButtonIds()) {
            if (!m_pHost->Panel()->Button(id)->isEnabled())
                return false;
        }
        return true;
    }

    QByteArray LogText() const
    {
        return qpxtest::ReadFile(m_install + QStringLiteral("LOG/") +
                                 OperationLogFileName(QDate::currentDate()));
    }

    // A file of the test's input folder.
    QString InputFile(const QString& name, const QByteArray& data) const
    {
        const QString path = m_files + QLatin1Char('/') + name;
        EXPECT_TRUE(qpxtest::WriteFile(path, data));
        return path;
    }
    QString Efs(const QString& handsetPath) const { return m_state + QStringLiteral("/efs/") + handsetPath; }

    int m_nPort = -1;
    QString m_install, m_dll, m_files, m_state;
    CSimProcess m_sim;
    std::unique_ptr<CMainFrame> m_frame;
    CPageHost* m_pHost = nullptr;
};

} // namespace refpages
