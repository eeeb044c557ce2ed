#include "pages/PhoneBookPage.h"
#include "FakePageServices.h"
#include "PageFixture.h"
#include "controls/SkinButton.h"
#include "controls/XListCtrl.h"
#include "controls/XListModel.h"
#include "pages/CsvListLoader.h"
#include "pages/PluginLists.h"
#include "platform/HostCommands.h"
#include "plugin/ByteText.h"

#include <QLabel>
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

    QStringList Row(int r)
    {
        QStringList out;
        for (int c = 0; c < List()->GetColumnCount(); ++c)
            out.append(List()->GetItemText(r, c));
        return out;
    }
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
    // Both radios clear (the state the mode check guards against).
    void ClearRadios()
    {
        ReadRadio()->setAutoExclusive(false);
        WriteRadio()->setAutoExclusive(false);
        ReadRadio()->setChecked(false);
        WriteRadio()->setChecked(false);
    }
    void StartAndWait()
    {
        Start()->setEnabled(true);
        Page().OnStart();
        ASSERT_TRUE(WaitIdle());
    }
};

TEST_F(PhoneBookPageTest, FreshPageIsInReadModeWithTheLastCsvFile)
{
    theSettings.m_strLastCsvFile = QStringLiteral("/data/last.csv");
    qpxtest::CFakePageServices services;
    CPhoneBookPage p(nullptr, services, QRect(205, 130, 585, 600));
    auto child = [&p](const char* name) { return p.findChild<QWidget*>(QString::fromLatin1(name)); };
    EXPECT_EQ(p.Mode(), 1);
    EXPECT_TRUE(static_cast<QRadioButton*>(child("readRadio"))->isChecked());
    EXPECT_EQ(static_cast<QLineEdit*>(child("csvPathEdit"))->text(), QStringLiteral("/data/last.csv"));
    EXPECT_FALSE(child("csvPathEdit")->isEnabled());
    EXPECT_FALSE(child("browseButton")->isEnabled());
}

// Each radio empties the list; Write opens the path box and reads a named file into the list,
// and one it cannot read leaves the list as it was and says so.
TEST_F(PhoneBookPageTest, ModeRadiosEmptyTheListAndSwitchThePathBox)
{
    for (const bool write : {true, false}) {
        SCOPED_TRACE(write);
        FillDummyRows(3);
        (write ? WriteRadio() : ReadRadio())->click();
        EXPECT_EQ(Page().Mode(), write ? 0 : 1);
        EXPECT_EQ(List()->GetItemCount(), 0);
        EXPECT_EQ(PathEdit()->isEnabled(), write);
        EXPECT_EQ(Browse()->isEnabled(), write);
        EXPECT_TRUE(Dialogs::Shown().isEmpty());
    }
    FillDummyRows(2);
    PathEdit()->setText(m_root + QStringLiteral("/nowhere/missing.csv"));
    WriteRadio()->click();
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("ERR: Failed to get data from file")});
    EXPECT_EQ(List()->GetItemCount(), 2);
}

TEST_F(PhoneBookPageTest, WriteReadsTheNamedFileIntoTheList)
{
    const QString path = WriteCsv("a,b\r\nc,d\r\n\r\n ,  12 3 ,x,y,z,w,v,extra1,extra2\n\tt ,u,\n"
                                  "\xb1\xe8\xbf\xb5\xbc\xf6,J\xfcrgen,\xea\xb9\x80\n");
    PathEdit()->setText(path);
    WriteRadio()->click();
    ASSERT_EQ(List()->GetItemCount(), 5);
    // Bytes of an 8-bit code page (CP949, Latin-1) stay as they are; UTF-8 shows as text.
    EXPECT_EQ(BytesFromText(List()->GetItemText(4, 0)), QByteArray("\xb1\xe8\xbf\xb5\xbc\xf6"));
    EXPECT_EQ(BytesFromText(List()->GetItemText(4, 1)), QByteArray("J\xfcrgen"));
    EXPECT_EQ(List()->GetItemText(4, 2), QStringLiteral("김"));
    EXPECT_EQ(Row(1).mid(0, 2), (QStringList{QStringLiteral("c"), QStringLiteral("d")}));
    EXPECT_EQ(Row(2),
              (QStringList{QString(), QStringLiteral("12 3"), QStringLiteral("x"), QStringLiteral("y"),
                           QStringLiteral("z"), QStringLiteral("w"), QStringLiteral("v")}));
    EXPECT_EQ(Row(3).mid(0, 3), (QStringList{QStringLiteral("\tt"), QStringLiteral("u"), QString()}));
    EXPECT_TRUE(Dialogs::Shown().isEmpty());
}

TEST_F(PhoneBookPageTest, BrowseStartsInTheNearestFolderAndLoadsInWriteMode)
{
    const QString existing = WriteCsv("n1,m1\nn2,m2\n");
    WriteRadio()->click();
    PathEdit()->setText(m_root + QStringLiteral("/csv/sub/gone.csv"));

    // Cancel changes nothing.
    Dialogs::SetNextFile(QString());
    Browse()->click();
    ASSERT_EQ(Dialogs::FileRequests().size(), 1);
    const SFileDialogRequest req = Dialogs::FileRequests().first();
    EXPECT_FALSE(req.bSave);
    EXPECT_EQ(req.strTitle, QStringLiteral("Select CSV file"));
    EXPECT_EQ(req.strInitialFolder, m_root + QStringLiteral("/csv"));
    EXPECT_EQ(req.filters,
              (QStringList{QStringLiteral("CSV Files (*.csv)"), QStringLiteral("All Files (*.*)")}));
    EXPECT_EQ(PathEdit()->text(), m_root + QStringLiteral("/csv/sub/gone.csv"));

    Dialogs::SetNextFile(existing);
    Browse()->click();
    EXPECT_EQ(PathEdit()->text(), existing);
    EXPECT_EQ(theSettings.m_strLastCsvFile, existing);
    ASSERT_EQ(List()->GetItemCount(), 2);
    EXPECT_EQ(List()->GetItemText(1, 1), QStringLiteral("m2"));
}

// Nothing reaches the plug-in without a mode, a plug-in with the export, a file that is a
// phonebook, nor without a Yes; in Write mode the list shows what the named file holds.
TEST_F(PhoneBookPageTest, WriteStartChecksTheFileAndAsksFirst)
{
    const QString invalid = QStringLiteral("Invaild CSV File. Choose another one!");
    const QString noExport = QStringLiteral("ERR: failed to load phonebook dll function.");
    const struct
    {
        char mode;          // 'r'ead, 'w'rite or none
        const char* plugin; // installed, or N/A, or a file that is no library
        QString path, message;
        int rows;
    } cases[] = {
        {0, "qpx_rec_plugin", {}, QStringLiteral("Choose Read/Write Mode First!"), 0},
        {'r', "N/A", {}, noExport, 0},
        {'r', "fake.so", {}, noExport, 0},
        {'r', "qpx_pages_noop_plugin", {}, noExport, 0},
        {'w', "qpx_rec_plugin", {}, QStringLiteral("Choose CSV File and proceed!"), 0},
        {'w', "qpx_rec_plugin", m_root + QStringLiteral("/missing.csv"), invalid, 0},
        {'w', "qpx_rec_plugin", WriteCsv("", QStringLiteral("empty.csv")), invalid, 0},
        {'w', "qpx_rec_plugin", WriteCsv("\r\n   \n , \t\n", QStringLiteral("blank.csv")), invalid, 2},
        {'w', "qpx_rec_plugin", WriteCsv(QByteArray("Kim,010\n\0\0\0\x01", 12), QStringLiteral("binary.csv")),
         invalid, 2},
        {'w', "qpx_rec_plugin", WriteCsv("a,1\n"), QStringLiteral("Are you sure?"), 1}, // answered No
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.toStdString() + " " + c.plugin + " " + c.path.toStdString());
        Dialogs::ClearRecords();
        ClearRadios();
        PathEdit()->clear();
        if (c.mode)
            (c.mode == 'r' ? ReadRadio() : WriteRadio())->click();
        if (QLatin1String(c.plugin).startsWith(QLatin1String("qpx_")))
            InstallPlugin(QString::fromLatin1(c.plugin));
        else
            theSettings.Set(&CAppSettings::m_strDllFile,
                            QLatin1String(c.plugin) == QLatin1String("N/A")
                                ? QStringLiteral("N/A")
                                : WriteCsv("not a library", QStringLiteral("fake.so")));
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

TEST_F(PhoneBookPageTest, ReadSaveNameFollowsTheCsvRule)
{
    const QString dll = InstallPlugin();
    const QString folder = m_root + QStringLiteral("/out");
    QDir().mkpath(folder);
    struct SCase
    {
        QString chosen;
        int filter;
        QString expected;
    };
    const QList<SCase> cases = {
        {folder + QStringLiteral("/book"), 0, folder + QStringLiteral("/book.csv")},
        {folder + QStringLiteral("/BOOK.CSV"), 0, folder + QStringLiteral("/BOOK.CSV")},
        {folder + QStringLiteral("/plain.txt"), 1, folder + QStringLiteral("/plain.txt")},
    };
    for (const SCase& c : cases) {
        QFile::remove(m_recLog);
        Dialogs::ClearRecords();
        // The failed reconnection after each run forgets the model; choose it again.
        theSettings.Set(&CAppSettings::m_strDllFile, dll);
        Dialogs::SetNextFile(c.chosen, c.filter);
        StartAndWait();
        ASSERT_EQ(Dialogs::FileRequests().size(), 1) << Messages().join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(Dialogs::FileRequests().first().bSave);
        EXPECT_EQ(Dialogs::FileRequests().first().filters,
                  (QStringList{QStringLiteral("CSV Files (*.csv)"), QStringLiteral("All Files (*.*)")}));
        EXPECT_TRUE(CallOf(QStringLiteral("PhoneBook"))
                        .contains(QStringLiteral(" mode=1 csv=") + c.expected + QLatin1Char(' ')))
            << CallOf(QStringLiteral("PhoneBook")).toStdString();
    }
    // The path box is not touched by a Read.
    EXPECT_EQ(PathEdit()->text(), QString());
    EXPECT_EQ(theSettings.m_strLastCsvFile, QString());

    // An existing file is asked about by the name it gets: "old" under the CSV filter is
    // "old.csv". The dialog itself does not ask about "old". No starts nothing, Yes replaces.
    ASSERT_TRUE(qpxtest::WriteFile(folder + QStringLiteral("/old.csv"), "kept,1\n"));
    const QString question = QStringLiteral("old.csv already exists.\nDo you want to replace it?");
    for (const int answer : {IDNO, IDYES}) {
        theSettings.Set(&CAppSettings::m_strDllFile, dll);
        QFile::remove(m_recLog);
        Dialogs::ClearRecords();
        Dialogs::SetNextFile(folder + QStringLiteral("/old"), 0);
        Dialogs::SetNextAnswer(answer);
        if (answer == IDYES)
            StartAndWait();
        else
            Page().OnStart();
        ASSERT_FALSE(Messages().isEmpty());
        EXPECT_EQ(Messages().first(), question);
        EXPECT_FALSE(Dialogs::FileRequests().first().bConfirmOverwrite);
        EXPECT_EQ(CallOf(QStringLiteral("PhoneBook"))
                      .contains(QStringLiteral(" csv=") + folder + QStringLiteral("/old.csv ")),
                  answer == IDYES)
            << CallOf(QStringLiteral("PhoneBook")).toStdString();
    }
    EXPECT_FALSE(Page().IsRunning());

    // A cancelled save dialog starts nothing and says nothing.
    theSettings.Set(&CAppSettings::m_strDllFile, dll);
    QFile::remove(m_recLog);
    Dialogs::ClearRecords();
    Dialogs::SetNextFile(QString());
    Page().OnStart();
    EXPECT_TRUE(Dialogs::Shown().isEmpty());
    EXPECT_FALSE(Page().IsRunning());
    EXPECT_TRUE(CallOf(QStringLiteral("PhoneBook")).isEmpty());
}

TEST_F(PhoneBookPageTest, ReadRunLocksCallsAndCompletes)
{
    const QString dll = InstallPlugin();
    theSettings.m_nPortNum = 7;
    qputenv("QPX_REC_DELAY_MS", "300");
    Dialogs::SetNextFile(m_root + QStringLiteral("/r.csv"), 0);
    Start()->setEnabled(true);
    Page().OnStart();

    EXPECT_EQ(theSettings.m_bBusy.load(), 1);
    EXPECT_TRUE(Page().IsRunning());
    EXPECT_EQ(Host().m_nOperation, OP_PHONEBOOK);
    // The mode cannot change while busy.
    EXPECT_FALSE(WriteRadio()->isEnabled());
    Page().OnWriteRadio();
    EXPECT_EQ(Page().Mode(), 1);
    EXPECT_EQ(CallOf(QStringLiteral("PhoneBook")),
              QStringLiteral("PhoneBook page=1 port=7 rect=10,355,%1,460 dll=%2 mode=1 csv=%3 rows=0")
                  .arg(Page().width() - 10)
                  .arg(dll, m_root + QStringLiteral("/r.csv")));

    // Another message of the plug-in does not end the run; the completion does, and Start waits for
    // the reconnection. The run's texts and log are those of every page (end to end).
    OperationResult r{};
    r.nResult = -1;
    Page().OnMessage(WM_PLUGIN_NOTIFY_MSG, PLUGIN_DONE + 1, reinterpret_cast<LPARAM>(&r));
    EXPECT_TRUE(Page().IsRunning());
    Page().OnMessage(WM_PLUGIN_NOTIFY_MSG, PLUGIN_DONE, reinterpret_cast<LPARAM>(&r));
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(Calls().contains(QStringLiteral("ReleaseRs page=1")));
    EXPECT_FALSE(Start()->isEnabled());
    EXPECT_TRUE(ReadRadio()->isEnabled() && WriteRadio()->isEnabled());
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Download Success!")});
}

TEST_F(PhoneBookPageTest, WriteRunSendsTheFileTheListShowsAndShowsAFailure)
{
    InstallPlugin();
    qputenv("QPX_REC_RESULT", "0");
    qputenv("QPX_REC_MESSAGE", "Phonebook write failed");
    PathEdit()->setText(WriteCsv("old,1\n", QStringLiteral("listed.csv")));
    WriteRadio()->click();
    ASSERT_EQ(List()->GetItemCount(), 1);
    // Another file typed after the list was filled: Start lists it before it is sent.
    const QString path = WriteCsv("a,1\nb,2\nc,3\n");
    PathEdit()->setText(path);

    Start()->setEnabled(true);
    Page().OnStart();
    ASSERT_EQ(List()->GetItemCount(), 3);
    EXPECT_EQ(List()->GetItemText(2, 0), QStringLiteral("c"));
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Are you sure?")});
    ASSERT_TRUE(WaitIdle());

    EXPECT_TRUE(CallOf(QStringLiteral("PhoneBook"))
                    .endsWith(QStringLiteral(" mode=0 csv=") + path + QStringLiteral(" rows=3")));
    EXPECT_EQ(Messages().last(), QStringLiteral("Phonebook write failed"));
    EXPECT_TRUE(Browse()->isEnabled()); // Write mode after release
    EXPECT_EQ(List()->GetItemCount(), 3);
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

TEST_F(PhoneBookPageTest, PortLossAndConnection)
{
    CPhoneBookPage& p = Page();
    p.SetStatusText(QStringLiteral("Writing"));
    p.SetElapsed(1, 2.25f);

    // Write mode keeps its list on port loss; Read mode empties it. Status texts go blank.
    const QString path = WriteCsv("x,y\n");
    PathEdit()->setText(path);
    WriteRadio()->click();
    p.ResetStatus();
    EXPECT_EQ(List()->GetItemCount(), 1);
    EXPECT_EQ(Child<QLabel>("statusValue")->text(), QString());
    EXPECT_EQ(Child<QLabel>("elapsedLabel")->text(), QString());
    ReadRadio()->click();
    FillDummyRows(2);
    p.ResetStatus();
    EXPECT_EQ(List()->GetItemCount(), 0);

    // A failed connection greys the Read/Write choice; the next port brings it back.
    Host().DisableAfterConnectFailed();
    EXPECT_FALSE(ReadRadio()->isEnabled());
    EXPECT_FALSE(WriteRadio()->isEnabled());
    Host().OnHostCommand(HC_PORT_RESULT, 4);
    EXPECT_TRUE(ReadRadio()->isEnabled());
    EXPECT_TRUE(WriteRadio()->isEnabled());
    EXPECT_TRUE(p.IsStartEnabled());
}

} // namespace
