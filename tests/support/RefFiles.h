#pragma once
// Input files in the reference plug-in's documented formats (plugins/reference/README.md), built
// independently of the plug-in's own code so that a format fault shows on one side. The check
// values come from serial/Checksums.h, whose results are pinned to the standard check values.
#include "TestEnv.h"
#include "plugin/ByteText.h"
#include "serial/Checksums.h"
#include "serial/PrlImage.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QStringList>

namespace reftest {

// size bytes of (i * mul + add) & 0xFF.
inline QByteArray Pattern(int size, int mul, int add)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = static_cast<char>((i * mul + add) & 0xFF);
    return b;
}

// Firmware image: magic, software version directory, payload length, CRC-32, payload. The
// payload runs through every byte value, frame flags and escapes included.
inline QByteArray FirmwareImage(const char* dir, int payloadSize)
{
    const QByteArray payload = Pattern(payloadSize, 11, 0x7D);
    QByteArray img("QPXIMG1\0", 8);
    img += QByteArray(dir).leftJustified(8, '\0');
    const quint32 fields[2] = {static_cast<quint32>(payloadSize), Crc32(payload)};
    for (const quint32 v : fields)
        for (int i = 0; i < 4; ++i)
            img.append(static_cast<char>(v >> (8 * i)));
    qpxtest::FuzzSeed("firmware_image", img + payload);
    return img + payload;
}

// PRL of size bytes: size and ID in front, the CRC-16 of everything before it at the end.
inline QByteArray PrlFile(int size, quint16 id)
{
    QByteArray img = Pattern(size, 7, 3);
    img[0] = static_cast<char>(size >> 8);
    img[1] = static_cast<char>(size);
    img[2] = static_cast<char>(id >> 8);
    img[3] = static_cast<char>(id);
    const quint16 crc = PrlCrc16(reinterpret_cast<const quint8*>(img.constData()), size - 2);
    img[size - 2] = static_cast<char>(crc >> 8);
    img[size - 1] = static_cast<char>(crc);
    qpxtest::FuzzSeed("prl_image", img);
    return img;
}

// ERI: the version in the first two bytes, high byte first.
inline QByteArray EriFile(int size, quint16 version)
{
    QByteArray e = Pattern(size, 13, 5);
    e[0] = static_cast<char>(version >> 8);
    e[1] = static_cast<char>(version);
    return e;
}

constexpr int PHONEBOOK_WIDTHS[7] = {32, 32, 32, 32, 64, 32, 64};

// The handset's phonebook file (/pim/phonebook.qpb): header, then records of 289 bytes. Texts
// stand for their bytes (ByteText.h).
inline QByteArray PhonebookFile(const QList<QStringList>& rows)
{
    QByteArray f("QPB1");
    f.append(static_cast<char>(rows.size()));
    f.append('\0');
    f.append(static_cast<char>(289 & 0xFF));
    f.append(static_cast<char>(289 >> 8));
    for (const QStringList& r : rows) {
        f.append('\1');
        for (int c = 0; c < 7; ++c)
            f.append(BytesFromText(r.value(c)).leftJustified(PHONEBOOK_WIDTHS[c], '\0'));
    }
    return f;
}

// The records of a phonebook file, each as its seven fields' bytes.
inline QList<QByteArrayList> PhonebookRecords(const QByteArray& f)
{
    QList<QByteArrayList> rows;
    if (!f.startsWith("QPB1") || f.size() < 8)
        return rows;
    const int count = quint8(f[4]) | (quint8(f[5]) << 8);
    for (int i = 0, at = 8; i < count && at + 289 <= f.size(); ++i, at += 289) {
        QByteArrayList row;
        int p = at + 1;
        for (int c = 0; c < 7; ++c) {
            const QByteArray field = f.mid(p, PHONEBOOK_WIDTHS[c]);
            const qsizetype nul = field.indexOf('\0');
            row << (nul < 0 ? field : field.left(nul));
            p += PHONEBOOK_WIDTHS[c];
        }
        rows << row;
    }
    return rows;
}

} // namespace reftest
