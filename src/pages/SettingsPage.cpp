#include "SettingsPage.h"

#include "controls/EditGrid.h"
#include "controls/SkinButton.h"
#include "core/AppSettings.h"
#include "pages/OperationLog.h"
#include "platform/Dialogs.h"
#include "platform/HostCommands.h"
#include "res/Pictures.h"

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QTabWidget>

namespace {

constexpr int COL_ITEM_NAME = 0;
constexpr int COL_PARAMETER1 = 1;
constexpr int COL_PARAMETER2 = 2;

const QString RESET_ELAPSED = QStringLiteral("00:00.0s");

} // namespace

CSettingsPage::CSettingsPage(QWidget* parent, IPageServices& services, const QRect& rect)
    : COperationPage(parent, services, RUN_PAGE_SETTINGS, rect, QStringLiteral("settingsPage"))
{
    CreateControls();
    RebuildCatalogue();
    OnTabChanged(0);
}

CSettingsPage::~CSettingsPage() = default;

void CSettingsPage::CreateControls()
{
    const int W = width() - 10;

    CreateTitle(Res::IDB_TITLE_SETTINGS);

    // The tab control only chooses the category; the lists lie on top of it, all at one place.
    m_pTabs = new QTabWidget(this);
    m_pTabs->setObjectName(QStringLiteral("categoryTabs"));
    m_pTabs->setGeometry(5, 35, 570, 245);
    for (int c = 0; c < NV_CATEGORY_COUNT; ++c)
        m_pTabs->addTab(new QWidget, NvCategoryTabText(c));
    connect(m_pTabs, &QTabWidget::currentChanged, this, &CSettingsPage::OnTabChanged);

    for (int c = 0; c < NV_CATEGORY_COUNT; ++c) {
        auto* grid = new CEditGrid(this);
        grid->setObjectName(QStringLiteral("categoryGrid%1").arg(c));
        grid->setGeometry(15, 80, 550, 190);
        grid->InsertColumn(COL_ITEM_NAME, QStringLiteral("Item Name"), Qt::AlignLeft, 190);
        grid->InsertColumn(COL_PARAMETER1, QStringLiteral("PARAMETER1"), Qt::AlignLeft, 185);
        grid->InsertColumn(COL_PARAMETER2, QStringLiteral("PARAMETER2"), Qt::AlignLeft, 150);
        grid->SetReadOnlyColumn(COL_ITEM_NAME, true);
        grid->SetGridLines(true);
        grid->setSelectionBehavior(QAbstractItemView::SelectRows);
        grid->SetRowHeight(20);
        grid->hide();
        grid->raise();
        m_grids[c] = grid;
        m_adapters[c] = std::make_unique<CPluginList>(grid, QList<int>{COL_PARAMETER1, COL_PARAMETER2});
    }

    m_pReadButton = CreateStartButton(QStringLiteral("readButton"));
    m_pReadButton->setGeometry(275, 285, 150, 40);
    m_pReadButton->SetBitmaps(1090, 0, 1091, 0, 1090, 0, 161, 0);
    connect(m_pReadButton, &QPushButton::clicked, this, &CSettingsPage::OnRead);

    m_pWriteButton = CreateStartButton(QStringLiteral("writeButton"));
    m_pWriteButton->setGeometry(425, 285, 150, 40);
    m_pWriteButton->SetBitmaps(1094, 0, 1095, 0, 1094, 0, 160, 0);
    connect(m_pWriteButton, &QPushButton::clicked, this, &CSettingsPage::OnWrite);

    SStatusGroupLook look;
    look.strTitle = QStringLiteral(" Operation Status ");
    look.strAddress = QStringLiteral("Address");
    look.strElapsed = RESET_ELAPSED;
    look.strResetElapsed = RESET_ELAPSED;
    look.nBase = W;
    look.nGroupWidth = W;
    CreateStatusGroup(look);
}

CEditGrid* CSettingsPage::Grid(int category) const
{
    return category >= 0 && category < NV_CATEGORY_COUNT ? m_grids[category] : nullptr;
}

CPluginList* CSettingsPage::PluginList(int category) const
{
    return category >= 0 && category < NV_CATEGORY_COUNT ? m_adapters[category].get() : nullptr;
}

// ---- host calls ----------------------------------------------------------------------------------

void CSettingsPage::RebuildCatalogue()
{
    m_bCategoryRead.fill(false);
    ++m_nCatalogueGeneration;
    for (int c = 0; c < NV_CATEGORY_COUNT; ++c) {
        CEditGrid* grid = m_grids[c];
        grid->DeleteAllItems();
        grid->ClearEditorDefs();
        const QStringList names = NvCategoryItems(c);
        for (int r = 0; r < names.size(); ++r)
            grid->InsertItem(r, names[r]);
    }
}

bool CSettingsPage::IsCategoryRead(int category) const
{
    return category >= 0 && category < NV_CATEGORY_COUNT && m_bCategoryRead[category];
}

int CSettingsPage::CurrentCategory() const
{
    return m_nCategory;
}

void CSettingsPage::LockOwnRun(const SRunLock&)
{
    m_pTabs->setEnabled(false);
    if (CEditGrid* grid = Grid(m_nRunCategory))
        grid->setEnabled(false);
}

void CSettingsPage::ReleaseOwnRun(const SRunLock&)
{
    m_pTabs->setEnabled(true);
    if (CEditGrid* grid = Grid(m_nRunCategory))
        grid->setEnabled(true);
}

// ---- user commands -------------------------------------------------------------------------------

void CSettingsPage::SelectCategory(int index)
{
    if (m_pTabs->currentIndex() != index)
        m_pTabs->setCurrentIndex(index); // reaches OnTabChanged
    else
        OnTabChanged(index);
}

void CSettingsPage::OnTabChanged(int index)
{
    m_nCategory = index;
    for (CEditGrid* grid : m_grids)
        grid->hide();
    if (CEditGrid* grid = Grid(index))
        grid->show();
}

void CSettingsPage::OnRead()
{
    Run(1);
}

void CSettingsPage::OnWrite()
{
    // Values that did not come from the handset (empty after start-up or a rebuild, or whatever a
    // failed read left) are never written to it.
    CEditGrid* grid = Grid(m_nCategory);
    if (grid == nullptr || grid->GetItemCount() == 0 || !IsCategoryRead(m_nCategory)) {
        Dialogs::MessageBox(this, QStringLiteral("write function must be executed after read function"),
                            Caption());
        return;
    }
    Run(0);
}

void CSettingsPage::Run(int direction)
{
    const QString dllFile = theSettings.Get(&CAppSettings::m_strDllFile);
    if (!m_run.Load(dllFile)) {
        Dialogs::MessageBox(this, QStringLiteral("ERR: Failed to load model dll"), Caption());
        return;
    }
    m_pfnSettings = m_run.Function<PFN_ModelInterface_Settings>(QPX_SYM_SETTINGS);
    if (m_pfnSettings == nullptr) {
        m_run.Unload();
        Dialogs::MessageBox(this, QStringLiteral("ERR: Failed to load dll function"), Caption());
        return;
    }

    m_nRunCategory = m_nCategory;
    m_nRunDirection = direction;
    m_nRunGeneration = m_nCatalogueGeneration;
    // A read overwrites the values: until it succeeds they are not the handset's.
    if (direction == 1 && Grid(m_nRunCategory) != nullptr)
        m_bCategoryRead[m_nRunCategory] = false;
    CEditGrid* grid = Grid(m_nRunCategory);
    BeginRun(OP_SETTINGS);

    // The plug-in reads and writes the cells; no editor may hold a half-typed value meanwhile.
    for (CEditGrid* g : m_grids)
        g->CloseEditors();

    const QByteArray dll = PluginPath(dllFile);
    QpxList* list = grid != nullptr ? m_run.AttachList(PluginList(m_nRunCategory)) : nullptr;
    m_pfnSettings(m_run.Window(), theSettings.m_nPortNum, CPluginRun::ToQpxRect(StatusRect()),
                  dll.constData(), m_nRunCategory, direction, 0, list);
}

// ---- completion ----------------------------------------------------------------------------------

void CSettingsPage::OnPluginNotify(WPARAM wParam, LPARAM lParam)
{
    // A completion without a run of this page has no record behind it.
    if (wParam != PLUGIN_DONE || !m_run.IsLoaded())
        return;
    m_pfnSettings = nullptr;
    const OperationResult result = CPluginRun::CopyResult(lParam);
    if (m_nRunDirection == 1 && result.nResult < 0 && m_nRunGeneration == m_nCatalogueGeneration &&
        Grid(m_nRunCategory) != nullptr)
        m_bCategoryRead[m_nRunCategory] = true;
    FinishRun(result);
}
