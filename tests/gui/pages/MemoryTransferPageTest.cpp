#include "pages/MemoryTransferPage.h"
#include "PageFixture.h"
#include "controls/SkinButton.h"
#include "controls/XListCtrl.h"
#include "controls/XListModel.h"
#include "core/WorkFolder.h"
#include "platform/HostCommands.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QRadioButton>

namespace {

using pagetest::PageFixture;
using pagetest::PumpUntil;

class TransferPageTest : public PageFixture
{
protected:
    void SetUp() override
    {
        PageFixture::SetUp();
        qputenv("QPX_REC_BINVER", "V12");
        Page().SetSoftwareVersionSource([this] { return m_strVersion; });
        Host().OnHostCommand(HC_TRANSFER, 0);
    }

    CMemoryTransferPage& Page() { return *Host().TransferPage(); }
    template <typename T> T* Child(const char* name)
    {
        return Page().findChild<T*>(QString::fromLatin1(name));
    }
    QRadioButton* BackupRadio() { return Child<QRadioButton>("backupRadio"); }
    QRadioButton* RestoreRadio() { return Child<QRadioButton>("restoreRadio"); }
    CSkinButton* Start() { return Child<CSkinButton>("startButton"); }
    CXListCtrl* List() { return Page().List(); }

    bool Checked(int r) { return List()->GetCheckbox(r, 1) == 1; }
    bool Bold(int r) { return List()->GetBold(r, 0); }
    bool Enabled(int r) { return List()->GetEnabled(r); }

    // A real click on the row's check box, through the list control.
    void ClickCheck(int row)
    {
        const QRect cell = List()->visualRect(List()->Model()->index(row, 1));
        const QPoint at = cell.center();
        QMouseEvent press(QEvent::MouseButtonPress, at, List()->viewport()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(List()->viewport(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, List()->viewport()->mapToGlobal(at),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(List()->viewport(), &release);
    }

    // <test root>/MODEL/TRANS_BK; never empty, so no test ever removes anything else.
    QString WorkFolder() const
    {
        const QString folder = TransferWorkFolder(m_plugin);
        EXPECT_TRUE(folder.startsWith(m_root + QStringLiteral("/MODEL/")));
        return folder.startsWith(m_root + QStringLiteral("/MODEL/")) ? folder
                                                                     : m_root + QStringLiteral("/none");
    }
    void Touch(const QString& below)
    {
        ASSERT_TRUE(qpxtest::WriteFile(WorkFolder() + QLatin1Char('/') + below, "x"));
    }

    // What lies beside the plug-in, by name.
    QStringList Beside() const
    {
        return QDir(m_root + QStringLiteral("/MODEL"))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }
    // Every file below folder, as relative paths in name order.
    static QStringList FilesBelow(const QString& folder) { return qpxtest::FilesBelow(folder).keys(); }

    void StartAndWait()
    {
        Start()->setEnabled(true);
        Page().OnStart();
        ASSERT_TRUE(WaitIdle());
    }

    QString m_strVersion = QStringLiteral("01.02  KQ100V12");
};

TEST_F(TransferPageTest, AllItemsAndSingleItemsExcludeEachOther)
{
    // A fresh page backs up all items.
    EXPECT_EQ(Page().Mode(), 1);
    EXPECT_TRUE(BackupRadio()->isChecked());
    for (int r = 0; r < 5; ++r)
        EXPECT_EQ(Checked(r) && Bold(r), r == 0) << r;
    EXPECT_EQ(Page().ItemMask(), 1u);

    ClickCheck(1);
    EXPECT_FALSE(Checked(0));
    EXPECT_FALSE(Bold(0));
    EXPECT_TRUE(Checked(1));
    EXPECT_TRUE(Bold(1));
    ClickCheck(3);
    EXPECT_EQ(Page().ItemMask(), 10u);
    EXPECT_TRUE(Bold(3));

    // Unchecking a single item only takes its bold away.
    ClickCheck(3);
    EXPECT_FALSE(Checked(3));
    EXPECT_FALSE(Bold(3));
    EXPECT_EQ(Page().ItemMask(), 2u);

    ClickCheck(3);
    ClickCheck(0);
    for (int r = 1; r < 5; ++r) {
        EXPECT_FALSE(Checked(r)) << r;
        EXPECT_FALSE(Bold(r)) << r;
    }
    EXPECT_TRUE(Checked(0));
    EXPECT_TRUE(Bold(0));
    EXPECT_EQ(Page().ItemMask(), 1u);
}

TEST_F(TransferPageTest, RestoreEnablesWhatTheWorkFolderHolds)
{
    InstallPlugin();
    Touch(QStringLiteral("pim/contacts"));
    Touch(QStringLiteral("sms")); // messages need MMS as well
    Touch(QStringLiteral("ui.data"));
    ClickCheck(2); // a single item checked before the change of mode
    RestoreRadio()->click();
    EXPECT_EQ(Page().Mode(), 0);
    EXPECT_TRUE(Enabled(0));
    EXPECT_TRUE(Enabled(1) && Bold(1));
    EXPECT_TRUE(!Enabled(2) && !Bold(2));
    EXPECT_TRUE(!Enabled(3) && !Bold(3));
    EXPECT_TRUE(Enabled(4) && Bold(4));
    // A disabled row keeps its check and its bit; clicks on it do nothing.
    EXPECT_TRUE(Checked(2));
    ClickCheck(2);
    EXPECT_TRUE(Checked(2));
    EXPECT_EQ(Page().ItemMask(), 4u);

    // Once MMS is there as well, the next Restore click offers the messages.
    Touch(QStringLiteral("MMS/inbox"));
    Touch(QStringLiteral("brew/mod/iwsapp/schedule"));
    RestoreRadio()->click();
    for (int r = 1; r < 5; ++r)
        EXPECT_TRUE(Enabled(r) && Bold(r)) << r;

    // Backup enables every row again; bold follows the checks.
    BackupRadio()->click();
    for (int r = 0; r < 5; ++r) {
        EXPECT_TRUE(Enabled(r));
        EXPECT_EQ(Bold(r), Checked(r)) << r;
    }
}

TEST_F(TransferPageTest, RestoreWithoutWorkFolderDisablesEverything)
{
    InstallPlugin();
    RestoreRadio()->click();
    for (int r = 0; r < 5; ++r)
        EXPECT_TRUE(!Enabled(r) && !Bold(r)) << r;
    EXPECT_TRUE(Checked(0));
    Page().OnStart();
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Backup file not exists!")});
    EXPECT_FALSE(Page().IsRunning());

    Dialogs::ClearRecords();
    QFile::remove(m_recLog);
    List()->SetCheckbox(0, 1, 0);
    Page().OnStart();
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Choose at least one item to backup")});
    EXPECT_TRUE(CallOf(QStringLiteral("Transfer")).isEmpty());
    EXPECT_FALSE(Calls().contains(QStringLiteral("GetSupportBINVersion")));
}

TEST_F(TransferPageTest, StartChecksModeAndCompatibility)
{
    InstallPlugin();
    BackupRadio()->setAutoExclusive(false);
    BackupRadio()->setChecked(false);
    Page().OnStart();
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Choose Backup/Restore Mode First!")});
    BackupRadio()->setChecked(true);

    // No capital V in the handset's version, or the served version before the last V.
    Dialogs::ClearRecords();
    m_strVersion = QStringLiteral("01.02  kq100v12");
    Page().OnStart();
    m_strVersion = QStringLiteral("01.02  V12 KQ100V13");
    Page().OnStart();
    EXPECT_EQ(Messages(), (QStringList{QStringLiteral("Model non-compatible!"),
                                       QStringLiteral("Model non-compatible!")}));
    EXPECT_EQ(Page().SupportedVersion(), QStringLiteral("V12"));
    EXPECT_FALSE(Page().IsRunning());
    EXPECT_EQ(theSettings.m_bBusy.load(), 0);
    EXPECT_TRUE(CallOf(QStringLiteral("Transfer")).isEmpty());

    // A library that serves no version at all.
    Dialogs::ClearRecords();
    m_strVersion = QStringLiteral("01.02  KQ100V12");
    InstallPlugin(QStringLiteral("qpx_rec_plugin_nobinver"));
    Page().OnStart();
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Model non-compatible!")});
    EXPECT_FALSE(Page().IsRunning());
}

TEST_F(TransferPageTest, MissingTransferExportStopsSilently)
{
    InstallPlugin(QStringLiteral("qpx_pages_noop_plugin"));
    Page().OnStart();
    EXPECT_TRUE(Dialogs::Shown().isEmpty());
    EXPECT_EQ(Page().SupportedVersion(), QStringLiteral("V12")); // it got as far as the export
    EXPECT_FALSE(Page().IsRunning());
    EXPECT_EQ(theSettings.m_bBusy.load(), 0);
}

TEST_F(TransferPageTest, BackupRunsLockedAndLogsTheMode)
{
    const QString dll = InstallPlugin();
    theSettings.m_nPortNum = 4;
    qputenv("QPX_REC_BACKUP", "1");
    qputenv("QPX_REC_DELAY_MS", "300");
    ClickCheck(1);
    ClickCheck(3);
    Start()->setEnabled(true);
    Page().OnStart();

    EXPECT_EQ(theSettings.m_bBusy.load(), 1);
    EXPECT_EQ(Host().m_nOperation, OP_TRANSFER);
    EXPECT_TRUE(BackupRadio()->isEnabled());
    EXPECT_FALSE(RestoreRadio()->isEnabled());
    EXPECT_FALSE(Page().BackupFound());
    EXPECT_EQ(CallOf(QStringLiteral("Transfer")),
              QStringLiteral("Transfer page=1 port=4 rect=10,355,%1,460 dll=%2 mode=1 mask=10")
                  .arg(Page().width() - 10)
                  .arg(dll));

    // The completion, delivered at once so the page can be looked at before the reconnection.
    OperationResult r{};
    r.nResult = -1;
    qstrcpy(r.szStatus, "Backup done");
    Page().OnMessage(WM_PLUGIN_NOTIFY_MSG, PLUGIN_DONE, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(theSettings.m_bBusy.load(), 0);
    EXPECT_FALSE(Page().IsRunning());
    EXPECT_TRUE(Start()->isEnabled());
    EXPECT_EQ(Child<QLabel>("statusValue")->text(), QStringLiteral("Backup done"));
    EXPECT_TRUE(RestoreRadio()->isEnabled());
    EXPECT_EQ(Messages().last(), QStringLiteral("Download Success!"));
    EXPECT_TRUE(Calls().contains(QStringLiteral("ReleaseRs page=1")));
    EXPECT_TRUE(OperationLog().contains(QStringLiteral(
        "Current Operation\t:\tTransfer\r\nCurrent mode\t\t:\tBACKUP\r\nCOM Port\t\t:\t4\r\n")));
    ASSERT_TRUE(PumpUntil([this] { return Calls().contains(QStringLiteral("Done Transfer")); }, 20000));
    QCoreApplication::processEvents(); // the plug-in's own completion, to be ignored

    // The backup the plug-in left makes a restore possible.
    theSettings.Set(&CAppSettings::m_strDllFile, dll);
    RestoreRadio()->click();
    EXPECT_TRUE(Enabled(1) && Enabled(3) && !Enabled(2) && !Enabled(4));
    QFile::remove(m_recLog);
    StartAndWait();
    EXPECT_TRUE(Page().BackupFound());
    EXPECT_TRUE(CallOf(QStringLiteral("Transfer")).endsWith(QStringLiteral(" mode=0 mask=10")));
    EXPECT_TRUE(BackupRadio()->isEnabled());
    EXPECT_TRUE(OperationLog().contains(
        QStringLiteral("Current Operation\t:\tTransfer\r\nCurrent mode\t\t:\tRESTORE\r\n")));

    // Once the backup is gone from disk, a restore is refused.
    QDir(WorkFolder()).removeRecursively();
    theSettings.Set(&CAppSettings::m_strDllFile, dll);
    Dialogs::ClearRecords();
    Page().OnStart();
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Backup file not exists!")});
    EXPECT_FALSE(Page().BackupFound());
}

TEST_F(TransferPageTest, RestoreAsksBeforeAnythingIsSent)
{
    InstallPlugin();
    Touch(QStringLiteral("pim"));
    Touch(QStringLiteral("v12.pp")); // a lower-case marker counts for an upper-case version
    RestoreRadio()->click();

    // No: the start ends quietly, nothing is sent and nothing is locked.
    Dialogs::SetNextAnswer(IDNO);
    Start()->setEnabled(true);
    Page().OnStart();
    ASSERT_EQ(Dialogs::Shown().size(), 1);
    EXPECT_EQ(Dialogs::Shown().first().strText, QStringLiteral("Are you sure?"));
    EXPECT_EQ(Dialogs::Shown().first().nButtons, int(MB_YESNO));
    EXPECT_TRUE(Page().BackupFound());
    EXPECT_FALSE(Page().IsRunning());
    EXPECT_EQ(theSettings.m_bBusy.load(), 0);
    EXPECT_TRUE(CallOf(QStringLiteral("Transfer")).isEmpty());
    EXPECT_TRUE(Start()->isEnabled());

    // Yes: the restore runs.
    Dialogs::ClearRecords();
    Dialogs::SetNextAnswer(IDYES);
    StartAndWait();
    EXPECT_EQ(Messages(),
              (QStringList{QStringLiteral("Are you sure?"), QStringLiteral("Download Success!")}));
    EXPECT_TRUE(CallOf(QStringLiteral("Transfer")).endsWith(QStringLiteral(" mode=0 mask=1")));

    // A folder named like a marker does not count.
    QDir(WorkFolder()).removeRecursively();
    QDir().mkpath(WorkFolder() + QStringLiteral("/V12.PP"));
    theSettings.Set(&CAppSettings::m_strDllFile, m_plugin);
    Dialogs::ClearRecords();
    Page().OnStart();
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Backup file not exists!")});
}

TEST_F(TransferPageTest, OverwriteKeepsThePreviousBackupUntilTheNewOneSucceeded)
{
    InstallPlugin();
    Touch(QStringLiteral("V12.pp"));
    Touch(QStringLiteral("pim/a"));
    const QStringList previous{QStringLiteral("V12.pp"), QStringLiteral("pim/a")};

    // No: nothing is touched and nothing runs.
    Dialogs::SetNextAnswer(IDNO);
    Page().OnStart();
    ASSERT_EQ(Dialogs::Shown().size(), 1);
    EXPECT_EQ(Dialogs::Shown().first().strText,
              QStringLiteral("Backup file exists! Overwrite previous file into new file?"));
    EXPECT_EQ(Dialogs::Shown().first().nButtons, int(MB_YESNO));
    EXPECT_EQ(FilesBelow(WorkFolder()), previous);
    EXPECT_FALSE(Page().IsRunning());
    EXPECT_TRUE(CallOf(QStringLiteral("Transfer")).isEmpty());

    // Yes, and the new backup fails: the previous one lies aside while the plug-in works and is
    // back, whole, afterwards; nothing of the failed attempt stays.
    qputenv("QPX_REC_BACKUP", "1");
    qputenv("QPX_REC_RESULT", "0");
    qputenv("QPX_REC_MESSAGE", "Handset lost");
    Dialogs::ClearRecords();
    Dialogs::SetNextAnswer(IDYES);
    Start()->setEnabled(true);
    Page().OnStart();
    ASSERT_TRUE(Page().IsRunning());
    const QStringList during = Beside();
    ASSERT_EQ(during.size(), 3) << during.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(during[1].startsWith(QStringLiteral("TRANS_BK.")));
    EXPECT_EQ(FilesBelow(m_root + QStringLiteral("/MODEL/") + during[1]), previous);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Messages().last(), QStringLiteral("Handset lost"));
    EXPECT_EQ(FilesBelow(WorkFolder()), previous);
    EXPECT_EQ(Beside(), (QStringList{QStringLiteral("TRANS_BK"), QStringLiteral("qpx_rec_plugin.so")}));

    // Yes, and the new backup succeeds: it replaces the previous one.
    qunsetenv("QPX_REC_RESULT");
    qunsetenv("QPX_REC_MESSAGE");
    theSettings.Set(&CAppSettings::m_strDllFile, m_plugin);
    Dialogs::ClearRecords();
    Dialogs::SetNextAnswer(IDYES);
    StartAndWait();
    EXPECT_EQ(Messages().last(), QStringLiteral("Download Success!"));
    EXPECT_EQ(FilesBelow(WorkFolder()),
              (QStringList{QStringLiteral("MMS"), QStringLiteral("V12.pp"),
                           QStringLiteral("brew/mod/iwsapp/schedule"), QStringLiteral("pim"),
                           QStringLiteral("sms"), QStringLiteral("ui.data")}));
    EXPECT_EQ(Beside(), (QStringList{QStringLiteral("TRANS_BK"), QStringLiteral("qpx_rec_plugin.so")}));
}

TEST_F(TransferPageTest, AWorkFolderTheGuardRefusesStopsTheBackupAndSaysSo)
{
    InstallPlugin();
    const QString outside = m_root + QStringLiteral("/precious");
    ASSERT_TRUE(qpxtest::WriteFile(outside + QStringLiteral("/V12.pp"), "keep"));
    ASSERT_TRUE(qpxtest::WriteFile(outside + QStringLiteral("/pim"), "keep"));
    ASSERT_TRUE(QFile::link(outside, WorkFolder()));

    Dialogs::SetNextAnswer(IDYES);
    Start()->setEnabled(true);
    Page().OnStart();
    EXPECT_EQ(Messages(),
              (QStringList{QStringLiteral("Backup file exists! Overwrite previous file into new file?"),
                           QStringLiteral("Previous backup cannot be moved aside! Backup not started.")}));
    EXPECT_FALSE(Page().IsRunning());
    EXPECT_EQ(theSettings.m_bBusy.load(), 0);
    EXPECT_TRUE(CallOf(QStringLiteral("Transfer")).isEmpty());
    EXPECT_TRUE(Start()->isEnabled());
    EXPECT_EQ(FilesBelow(outside), (QStringList{QStringLiteral("V12.pp"), QStringLiteral("pim")}));
    EXPECT_TRUE(QFileInfo(WorkFolder()).isSymLink());
}

} // namespace
