#include "EditRules.h"

#include <limits>

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

bool AcceptEditKeystroke(const SEditFieldRule& rule, EEditKey key, const QString& inserted,
                         const QString& after)
{
    if (key == EEditKey::Backspace || key == EEditKey::Copy || key == EEditKey::Cut)
        return true;
    if (!rule.strAllowed.isEmpty()) {
        for (QChar c : inserted) {
            if (!rule.strAllowed.contains(c))
                return false;
        }
    }
    const quint64 max = MaxValueForByteWidth(rule.nByteWidth);
    if (max != 0 && !IsBareHexPrefix(after)) {
        const quint64 value = FieldNumber(after);
        if (value > max)
            return false;
        if (value == 0 && after.size() > 1)
            return false;
    }
    return true;
}

bool MeetsMinimumLength(const SEditFieldRule& rule, const QString& text)
{
    return text.size() >= rule.nMinLength;
}

QString FormatIpAddress(int a, int b, int c, int d)
{
    return QString::asprintf("%d.%d.%d.%d", a, b, c, d);
}
