#include "ByteText.h"

namespace {

constexpr char16_t KEPT_BYTE_BASE = 0xDC00;

// Length of the valid UTF-8 sequence at p (1..4), or 0 when the byte there does not start one.
// Overlong forms, surrogates and code points above U+10FFFF are not valid.
int Utf8Length(const unsigned char* p, qsizetype left)
{
    const unsigned char b = p[0];
    if (b < 0x80)
        return 1;
    int n = 0;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        n = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        if (b == 0xE0)
            lo = 0xA0; // overlong
        else if (b == 0xED)
            hi = 0x9F; // surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        if (b == 0xF0)
            lo = 0x90; // overlong
        else if (b == 0xF4)
            hi = 0x8F; // above U+10FFFF
    } else {
        return 0;
    }
    if (left < n || p[1] < lo || p[1] > hi)
        return 0;
    for (int i = 2; i < n; ++i)
        if ((p[i] & 0xC0) != 0x80)
            return 0;
    return n;
}

} // namespace

QString TextFromBytes(QByteArrayView bytes)
{
    QString out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    qsizetype run = 0; // start of the valid UTF-8 not yet decoded
    for (qsizetype i = 0; i < size;) {
        const int n = Utf8Length(p + i, size - i);
        if (n > 0) {
            i += n;
            continue;
        }
        out.append(QString::fromUtf8(bytes.sliced(run, i - run)));
        out.append(QChar(char16_t(KEPT_BYTE_BASE + p[i])));
        run = ++i;
    }
    out.append(QString::fromUtf8(bytes.sliced(run)));
    return out;
}

QByteArray BytesFromText(QStringView text)
{
    QByteArray out;
    out.reserve(text.size());
    const qsizetype size = text.size();
    qsizetype run = 0; // start of the ordinary text not yet encoded
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text[i].unicode();
        if (!QChar::isSurrogate(c))
            continue;
        if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i; // a character beyond U+FFFF
            continue;
        }
        out.append(text.sliced(run, i - run).toUtf8());
        if (c >= KEPT_BYTE_BASE + 0x80 && c <= KEPT_BYTE_BASE + 0xFF)
            out.append(static_cast<char>(c - KEPT_BYTE_BASE));
        else
            out.append("\xEF\xBF\xBD"); // U+FFFD
        run = i + 1;
    }
    out.append(text.sliced(run).toUtf8());
    return out;
}

bool IsUtf8(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size;) {
        const int n = Utf8Length(p + i, size - i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}
