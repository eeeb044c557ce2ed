#include "ModelDllDialog.h"

#include "controls/XListCtrl.h"
#include "core/AppSettings.h"
#include "platform/Dialogs.h"
#include "platform/HostCommands.h"
#include "plugin/CatalogueSelection.h"
#include "plugin/ModelCatalogue.h"
#include "plugin/PluginApi.h"
#include "res/Pictures.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QPixmap>

namespace {

QImage ToQImage(const SModelImage& picture)
{
    if (picture.IsNull())
        return {};
    QImage image(picture.nWidth, picture.nHeight, QImage::Format_ARGB32);
    for (int y = 0; y < picture.nHeight; ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        std::copy_n(picture.pixels.constData() + qsizetype(y) * picture.nWidth, picture.nWidth, line);
    }
    return image;
}

} // namespace

CModelDllDialog::CModelDllDialog(QWidget* parent, const QRect& rect)
    : CPageBase(parent, rect), m_pCatalogue(std::make_unique<CModelCatalogue>()),
      m_pSelection(std::make_shared<CCatalogueSelection>())
{
    setObjectName(QStringLiteral("modelDllPage"));

    QString folder = theSettings.m_strInstallDir;
    if (folder.isEmpty()) {
        Dialogs::MessageBox(this, QStringLiteral("No Registry data found! dll search is in default folder!"),
                            QString::fromLatin1(APP_TITLE));
        folder = QStringLiteral("../");
    }
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    m_strModelFolder = folder + QStringLiteral("MODEL/");
    m_pCatalogue->ScanFolder(m_strModelFolder);
    m_pSelection->SetEntries(m_pCatalogue->Paths(), m_pCatalogue->ModelNames());
    ComputeVersionTexts();

    m_pTitle = new QLabel(this);
    m_pTitle->setObjectName(QStringLiteral("titlePicture"));
    m_pTitle->setGeometry(6, 0, 569, 29);
    m_pTitle->setPixmap(QPixmap::fromImage(LoadBitmap(Res::IDB_TITLE_SELECT_MODEL)));

    m_pList = new CXListCtrl(this);
    m_pList->setObjectName(QStringLiteral("modelList"));
    m_pList->setGeometry(5, 55, rect.width() - 10, rect.height() - 70);
    m_pList->SetRowHeight(ROW_HEIGHT);
    m_pList->SetGridLines(true);
    m_pList->SetFullRowSelect(true);
    // The widths add up to more than the list: it scrolls sideways.
    const int client = m_pList->width() - 2 * m_pList->frameWidth();
    m_pList->InsertColumn(0, QStringLiteral("Model"), Qt::AlignHCenter, client * 21 / 100);
    m_pList->InsertColumn(1, QStringLiteral("DLL Version"), Qt::AlignHCenter, client * 20 / 100);
    m_pList->InsertColumn(2, QStringLiteral("Modified"), Qt::AlignLeft, client * 26 / 100);
    m_pList->InsertColumn(3, QStringLiteral("Location"), Qt::AlignLeft, client * 46 / 100);
    connect(m_pList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CModelDllDialog::OnSelectionChanged);

    m_pSelection->SetSelectedIndex(0);
}

CModelDllDialog::~CModelDllDialog() = default;

void CModelDllDialog::ComputeVersionTexts()
{
    m_versionTexts.clear();
    for (const QString& path : m_pCatalogue->Paths())
        m_versionTexts.append(PluginFileVersion(path));
}

void CModelDllDialog::FillList()
{
    if (!m_bListEnabled) {
        m_bFilling = true;
        m_pList->DeleteAllItems();
        m_bFilling = false;
        m_nHotRow = -1;
        return;
    }
    ShowModelImage(theSettings.Get(&CAppSettings::m_strDllFile));

    m_bFilling = true;
    m_pList->SetRedraw(false);
    m_pList->DeleteAllItems();
    m_versionTexts.clear();
    const CModelCatalogue& cat = *m_pCatalogue;
    for (int i = 0; i < cat.GetCount(); ++i) {
        const QString version = PluginFileVersion(cat.GetPath(i));
        m_versionTexts.append(version);
        m_pList->InsertItem(i, cat.GetModelName(i));
        m_pList->SetItemText(i, 1, version);
        m_pList->SetItemText(i, 2, FileModifiedText(cat.GetPath(i)));
        m_pList->SetItemText(i, 3, cat.GetLocation(i));
    }
    m_pList->SetRedraw(true);
    m_bFilling = false;
    // Rows were replaced without notifications; the selection is set afresh below.
    m_nHotRow = -1;

    if (theSettings.Get(&CAppSettings::m_strDllVersion).isEmpty())
        theSettings.Set(&CAppSettings::m_strDllVersion, m_versionTexts.value(0));
    const QString wanted = theSettings.Get(&CAppSettings::m_strDllVersion);
    // With equal version texts the first such row is taken.
    const int row = static_cast<int>(m_versionTexts.indexOf(wanted));
    if (row >= 0) {
        m_pList->SetCurSel(row);
        m_pList->setFocus();
    }
}

void CModelDllDialog::OnSelectionChanged()
{
    if (m_bFilling)
        return;
    m_nHotRow = m_pList->GetCurSel();
    if (m_nHotRow == -1) {
        emit modelImageChanged(QImage());
        return;
    }
    m_strHotPath = m_pCatalogue->GetPath(m_nHotRow);
    m_strHotModel = m_pCatalogue->GetModelName(m_nHotRow);
    m_strHotVersion = m_versionTexts.value(m_nHotRow);
    ShowModelImage(m_strHotPath);
}

void CModelDllDialog::ShowModelImage(const QString& path)
{
    // "N/A" and an empty path name no plug-in; loaded as a library, "N/A" would be a relative path.
    if (!IsDllSelected(path))
        return;
    CPluginLibrary lib;
    if (!lib.Load(path) || lib.Exports().pfnGetModelImage == nullptr)
        return;
    emit modelImageChanged(ToQImage(CopyModelImage(lib.Exports().pfnGetModelImage())));
}

void CModelDllDialog::SetListEnabled(bool enabled)
{
    m_bListEnabled = enabled;
}

bool CModelDllDialog::HasHotRow() const
{
    return m_pList->GetCurSel() != -1;
}

bool CModelDllDialog::ApplyModelChoice()
{
    if (!HasHotRow()) {
        Dialogs::MessageBox(this, QStringLiteral("Select model dll."), QString::fromLatin1(APP_TITLE));
        return false;
    }
    m_nHotRow = m_pList->GetCurSel();
    m_pSelection->SetSelectedIndex(m_nHotRow);
    theSettings.Set(&CAppSettings::m_strModelName, m_pCatalogue->GetModelName(m_nHotRow));
    theSettings.Set(&CAppSettings::m_strDllFile, m_pCatalogue->GetPath(m_nHotRow));
    theSettings.Set(&CAppSettings::m_strDllVersion, m_versionTexts.value(m_nHotRow));
    theSettings.m_bAutoModelDll = 0;
    return true;
}

QString CModelDllDialog::SelectedVersionText() const
{
    return m_versionTexts.value(m_pSelection->SelectedIndex());
}

int CModelDllDialog::SelectedIndex() const
{
    return m_pSelection->SelectedIndex();
}

void CModelDllDialog::SetSelectedIndex(int index)
{
    m_pSelection->SetSelectedIndex(index);
}

CModelCatalogue& CModelDllDialog::Catalogue()
{
    return *m_pCatalogue;
}
