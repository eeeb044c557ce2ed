#include "PrlImage.h"

#include "serial/Checksums.h"

namespace prl {

static quint16 Be16(const QByteArray& b, int at)
{
    return static_cast<quint16>((static_cast<quint8>(b.at(at)) << 8) | static_cast<quint8>(b.at(at + 1)));
}

quint16 SizeField(const QByteArray& image)
{
    return image.size() >= 2 ? Be16(image, 0) : 0;
}

quint16 PrlId(const QByteArray& image)
{
    return image.size() >= 4 ? Be16(image, 2) : 0;
}

ECheck Check(const QByteArray& image)
{
    if (image.size() < MIN_SIZE)
        return PRL_TOO_SMALL;
    if (image.size() > MAX_SIZE)
        return PRL_TOO_LARGE;
    if (SizeField(image) != image.size())
        return PRL_SIZE_MISMATCH;
    const int n = static_cast<int>(image.size()) - 2;
    if (PrlCrc16(reinterpret_cast<const quint8*>(image.constData()), n) != Be16(image, n))
        return PRL_BAD_CRC;
    return PRL_OK;
}

QString CheckText(ECheck result, const QByteArray& image)
{
    switch (result) {
    case PRL_OK:
        return {};
    case PRL_TOO_SMALL:
        return QStringLiteral("The PRL file is too short (%1 bytes) to be a PRL.").arg(image.size());
    case PRL_TOO_LARGE:
        return QStringLiteral("The PRL file is too large (%1 bytes); the handset holds at most %2 bytes.")
            .arg(image.size())
            .arg(MAX_SIZE);
    case PRL_SIZE_MISMATCH:
        return QStringLiteral("The PRL file is damaged: its size field says %1 bytes, the file has %2.")
            .arg(SizeField(image))
            .arg(image.size());
    case PRL_BAD_CRC:
        return QStringLiteral("The PRL file is damaged: its check value does not match its contents.");
    }
    return {};
}

} // namespace prl
