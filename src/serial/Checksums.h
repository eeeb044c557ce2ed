#pragma once
// The check values of the handset's data formats (the frame check is DiagCodec.h's FCS-16).
//
//   Crc32     the zlib CRC-32: reflected polynomial 0xEDB88320, register preset to ~0, result
//             complemented (firmware images)
//   PrlCrc16  PR_LIST_CRC of a PRL: polynomial x^16 + x^12 + x^5 + 1 (0x1021), most significant
//             bit first, register preset to 0xFFFF, result complemented
#include <QByteArray>

quint32 Crc32(const QByteArray& data);
quint16 PrlCrc16(const quint8* p, int n);
