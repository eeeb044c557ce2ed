#include "controls/EditGrid.h"
#include "controls/XListModel.h"
#include "platform/Dialogs.h"

#include "TestEnv.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

namespace {

const QString IP_RANGE_TEXT = QStringLiteral("Each part of an IP address must be a number from 0 to 255.");

// A text gets into a field typed key by key, or pasted whole with Ctrl+V.
void Input(QLineEdit* field, bool typed, const QString& text)
{
    if (typed) {
        QTest::keyClicks(field, text);
    } else {
        QApplication::clipboard()->setText(text);
        QTest::keySequence(field, QKeySequence::Paste);
    }
}

struct EditGridFixture : ::testing::Test
{
    QWidget window;
    CEditGrid* grid = nullptr;
    QLineEdit* other = nullptr;

    void SetUp() override
    {
        Dialogs::SetTestMode(true);
        Dialogs::ClearRecords();
        window.resize(600, 300);
        other = new QLineEdit(&window);
        other->setGeometry(0, 250, 100, 20);
        MakeGrid();
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window, 20000));
    }

    void TearDown() override
    {
        Dialogs::ClearRecords();
        Dialogs::SetTestMode(false);
    }

    // A settings grid of four rows; a new one replaces the old.
    void MakeGrid()
    {
        delete grid;
        grid = new CEditGrid(&window);
        grid->setGeometry(0, 0, 560, 240);
        grid->InsertColumn(0, QStringLiteral("Item Name"), Qt::AlignLeft, 190);
        grid->InsertColumn(1, QStringLiteral("PARAMETER1"), Qt::AlignLeft, 185);
        grid->InsertColumn(2, QStringLiteral("PARAMETER2"), Qt::AlignLeft, 150);
        grid->SetReadOnlyColumn(0);
        for (int r = 0; r < 4; ++r)
            grid->InsertItem(r, QStringLiteral("item %1").arg(r));
        grid->show();
    }

    QPoint Cell(int row, int col) { return grid->visualRect(grid->Model()->index(row, col)).center(); }

    // The ways an edit ends; the click and the other editor go to the cell (row, col). Returns what
    // opening the other editor returned.
    // clang-format off
    enum EEnd { FocusMoves, EnterKey, ClickOnAnotherCell, OpenAnotherEditor };
    // clang-format on
    bool EndEdit(EEnd end, QLineEdit* edit, int row, int col)
    {
        if (end == FocusMoves)
            other->setFocus();
        else if (end == EnterKey)
            QTest::keyClick(edit, Qt::Key_Return);
        else if (end == ClickOnAnotherCell)
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, Cell(row, col));
        else
            return grid->OpenEditor(row, col);
        return false;
    }

    QLineEdit* OpenEdit(int row, int col)
    {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, Cell(row, col));
        return qobject_cast<QLineEdit*>(grid->Editor());
    }
};

} // namespace

// Enter keeps the text, Escape the cell's value, closing from code keeps only a text that may
// stay; a drop-down's choice goes into the cell.
TEST_F(EditGridFixture, EndingAnEdit)
{
    grid->SetItemText(2, 1, QStringLiteral("12"));
    grid->AddEditDef(2, 1, QStringLiteral("0123456789"), 2, 0);
    QSignalSpy spy(grid, &CEditGrid::endLabelEdit);
    for (const auto& [key, typed, kept] :
         {std::tuple{Qt::Key_Return, "5", "125"}, {Qt::Key_Escape, "9", "125"}}) {
        QLineEdit* edit = OpenEdit(2, 1);
        ASSERT_NE(edit, nullptr);
        QTest::keyClick(edit, Qt::Key_End);
        QTest::keyClicks(edit, QString::fromLatin1(typed));
        QTest::keyClick(edit, key);
        EXPECT_FALSE(grid->IsEditing());
        EXPECT_EQ(grid->GetItemText(2, 1), QString::fromLatin1(kept));
        EXPECT_EQ(spy.constLast().at(2).toString(), QString::fromLatin1(kept));
    }
    for (const auto& [text, kept] : {std::pair{"1", "125"}, {"77", "77"}}) {
        ASSERT_NE(OpenEdit(2, 1), nullptr);
        qobject_cast<QLineEdit*>(grid->Editor())->setText(QString::fromLatin1(text));
        grid->CloseEditors();
        EXPECT_FALSE(grid->IsEditing());
        EXPECT_EQ(grid->GetItemText(2, 1), QString::fromLatin1(kept));
    }
    EXPECT_TRUE(Dialogs::Shown().isEmpty());

    grid->AddComboDef(0, 2, {QStringLiteral("Disable"), QStringLiteral("Enable")});
    grid->SetItemText(0, 2, QStringLiteral("Enable"));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, Cell(0, 2));
    auto* combo = qobject_cast<QComboBox*>(grid->Editor());
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->currentText(), QStringLiteral("Enable"));
    combo->setCurrentIndex(0);
    emit combo->activated(0);
    EXPECT_FALSE(grid->IsEditing());
    EXPECT_EQ(grid->GetItemText(0, 2), QStringLiteral("Disable"));
}

// A refused text never stays in the cell: the message is shown, the field keeps the focus and
// shows the cell's value again. An unchanged value leaves without a message.
TEST_F(EditGridFixture, TooShortTextIsRefusedAndTheCellValueComesBack)
{
    for (const EEnd leave : {FocusMoves, EnterKey, ClickOnAnotherCell}) {
        SCOPED_TRACE(leave);
        Dialogs::ClearRecords();
        grid->SetItemText(3, 2, QStringLiteral("123456"));
        grid->AddEditDef(3, 2, QStringLiteral("0123456789"), 6, 0);
        QLineEdit* edit = OpenEdit(3, 2);
        ASSERT_NE(edit, nullptr);
        QTest::keyClicks(edit, QStringLiteral("12345")); // an SPC of five digits
        EndEdit(leave, edit, 0, 1);
        ASSERT_EQ(Dialogs::Shown().size(), 1);
        EXPECT_EQ(Dialogs::Shown().at(0).strText, QStringLiteral("This item's minimum size is 6."));
        EXPECT_EQ(Dialogs::Shown().at(0).strCaption, QStringLiteral("KOVA QPX"));
        ASSERT_TRUE(grid->IsEditing());
        EXPECT_TRUE(edit->hasFocus());
        EXPECT_EQ(edit->text(), QStringLiteral("123456"));
        EXPECT_EQ(grid->GetItemText(3, 2), QStringLiteral("123456"));

        EndEdit(leave, edit, 0, 1);
        EXPECT_FALSE(grid->IsEditing());
        EXPECT_EQ(Dialogs::Shown().size(), 1);
        EXPECT_EQ(grid->GetItemText(3, 2), QStringLiteral("123456"));
    }
}

// While the minimum-length message is up its event loop runs: a disconnection may rebuild the
// catalogue, a plug-in may empty the grid. Afterwards nothing of the old edit is touched.
TEST_F(EditGridFixture, GridChangedWhileTheMessageIsUp)
{
    const std::pair<const char*, std::function<void(CEditGrid*)>> changes[] = {
        {"rows deleted", [](CEditGrid* g) { g->DeleteAllItems(); }},
        {"definitions cleared", [](CEditGrid* g) { g->ClearEditorDefs(); }},
        {"catalogue rebuilt",
         [](CEditGrid* g) {
             g->DeleteAllItems();
             g->ClearEditorDefs();
             for (int r = 0; r < 4; ++r)
                 g->InsertItem(r, QStringLiteral("new %1").arg(r));
             g->AddEditDef(1, 1, QString(), 4, 0);
             g->AddEditDef(2, 1, QString(), 0, 0);
         }},
        {"edited row deleted", [](CEditGrid* g) { g->DeleteItem(1); }},
        {"row inserted above", [](CEditGrid* g) { g->InsertItem(0, QStringLiteral("new")); }},
    };
    for (const auto& [what, change] : changes) {
        for (const EEnd end : {FocusMoves, EnterKey, ClickOnAnotherCell, OpenAnotherEditor}) {
            SCOPED_TRACE(std::string(what) + ", way " + std::to_string(end));
            MakeGrid();
            Dialogs::ClearRecords();
            grid->AddEditDef(1, 1, QString(), 4, 0);
            grid->AddEditDef(2, 1, QString(), 0, 0);
            QLineEdit* edit = OpenEdit(1, 1);
            ASSERT_NE(edit, nullptr);
            QTest::keyClicks(edit, QStringLiteral("ab"));
            Dialogs::SetNextAnswer(IDOK, [&] {
                change(grid);
                // The box's event loop would delete what was closed meanwhile.
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            });
            const bool opened = EndEdit(end, edit, 2, 1);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

            EXPECT_EQ(Dialogs::Shown().size(), 1);
            EXPECT_FALSE(opened);
            // A click that arrives after the box lands on the grid as it is then.
            EXPECT_TRUE(!grid->IsEditing() || (end == ClickOnAnotherCell && grid->EditRow() == 2));
            for (int r = 0; r < grid->GetItemCount(); ++r)
                EXPECT_EQ(grid->GetItemText(r, 1), QString()) << "row " << r;
        }
    }
}

// An IP address field moves on after three digits or a dot and gives the cell dotted text; left
// untouched, an empty cell stays empty rather than becoming "0.0.0.0". An octet above 255 is
// refused with a message, whichever way it comes; other characters are refused with a beep. The
// cell never gets a refused octet.
TEST_F(EditGridFixture, IpAddressField)
{
    grid->AddIpDef(1, 2);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, Cell(1, 2));
    ASSERT_NE(qobject_cast<CIpAddressEdit*>(grid->Editor()), nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(grid->IsEditing());
    EXPECT_EQ(grid->GetItemText(1, 2), QString());

    grid->AddIpDef(2, 2);
    grid->SetItemText(2, 2, QStringLiteral("10.0.0.1"));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, Cell(2, 2));
    auto* ip = qobject_cast<CIpAddressEdit*>(grid->Editor());
    ASSERT_NE(ip, nullptr);
    EXPECT_EQ(ip->Address(), QStringLiteral("10.0.0.1"));
    ip->Field(0)->selectAll();
    QTest::keyClicks(ip->Field(0), QStringLiteral("192"));                 // three digits move on
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("168.")); // and so does a dot
    EXPECT_EQ(QApplication::focusWidget(), ip->Field(2));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("5"));
    ip->Field(3)->clear();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(grid->IsEditing());
    EXPECT_EQ(grid->GetItemText(2, 2), QStringLiteral("192.168.5.0"));
    EXPECT_TRUE(Dialogs::Shown().isEmpty());

    // input, what the field then holds when typed and when pasted, whether the message is shown
    for (const auto& [input, afterTyping, afterPasting, message] :
         {std::tuple{"300", "30", "", true}, {"2a5", "25", "", false}, {"255", "255", "255", false}}) {
        for (const bool typed : {true, false}) {
            SCOPED_TRACE(std::string(input) + (typed ? ", typed" : ", pasted"));
            Dialogs::ClearRecords();
            grid->SetItemText(2, 2, QStringLiteral("10.0.0.1"));
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, Cell(2, 2));
            ip = qobject_cast<CIpAddressEdit*>(grid->Editor());
            ASSERT_NE(ip, nullptr);
            QLineEdit* field = ip->Field(2);
            field->clear();
            field->setFocus();
            Input(field, typed, QString::fromLatin1(input));
            const QString want = QString::fromLatin1(typed ? afterTyping : afterPasting);
            EXPECT_EQ(field->text(), want);
            if (message) {
                ASSERT_TRUE(qpxtest::PumpUntil([] { return !Dialogs::Shown().isEmpty(); }, 20000));
                EXPECT_EQ(Dialogs::Shown().at(0).strText, IP_RANGE_TEXT);
                EXPECT_TRUE(grid->IsEditing());
            }
            QCoreApplication::processEvents();
            EXPECT_EQ(Dialogs::Shown().size(), message ? 1 : 0);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            EXPECT_FALSE(grid->IsEditing());
            EXPECT_EQ(grid->GetItemText(2, 2),
                      QStringLiteral("10.0.%1.1").arg(want.isEmpty() ? QStringLiteral("0") : want));
        }
    }
}

// A definition belongs to its row: a row deleted above it moves it up, and it goes with its row.
TEST_F(EditGridFixture, DefinitionsFollowTheirRows)
{
    grid->AddEditDef(1, 1, QString(), 0, 0);
    grid->AddIpDef(2, 1);
    grid->DeleteItem(1);
    EXPECT_EQ(QList({grid->EditorKindAt(0, 1), grid->EditorKindAt(1, 1), grid->EditorKindAt(2, 1)}),
              QList({CEditGrid::EDITOR_NONE, CEditGrid::EDITOR_IP, CEditGrid::EDITOR_NONE}));
}
