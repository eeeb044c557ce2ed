#pragma once
// The settings page: fourteen categories of handset settings, each a grid of the catalogue's
// item names with two parameter columns that the model plug-in reads, the user edits in place
// and the plug-in writes back.
//
//   Read / Write ─ (Write: the category must have rows and have been read since the catalogue
//                  was built) ─ load plug-in, ModelInterface_Settings
//                  ─ BeginRun(6): value lines hidden, tabs, list and buttons off, toolbar off,
//                  link stopped, busy ─ every in-place editor closed ─
//                  Settings(page, port, rect, dll, category, direction 1/0, 0, category's grid)
//   PLUGIN_DONE ─ (a successful Read marks its category read) FinishRun: value lines on, result
//                 shown and logged, ReleaseRs + wait + unload, tabs, list, buttons and toolbar
//                 on, message, busy cleared, link restarted
#include "pages/NvCatalogue.h"
#include "pages/OperationPage.h"
#include "pages/PluginLists.h"

#include <array>
#include <memory>

class CEditGrid;
class CSkinButton;
class QTabWidget;

class CSettingsPage : public COperationPage
{
    Q_OBJECT
public:
    CSettingsPage(QWidget* parent, IPageServices& services, const QRect& rect);
    ~CSettingsPage() override;

    // Empties every list (rows and editor definitions) and inserts the catalogue again; every
    // category then counts as not read.
    void RebuildCatalogue();
    // Whether a Read of the category succeeded since the catalogue was last built.
    bool IsCategoryRead(int category) const;
    int CurrentCategory() const;

    // User commands.
    void SelectCategory(int index); // as a click on tab index does
    void OnRead();
    void OnWrite();

    // The grid of a category (0..13), or nullptr.
    CEditGrid* Grid(int category) const;
    // The grid of a category as the plug-in sees it (editors in the PARAMETER columns only).
    CPluginList* PluginList(int category) const;
    QTabWidget* Tabs() const { return m_pTabs; }

private:
    void CreateControls();
    void OnTabChanged(int index);
    void Run(int direction);
    // Its own run (6) locks the tabs and the category's grid besides Read and Write.
    void LockOwnRun(const SRunLock& lock) override;
    void ReleaseOwnRun(const SRunLock& lock) override;
    void OnPluginNotify(WPARAM wParam, LPARAM lParam) override;

    int m_nCategory = 0;
    int m_nRunCategory = 0;
    int m_nRunDirection = 0;
    // The catalogue a run started on: a rebuild meanwhile leaves nothing a Read could mark.
    int m_nCatalogueGeneration = 0;
    int m_nRunGeneration = 0;
    std::array<bool, NV_CATEGORY_COUNT> m_bCategoryRead{};
    PFN_ModelInterface_Settings m_pfnSettings = nullptr;

    QTabWidget* m_pTabs = nullptr;
    std::array<CEditGrid*, NV_CATEGORY_COUNT> m_grids{};
    std::array<std::unique_ptr<CPluginList>, NV_CATEGORY_COUNT> m_adapters;
    CSkinButton* m_pReadButton = nullptr;
    CSkinButton* m_pWriteButton = nullptr;
};
