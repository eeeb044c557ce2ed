#include "UpgradePage.h"

#include "controls/SkinButton.h"
#include "core/AppSettings.h"
#include "core/WorkFolder.h"
#include "pages/FolderChooser.h"
#include "pages/PathRules.h"
#include "pages/UpgradeExports.h"
#include "platform/Dialogs.h"
#include "platform/HostCommands.h"
#include "res/Pictures.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QThread>

#include <algorithm>

namespace {

constexpr QRgb KEY_WHITE = 0xFFFFFF;

void Message(QWidget* parent, const QString& text)
{
    Dialogs::MessageBox(parent, text, COperationPage::Caption(), MB_OK);
}

} // namespace

// ---- rows ---------------------------------------------------------------------------------

void CUpgradePage::SPathRow::SetShown(bool shown) const
{
    label->setVisible(shown);
    edit->setVisible(shown);
    browse->setVisible(shown);
}

void CUpgradePage::SPathRow::SetEnabled(bool enabled) const
{
    edit->setEnabled(enabled);
    browse->setEnabled(enabled);
}

// ---- creation -----------------------------------------------------------------------------

CUpgradePage::CUpgradePage(QWidget* parent, IPageServices& services, const QRect& rect)
    : COperationPage(parent, services, RUN_PAGE_UPGRADE, rect, QStringLiteral("upgradePage"))
{
    CreateControls();
    LayOut();
    m_binRow.SetShown(false);
    m_scrRow.SetShown(false);
    InitialiseInputs();
    // Dialogs::ChooseFolder shows the program's own chooser from now on.
    Dialogs::SetFolderChooser(&CFolderChooser::Choose);
}

CUpgradePage::~CUpgradePage() = default;

void CUpgradePage::CreateControls()
{
    m_pTitle = CreateTitle(0);

    const auto makeRow = [this](SPathRow& row, const char* name, const char* caption, int kind,
                                EPathRow bit) {
        const QString base = QString::fromLatin1(name);
        row.label = new QLabel(QString::fromLatin1(caption), this);
        row.label->setObjectName(base + QStringLiteral("Label"));
        row.edit = new QLineEdit(this);
        row.edit->setObjectName(base + QStringLiteral("PathEdit"));
        row.browse = new CSkinButton(this);
        row.browse->setObjectName(base + QStringLiteral("BrowseButton"));
        row.browse->setAccessibleName(QStringLiteral("Browse ") +
                                      QString::fromLatin1(caption).section(QLatin1String(" :"), 0, 0));
        row.browse->SetBitmaps(Res::IDB_BROWSE_OVER, KEY_WHITE, Res::IDB_BROWSE_NORMAL, KEY_WHITE);
        connect(row.browse, &QPushButton::clicked, this, [this, kind] { OnBrowse(kind); });
        SetPathRowButton(bit, row.browse);
    };
    makeRow(m_binRow, "bin", "BIN File Path :", INPUT_BIN, PATH_BIN);
    makeRow(m_scrRow, "scr", "SCR File Path :", INPUT_SCRIPT, PATH_SCR);

    m_pDirectionGroup = new QGroupBox(QStringLiteral(" Select Direction "), this);
    m_pDirectionGroup->setObjectName(QStringLiteral("directionGroup"));
    m_pRead = new QRadioButton(QStringLiteral("Read"), m_pDirectionGroup);
    m_pRead->setObjectName(QStringLiteral("readRadio"));
    m_pWrite = new QRadioButton(QStringLiteral("Write"), m_pDirectionGroup);
    m_pWrite->setObjectName(QStringLiteral("writeRadio"));
    connect(m_pRead, &QRadioButton::clicked, this, [this] { OnDirectionRadio(1); });
    connect(m_pWrite, &QRadioButton::clicked, this, [this] { OnDirectionRadio(0); });
    SetModeRadios(m_pRead, m_pWrite);

    m_pNamGroup = new QGroupBox(QStringLiteral(" Select NAM "), this);
    m_pNamGroup->setObjectName(QStringLiteral("namGroup"));
    static const char* const namTexts[3] = {"NAM 1", "NAM 2", "NAM 1,2"};
    static const char* const namNames[3] = {"nam1Radio", "nam2Radio", "nam12Radio"};
    for (int i = 0; i < 3; ++i) {
        m_pNam[i] = new QRadioButton(QString::fromLatin1(namTexts[i]), m_pNamGroup);
        m_pNam[i]->setObjectName(QString::fromLatin1(namNames[i]));
        connect(m_pNam[i], &QRadioButton::clicked, this, [this, i] { OnNamRadio(i); });
    }

    makeRow(m_prlRow, "prl", "PRL File Path :", INPUT_PRL, PATH_PRL);
    makeRow(m_eriRow, "eri", "ERI File Path :", INPUT_ERI, PATH_ERI);

    m_pStart = CreateStartButton(QStringLiteral("startButton"));
    m_pStart->setAccessibleName(QStringLiteral("Start")); // until an operation's faces name it
    connect(m_pStart, &QPushButton::clicked, this, &CUpgradePage::OnStart);

    const int w = std::max(width(), 150) - 10;
    SStatusGroupLook look;
    look.strTitle = QStringLiteral(" Operation Status ");
    look.strAddress = QStringLiteral("Address ");
    look.strElapsed = QStringLiteral("00.00s");
    look.strResetElapsed = QStringLiteral("00:00.0s");
    look.nBase = w;
    look.nGroupWidth = w;
    look.nCaptionWidth = 80;
    look.bHideCaptions = true;
    CreateStatusGroup(look);
}

void CUpgradePage::LayOut()
{
    const int w = std::max(width(), 150) - 10;
    const int q = w / 10;

    const auto placeRow = [w](const SPathRow& row, int labelY, int labelH, int boxY) {
        row.label->setGeometry(5, labelY, 90, labelH);
        row.edit->setGeometry(95, boxY, w - 120, 20);
        row.browse->setGeometry(w - 25, boxY, 25, 20);
    };
    placeRow(m_binRow, 55, 20, 50);
    placeRow(m_scrRow, 100, 20, 95);

    // Radios are children of their group boxes: page positions less the group's origin.
    m_pDirectionGroup->setGeometry(5, 50, w - 6, 70);
    m_pRead->setGeometry(175 - 5, 80 - 50, 50, 15);
    m_pWrite->setGeometry(385 - 5, 80 - 50, 60, 15);
    m_pNamGroup->setGeometry(5, 135, w - 6, 50);
    m_pNam[0]->setGeometry(q + 35 - 5, 155 - 135, 90, 20);
    m_pNam[1]->setGeometry(4 * q + 35 - 5, 155 - 135, 90, 20);
    m_pNam[2]->setGeometry(7 * q + 35 - 5, 155 - 135, 105, 20);

    placeRow(m_prlRow, 210, 15, 205);
    placeRow(m_eriRow, 260, 20, 255);

    m_pStart->setGeometry(3, 290, w, 40);
}

void CUpgradePage::InitialiseInputs()
{
    m_binRow.edit->setText(theSettings.m_strLastBinFile);
    m_scrRow.edit->setText(theSettings.m_strLastScrFile);
    m_prlRow.edit->setText(theSettings.m_strLastPrlFile);
    m_eriRow.edit->setText(theSettings.m_strLastEriFile);

    if (theSettings.m_nLastDirection == 1)
        m_pRead->setChecked(true);
    else if (theSettings.m_nLastDirection == 0)
        m_pWrite->setChecked(true);

    // "NAM 1,2" is shown whatever was remembered; the remembered value stays as it is.
    m_pNam[2]->setChecked(true);
    m_pNam[2]->setFocus();
}

// ---- operation selection ------------------------------------------------------------------

const int* CUpgradePage::StartFacesOf(int operation) const
{
    const SUpgradeOperation* op = UpgradeOperationOf(operation);
    return op ? op->faces.data() : nullptr;
}

int CUpgradePage::TitleBitmap(int operation)
{
    const SUpgradeOperation* op = UpgradeOperationOf(operation);
    return op ? op->nTitle : 0;
}

void CUpgradePage::SelectOperation(int n)
{
    const int previous = m_nSelected;
    m_nSelected = n;
    if (n != previous) {
        m_pDirectionGroup->hide();
        m_binRow.SetShown(true);
        m_scrRow.SetShown(true);
        m_pTitle->hide();
        m_nTitleBitmap = 0;
    }

    if (const int* faces = StartFacesOf(n))
        SetStartFaces(faces);

    const QString dll = theSettings.Get(&CAppSettings::m_strDllFile);
    if (dll.isEmpty() || dll == QLatin1String("N/A") || dll == QLatin1String("Connecting..."))
        m_pStart->setEnabled(false);
    else if (m_bFirmwareOnly)
        EnableStart(m_bStartWanted);

    if (UpgradeOperationOf(n) == nullptr)
        return;
    m_nTitleBitmap = TitleBitmap(n);
    m_pTitle->setPixmap(QPixmap::fromImage(LoadBitmap(m_nTitleBitmap)));
    m_pTitle->show();
    ApplyRows();
    if (n == OP_PRL || n == OP_ERI) {
        m_pDirectionGroup->show();
        m_binRow.SetShown(false);
        m_scrRow.SetShown(false);
        if (n == OP_PRL)
            m_pNamGroup->setFocus();
    }
}

void CUpgradePage::ApplyRows()
{
    const SUpgradeOperation* op = UpgradeOperationOf(m_nSelected);
    if (op == nullptr)
        return;
    const auto simpleRow = [](const SPathRow& row, EUpgradeRow state) {
        row.SetShown(state != ROW_HIDDEN);
        row.SetEnabled(state == ROW_ENABLED);
    };
    simpleRow(m_binRow, op->bin);
    simpleRow(m_scrRow, op->scr);
    for (QRadioButton* r : m_pNam)
        r->setEnabled(op->namPrl == ROW_ENABLED);

    if (!op->bRowsFollowDirection) {
        m_prlRow.SetEnabled(op->namPrl == ROW_ENABLED);
        m_eriRow.SetEnabled(op->eri == ROW_ENABLED);
    } else {
        UpdateDirectionRow(m_prlRow, op->namPrl == ROW_ENABLED);
        UpdateDirectionRow(m_eriRow, op->eri == ROW_ENABLED);
    }
}

// A file row that depends on the direction: off for Read, as its column for Write, unchanged when
// neither (or both) radios are checked.
void CUpgradePage::UpdateDirectionRow(const SPathRow& row, bool columnEnabled)
{
    const bool read = m_pRead->isChecked();
    const bool write = m_pWrite->isChecked();
    if (read && !write)
        row.SetEnabled(false);
    else if (write && !read)
        row.SetEnabled(columnEnabled);
}

// ---- user commands ------------------------------------------------------------------------

void CUpgradePage::OnNamRadio(int nam)
{
    theSettings.m_nLastSelectNam = nam;
}

void CUpgradePage::OnDirectionRadio(int direction)
{
    theSettings.m_nLastDirection = direction;
    const bool enable = direction == 0;
    if (m_nSelected == OP_PRL)
        m_prlRow.SetEnabled(enable);
    else if (m_nSelected == OP_ERI)
        m_eriRow.SetEnabled(enable);
}

const CUpgradePage::SPathRow& CUpgradePage::RowOf(int kind) const
{
    switch (kind) {
    case INPUT_BIN:
        return m_binRow;
    case INPUT_SCRIPT:
        return m_scrRow;
    case INPUT_PRL:
        return m_prlRow;
    default:
        return m_eriRow;
    }
}

void CUpgradePage::OnBrowse(int kind)
{
    const SPathRow& row = RowOf(kind);
    const SUpgradeFile& info = *UpgradeFileOf(kind);
    SFileDialogRequest request;
    request.bSave = false;
    request.strTitle = QString::fromLatin1(info.title);
    request.strInitialName = QString::fromLatin1(info.initialName);
    request.filters = {QString::fromLatin1(info.filter), QStringLiteral("All Files (*.*)")};
    request.strInitialFolder = NearestExistingFolder(row.edit->text());
    if (request.strInitialFolder.isEmpty()) {
        const QString dll = theSettings.Get(&CAppSettings::m_strDllFile);
        if (!dll.isEmpty())
            request.strInitialFolder = PluginFolderOf(dll);
    }
    QString chosen;
    if (!Dialogs::ChooseFile(this, request, &chosen))
        return;
    row.edit->setText(chosen);
    theSettings.*info.field = chosen;
}

// ---- input checks -------------------------------------------------------------------------

SUpgradeInputs CUpgradePage::Inputs() const
{
    SUpgradeInputs in;
    for (int kind = INPUT_BIN; kind <= INPUT_ERI; ++kind) {
        const SPathRow& row = RowOf(kind);
        in.paths[kind - INPUT_BIN] = row.edit->text();
        in.pathEnabled[kind - INPUT_BIN] = row.edit->isEnabled();
    }
    for (int i = 0; i < 3; ++i) {
        if (m_pNam[i]->isChecked()) {
            in.nNam = i;
            break;
        }
    }
    in.nDirection = m_pRead->isChecked() ? 1 : m_pWrite->isChecked() ? 0 : -1;
    return in;
}

CUpgradePage::EInputCheck CUpgradePage::ValidateInput(int kind)
{
    if (kind < INPUT_BIN || kind > INPUT_DIRECTION)
        return CHECK_REFUSED;
    const SUpgradeInputs in = Inputs();
    const QString problem = UpgradeInputProblem(kind, in);
    if (!problem.isEmpty()) {
        Message(this, problem);
        return CHECK_REFUSED;
    }
    // A good input is remembered.
    if (const SUpgradeFile* file = UpgradeFileOf(kind))
        theSettings.*file->field = in.paths[kind - INPUT_BIN];
    else if (kind == INPUT_NAM)
        theSettings.m_nLastSelectNam = in.nNam;
    else
        theSettings.m_nLastDirection = in.nDirection;
    return CHECK_PASSED;
}

// Start checks the inputs of the operation in its order; PRL and ERI check their file for
// Write only.
bool CUpgradePage::CheckInputs(const SUpgradeOperation& op)
{
    for (size_t i = 0; i < op.inputs.size() && op.inputs[i] != INPUT_NONE; ++i) {
        const bool last = i + 1 == op.inputs.size() || op.inputs[i + 1] == INPUT_NONE;
        if (last && op.bLastInputForWrite && theSettings.m_nLastDirection != 0)
            return true;
        if (ValidateInput(op.inputs[i]) != CHECK_PASSED)
            return false;
    }
    return true;
}

// ---- run ----------------------------------------------------------------------------------

void CUpgradePage::OnStart()
{
    if (theSettings.m_bBusy == 1)
        return;
    const int sel = m_nSelected;
    const SUpgradeOperation* op = UpgradeOperationOf(sel);
    if (op == nullptr)
        return;

    if (!op->bReadFirst && !CheckInputs(*op))
        return;

    m_run.Load(theSettings.Get(&CAppSettings::m_strDllFile));
    if (!m_run.IsLoaded() || !m_run.Symbol(op->exportName)) {
        QThread::msleep(300);
        Message(this, QStringLiteral("This operation is not supported in the current Model DLL."));
        m_run.Unload();
        return;
    }
    if (op->bReadFirst && !CheckInputs(*op)) {
        m_run.Unload();
        return;
    }

    QString fileArgument;
    if (op->bReadFirst) {
        if (theSettings.m_nLastDirection == 0) {
            fileArgument = sel == OP_PRL ? theSettings.m_strLastPrlFile : theSettings.m_strLastEriFile;
        } else {
            SFolderDialogRequest request;
            request.strTitle = sel == OP_PRL ? QStringLiteral("Select folder to save PRL file")
                                             : QStringLiteral("Select folder to save ERI file");
            request.strPrompt = sel == OP_PRL ? QStringLiteral("Directory for  PRL read")
                                              : QStringLiteral("Directory for  ERI read");
            request.strInitialFolder = PluginFolderOf(theSettings.Get(&CAppSettings::m_strDllFile));
            QString folder;
            if (!Dialogs::ChooseFolder(this, request, &folder)) {
                m_run.Unload();
                return;
            }
            // The root "/" would otherwise give "//name".
            if (folder.endsWith(QLatin1Char('/')))
                folder.chop(1);
            fileArgument =
                folder + (sel == OP_PRL ? PrlReadFileName(theSettings.m_nLastSelectNam) : EriReadFileName());
            if (!MayReplace(fileArgument)) {
                m_run.Unload();
                return;
            }
        }
    }

    if (Dialogs::MessageBox(this, QStringLiteral("Are you sure?"), Caption(), MB_YESNO) != IDYES) {
        m_run.Unload();
        return;
    }

    BeginRun(op->nOperation);
    SUpgradeCall call;
    call.pPage = m_run.Window();
    call.nPort = theSettings.m_nPortNum;
    call.rect = CPluginRun::ToQpxRect(StatusRect());
    call.dll = PluginPath(theSettings.Get(&CAppSettings::m_strDllFile));
    call.bin = PluginPath(theSettings.m_strLastBinFile);
    call.scr = PluginPath(theSettings.m_strLastScrFile);
    call.prl = PluginPath(theSettings.m_strLastPrlFile);
    call.eri = PluginPath(theSettings.m_strLastEriFile);
    call.file = PluginPath(fileArgument);
    call.nNam = theSettings.m_nLastSelectNam;
    call.nDirection = theSettings.m_nLastDirection;
    CallUpgradeExport(m_run, sel, call);
}

// A read replaces the files it writes: files already there are replaced only after a Yes.
bool CUpgradePage::MayReplace(const QString& fileArgument)
{
    QStringList existing;
    for (const QString& file : ReadTargetFiles(fileArgument)) {
        if (QFileInfo::exists(file))
            existing << file;
    }
    if (existing.isEmpty())
        return true;
    const QString text =
        QStringLiteral("File exists! Replace the previous file?\n\n") + existing.join(QLatin1Char('\n'));
    return Dialogs::MessageBox(this, text, Caption(), MB_YESNO, MB_ICONQUESTION) == IDYES;
}

void CUpgradePage::OnPluginNotify(WPARAM wParam, LPARAM lParam)
{
    // A completion without a run of this page in progress (stray, or repeated after the release)
    // has no record behind it that may still be read.
    if (wParam != PLUGIN_DONE || !m_run.IsInProgress())
        return;
    FinishRun(CPluginRun::CopyResult(lParam));
}

// ---- start button and status --------------------------------------------------------------

void CUpgradePage::ResetStatus()
{
    EnableStart(false);
    COperationPage::ResetStatus();
}

int CUpgradePage::Mode() const
{
    return theSettings.m_nLastDirection;
}

void CUpgradePage::EnableStart(bool enable)
{
    m_bStartWanted = enable;
    COperationPage::EnableStart(enable && StartFitsHandset());
}

void CUpgradePage::SetFirmwareOnly(bool on)
{
    m_bFirmwareOnly = on;
}

bool CUpgradePage::StartFitsHandset() const
{
    const SUpgradeOperation* op = UpgradeOperationOf(m_nSelected);
    return !m_bFirmwareOnly || (op != nullptr && op->bFirmware);
}

// ---- run lock -----------------------------------------------------------------------------

void CUpgradePage::ApplyRunLock(int operation)
{
    ShowValueLines(false);
    COperationPage::ApplyRunLock(operation);
}

void CUpgradePage::ReleaseRunLock(int operation)
{
    ShowValueLines(true);
    COperationPage::ReleaseRunLock(operation);
}

void CUpgradePage::LockOwnRun(const SRunLock& lock)
{
    if (lock.bLockNam) {
        for (int i = 0; i < 3; ++i) {
            if (i != theSettings.m_nLastSelectNam)
                m_pNam[i]->setEnabled(false);
        }
    }
}

void CUpgradePage::ReleaseOwnRun(const SRunLock& lock)
{
    if (lock.bLockNam) {
        for (QRadioButton* r : m_pNam)
            r->setEnabled(true);
    }
}
