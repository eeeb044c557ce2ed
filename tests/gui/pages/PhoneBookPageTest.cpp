#include "pages/PhoneBookPage.h"
#include "PageFixture.h"
#include "controls/SkinButton.h"
#include "controls/XListCtrl.h"
#include "pages/CsvListLoader.h"
#include "pages/PluginLists.h"
#include "platform/HostCommands.h"

#include <QLineEdit>
#include <QRadioButton>

namespace {

using pagetest::PageFixture;
using pagetest::PumpUntil;

class PhoneBookPageTest : public PageFixture
{
protected:
    void SetUp() override
    {
        PageFixture::SetUp();
        Frame();
    }
    CPhoneBookPage& Page() { return *Host().PhoneBookPage(); }
    template <typename T> T* Child(const char* name)
    {
        return Page().findChild<T*>(QString::fromLatin1(name));
    }
    QRadioButton* ReadRadio() { return Child<QRadioButton>("readRadio"); }
    QRadioButton* WriteRadio() { return Child<QRadioButton>("writeRadio"); }
    QLineEdit* PathEdit() { return Child<QLineEdit>("csvPathEdit"); }
    CSkinButton* Browse() { return Child<CSkinButton>("browseButton"); }
    CSkinButton* Start() { return Child<CSkinButton>("startButton"); }
    CXListCtrl* List() { return Page().List(); }

    void FillDummyRows(int n)
    {
        for (int i = 0; i < n; ++i)
            List()->InsertItem(i, QStringLiteral("old%1").arg(i));
    }
    QString WriteCsv(const QByteArray& bytes, const QString& name = QStringLiteral("book.csv"))
    {
        const QString path = m_root + QStringLiteral("/csv/") + name;
        EXPECT_TRUE(qpxtest::WriteFile(path, bytes));
        return path;
    }
};

// Write reads the named file into the list; one it cannot read leaves the list as it was and says
// so. Browse starts in the nearest folder that exists and loads what is chosen.
TEST_F(PhoneBookPageTest, BrowseStartsInTheNearestFolderAndLoadsInWriteMode)
{
    const QString existing = WriteCsv("n1,m1\nn2,m2\nn3,m3\n");
    FillDummyRows(2);
    PathEdit()->setText(m_root + QStringLiteral("/csv/sub/gone.csv"));
    WriteRadio()->click();
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("ERR: Failed to get data from file")});
    EXPECT_EQ(List()->GetItemCount(), 2);
    EXPECT_TRUE(PathEdit()->isEnabled() && Browse()->isEnabled());

    // Cancel changes nothing.
    Dialogs::SetNextFile(QString());
    Browse()->click();
    ASSERT_EQ(Dialogs::FileRequests().size(), 1);
    const SFileDialogRequest req = Dialogs::FileRequests().first();
    EXPECT_FALSE(req.bSave);
    EXPECT_EQ(QStringList({req.strTitle, req.strInitialFolder}) + req.filters,
              QStringList({"Select CSV file", m_root + "/csv", "CSV Files (*.csv)", "All Files (*.*)"}));
    EXPECT_EQ(PathEdit()->text(), m_root + QStringLiteral("/csv/sub/gone.csv"));

    Dialogs::SetNextFile(existing);
    Browse()->click();
    EXPECT_EQ(PathEdit()->text(), existing);
    EXPECT_EQ(theSettings.m_strLastCsvFile, existing);
    ASSERT_EQ(List()->GetItemCount(), 3);
    EXPECT_EQ(List()->GetItemText(2, 1), QStringLiteral("m3"));
}

// Nothing reaches the plug-in without a mode, a plug-in with the export, a file that is a
// phonebook, nor without a Yes; in Write mode the list shows what the named file holds.
TEST_F(PhoneBookPageTest, WriteStartChecksTheFileAndAsksFirst)
{
    const QString invalid = QStringLiteral("Invaild CSV File. Choose another one!");
    const QString noExport = QStringLiteral("ERR: failed to load phonebook dll function.");
    // clang-format off
    // mode: 'r'ead, 'w'rite or none; plugin: installed, or N/A, or a file that is no library
    const struct { char mode; QString plugin, path, message; int rows; } cases[] = {
        {0, "qpx_rec_plugin", {}, QStringLiteral("Choose Read/Write Mode First!"), 0},
        {'r', "N/A", {}, noExport, 0},
        {'r', WriteCsv("not a library", QStringLiteral("fake.so")), {}, noExport, 0},
        {'r', "qpx_pages_noop_plugin", {}, noExport, 0},
        {'w', "qpx_rec_plugin", {}, QStringLiteral("Choose CSV File and proceed!"), 0},
        {'w', "qpx_rec_plugin", m_root + QStringLiteral("/missing.csv"), invalid, 0},
        {'w', "qpx_rec_plugin", WriteCsv("", QStringLiteral("empty.csv")), invalid, 0},
        {'w', "qpx_rec_plugin", WriteCsv("\r\n   \n , \t\n", QStringLiteral("blank.csv")), invalid, 2},
        {'w', "qpx_rec_plugin", WriteCsv(QByteArray("Kim,010\n\0\0\0\x01", 12), QStringLiteral("binary.csv")),
         invalid, 2},
        {'w', "qpx_rec_plugin", WriteCsv("a,1\n"), QStringLiteral("Are you sure?"), 1}, // answered No
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE((c.message + u' ' + c.plugin + u' ' + c.path).toStdString());
        Dialogs::ClearRecords();
        for (QRadioButton* radio :
             {ReadRadio(), WriteRadio()}) { // neither: what the mode check guards against
            radio->setAutoExclusive(false);
            radio->setChecked(false);
        }
        PathEdit()->clear();
        if (c.mode)
            (c.mode == 'r' ? ReadRadio() : WriteRadio())->click();
        if (c.plugin.startsWith(QLatin1String("qpx_")))
            InstallPlugin(c.plugin);
        else
            theSettings.Set(&CAppSettings::m_strDllFile, c.plugin);
        PathEdit()->setText(c.path);
        Dialogs::SetNextAnswer(IDNO);
        Page().OnStart();
        EXPECT_EQ(Messages(), QStringList{c.message});
        EXPECT_EQ(List()->GetItemCount(), c.rows);
        EXPECT_FALSE(Page().IsRunning());
        EXPECT_EQ(theSettings.m_bBusy.load(), 0);
    }
    EXPECT_EQ(Dialogs::Shown().first().nButtons, MB_YESNO);
    EXPECT_TRUE(Dialogs::FileRequests().isEmpty());
    EXPECT_TRUE(CallOf(QStringLiteral("PhoneBook")).isEmpty());
}

// A Read saves under the name the CSV rule gives ("old" under the CSV filter is "old.csv"); an
// existing file is asked about by that name (the dialog itself does not ask): No starts nothing,
// Yes replaces. A cancelled save dialog starts nothing and says nothing. While a Read runs the
// mode cannot change; another message of the plug-in does not end the run, the completion does
// (the plug-in's own, posted before ReleaseRs joined it, is then ignored), and Start waits for the
// reconnection.
TEST_F(PhoneBookPageTest, ReadSaveNameFollowsTheCsvRuleAndTheRunLocksTheMode)
{
    const QString dll = InstallPlugin();
    const QString folder = m_root + QStringLiteral("/out");
    ASSERT_TRUE(qpxtest::WriteFile(folder + QStringLiteral("/old.csv"), "kept,1\n"));
    const QString question = QStringLiteral("old.csv already exists.\nDo you want to replace it?");
    for (const int answer : {int(IDNO), int(IDYES), 0}) {
        // The failed reconnection after each run forgets the model; choose it again.
        theSettings.Set(&CAppSettings::m_strDllFile, dll);
        QFile::remove(m_recLog);
        Dialogs::ClearRecords();
        Dialogs::SetNextFile(answer ? folder + QStringLiteral("/old") : QString(), 0);
        if (answer)
            Dialogs::SetNextAnswer(answer);
        Start()->setEnabled(true);
        Page().OnStart();
        if (answer == IDYES) {
            EXPECT_EQ(Host().m_nOperation, OP_PHONEBOOK);
            EXPECT_FALSE(WriteRadio()->isEnabled());
            Page().OnWriteRadio();
            EXPECT_EQ(Page().Mode(), 1);
            OperationResult r{};
            r.nResult = -1;
            Page().OnMessage(WM_PLUGIN_NOTIFY_MSG, PLUGIN_DONE + 1, reinterpret_cast<LPARAM>(&r));
            EXPECT_TRUE(Page().IsRunning());
            Page().OnMessage(WM_PLUGIN_NOTIFY_MSG, PLUGIN_DONE, reinterpret_cast<LPARAM>(&r));
            ASSERT_TRUE(WaitIdle());
            EXPECT_TRUE(Calls().contains(QStringLiteral("ReleaseRs page=1")));
            EXPECT_FALSE(Start()->isEnabled());
            EXPECT_TRUE(ReadRadio()->isEnabled() && WriteRadio()->isEnabled());
        }
        const QStringList done{question, QStringLiteral("Download Success!")};
        EXPECT_EQ(Messages(), answer == IDYES ? done : (answer ? QStringList{question} : QStringList{}));
        const SFileDialogRequest r = Dialogs::FileRequests().first();
        EXPECT_TRUE(r.bSave && !r.bConfirmOverwrite);
        EXPECT_EQ(r.filters,
                  (QStringList{QStringLiteral("CSV Files (*.csv)"), QStringLiteral("All Files (*.*)")}));
        EXPECT_EQ(CallOf(QStringLiteral("PhoneBook"))
                      .contains(QStringLiteral(" mode=1 csv=") + folder + QStringLiteral("/old.csv ")),
                  answer == IDYES);
        EXPECT_FALSE(Page().IsRunning());
    }
    // The path box is not touched by a Read.
    EXPECT_EQ(PathEdit()->text(), QString());
    EXPECT_EQ(theSettings.m_strLastCsvFile, QString());
}

TEST_F(PhoneBookPageTest, ALargeFileIsParsedAsideAndWhatChangesTheListMeanwhileWins)
{
    QByteArray text;
    for (int i = 0; text.size() < 2 * CSV_PARSE_ASIDE_BYTES; ++i)
        text += "Name " + QByteArray::number(i) + " , 010-" + QByteArray::number(i) + ",,x" +
                (i % 3 == 0 ? QByteArray(",a,b,c,d,e") : QByteArray()) + "\r\n";
    const QString path = WriteCsv(text);
    CXListCtrl expected(&Page());
    for (int c = 0; c < 7; ++c)
        expected.InsertColumn(c, QString::number(c));
    FillListFromCsvNow(&expected, qpxtest::ReadFile(path));
    const int rows = expected.GetItemCount();

    // The window goes on while the file is parsed; then the list holds what reading it at once gives.
    FillDummyRows(2);
    PathEdit()->setText(path);
    WriteRadio()->click();
    EXPECT_EQ(List()->GetItemCount(), 0);
    ASSERT_TRUE(PumpUntil([&] { return List()->GetItemCount() == rows; }, 20000));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < 7; ++c)
            ASSERT_EQ(List()->GetItemText(r, c), expected.GetItemText(r, c)) << r << ":" << c;

    // A plug-in asking in the meantime sees the whole file.
    ReadRadio()->click();
    WriteRadio()->click();
    EXPECT_EQ(Page().PluginList()->RowCount(), rows);

    // Emptied by the Read radio while the file is parsed: the rows never come.
    WriteRadio()->click();
    ReadRadio()->click();
    CompletePendingCsvLoad(List());
    QCoreApplication::processEvents();
    EXPECT_EQ(List()->GetItemCount(), 0);
    EXPECT_TRUE(Dialogs::Shown().isEmpty());
}

} // namespace
