#include "ModelCatalogue.h"

#include "PluginApi.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr QDir::Filters kAllEntries = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

QFileInfoList Listing(const QString& folder, const QStringList& nameFilters, QDir::Filters filters)
{
    QDir dir(folder);
    dir.setNameFilters(nameFilters);
    dir.setFilter(filters);
    dir.setSorting(QDir::Name); // code point order, case-sensitive
    return dir.entryInfoList();
}

} // namespace

void CModelCatalogue::ScanFolder(const QString& folder)
{
    QSet<QString> visited;
    Walk(folder, visited);
}

void CModelCatalogue::Walk(const QString& folderIn, QSet<QString>& visited)
{
    QString folder = folderIn;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const QString real = QFileInfo(folder).canonicalFilePath();
    if (real.isEmpty() || visited.contains(real))
        return;
    visited.insert(real);

    const QFileInfoList entries = Listing(folder, {}, kAllEntries);
    for (const QFileInfo& entry : entries) {
        if (entry.isDir()) {
            Walk(folder + entry.fileName(), visited);
            continue;
        }
        const QFileInfoList libraries =
            Listing(folder, {QStringLiteral("*.so")}, QDir::Files | QDir::Hidden | QDir::System);
        if (libraries.isEmpty())
            continue;
        for (const QFileInfo& lib : libraries)
            AddPlugin(folder + lib.fileName(), lib.fileName());
        return;
    }
}

bool CModelCatalogue::AddPlugin(const QString& path, const QString& fileName)
{
    CPluginLibrary lib;
    if (!lib.Load(path))
        return false;
    const SPluginExports& e = lib.Exports();
    if (e.pfnGetSupportBINVersion == nullptr || e.pfnGetModelKind == nullptr)
        return false;
    const QString version = PluginText(e.pfnGetSupportBINVersion());
    const QString model = PluginText(e.pfnGetModelKind());
    m_arrModelNames.append(model);
    m_arrSwVersions.append(version);
    m_arrFileNames.append(fileName);
    m_arrPaths.append(path);
    m_arrLocations.append(LocationOf(path));
    return true;
}

QString CModelCatalogue::LocationOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = (slash < 0 ? QString() : path.left(slash)).toUpper();
    const qsizetype model = folder.indexOf(QLatin1String("MODEL"));
    return QStringLiteral("./") + (model < 0 ? folder : folder.mid(model));
}

QString CModelCatalogue::ModelFolderOf(const QString& installDir)
{
    return (installDir.isEmpty() ? QStringLiteral("../") : installDir) + QStringLiteral("MODEL/");
}
