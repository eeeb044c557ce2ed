#pragma once
// Host side of the plug-in contract (sdk/qpx_plugin.h): the exports of a loaded plug-in resolved
// by name, a small owner of a loaded library, and the texts the catalogue and the pages derive
// from a plug-in (version, modification time, the software family comparison).
#include "platform/Module.h"
#include "qpx_plugin.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

// Every export of the contract, each null when the library lacks it.
struct SPluginExports
{
    PFN_ModelInterface_Upgrade pfnUpgrade = nullptr;
    PFN_ModelInterface_Bin pfnBin = nullptr;
    PFN_ModelInterface_Src pfnSrc = nullptr;
    PFN_ModelInterface_Prl pfnPrl = nullptr;
    PFN_ModelInterface_Eri pfnEri = nullptr;
    PFN_ModelInterface_Refurbish pfnRefurbish = nullptr;
    PFN_ModelInterface_PhoneBook pfnPhoneBook = nullptr;
    PFN_ModelInterface_Settings pfnSettings = nullptr;
    PFN_ModelInterface_Transfer pfnTransfer = nullptr;
    PFN_GetModelKind pfnGetModelKind = nullptr;
    PFN_GetSupportBINVersion pfnGetSupportBINVersion = nullptr;
    PFN_GetModelImage pfnGetModelImage = nullptr;
    PFN_ReleaseRs pfnReleaseRs = nullptr;
    const char* pszFileVersion = nullptr; // the QpxFileVersion data export
};

// Looks every export up in a loaded module (all null for a null module).
SPluginExports ResolvePluginExports(HMODULE module);

// Owns one loaded plug-in library; unloads it when destroyed or on Unload(). Move-only.
class CPluginLibrary
{
public:
    CPluginLibrary() = default;
    ~CPluginLibrary();
    CPluginLibrary(CPluginLibrary&& other) noexcept;
    CPluginLibrary& operator=(CPluginLibrary&& other) noexcept;
    CPluginLibrary(const CPluginLibrary&) = delete;
    CPluginLibrary& operator=(const CPluginLibrary&) = delete;

    // Unloads what was loaded, then loads path and resolves its exports. False when it cannot load.
    bool Load(const QString& path);
    void Unload();
    bool IsLoaded() const { return m_hModule != nullptr; }
    HMODULE Handle() const { return m_hModule; }
    const SPluginExports& Exports() const { return m_exports; }
    const QString& Path() const { return m_strPath; }

private:
    HMODULE m_hModule = nullptr;
    SPluginExports m_exports;
    QString m_strPath;
};

// A text a plug-in returned, copied at once (null gives empty). Bytes are read as UTF-8.
QString PluginText(const char* text);

// "1, 0, 2, 3" -> "1.0.2.3": every comma becomes a full stop, every blank is removed.
QString NormaliseFileVersion(const QString& text);
// The QpxFileVersion text of a loaded module, normalised; empty when it has none.
QString FileVersionOf(HMODULE module);
// Loads the library at path, reads its normalised version text and unloads it again.
QString PluginFileVersion(const QString& path);

// "%d-%d-%d   %d:%d:%d" of a local time (year, month, day, three blanks, hour, minute, second).
QString ModifiedTimeText(const QDateTime& localTime);
// The text above for a file's last modification, or empty when the file does not exist.
QString FileModifiedText(const QString& path);

// The software family check of the connection worker: the first five characters of the plug-in's
// supported version against the first five of the handset's software version directory, byte for
// byte. Of a text shorter than five characters all of it is compared (so "KQ1" matches only "KQ1").
bool SupportedVersionMatches(const QByteArray& supported, const QByteArray& softwareDirectory);

// A copy of a plug-in's model picture: width * height pixels, 0xAARRGGBB, rows packed.
struct SModelImage
{
    int nWidth = 0;
    int nHeight = 0;
    QVector<quint32> pixels;
    bool IsNull() const { return nWidth <= 0 || nHeight <= 0; }
};

// Copies the record at once. A null, empty, oversized (above 4096 in either direction) or
// inconsistent record (stride below 4 * width, no pixels) gives a null picture.
SModelImage CopyModelImage(const QpxImage* image);
// Loads the library, copies the picture of its GetModelImage (null picture when it has none) and
// unloads it.
SModelImage PluginModelImage(const QString& path);
