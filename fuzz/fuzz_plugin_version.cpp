// A plug-in's texts as the catalogue and the connection read them: QpxFileVersion of any bytes
// up to its first zero, GetSupportBINVersion against any software version directory, and the
// location shown for any file path. Input: the version text, the supported version, the
// handset's directory and the path, separated by zero bytes.
#include "FuzzSupport.h"
#include "plugin/ModelCatalogue.h"
#include "plugin/PluginApi.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, size_t size)
{
    if (size > 4096)
        return 0;
    const QByteArray input = qpxfuzz::Bytes(data, size);
    const QList<QByteArray> parts = input.split('\0');
    // A plug-in's text ends at its zero byte: a copy of its own.
    const std::string version = parts.value(0).toStdString();
    const QString text = PluginText(version.c_str());
    const QString normal = NormaliseFileVersion(text);
    if (normal.contains(QLatin1Char(',')) || normal.contains(QLatin1Char(' ')) ||
        NormaliseFileVersion(normal) != normal)
        std::abort();
    const QByteArray supported = parts.value(1);
    const QByteArray directory = parts.value(2);
    if (SupportedVersionMatches(supported, directory) !=
        SupportedVersionMatches(supported.left(5), directory))
        std::abort();
    const QString location = CModelCatalogue::LocationOf(QString::fromLocal8Bit(parts.value(3)));
    if (!location.startsWith(QLatin1String("./")))
        std::abort();
    return 0;
}
