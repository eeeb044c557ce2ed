#include "pages/SettingsPage.h"
#include "PageFixture.h"
#include "controls/EditGrid.h"
#include "controls/XListCtrl.h"
#include "controls/XListModel.h"
#include "pages/PluginLists.h"
#include "platform/HostCommands.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

namespace {

using pagetest::PageFixture;

class SettingsPageTest : public PageFixture
{
protected:
    void SetUp() override
    {
        PageFixture::SetUp();
        Host().OnHostCommand(HC_SETTINGS, 0);
    }
    CSettingsPage& Page() { return *Host().SettingsPage(); }
    template <typename T> T* Child(const char* name)
    {
        return Page().findChild<T*>(QString::fromLatin1(name));
    }
    int VisibleGrid()
    {
        int visible = -1;
        for (int c = 0; c < NV_CATEGORY_COUNT; ++c) {
            if (Page().Grid(c)->isVisibleTo(&Page())) {
                EXPECT_EQ(visible, -1) << "two lists shown";
                visible = c;
            }
        }
        return visible;
    }
    void RunAndWait(bool write)
    {
        Page().EnableStart(true);
        write ? Page().OnWrite() : Page().OnRead();
        ASSERT_TRUE(WaitIdle());
    }
};

TEST_F(SettingsPageTest, EditorsOnlyWhereDefinedAndNeverOnItemName)
{
    CEditGrid* g = Page().Grid(0);
    EXPECT_FALSE(g->OpenEditor(0, 0));
    EXPECT_FALSE(g->OpenEditor(0, 1)); // right after the catalogue: no definitions

    CPluginList& list = *Page().PluginList(0);
    EXPECT_EQ(list.AddComboEditor(0, 0, {QStringLiteral("a")}), -1); // Item Name takes none
    EXPECT_EQ(list.AddComboEditor(3, 1, {QStringLiteral("a")}), -1); // no row 3
    EXPECT_EQ(list.AddEditEditor(0, 2, QString(), 0, 5, 0), -1);     // byte width 1..4
    EXPECT_EQ(list.AddEditEditor(0, 2, QString(), 0, 0, -1), -1);    // text bytes 0 or more
    EXPECT_EQ(list.AddComboEditor(0, 1, {QStringLiteral("Off"), QStringLiteral("On")}), 1);
    EXPECT_EQ(list.AddIpEditor(1, 2), 1);
    EXPECT_TRUE(g->OpenEditor(0, 1));
    g->CloseEditors();

    // Rebuilding the catalogue removes values and definitions alike.
    g->SetItemText(1, 2, QStringLiteral("1.2.3.4"));
    Host().OnHostCommand(HC_DISCONNECTED, 0);
    EXPECT_EQ(g->GetItemText(1, 2), QString());
    EXPECT_EQ(g->EditorKindAt(0, 1), CEditGrid::EDITOR_NONE);
    EXPECT_EQ(g->EditorKindAt(1, 2), CEditGrid::EDITOR_NONE);
    EXPECT_EQ(g->GetItemCount(), 3);

    // A plug-in's list of a grid: rows and editors go together, and no call reaches outside.
    CPluginList& ptt = *Page().PluginList(11); // PTT: no rows
    EXPECT_EQ(ptt.InsertRow(1, QStringLiteral("x")), -1);
    EXPECT_EQ(ptt.InsertRow(-1, QStringLiteral("first")), 0);
    EXPECT_EQ(ptt.InsertRow(-1, QStringLiteral("second")), 1);
    EXPECT_EQ(ptt.SetText(2, 0, QStringLiteral("v")), -1);
    EXPECT_EQ(ptt.AddEditEditor(1, 1, QStringLiteral("0123456789"), 2, 1, 0), 1);
    EXPECT_EQ(ptt.DeleteRow(1), 1);
    EXPECT_EQ(Page().Grid(11)->EditorKindAt(1, 1), CEditGrid::EDITOR_NONE);
    EXPECT_EQ(ptt.DeleteRow(1), -1);

    // The phonebook list takes no editors.
    CXListCtrl xl;
    xl.InsertColumn(0, QStringLiteral("Name"));
    CPluginList pl(&xl);
    EXPECT_EQ(pl.InsertRow(-1, QStringLiteral("n")), 0);
    EXPECT_EQ(pl.AddComboEditor(0, 0, {}), -1);
    EXPECT_EQ(pl.ClearEditors(), -1);
}

// Write sends the values of a category only when they came from the handset: a category not read
// since start-up, since a failed read or since the catalogue was rebuilt holds empty values (or
// none), and no plug-in ever receives those.
TEST_F(SettingsPageTest, WriteOnlyAfterAReadOfTheVisibleCategory)
{
    InstallPlugin();
    const QStringList refused{QStringLiteral("write function must be executed after read function")};
    auto writeIsRefused = [&](int category, const char* when) {
        Dialogs::ClearRecords();
        QFile::remove(m_recLog);
        theSettings.Set(&CAppSettings::m_strDllFile, m_plugin); // a disconnection forgets it
        Page().SelectCategory(category);
        EXPECT_EQ(VisibleGrid(), category);
        Page().EnableStart(true);
        Page().OnWrite();
        EXPECT_EQ(Messages(), refused) << when << " " << category;
        EXPECT_TRUE(CallOf(QStringLiteral("Settings")).isEmpty()) << when << " " << category;
        EXPECT_FALSE(Page().IsRunning());
        EXPECT_TRUE(Page().IsStartEnabled());
    };
    // Right after start-up: categories with catalogue rows and those without.
    for (int c : {0, 1, 4, 10, 11, 12, 13})
        writeIsRefused(c, "after start-up");

    // A read that failed leaves the category unread.
    qputenv("QPX_REC_RESULT", "0");
    qputenv("QPX_REC_MESSAGE", "NV read refused");
    Page().SelectCategory(4);
    RunAndWait(false);
    EXPECT_TRUE(
        CallOf(QStringLiteral("Settings")).endsWith(QStringLiteral(" category=4 dir=1 reserved=0 rows=72")));
    writeIsRefused(4, "after a failed read");

    // A read that succeeded is undone by rebuilding the catalogue.
    qunsetenv("QPX_REC_RESULT");
    qunsetenv("QPX_REC_MESSAGE");
    theSettings.Set(&CAppSettings::m_strDllFile, m_plugin);
    RunAndWait(false);
    Host().OnHostCommand(HC_DISCONNECTED, 0);
    writeIsRefused(4, "after the catalogue was rebuilt");
}

TEST_F(SettingsPageTest, ReadUsesTheVisibleTabAndLocksThePage)
{
    InstallPlugin();
    theSettings.m_nPortNum = 3;
    Page().Tabs()->setCurrentIndex(5); // as the user does
    EXPECT_EQ(VisibleGrid(), 5);
    Page().EnableStart(true);
    Page().OnRead();

    EXPECT_EQ(theSettings.m_bBusy.load(), 1);
    EXPECT_FALSE(Page().Tabs()->isEnabled());
    EXPECT_FALSE(Page().Grid(5)->isEnabled());
    EXPECT_FALSE(Page().IsStartEnabled());
    EXPECT_TRUE(CallOf(QStringLiteral("Settings")).contains(QStringLiteral(" port=3 ")));
    EXPECT_TRUE(
        CallOf(QStringLiteral("Settings")).endsWith(QStringLiteral(" category=5 dir=1 reserved=0 rows=36")));

    // The completion, delivered at once: the failed reconnection after it rebuilds the catalogue.
    OperationResult r{};
    r.nResult = -1;
    Page().OnMessage(WM_PLUGIN_NOTIFY_MSG, PLUGIN_DONE, reinterpret_cast<LPARAM>(&r));
    // The values now are the handset's: this category may be written, no other.
    EXPECT_TRUE(Page().IsCategoryRead(5));
    EXPECT_FALSE(Page().IsCategoryRead(4));
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(Page().Tabs()->isEnabled() && Page().Grid(5)->isEnabled());
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Download Success!")});
    EXPECT_TRUE(
        OperationLog().contains(QStringLiteral("Current Operation\t:\tSetting\r\nCOM Port\t\t:\t3\r\n")));

    // The port is lost: buttons off, status reset.
    Host().OnHostCommand(HC_PORT_RESULT, -1);
    EXPECT_FALSE(Page().IsStartEnabled());
    EXPECT_EQ(Child<QLabel>("statusValue")->text(), QString());
    EXPECT_EQ(Child<QLabel>("elapsedLabel")->text(), QStringLiteral("00:00.0s"));
}

TEST_F(SettingsPageTest, EditorsCloseBeforeThePluginFillsTheGrid)
{
    InstallPlugin();
    qputenv("QPX_REC_SETTINGS_FILL", "1");
    CEditGrid* g = Page().Grid(0);
    Page().PluginList(0)->AddEditEditor(0, 1, QString(), 0, 0, 0);
    ASSERT_TRUE(g->OpenEditor(0, 1));
    auto* edit = qobject_cast<QLineEdit*>(g->Editor());
    ASSERT_NE(edit, nullptr);
    edit->setText(QStringLiteral("typed"));
    // An editor open in another category is closed as well.
    CEditGrid* other = Page().Grid(3);
    Page().PluginList(3)->AddEditEditor(1, 2, QString(), 0, 0, 0);
    ASSERT_TRUE(other->OpenEditor(1, 2));
    qobject_cast<QLineEdit*>(other->Editor())->setText(QStringLiteral("kept"));

    // The plug-in fills the grid inside its export call; look before the run ends (the failed
    // reconnection afterwards rebuilds the catalogue).
    Page().EnableStart(true);
    Page().OnRead();
    EXPECT_FALSE(g->IsEditing());
    EXPECT_FALSE(other->IsEditing());
    EXPECT_EQ(other->GetItemText(1, 2), QStringLiteral("kept"));
    // The typed text went into the cell before the call, so the plug-in's value is the one left.
    EXPECT_EQ(g->GetItemText(0, 1), QStringLiteral("value0"));
    EXPECT_EQ(g->GetItemText(2, 1), QStringLiteral("value2"));
    EXPECT_EQ(g->EditorKindAt(2, 1), CEditGrid::EDITOR_IP);
    ASSERT_TRUE(WaitIdle());
}

TEST_F(SettingsPageTest, LoadFailureAndPluginFailure)
{
    theSettings.Set(&CAppSettings::m_strDllFile, QStringLiteral("N/A"));
    Page().OnRead();
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("ERR: Failed to load model dll")});
    EXPECT_FALSE(Page().IsRunning());
    EXPECT_TRUE(Page().Tabs()->isEnabled());

    Dialogs::ClearRecords();
    InstallPlugin(QStringLiteral("qpx_pages_noop_plugin"));
    Page().OnRead();
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("ERR: Failed to load dll function")});
    EXPECT_FALSE(Page().IsRunning());
    EXPECT_EQ(theSettings.m_bBusy.load(), 0);

    Dialogs::ClearRecords();
    InstallPlugin();
    qputenv("QPX_REC_RESULT", "0");
    qputenv("QPX_REC_MESSAGE", "NV read refused");
    RunAndWait(false);
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("NV read refused")});
    EXPECT_TRUE(OperationLog().contains(QStringLiteral("Last Message\t\t:\tNV read refused\r\n")));
}

} // namespace
