// Running the upgrade page's operations through the recording plug-in: the order of the checks,
// the arguments of every export, confirmation, completion and unloading.
#include "UpgradeFixture.h"

#include <QProgressBar>
#include <QPushButton>

using namespace upgradetest;

namespace {

class UpgradeRunTest : public UpgradeFixture
{
protected:
    // Fills all four path boxes with readable files.
    void FillFiles()
    {
        m_bin = MakeFile(QStringLiteral("fw.bin"));
        m_scr = MakeFile(QStringLiteral("a.scr"));
        m_prl = MakeFile(QStringLiteral("a.prl"));
        m_eri = MakeFile(QStringLiteral("eri.bin"));
        Edit("binPathEdit")->setText(m_bin);
        Edit("scrPathEdit")->setText(m_scr);
        Edit("prlPathEdit")->setText(m_prl);
        Edit("eriPathEdit")->setText(m_eri);
    }
    // Start, then wait for the completion; returns the recorded call.
    QString RunAndWait(CUpgradePage& page, const QString& name)
    {
        page.StartOperation();
        EXPECT_TRUE(WaitIdle());
        return RecCall(name);
    }
    QString Lead() const { return QStringLiteral(" page=1 port=7 rect=10,355,575,460 dll=") + m_dll; }
    // True while the library is mapped into the process.
    bool Mapped(const QString& path) const
    {
        return QString::fromUtf8(qpxtest::ReadFile(QStringLiteral("/proc/self/maps"))).contains(path);
    }

    QString m_dll, m_bin, m_scr, m_prl, m_eri;
};

// ---- order of the checks ------------------------------------------------------------------

TEST_F(UpgradeRunTest, ChecksRunInOrderAndLoadNothing)
{
    m_dll = InstallPlugin();
    const QString good = MakeFile(QStringLiteral("good"));
    // Upgrade: BIN, Script, NAM, PRL, ERI. Filling the boxes one by one moves the failure on.
    CUpgradePage& page = MakePage(CUpgradePage::SEL_UPGRADE);
    const char* boxes[] = {"binPathEdit", "scrPathEdit", "prlPathEdit", "eriPathEdit"};
    const char* messages[] = {"Select .BIN file and proceed!", "Select .Script file and proceed!",
                              "Select .PRL file and proceed!", "Select .ERI file and proceed!"};
    for (int i = 0; i < 4; ++i) {
        Dialogs::ClearRecords();
        page.StartOperation();
        EXPECT_EQ(Messages(), QStringList{QString::fromLatin1(messages[i])});
        EXPECT_FALSE(page.HasRunningPlugin());
        EXPECT_FALSE(Mapped(m_dll));
        Edit(boxes[i])->setText(good);
    }
    EXPECT_EQ(theSettings.m_bBusy, 0);
    EXPECT_TRUE(RecLines().isEmpty());
}

TEST_F(UpgradeRunTest, UpgradeChecksNamBeforePrl)
{
    m_dll = InstallPlugin();
    CUpgradePage& page = MakePage(CUpgradePage::SEL_UPGRADE);
    FillFiles();
    Edit("prlPathEdit")->clear();
    for (const char* n : {"nam1Radio", "nam2Radio", "nam12Radio"}) {
        Radio(n)->setAutoExclusive(false);
        Radio(n)->setChecked(false);
    }
    page.StartOperation();
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Select PRL NAM!")});
}

TEST_F(UpgradeRunTest, ScriptAndRefurbishAndBinCheckTheirOwnInputs)
{
    m_dll = InstallPlugin();
    {
        CUpgradePage& page = MakePage(CUpgradePage::SEL_SCRIPT);
        page.StartOperation();
        EXPECT_EQ(Messages(), QStringList{QStringLiteral("Select .Script file and proceed!")});
    }
    {
        Dialogs::ClearRecords();
        CUpgradePage& page = MakePage(CUpgradePage::SEL_REFURBISH);
        Edit("binPathEdit")->setText(MakeFile(QStringLiteral("r.bin")));
        page.StartOperation();
        EXPECT_EQ(Messages(), QStringList{QStringLiteral("Select .Script file and proceed!")});
    }
    {
        // Bin Download only looks at the BIN box, so empty others do not matter.
        Dialogs::ClearRecords();
        theSettings.m_strLastBinFile.clear();
        CUpgradePage& page = MakePage(CUpgradePage::SEL_BIN);
        page.StartOperation();
        EXPECT_EQ(Messages(), QStringList{QStringLiteral("Select .BIN file and proceed!")});
    }
    EXPECT_TRUE(RecLines().isEmpty());
}

TEST_F(UpgradeRunTest, PrlAndEriLoadBeforeChecking)
{
    // Without a plug-in the missing export is reported before the missing direction.
    theSettings.m_nLastDirection = -1;
    theSettings.Set(&CAppSettings::m_strDllFile, m_dir + QStringLiteral("/MODEL/none.so"));
    CUpgradePage& page = MakePage(CUpgradePage::SEL_PRL);
    page.StartOperation();
    EXPECT_EQ(Messages(),
              QStringList{QStringLiteral("This operation is not supported in the current Model DLL.")});

    // With one, the direction comes first, then NAM, then (Write only) the PRL file.
    m_dll = InstallPlugin();
    Dialogs::ClearRecords();
    page.StartOperation();
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Select READ or WRITE mode First!")});
    EXPECT_FALSE(page.HasRunningPlugin());
    EXPECT_FALSE(Mapped(m_dll));

    Radio("writeRadio")->click();
    Dialogs::ClearRecords();
    page.StartOperation();
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Select .PRL file and proceed!")});

    // ERI: direction, then the ERI file with Write.
    Dialogs::ClearRecords();
    page.SelectOperation(CUpgradePage::SEL_ERI);
    page.StartOperation();
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Select .ERI file and proceed!")});
    EXPECT_TRUE(RecLines().isEmpty());
    EXPECT_EQ(theSettings.m_bBusy, 0);
}

TEST_F(UpgradeRunTest, MissingExportIsReportedAndUnloaded)
{
    m_dll = InstallPlugin(QStringLiteral("qpx_rec_plugin_min")); // no ModelInterface_Bin
    CUpgradePage& page = MakePage(CUpgradePage::SEL_BIN);
    FillFiles();
    page.StartOperation();
    EXPECT_EQ(Messages(),
              QStringList{QStringLiteral("This operation is not supported in the current Model DLL.")});
    EXPECT_EQ(Dialogs::Shown().constFirst().strCaption, QStringLiteral("KOVA QPX"));
    EXPECT_FALSE(page.HasRunningPlugin());
    EXPECT_FALSE(Mapped(m_dll));
    EXPECT_EQ(theSettings.m_bBusy, 0);
    EXPECT_TRUE(m_services.begun.isEmpty());
}

TEST_F(UpgradeRunTest, NoAtConfirmationRunsNothing)
{
    m_dll = InstallPlugin();
    CUpgradePage& page = MakePage(CUpgradePage::SEL_UPGRADE);
    FillFiles();
    page.EnableStart(true);
    Dialogs::SetNextAnswer(IDNO);
    page.StartOperation();
    ASSERT_EQ(Dialogs::Shown().size(), 1);
    EXPECT_EQ(Dialogs::Shown().constFirst().strText, QStringLiteral("Are you sure?"));
    EXPECT_EQ(Dialogs::Shown().constFirst().nButtons, MB_YESNO);
    Pump(50);
    EXPECT_TRUE(RecLines().isEmpty());
    EXPECT_EQ(theSettings.m_bBusy, 0);
    EXPECT_FALSE(page.HasRunningPlugin());
    EXPECT_FALSE(Mapped(m_dll));
    EXPECT_TRUE(page.IsStartEnabled());
    EXPECT_TRUE(Visible("statusValue"));
}

TEST_F(UpgradeRunTest, BusyPageIgnoresStart)
{
    m_dll = InstallPlugin();
    CUpgradePage& page = MakePage(CUpgradePage::SEL_BIN);
    FillFiles();
    theSettings.m_bBusy = 1;
    page.StartOperation();
    EXPECT_TRUE(Dialogs::Shown().isEmpty());
    EXPECT_FALSE(page.HasRunningPlugin());
}

// ---- arguments ----------------------------------------------------------------------------

TEST_F(UpgradeRunTest, UpgradeArguments)
{
    m_dll = InstallPlugin();
    CUpgradePage& page = MakePage(CUpgradePage::SEL_UPGRADE);
    FillFiles();
    Radio("nam2Radio")->setChecked(true);
    const QString call = RunAndWait(page, QStringLiteral("Upgrade"));
    EXPECT_EQ(call, QStringLiteral("Upgrade") + Lead() + QStringLiteral(" bin=") + m_bin +
                        QStringLiteral(" scr=") + m_scr + QStringLiteral(" eri=") + m_eri +
                        QStringLiteral(" nam=1 prl=") + m_prl);
    EXPECT_EQ(m_services.begun, QList<int>{OP_UPGRADE});
}

TEST_F(UpgradeRunTest, BinArguments)
{
    m_dll = InstallPlugin();
    CUpgradePage& page = MakePage(CUpgradePage::SEL_BIN);
    FillFiles();
    EXPECT_EQ(RunAndWait(page, QStringLiteral("Bin")),
              QStringLiteral("Bin") + Lead() + QStringLiteral(" bin=") + m_bin);
    EXPECT_EQ(m_services.begun, QList<int>{OP_BIN});
}

TEST_F(UpgradeRunTest, ScriptArguments)
{
    m_dll = InstallPlugin();
    CUpgradePage& page = MakePage(CUpgradePage::SEL_SCRIPT);
    FillFiles();
    Radio("nam1Radio")->setChecked(true);
    EXPECT_EQ(RunAndWait(page, QStringLiteral("Src")),
              QStringLiteral("Src") + Lead() + QStringLiteral(" scr=") + m_scr + QStringLiteral(" eri=") +
                  m_eri + QStringLiteral(" nam=0 prl=") + m_prl);
    EXPECT_EQ(m_services.begun, QList<int>{OP_SCRIPT});
}

TEST_F(UpgradeRunTest, RefurbishArgumentsAndNumber)
{
    m_dll = InstallPlugin();
    CUpgradePage& page = MakePage(CUpgradePage::SEL_REFURBISH);
    FillFiles();
    EXPECT_EQ(RunAndWait(page, QStringLiteral("Refurbish")), QStringLiteral("Refurbish") + Lead() +
                                                                 QStringLiteral(" bin=") + m_bin +
                                                                 QStringLiteral(" scr=") + m_scr);
    EXPECT_EQ(m_services.begun, QList<int>{OP_REFURBISH});
}

TEST_F(UpgradeRunTest, PrlWriteArguments)
{
    m_dll = InstallPlugin();
    CUpgradePage& page = MakePage(CUpgradePage::SEL_PRL);
    FillFiles();
    Radio("writeRadio")->setChecked(true);
    Radio("nam1Radio")->setChecked(true);
    EXPECT_EQ(RunAndWait(page, QStringLiteral("Prl")), QStringLiteral("Prl") + Lead() +
                                                           QStringLiteral(" nam=0 file=") + m_prl +
                                                           QStringLiteral(" dir=0"));
    EXPECT_TRUE(Dialogs::FolderRequests().isEmpty());
    EXPECT_EQ(m_services.begun, QList<int>{OP_PRL});
}

TEST_F(UpgradeRunTest, PrlReadAsksForAFolder)
{
    m_dll = InstallPlugin();
    CUpgradePage& page = MakePage(CUpgradePage::SEL_PRL);
    Radio("readRadio")->setChecked(true);
    const QString folder = m_dir + QStringLiteral("/out");
    const struct
    {
        const char* radio;
        const char* name;
        int nam;
    } cases[] = {{"nam1Radio", "/nam1_prl_0000.prl", 0},
                 {"nam2Radio", "/nam2_prl_0001.prl", 1},
                 {"nam12Radio", "/nam?_prl_000#.prl", 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(m_recLog);
        Dialogs::ClearRecords();
        Radio(c.radio)->setChecked(true);
        Dialogs::SetNextFolder(folder);
        const QString call = RunAndWait(page, QStringLiteral("Prl"));
        EXPECT_EQ(call, QStringLiteral("Prl") + Lead() + QStringLiteral(" nam=%1 file=").arg(c.nam) + folder +
                            QString::fromLatin1(c.name) + QStringLiteral(" dir=1"));
        ASSERT_EQ(Dialogs::FolderRequests().size(), 1);
        const SFolderDialogRequest r = Dialogs::FolderRequests().constFirst();
        EXPECT_EQ(r.strTitle, QStringLiteral("Select folder to save PRL file"));
        EXPECT_EQ(r.strPrompt, QStringLiteral("Directory for  PRL read"));
        EXPECT_EQ(r.strInitialFolder, m_dir + QStringLiteral("/MODEL"));
        // Nothing there yet: no question before the confirmation.
        ASSERT_FALSE(Dialogs::Shown().isEmpty());
        EXPECT_EQ(Dialogs::Shown().constFirst().strText, QStringLiteral("Are you sure?"));
    }
}

// A read whose file is already in the folder asks before replacing it; No keeps the old file and
// ends the start without a word.
TEST_F(UpgradeRunTest, ReadIntoAnExistingFileAsksFirst)
{
    m_dll = InstallPlugin();
    theSettings.m_nLastDirection = 1;
    const QString folder = m_dir + QStringLiteral("/out");
    const struct
    {
        int selected;
        const char* radio;
        const char* existing; // the one file of the read that is there already
        const char* call;
    } cases[] = {{CUpgradePage::SEL_PRL, "nam1Radio", "nam1_prl_0000.prl", "Prl"},
                 {CUpgradePage::SEL_PRL, "nam12Radio", "nam2_prl_0001.prl", "Prl"},
                 {CUpgradePage::SEL_ERI, nullptr, "eri.bin", "Eri"}};
    for (const auto& c : cases) {
        const QString existing = folder + QLatin1Char('/') + QString::fromLatin1(c.existing);
        ASSERT_TRUE(qpxtest::WriteFile(existing, "old"));
        CUpgradePage& page = MakePage(c.selected);
        if (c.radio)
            Radio(c.radio)->setChecked(true);
        for (const int answer : {IDNO, IDYES}) {
            SCOPED_TRACE(std::string(c.existing) + (answer == IDYES ? " yes" : " no"));
            QFile::remove(m_recLog);
            Dialogs::ClearRecords();
            Dialogs::SetNextFolder(folder);
            Dialogs::SetNextAnswer(answer);
            const QString call = RunAndWait(page, QString::fromLatin1(c.call));
            ASSERT_FALSE(Dialogs::Shown().isEmpty());
            const SMessageBoxRecord q = Dialogs::Shown().constFirst();
            EXPECT_EQ(q.strText, QStringLiteral("File exists! Replace the previous file?\n\n") + existing);
            EXPECT_EQ(q.nButtons, MB_YESNO);
            EXPECT_EQ(q.nIcon, MB_ICONQUESTION);
            if (answer == IDNO) {
                EXPECT_EQ(Dialogs::Shown().size(), 1); // not even the confirmation
                EXPECT_TRUE(call.isEmpty());
                EXPECT_FALSE(page.HasRunningPlugin());
                EXPECT_FALSE(Mapped(m_dll));
            } else {
                ASSERT_GE(Dialogs::Shown().size(), 2);
                EXPECT_EQ(Dialogs::Shown().at(1).strText, QStringLiteral("Are you sure?"));
                EXPECT_TRUE(call.contains(QStringLiteral(" file=") + folder + QLatin1Char('/')))
                    << call.toStdString();
            }
            EXPECT_EQ(qpxtest::ReadFile(existing), QByteArray("old"));
        }
        QFile::remove(existing);
    }
}

TEST_F(UpgradeRunTest, EriReadPassesRememberedNam)
{
    m_dll = InstallPlugin();
    // The page shows "NAM 1,2" but ERI does not check the NAM: the remembered 0 goes out.
    theSettings.m_nLastSelectNam = 0;
    theSettings.m_nLastDirection = 1;
    CUpgradePage& page = MakePage(CUpgradePage::SEL_ERI);
    Dialogs::SetNextFolder(m_dir + QStringLiteral("/"));
    const QString call = RunAndWait(page, QStringLiteral("Eri"));
    EXPECT_EQ(call, QStringLiteral("Eri") + Lead() + QStringLiteral(" nam=0 file=") + m_dir +
                        QStringLiteral("/eri.bin dir=1"));
    ASSERT_EQ(Dialogs::FolderRequests().size(), 1);
    EXPECT_EQ(Dialogs::FolderRequests().constFirst().strTitle,
              QStringLiteral("Select folder to save ERI file"));
    EXPECT_EQ(Dialogs::FolderRequests().constFirst().strPrompt, QStringLiteral("Directory for  ERI read"));
    EXPECT_EQ(m_services.begun, QList<int>{OP_ERI});
}

TEST_F(UpgradeRunTest, EriWriteArguments)
{
    m_dll = InstallPlugin();
    theSettings.m_nLastSelectNam = 1;
    CUpgradePage& page = MakePage(CUpgradePage::SEL_ERI);
    FillFiles();
    Radio("writeRadio")->click();
    EXPECT_EQ(RunAndWait(page, QStringLiteral("Eri")), QStringLiteral("Eri") + Lead() +
                                                           QStringLiteral(" nam=1 file=") + m_eri +
                                                           QStringLiteral(" dir=0"));
}

TEST_F(UpgradeRunTest, CancelledFolderRunsNothing)
{
    m_dll = InstallPlugin();
    theSettings.m_nLastDirection = 1;
    CUpgradePage& page = MakePage(CUpgradePage::SEL_PRL);
    page.StartOperation(); // no folder queued: cancelled
    EXPECT_EQ(Dialogs::FolderRequests().size(), 1);
    EXPECT_TRUE(Dialogs::Shown().isEmpty()); // not even the confirmation
    Pump(30);
    EXPECT_TRUE(RecLines().isEmpty());
    EXPECT_FALSE(page.HasRunningPlugin());
    EXPECT_EQ(theSettings.m_bBusy, 0);
}

// ---- completion ---------------------------------------------------------------------------

TEST_F(UpgradeRunTest, SuccessShowsResultAndUnloads)
{
    m_dll = InstallPlugin();
    CUpgradePage& page = MakePage(CUpgradePage::SEL_BIN);
    FillFiles();
    page.StartOperation();
    // Locked while the plug-in works.
    EXPECT_EQ(theSettings.m_bBusy, 1);
    EXPECT_FALSE(Visible("statusValue"));
    EXPECT_FALSE(Visible("fileNameLabel"));
    EXPECT_EQ(page.RunningFace(), 152);
    EXPECT_FALSE(page.IsStartEnabled());
    EXPECT_TRUE(page.HasRunningPlugin());
    ASSERT_TRUE(WaitIdle());

    EXPECT_TRUE(Visible("statusValue"));
    EXPECT_EQ(Text("statusValue"), QStringLiteral("Bin done"));
    EXPECT_EQ(Text("fileNameValue"), m_bin);
    EXPECT_EQ(Text("addressValue"), QStringLiteral("0x00002000"));
    // 2 minutes 5.34 seconds.
    EXPECT_EQ(Text("elapsedLabel"), QStringLiteral("02:05.3 s"));
    // The plug-in drove the live display while it worked.
    EXPECT_EQ(Find<QProgressBar>("progressBar")->value(), 100);
    ASSERT_FALSE(Dialogs::Shown().isEmpty());
    EXPECT_EQ(Dialogs::Shown().constLast().strText, QStringLiteral("Download Success!"));
    EXPECT_EQ(Dialogs::Shown().constLast().nButtons, MB_OK);
    EXPECT_FALSE(page.HasRunningPlugin());
    EXPECT_FALSE(Mapped(m_dll));
    EXPECT_TRUE(RecLines().contains(QStringLiteral("ReleaseRs page=1")));
    // Bin Download gets its Start back at once; the faces are those of the operation.
    EXPECT_TRUE(page.IsStartEnabled());
    EXPECT_EQ(page.RunningFace(), 0);
}

TEST_F(UpgradeRunTest, FailureShowsThePluginMessage)
{
    m_dll = InstallPlugin();
    qputenv("QPX_REC_RESULT", "0");
    qputenv("QPX_REC_MESSAGE", "Handset refused the image");
    qputenv("QPX_REC_MINUTES", "0");
    qputenv("QPX_REC_SECONDS", "9.96");
    CUpgradePage& page = MakePage(CUpgradePage::SEL_REFURBISH);
    FillFiles();
    RunAndWait(page, QStringLiteral("Refurbish"));
    EXPECT_EQ(Dialogs::Shown().constLast().strText, QStringLiteral("Handset refused the image"));
    EXPECT_FALSE(Messages().contains(QStringLiteral("Download Success!")));
    EXPECT_EQ(Text("elapsedLabel"), QStringLiteral("00:10.0 s"));
    // Refurbish leaves Start for the reconnection to enable.
    EXPECT_FALSE(page.IsStartEnabled());
    EXPECT_EQ(page.RunningFace(), 0);
}

// Nothing says that the threads such a plug-in started have ended: its code is never unmapped
// under them, and the log says so once.
TEST_F(UpgradeRunTest, PluginWithoutReleaseRsStaysLoadedUntilTheProgramEnds)
{
    qpxtest::CLogCapture messages;
    m_dll = InstallPlugin(QStringLiteral("qpx_rec_plugin_min"));
    CUpgradePage& page = MakePage(CUpgradePage::SEL_UPGRADE);
    FillFiles();
    for (int run = 1; run <= 2; ++run) {
        ASSERT_FALSE(RunAndWait(page, QStringLiteral("Upgrade")).isEmpty());
        EXPECT_EQ(Dialogs::Shown().constLast().strText, QStringLiteral("Download Success!"));
        EXPECT_FALSE(page.HasRunningPlugin());
        EXPECT_TRUE(Mapped(m_dll)) << run;
    }
    EXPECT_EQ(messages.Count({m_dll, QStringLiteral("ReleaseRs")}), 1);
}

// Only the completion of a run in progress is read: not another message, not a stray completion
// before any run, not a repeated one after the plug-in was released.
TEST_F(UpgradeRunTest, OnlyTheCompletionOfTheRunInProgressIsHandled)
{
    m_dll = InstallPlugin();
    CUpgradePage& page = MakePage(CUpgradePage::SEL_BIN);
    FillFiles();
    OperationResult r{};
    r.nResult = -1;
    const auto deliver = [&](quint32 msg, WPARAM wParam) {
        page.OnMessage(msg, wParam, reinterpret_cast<LPARAM>(&r));
    };
    theSettings.m_bBusy = 1;
    deliver(WM_PLUGIN_NOTIFY_MSG, PLUGIN_DONE);
    EXPECT_TRUE(Dialogs::Shown().isEmpty());
    EXPECT_EQ(theSettings.m_bBusy, 1);
    theSettings.m_bBusy = 0;

    page.StartOperation();
    ASSERT_TRUE(page.HasRunningPlugin());
    deliver(WM_PLUGIN_NOTIFY_MSG, PLUGIN_DONE + 1);
    deliver(WM_HOST_COMMAND, PLUGIN_DONE);
    EXPECT_EQ(Messages().join(u'|').toStdString(), "Are you sure?");
    EXPECT_EQ(theSettings.m_bBusy, 1);
    ASSERT_TRUE(WaitIdle());

    deliver(WM_PLUGIN_NOTIFY_MSG, PLUGIN_DONE);
    EXPECT_EQ(Messages().join(u'|').toStdString(), "Are you sure?|Download Success!");
    EXPECT_EQ(theSettings.m_bBusy, 0);
}

TEST_F(UpgradeRunTest, TwoRunsInARow)
{
    m_dll = InstallPlugin();
    CUpgradePage& page = MakePage(CUpgradePage::SEL_BIN);
    FillFiles();
    RunAndWait(page, QStringLiteral("Bin"));
    RunAndWait(page, QStringLiteral("Bin"));
    int calls = 0;
    for (const QString& l : RecLines())
        calls += l.startsWith(QStringLiteral("Bin ")) ? 1 : 0;
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(Messages().count(QStringLiteral("Download Success!")), 2);
}

} // namespace
