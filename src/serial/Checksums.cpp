#include "Checksums.h"
#include "SlicedCrc.h"

#include <array>

namespace {

// CRC-32 sliced by eight: eight bytes take eight look-ups instead of sixty-four shifts.
using CCrcTables = std::array<std::array<quint32, 256>, 8>;
constexpr CCrcTables kCrcTables = MakeSlicedCrcTables<quint32, 8>(0xEDB88320u);

} // namespace

quint32 Crc32(const quint8* p, qsizetype n)
{
    const CCrcTables& t = kCrcTables;
    quint32 crc = 0xFFFFFFFFu;
    for (; n >= 8; p += 8, n -= 8) {
        const quint32 lo = crc ^ (p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<quint32>(p[3]) << 24));
        crc = t[7][lo & 0xFFu] ^ t[6][(lo >> 8) & 0xFFu] ^ t[5][(lo >> 16) & 0xFFu] ^ t[4][lo >> 24] ^
              t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    }
    for (; n > 0; ++p, --n)
        crc = (crc >> 8) ^ t[0][(crc ^ *p) & 0xFFu];
    return ~crc;
}

quint32 Crc32(const QByteArray& data)
{
    return Crc32(reinterpret_cast<const quint8*>(data.constData()), data.size());
}

quint16 PrlCrc16(const quint8* p, int n)
{
    quint16 crc = 0xFFFF;
    for (int i = 0; i < n; ++i) {
        crc ^= static_cast<quint16>(p[i] << 8);
        for (int b = 0; b < 8; ++b)
            crc = (crc & 0x8000) ? static_cast<quint16>((crc << 1) ^ 0x1021) : static_cast<quint16>(crc << 1);
    }
    return static_cast<quint16>(~crc);
}
