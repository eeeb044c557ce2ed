#include "PhoneBookPage.h"

#include "controls/SkinButton.h"
#include "controls/XListCtrl.h"
#include "core/AppSettings.h"
#include "pages/CsvListLoader.h"
#include "pages/CsvReader.h"
#include "pages/OperationLog.h"
#include "pages/PathRules.h"
#include "platform/Dialogs.h"
#include "platform/HostCommands.h"
#include "res/Pictures.h"

#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>

#include <tuple>

namespace {

const char* const COLUMN_TITLES[CSV_COLUMNS] = {"Name",    "Mobile1", "Home",   "Work",
                                                "E-Mail1", "Mobile2", "E-Mail2"};

// Start faces: mouse-over, normal, checked, disabled; black is transparent.
constexpr int READ_FACES[4] = {136, 135, 136, 154};
constexpr int WRITE_FACES[4] = {174, 172, 174, 173};

QStringList CsvFilters()
{
    return {QStringLiteral("CSV Files (*.csv)"), QStringLiteral("All Files (*.*)")};
}

} // namespace

CPhoneBookPage::CPhoneBookPage(QWidget* parent, IPageServices& services, const QRect& rect)
    : COperationPage(parent, services, RUN_PAGE_PHONEBOOK, rect, QStringLiteral("phoneBookPage"))
{
    CreateControls();
    SetupListColumns();

    // Initial state: the last CSV file in the path box, Read mode with its face, path box and
    // browse button off.
    m_pPathEdit->setText(theSettings.m_strLastCsvFile);
    m_pReadRadio->setChecked(true);
    SetMode(1);
    m_pPathEdit->setEnabled(false);
    m_pBrowseButton->setEnabled(false);
}

CPhoneBookPage::~CPhoneBookPage() = default;

void CPhoneBookPage::CreateControls()
{
    const int w = width();

    CreateTitle(Res::IDB_TITLE_PHONEBOOK);

    m_pList = CreateList(QStringLiteral("phoneBookList"), QRect(6, 38, w - 16, 140), 14);
    m_pListAdapter = std::make_unique<CPluginList>(m_pList, QList<int>{},
                                                   [list = m_pList] { CompletePendingCsvLoad(list); });

    auto* directionGroup = new QGroupBox(QStringLiteral("Select Direction"), this);
    directionGroup->setObjectName(QStringLiteral("directionGroup"));
    directionGroup->setGeometry(6, 185, w - 16, 50);
    directionGroup->lower();

    // The radios are the page's children (not the group's), so their positions are the page's.
    std::tie(m_pReadRadio, m_pWriteRadio) =
        CreateModeRadios(QStringLiteral("Read"), QStringLiteral("Write"), 205, READ_FACES, WRITE_FACES);
    connect(m_pReadRadio, &QRadioButton::clicked, this, &CPhoneBookPage::OnReadRadio);
    connect(m_pWriteRadio, &QRadioButton::clicked, this, &CPhoneBookPage::OnWriteRadio);

    MakeLabel(this, QStringLiteral("CSV File Path :"), QRect(5, 250, 90, 20));
    m_pPathEdit = new QLineEdit(this);
    m_pPathEdit->setObjectName(QStringLiteral("csvPathEdit"));
    m_pPathEdit->setGeometry(95, 245, w - 130, 20);

    m_pBrowseButton = new CSkinButton(this);
    m_pBrowseButton->setObjectName(QStringLiteral("browseButton"));
    m_pBrowseButton->setAccessibleName(QStringLiteral("Browse CSV File Path"));
    m_pBrowseButton->setGeometry(w - 35, 245, 25, 20);
    m_pBrowseButton->SetBitmaps(Res::IDB_BROWSE_OVER, 0xFFFFFF, Res::IDB_BROWSE_NORMAL, 0xFFFFFF);
    connect(m_pBrowseButton, &QPushButton::clicked, this, &CPhoneBookPage::OnBrowse);
    SetPathRowButton(PATH_CSV, m_pBrowseButton);

    CSkinButton* start = CreateWideStartAndStatus(QStringLiteral("Operation Status"),
                                                  QStringLiteral("Address "), QStringLiteral("00.00s"));
    connect(start, &QPushButton::clicked, this, &CPhoneBookPage::OnStart);
}

void CPhoneBookPage::SetupListColumns()
{
    // Widths are shares of the list's client width: Name 13 %, the others 14 %, less a pixel.
    const int client = m_pList->width() - 2 * m_pList->frameWidth();
    for (int c = 0; c < CSV_COLUMNS; ++c) {
        const int share = c == 0 ? 13 : 14;
        m_pList->InsertColumn(c, QString::fromLatin1(COLUMN_TITLES[c]), Qt::AlignHCenter,
                              client * share / 100 - 1);
    }
}

// ---- host calls ----------------------------------------------------------------------------------

void CPhoneBookPage::EnableModeRadios(bool enable)
{
    m_pReadRadio->setEnabled(enable);
    m_pWriteRadio->setEnabled(enable);
}

void CPhoneBookPage::OnPortFound()
{
    EnableStart(true);
    if (!IsRunning())
        EnableModeRadios(true);
}

void CPhoneBookPage::ResetStatus()
{
    if (Mode() == 1)
        m_pList->DeleteAllItems();
    COperationPage::ResetStatus();
}

// ---- user commands -------------------------------------------------------------------------------

bool CPhoneBookPage::ReadCsvIntoList(const QString& path)
{
    QByteArray bytes;
    if (!ReadCsvFile(path, bytes)) {
        Dialogs::MessageBox(this, QStringLiteral("ERR: Failed to get data from file"), Caption());
        return false;
    }
    FillListFromCsv(m_pList, bytes);
    return true;
}

void CPhoneBookPage::OnReadRadio()
{
    if (theSettings.m_bBusy == 1)
        return;
    SetMode(1);
    m_pList->DeleteAllItems();
    m_pPathEdit->setEnabled(false);
    m_pBrowseButton->setEnabled(false);
}

void CPhoneBookPage::OnWriteRadio()
{
    if (theSettings.m_bBusy == 1)
        return;
    SetMode(0);
    const QString path = m_pPathEdit->text();
    if (path.isEmpty())
        m_pList->DeleteAllItems();
    else
        ReadCsvIntoList(path);
    m_pPathEdit->setEnabled(true);
    m_pBrowseButton->setEnabled(true);
}

void CPhoneBookPage::OnBrowse()
{
    SFileDialogRequest request;
    request.bSave = false;
    request.strTitle = QStringLiteral("Select CSV file");
    request.strInitialFolder = NearestExistingFolder(m_pPathEdit->text());
    request.filters = CsvFilters();
    QString chosen;
    if (!Dialogs::ChooseFile(this, request, &chosen))
        return;
    m_pPathEdit->setText(chosen);
    theSettings.m_strLastCsvFile = chosen;
    if (Mode() == 0)
        ReadCsvIntoList(chosen);
}

void CPhoneBookPage::OnStart()
{
    ShowValueLines(false);
    if (!m_pReadRadio->isChecked() && !m_pWriteRadio->isChecked()) {
        Dialogs::MessageBox(this, QStringLiteral("Choose Read/Write Mode First!"), Caption());
        return;
    }

    const QString dllFile = theSettings.Get(&CAppSettings::m_strDllFile);
    m_pfnPhoneBook = nullptr;
    if (m_run.Load(dllFile))
        m_pfnPhoneBook = m_run.Function<PFN_ModelInterface_PhoneBook>(QPX_SYM_PHONEBOOK);
    if (m_pfnPhoneBook == nullptr) {
        m_run.Unload();
        Dialogs::MessageBox(this, QStringLiteral("ERR: failed to load phonebook dll function."), Caption());
        return;
    }

    QString csvPath = m_pPathEdit->text();
    if (Mode() == 1) {
        SFileDialogRequest request;
        request.bSave = true;
        request.filters = CsvFilters();
        // The question about an existing file is asked below, about the name with its ".csv".
        request.bConfirmOverwrite = false;
        QString chosen;
        int filter = 0;
        if (!Dialogs::ChooseFile(this, request, &chosen, &filter)) {
            m_run.Unload();
            return;
        }
        csvPath = CsvSavePath(chosen, filter);
        if (QFileInfo::exists(csvPath) &&
            Dialogs::MessageBox(this,
                                QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                    .arg(QFileInfo(csvPath).fileName()),
                                Caption(), MB_YESNO, MB_ICONEXCLAMATION) != IDYES) {
            m_run.Unload();
            return;
        }
    } else {
        if (csvPath.isEmpty()) {
            m_run.Unload();
            Dialogs::MessageBox(this, QStringLiteral("Choose CSV File and proceed!"), Caption());
            return;
        }
        // The list shows exactly what is sent: the file as it is now, also when its path was
        // typed after the list was filled.
        QByteArray bytes;
        const bool readable = ReadCsvFile(csvPath, bytes);
        if (readable)
            FillListFromCsv(m_pList, bytes);
        if (!readable || CheckCsvContent(bytes) != ECsvContent::Entries) {
            m_run.Unload();
            Dialogs::MessageBox(this, QStringLiteral("Invaild CSV File. Choose another one!"), Caption());
            return;
        }
        // A write replaces the handset's phonebook.
        if (Dialogs::MessageBox(this, QStringLiteral("Are you sure?"), Caption(), MB_YESNO) != IDYES) {
            m_run.Unload();
            return;
        }
    }

    BeginRun(OP_PHONEBOOK);

    const QByteArray dll = PluginPath(dllFile);
    const QByteArray csv = PluginPath(csvPath);
    m_pfnPhoneBook(m_run.Window(), theSettings.m_nPortNum, CPluginRun::ToQpxRect(StatusRect()),
                   dll.constData(), Mode(), csv.constData(), m_run.AttachList(m_pListAdapter.get()));
}

// ---- completion ----------------------------------------------------------------------------------

void CPhoneBookPage::OnPluginNotify(WPARAM wParam, LPARAM lParam)
{
    // A completion without a run of this page has no record behind it.
    if (wParam != PLUGIN_DONE || !m_run.IsLoaded())
        return;
    m_pfnPhoneBook = nullptr;
    FinishRun(CPluginRun::CopyResult(lParam));
}
