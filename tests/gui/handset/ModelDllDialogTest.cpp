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
        for (const auto& [from, to] :
             {std::pair{"qpx_rec_plugin", "a"}, {"qpx_rec_plugin_min", "b"}, {"qpx_rec_plugin_nokind", "c"}})
            ASSERT_TRUE(QFile::copy(PLUGIN_DIR + QLatin1String(from) + QStringLiteral(".so"),
                                    model + QLatin1String(to) + QStringLiteral(".so")));
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

TEST_F(ModelDllDialogTest, WithoutAnInstallationFolderTheDefaultFolderIsSearched)
{
    theSettings.m_strInstallDir.clear();
    auto page = Make();
    ASSERT_EQ(Dialogs::Shown().size(), 1);
    EXPECT_EQ(Dialogs::Shown()[0].strText,
              QStringLiteral("No Registry data found! dll search is in default folder!"));
    EXPECT_EQ(page->ModelFolder(), QStringLiteral("../MODEL/"));
}

// The usable plug-ins are listed (only while a port is in use) with version, time and location;
// a selection shows the picture, and a row chosen by hand becomes the plug-in in use.
TEST_F(ModelDllDialogTest, ListSelectionPictureAndChoice)
{
    auto page = Make();
    EXPECT_EQ(page->ModelFolder(), m_install + QStringLiteral("MODEL/"));
    CXListCtrl* list = page->List();
    page->FillList();
    EXPECT_EQ(list->GetItemCount(), 0);
    page->SetListEnabled(true);
    page->FillList();
    ASSERT_EQ(list->GetItemCount(), 2);
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(QStringList({list->GetItemText(row, 0), list->GetItemText(row, 1),
                               list->GetItemText(row, 2), list->GetItemText(row, 3)}),
                  QStringList({QStringLiteral("REC-MODEL"), QStringLiteral("1.0.2.3"),
                               FileModifiedText(page->Catalogue().GetPath(row)), QStringLiteral("./MODEL")}));
    }
    // The version in use was empty: it becomes the first row's, and that row is selected.
    EXPECT_EQ(theSettings.Get(&CAppSettings::m_strDllVersion), QStringLiteral("1.0.2.3"));
    EXPECT_EQ(list->GetCurSel(), 0);

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
    EXPECT_EQ(pictures.last().size(), QSize(4, 3)); // the plug-in's picture
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

// "N/A" and an empty path name no plug-in and are never loaded, even where a library happens to
// lie at that relative path.
TEST_F(ModelDllDialogTest, NoPluginNameIsNeverLoaded)
{
    auto page = Make();
    page->SetListEnabled(true);
    const QString cwd = qpxtest::MakeTempDir(QStringLiteral("cwd"));
    QDir().mkpath(cwd + QStringLiteral("/N"));
    ASSERT_TRUE(QFile::copy(PLUGIN_DIR + QStringLiteral("qpx_rec_plugin.so"), cwd + QStringLiteral("/N/A")));
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(cwd));
    int pictures = 0;
    QObject::connect(page.get(), &CModelDllDialog::modelImageChanged, [&] { ++pictures; });
    for (const QString& dll : {QStringLiteral("N/A"), QString()}) {
        theSettings.Set(&CAppSettings::m_strDllFile, dll);
        theSettings.Set(&CAppSettings::m_strDllVersion, QStringLiteral("none"));
        page->FillList();
    }
    QDir::setCurrent(saved);
    EXPECT_EQ(pictures, 0);
}

} // namespace
