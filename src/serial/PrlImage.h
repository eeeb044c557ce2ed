#pragma once
// A PRL image as handsets store it (bit-packed, most significant bit first):
//
//   PR_LIST_SIZE (16, total octets including itself and the check) | PR_LIST_ID (16) | ...
//   ... tables ... | PR_LIST_CRC (16)
//
// PR_LIST_CRC: PrlCrc16 (Checksums.h) over every octet before it, sent high octet first. A PRL
// goes to and from the handset in blocks of BLOCK_BYTES (CMD_PRL_WRITE, CMD_PRL_READ).
#include <QByteArray>
#include <QString>

namespace prl {

constexpr int MIN_SIZE = 10;    // the two header fields, the smallest table header, the check
constexpr int MAX_SIZE = 16384; // the handset's PRL space
constexpr int BLOCK_BYTES = 120;

quint16 SizeField(const QByteArray& image);
quint16 PrlId(const QByteArray& image);

enum ECheck
{
    PRL_OK,
    PRL_TOO_SMALL,
    PRL_TOO_LARGE,
    PRL_SIZE_MISMATCH,
    PRL_BAD_CRC
};
ECheck Check(const QByteArray& image);
// A sentence for the technician about a failed check.
QString CheckText(ECheck result, const QByteArray& image);

} // namespace prl
