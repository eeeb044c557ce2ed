#include "HandsetFormat.h"

const char* const STATUS_ROW_LABELS[11] = {
    "                       ESN", "               Digital MIN", "                Analog MIN",
    "                   RF MODE", "              CDMA Channel", "              Code Channel",
    "          Active Sector PN", "                       SID", "                       NID",
    "                    Locaid", "        Protocol Revision",
};

const char* const VERSION_COL0_LABELS[5] = {
    "       Compile Date",     "       Release Date", "       S/W Version",
    "       Slot Cycle Index", "       PRL Version",
};

const char* const VERSION_COL2_LABELS[5] = {
    "Compile Time", "Release Time", "Mobile Model", "MSM Version", "ERI Version",
};

namespace {

// True when the answer of len bytes holds all size bytes of the field at off.
bool Holds(const quint8* p, int len, int off, int size)
{
    return p != nullptr && off >= 0 && size > 0 && off + size <= len;
}

// Byte readers; callers check with Holds first.
quint8 U8(const quint8* p, int off)
{
    return p[off];
}

quint16 U16(const quint8* p, int off)
{
    return static_cast<quint16>(p[off] | (p[off + 1] << 8));
}

quint32 U32(const quint8* p, int off)
{
    return quint32(p[off]) | (quint32(p[off + 1]) << 8) | (quint32(p[off + 2]) << 16) |
           (quint32(p[off + 3]) << 24);
}

// A fixed-size character field copied into a text of its own length; an earlier NUL ends it.
// Bytes are taken as they stand (8-bit, no conversion). Empty when the answer ends inside it.
QString Chars(const quint8* p, int len, int off, int size)
{
    if (!Holds(p, len, off, size))
        return {};
    QByteArray out;
    for (int i = 0; i < size && p[off + i] != 0; ++i)
        out.append(static_cast<char>(p[off + i]));
    return QString::fromLatin1(out);
}

// "%d" of an 8- or 16-bit field, or empty when the answer does not hold it.
QString Number8(const quint8* p, int len, int off)
{
    return Holds(p, len, off, 1) ? QString::number(U8(p, off)) : QString();
}

QString Number16(const quint8* p, int len, int off)
{
    return Holds(p, len, off, 2) ? QString::number(U16(p, off)) : QString();
}

// A mobile number from MIN1 at min1Off and MIN2 at min2Off, or empty when either is missing.
QString MobileNumber(const quint8* p, int len, int min1Off, int min2Off)
{
    if (!Holds(p, len, min1Off, 4) || !Holds(p, len, min2Off, 2))
        return {};
    return FormatMobileNumber(U32(p, min1Off), U16(p, min2Off));
}

// A 10-bit MIN group: each decimal digit of v plus one, modulo 10 (0 -> "111", 999 -> "000").
// Values of 1000 and more (only the unchecked leading group of MIN1) have four such digits,
// of which the first three are kept.
QString MinGroup(unsigned v)
{
    QString digits;
    const QString dec = QString::number(v).rightJustified(3, QLatin1Char('0'));
    for (const QChar c : dec)
        digits.append(QLatin1Char(static_cast<char>('0' + (c.digitValue() + 1) % 10)));
    return digits.left(3);
}

QChar MinThousands(unsigned d)
{
    if (d >= 1 && d <= 9)
        return QLatin1Char(static_cast<char>('0' + d));
    if (d == 10)
        return QLatin1Char('0');
    return QLatin1Char('/');
}

} // namespace

QString FormatEsn(quint32 esn)
{
    return QStringLiteral("%1").arg(esn, 8, 16, QLatin1Char('0'));
}

QString FormatMobileNumber(quint32 min1, quint16 min2)
{
    if (min2 > 999 || (min1 & 0x3FF) > 999)
        return {};
    QString text;
    if (min2 != 0)
        text += QLatin1Char('(') + MinGroup(min2) + QStringLiteral(") ");
    if (min1 != 0) {
        text += MinGroup((min1 >> 14) & 0x3FF);
        text += QLatin1Char('-');
        text += MinThousands((min1 >> 10) & 0xF);
        text += MinGroup(min1 & 0x3FF);
    }
    return text;
}

QString FormatRfMode(quint16 mode)
{
    switch (mode) {
    case 0:
        return QStringLiteral("ANALOG");
    case 1:
        return QStringLiteral("DIGITAL");
    case 2:
        return QStringLiteral("PCN");
    case 3:
        return QStringLiteral("SLEEP");
    default:
        return QStringLiteral("??????");
    }
}

QString FormatPilotPn(quint16 pn)
{
    return pn < 999 ? QString::number(pn) : QStringLiteral(" 0");
}

QStringList StatusValueTexts(const quint8* r, int len)
{
    QStringList rows;
    rows.reserve(11);
    rows << (Holds(r, len, 4, 4) ? FormatEsn(U32(r, 4)) : QString());
    rows << MobileNumber(r, len, 14, 20);
    rows << MobileNumber(r, len, 10, 18);
    rows << (Holds(r, len, 8, 2) ? FormatRfMode(U16(r, 8)) : QString());
    rows << Number16(r, len, 34);
    rows << Number8(r, len, 36);
    rows << (Holds(r, len, 37, 2) ? FormatPilotPn(U16(r, 37)) : QString());
    rows << Number16(r, len, 39);
    rows << Number16(r, len, 41);
    rows << Number16(r, len, 43);
    rows << Number8(r, len, 48);
    return rows;
}

bool HoldsSoftwareVersionDirectory(int len)
{
    return len >= VERSION_DIRECTORY_OFFSET + VERSION_DIRECTORY_LENGTH;
}

QString SoftwareVersionDirectory(const quint8* r, int len)
{
    return Chars(r, len, VERSION_DIRECTORY_OFFSET, VERSION_DIRECTORY_LENGTH);
}

SVersionTexts VersionTexts(const quint8* r, int len)
{
    SVersionTexts v;
    v.strCompileDate = Chars(r, len, 1, 11);
    v.strCompileTime = Chars(r, len, 12, 8);
    v.strReleaseDate = Chars(r, len, 20, 11);
    v.strReleaseTime = Chars(r, len, 31, 8);
    // The firmware revision comes after the directory: holding it means holding both.
    if (Holds(r, len, 50, 2)) {
        const unsigned rev = U16(r, 50);
        v.strSwVersion = QStringLiteral("%1.%2  %3")
                             .arg(rev / 100, 2, 10, QLatin1Char('0'))
                             .arg(rev % 100, 2, 10, QLatin1Char('0'))
                             .arg(SoftwareVersionDirectory(r, len));
    }
    v.strMobileModel = Number8(r, len, 49);
    if (Holds(r, len, 52, 1))
        v.strSlotCycle = QString::number(U8(r, 52), 16);
    if (Holds(r, len, 53, 2)) {
        const unsigned major = U8(r, 53);
        const unsigned minor = U8(r, 54);
        v.strMsmVersion = QStringLiteral("MSM 2P (0x%1%2%3%4)")
                              .arg(major >> 4, 0, 16)
                              .arg(major & 0xF, 0, 16)
                              .arg(minor >> 4, 0, 16)
                              .arg(minor & 0xF, 0, 16);
    }
    return v;
}

QString PrlVersionText(quint16 nam0, quint16 nam1)
{
    return QStringLiteral("1: %1    2: %2").arg(nam0).arg(nam1);
}

QString EriVersionText(quint16 eri)
{
    return QString::number(eri);
}
