// The "Select Model DLL" page: its catalogue folder, the list it fills, selection, picture and
// the manual choice.
#include "LinkTestSupport.h"

#include "controls/XListCtrl.h"
#include "core/AppSettings.h"
#include "platform/Dialogs.h"
#include "plugin/CatalogueSelection.h"
#include "plugin/ModelCatalogue.h"
#include "plugin/ModelDllDialog.h"
#include "plugin/PluginApi.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

const QString PLUGIN_DIR = QStringLiteral(QPX_TEST_PLUGIN_DIR "/");

class ModelDllDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        theSettings.Reset();
        Dialogs::SetTestMode(true);
        Dialogs::ClearRecords();
        m_install = qpxtest::MakeTempDir(QStringLiteral("install")) + QStringLiteral("/");
        const QString model = m_install + QStringLiteral("MODEL/");
        QDir().mkpath(model + QStringLiteral("sub"));
        // Listed: a.so, b.so; a library without GetModelKind is not.
        ASSERT_TRUE(
            QFile::copy(PLUGIN_DIR + QStringLiteral("qpx_rec_plugin.so"), model + QStringLiteral("a.so")));
        ASSERT_TRUE(QFile::copy(PLUGIN_DIR + QStringLiteral("qpx_rec_plugin_min.so"),
                                model + QStringLiteral("b.so")));
        ASSERT_TRUE(QFile::copy(PLUGIN_DIR + QStringLiteral("qpx_rec_plugin_nokind.so"),
                                model + QStringLiteral("c.so")));
        theSettings.m_strInstallDir = m_install;
        theSettings.Set(&CAppSettings::m_strDllFile, QStringLiteral("N/A"));
    }
    void TearDown() override
    {
        theSettings.Reset();
        Dialogs::ClearRecords();
    }

    std::unique_ptr<CModelDllDialog> Make()
    {
        return std::make_unique<CModelDllDialog>(nullptr, QRect(205, 130, 585, 600));
    }

    QString m_install;
};

TEST_F(ModelDllDialogTest, ListsTheUsablePluginsWithVersionTimeAndLocation)
{
    auto page = Make();
    EXPECT_TRUE(Dialogs::Shown().isEmpty());
    EXPECT_EQ(page->ModelFolder(), m_install + QStringLiteral("MODEL/"));
    ASSERT_EQ(page->Catalogue().GetCount(), 2);
    EXPECT_EQ(page->SelectedIndex(), 0);

    CXListCtrl* list = page->List();
    // Disabled (no port in use): the list stays empty.
    page->FillList();
    EXPECT_EQ(list->GetItemCount(), 0);

    page->SetListEnabled(true);
    page->FillList();
    ASSERT_EQ(list->GetItemCount(), 2);
    for (int row = 0; row < 2; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(list->GetItemText(row, 0), QStringLiteral("REC-MODEL"));
        EXPECT_EQ(list->GetItemText(row, 1), QStringLiteral("1.0.2.3"));
        EXPECT_EQ(list->GetItemText(row, 2), FileModifiedText(page->Catalogue().GetPath(row)));
        EXPECT_EQ(list->GetItemText(row, 3), QStringLiteral("./MODEL"));
    }
    // The version in use was empty: it becomes the first row's, and that row is selected.
    EXPECT_EQ(theSettings.Get(&CAppSettings::m_strDllVersion), QStringLiteral("1.0.2.3"));
    EXPECT_EQ(list->GetCurSel(), 0);
    EXPECT_TRUE(page->HasHotRow());
    EXPECT_EQ(page->SelectedVersionText(), QStringLiteral("1.0.2.3"));
}

TEST_F(ModelDllDialogTest, WithoutAnInstallationFolderTheDefaultFolderIsSearched)
{
    theSettings.m_strInstallDir.clear();
    auto page = Make();
    ASSERT_EQ(Dialogs::Shown().size(), 1);
    EXPECT_EQ(Dialogs::Shown()[0].strText,
              QStringLiteral("No Registry data found! dll search is in default folder!"));
    EXPECT_EQ(page->ModelFolder(), QStringLiteral("../MODEL/"));
}

TEST_F(ModelDllDialogTest, SelectionShowsThePictureAndNoSelectionClearsIt)
{
    auto page = Make();
    page->SetListEnabled(true);
    theSettings.Set(&CAppSettings::m_strDllVersion, QStringLiteral("9.9"));
    QList<QImage> pictures;
    QObject::connect(page.get(), &CModelDllDialog::modelImageChanged,
                     [&](const QImage& i) { pictures.append(i); });
    page->FillList();
    // No row carries version 9.9: nothing selected, and apply refuses.
    EXPECT_FALSE(page->HasHotRow());
    EXPECT_FALSE(page->ApplyModelChoice());
    ASSERT_EQ(Dialogs::Shown().size(), 1);
    EXPECT_EQ(Dialogs::Shown()[0].strText, QStringLiteral("Select model dll."));

    page->List()->SetCurSel(1);
    ASSERT_FALSE(pictures.isEmpty());
    const QImage image = pictures.last();
    ASSERT_EQ(image.size(), QSize(4, 3));
    EXPECT_EQ(image.pixel(1, 2), 0xFF000201u);
    EXPECT_EQ(page->HotRow(), 1);

    page->List()->clearSelection();
    EXPECT_TRUE(pictures.last().isNull());
    EXPECT_EQ(page->HotRow(), -1);

    // A row chosen by hand becomes the plug-in in use and the worker's selection.
    theSettings.m_bAutoModelDll = 1;
    page->List()->SetCurSel(1);
    ASSERT_TRUE(page->ApplyModelChoice());
    EXPECT_EQ(page->SelectedIndex(), 1);
    EXPECT_EQ(page->Selection()->Snapshot().nSelected, 1);
    EXPECT_EQ(theSettings.Get(&CAppSettings::m_strDllFile), page->Catalogue().GetPath(1));
    EXPECT_EQ(theSettings.Get(&CAppSettings::m_strModelName), QStringLiteral("REC-MODEL"));
    EXPECT_EQ(theSettings.Get(&CAppSettings::m_strDllVersion), QStringLiteral("1.0.2.3"));
    EXPECT_EQ(theSettings.m_bAutoModelDll.load(), 0);
}

// The picture of the plug-in in use; "N/A" and an empty path name no plug-in and are never
// loaded, even where a library happens to lie at that relative path.
TEST_F(ModelDllDialogTest, FillListShowsThePictureOfThePluginInUse)
{
    auto page = Make();
    page->SetListEnabled(true);
    const QString cwd = qpxtest::MakeTempDir(QStringLiteral("cwd"));
    QDir().mkpath(cwd + QStringLiteral("/N"));
    ASSERT_TRUE(QFile::copy(PLUGIN_DIR + QStringLiteral("qpx_rec_plugin.so"), cwd + QStringLiteral("/N/A")));
    const struct SRestore
    {
        QString folder = QDir::currentPath();
        ~SRestore() { QDir::setCurrent(folder); }
    } restore;
    ASSERT_TRUE(QDir::setCurrent(cwd));
    const struct
    {
        QString dll;
        bool picture;
    } cases[] = {{page->Catalogue().GetPath(0), true}, {QStringLiteral("N/A"), false}, {QString(), false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dll.toStdString());
        theSettings.Set(&CAppSettings::m_strDllFile, c.dll);
        theSettings.Set(&CAppSettings::m_strDllVersion, QStringLiteral("none"));
        QList<QImage> pictures;
        const auto conn = QObject::connect(page.get(), &CModelDllDialog::modelImageChanged,
                                           [&](const QImage& i) { pictures.append(i); });
        page->FillList();
        QObject::disconnect(conn);
        if (c.picture) {
            ASSERT_EQ(pictures.size(), 1);
            EXPECT_EQ(pictures[0].size(), QSize(4, 3));
        } else {
            EXPECT_TRUE(pictures.isEmpty());
        }
    }
}

} // namespace
