#pragma once
// One settings value inside an NV item's 128 data bytes, and the texts the settings grid shows
// for it (PARAMETER1, PARAMETER2). Offsets count data bytes (per-NAM items: byte 0 is the NAM
// index, their fields start at 1). Integers are little-endian.
//
//   NK_NUMBER  u8/u16/u32 (width 1, 2, 4), decimal; with choices a drop-down: "A|B|C" (the value
//              is the index) or "6=SO 6|14=SO 14" (explicit values)
//   NK_HEX     as NK_NUMBER, shown "0x" + 2·width hex digits
//   NK_TEXT    printable ASCII, NUL-padded to width       NK_LTEXT  u8 length, then the text
//   NK_DIGITS  decimal digits, NUL-padded to width        NK_DIAL   0-9 * # +, NUL-padded
//   NK_LDIAL   u8 length, then a dial string
//   NK_SIDNID  u16 SID (PARAMETER1), u16 NID (PARAMETER2)
//   NK_IPV4    four bytes, first octet first, "a.b.c.d"
//   NK_MCC     u16, three digits coded as one group      NK_MNC    u8, two digits coded
//   NK_IMSI_S  the ten digits of MIN2 (item, u16 pair) and MIN1 (item2, u32 pair), CDMA copies
//   NK_ESN     u32, decimal in PARAMETER1, hexadecimal in PARAMETER2
// The remaining kinds are not NV values: the PRL ID of each NAM (from the PRL image) and the
// software / hardware versions (from the version answer).
//
// MIN coding: a group of three digits D1 D2 D3 is 100·D1' + 10·D2' + D3' - 111 with 0 taken as
// 10; MIN1 = group(digits 4-6) << 14 | digit 7 (0 as 10) << 10 | group(digits 8-10); MIN2 = the
// area code as a group; MNC = 10·D1' + D2' - 11.
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

enum ENvKind : quint8
{
    NK_NUMBER,
    NK_HEX,
    NK_TEXT,
    NK_DIGITS,
    NK_DIAL,
    NK_LTEXT,
    NK_LDIAL,
    NK_SIDNID,
    NK_IPV4,
    NK_MCC,
    NK_MNC,
    NK_IMSI_S,
    NK_ESN,
    NK_PRL_ID,
    NK_SW_VERSION,
    NK_HW_VERSION
};

struct SNvField
{
    quint16 item = 0;
    quint16 item2 = 0; // NK_IMSI_S: the MIN1 item
    int offset = 0;
    ENvKind kind = NK_NUMBER;
    int width = 1;                 // bytes of a number, characters of a text
    bool copy = false;             // analog + CDMA copies: shown from the CDMA copy, both written
    const char* choices = nullptr; // drop-down texts (see above)
    int minLength = 0;             // shortest text the editor accepts
    bool readOnly = false;
};

// True for the kinds that live in NV items (false for the PRL ID and the versions).
bool IsNvKind(ENvKind kind);
// The NV items a field needs: item, and item2 for NK_IMSI_S.
QList<quint16> FieldItems(const SNvField& f);
// The characters an edit field may take (empty: any); the byte width of its number rule (0: none);
// the most bytes a text row's field takes, so that the grid refuses more while the user types
// (0: not a text row).
QString FieldEditChars(const SNvField& f);
int FieldEditWidth(const SNvField& f);
int FieldTextBytes(const SNvField& f);

// (value, text) pairs of a choices string; empty for nullptr.
QList<QPair<quint32, QString>> FieldChoices(const char* choices);

// The two cell texts of a field from its item's data (data2: item2's data for NK_IMSI_S).
// A value the coding does not allow (an MCC above 999, say) shows as an empty cell.
QStringList FieldShow(const SNvField& f, const QByteArray& data, const QByteArray& data2 = {});
// Puts the cell texts into the part of the field that lies in item's data. False (data untouched)
// for a value the field cannot hold.
bool FieldPatch(const SNvField& f, const QStringList& cells, quint16 item, QByteArray& data);

// The MIN codings.
quint16 EncodeDigitGroup(const QString& threeDigits); // 0xFFFF when not three digits
QString DecodeDigitGroup(quint32 coded);              // empty when above 999
// Ten digits <-> MIN2 (area code) and MIN1 (the seven-digit number). False / empty when invalid.
bool EncodeImsiS(const QString& tenDigits, quint16& min2, quint32& min1);
QString DecodeImsiS(quint16 min2, quint32 min1);
