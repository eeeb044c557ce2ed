#include "MemoryTransferPage.h"

#include "controls/SkinButton.h"
#include "controls/XListCtrl.h"
#include "core/AppSettings.h"
#include "pages/OperationLog.h"
#include "pages/PageServices.h"
#include "pages/TransferRules.h"
#include "platform/Dialogs.h"
#include "platform/HostCommands.h"
#include "res/Pictures.h"

#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>

#include <QThread>
#include <tuple>

namespace {

constexpr int ROW_ALL = 0;
constexpr int COL_ITEMS = 0;
constexpr int COL_CHECKING = 1;

// Start faces: mouse-over, normal, checked, disabled; black is transparent.
constexpr int BACKUP_FACES[4] = {138, 137, 138, 157};
constexpr int RESTORE_FACES[4] = {151, 149, 151, 150};

// Time the file system gets after the previous backup was moved aside, before the plug-in writes.
constexpr unsigned long AFTER_SET_ASIDE_MS = 100;

} // namespace

CMemoryTransferPage::CMemoryTransferPage(QWidget* parent, IPageServices& services, const QRect& rect)
    : COperationPage(parent, services, RUN_PAGE_TRANSFER, rect, QStringLiteral("memoryTransferPage"))
{
    CreateControls();

    SetMode(1);
    m_pBackupRadio->setChecked(true);
    m_pList->SetCheckbox(ROW_ALL, COL_CHECKING, 1);
    m_pList->SetBold(ROW_ALL, COL_ITEMS, true);
}

CMemoryTransferPage::~CMemoryTransferPage() = default;

void CMemoryTransferPage::CreateControls()
{
    const int w = width();

    CreateTitle(Res::IDB_TITLE_TRANSFER);

    auto* itemGroup = new QGroupBox(QStringLiteral(" Item Option "), this);
    itemGroup->setObjectName(QStringLiteral("itemGroup"));
    itemGroup->setGeometry(5, 40, w - 15, 160);

    m_pList = CreateList(QStringLiteral("itemList"), QRect(15, 58, w - 35, 130), 15);
    SetupList();
    // The control has toggled the box and moved the selection before it reports the click.
    connect(m_pList, &CXListCtrl::itemClicked, this, [this](int, int) { OnItemClicked(); });

    auto* modeGroup = new QGroupBox(QStringLiteral(" Select Mode "), this);
    modeGroup->setObjectName(QStringLiteral("modeGroup"));
    modeGroup->setGeometry(5, 210, w - 15, 60);

    std::tie(m_pBackupRadio, m_pRestoreRadio) = CreateModeRadios(
        QStringLiteral("Backup"), QStringLiteral("Restore"), 235, BACKUP_FACES, RESTORE_FACES);
    connect(m_pBackupRadio, &QRadioButton::clicked, this, &CMemoryTransferPage::OnBackupRadio);
    connect(m_pRestoreRadio, &QRadioButton::clicked, this, &CMemoryTransferPage::OnRestoreRadio);

    CSkinButton* start =
        CreateWideStartAndStatus(QStringLiteral("Operation Status "), QStringLiteral("Address"));
    connect(start, &QPushButton::clicked, this, &CMemoryTransferPage::OnStart);

    // The group boxes are drawn under the controls they frame.
    itemGroup->lower();
    modeGroup->lower();
    StatusGroup()->lower();
}

void CMemoryTransferPage::SetupList()
{
    const int client = m_pList->width() - 2 * m_pList->frameWidth();
    m_pList->InsertColumn(COL_ITEMS, QStringLiteral("Items"), Qt::AlignHCenter, client * 70 / 100 - 1);
    m_pList->InsertColumn(COL_CHECKING, QStringLiteral("Checking"), Qt::AlignHCenter, client * 30 / 100 - 1);
    for (int r = 0; r < TRANSFER_ITEM_COUNT; ++r) {
        const QString text = QString::fromLatin1(TRANSFER_ITEM_TEXTS[r]);
        if (r == ROW_ALL)
            m_pList->InsertItem(r, text, QColor(Qt::black), QColor(223, 244, 188));
        else
            m_pList->InsertItem(r, text);
        m_pList->SetCheckbox(r, COL_CHECKING, 0);
    }
    // Only the Items cell of " All Items" carries the colour; its check box cell keeps the defaults.
    m_pList->SetItemColors(ROW_ALL, COL_CHECKING, QColor(), QColor());
}

// ---- user commands -------------------------------------------------------------------------------

void CMemoryTransferPage::OnBackupRadio()
{
    SetMode(1);
    for (int r = 0; r < TRANSFER_ITEM_COUNT; ++r) {
        m_pList->SetEnabled(r, true);
        m_pList->SetBold(r, COL_ITEMS, m_pList->GetCheckbox(r, COL_CHECKING) == 1);
    }
}

void CMemoryTransferPage::OnRestoreRadio()
{
    for (int r = 0; r < TRANSFER_ITEM_COUNT; ++r)
        m_pList->SetEnabled(r, true);
    SetMode(0);
    // Which kinds of data the work folder holds; check states stay as they are.
    const STransferPresence present = ProbeTransferFolder(theSettings.Get(&CAppSettings::m_strDllFile));
    for (int r = 1; r < TRANSFER_ITEM_COUNT; ++r) {
        const bool available = present.RowAvailable(r);
        m_pList->SetEnabled(r, available);
        m_pList->SetBold(r, COL_ITEMS, available);
    }
    if (!present.Any()) {
        m_pList->SetEnabled(ROW_ALL, false);
        m_pList->SetBold(ROW_ALL, COL_ITEMS, false);
    }
}

void CMemoryTransferPage::OnItemClicked()
{
    const int r = m_pList->GetCurSel();
    if (r < 0)
        return;
    const bool checked = m_pList->GetCheckbox(r, COL_CHECKING) == 1;
    if (!checked) {
        m_pList->SetBold(r, COL_ITEMS, false);
        return;
    }
    if (r == ROW_ALL) {
        // " All Items" and the single items exclude each other.
        for (int i = 0; i < TRANSFER_ITEM_COUNT; ++i)
            m_pList->SetCheckbox(i, COL_CHECKING, 0);
        m_pList->SetCheckbox(ROW_ALL, COL_CHECKING, 1);
        m_pList->SetBold(ROW_ALL, COL_ITEMS, true);
        for (int i = 1; i < TRANSFER_ITEM_COUNT; ++i)
            m_pList->SetBold(i, COL_ITEMS, false);
    } else {
        m_pList->SetCheckbox(ROW_ALL, COL_CHECKING, 0);
        m_pList->SetBold(ROW_ALL, COL_ITEMS, false);
        m_pList->SetBold(r, COL_ITEMS, true);
    }
}

quint32 CMemoryTransferPage::ItemMask() const
{
    QList<bool> checked;
    for (int r = 0; r < TRANSFER_ITEM_COUNT; ++r)
        checked.append(m_pList->GetCheckbox(r, COL_CHECKING) == 1);
    return TransferItemMask(checked);
}

void CMemoryTransferPage::SetSoftwareVersionSource(std::function<QString()> source)
{
    m_versionSource = std::move(source);
}

QString CMemoryTransferPage::SoftwareVersion() const
{
    return m_versionSource ? m_versionSource() : Services().HandsetSoftwareVersion();
}

void CMemoryTransferPage::OnStart()
{
    if (!m_pBackupRadio->isChecked() && !m_pRestoreRadio->isChecked()) {
        Dialogs::MessageBox(this, QStringLiteral("Choose Backup/Restore Mode First!"), Caption());
        return;
    }
    if (ItemMask() == 0) {
        Dialogs::MessageBox(this, QStringLiteral("Choose at least one item to backup"), Caption());
        return;
    }
    const QString handsetVersion = SoftwareVersion();

    const QString dllFile = theSettings.Get(&CAppSettings::m_strDllFile);
    if (!m_run.Load(dllFile)) {
        Dialogs::MessageBox(this, QStringLiteral("ERR: Failed to load model dll"), Caption());
        return;
    }
    // A library without GetSupportBINVersion serves no handset software at all.
    m_strSupportedVersion.clear();
    if (auto binVersion = m_run.Function<PFN_GetSupportBINVersion>(QPX_SYM_SUPPORT_BIN_VERSION)) {
        if (const char* text = binVersion())
            m_strSupportedVersion = QString::fromUtf8(text);
    }
    if (m_strSupportedVersion.isEmpty() || !IsTransferCompatible(handsetVersion, m_strSupportedVersion)) {
        m_run.Unload();
        Dialogs::MessageBox(this, QStringLiteral("Model non-compatible!"), Caption());
        return;
    }

    m_pfnTransfer = m_run.Function<PFN_ModelInterface_Transfer>(QPX_SYM_TRANSFER);
    if (m_pfnTransfer == nullptr) {
        m_run.Unload();
        return;
    }

    const SBackupScan scan = ScanBackupMarker(dllFile, m_strSupportedVersion);
    m_bBackupFound = scan.bFound;
    if (Mode() == 1) {
        if (m_bBackupFound) {
            const int answer = Dialogs::MessageBox(
                this, QStringLiteral("Backup file exists! Overwrite previous file into new file?"), Caption(),
                MB_YESNO);
            if (answer != IDYES) {
                m_run.Unload();
                m_pfnTransfer = nullptr;
                return;
            }
            // The previous backup stays until the new one has succeeded; a work folder that is
            // no real folder inside the plug-in's own folder is never touched.
            if (!m_previousBackup.SetAside(scan.strWorkFolder, dllFile, QDateTime::currentDateTime())) {
                m_run.Unload();
                m_pfnTransfer = nullptr;
                Dialogs::MessageBox(
                    this, QStringLiteral("Previous backup cannot be moved aside! Backup not started."),
                    Caption());
                return;
            }
            QThread::msleep(AFTER_SET_ASIDE_MS);
        }
    } else if (!m_bBackupFound) {
        m_run.Unload();
        m_pfnTransfer = nullptr;
        Dialogs::MessageBox(this, QStringLiteral("Backup file not exists!"), Caption());
        return;
    } else if (Dialogs::MessageBox(this, QStringLiteral("Are you sure?"), Caption(), MB_YESNO) != IDYES) {
        // A restore overwrites the handset's data.
        m_run.Unload();
        m_pfnTransfer = nullptr;
        return;
    }

    BeginRun(OP_TRANSFER);

    m_nItemMask = ItemMask();
    const QByteArray dll = PluginPath(dllFile);
    m_pfnTransfer(m_run.Window(), theSettings.m_nPortNum, CPluginRun::ToQpxRect(StatusRect()),
                  dll.constData(), Mode(), m_nItemMask);
}

// ---- completion ----------------------------------------------------------------------------------

void CMemoryTransferPage::OnPluginNotify(WPARAM wParam, LPARAM lParam)
{
    // A completion without a run of this page has no record behind it.
    if (wParam != PLUGIN_DONE || !m_run.IsLoaded())
        return;
    m_pfnTransfer = nullptr;
    const OperationResult result = CPluginRun::CopyResult(lParam);
    m_previousBackup.Settle(result.nResult < 0);
    FinishRun(result);
}
