#include "pages/SettingsPage.h"
#include "PageFixture.h"
#include "controls/EditGrid.h"
#include "pages/PluginLists.h"
#include "platform/HostCommands.h"

#include <QFile>
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
        for (int g = 0; g < NV_CATEGORY_COUNT; ++g) // the category's list alone is shown
            EXPECT_EQ(Page().Grid(g)->isVisibleTo(&Page()), g == category) << g;
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

// A read without a plug-in, without the export, and one the plug-in fails: each says why.
TEST_F(SettingsPageTest, LoadFailureAndPluginFailure)
{
    qputenv("QPX_REC_RESULT", "0");
    qputenv("QPX_REC_MESSAGE", "NV read refused");
    for (const auto& [plugin, message] : {std::pair{"", "ERR: Failed to load model dll"},
                                          {"qpx_pages_noop_plugin", "ERR: Failed to load dll function"},
                                          {"qpx_rec_plugin", "NV read refused"}}) {
        Dialogs::ClearRecords();
        if (*plugin)
            InstallPlugin(QString::fromLatin1(plugin));
        RunAndWait(false);
        EXPECT_EQ(Messages(), QStringList{QString::fromLatin1(message)});
        EXPECT_FALSE(Page().IsRunning());
        EXPECT_TRUE(Page().Tabs()->isEnabled());
    }
}

} // namespace
