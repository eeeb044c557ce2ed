#include "EditRules.h"

#include <algorithm>
#include <limits>

const char IP_PART_RANGE_TEXT[] = "Each part of an IP address must be a number from 0 to 255.";

namespace {

int DigitValue(QChar c, int base)
{
    int v = -1;
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        v = c.unicode() - '0';
    else if (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
        v = c.unicode() - 'a' + 10;
    else if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        v = c.unicode() - 'A' + 10;
    return v >= 0 && v < base ? v : -1;
}

bool IsBareHexPrefix(const QString& text)
{
    return text.trimmed() == QLatin1String("0x");
}

bool AllAllowed(const SEditFieldRule& rule, const QString& text)
{
    if (rule.strAllowed.isEmpty())
        return true;
    return std::all_of(text.begin(), text.end(), [&rule](QChar c) { return rule.strAllowed.contains(c); });
}

// Rules 2 and 3 for the whole text.
bool WithinLimits(const SEditFieldRule& rule, const QString& text, bool unfinishedHexPasses)
{
    if (rule.nMaxBytes > 0 && text.toUtf8().size() > rule.nMaxBytes)
        return false;
    const quint64 max = MaxValueForByteWidth(rule.nByteWidth);
    if (max == 0 || (unfinishedHexPasses && IsBareHexPrefix(text)))
        return true;
    const quint64 value = FieldNumber(text);
    return value <= max && !(value == 0 && text.size() > 1);
}

} // namespace

quint64 MaxValueForByteWidth(int byteWidth)
{
    switch (byteWidth) {
    case 1:
        return 0xFFull;
    case 2:
        return 0xFFFFull;
    case 3:
        return 0xFFFFFFull;
    case 4:
        return 0xFFFFFFFFull;
    default:
        return 0;
    }
}

quint64 FieldNumber(const QString& text)
{
    const bool hex = text.contains(QLatin1String("0x"));
    const int base = hex ? 16 : 10;
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    if (hex && text.mid(i, 2).compare(QLatin1String("0x"), Qt::CaseInsensitive) == 0)
        i += 2;
    quint64 value = 0;
    const quint64 limit = std::numeric_limits<quint64>::max();
    for (; i < text.size(); ++i) {
        const int d = DigitValue(text.at(i), base);
        if (d < 0)
            break;
        if (value > (limit - quint64(d)) / quint64(base))
            return limit;
        value = value * quint64(base) + quint64(d);
    }
    return value;
}

bool AcceptEditChange(const SEditFieldRule& rule, const QString& before, const QString& after)
{
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype head = 0;
    while (head < shorter && before.at(head) == after.at(head))
        ++head;
    qsizetype tail = 0;
    while (tail < shorter - head && before.at(before.size() - 1 - tail) == after.at(after.size() - 1 - tail))
        ++tail;
    const QString inserted = after.mid(head, after.size() - head - tail);
    if (inserted.isEmpty())
        return true; // only removed text
    return AllAllowed(rule, inserted) && WithinLimits(rule, after, true);
}

bool AcceptEditResult(const SEditFieldRule& rule, const QString& text)
{
    return AllAllowed(rule, text) && WithinLimits(rule, text, false);
}

bool MeetsMinimumLength(const SEditFieldRule& rule, const QString& text)
{
    return text.size() >= rule.nMinLength;
}

EIpPart CheckIpPart(const QString& text)
{
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return EIpPart::NotANumber;
    }
    return text.size() > 3 || text.toInt() > 255 ? EIpPart::OutOfRange : EIpPart::Accepted;
}

QString FormatIpAddress(int a, int b, int c, int d)
{
    return QString::asprintf("%d.%d.%d.%d", a, b, c, d);
}
