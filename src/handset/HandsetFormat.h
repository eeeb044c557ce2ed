#pragma once
// Texts of the Information page and of the version list, formatted from the handset's status
// and version responses (unstuffed, starting with the command byte, len = the bytes the handset
// sent, without the check bytes). The program's pages and qpx-diag both format through these
// functions. Every multi-byte field is read little-endian through explicit byte helpers; a field
// that the answer does not hold entirely gives an empty text (never a 0, never the bytes behind
// the answer). Many handsets send a 48-byte status answer, which ends before the protocol revision.
//
// Status response fields: ESN @4 (u32), RF mode @8 (u16), analog MIN1 @10 (u32), digital MIN1 @14
// (u32), analog MIN2 @18 (u16), digital MIN2 @20 (u16), CDMA channel @34 (u16), code channel @36
// (u8), pilot PN @37 (u16), SID @39, NID @41, location area @43 (u16), protocol revision @48 (u8).
// Version response fields: compile date @1 (11 chars), compile time @12 (8), release date @20 (11),
// release time @31 (8), S/W version directory @39 (8), mobile model @49 (u8), firmware revision
// @50 (u16), slot cycle index @52 (u8), hardware major @53 (u8), hardware minor @54 (u8).
#include <QString>
#include <QStringList>
#include <cstdint>

// Labels exactly as the Information page shows them (with their leading blanks).
extern const char* const STATUS_ROW_LABELS[11];
// Version list labels: column 0 (with leading blanks) and column 2, rows 0..4.
extern const char* const VERSION_COL0_LABELS[5];
extern const char* const VERSION_COL2_LABELS[5];

QString FormatEsn(quint32 esn);                         // "%08x"
QString FormatMobileNumber(quint32 min1, quint16 min2); // "(AAA) PPP-XLLL" rules
QString FormatRfMode(quint16 mode);                     // ANALOG/DIGITAL/PCN/SLEEP/??????
QString FormatPilotPn(quint16 pn);                      // "%d" below 999 else " 0"

// The eleven value texts of the Information page, rows 0..10, from a status response of len bytes.
QStringList StatusValueTexts(const quint8* response, int len);

struct SVersionTexts
{
    QString strCompileDate, strCompileTime, strReleaseDate, strReleaseTime;
    QString strSwVersion;   // "%02d.%02d  %s"
    QString strMobileModel; // "%d"
    QString strSlotCycle;   // "%x"
    QString strMsmVersion;  // "MSM 2P (0x%x%x%x%x)"
};
SVersionTexts VersionTexts(const quint8* response, int len);

constexpr int VERSION_DIRECTORY_OFFSET = 39;
constexpr int VERSION_DIRECTORY_LENGTH = 8;
// True when a version answer of len bytes holds the whole software version directory.
bool HoldsSoftwareVersionDirectory(int len);
// The 8 chars at offset 39 (stops at NUL); empty when the answer does not hold them.
QString SoftwareVersionDirectory(const quint8* response, int len);
QString PrlVersionText(quint16 nam0, quint16 nam1); // "1: %d    2: %d"
QString EriVersionText(quint16 eri);                // "%d"
