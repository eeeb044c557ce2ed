#pragma once
// The catalogue of installed model plug-ins: five parallel arrays, one entry per usable library
// found below the MODEL folder, in discovery order. Entries are only ever appended.
//
// The walk of ScanFolder(folder):
//   for each entry of folder, in name order (code point order of the names, "." and ".." skipped,
//   hidden entries included):
//     folder entry -> ScanFolder(entry) at once (depth first; a folder reached twice through
//                     links is walked once)
//     plain file   -> if folder holds any "*.so" file (any case): AddPlugin for each of them in the same
//                     name order, and this folder's walk ends (later entries, sub-folders
//                     included, are not visited); otherwise go on with the next entry.
// So libraries in sub-folders met before the folder's first plain file come before the folder's
// own libraries. The name order stands in for the file system's listing order, which Linux file
// systems do not keep stable.
#include <QSet>
#include <QString>
#include <QStringList>

class CModelCatalogue
{
public:
    void ScanFolder(const QString& folder);
    // Loads the library, and when it exports both GetSupportBINVersion and GetModelKind calls them
    // (in that order) and appends an entry. The library is unloaded in every case. Returns whether
    // an entry was appended.
    bool AddPlugin(const QString& path, const QString& fileName);

    int GetCount() const { return static_cast<int>(m_arrPaths.size()); }
    // Entry i of each array; empty for an index out of range.
    QString GetFileName(int i) const { return At(m_arrFileNames, i); }
    QString GetLocation(int i) const { return At(m_arrLocations, i); }
    QString GetModelName(int i) const { return At(m_arrModelNames, i); }
    QString GetSoftwareVersion(int i) const { return At(m_arrSwVersions, i); }
    QString GetPath(int i) const { return At(m_arrPaths, i); }
    // Index of the entry with this full path, or -1.
    int FindPath(const QString& path) const { return static_cast<int>(m_arrPaths.indexOf(path)); }

    const QStringList& FileNames() const { return m_arrFileNames; }
    const QStringList& Locations() const { return m_arrLocations; }
    const QStringList& ModelNames() const { return m_arrModelNames; }
    const QStringList& SoftwareVersions() const { return m_arrSwVersions; }
    const QStringList& Paths() const { return m_arrPaths; }

    // The display location of a plug-in path: its folder (text before the last "/") upper-cased,
    // from the first "MODEL" on, prefixed with "./" (the whole upper-cased folder when it holds no
    // "MODEL"). "/opt/tool/model/x/a.so" -> "./MODEL/X".
    static QString LocationOf(const QString& path);
    // The folder the catalogue page scans: installDir + "MODEL/", or "../MODEL/" (relative to
    // the working folder) when no installation folder is known.
    static QString ModelFolderOf(const QString& installDir);

private:
    static QString At(const QStringList& l, int i) { return (i >= 0 && i < l.size()) ? l.at(i) : QString(); }
    void Walk(const QString& folder, QSet<QString>& visited);

    QStringList m_arrFileNames;
    QStringList m_arrLocations;
    QStringList m_arrModelNames;
    QStringList m_arrSwVersions;
    QStringList m_arrPaths;
};
