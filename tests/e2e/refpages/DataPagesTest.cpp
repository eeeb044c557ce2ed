// The phonebook and settings pages with the reference plug-in against the simulated handset, each
// driven through the page's own controls: what the pages show and write matches what the handset
// holds, and the handset holds what the pages wrote. (The transfer page: the fault matrix.)
#include "RefPagesFixture.h"
#include "controls/EditGrid.h"
#include "pages/CsvReader.h"
#include "pages/NvCatalogue.h"
#include "pages/PhoneBookPage.h"
#include "pages/SettingsPage.h"
#include "plugin/ByteText.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QtTest/QTest>

using namespace Qt::StringLiterals;

namespace refpages {
namespace {

constexpr int SIM_PORT = 41;

// The list's rows as the bytes its texts stand for.
QList<QByteArrayList> ListRows(const CXListCtrl* list)
{
    QList<QByteArrayList> rows;
    for (int r = 0; r < list->GetItemCount(); ++r) {
        QByteArrayList row;
        for (int c = 0; c < CSV_COLUMNS; ++c)
            row << BytesFromText(list->GetItemText(r, c));
        rows << row;
    }
    return rows;
}

QList<QByteArrayList> Padded(QList<QByteArrayList> rows)
{
    for (QByteArrayList& row : rows)
        while (row.size() < CSV_COLUMNS)
            row << QByteArray();
    return rows;
}

// Success of the operation just run, with the page's status line for the failure text.
void ExpectSuccess(const QWidget* page)
{
    const QLabel* status = page->findChild<QLabel*>(u"statusValue"_s);
    ASSERT_NE(status, nullptr);
    ASSERT_FALSE(Dialogs::Shown().isEmpty());
    EXPECT_EQ(Dialogs::Shown().constLast().strText, u"Download Success!"_s) << status->text().toStdString();
    EXPECT_TRUE(status->isVisibleTo(page));
}

using DataRefPagesTest = CRefPagesTest;

// A CSV goes into the handset and comes back out with the same bytes, in UTF-8 as well as in an
// 8-bit code page (CP949, Latin-1); the list shows UTF-8 as text and keeps the other bytes. Then
// settings typed into the grid are written.
TEST_F(DataRefPagesTest, PhonebookRoundTripAndSettingsTypedIntoTheGrid)
{
    ASSERT_NO_FATAL_FAILURE(Launch(SIM_PORT));
    CPhoneBookPage* page = m_pHost->PhoneBookPage();
    ASSERT_NO_FATAL_FAILURE(Toolbar(ID_PHONEBOOK, page));
    ASSERT_TRUE(PumpUntil([&] { return page->IsStartEnabled(); }, CONNECT_MS));
    const auto status = [&] { return Child<QLabel>(page, "statusValue")->text(); };

    // Write: choosing Write shows the file's entries; Start asks, then sends them.
    const QByteArray csv = "Anna Berg,2125550147,,7185550100,anna@example.org,,\n"
                           "J\xc3\xbcrgen Gro\xc3\x9f,,3235550188,,,9175550199,j@example.org\n"
                           "\xb1\xe8\xbf\xb5\xbc\xf6,01012345678,,,\xc8\xab@example.kr,,\n"
                           "Ren\xe9"
                           "e M\xfcller,5551234,,,,,\n";
    const QList<QByteArrayList> entries = Padded(ParseCsvTable(csv).rows);
    ASSERT_EQ(entries.size(), 4);
    Child<QLineEdit>(page, "csvPathEdit")->setText(InputFile(u"in.csv"_s, csv));
    Child<QRadioButton>(page, "writeRadio")->click();
    ASSERT_EQ(page->List()->GetItemCount(), 4);
    EXPECT_EQ(page->List()->GetItemText(1, 0), u"Jürgen Groß"_s);
    EXPECT_EQ(ListRows(page->List()), entries);
    ASSERT_NO_FATAL_FAILURE(RunOperation(Child<QPushButton>(page, "startButton")));
    ASSERT_NO_FATAL_FAILURE(ExpectSuccess(page));
    EXPECT_TRUE(status().contains(u"Phonebook written: 4 entries"_s));
    const QByteArray stored = qpxtest::ReadFile(Efs(u"pim/phonebook.qpb"_s));
    EXPECT_EQ(PhonebookRecords(stored), entries);
    ASSERT_TRUE(PumpUntil([&] { return Connected() && page->IsStartEnabled(); }, CONNECT_MS))
        << "no reconnection";

    // On the handset an entry gets a name with a comma and a number with blanks around it, which
    // a CSV cannot carry.
    QByteArray onHandset = stored + PhonebookFile({{u"Smith, John"_s, u"5550100"_s, u" 777 "_s}}).mid(8);
    onHandset[4] = 5;
    ASSERT_TRUE(qpxtest::WriteFile(Efs(u"pim/phonebook.qpb"_s), onHandset));

    // Read: the list is emptied by the radio and filled by the plug-in; the file is saved.
    Child<QRadioButton>(page, "readRadio")->click();
    EXPECT_EQ(page->List()->GetItemCount(), 0);
    Dialogs::ClearRecords();
    Dialogs::SetNextFile(m_files + u"/out"_s, 0);
    ASSERT_NO_FATAL_FAILURE(RunOperation(Child<QPushButton>(page, "startButton")));
    ASSERT_NO_FATAL_FAILURE(ExpectSuccess(page));
    EXPECT_TRUE(status().contains(u"Phonebook read: 5 entries; 2 fields had commas"_s))
        << status().toStdString();
    EXPECT_EQ(qpxtest::ReadFile(m_files + u"/out.csv"_s), csv + "Smith; John,5550100,777,,,,\n");
    QList<QByteArrayList> expected = entries;
    expected << QByteArrayList{"Smith; John", "5550100", "777", {}, {}, {}, {}};
    EXPECT_EQ(ListRows(page->List()), expected);
    ASSERT_TRUE(PumpUntil([&] { return Connected() && page->IsStartEnabled(); }, CONNECT_MS))
        << "no reconnection";
    EXPECT_EQ(page->List()->GetItemCount(), 5);

    // Settings: the user types into the grid: a value confirmed with Enter, one still in its editor
    // when Write is pressed (taken along). (Each editor kind and the read back: the plug-in tests.)
    CSettingsPage* settings = m_pHost->SettingsPage();
    ASSERT_NO_FATAL_FAILURE(Toolbar(ID_SETTING, settings));
    ASSERT_TRUE(PumpUntil([&] { return settings->IsStartEnabled(); }, CONNECT_MS));
    settings->Tabs()->setCurrentIndex(1); // "NAM1"
    ASSERT_EQ(settings->CurrentCategory(), 1);
    CEditGrid* grid = settings->Grid(1);
    const QStringList names = NvCategoryItems(1);
    const int mdn = static_cast<int>(names.indexOf(u"MDN"_s));
    const int sid = static_cast<int>(names.indexOf(u"CDMA Home SID/NID"_s));
    ASSERT_NO_FATAL_FAILURE(RunOperation(Child<QPushButton>(settings, "readButton")));
    ASSERT_NO_FATAL_FAILURE(ExpectSuccess(settings));
    EXPECT_EQ(grid->GetItemText(mdn, 1), u"2125550147"_s);
    ASSERT_TRUE(PumpUntil([&] { return Connected() && settings->IsStartEnabled(); }, CONNECT_MS));

    ASSERT_TRUE(grid->OpenEditor(mdn, 1));
    auto* edit = qobject_cast<QLineEdit*>(grid->Editor());
    ASSERT_NE(edit, nullptr);
    QTest::keyClicks(edit, u"3105551234"_s);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_FALSE(grid->IsEditing());
    ASSERT_TRUE(grid->OpenEditor(sid, 1));
    QTest::keyClicks(qobject_cast<QLineEdit*>(grid->Editor()), u"4146"_s);
    Dialogs::ClearRecords();
    ASSERT_NO_FATAL_FAILURE(RunOperation(Child<QPushButton>(settings, "writeButton")));
    ASSERT_NO_FATAL_FAILURE(ExpectSuccess(settings));
    EXPECT_FALSE(grid->IsEditing());
    EXPECT_EQ(grid->GetItemText(sid, 1), u"4146"_s);
    const SSimState s = ReadSimState(m_state);
    EXPECT_EQ(s.Item(178, 0).left(11), QByteArray(1, '\0') + "3105551234");
    EXPECT_EQ(s.Item(178, 1).left(11), QByteArray(1, '\1') + "2125550147"); // NAM2 untouched
}

} // namespace
} // namespace refpages
