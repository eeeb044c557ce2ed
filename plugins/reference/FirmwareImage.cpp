#include "FirmwareImage.h"

#include "serial/Checksums.h"
#include "serial/DiagCodec.h"

namespace fwimage {

namespace {

const QByteArray MAGIC("QPXIMG1\0", 8);

quint32 FieldAt(const QByteArray& image, int at)
{
    return image.size() >= at + 4 ? GetLe32(reinterpret_cast<const quint8*>(image.constData()) + at) : 0;
}

} // namespace

ECheck Check(const QByteArray& image)
{
    if (image.size() < HEADER_SIZE || !image.startsWith(MAGIC))
        return IMAGE_NOT_AN_IMAGE;
    if (PayloadLength(image) != static_cast<quint32>(image.size() - HEADER_SIZE))
        return IMAGE_BAD_LENGTH;
    if (Crc32(image.mid(HEADER_SIZE)) != FieldAt(image, 20))
        return IMAGE_BAD_CRC;
    return IMAGE_OK;
}

quint32 PayloadLength(const QByteArray& image)
{
    return FieldAt(image, 16);
}

QString SoftwareDirectory(const QByteArray& image)
{
    QByteArray dir = image.mid(8, 8);
    const qsizetype nul = dir.indexOf('\0');
    if (nul >= 0)
        dir.truncate(nul);
    return QString::fromLatin1(dir);
}

} // namespace fwimage
