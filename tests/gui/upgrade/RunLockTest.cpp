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

class RunLockTest : public UpgradeFixture
{
protected:
    void SetUp() override
    {
        UpgradeFixture::SetUp();
        m_frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(m_frame->Create());
        Pump(30);
        // The frame's page is the one under test.
        m_pPage = m_frame->PageHost()->UpgradePage();
        theSettings.m_nPortNum = 7;
    }
    void TearDown() override
    {
        m_frame.reset();
        UpgradeFixture::TearDown();
    }
    template <typename T> T* Get(const char* name) const
    {
        T* w = m_pPage->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    bool On(const char* name) const { return Get<QWidget>(name)->isEnabled(); }
    // What the start and the end of a run of op do to the windows: the page that runs it applies
    // its own lock, the host the rest.
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
    bool Shown(const char* name) const { return Get<QWidget>(name)->isVisibleTo(m_pPage); }
    QList<bool> PanelButtons() const
    {
        QList<bool> states;
        for (int id : CFunctionListPanel::MainButtonIds())
            states << m_frame->PageHost()->Panel()->Button(id)->isEnabled();
        return states;
    }
    static QList<bool> All(bool v) { return QList<bool>(9, v); }
    bool ValueLinesShown() const
    {
        bool all = true, none = true;
        for (const char* n : {"fileNameLabel", "fileNameValue", "addressLabel", "addressValue", "statusLabel",
                              "statusValue"}) {
            all = all && Shown(n);
            none = none && !Shown(n);
        }
        EXPECT_TRUE(all || none);
        return all;
    }
    // Everything the lock touches on this page, enabled.
    void EnableAll()
    {
        for (const char* n :
             {"binBrowseButton", "scrBrowseButton", "prlBrowseButton", "eriBrowseButton", "nam1Radio",
              "nam2Radio", "nam12Radio", "readRadio", "writeRadio", "startButton"})
            Get<QWidget>(n)->setEnabled(true);
    }

    std::unique_ptr<CMainFrame> m_frame;
    CUpgradePage* m_pPage = nullptr;
};

TEST_F(RunLockTest, UpgradeLock)
{
    m_pPage->SelectOperation(CUpgradePage::SEL_UPGRADE);
    EnableAll();
    theSettings.m_nLastSelectNam = 1;
    Lock(OP_UPGRADE);
    EXPECT_FALSE(ValueLinesShown());
    EXPECT_EQ(PanelButtons(), All(false));
    for (const char* n : {"binBrowseButton", "scrBrowseButton", "prlBrowseButton", "eriBrowseButton"})
        EXPECT_FALSE(On(n)) << n;
    EXPECT_FALSE(On("nam1Radio"));
    EXPECT_TRUE(On("nam2Radio"));
    EXPECT_FALSE(On("nam12Radio"));
    EXPECT_FALSE(On("startButton"));
    EXPECT_EQ(m_pPage->RunningFace(), 158);
    // The running face fills the two-picture form.
    const CSkinButton* start = Get<CSkinButton>("startButton");
    CSkinButton ref;
    ref.SetBitmaps(158, 0, 158, 0);
    EXPECT_EQ(start->SlotImage(CSkinButton::SLOT_NORMAL), ref.SlotImage(CSkinButton::SLOT_NORMAL));
    EXPECT_EQ(start->SlotImage(CSkinButton::SLOT_MOUSEOVER), ref.SlotImage(CSkinButton::SLOT_MOUSEOVER));
    EXPECT_FALSE(start->HasPicture(CSkinButton::SLOT_DISABLED));
    // Path boxes stay as they were.
    EXPECT_TRUE(On("binPathEdit"));

    Release(OP_UPGRADE);
    EXPECT_TRUE(ValueLinesShown());
    EXPECT_EQ(PanelButtons(), All(true));
    for (const char* n : {"binBrowseButton", "scrBrowseButton", "prlBrowseButton", "eriBrowseButton",
                          "nam1Radio", "nam2Radio", "nam12Radio", "startButton"})
        EXPECT_TRUE(On(n)) << n;
    EXPECT_EQ(m_pPage->RunningFace(), 0);
    EXPECT_TRUE(start->HasPicture(CSkinButton::SLOT_DISABLED));
}

TEST_F(RunLockTest, BinLock)
{
    m_pPage->SelectOperation(CUpgradePage::SEL_BIN);
    EnableAll();
    Lock(OP_BIN);
    EXPECT_FALSE(On("binBrowseButton"));
    EXPECT_TRUE(On("scrBrowseButton"));
    EXPECT_TRUE(On("nam1Radio"));
    EXPECT_FALSE(On("startButton"));
    EXPECT_EQ(m_pPage->RunningFace(), 152);
    EXPECT_EQ(PanelButtons(), All(false));
    Release(OP_BIN);
    EXPECT_TRUE(On("binBrowseButton"));
    EXPECT_TRUE(On("startButton"));
    EXPECT_EQ(PanelButtons(), All(true));
}

TEST_F(RunLockTest, ScriptLock)
{
    m_pPage->SelectOperation(CUpgradePage::SEL_SCRIPT);
    EnableAll();
    theSettings.m_nLastSelectNam = 2;
    Lock(OP_SCRIPT);
    EXPECT_TRUE(On("binBrowseButton"));
    for (const char* n : {"scrBrowseButton", "prlBrowseButton", "eriBrowseButton", "nam1Radio", "nam2Radio"})
        EXPECT_FALSE(On(n)) << n;
    EXPECT_TRUE(On("nam12Radio"));
    EXPECT_FALSE(On("startButton"));
    EXPECT_EQ(m_pPage->RunningFace(), 156);
    Release(OP_SCRIPT);
    for (const char* n : {"scrBrowseButton", "prlBrowseButton", "eriBrowseButton", "nam1Radio", "nam2Radio",
                          "nam12Radio", "startButton"})
        EXPECT_TRUE(On(n)) << n;
}

TEST_F(RunLockTest, PrlLockInBothDirections)
{
    m_pPage->SelectOperation(CUpgradePage::SEL_PRL);
    for (int direction : {0, 1}) {
        SCOPED_TRACE(direction);
        EnableAll();
        theSettings.m_nLastSelectNam = 0;
        theSettings.m_nLastDirection = direction;
        Lock(OP_PRL);
        EXPECT_FALSE(On("startButton"));
        EXPECT_EQ(m_pPage->RunningFace(), 155);
        EXPECT_FALSE(On("prlBrowseButton"));
        EXPECT_TRUE(On("nam1Radio"));
        EXPECT_FALSE(On("nam2Radio"));
        EXPECT_FALSE(On("nam12Radio"));
        EXPECT_EQ(On("readRadio"), direction == 1);
        EXPECT_EQ(On("writeRadio"), direction == 0);

        Release(OP_PRL);
        EXPECT_TRUE(On("startButton"));
        // The PRL browse button comes back only for Write.
        EXPECT_EQ(On("prlBrowseButton"), direction == 0);
        for (const char* n : {"nam1Radio", "nam2Radio", "nam12Radio", "readRadio", "writeRadio"})
            EXPECT_TRUE(On(n)) << n;
        EXPECT_TRUE(ValueLinesShown());
    }
}

TEST_F(RunLockTest, EriLockLeavesStartDisabled)
{
    m_pPage->SelectOperation(CUpgradePage::SEL_ERI);
    for (int direction : {0, 1}) {
        SCOPED_TRACE(direction);
        EnableAll();
        theSettings.m_nLastSelectNam = 0;
        theSettings.m_nLastDirection = direction;
        Lock(OP_ERI);
        EXPECT_EQ(m_pPage->RunningFace(), 153);
        EXPECT_FALSE(On("eriBrowseButton"));
        EXPECT_EQ(On("readRadio"), direction == 1);
        EXPECT_EQ(On("writeRadio"), direction == 0);
        // ERI leaves the NAM radios alone.
        EXPECT_TRUE(On("nam2Radio"));
        Release(OP_ERI);
        EXPECT_FALSE(On("startButton"));
        EXPECT_EQ(m_pPage->RunningFace(), 0);
        EXPECT_EQ(On("eriBrowseButton"), direction == 0);
        EXPECT_TRUE(On("readRadio"));
        EXPECT_TRUE(On("writeRadio"));
    }
}

TEST_F(RunLockTest, RefurbishLock)
{
    m_pPage->SelectOperation(CUpgradePage::SEL_REFURBISH);
    EnableAll();
    Lock(OP_REFURBISH);
    EXPECT_FALSE(On("binBrowseButton"));
    EXPECT_FALSE(On("scrBrowseButton"));
    EXPECT_TRUE(On("prlBrowseButton"));
    EXPECT_EQ(m_pPage->RunningFace(), 177);
    EXPECT_FALSE(On("startButton"));
    Release(OP_REFURBISH);
    EXPECT_TRUE(On("binBrowseButton"));
    EXPECT_TRUE(On("scrBrowseButton"));
    EXPECT_FALSE(On("startButton"));
    EXPECT_EQ(m_pPage->RunningFace(), 0);
}

TEST_F(RunLockTest, OtherPagesLockOnlyTheCommonPart)
{
    m_pPage->SelectOperation(CUpgradePage::SEL_UPGRADE);
    for (int op : {OP_SETTINGS, OP_PHONEBOOK, OP_TRANSFER}) {
        SCOPED_TRACE(op);
        EnableAll();
        Lock(op);
        EXPECT_FALSE(ValueLinesShown());
        EXPECT_EQ(PanelButtons(), All(false));
        // Nothing of the upgrade page's own inputs.
        for (const char* n : {"binBrowseButton", "nam1Radio", "readRadio", "startButton"})
            EXPECT_TRUE(On(n)) << n;
        EXPECT_EQ(m_pPage->RunningFace(), 0);
        Release(op);
        EXPECT_TRUE(ValueLinesShown());
        EXPECT_EQ(PanelButtons(), All(true));
    }
}

// Operations 7 and 8 lock their own pages.
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
    EXPECT_EQ(PanelButtons(), All(false));
    Release(OP_TRANSFER);
    EXPECT_TRUE(transfer->IsStartEnabled());
    EXPECT_EQ(PanelButtons(), All(true));
}

TEST_F(RunLockTest, RunInsideTheFrame)
{
    const QString dll = InstallPlugin();
    theSettings.Set(&CAppSettings::m_strModelName, QStringLiteral("REC-MODEL"));
    m_frame->PageHost()->OnHostCommand(HC_BIN, 0);
    ASSERT_EQ(m_pPage->SelectedOperation(), CUpgradePage::SEL_BIN);
    const QString bin = MakeFile(QStringLiteral("fw.bin"));
    Get<QLineEdit>("binPathEdit")->setText(bin);
    const qsizetype handledBefore = m_frame->PageHost()->HandledCommands().size();

    m_pPage->StartOperation();
    EXPECT_FALSE(m_frame->ToolBar()->isEnabled());
    EXPECT_EQ(PanelButtons(), All(false));
    EXPECT_EQ(theSettings.m_bBusy, 1);

    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(m_frame->ToolBar()->isEnabled());
    EXPECT_EQ(PanelButtons(), All(true));
    EXPECT_EQ(Dialogs::Shown().constLast().strText, QStringLiteral("Download Success!"));

    // The operation log got its block, after the handset block of the run.
    const QString log =
        theSettings.m_strInstallDir + QStringLiteral("LOG/") + OperationLogFileName(QDate::currentDate());
    const QByteArray text = qpxtest::ReadFile(log);
    EXPECT_TRUE(text.contains("Compile Date\t:\t")) << text.constData();
    EXPECT_TRUE(text.contains("Current Operation\t:\tBin Download\r\n")) << text.constData();
    EXPECT_TRUE(text.contains("COM Port\t\t:\t7\r\n"));
    EXPECT_TRUE(text.contains("Model Name\t\t:\tREC-MODEL\r\n"));
    EXPECT_TRUE(text.contains(("Last Processed File\t:\t" + bin.toUtf8() + "\r\n")));
    EXPECT_TRUE(text.contains("Elapsed Time\t\t:\t2 min 5.340000 sec\r\n"));
    EXPECT_TRUE(text.contains("Last Status\t\t:\tBin done\r\n"));
    EXPECT_FALSE(m_frame->PageHost()->m_bLogHandsetInfo);

    // The frame reconnects: a port selection goes to the host.
    ASSERT_TRUE(PumpUntil([&] {
        const QList<quint32>& h = m_frame->PageHost()->HandledCommands();
        return h.mid(handledBefore).contains(HC_PORT_RESULT);
    }));
}

} // namespace
