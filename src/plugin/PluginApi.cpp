#include "PluginApi.h"

#include <QFileInfo>

#include <cstring>
#include <utility>

SPluginExports ResolvePluginExports(HMODULE module)
{
    SPluginExports e;
    if (module == nullptr)
        return e;
    e.pfnUpgrade = ModuleFunction<PFN_ModelInterface_Upgrade>(module, QPX_SYM_UPGRADE);
    e.pfnBin = ModuleFunction<PFN_ModelInterface_Bin>(module, QPX_SYM_BIN);
    e.pfnSrc = ModuleFunction<PFN_ModelInterface_Src>(module, QPX_SYM_SRC);
    e.pfnPrl = ModuleFunction<PFN_ModelInterface_Prl>(module, QPX_SYM_PRL);
    e.pfnEri = ModuleFunction<PFN_ModelInterface_Eri>(module, QPX_SYM_ERI);
    e.pfnRefurbish = ModuleFunction<PFN_ModelInterface_Refurbish>(module, QPX_SYM_REFURBISH);
    e.pfnPhoneBook = ModuleFunction<PFN_ModelInterface_PhoneBook>(module, QPX_SYM_PHONEBOOK);
    e.pfnSettings = ModuleFunction<PFN_ModelInterface_Settings>(module, QPX_SYM_SETTINGS);
    e.pfnTransfer = ModuleFunction<PFN_ModelInterface_Transfer>(module, QPX_SYM_TRANSFER);
    e.pfnGetModelKind = ModuleFunction<PFN_GetModelKind>(module, QPX_SYM_MODEL_KIND);
    e.pfnGetSupportBINVersion = ModuleFunction<PFN_GetSupportBINVersion>(module, QPX_SYM_SUPPORT_BIN_VERSION);
    e.pfnGetModelImage = ModuleFunction<PFN_GetModelImage>(module, QPX_SYM_MODEL_IMAGE);
    e.pfnReleaseRs = ModuleFunction<PFN_ReleaseRs>(module, QPX_SYM_RELEASE_RS);
    e.pszFileVersion = static_cast<const char*>(ModuleSymbol(module, QPX_SYM_FILE_VERSION));
    return e;
}

CPluginLibrary::~CPluginLibrary()
{
    Unload();
}

CPluginLibrary::CPluginLibrary(CPluginLibrary&& other) noexcept
    : m_hModule(std::exchange(other.m_hModule, nullptr)), m_exports(std::exchange(other.m_exports, {})),
      m_strPath(std::move(other.m_strPath))
{
}

CPluginLibrary& CPluginLibrary::operator=(CPluginLibrary&& other) noexcept
{
    if (this != &other) {
        Unload();
        m_hModule = std::exchange(other.m_hModule, nullptr);
        m_exports = std::exchange(other.m_exports, {});
        m_strPath = std::move(other.m_strPath);
    }
    return *this;
}

bool CPluginLibrary::Load(const QString& path)
{
    Unload();
    m_hModule = ModuleLoad(path);
    if (m_hModule == nullptr)
        return false;
    m_exports = ResolvePluginExports(m_hModule);
    m_strPath = path;
    return true;
}

void CPluginLibrary::Unload()
{
    if (m_hModule != nullptr)
        ModuleFree(m_hModule);
    m_hModule = nullptr;
    m_exports = {};
    m_strPath.clear();
}

QString PluginText(const char* text)
{
    return text == nullptr ? QString() : QString::fromUtf8(text);
}

QString NormaliseFileVersion(const QString& text)
{
    QString out = text;
    out.replace(QLatin1Char(','), QLatin1Char('.'));
    out.remove(QLatin1Char(' '));
    return out;
}

QString FileVersionOf(HMODULE module)
{
    const auto* text = static_cast<const char*>(ModuleSymbol(module, QPX_SYM_FILE_VERSION));
    if (text == nullptr)
        return {};
    // A data export has no length; a version text is short, so read at most a small bound.
    const size_t len = ::strnlen(text, 256);
    return NormaliseFileVersion(QString::fromUtf8(text, static_cast<qsizetype>(len)));
}

QString PluginFileVersion(const QString& path)
{
    CPluginLibrary lib;
    if (!lib.Load(path))
        return {};
    return FileVersionOf(lib.Handle());
}

QString ModifiedTimeText(const QDateTime& t)
{
    const QDate d = t.date();
    const QTime h = t.time();
    return QStringLiteral("%1-%2-%3   %4:%5:%6")
        .arg(d.year())
        .arg(d.month())
        .arg(d.day())
        .arg(h.hour())
        .arg(h.minute())
        .arg(h.second());
}

QString FileModifiedText(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    return ModifiedTimeText(info.lastModified().toLocalTime());
}

bool SupportedVersionMatches(const QByteArray& supported, const QByteArray& softwareDirectory)
{
    // strncmp semantics: a text ends at its first NUL.
    auto head = [](const QByteArray& s) {
        const qsizetype nul = s.indexOf('\0');
        return (nul < 0 ? s : s.left(nul)).left(5);
    };
    return head(supported) == head(softwareDirectory);
}

SModelImage CopyModelImage(const QpxImage* image)
{
    SModelImage out;
    if (image == nullptr || image->pixels == nullptr || image->width <= 0 || image->height <= 0 ||
        image->width > 4096 || image->height > 4096 || image->stride < 4 * image->width)
        return out;
    out.nWidth = image->width;
    out.nHeight = image->height;
    out.pixels.resize(qsizetype(image->width) * image->height);
    const auto* base = reinterpret_cast<const unsigned char*>(image->pixels);
    for (int y = 0; y < image->height; ++y)
        std::memcpy(out.pixels.data() + qsizetype(y) * image->width, base + qsizetype(y) * image->stride,
                    size_t(image->width) * 4);
    return out;
}

SModelImage PluginModelImage(const QString& path)
{
    CPluginLibrary lib;
    if (!lib.Load(path) || lib.Exports().pfnGetModelImage == nullptr)
        return {};
    return CopyModelImage(lib.Exports().pfnGetModelImage());
}
