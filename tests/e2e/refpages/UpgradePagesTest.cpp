// The upgrade page's operations with the reference plug-in against the simulated handset, each
// started with the page's own Start button: ERI write and read, PRL read, Bin Download, Upgrade,
// Script and Refurbish. Each ends in "Download Success!"; writes change what the handset holds,
// reads save it, and once the program has the handset back its version list shows the new
// software, PRL and ERI versions. The program never ends under a running operation: a close is
// refused, a termination waits, and windows that go away first leave the plug-in to finish.
#include "FakeModemManager.h"
#include "RefPagesFixture.h"
#include "pages/MemoryTransferPage.h"
#include "pages/SettingsPage.h"
#include "pages/UpgradePage.h"
#include "plugin/ModelDllDialog.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace refpages {
namespace {

constexpr int SIM_PORT = 40;

class UpgradeRefPagesTest : public CRefPagesTest
{
protected:
    // The program and the simulator (faults in simArgs), the upgrade page at hand.
    void Open(const QStringList& simArgs = {}, bool waitForHandset = true)
    {
        ASSERT_NO_FATAL_FAILURE(Launch(SIM_PORT, simArgs, waitForHandset));
        m_pPage = m_pHost->UpgradePage();
    }

    // Shows the operation from the toolbar and waits until Start can be used.
    void Show(int toolbarId, int selected)
    {
        ASSERT_NO_FATAL_FAILURE(Toolbar(toolbarId, m_pPage));
        ASSERT_TRUE(PumpUntil([&] { return m_pPage->SelectedOperation() == selected; }, 5000))
            << m_pPage->SelectedOperation();
        ASSERT_TRUE(PumpUntil([&] { return m_pPage->IsStartEnabled(); }, CONNECT_MS));
    }
    void SetPath(const char* editName, const QString& path)
    {
        Child<QLineEdit>(m_pPage, editName)->setText(path);
    }
    void Click(const char* name) { Child<QRadioButton>(m_pPage, name)->click(); }
    QPushButton* Start() const { return Child<QPushButton>(m_pPage, "startButton"); }
    QString StatusLine() const { return Child<QLabel>(m_pPage, "statusValue")->text(); }

    // Runs Start and expects success after the question (its text: the page tests). (Answers
    // queued for the run's dialogs stay queued: no record is cleared here.)
    void RunToSuccess()
    {
        const qsizetype before = Dialogs::Shown().size();
        ASSERT_NO_FATAL_FAILURE(RunOperation(Start()));
        const QList<SMessageBoxRecord> shown = Dialogs::Shown().mid(before);
        ASSERT_EQ(shown.size(), 2) << ShownTexts().toStdString();
        ASSERT_EQ(shown[1].strText, u"Download Success!"_s) << StatusLine().toStdString();
        EXPECT_TRUE(PanelUnlocked());
        EXPECT_FALSE(m_pPage->IsRunning());
    }

    // After an operation: the link runs again, the plug-in is chosen for the handset (the model
    // pane names it) and the version list shows what done() expects.
    void WaitForHandsetBack(const std::function<bool()>& done)
    {
        ASSERT_TRUE(PumpUntil(
            [&] {
                return Connected() && m_pPage->IsStartEnabled() && done() &&
                       m_frame->PaneText(ID_PANE_MODEL) == u"MODEL : KOVA Reference"_s;
            },
            CONNECT_MS))
            << "S/W " << SoftwareVersionText().toStdString() << ", PRL " << PrlVersionText().toStdString()
            << ", ERI " << EriVersionText().toStdString();
    }

    CUpgradePage* m_pPage = nullptr;
};

// A handset left in download mode by an interrupted firmware write: the program says so instead
// of connecting for ever, a Bin Download with the plug-in chosen by hand writes the software, and
// the handset is then taken back like any other.
TEST_F(UpgradeRefPagesTest, BinDownloadWithThePluginChosenByHandRecoversTheHandset)
{
    ASSERT_NO_FATAL_FAILURE(Open({u"--start-in"_s, u"boot-loader"_s}, false));
    ASSERT_TRUE(
        PumpUntil([&] { return m_frame->PaneText(ID_PANE_MODEL) == u"MODEL : Handset in download mode"_s; },
                  CONNECT_MS))
        << m_frame->PaneText(ID_PANE_MODEL).toStdString();
    ASSERT_NO_FATAL_FAILURE(Toolbar(ID_BIN, m_pPage));
    EXPECT_FALSE(m_pPage->IsStartEnabled()); // no plug-in can match a handset that cannot tell its software

    // The plug-in chosen by hand.
    ASSERT_NO_FATAL_FAILURE(Toolbar(ID_SELECT_MODEL, m_pHost->ModelDllPage()));
    m_pHost->ModelDllPage()->List()->SetCurSel(0);
    m_pHost->Panel()->Button(CFunctionListPanel::ID_OK)->click();
    ASSERT_EQ(theSettings.m_bAutoModelDll, 0);
    ASSERT_TRUE(PumpUntil([&] { return m_frame->PaneText(ID_PANE_DLL).startsWith(u"DLL : "_s + m_dll); },
                          CONNECT_MS));
    EXPECT_EQ(m_frame->PaneText(ID_PANE_MODEL), u"MODEL : Handset in download mode"_s);

    // Only the operations that write the firmware may start; the others need a handset that talks.
    ASSERT_NO_FATAL_FAILURE(Toolbar(ID_PRL, m_pPage));
    EXPECT_FALSE(m_pPage->IsStartEnabled());
    EXPECT_FALSE(m_pHost->SettingsPage()->findChild<QPushButton*>(u"readButton"_s)->isEnabled());
    ASSERT_NO_FATAL_FAILURE(Toolbar(ID_TRANSFER, m_pHost->TransferPage()));
    EXPECT_FALSE(m_pHost->TransferPage()->IsStartEnabled());
    ASSERT_NO_FATAL_FAILURE(Show(ID_BIN, OP_BIN));

    const QByteArray image = FirmwareImage("VKQ100A2", 3000);
    SetPath("binPathEdit", InputFile(u"rescue.bin"_s, image));
    ASSERT_NO_FATAL_FAILURE(RunToSuccess());
    EXPECT_EQ(StatusLine(),
              u"Software VKQ100A2 written (3024 bytes) and verified; it was in download mode"_s);
    EXPECT_EQ(ReadSimState(m_state).strSwVersion, u"VKQ100A2"_s);

    // Back as a handset that talks: the plug-in chosen by hand matches it and is named.
    ASSERT_NO_FATAL_FAILURE(
        WaitForHandsetBack([&] { return SoftwareVersionText().endsWith("VKQ100A2"_L1); }));
    EXPECT_TRUE(m_pHost->SettingsPage()->findChild<QPushButton*>(u"readButton"_s)->isEnabled());
}

// One private system bus for the whole process: the program connects to the system bus once, at
// the first operation of any test, so a later test's ModemManager must be on that same bus.
class CSystemBus : public ::testing::Environment
{
public:
    void SetUp() override
    {
        m_bus = std::make_unique<CPrivateBus>();
        ASSERT_TRUE(m_bus->Start()) << "dbus-daemon (Debian package dbus) is needed";
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_bus->Address().toLocal8Bit());
    }
    void TearDown() override { m_bus.reset(); }
    std::unique_ptr<CPrivateBus> m_bus;
};
CSystemBus* const g_systemBus = static_cast<CSystemBus*>(::testing::AddGlobalTestEnvironment(new CSystemBus));

// ERI read, write and read again change the shown ERI version; a PRL read of one NAM saves what
// the handset holds, also when the program ends meanwhile. ModemManager, present on the system
// bus, is asked to leave the handset alone for each operation.
TEST_F(UpgradeRefPagesTest, EriAndPrlReadsAndWritesAlsoWhenTheProgramEndsMeanwhile)
{
    CFakeModemManager mm(g_systemBus->m_bus->Address());
    ASSERT_TRUE(mm.Register());
    ASSERT_NO_FATAL_FAILURE(Open());
    const QString uid = u"/sys/devices/pci0000:00/0000:00:14.0/usb1/1-4"_s;
    mm.AddModem(uid, {m_sim.Pty().mid(5)}); // "pts/N", the way it names ttys
    const QString reads = m_files + u"/reads"_s;
    ASSERT_TRUE(QDir().mkpath(reads));
    EXPECT_EQ(EriVersionText(), u"3"_s); // the handset's own
    ASSERT_NO_FATAL_FAILURE(Show(ID_ERI, OP_ERI));

    // A read of a handset that has only the version item but no file: the plug-in's words, and
    // Start comes back with the handset.
    Click("readRadio");
    EXPECT_FALSE(Child<QLineEdit>(m_pPage, "eriPathEdit")->isEnabled());
    Dialogs::SetNextFolder(reads);
    Dialogs::SetNextAnswer(IDYES); // "Are you sure?"; Start is still off while the result is told
    Dialogs::SetNextAnswer(IDOK, [&] { EXPECT_FALSE(m_pPage->IsStartEnabled()); });
    ASSERT_NO_FATAL_FAILURE(RunOperation(Start()));
    EXPECT_EQ(LastMessage(), u"The handset holds no ERI file."_s);
    EXPECT_FALSE(QFileInfo::exists(reads + u"/eri.bin"_s));
    ASSERT_NO_FATAL_FAILURE(WaitForHandsetBack([&] { return EriVersionText() == u"3"_s; }));

    const QByteArray eri = EriFile(2500, 0x0102);
    Click("writeRadio");
    SetPath("eriPathEdit", InputFile(u"new.bin"_s, eri));
    ASSERT_NO_FATAL_FAILURE(RunToSuccess());
    EXPECT_TRUE(StatusLine().contains(u"ERI version 258 written"_s)) << StatusLine().toStdString();
    EXPECT_EQ(qpxtest::ReadFile(Efs(u"roaming/eri_data.bin"_s)), eri);
    const QByteArray item = ReadSimState(m_state).Item(4025);
    ASSERT_GE(item.size(), 2);
    EXPECT_EQ(quint8(item[0]) | (quint8(item[1]) << 8), 258);
    ASSERT_NO_FATAL_FAILURE(WaitForHandsetBack([&] { return EriVersionText() == u"258"_s; }));

    // Read it back into a folder chosen at Start.
    Click("readRadio");
    Dialogs::SetNextFolder(reads);
    ASSERT_NO_FATAL_FAILURE(RunToSuccess());
    EXPECT_EQ(qpxtest::ReadFile(reads + u"/eri.bin"_s), eri);
    EXPECT_TRUE(StatusLine().contains(u"version 258, 2500 bytes"_s)) << StatusLine().toStdString();
    ASSERT_NO_FATAL_FAILURE(WaitForHandsetBack([&] { return EriVersionText() == u"258"_s; }));

    const QByteArray eriLog = LogText();
    // The handset block, once per run, from the information page and the version list.
    EXPECT_TRUE(eriLog.startsWith("Compile Date\t:\tMar 14 2006\r\n")) << eriLog.constData();
    EXPECT_TRUE(eriLog.contains("S/W Version\t:\t12.06  VKQ100A1\r\nESN\t\t:\t8f2a41d3\r\n"))
        << eriLog.constData();
    EXPECT_TRUE(eriLog.contains("ERI Version\t:\t3\r\n\r\n")) << eriLog.constData();
    EXPECT_EQ(eriLog.count("ESN\t\t:\t"), 1);
    EXPECT_TRUE(
        eriLog.contains("Current Operation\t:\tERI\r\nCurrent mode\t\t:\twrite\r\nCOM Port\t\t:\t40\r\n"
                        "Model Name\t\t:\tKOVA Reference\r\n"))
        << eriLog.constData();
    EXPECT_TRUE(eriLog.contains("Current Operation\t:\tERI\r\nCurrent mode\t\t:\tread\r\n"));
    EXPECT_TRUE(eriLog.contains("Last Message\t\t:\t\r\n"));
    ASSERT_TRUE(QFile::remove(reads + u"/eri.bin"_s));

    // PRL: a read of NAM 2.
    ASSERT_NO_FATAL_FAILURE(Show(ID_PRL, OP_PRL));
    Click("readRadio");
    Click("nam2Radio");
    Dialogs::SetNextFolder(reads);
    ASSERT_NO_FATAL_FAILURE(RunToSuccess());
    EXPECT_EQ(QDir(reads).entryList(QDir::Files), QStringList{u"nam2_prl_0001.prl"_s});
    const QByteArray saved = qpxtest::ReadFile(reads + u"/nam2_prl_0001.prl"_s);
    EXPECT_EQ(saved, ReadSimState(m_state).prl[1]);
    EXPECT_EQ(prl::Check(saved), prl::PRL_OK);
    // ModemManager was asked to leave the handset alone for each of the four runs.
    const QStringList calls = mm.Calls();
    ASSERT_EQ(calls.size(), 8) << calls.join(u'\n').toStdString();
    for (int i = 0; i < calls.size(); ++i)
        EXPECT_EQ(calls[i], uid + (i % 2 == 0 ? u" on"_s : u" off"_s)) << i;
    ASSERT_NO_FATAL_FAILURE(WaitForHandsetBack([&] { return PrlVersionText() == u"1: 52    2: 53"_s; }));

    // The program ends during a second read: the plug-in is left to finish on its own (nothing
    // aborts, nothing reaches the windows that are gone) and the day's log has the unfinished read.
    qpxtest::CLogCapture messages;
    ASSERT_TRUE(QFile::remove(reads + u"/nam2_prl_0001.prl"_s));
    Dialogs::SetNextFolder(reads);
    Start()->click();
    ASSERT_EQ(theSettings.m_bBusy, 1) << ShownTexts().toStdString();
    m_frame.reset();
    const QByteArray log = LogText();
    EXPECT_EQ(log.count("Current Operation\t:\tPRL\r\nCurrent mode\t\t:\tread\r\n"), 2) << log.constData();
    EXPECT_TRUE(
        log.contains("Last Message\t\t:\tThe program ended before the plug-in reported the end of the "
                     "operation.\r\n"))
        << log.constData();
    EXPECT_EQ(messages.Count({m_dll, u"has not ended"_s}), 1);
    ASSERT_TRUE(
        PumpUntil([&] { return qpxtest::ReadFile(reads + u"/nam2_prl_0001.prl"_s) == saved; }, OPERATION_MS));
    EXPECT_EQ(LogText(), log);
}

// Closing the window during a firmware download does not end the program: the technician is told
// why. A termination request waits for the download's end, then ends the program as usual, the
// result in the day's log.
TEST_F(UpgradeRefPagesTest, ClosingDuringABinDownloadWaitsForItsEnd)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    qpxtest::CLogCapture messages;
    m_frame->show();
    ASSERT_NO_FATAL_FAILURE(Show(ID_BIN, OP_BIN));
    SetPath("binPathEdit", InputFile(u"new.bin"_s, FirmwareImage("VKQ100A2", 3000)));
    Start()->click();
    ASSERT_EQ(theSettings.m_bBusy, 1) << ShownTexts().toStdString();

    EXPECT_FALSE(m_frame->close());
    EXPECT_TRUE(m_frame->isVisible());
    ASSERT_FALSE(Dialogs::Shown().isEmpty());
    const SMessageBoxRecord told = Dialogs::Shown().constLast();
    EXPECT_EQ(told.strText, u"An operation is running. Wait until it has finished before closing "
                            "the program: interrupting a write can leave the handset unusable."_s);
    EXPECT_EQ(told.strCaption, u"KOVA QPX"_s);
    EXPECT_EQ(told.nButtons, MB_OK);

    // What the termination handler of main() does, in the program's own event loop.
    QTimer::singleShot(0, m_frame.get(), [this] {
        m_frame->SetCloseWithoutQuestion(true);
        QCoreApplication::quit();
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    guard.start(OPERATION_MS);
    EXPECT_EQ(QCoreApplication::exec(), 0) << "the program did not end after the download";
    EXPECT_FALSE(m_frame->isVisible());
    EXPECT_EQ(LastMessage(), u"Download Success!"_s);
    EXPECT_FALSE(ShownTexts().contains(u"Exit the program?"_s));
    EXPECT_EQ(ReadSimState(m_state).strSwVersion, u"VKQ100A2"_s);
    EXPECT_EQ(messages.Count({u"termination"_s, u"operation runs"_s}), 1);
}

// Upgrade, Script and Refurbish one after the other on one handset, each taken back afterwards.
// (What a script itself can do, the plug-in tests try.)
TEST_F(UpgradeRefPagesTest, UpgradeScriptAndRefurbishWriteWhatTheyCarry)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_NO_FATAL_FAILURE(Show(ID_UPGRADE, OP_UPGRADE));
    const QByteArray prl = PrlFile(300, 901);
    const QByteArray eri = EriFile(1500, 0x0203);
    SetPath("binPathEdit", InputFile(u"up.bin"_s, FirmwareImage("VKQ100B1", 1500)));
    SetPath("scrPathEdit", InputFile(u"up.scr"_s, "nv 4 = 2B\n"));
    SetPath("prlPathEdit", InputFile(u"up.prl"_s, prl));
    SetPath("eriPathEdit", InputFile(u"up_eri.bin"_s, eri));
    Click("nam2Radio");
    ASSERT_NO_FATAL_FAILURE(RunToSuccess());
    // The status names each step and where the replaced contents went, within the record's field.
    EXPECT_TRUE(StatusLine().startsWith(u"Software VKQ100B1 written (1524 bytes) and verified"_s))
        << StatusLine().toStdString();
    EXPECT_TRUE(StatusLine().endsWith(
        u"PRL ID 901 written to NAM 2 and verified; previous contents kept in SCRIPT_BK, ERI_BK, PRL_BK"_s))
        << StatusLine().toStdString();
    SSimState s = ReadSimState(m_state);
    ASSERT_TRUE(s.bRead);
    EXPECT_EQ(s.strSwVersion, u"VKQ100B1"_s);
    EXPECT_EQ(s.Item(4).left(1), QByteArray("\x2B"));
    EXPECT_EQ(s.prl[1], prl);
    EXPECT_EQ(s.PrlId(0), 52); // the other NAM untouched
    EXPECT_EQ(qpxtest::ReadFile(Efs(u"roaming/eri_data.bin"_s)), eri);
    ASSERT_NO_FATAL_FAILURE(WaitForHandsetBack([&] {
        return SoftwareVersionText().endsWith("VKQ100B1"_L1) && PrlVersionText() == u"1: 52    2: 901"_s &&
               EriVersionText() == u"515"_s;
    }));

    // Script: its items, then the ERI and the PRL of NAM 1.
    ASSERT_NO_FATAL_FAILURE(Show(ID_SCRIPT, OP_SCRIPT));
    EXPECT_FALSE(Child<QLineEdit>(m_pPage, "binPathEdit")->isEnabled());
    const QByteArray prl1 = PrlFile(250, 777);
    const QByteArray eri1 = EriFile(800, 0x0105);
    SetPath("scrPathEdit", InputFile(u"delivery.scr"_s, "nv 4 = 2A\n"));
    SetPath("prlPathEdit", InputFile(u"s.prl"_s, prl1));
    SetPath("eriPathEdit", InputFile(u"s_eri.bin"_s, eri1));
    Click("nam1Radio");
    ASSERT_NO_FATAL_FAILURE(RunToSuccess());
    EXPECT_TRUE(StatusLine().startsWith(u"Script: "_s)) << StatusLine().toStdString();
    s = ReadSimState(m_state);
    EXPECT_EQ(s.Item(4).left(1), QByteArray("\x2A"));
    EXPECT_EQ(s.prl[0], prl1);
    EXPECT_EQ(qpxtest::ReadFile(Efs(u"roaming/eri_data.bin"_s)), eri1);
    ASSERT_NO_FATAL_FAILURE(WaitForHandsetBack(
        [&] { return PrlVersionText() == u"1: 777    2: 901"_s && EriVersionText() == u"261"_s; }));

    // Refurbish: the software, then the script, and the user's data erased.
    const QMap<QString, QByteArray> userData{{u"pim/phonebook.qpb"_s, QByteArray(600, 'p')},
                                             {u"sms/inbox/0001.msg"_s, "hello"},
                                             {u"ui.data"_s, QByteArray(300, 'u')}};
    for (auto it = userData.cbegin(); it != userData.cend(); ++it)
        ASSERT_TRUE(qpxtest::WriteFile(Efs(it.key()), it.value()));
    ASSERT_TRUE(qpxtest::WriteFile(Efs(u"nvm/keep.bin"_s), "not user data"));
    ASSERT_NO_FATAL_FAILURE(Show(ID_REFURBISH, OP_REFURBISH));
    SetPath("binPathEdit", InputFile(u"r.bin"_s, FirmwareImage("VKQ100A9", 200)));
    SetPath("scrPathEdit", InputFile(u"r.scr"_s, "nv 178 = 01 39 30 30 35 35 35 30 30 30 30\n"));
    Dialogs::SetNextAnswer(IDYES); // Start comes back only with the handset: off while the result is told
    Dialogs::SetNextAnswer(IDOK, [&] { EXPECT_FALSE(m_pPage->IsStartEnabled()); });
    ASSERT_NO_FATAL_FAILURE(RunToSuccess());
    EXPECT_TRUE(StatusLine().contains(u"Software VKQ100A9 written"_s)) << StatusLine().toStdString();
    EXPECT_TRUE(StatusLine().contains(u"Script: 1 items"_s));
    EXPECT_TRUE(StatusLine().contains(u"User data erased: 3 files"_s)) << StatusLine().toStdString();
    s = ReadSimState(m_state);
    EXPECT_EQ(s.strSwVersion, u"VKQ100A9"_s);
    EXPECT_EQ(s.Item(178, 1).left(11), QByteArray("\x01"
                                                  "9005550000"));
    // The user's files are gone from the handset, kept beside the plug-in; other files stay.
    const QStringList kept =
        QDir(m_install + u"MODEL/REFURB_BK"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(kept.size(), 1);
    for (auto it = userData.cbegin(); it != userData.cend(); ++it) {
        EXPECT_FALSE(QFileInfo::exists(Efs(it.key()))) << it.key().toStdString();
        EXPECT_EQ(qpxtest::ReadFile(m_install + u"MODEL/REFURB_BK/"_s + kept[0] + u'/' + it.key()),
                  it.value())
            << it.key().toStdString();
    }
    EXPECT_TRUE(QFileInfo(Efs(u"sms/inbox"_s)).isDir());
    EXPECT_EQ(qpxtest::ReadFile(Efs(u"nvm/keep.bin"_s)), QByteArray("not user data"));
    ASSERT_NO_FATAL_FAILURE(
        WaitForHandsetBack([&] { return SoftwareVersionText().endsWith("VKQ100A9"_L1); }));
    const QByteArray log = LogText();
    for (const char* operation : {"Upgrade", "Script", "Refurbish"})
        EXPECT_TRUE(log.contains("Current Operation\t:\t"_ba + operation + "\r\n")) << operation;
}

} // namespace
} // namespace refpages
