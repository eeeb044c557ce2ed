// The six upgrade-page operations end to end: the handset simulator on a virtual port, the
// recording plug-in in the installation's MODEL folder, the real main frame. Each operation is
// started from the page, locks the interface, completes, shows its result, writes its log block
// and the program connects to the handset again.
#include "../diag/SimProcess.h"
#include "TestEnv.h"
#include "app/FunctionListPanel.h"
#include "app/MainFrame.h"
#include "app/PageHost.h"
#include "controls/SkinButton.h"
#include "controls/SkinToolBar.h"
#include "core/AppSettings.h"
#include "handset/ConnectionStrip.h"
#include "pages/OperationLog.h"
#include "pages/UpgradePage.h"
#include "platform/Dialogs.h"
#include "platform/HostCommands.h"
#include "platform/VirtualPorts.h"
#include "plugin/PluginRun.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using qpxtest::PumpUntil;

constexpr int SIM_PORT = 27;
constexpr int CONNECT_MS = 20000;

struct SOperation
{
    quint32 command;     // host command that shows the page
    int selected;        // SelectOperation value
    int number;          // operation number
    const char* name;    // log name
    const char* export_; // recorded call name
    int runningFace;
};

class UpgradeE2eTest : public ::testing::TestWithParam<SOperation>
{
protected:
    void SetUp() override
    {
        Dialogs::SetTestMode(true);
        Dialogs::ClearRecords();
        theSettings.Reset();
        CPluginRun::SetReleaseWaitMs(20);
        m_install = qpxtest::MakeTempDir(QStringLiteral("install")) + QLatin1Char('/');
        theSettings.m_strInstallDir = m_install;
        QDir().mkpath(m_install + QStringLiteral("MODEL"));
        m_dll = m_install + QStringLiteral("MODEL/rec.so");
        ASSERT_TRUE(QFile::copy(QStringLiteral(QPX_TEST_PLUGIN_DIR "/qpx_rec_plugin.so"), m_dll));
        m_recLog = m_install + QStringLiteral("rec.log");
        qputenv("QPX_REC_LOG", m_recLog.toLocal8Bit());
        qputenv("QPX_REC_DELAY_MS", "150");
        qunsetenv("QPX_REC_RESULT");
        qunsetenv("QPX_REC_MESSAGE");

        QDir(VirtualPortFolder()).removeRecursively();
        ASSERT_TRUE(EnsureVirtualPortFolder());
        ASSERT_TRUE(m_sim.Start({QStringLiteral("--port"), QString::number(SIM_PORT),
                                 QStringLiteral("--name"), QStringLiteral("CDMA USB Modem")}));
        ASSERT_EQ(m_sim.Port(), SIM_PORT);

        m_frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(m_frame->Create());
        m_pHost = m_frame->PageHost();
        m_pPage = m_pHost->UpgradePage();
    }
    void TearDown() override
    {
        m_frame.reset();
        m_sim.Stop();
        theSettings.Reset();
        Dialogs::ClearRecords();
    }

    template <typename T> T* Get(const char* name) const
    {
        T* w = m_pPage->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    // Connected: the plug-in was chosen for the handset and the link runs.
    bool Connected() const
    {
        return theSettings.Get(&CAppSettings::m_strDllFile) == m_dll && m_pHost->Strip()->IsLinkRunning() &&
               theSettings.m_nPortNum == SIM_PORT;
    }
    bool PanelLocked() const
    {
        for (int id : CFunctionListPanel::MainButtonIds()) {
            if (m_pHost->Panel()->Button(id)->isEnabled())
                return false;
        }
        return true;
    }
    QString File(const QString& name)
    {
        const QString path = m_install + QStringLiteral("files/") + name;
        EXPECT_TRUE(qpxtest::WriteFile(path, "image"));
        return path;
    }
    QByteArray LogText() const
    {
        return qpxtest::ReadFile(m_install + QStringLiteral("LOG/") +
                                 OperationLogFileName(QDate::currentDate()));
    }

    QString m_install;
    QString m_dll;
    QString m_recLog;
    CSimProcess m_sim;
    std::unique_ptr<CMainFrame> m_frame;
    CPageHost* m_pHost = nullptr;
    CUpgradePage* m_pPage = nullptr;
};

TEST_P(UpgradeE2eTest, RunsAndReconnects)
{
    const SOperation& op = GetParam();
    ASSERT_TRUE(PumpUntil([&] { return Connected(); }, CONNECT_MS)) << "no connection to the simulator";

    m_pHost->OnHostCommand(op.command, 0);
    ASSERT_EQ(m_pPage->SelectedOperation(), op.selected);
    ASSERT_TRUE(PumpUntil([&] { return m_pPage->IsStartEnabled(); }, CONNECT_MS));

    const QString bin = File(QStringLiteral("fw.bin"));
    const QString scr = File(QStringLiteral("a.scr"));
    const QString prl = File(QStringLiteral("a.prl"));
    const QString eri = File(QStringLiteral("eri.bin"));
    Get<QLineEdit>("binPathEdit")->setText(bin);
    Get<QLineEdit>("scrPathEdit")->setText(scr);
    Get<QLineEdit>("prlPathEdit")->setText(prl);
    Get<QLineEdit>("eriPathEdit")->setText(eri);
    QString expectedFile = bin;
    if (op.selected == CUpgradePage::SEL_SCRIPT)
        expectedFile = scr;
    if (op.selected == CUpgradePage::SEL_PRL || op.selected == CUpgradePage::SEL_ERI) {
        // A read into a folder chosen at Start.
        Get<QRadioButton>("readRadio")->click();
        Dialogs::SetNextFolder(m_install + QStringLiteral("reads"));
        expectedFile =
            m_install + (op.selected == CUpgradePage::SEL_PRL ? QStringLiteral("reads/nam?_prl_000#.prl")
                                                              : QStringLiteral("reads/eri.bin"));
    }

    Get<QPushButton>("startButton")->click();

    // Locked while the plug-in works, with the port handed over.
    EXPECT_EQ(theSettings.m_bBusy, 1);
    EXPECT_EQ(m_pHost->m_nOperation, op.number);
    EXPECT_FALSE(m_frame->ToolBar()->isEnabled());
    EXPECT_TRUE(PanelLocked());
    EXPECT_FALSE(m_pPage->IsStartEnabled());
    EXPECT_EQ(m_pPage->RunningFace(), op.runningFace);
    EXPECT_FALSE(m_pHost->Strip()->IsLinkRunning());
    EXPECT_FALSE(Get<QLabel>("statusValue")->isVisibleTo(m_pPage));

    ASSERT_TRUE(PumpUntil([] { return theSettings.m_bBusy == 0; }, 10000));
    ASSERT_FALSE(Dialogs::Shown().isEmpty());
    EXPECT_EQ(Dialogs::Shown().constLast().strText, QStringLiteral("Download Success!"));
    EXPECT_TRUE(m_frame->ToolBar()->isEnabled());
    EXPECT_FALSE(PanelLocked());
    EXPECT_FALSE(m_pPage->HasRunningPlugin());

    // The plug-in was called once with the operation's export.
    const QString rec = QString::fromUtf8(qpxtest::ReadFile(m_recLog));
    EXPECT_TRUE(rec.contains(QString::fromLatin1(op.export_) + QStringLiteral(" page=1 port=") +
                             QString::number(SIM_PORT)))
        << rec.toStdString();

    // The log block of the operation.
    const QByteArray log = LogText();
    EXPECT_TRUE(log.contains(QByteArray("Current Operation\t:\t") + op.name + "\r\n")) << log.constData();
    EXPECT_TRUE(log.contains("COM Port\t\t:\t" + QByteArray::number(SIM_PORT) + "\r\n"));
    EXPECT_TRUE(log.contains("Last Processed File\t:\t" + expectedFile.toUtf8() + "\r\n")) << log.constData();
    EXPECT_TRUE(log.contains("Elapsed Time\t\t:\t2 min 5.340000 sec\r\n"));
    if (op.selected == CUpgradePage::SEL_PRL || op.selected == CUpgradePage::SEL_ERI) {
        EXPECT_TRUE(log.contains("Current mode\t\t:\tread\r\n"));
    }

    // The program takes the handset back and Start returns.
    ASSERT_TRUE(PumpUntil([&] { return Connected() && m_pPage->IsStartEnabled(); }, CONNECT_MS))
        << "no reconnection";
    EXPECT_EQ(m_pPage->RunningFace(), 0);
    EXPECT_TRUE(Get<QLabel>("statusValue")->isVisibleTo(m_pPage));
}

INSTANTIATE_TEST_SUITE_P(
    AllOperations, UpgradeE2eTest,
    ::testing::Values(SOperation{HC_UPGRADE, 1, OP_UPGRADE, "Upgrade", "Upgrade", 158},
                      SOperation{HC_BIN, 2, OP_BIN, "Bin Download", "Bin", 152},
                      SOperation{HC_SCRIPT, 3, OP_SCRIPT, "Script", "Src", 156},
                      SOperation{HC_PRL, 4, OP_PRL, "PRL", "Prl", 155},
                      SOperation{HC_ERI, 5, OP_ERI, "ERI", "Eri", 153},
                      SOperation{HC_REFURBISH, 6, OP_REFURBISH, "Refurbish", "Refurbish", 177}),
    [](const ::testing::TestParamInfo<SOperation>& info) { return std::string(info.param.export_); });

} // namespace
