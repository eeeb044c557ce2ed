#pragma once
// The reference model's firmware image file, written by the plug-in's Bin Download and checked
// again by the simulated handset when the image is closed:
//
//   "QPXIMG1\0" (8) | software version directory (8, NUL-padded) | u32 LE payload length
//   | u32 LE Crc32 (Checksums.h) of the payload | payload
#include <QByteArray>
#include <QString>

namespace fwimage {

constexpr int HEADER_SIZE = 24;

enum ECheck
{
    IMAGE_OK,
    IMAGE_NOT_AN_IMAGE, // too short, or not the magic text
    IMAGE_BAD_LENGTH,   // the length field is not the payload's
    IMAGE_BAD_CRC,
};
ECheck Check(const QByteArray& image);
// The length field (0 when the header is incomplete).
quint32 PayloadLength(const QByteArray& image);
// The software version directory, up to its first NUL.
QString SoftwareDirectory(const QByteArray& image);

} // namespace fwimage
