#include "SettingsCodec.h"

#include <cstring>

namespace {

const char DIAL_CHARS[] = "0123456789*#+";

quint32 GetN(const QByteArray& d, int at, int width)
{
    quint32 v = 0;
    for (int i = width - 1; i >= 0; --i)
        v = (v << 8) | static_cast<quint8>(at + i < d.size() ? d.at(at + i) : 0);
    return v;
}

void PutN(QByteArray& d, int at, int width, quint32 v)
{
    for (int i = 0; i < width; ++i)
        d[at + i] = static_cast<char>(v >> (8 * i));
}

// Decimal, or hexadecimal after "0x"; must fit width bytes.
bool ParseNumber(const QString& text, int width, quint32& v)
{
    bool ok = false;
    const QString t = text.trimmed();
    const quint64 n = t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? t.mid(2).toULongLong(&ok, 16)
                                                                             : t.toULongLong(&ok, 10);
    v = static_cast<quint32>(n);
    return ok && width >= 1 && width <= 4 && n < (quint64(1) << (8 * width));
}

bool AllOf(const QByteArray& t, const char* allowed)
{
    for (const char c : t) {
        if (allowed == nullptr) {
            if (c < 0x20 || c > 0x7E)
                return false;
        } else if (c == '\0' || std::strchr(allowed, c) == nullptr) {
            return false;
        }
    }
    return true;
}

const char* TextChars(ENvKind kind)
{
    switch (kind) {
    case NK_DIGITS:
        return "0123456789";
    case NK_DIAL:
    case NK_LDIAL:
        return DIAL_CHARS;
    default:
        return nullptr;
    }
}

bool InData(const SNvField& f, const QByteArray& d, int bytes)
{
    return f.offset >= 0 && f.offset + bytes <= d.size();
}

// Bytes the field takes in its (first) item.
int FieldBytes(const SNvField& f)
{
    switch (f.kind) {
    case NK_NUMBER:
    case NK_HEX:
        return f.width * (f.copy ? 2 : 1);
    case NK_TEXT:
    case NK_DIGITS:
    case NK_DIAL:
        return f.width;
    case NK_LTEXT:
    case NK_LDIAL:
        return 1 + f.width;
    case NK_SIDNID:
    case NK_IPV4:
    case NK_ESN:
        return 4;
    case NK_MCC:
        return 2;
    case NK_IMSI_S: // the MIN2 pair; the MIN1 pair takes 8 bytes of item2
        return 4;
    case NK_MNC:
        return 1;
    default:
        return 0;
    }
}

} // namespace

bool IsNvKind(ENvKind kind)
{
    return kind != NK_PRL_ID && kind != NK_SW_VERSION && kind != NK_HW_VERSION;
}

QList<quint16> FieldItems(const SNvField& f)
{
    if (!IsNvKind(f.kind))
        return {};
    if (f.kind == NK_IMSI_S)
        return {f.item, f.item2};
    return {f.item};
}

QString FieldEditChars(const SNvField& f)
{
    switch (f.kind) {
    case NK_NUMBER:
    case NK_HEX:
    case NK_SIDNID:
        return QStringLiteral("0123456789abcdefABCDEFx");
    case NK_DIGITS:
    case NK_MCC:
    case NK_MNC:
    case NK_IMSI_S:
        return QStringLiteral("0123456789");
    case NK_DIAL:
    case NK_LDIAL:
        return QString::fromLatin1(DIAL_CHARS);
    case NK_TEXT:
    case NK_LTEXT: {
        QString printable;
        for (char c = 0x20; c < 0x7F; ++c)
            printable += QLatin1Char(c);
        return printable;
    }
    default:
        return {};
    }
}

int FieldEditWidth(const SNvField& f)
{
    if (f.kind == NK_NUMBER || f.kind == NK_HEX)
        return f.width;
    return f.kind == NK_SIDNID ? 2 : 0;
}

int FieldTextBytes(const SNvField& f)
{
    switch (f.kind) {
    case NK_TEXT:
    case NK_DIGITS:
    case NK_DIAL:
    case NK_LTEXT:
    case NK_LDIAL:
        return f.width;
    case NK_MCC:
        return 3;
    case NK_MNC:
        return 2;
    case NK_IMSI_S:
        return 10;
    default:
        return 0;
    }
}

QList<QPair<quint32, QString>> FieldChoices(const char* choices)
{
    QList<QPair<quint32, QString>> out;
    if (choices == nullptr)
        return out;
    const QStringList parts = QString::fromLatin1(choices).split(QLatin1Char('|'));
    for (int i = 0; i < parts.size(); ++i) {
        const int eq = static_cast<int>(parts[i].indexOf(QLatin1Char('=')));
        bool ok = false;
        const quint32 v = eq > 0 ? parts[i].left(eq).toUInt(&ok) : 0;
        if (ok)
            out.append({v, parts[i].mid(eq + 1)});
        else
            out.append({static_cast<quint32>(i), parts[i]});
    }
    return out;
}

QStringList FieldShow(const SNvField& f, const QByteArray& d, const QByteArray& d2)
{
    if (!InData(f, d, FieldBytes(f)))
        return {{}, {}};
    const int at = f.offset;
    switch (f.kind) {
    case NK_NUMBER:
    case NK_HEX: {
        const quint32 v = GetN(d, at + (f.copy ? f.width : 0), f.width);
        for (const auto& c : FieldChoices(f.choices))
            if (c.first == v)
                return {c.second, {}};
        if (f.kind == NK_HEX)
            return {QStringLiteral("0x") +
                        QString::number(v, 16).toUpper().rightJustified(2 * f.width, QLatin1Char('0')),
                    {}};
        return {QString::number(v), {}};
    }
    case NK_TEXT:
    case NK_DIGITS:
    case NK_DIAL: {
        const QByteArray t = d.mid(at, f.width);
        const int nul = static_cast<int>(t.indexOf('\0'));
        return {QString::fromLatin1(nul < 0 ? t : t.left(nul)), {}};
    }
    case NK_LTEXT:
    case NK_LDIAL: {
        const int n = qMin(static_cast<int>(static_cast<quint8>(d.at(at))), f.width);
        return {QString::fromLatin1(d.mid(at + 1, n)), {}};
    }
    case NK_SIDNID:
        return {QString::number(GetN(d, at, 2)), QString::number(GetN(d, at + 2, 2))};
    case NK_IPV4:
        return {QStringLiteral("%1.%2.%3.%4")
                    .arg(static_cast<quint8>(d.at(at)))
                    .arg(static_cast<quint8>(d.at(at + 1)))
                    .arg(static_cast<quint8>(d.at(at + 2)))
                    .arg(static_cast<quint8>(d.at(at + 3))),
                {}};
    case NK_MCC:
        return {DecodeDigitGroup(GetN(d, at, 2)), {}};
    case NK_MNC: {
        const quint32 v = GetN(d, at, 1);
        if (v > 99)
            return {{}, {}};
        return {QStringLiteral("%1%2").arg((v / 10 + 1) % 10).arg((v % 10 + 1) % 10), {}};
    }
    case NK_IMSI_S:
        if (d2.size() < at + 8)
            return {{}, {}};
        return {DecodeImsiS(static_cast<quint16>(GetN(d, at + 2, 2)), GetN(d2, at + 4, 4)), {}};
    case NK_ESN: {
        const quint32 v = GetN(d, at, 4);
        return {QString::number(v), QStringLiteral("%1").arg(v, 8, 16, QLatin1Char('0')).toUpper()};
    }
    default:
        return {{}, {}};
    }
}

bool FieldPatch(const SNvField& f, const QStringList& cells, quint16 item, QByteArray& data)
{
    if (f.readOnly || !IsNvKind(f.kind) || !FieldItems(f).contains(item))
        return false;
    const bool second = f.kind == NK_IMSI_S && item == f.item2 && item != f.item;
    if (!InData(f, data, second ? 8 : FieldBytes(f)))
        return false;
    QByteArray d = data;
    const int at = f.offset;
    const QString p1 = cells.value(0).trimmed();
    switch (f.kind) {
    case NK_NUMBER:
    case NK_HEX: {
        quint32 v = 0;
        bool chosen = false;
        for (const auto& c : FieldChoices(f.choices))
            if (c.second == p1) {
                v = c.first;
                chosen = true;
            }
        if (!chosen && !ParseNumber(p1, f.width, v))
            return false;
        PutN(d, at, f.width, v);
        if (f.copy)
            PutN(d, at + f.width, f.width, v);
        break;
    }
    case NK_TEXT:
    case NK_DIGITS:
    case NK_DIAL:
    case NK_LTEXT:
    case NK_LDIAL: {
        const QByteArray t = p1.toLatin1();
        if (t.size() > f.width || t.size() < f.minLength || QString::fromLatin1(t) != p1 ||
            !AllOf(t, TextChars(f.kind)))
            return false;
        const bool counted = f.kind == NK_LTEXT || f.kind == NK_LDIAL;
        if (counted)
            d[at] = static_cast<char>(t.size());
        d.replace(at + (counted ? 1 : 0), f.width, t.leftJustified(f.width, '\0'));
        break;
    }
    case NK_SIDNID: {
        // An empty NID keeps the one the item holds.
        quint32 sid = 0, nid = GetN(d, at + 2, 2);
        const QString p2 = cells.value(1).trimmed();
        if (!ParseNumber(p1, 2, sid) || (!p2.isEmpty() && !ParseNumber(p2, 2, nid)))
            return false;
        PutN(d, at, 2, sid);
        PutN(d, at + 2, 2, nid);
        break;
    }
    case NK_IPV4: {
        const QStringList parts = p1.split(QLatin1Char('.'));
        if (parts.size() != 4)
            return false;
        for (int i = 0; i < 4; ++i) {
            bool ok = false;
            const uint v = parts[i].toUInt(&ok);
            if (!ok || v > 255 || parts[i].size() > 3)
                return false;
            d[at + i] = static_cast<char>(v);
        }
        break;
    }
    case NK_MCC: {
        const quint16 v = EncodeDigitGroup(p1);
        if (v == 0xFFFF)
            return false;
        PutN(d, at, 2, v);
        break;
    }
    case NK_MNC: {
        if (p1.size() != 2 || !p1.at(0).isDigit() || !p1.at(1).isDigit())
            return false;
        auto prime = [](QChar c) { return c.digitValue() == 0 ? 10 : c.digitValue(); };
        PutN(d, at, 1, static_cast<quint32>(10 * prime(p1.at(0)) + prime(p1.at(1)) - 11));
        break;
    }
    case NK_IMSI_S: {
        quint16 min2 = 0;
        quint32 min1 = 0;
        if (!EncodeImsiS(p1, min2, min1))
            return false;
        if (second) {
            PutN(d, at, 4, min1);
            PutN(d, at + 4, 4, min1);
        } else {
            PutN(d, at, 2, min2);
            PutN(d, at + 2, 2, min2);
        }
        break;
    }
    default:
        return false;
    }
    data = d;
    return true;
}

quint16 EncodeDigitGroup(const QString& digits)
{
    if (digits.size() != 3)
        return 0xFFFF;
    int v = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0xFFFF;
        v = 10 * v + (c == QLatin1Char('0') ? 10 : c.digitValue());
    }
    return static_cast<quint16>(v - 111);
}

QString DecodeDigitGroup(quint32 coded)
{
    if (coded > 999)
        return {};
    return QStringLiteral("%1%2%3")
        .arg((coded / 100 + 1) % 10)
        .arg((coded % 100 / 10 + 1) % 10)
        .arg((coded % 10 + 1) % 10);
}

bool EncodeImsiS(const QString& digits, quint16& min2, quint32& min1)
{
    if (digits.size() != 10)
        return false;
    const quint16 area = EncodeDigitGroup(digits.mid(0, 3));
    const quint16 prefix = EncodeDigitGroup(digits.mid(3, 3));
    const quint16 last = EncodeDigitGroup(digits.mid(7, 3));
    const QChar d7 = digits.at(6);
    if (area == 0xFFFF || prefix == 0xFFFF || last == 0xFFFF || d7 < QLatin1Char('0') ||
        d7 > QLatin1Char('9'))
        return false;
    const quint32 thousands = d7 == QLatin1Char('0') ? 10u : static_cast<quint32>(d7.digitValue());
    min2 = area;
    min1 = (static_cast<quint32>(prefix) << 14) | (thousands << 10) | last;
    return true;
}

QString DecodeImsiS(quint16 min2, quint32 min1)
{
    const quint32 thousands = (min1 >> 10) & 0xF;
    const QString area = DecodeDigitGroup(min2);
    const QString prefix = DecodeDigitGroup(min1 >> 14);
    const QString last = DecodeDigitGroup(min1 & 0x3FF);
    if (area.isEmpty() || prefix.isEmpty() || last.isEmpty() || thousands < 1 || thousands > 10)
        return {};
    return area + prefix + QString::number(thousands % 10) + last;
}
