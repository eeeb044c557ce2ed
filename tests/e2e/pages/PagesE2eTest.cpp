// The phonebook, settings and memory transfer pages end to end: the handset simulator on a
// virtual port, the recording plug-in in the installation's MODEL folder, the real main frame.
// Each operation is started from its page, locks the interface and hands the port over,
// completes, shows and logs its result, and the program connects to the handset again.
#include "../diag/SimProcess.h"
#include "TestEnv.h"
#include "app/FunctionListPanel.h"
#include "app/MainFrame.h"
#include "app/PageHost.h"
#include "controls/EditGrid.h"
#include "controls/SkinButton.h"
#include "controls/SkinToolBar.h"
#include "controls/XListCtrl.h"
#include "core/AppSettings.h"
#include "handset/ConnectionStrip.h"
#include "pages/MemoryTransferPage.h"
#include "pages/OperationLog.h"
#include "pages/PhoneBookPage.h"
#include "pages/SettingsPage.h"
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
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using qpxtest::PumpUntil;

constexpr int SIM_PORT = 28;
constexpr int CONNECT_MS = 20000;
// The handset's software folder and the version the plug-in serves: the connection compares the
// first five characters, the transfer page wants the served version at the text's last "V".
constexpr const char* SW_VERSION = "V1234567";

class PagesE2eTest : public ::testing::Test
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
        qputenv("QPX_REC_BINVER", SW_VERSION);
        for (const char* name : {"QPX_REC_RESULT", "QPX_REC_MESSAGE", "QPX_REC_CSV_TEXT", "QPX_REC_BACKUP",
                                 "QPX_REC_SETTINGS_FILL"})
            qunsetenv(name);

        const QString profile = m_install + QStringLiteral("handset.profile");
        ASSERT_TRUE(qpxtest::WriteFile(profile, QByteArray("sw_version_dir=") + SW_VERSION + "\n"));
        QDir(VirtualPortFolder()).removeRecursively();
        ASSERT_TRUE(EnsureVirtualPortFolder());
        ASSERT_TRUE(
            m_sim.Start({QStringLiteral("--port"), QString::number(SIM_PORT), QStringLiteral("--name"),
                         QStringLiteral("CDMA USB Modem"), QStringLiteral("--profile"), profile}));
        ASSERT_EQ(m_sim.Port(), SIM_PORT);

        m_frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(m_frame->Create());
        m_pHost = m_frame->PageHost();
        ASSERT_TRUE(PumpUntil([&] { return Connected(); }, CONNECT_MS)) << "no connection to the simulator";
    }
    void TearDown() override
    {
        m_frame.reset();
        m_sim.Stop();
        theSettings.Reset();
        Dialogs::ClearRecords();
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
    // What every run shows while the plug-in works.
    void ExpectLocked(int operation)
    {
        EXPECT_EQ(theSettings.m_bBusy, 1);
        EXPECT_EQ(m_pHost->m_nOperation, operation);
        EXPECT_FALSE(m_frame->ToolBar()->isEnabled());
        EXPECT_TRUE(PanelLocked());
        EXPECT_FALSE(m_pHost->Strip()->IsLinkRunning());
    }
    // The run ends with its message; the interface is unlocked.
    void ExpectCompleted()
    {
        ASSERT_TRUE(PumpUntil([] { return theSettings.m_bBusy == 0; }, 10000));
        ASSERT_FALSE(Dialogs::Shown().isEmpty());
        EXPECT_EQ(Dialogs::Shown().constLast().strText, QStringLiteral("Download Success!"));
        EXPECT_TRUE(m_frame->ToolBar()->isEnabled());
        EXPECT_FALSE(PanelLocked());
    }
    QString Call(const QString& name) const
    {
        const QStringList lines = QString::fromUtf8(qpxtest::ReadFile(m_recLog)).split(QLatin1Char('\n'));
        for (const QString& l : lines)
            if (l.startsWith(name + QLatin1Char(' ')))
                return l;
        return {};
    }
    QByteArray LogText() const
    {
        return qpxtest::ReadFile(m_install + QStringLiteral("LOG/") +
                                 OperationLogFileName(QDate::currentDate()));
    }
    QString Lead(const QString& name, QWidget* page) const
    {
        return QStringLiteral("%1 page=1 port=%2 rect=10,355,%3,460 dll=%4 ")
            .arg(name)
            .arg(SIM_PORT)
            .arg(page->width() - 10)
            .arg(m_dll);
    }

    QString m_install;
    QString m_dll;
    QString m_recLog;
    CSimProcess m_sim;
    std::unique_ptr<CMainFrame> m_frame;
    CPageHost* m_pHost = nullptr;
};

TEST_F(PagesE2eTest, PhonebookReadThenWriteTheFileBack)
{
    CPhoneBookPage* page = m_pHost->PhoneBookPage();
    m_pHost->OnHostCommand(HC_PHONEBOOK, 0);
    ASSERT_TRUE(PumpUntil([&] { return page->IsStartEnabled(); }, CONNECT_MS));

    // Read: the plug-in writes the handset's entries to the file named in the save dialog.
    qputenv("QPX_REC_CSV_TEXT", "Kim,010-1111-2222,,,kim@example.com\r\nLee, 02-333-4444 \r\n");
    const QString saved = m_install + QStringLiteral("out/book");
    QDir().mkpath(m_install + QStringLiteral("out"));
    Dialogs::SetNextFile(saved, 0);
    page->findChild<QPushButton*>(QStringLiteral("startButton"))->click();
    ExpectLocked(OP_PHONEBOOK);
    EXPECT_FALSE(page->IsStartEnabled());
    EXPECT_FALSE(page->findChild<QRadioButton*>(QStringLiteral("writeRadio"))->isEnabled());
    ExpectCompleted();
    EXPECT_EQ(Call(QStringLiteral("PhoneBook")), Lead(QStringLiteral("PhoneBook"), page) +
                                                     QStringLiteral("mode=1 csv=") + saved +
                                                     QStringLiteral(".csv rows=0"));
    EXPECT_TRUE(LogText().contains("Current Operation\t:\tPhonebook\r\nCOM Port\t\t:\t28\r\n"));
    ASSERT_TRUE(PumpUntil([&] { return Connected() && page->IsStartEnabled(); }, CONNECT_MS))
        << "no reconnection";

    // Write the same file back: the list shows it, the plug-in gets the list with its rows.
    QFile::remove(m_recLog);
    Dialogs::ClearRecords();
    page->findChild<QLineEdit*>(QStringLiteral("csvPathEdit"))->setText(saved + QStringLiteral(".csv"));
    page->findChild<QRadioButton*>(QStringLiteral("writeRadio"))->click();
    ASSERT_EQ(page->List()->GetItemCount(), 2);
    EXPECT_EQ(page->List()->GetItemText(1, 1), QStringLiteral("02-333-4444"));
    page->findChild<QPushButton*>(QStringLiteral("startButton"))->click();
    ExpectLocked(OP_PHONEBOOK);
    ExpectCompleted();
    EXPECT_EQ(Call(QStringLiteral("PhoneBook")), Lead(QStringLiteral("PhoneBook"), page) +
                                                     QStringLiteral("mode=0 csv=") + saved +
                                                     QStringLiteral(".csv rows=2"));
    ASSERT_TRUE(PumpUntil([&] { return Connected() && page->IsStartEnabled(); }, CONNECT_MS))
        << "no reconnection";
    EXPECT_EQ(page->List()->GetItemCount(), 2);
}

TEST_F(PagesE2eTest, SettingsReadFillsTheGridAndWriteSendsIt)
{
    CSettingsPage* page = m_pHost->SettingsPage();
    m_pHost->OnHostCommand(HC_SETTINGS, 0);
    ASSERT_TRUE(PumpUntil([&] { return page->AreButtonsEnabled(); }, CONNECT_MS));

    qputenv("QPX_REC_SETTINGS_FILL", "1");
    page->SelectCategory(1); // NAM1
    // Before the category was read its values are empty: Write refuses and sends nothing.
    page->findChild<QPushButton*>(QStringLiteral("writeButton"))->click();
    ASSERT_EQ(Dialogs::Shown().size(), 1);
    EXPECT_EQ(Dialogs::Shown().constLast().strText,
              QStringLiteral("write function must be executed after read function"));
    EXPECT_TRUE(Call(QStringLiteral("Settings")).isEmpty());
    EXPECT_TRUE(m_pHost->Strip()->IsLinkRunning());
    Dialogs::ClearRecords();
    page->findChild<QPushButton*>(QStringLiteral("readButton"))->click();
    ExpectLocked(OP_SETTINGS);
    EXPECT_FALSE(page->AreButtonsEnabled());
    ExpectCompleted();
    EXPECT_EQ(Call(QStringLiteral("Settings")),
              Lead(QStringLiteral("Settings"), page) + QStringLiteral("category=1 dir=1 reserved=0 rows=24"));
    EXPECT_EQ(page->Grid(1)->GetItemText(23, 1), QStringLiteral("value23"));
    EXPECT_EQ(page->Grid(1)->EditorKindAt(0, 1), CEditGrid::EDITOR_COMBO);
    EXPECT_TRUE(LogText().contains("Current Operation\t:\tSetting\r\n"));
    ASSERT_TRUE(PumpUntil([&] { return Connected() && page->AreButtonsEnabled(); }, CONNECT_MS))
        << "no reconnection";

    QFile::remove(m_recLog);
    Dialogs::ClearRecords();
    page->findChild<QPushButton*>(QStringLiteral("writeButton"))->click();
    ExpectLocked(OP_SETTINGS);
    ExpectCompleted();
    EXPECT_EQ(Call(QStringLiteral("Settings")),
              Lead(QStringLiteral("Settings"), page) + QStringLiteral("category=1 dir=0 reserved=0 rows=24"));
    ASSERT_TRUE(PumpUntil([&] { return Connected() && page->AreButtonsEnabled(); }, CONNECT_MS))
        << "no reconnection";
    // The values stay until the catalogue is rebuilt.
    EXPECT_EQ(page->Grid(1)->GetItemText(0, 1), QStringLiteral("value0"));
}

TEST_F(PagesE2eTest, TransferBackupThenRestore)
{
    CMemoryTransferPage* page = m_pHost->TransferPage();
    m_pHost->OnHostCommand(HC_TRANSFER, 0);
    // The version text comes from the handset through the version list, whose update is a posted
    // message of its own: wait for it as well as for the start button.
    ASSERT_TRUE(PumpUntil(
        [&] {
            return page->IsStartEnabled() &&
                   m_pHost->Strip()->VersionStrings().strSwVersion.endsWith(QLatin1String(SW_VERSION));
        },
        CONNECT_MS))
        << m_pHost->Strip()->VersionStrings().strSwVersion.toStdString();

    qputenv("QPX_REC_BACKUP", "1");
    page->findChild<QPushButton*>(QStringLiteral("startButton"))->click();
    ExpectLocked(OP_TRANSFER);
    EXPECT_FALSE(page->IsStartEnabled());
    EXPECT_FALSE(page->findChild<QRadioButton*>(QStringLiteral("restoreRadio"))->isEnabled());
    ExpectCompleted();
    EXPECT_EQ(Call(QStringLiteral("Transfer")),
              Lead(QStringLiteral("Transfer"), page) + QStringLiteral("mode=1 mask=1"));
    EXPECT_TRUE(QFileInfo::exists(m_install + QStringLiteral("MODEL/TRANS_BK/") + QLatin1String(SW_VERSION) +
                                  QStringLiteral(".pp")));
    EXPECT_TRUE(LogText().contains("Current Operation\t:\tTransfer\r\nCurrent mode\t\t:\tBACKUP\r\n"));
    EXPECT_TRUE(page->findChild<QRadioButton*>(QStringLiteral("restoreRadio"))->isEnabled());
    // A reconnection reads the handset's version again before the page can compare it.
    ASSERT_TRUE(PumpUntil(
        [&] {
            return Connected() && page->IsStartEnabled() &&
                   !m_pHost->Strip()->VersionStrings().strSwVersion.isEmpty();
        },
        CONNECT_MS))
        << "no reconnection";

    // A second backup asks before it overwrites; No leaves everything as it is.
    Dialogs::ClearRecords();
    Dialogs::SetNextAnswer(IDNO);
    page->findChild<QPushButton*>(QStringLiteral("startButton"))->click();
    EXPECT_EQ(Dialogs::Shown().constLast().strText,
              QStringLiteral("Backup file exists! Overwrite previous file into new file?"));
    EXPECT_EQ(theSettings.m_bBusy, 0);
    EXPECT_TRUE(m_pHost->Strip()->IsLinkRunning());

    // Restore: every item the backup holds is offered; the restore runs from it.
    QFile::remove(m_recLog);
    Dialogs::ClearRecords();
    page->findChild<QRadioButton*>(QStringLiteral("restoreRadio"))->click();
    for (int r = 0; r < 5; ++r)
        EXPECT_TRUE(page->List()->GetEnabled(r)) << r;
    Dialogs::SetNextAnswer(IDYES);
    page->findChild<QPushButton*>(QStringLiteral("startButton"))->click();
    ASSERT_FALSE(Dialogs::Shown().isEmpty());
    EXPECT_EQ(Dialogs::Shown().constFirst().strText, QStringLiteral("Are you sure?"));
    ExpectLocked(OP_TRANSFER);
    ExpectCompleted();
    EXPECT_TRUE(page->BackupFound());
    EXPECT_EQ(Call(QStringLiteral("Transfer")),
              Lead(QStringLiteral("Transfer"), page) + QStringLiteral("mode=0 mask=1"));
    EXPECT_TRUE(LogText().contains("Current Operation\t:\tTransfer\r\nCurrent mode\t\t:\tRESTORE\r\n"));
    ASSERT_TRUE(PumpUntil([&] { return Connected() && page->IsStartEnabled(); }, CONNECT_MS))
        << "no reconnection";
}

} // namespace
