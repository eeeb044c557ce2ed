// A settings file of any bytes (a hand-edited or damaged QPX.conf) through the settings store's
// read rules into the settings object: every text ends up trimmed, without a zero byte and
// shorter than 256 bytes.
#include "FuzzSupport.h"
#include "core/AppSettings.h"
#include "platform/Registry.h"

namespace {

void CheckText(const QString& text)
{
    if (text != text.trimmed() || text.contains(QChar(0)) || text.toLocal8Bit().size() >= 256)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, size_t size)
{
    if (size > 16384)
        return 0;
    static const bool environment = [] {
        qputenv("XDG_CONFIG_HOME", (qpxfuzz::WorkFolder() + QStringLiteral("/config")).toLocal8Bit());
        qputenv("XDG_CONFIG_DIRS", (qpxfuzz::WorkFolder() + QStringLiteral("/xdg")).toLocal8Bit());
        QDir().mkpath(qpxfuzz::WorkFolder() + QStringLiteral("/config/KOVA"));
        return true;
    }();
    (void)environment;
    qpxfuzz::InputFile("config/KOVA/QPX.conf", data, size);
    CAppSettings settings;
    settings.Load();
    for (const QString* s : {&settings.m_strDllFile, &settings.m_strLastBinFile, &settings.m_strLastScrFile,
                             &settings.m_strLastPrlFile, &settings.m_strLastEriFile,
                             &settings.m_strLastCsvFile, &settings.m_strInstallDir})
        CheckText(*s);
    IsDllSelected(settings.m_strDllFile);
    return 0;
}
