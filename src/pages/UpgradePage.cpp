#include "UpgradePage.h"

#include "app/AppSettings.h"
#include "app/FunctionListPanel.h"
#include "app/HostCommands.h"
#include "app/MainFrame.h"
#include "app/PageHost.h"
#include "app/WorkFolder.h"
#include "controls/SkinButton.h"
#include "pages/FolderChooser.h"
#include "pages/MemoryTransferPage.h"
#include "pages/PathRules.h"
#include "pages/PhoneBookPage.h"
#include "platform/Dialogs.h"
#include "res/Pictures.h"

#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr QRgb KEY_BLACK = 0x000000;
constexpr QRgb KEY_WHITE = 0xFFFFFF;

// Row states per selected operation: BIN, SCR, NAM and PRL, ERI.
enum ERowState
{
    ROW_ENABLED,
    ROW_DISABLED,
    ROW_HIDDEN
};
struct SRowStates
{
    ERowState bin, scr, namPrl, eri;
};
constexpr SRowStates ROWS[] = {
    {ROW_ENABLED, ROW_ENABLED, ROW_ENABLED, ROW_ENABLED},    // 1 Upgrade
    {ROW_ENABLED, ROW_DISABLED, ROW_DISABLED, ROW_DISABLED}, // 2 Bin Download
    {ROW_DISABLED, ROW_ENABLED, ROW_ENABLED, ROW_ENABLED},   // 3 Script
    {ROW_HIDDEN, ROW_HIDDEN, ROW_ENABLED, ROW_DISABLED},     // 4 PRL
    {ROW_HIDDEN, ROW_HIDDEN, ROW_DISABLED, ROW_ENABLED},     // 5 ERI
    {ROW_ENABLED, ROW_ENABLED, ROW_DISABLED, ROW_DISABLED},  // 6 Refurbish
};

constexpr int START_FACES[6][4] = {
    {1089, 1088, 1089, 158}, {1081, 1080, 1081, 152}, {1083, 1082, 1083, 156},
    {1084, 1085, 1084, 155}, {1086, 1087, 1086, 153}, {178, 176, 178, 177},
};
constexpr int TITLES[6] = {148, 1075, 1074, 1077, 1076, 179};

struct SInputTexts
{
    const char* empty;
    const char* invalid;
};
constexpr SInputTexts INPUT_TEXTS[4] = {
    {"Select .BIN file and proceed!", "Invalid BIN File! Select another one!"},
    {"Select .Script file and proceed!", "Invalid SCRIPT File! Select another one!"},
    {"Select .PRL file and proceed!", "Invalid PRL File! Select another one!"},
    {"Select .ERI file and proceed!", "Invalid ERI File! Select another one!"},
};

struct SBrowseInfo
{
    const char* title;
    const char* initialName;
    const char* filter;
    QString CAppSettings::*field;
};
const SBrowseInfo BROWSE[4] = {
    {"Select binary file", "*.bin", "BIN Files (*.bin)", &CAppSettings::m_strLastBinFile},
    {"Select script file", "*.scr", "SCR Files (*.scr)", &CAppSettings::m_strLastScrFile},
    {"Select prl file", "*.prl", "PRL Files (*.prl)", &CAppSettings::m_strLastPrlFile},
    {"Select eri file", "*.bin", "ERI Files (*.bin)", &CAppSettings::m_strLastEriFile},
};

int OperationNumberOf(int selected)
{
    return selected == CUpgradePage::SEL_REFURBISH ? OP_REFURBISH : selected;
}

int SelectedOf(int operation)
{
    return operation == OP_REFURBISH ? CUpgradePage::SEL_REFURBISH : operation;
}

const char* ExportOf(int selected)
{
    switch (selected) {
    case CUpgradePage::SEL_UPGRADE:
        return QPX_SYM_UPGRADE;
    case CUpgradePage::SEL_BIN:
        return QPX_SYM_BIN;
    case CUpgradePage::SEL_SCRIPT:
        return QPX_SYM_SRC;
    case CUpgradePage::SEL_PRL:
        return QPX_SYM_PRL;
    case CUpgradePage::SEL_ERI:
        return QPX_SYM_ERI;
    case CUpgradePage::SEL_REFURBISH:
        return QPX_SYM_REFURBISH;
    default:
        return nullptr;
    }
}

void Message(QWidget* parent, const char* text)
{
    Dialogs::MessageBox(parent, QString::fromUtf8(text), COperationPage::Caption(), MB_OK);
}

QByteArray PathBytes(const QString& path)
{
    return QFile::encodeName(path);
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

CUpgradePage::CUpgradePage(QWidget* parent, CPageHost* host, const QRect& rect)
    : COperationPage(parent, host, rect)
{
    setObjectName(QStringLiteral("upgradePage"));
    CreateControls();
    LayOut();
    m_binRow.SetShown(false);
    m_scrRow.SetShown(false);
    InitialiseInputs();
    m_pRun = std::make_unique<CPluginRun>(this, this);
    // Dialogs::ChooseFolder shows the program's own chooser from now on.
    Dialogs::SetFolderChooser(&CFolderChooser::Choose);
}

CUpgradePage::~CUpgradePage() = default;

void CUpgradePage::CreateControls()
{
    // Group boxes first, so the controls laid over them stay on top.
    m_pStatusGroup = new QGroupBox(QStringLiteral(" Operation Status "), this);
    m_pStatusGroup->setObjectName(QStringLiteral("statusGroup"));

    m_pTitle = new QLabel(this);
    m_pTitle->setObjectName(QStringLiteral("titleLabel"));

    const auto makeRow = [this](SPathRow& row, const char* name, const char* caption, int kind) {
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
    };
    makeRow(m_binRow, "bin", "BIN File Path :", INPUT_BIN);
    makeRow(m_scrRow, "scr", "SCR File Path :", INPUT_SCRIPT);

    m_pDirectionGroup = new QGroupBox(QStringLiteral(" Select Direction "), this);
    m_pDirectionGroup->setObjectName(QStringLiteral("directionGroup"));
    m_pRead = new QRadioButton(QStringLiteral("Read"), m_pDirectionGroup);
    m_pRead->setObjectName(QStringLiteral("readRadio"));
    m_pWrite = new QRadioButton(QStringLiteral("Write"), m_pDirectionGroup);
    m_pWrite->setObjectName(QStringLiteral("writeRadio"));
    connect(m_pRead, &QRadioButton::clicked, this, [this] { OnDirectionRadio(1); });
    connect(m_pWrite, &QRadioButton::clicked, this, [this] { OnDirectionRadio(0); });

    m_pNamGroup = new QGroupBox(QStringLiteral(" Select NAM "), this);
    m_pNamGroup->setObjectName(QStringLiteral("namGroup"));
    static const char* const namTexts[3] = {"NAM 1", "NAM 2", "NAM 1,2"};
    static const char* const namNames[3] = {"nam1Radio", "nam2Radio", "nam12Radio"};
    for (int i = 0; i < 3; ++i) {
        m_pNam[i] = new QRadioButton(QString::fromLatin1(namTexts[i]), m_pNamGroup);
        m_pNam[i]->setObjectName(QString::fromLatin1(namNames[i]));
        connect(m_pNam[i], &QRadioButton::clicked, this, [this, i] { OnNamRadio(i); });
    }

    makeRow(m_prlRow, "prl", "PRL File Path :", INPUT_PRL);
    makeRow(m_eriRow, "eri", "ERI File Path :", INPUT_ERI);

    m_pStart = new CSkinButton(this);
    m_pStart->setObjectName(QStringLiteral("startButton"));
    m_pStart->setAccessibleName(QStringLiteral("Start")); // until an operation's faces name it
    connect(m_pStart, &QPushButton::clicked, this, &CUpgradePage::StartOperation);

    m_pProgress = new QProgressBar(this);
    m_pProgress->setObjectName(QStringLiteral("progressBar"));
    m_pProgress->setRange(0, 100);
    m_pProgress->setValue(0);
    m_pProgress->setTextVisible(false);
    m_pElapsed = new QLabel(QStringLiteral("00.00s"), this);
    m_pElapsed->setObjectName(QStringLiteral("elapsedLabel"));

    const auto makeLine = [this](QLabel*& label, QLabel*& value, const char* caption, const char* name) {
        const QString base = QString::fromLatin1(name);
        label = new QLabel(QString::fromLatin1(caption), this);
        label->setObjectName(base + QStringLiteral("Label"));
        value = new QLabel(this);
        value->setObjectName(base + QStringLiteral("Value"));
    };
    makeLine(m_pFileNameLabel, m_pFileValue, "File name ", "fileName");
    makeLine(m_pAddressLabel, m_pAddressValue, "Address ", "address");
    makeLine(m_pStatusLabel, m_pStatusValue, "Status ", "status");
}

void CUpgradePage::LayOut()
{
    const int w = std::max(width(), 150) - 10;
    const int q = w / 10;

    m_pTitle->setGeometry(6, 0, 569, 29);
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
    m_pStatusGroup->setGeometry(5, 340, w, 130);
    m_pProgress->setGeometry(15, 360, w - 95, 30);
    m_pElapsed->setGeometry(w - 76, 360, 64, 30);
    m_pFileNameLabel->setGeometry(15, 400, 80, 20);
    m_pFileValue->setGeometry(95, 400, w - 110, 20);
    m_pAddressLabel->setGeometry(15, 425, 80, 20);
    m_pAddressValue->setGeometry(95, 425, w - 110, 20);
    m_pStatusLabel->setGeometry(15, 450, 80, 18);
    m_pStatusValue->setGeometry(95, 450, w - 110, 18);
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

const int* CUpgradePage::StartFaces(int selected)
{
    if (selected < SEL_UPGRADE || selected > SEL_REFURBISH)
        return nullptr;
    return START_FACES[selected - 1];
}

int CUpgradePage::TitleBitmap(int selected)
{
    if (selected < SEL_UPGRADE || selected > SEL_REFURBISH)
        return 0;
    return TITLES[selected - 1];
}

void CUpgradePage::SetStartFaces(int selected)
{
    const int* f = StartFaces(selected);
    if (!f)
        return;
    m_pStart->SetBitmaps(f[0], KEY_BLACK, f[1], KEY_BLACK, f[2], KEY_BLACK, f[3], KEY_BLACK);
    m_nRunningFace = 0;
}

void CUpgradePage::SetRunningFace(int picture)
{
    m_pStart->SetBitmaps(picture, KEY_BLACK, picture, KEY_BLACK);
    m_nRunningFace = picture;
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

    SetStartFaces(n);

    const QString dll = theSettings.Get(&CAppSettings::m_strDllFile);
    if (dll.isEmpty() || dll == QLatin1String("N/A") || dll == QLatin1String("Connecting..."))
        m_pStart->setEnabled(false);
    else if (m_bFirmwareOnly)
        EnableStart(m_bStartWanted);

    if (n < SEL_UPGRADE || n > SEL_REFURBISH)
        return;
    m_nTitleBitmap = TitleBitmap(n);
    m_pTitle->setPixmap(QPixmap::fromImage(LoadBitmap(m_nTitleBitmap)));
    m_pTitle->show();
    ApplyRows();
    if (n == SEL_PRL || n == SEL_ERI) {
        m_pDirectionGroup->show();
        m_binRow.SetShown(false);
        m_scrRow.SetShown(false);
        if (n == SEL_PRL)
            m_pNamGroup->setFocus();
    }
}

void CUpgradePage::ApplyRows()
{
    if (m_nSelected < SEL_UPGRADE || m_nSelected > SEL_REFURBISH)
        return;
    const SRowStates& s = ROWS[m_nSelected - 1];
    const auto simpleRow = [](const SPathRow& row, ERowState state) {
        row.SetShown(state != ROW_HIDDEN);
        row.SetEnabled(state == ROW_ENABLED);
    };
    simpleRow(m_binRow, s.bin);
    simpleRow(m_scrRow, s.scr);
    for (QRadioButton* r : m_pNam)
        r->setEnabled(s.namPrl == ROW_ENABLED);

    if (m_nSelected == SEL_UPGRADE || m_nSelected == SEL_SCRIPT) {
        m_prlRow.SetEnabled(s.namPrl == ROW_ENABLED);
        m_eriRow.SetEnabled(s.eri == ROW_ENABLED);
    } else {
        UpdateDirectionRow(m_prlRow, s.namPrl == ROW_ENABLED);
        UpdateDirectionRow(m_eriRow, s.eri == ROW_ENABLED);
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
    if (m_nSelected == SEL_PRL)
        m_prlRow.SetEnabled(enable);
    else if (m_nSelected == SEL_ERI)
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
    const SBrowseInfo& info = BROWSE[kind - 1];
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

int CUpgradePage::ValidateInput(int kind)
{
    switch (kind) {
    case INPUT_BIN:
    case INPUT_SCRIPT:
    case INPUT_PRL:
    case INPUT_ERI: {
        const SPathRow& row = RowOf(kind);
        const SInputTexts& texts = INPUT_TEXTS[kind - 1];
        const QString text = row.edit->text();
        if (text.isEmpty() && row.edit->isEnabled()) {
            Message(this, texts.empty);
            return 0;
        }
        // Readable is enough; the content is the plug-in's business. An empty name fails here.
        QFile file(text);
        if (!file.open(QIODevice::ReadOnly)) {
            Message(this, texts.invalid);
            return 0;
        }
        file.close();
        theSettings.*BROWSE[kind - 1].field = text;
        return 1;
    }
    case INPUT_NAM:
        for (int i = 0; i < 3; ++i) {
            if (m_pNam[i]->isChecked()) {
                theSettings.m_nLastSelectNam = i;
                return 1;
            }
        }
        Message(this, "Select PRL NAM!");
        return 0;
    case INPUT_DIRECTION:
        if (!m_pRead->isChecked() && !m_pWrite->isChecked()) {
            Message(this, "Select READ or WRITE mode First!");
            return 0;
        }
        theSettings.m_nLastDirection = m_pRead->isChecked() ? 1 : 0;
        return 1;
    default:
        return 0;
    }
}

// ---- run ----------------------------------------------------------------------------------

bool CUpgradePage::HasRunningPlugin() const
{
    return m_pRun && m_pRun->IsLoaded();
}

void CUpgradePage::StartOperation()
{
    if (theSettings.m_bBusy)
        return;
    const int sel = m_nSelected;
    const char* exportName = ExportOf(sel);
    if (!exportName)
        return;

    const auto checkAll = [this](std::initializer_list<int> kinds) {
        for (int kind : kinds) {
            if (!ValidateInput(kind))
                return false;
        }
        return true;
    };
    const auto checkInputs = [&]() -> bool {
        switch (sel) {
        case SEL_UPGRADE:
            return checkAll({INPUT_BIN, INPUT_SCRIPT, INPUT_NAM, INPUT_PRL, INPUT_ERI});
        case SEL_BIN:
            return checkAll({INPUT_BIN});
        case SEL_SCRIPT:
            return checkAll({INPUT_SCRIPT, INPUT_NAM, INPUT_PRL, INPUT_ERI});
        case SEL_PRL:
            if (!checkAll({INPUT_DIRECTION, INPUT_NAM}))
                return false;
            return theSettings.m_nLastDirection != 0 || ValidateInput(INPUT_PRL);
        case SEL_ERI:
            if (!ValidateInput(INPUT_DIRECTION))
                return false;
            return theSettings.m_nLastDirection != 0 || ValidateInput(INPUT_ERI);
        case SEL_REFURBISH:
            return checkAll({INPUT_BIN, INPUT_SCRIPT});
        default:
            return false;
        }
    };

    const bool readFirst = sel == SEL_PRL || sel == SEL_ERI;
    if (!readFirst && !checkInputs())
        return;

    m_pRun->Load(theSettings.Get(&CAppSettings::m_strDllFile));
    if (!m_pRun->IsLoaded() || !m_pRun->Symbol(exportName)) {
        QThread::msleep(300);
        Message(this, "This operation is not supported in the current Model DLL.");
        m_pRun->Unload();
        return;
    }
    if (readFirst && !checkInputs()) {
        m_pRun->Unload();
        return;
    }

    QString fileArgument;
    if (readFirst) {
        if (theSettings.m_nLastDirection == 0) {
            fileArgument = sel == SEL_PRL ? theSettings.m_strLastPrlFile : theSettings.m_strLastEriFile;
        } else {
            SFolderDialogRequest request;
            request.strTitle = sel == SEL_PRL ? QStringLiteral("Select folder to save PRL file")
                                              : QStringLiteral("Select folder to save ERI file");
            request.strPrompt = sel == SEL_PRL ? QStringLiteral("Directory for  PRL read")
                                               : QStringLiteral("Directory for  ERI read");
            request.strInitialFolder = PluginFolderOf(theSettings.Get(&CAppSettings::m_strDllFile));
            QString folder;
            if (!Dialogs::ChooseFolder(this, request, &folder)) {
                m_pRun->Unload();
                return;
            }
            // The root "/" would otherwise give "//name".
            if (folder.endsWith(QLatin1Char('/')))
                folder.chop(1);
            fileArgument =
                folder + (sel == SEL_PRL ? PrlReadFileName(theSettings.m_nLastSelectNam) : EriReadFileName());
            if (!MayReplace(fileArgument)) {
                m_pRun->Unload();
                return;
            }
        }
    }

    if (Dialogs::MessageBox(this, QStringLiteral("Are you sure?"), Caption(), MB_YESNO) != IDYES) {
        m_pRun->Unload();
        return;
    }

    if (Frame())
        Frame()->EnableToolbar(false);
    m_nOperation = OperationNumberOf(sel);
    ApplyRunLock(m_nOperation);
    if (Host())
        Host()->StopLink(1);
    theSettings.m_bBusy = 1;
    CallExport(sel, fileArgument);
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

bool CUpgradePage::CallExport(int selected, const QString& fileArgument)
{
    QpxWindow* page = m_pRun->Window();
    const int32_t port = theSettings.m_nPortNum;
    const QpxRect rect = CPluginRun::ToQpxRect(StatusRect());
    const QByteArray dll = PathBytes(theSettings.Get(&CAppSettings::m_strDllFile));
    const QByteArray bin = PathBytes(theSettings.m_strLastBinFile);
    const QByteArray scr = PathBytes(theSettings.m_strLastScrFile);
    const QByteArray prl = PathBytes(theSettings.m_strLastPrlFile);
    const QByteArray eri = PathBytes(theSettings.m_strLastEriFile);
    const QByteArray file = PathBytes(fileArgument);
    const int32_t nam = theSettings.m_nLastSelectNam;
    const int32_t direction = theSettings.m_nLastDirection;

    switch (selected) {
    case SEL_UPGRADE:
        if (auto fn = m_pRun->Function<PFN_ModelInterface_Upgrade>(QPX_SYM_UPGRADE)) {
            fn(page, port, rect, dll.constData(), bin.constData(), scr.constData(), eri.constData(), nam,
               prl.constData());
            return true;
        }
        break;
    case SEL_BIN:
        if (auto fn = m_pRun->Function<PFN_ModelInterface_Bin>(QPX_SYM_BIN)) {
            fn(page, port, rect, dll.constData(), bin.constData());
            return true;
        }
        break;
    case SEL_SCRIPT:
        if (auto fn = m_pRun->Function<PFN_ModelInterface_Src>(QPX_SYM_SRC)) {
            fn(page, port, rect, dll.constData(), scr.constData(), eri.constData(), nam, prl.constData());
            return true;
        }
        break;
    case SEL_PRL:
        if (auto fn = m_pRun->Function<PFN_ModelInterface_Prl>(QPX_SYM_PRL)) {
            fn(page, port, rect, dll.constData(), nam, file.constData(), direction);
            return true;
        }
        break;
    case SEL_ERI:
        if (auto fn = m_pRun->Function<PFN_ModelInterface_Eri>(QPX_SYM_ERI)) {
            fn(page, port, rect, dll.constData(), nam, file.constData(), direction);
            return true;
        }
        break;
    case SEL_REFURBISH:
        if (auto fn = m_pRun->Function<PFN_ModelInterface_Refurbish>(QPX_SYM_REFURBISH)) {
            fn(page, port, rect, dll.constData(), bin.constData(), scr.constData());
            return true;
        }
        break;
    default:
        break;
    }
    return false;
}

LRESULT CUpgradePage::OnMessage(quint32 msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_PLUGIN_NOTIFY_MSG)
        OnPluginNotify(wParam, lParam);
    return 0;
}

void CUpgradePage::OnPluginNotify(WPARAM wParam, LPARAM lParam)
{
    // A completion without a run of this page in progress (stray, or repeated after the release)
    // has no record behind it that may still be read.
    if (wParam != PLUGIN_DONE || !m_pRun->IsInProgress())
        return;
    if (Frame())
        Frame()->EnableToolbar(true);
    ReleaseRunLock(m_nOperation);

    FinishRun(*m_pRun, CPluginRun::CopyResult(lParam));
}

// ---- start button and status --------------------------------------------------------------

void CUpgradePage::ResetStatus()
{
    EnableStart(false);
    m_pFileValue->clear();
    m_pAddressValue->clear();
    m_pStatusValue->clear();
    m_pElapsed->setText(QStringLiteral("00:00.0s"));
}

void CUpgradePage::EnableStart(bool enable)
{
    m_bStartWanted = enable;
    m_pStart->setEnabled(enable && StartFitsHandset());
}

void CUpgradePage::SetFirmwareOnly(bool on)
{
    m_bFirmwareOnly = on;
}

bool CUpgradePage::StartFitsHandset() const
{
    return !m_bFirmwareOnly || m_nSelected == SEL_UPGRADE || m_nSelected == SEL_BIN ||
           m_nSelected == SEL_REFURBISH;
}

bool CUpgradePage::IsStartEnabled() const
{
    return m_pStart->isEnabled();
}

// ---- run lock -----------------------------------------------------------------------------

void CUpgradePage::ShowValueLines(bool shown)
{
    COperationPage::ShowValueLines(shown);
    for (QLabel* l : {m_pFileNameLabel, m_pAddressLabel, m_pStatusLabel})
        l->setVisible(shown);
}

void CUpgradePage::EnableMainButtons(bool enable)
{
    if (Host() && Host()->Panel())
        Host()->Panel()->EnableMainButtons(enable);
}

void CUpgradePage::ApplyRunLock(int operation)
{
    ShowValueLines(false);
    EnableMainButtons(false);

    const int nam = theSettings.m_nLastSelectNam;
    const int direction = theSettings.m_nLastDirection;
    const auto lockNam = [this, nam] {
        for (int i = 0; i < 3; ++i) {
            if (i != nam)
                m_pNam[i]->setEnabled(false);
        }
    };
    const auto lockDirection = [this, direction] {
        if (direction == 1)
            m_pWrite->setEnabled(false);
        else if (direction == 0)
            m_pRead->setEnabled(false);
    };
    const auto runningStart = [this](int picture) {
        SetRunningFace(picture);
        m_pStart->setEnabled(false);
    };

    switch (operation) {
    case OP_UPGRADE:
        for (const SPathRow* r : {&m_binRow, &m_scrRow, &m_prlRow, &m_eriRow})
            r->browse->setEnabled(false);
        lockNam();
        runningStart(158);
        break;
    case OP_BIN:
        m_binRow.browse->setEnabled(false);
        runningStart(152);
        break;
    case OP_SCRIPT:
        for (const SPathRow* r : {&m_scrRow, &m_prlRow, &m_eriRow})
            r->browse->setEnabled(false);
        lockNam();
        runningStart(156);
        break;
    case OP_PRL:
        runningStart(155);
        m_prlRow.browse->setEnabled(false);
        lockNam();
        lockDirection();
        break;
    case OP_ERI:
        runningStart(153);
        m_eriRow.browse->setEnabled(false);
        lockDirection();
        break;
    case OP_PHONEBOOK:
        if (Host() && Host()->PhoneBookPage())
            Host()->PhoneBookPage()->ApplyRunLock();
        break;
    case OP_TRANSFER:
        if (Host() && Host()->TransferPage())
            Host()->TransferPage()->ApplyRunLock();
        break;
    case OP_REFURBISH:
        m_binRow.browse->setEnabled(false);
        m_scrRow.browse->setEnabled(false);
        runningStart(177);
        break;
    default: // OP_SETTINGS: nothing more
        break;
    }
}

void CUpgradePage::ReleaseRunLock(int operation)
{
    ShowValueLines(true);
    EnableMainButtons(true);

    const bool write = theSettings.m_nLastDirection == 0;
    const auto startFaces = [this, operation](bool enable) {
        SetStartFaces(SelectedOf(operation));
        m_pStart->setEnabled(enable);
    };
    const auto enableNam = [this] {
        for (QRadioButton* r : m_pNam)
            r->setEnabled(true);
    };

    switch (operation) {
    case OP_UPGRADE:
        for (const SPathRow* r : {&m_binRow, &m_scrRow, &m_prlRow, &m_eriRow})
            r->browse->setEnabled(true);
        startFaces(true);
        enableNam();
        break;
    case OP_BIN:
        m_binRow.browse->setEnabled(true);
        startFaces(true);
        break;
    case OP_SCRIPT:
        for (const SPathRow* r : {&m_scrRow, &m_prlRow, &m_eriRow})
            r->browse->setEnabled(true);
        startFaces(true);
        enableNam();
        break;
    case OP_PRL:
        startFaces(true);
        if (write)
            m_prlRow.browse->setEnabled(true);
        enableNam();
        m_pRead->setEnabled(true);
        m_pWrite->setEnabled(true);
        break;
    case OP_ERI:
        // Start comes back with the reconnection.
        startFaces(false);
        if (write)
            m_eriRow.browse->setEnabled(true);
        m_pRead->setEnabled(true);
        m_pWrite->setEnabled(true);
        break;
    case OP_PHONEBOOK:
        if (Host() && Host()->PhoneBookPage())
            Host()->PhoneBookPage()->ReleaseRunLock();
        break;
    case OP_TRANSFER:
        if (Host() && Host()->TransferPage())
            Host()->TransferPage()->ReleaseRunLock();
        break;
    case OP_REFURBISH:
        m_binRow.browse->setEnabled(true);
        m_scrRow.browse->setEnabled(true);
        startFaces(false);
        break;
    default: // OP_SETTINGS: nothing more
        break;
    }
}
