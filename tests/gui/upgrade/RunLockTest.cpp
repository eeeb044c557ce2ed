// The run lock of every operation number, as the page that runs it and the host apply it, and a
// run inside the real main frame: toolbar, function list, operation log and reconnection.
#include "UpgradeFixture.h"
#include "app/FunctionListPanel.h"
#include "app/MainFrame.h"
#include "app/PageHost.h"
#include "controls/SkinButton.h"
#include "controls/SkinToolBar.h"
#include "pages/MemoryTransferPage.h"
#include "pages/OperationLog.h"
#include "pages/PhoneBookPage.h"
#include "pages/SettingsPage.h"
#include "platform/HostCommands.h"

#include <QDate>
#include <QPushButton>

using namespace upgradetest;

namespace {

const char* const LOCKABLE[] = {"binBrowseButton", "scrBrowseButton", "prlBrowseButton", "eriBrowseButton",
                                "nam1Radio",       "nam2Radio",       "nam12Radio",      "readRadio",
                                "writeRadio",      "startButton"};

class RunLockTest : public UpgradeFixture
{
protected:
    void SetUp() override
    {
        UpgradeFixture::SetUp();
        m_frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(m_frame->Create());
        // The frame's page is the one under test.
        m_pPage = m_frame->PageHost()->UpgradePage();
        theSettings.m_nPortNum = 7;
    }
    void TearDown() override
    {
        m_frame.reset();
        UpgradeFixture::TearDown();
    }
    QWidget* Get(const QString& name) const
    {
        QWidget* w = m_pPage->findChild<QWidget*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    // The page that runs op applies its own lock, the host the rest.
    COperationPage* OwnerOf(int op) const
    {
        CPageHost* host = m_frame->PageHost();
        for (COperationPage* page : std::initializer_list<COperationPage*>{
                 host->UpgradePage(), host->SettingsPage(), host->PhoneBookPage(), host->TransferPage()}) {
            if (page->RunsOperation(op))
                return page;
        }
        ADD_FAILURE() << "no page runs " << op;
        return m_pPage;
    }
    void Lock(int op)
    {
        OwnerOf(op)->ApplyRunLock(op);
        m_frame->PageHost()->BeginRun(op);
    }
    void Release(int op)
    {
        OwnerOf(op)->ReleaseRunLock(op);
        m_frame->PageHost()->EndRun(op);
    }
    // The main buttons of the function list, all enabled (1), all disabled (0) or mixed (-1).
    int PanelButtons() const
    {
        int on = 0, n = 0;
        for (int id : CFunctionListPanel::MainButtonIds()) {
            on += m_frame->PageHost()->Panel()->Button(id)->isEnabled() ? 1 : 0;
            ++n;
        }
        return on == n ? 1 : (on == 0 ? 0 : -1);
    }
    // The status value lines, all shown (1), all hidden (0) or mixed (-1).
    int ValueLines() const
    {
        int shown = 0;
        const char* names[] = {"fileNameLabel", "fileNameValue", "addressLabel",
                               "addressValue",  "statusLabel",   "statusValue"};
        for (const char* n : names)
            shown += Get(QString::fromLatin1(n))->isVisibleTo(m_pPage) ? 1 : 0;
        return shown == 6 ? 1 : (shown == 0 ? 0 : -1);
    }
    // Every name in the space-separated list has the state.
    void ExpectEnabled(const char* names, bool enabled) const
    {
        for (const QString& n : QString::fromLatin1(names).split(u' ', Qt::SkipEmptyParts))
            EXPECT_EQ(Get(n)->isEnabled(), enabled) << n.toStdString();
    }

    std::unique_ptr<CMainFrame> m_frame;
    CUpgradePage* m_pPage = nullptr;
};

// While an operation runs its page locks what would change the run; the release gives back what
// the operation allows. Other pages' operations lock only the common part of this page.
TEST_F(RunLockTest, EveryOperationLocksAndReleasesItsInputs)
{
    const struct
    {
        int selection, op, nam, direction;
        const char *lockedOff, *lockedOn, *releasedOff, *releasedOn;
    } cases[] = {
        {CUpgradePage::SEL_UPGRADE, OP_UPGRADE, 1, -1,
         "binBrowseButton scrBrowseButton prlBrowseButton eriBrowseButton nam1Radio nam12Radio startButton",
         "nam2Radio binPathEdit", "",
         "binBrowseButton scrBrowseButton prlBrowseButton eriBrowseButton nam1Radio nam2Radio nam12Radio "
         "startButton"},
        {CUpgradePage::SEL_BIN, OP_BIN, 0, -1, "binBrowseButton startButton", "scrBrowseButton nam1Radio", "",
         "binBrowseButton startButton"},
        {CUpgradePage::SEL_SCRIPT, OP_SCRIPT, 2, -1,
         "scrBrowseButton prlBrowseButton eriBrowseButton nam1Radio nam2Radio startButton",
         "binBrowseButton nam12Radio", "",
         "scrBrowseButton prlBrowseButton eriBrowseButton nam1Radio nam2Radio nam12Radio startButton"},
        {CUpgradePage::SEL_PRL, OP_PRL, 0, 0, "startButton prlBrowseButton nam2Radio nam12Radio readRadio",
         "nam1Radio writeRadio", "",
         "startButton prlBrowseButton nam1Radio nam2Radio nam12Radio readRadio writeRadio"},
        // The PRL browse button comes back only for Write.
        {CUpgradePage::SEL_PRL, OP_PRL, 0, 1, "startButton prlBrowseButton nam2Radio nam12Radio writeRadio",
         "nam1Radio readRadio", "prlBrowseButton",
         "startButton nam1Radio nam2Radio nam12Radio readRadio writeRadio"},
        // ERI leaves the NAM radios alone, and Start for the reconnection.
        {CUpgradePage::SEL_ERI, OP_ERI, 0, 0, "eriBrowseButton readRadio", "writeRadio nam2Radio",
         "startButton", "eriBrowseButton readRadio writeRadio"},
        {CUpgradePage::SEL_ERI, OP_ERI, 0, 1, "eriBrowseButton writeRadio", "readRadio nam2Radio",
         "startButton eriBrowseButton", "readRadio writeRadio"},
        {CUpgradePage::SEL_REFURBISH, OP_REFURBISH, 0, -1, "binBrowseButton scrBrowseButton startButton",
         "prlBrowseButton", "startButton", "binBrowseButton scrBrowseButton"},
        {CUpgradePage::SEL_UPGRADE, OP_SETTINGS, 0, -1, "", "binBrowseButton nam1Radio readRadio startButton",
         "", ""},
        {CUpgradePage::SEL_UPGRADE, OP_PHONEBOOK, 0, -1, "",
         "binBrowseButton nam1Radio readRadio startButton", "", ""},
        {CUpgradePage::SEL_UPGRADE, OP_TRANSFER, 0, -1, "", "binBrowseButton nam1Radio readRadio startButton",
         "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "operation " << c.op << ", direction " << c.direction);
        m_pPage->SelectOperation(c.selection);
        for (const char* n : LOCKABLE)
            Get(QString::fromLatin1(n))->setEnabled(true);
        theSettings.m_nLastSelectNam = c.nam;
        theSettings.m_nLastDirection = c.direction;
        Lock(c.op);
        EXPECT_EQ(ValueLines(), 0);
        EXPECT_EQ(PanelButtons(), 0);
        ExpectEnabled(c.lockedOff, false);
        ExpectEnabled(c.lockedOn, true);
        Release(c.op);
        EXPECT_EQ(ValueLines(), 1);
        EXPECT_EQ(PanelButtons(), 1);
        ExpectEnabled(c.releasedOff, false);
        ExpectEnabled(c.releasedOn, true);
    }
}

// Phone book and memory transfer lock their own pages.
TEST_F(RunLockTest, PhonebookAndTransferPagesAreLockedByNumber)
{
    CPhoneBookPage* book = m_frame->PageHost()->PhoneBookPage();
    const auto bookWidget = [book](const char* name) {
        QWidget* w = book->findChild<QWidget*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    };
    ASSERT_EQ(book->Mode(), 1); // Read
    book->EnableStart(true);
    bookWidget("browseButton")->setEnabled(true);
    Lock(OP_PHONEBOOK);
    EXPECT_FALSE(book->IsStartEnabled());
    EXPECT_FALSE(bookWidget("browseButton")->isEnabled());
    EXPECT_FALSE(bookWidget("writeRadio")->isEnabled());
    EXPECT_TRUE(bookWidget("readRadio")->isEnabled());
    Release(OP_PHONEBOOK);
    EXPECT_TRUE(bookWidget("writeRadio")->isEnabled());
    EXPECT_FALSE(book->IsStartEnabled()); // back with the reconnection

    CMemoryTransferPage* transfer = m_frame->PageHost()->TransferPage();
    transfer->EnableStart(true);
    Lock(OP_TRANSFER);
    EXPECT_FALSE(transfer->IsStartEnabled());
    Release(OP_TRANSFER);
    EXPECT_TRUE(transfer->IsStartEnabled());
}

TEST_F(RunLockTest, RunInsideTheFrame)
{
    InstallPlugin();
    theSettings.Set(&CAppSettings::m_strModelName, QStringLiteral("REC-MODEL"));
    m_frame->PageHost()->OnHostCommand(HC_BIN, 0);
    ASSERT_EQ(m_pPage->SelectedOperation(), CUpgradePage::SEL_BIN);
    const QString bin = MakeFile(QStringLiteral("fw.bin"));
    m_pPage->findChild<QLineEdit*>(QStringLiteral("binPathEdit"))->setText(bin);
    const qsizetype handledBefore = m_frame->PageHost()->HandledCommands().size();

    m_pPage->OnStart();
    EXPECT_FALSE(m_frame->ToolBar()->isEnabled());
    EXPECT_EQ(PanelButtons(), 0);
    EXPECT_EQ(theSettings.m_bBusy, 1);

    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(m_frame->ToolBar()->isEnabled());
    EXPECT_EQ(PanelButtons(), 1);
    EXPECT_EQ(Dialogs::Shown().constLast().strText, QStringLiteral("Download Success!"));

    // The operation log got its block, after the handset block of the run.
    const QString log =
        theSettings.m_strInstallDir + QStringLiteral("LOG/") + OperationLogFileName(QDate::currentDate());
    const QByteArray text = qpxtest::ReadFile(log);
    for (const QByteArray& line :
         {QByteArray("Compile Date\t:\t"), QByteArray("Current Operation\t:\tBin Download\r\n"),
          QByteArray("COM Port\t\t:\t7\r\n"), QByteArray("Model Name\t\t:\tREC-MODEL\r\n"),
          "Last Processed File\t:\t" + bin.toUtf8() + "\r\n",
          QByteArray("Elapsed Time\t\t:\t2 min 5.340000 sec\r\n"),
          QByteArray("Last Status\t\t:\tBin done\r\n")})
        EXPECT_TRUE(text.contains(line)) << line.constData() << " in\n" << text.constData();
    EXPECT_FALSE(m_frame->PageHost()->m_bLogHandsetInfo);

    // The frame reconnects: a port selection goes to the host.
    ASSERT_TRUE(PumpUntil(
        [&] { return m_frame->PageHost()->HandledCommands().mid(handledBefore).contains(HC_PORT_RESULT); },
        20000));
}

} // namespace
