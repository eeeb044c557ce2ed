// Failures through the real program: a handset that vanishes in the middle of an operation is
// reported with the plug-in's own words, the page is unlocked, the day's operation log records the
// failure, and once a handset is back on the same port the program connects to it and the
// operation can be run again. A handset that acknowledges writes but keeps altered data is caught
// by the read-back and reported as a failure by every page.
#include "RefPagesFixture.h"
#include "controls/EditGrid.h"
#include "pages/NvCatalogue.h"
#include "pages/PhoneBookPage.h"
#include "pages/SettingsPage.h"
#include "pages/UpgradePage.h"

#include <QLineEdit>
#include <QRadioButton>

namespace refpages {
namespace {

constexpr int SIM_PORT = 42;

const QString NO_ANSWER = QStringLiteral("The handset does not answer");

class FailureRefPagesTest : public CRefPagesTest
{
protected:
    // The simulator hung up: it ends by itself, the program loses the link and, with no port,
    // offers no Start.
    void ExpectHandsetGone(const std::function<bool()>& startEnabled)
    {
        ASSERT_TRUE(PumpUntil([&] { return !m_sim.IsRunning(); }, 5000)) << "the simulator did not hang up";
        ASSERT_TRUE(
            PumpUntil([&] { return !m_pHost->Strip()->IsLinkRunning() && !startEnabled(); }, CONNECT_MS));
        EXPECT_EQ(m_frame->PaneText(ID_PANE_PORT), QStringLiteral("PORT : Not Connected "));
        EXPECT_EQ(theSettings.m_nPortNum, -1);
    }
    // A new handset on the same port: the program finds it and chooses the plug-in again.
    void ExpectReconnectionToANewHandset(const std::function<bool()>& startEnabled)
    {
        ASSERT_TRUE(StartSim());
        ASSERT_TRUE(PumpUntil(
            [&] {
                return Connected() && HandsetShown() && startEnabled() &&
                       m_frame->PaneText(ID_PANE_DLL).startsWith(QStringLiteral("DLL : ") + m_dll);
            },
            CONNECT_MS))
            << "no reconnection: " << m_frame->PaneText(ID_PANE_PORT).toStdString() << " / "
            << m_frame->PaneText(ID_PANE_DLL).toStdString();
    }
    // The log block of the failed operation names the plug-in's message and status.
    void ExpectFailureLogged(const char* operation, const QString& message)
    {
        const QByteArray log = LogText();
        EXPECT_TRUE(log.contains(QByteArray("Current Operation\t:\t") + operation + "\r\n"))
            << log.constData();
        EXPECT_TRUE(log.contains("Last Message\t\t:\t" + message.toUtf8() + "\r\n")) << log.constData();
        EXPECT_TRUE(log.contains("Last Status\t\t:\tFailed: " + message.toUtf8() + "\r\n"))
            << log.constData();
    }
};

TEST_F(FailureRefPagesTest, HandsetVanishingDuringPrlBlocksFromTheUpgradePage)
{
    // The second PRL block (0x48) is never answered and the line drops.
    ASSERT_NO_FATAL_FAILURE(Launch(SIM_PORT, {QStringLiteral("--hangup-at"), QStringLiteral("0x48:2")}));
    CUpgradePage* page = m_pHost->UpgradePage();
    ASSERT_NO_FATAL_FAILURE(Toolbar(ID_PRL, page));
    ASSERT_TRUE(PumpUntil([&] { return page->IsStartEnabled(); }, CONNECT_MS));
    EXPECT_EQ(PrlVersionText(), QStringLiteral("1: 52    2: 53"));

    const QByteArray prl = PrlFile(500, 4242); // five blocks
    Child<QRadioButton>(page, "writeRadio")->click();
    Child<QRadioButton>(page, "nam1Radio")->click();
    Child<QLineEdit>(page, "prlPathEdit")->setText(InputFile(QStringLiteral("new.prl"), prl));
    ASSERT_NO_FATAL_FAILURE(RunOperation(Child<QPushButton>(page, "startButton")));

    const QString message = LastMessage();
    EXPECT_TRUE(message.startsWith(NO_ANSWER)) << message.toStdString();
    EXPECT_EQ(Child<QLabel>(page, "statusValue")->text(), QStringLiteral("Failed: ") + message);
    // Unlocked: nothing of the run lock is left.
    EXPECT_EQ(theSettings.m_bBusy, 0);
    EXPECT_FALSE(page->IsRunning());
    EXPECT_EQ(page->RunningFace(), 0);
    EXPECT_TRUE(PanelUnlocked());
    for (const char* radio : {"readRadio", "writeRadio", "nam1Radio", "nam2Radio", "nam12Radio"})
        EXPECT_TRUE(Child<QRadioButton>(page, radio)->isEnabled()) << radio;
    EXPECT_TRUE(Child<QPushButton>(page, "prlBrowseButton")->isEnabled());
    ASSERT_NO_FATAL_FAILURE(ExpectFailureLogged("PRL", message));
    EXPECT_TRUE(LogText().contains("Current mode\t\t:\twrite\r\n"));
    EXPECT_EQ(ReadSimState(m_state).PrlId(0), 52); // half a PRL is never taken

    ASSERT_NO_FATAL_FAILURE(ExpectHandsetGone([&] { return page->IsStartEnabled(); }));
    ASSERT_NO_FATAL_FAILURE(ExpectReconnectionToANewHandset([&] { return page->IsStartEnabled(); }));
    EXPECT_EQ(PrlVersionText(), QStringLiteral("1: 52    2: 53"));

    // The same write now goes through.
    Dialogs::ClearRecords();
    ASSERT_NO_FATAL_FAILURE(RunOperation(Child<QPushButton>(page, "startButton")));
    EXPECT_EQ(LastMessage(), QStringLiteral("Download Success!"));
    EXPECT_EQ(ReadSimState(m_state).prl[0], prl);
    ASSERT_TRUE(PumpUntil([&] { return PrlVersionText() == QStringLiteral("1: 4242    2: 53"); }, CONNECT_MS))
        << PrlVersionText().toStdString();
}

TEST_F(FailureRefPagesTest, HandsetVanishingDuringFileSystemWritesFromThePhonebookPage)
{
    // EFS2 requests (0x4B): the file system greeting and the first steps pass, then the line drops.
    ASSERT_NO_FATAL_FAILURE(Launch(SIM_PORT, {QStringLiteral("--hangup-at"), QStringLiteral("0x4B:4")}));
    CPhoneBookPage* page = m_pHost->PhoneBookPage();
    ASSERT_NO_FATAL_FAILURE(Toolbar(ID_PHONEBOOK, page));
    ASSERT_TRUE(PumpUntil([&] { return page->IsStartEnabled(); }, CONNECT_MS));

    Child<QLineEdit>(page, "csvPathEdit")
        ->setText(InputFile(QStringLiteral("in.csv"), "Anna Berg,2125550147,,,,,\nBo,1,,,,,\n"));
    Child<QRadioButton>(page, "writeRadio")->click();
    ASSERT_EQ(page->List()->GetItemCount(), 2);
    ASSERT_NO_FATAL_FAILURE(RunOperation(Child<QPushButton>(page, "startButton")));

    // Where the handset's old phonebook was kept comes first, then why the write stopped.
    const QString message = LastMessage();
    EXPECT_TRUE(message.startsWith(QStringLiteral("The handset's previous contents are kept beside the "
                                                  "plug-in in PB_BK/")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral(". ") + NO_ANSWER)) << message.toStdString();
    EXPECT_EQ(Child<QLabel>(page, "statusValue")->text(), QStringLiteral("Failed: ") + message);
    EXPECT_FALSE(page->IsRunning());
    EXPECT_TRUE(PanelUnlocked());
    EXPECT_TRUE(Child<QRadioButton>(page, "readRadio")->isEnabled());
    EXPECT_TRUE(Child<QRadioButton>(page, "writeRadio")->isEnabled());
    EXPECT_TRUE(Child<QPushButton>(page, "browseButton")->isEnabled());
    ASSERT_NO_FATAL_FAILURE(ExpectFailureLogged("Phonebook", message));
    EXPECT_FALSE(qpxtest::ReadFile(Efs(QStringLiteral("pim/phonebook.qpb"))).contains("Anna Berg"));

    ASSERT_NO_FATAL_FAILURE(ExpectHandsetGone([&] { return page->IsStartEnabled(); }));
    EXPECT_EQ(page->List()->GetItemCount(), 2); // the file's entries stay listed without a port
    ASSERT_NO_FATAL_FAILURE(ExpectReconnectionToANewHandset([&] { return page->IsStartEnabled(); }));
    Dialogs::ClearRecords();
    ASSERT_NO_FATAL_FAILURE(RunOperation(Child<QPushButton>(page, "startButton")));
    EXPECT_EQ(LastMessage(), QStringLiteral("Download Success!"));
    EXPECT_TRUE(qpxtest::ReadFile(Efs(QStringLiteral("pim/phonebook.qpb"))).contains("Anna Berg"));
}

TEST_F(FailureRefPagesTest, HandsetVanishingDuringTheFirmwareStreamKeepsItsSoftware)
{
    // Download requests 07: the boot loader's parameter request, then the stream writes (blocks
    // of 4096 bytes).
    ASSERT_NO_FATAL_FAILURE(Launch(SIM_PORT, {QStringLiteral("--hangup-at"), QStringLiteral("0x07:4")}));
    CUpgradePage* page = m_pHost->UpgradePage();
    ASSERT_NO_FATAL_FAILURE(Toolbar(ID_BIN, page));
    ASSERT_TRUE(PumpUntil([&] { return page->IsStartEnabled(); }, CONNECT_MS));
    Child<QLineEdit>(page, "binPathEdit")
        ->setText(InputFile(QStringLiteral("new.bin"), FirmwareImage("VKQ100A2", 20000)));
    ASSERT_NO_FATAL_FAILURE(RunOperation(Child<QPushButton>(page, "startButton")));

    const QString message = LastMessage();
    EXPECT_TRUE(message.startsWith(NO_ANSWER)) << message.toStdString();
    EXPECT_FALSE(page->IsRunning());
    EXPECT_TRUE(PanelUnlocked());
    EXPECT_TRUE(Child<QPushButton>(page, "binBrowseButton")->isEnabled());
    ASSERT_NO_FATAL_FAILURE(ExpectFailureLogged("Bin Download", message));

    ASSERT_NO_FATAL_FAILURE(ExpectHandsetGone([&] { return page->IsStartEnabled(); }));
    ASSERT_NO_FATAL_FAILURE(ExpectReconnectionToANewHandset([&] { return page->IsStartEnabled(); }));
    EXPECT_TRUE(SoftwareVersionText().endsWith(QLatin1String("VKQ100A1")))
        << SoftwareVersionText().toStdString();
    EXPECT_EQ(ReadSimState(m_state).strSwVersion, QStringLiteral("VKQ100A1"));
}

TEST_F(FailureRefPagesTest, WritesStoredAlteredAreFailuresOnEveryPage)
{
    // PRL blocks, item writes and file writes are acknowledged but stored with one byte changed.
    ASSERT_NO_FATAL_FAILURE(Launch(SIM_PORT, {QStringLiteral("--bad-store"), QStringLiteral("0x48"),
                                              QStringLiteral("--bad-store"), QStringLiteral("0x27"),
                                              QStringLiteral("--bad-store"), QStringLiteral("0x4B")}));
    const auto expectReadBackFailure = [&](const QWidget* page, const char* operation) {
        const QString message = LastMessage();
        EXPECT_TRUE(message.contains(QStringLiteral("read back")) &&
                    message.contains(QStringLiteral("differs")))
            << message.toStdString();
        EXPECT_EQ(Child<QLabel>(page, "statusValue")->text(), QStringLiteral("Failed: ") + message);
        EXPECT_TRUE(PanelUnlocked());
        ExpectFailureLogged(operation, message);
    };

    // PRL from the upgrade page.
    CUpgradePage* upgrade = m_pHost->UpgradePage();
    ASSERT_NO_FATAL_FAILURE(Toolbar(ID_PRL, upgrade));
    ASSERT_TRUE(PumpUntil([&] { return upgrade->IsStartEnabled(); }, CONNECT_MS));
    const QByteArray prl = PrlFile(300, 4343);
    Child<QRadioButton>(upgrade, "writeRadio")->click();
    Child<QRadioButton>(upgrade, "nam2Radio")->click();
    Child<QLineEdit>(upgrade, "prlPathEdit")->setText(InputFile(QStringLiteral("new.prl"), prl));
    ASSERT_NO_FATAL_FAILURE(RunOperation(Child<QPushButton>(upgrade, "startButton")));
    expectReadBackFailure(upgrade, "PRL");
    EXPECT_NE(ReadSimState(m_state).prl[1], prl);
    ASSERT_TRUE(
        PumpUntil([&] { return Connected() && HandsetShown() && upgrade->IsStartEnabled(); }, CONNECT_MS))
        << "no reconnection";

    // An item from the settings page.
    CSettingsPage* settings = m_pHost->SettingsPage();
    ASSERT_NO_FATAL_FAILURE(Toolbar(ID_SETTING, settings));
    ASSERT_TRUE(PumpUntil([&] { return settings->IsStartEnabled(); }, CONNECT_MS));
    settings->Tabs()->setCurrentIndex(1);
    ASSERT_NO_FATAL_FAILURE(RunOperation(Child<QPushButton>(settings, "readButton")));
    ASSERT_TRUE(
        PumpUntil([&] { return Connected() && HandsetShown() && settings->IsStartEnabled(); }, CONNECT_MS))
        << "no reconnection";
    const int mdn = static_cast<int>(NvCategoryItems(1).indexOf(QStringLiteral("MDN")));
    settings->Grid(1)->SetItemText(mdn, 1, QStringLiteral("3105559876"));
    Dialogs::ClearRecords();
    ASSERT_NO_FATAL_FAILURE(RunOperation(Child<QPushButton>(settings, "writeButton")));
    expectReadBackFailure(settings, "Setting");
    EXPECT_TRUE(settings->IsStartEnabled());
    ASSERT_TRUE(PumpUntil([&] { return Connected() && HandsetShown(); }, CONNECT_MS)) << "no reconnection";

    // A file from the phonebook page.
    CPhoneBookPage* phonebook = m_pHost->PhoneBookPage();
    ASSERT_NO_FATAL_FAILURE(Toolbar(ID_PHONEBOOK, phonebook));
    ASSERT_TRUE(PumpUntil([&] { return phonebook->IsStartEnabled(); }, CONNECT_MS));
    Child<QLineEdit>(phonebook, "csvPathEdit")
        ->setText(InputFile(QStringLiteral("in.csv"), "Anna Berg,2125550147,,,,,\n"));
    Child<QRadioButton>(phonebook, "writeRadio")->click();
    Dialogs::ClearRecords();
    ASSERT_NO_FATAL_FAILURE(RunOperation(Child<QPushButton>(phonebook, "startButton")));
    expectReadBackFailure(phonebook, "Phonebook");
    ASSERT_TRUE(
        PumpUntil([&] { return Connected() && HandsetShown() && phonebook->IsStartEnabled(); }, CONNECT_MS))
        << "no reconnection";
}

} // namespace
} // namespace refpages
