#include "HandsetProfile.h"

#include <QFile>
#include <QList>

#include <functional>
#include <limits>

namespace {

// One profile key: how to print it and how to set it.
struct SKey
{
    const char* pszKey;
    std::function<QString(const SHandsetProfile&)> get;
    std::function<bool(SHandsetProfile&, const QString&)> set;
};

bool ParseNumber(const QString& text, quint64 max, quint64& value)
{
    const QString t = text.trimmed();
    bool ok = false;
    // Base 0 would read a leading 0 as octal; only 0x means another base here.
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        value = t.mid(2).toULongLong(&ok, 16);
    else
        value = t.toULongLong(&ok, 10);
    return ok && value <= max;
}

template <typename T> SKey NumberKey(const char* key, T SHandsetProfile::*field)
{
    return {key, [field](const SHandsetProfile& p) { return QString::number(p.*field); },
            [field](SHandsetProfile& p, const QString& v) {
                quint64 n = 0;
                if (!ParseNumber(v, std::numeric_limits<T>::max(), n))
                    return false;
                p.*field = static_cast<T>(n);
                return true;
            }};
}

SKey TextKey(const char* key, QString SHandsetProfile::*field, int maxLen)
{
    return {key, [field](const SHandsetProfile& p) { return p.*field; },
            [field, maxLen](SHandsetProfile& p, const QString& v) {
                if (v.size() > maxLen || v.toLatin1() != v.toUtf8())
                    return false;
                p.*field = v;
                return true;
            }};
}

// The length of an answer: at least its command byte, and within what a host can take.
SKey LengthKey(const char* key, quint16 SHandsetProfile::*field)
{
    return {key, [field](const SHandsetProfile& p) { return QString::number(p.*field); },
            [field](SHandsetProfile& p, const QString& v) {
                quint64 n = 0;
                if (!ParseNumber(v, 4000, n) || n < 1)
                    return false;
                p.*field = static_cast<quint16>(n);
                return true;
            }};
}

// A raw MIN override: empty means "from the phone number".
SKey RawMinKey(const char* key, qint64 SHandsetProfile::*field, quint64 max)
{
    return {key,
            [field](const SHandsetProfile& p) {
                return p.*field < 0 ? QString() : QStringLiteral("0x%1").arg(p.*field, 0, 16);
            },
            [field, max](SHandsetProfile& p, const QString& v) {
                if (v.trimmed().isEmpty()) {
                    p.*field = -1;
                    return true;
                }
                quint64 n = 0;
                if (!ParseNumber(v, max, n))
                    return false;
                p.*field = static_cast<qint64>(n);
                return true;
            }};
}

SKey PhoneKey(const char* key, QString SHandsetProfile::*field)
{
    return {key, [field](const SHandsetProfile& p) { return p.*field; },
            [field](SHandsetProfile& p, const QString& v) {
                quint32 min1 = 0;
                quint16 min2 = 0;
                if (!EncodeMin(v, min1, min2))
                    return false;
                p.*field = v.trimmed();
                return true;
            }};
}

const QList<SKey>& Keys()
{
    static const QList<SKey> keys = {
        {"esn",
         [](const SHandsetProfile& p) { return QStringLiteral("%1").arg(p.nEsn, 8, 16, QLatin1Char('0')); },
         [](SHandsetProfile& p, const QString& v) {
             QString t = v.trimmed();
             if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
                 t = t.mid(2);
             bool ok = false;
             const quint64 n = t.toULongLong(&ok, 16);
             if (!ok || t.size() > 8)
                 return false;
             p.nEsn = static_cast<quint32>(n);
             return true;
         }},
        PhoneKey("digital_number", &SHandsetProfile::strDigitalNumber),
        PhoneKey("analog_number", &SHandsetProfile::strAnalogNumber),
        RawMinKey("digital_min1", &SHandsetProfile::nDigitalMin1, 0xFFFFFFFFu),
        RawMinKey("digital_min2", &SHandsetProfile::nDigitalMin2, 0xFFFFu),
        RawMinKey("analog_min1", &SHandsetProfile::nAnalogMin1, 0xFFFFFFFFu),
        RawMinKey("analog_min2", &SHandsetProfile::nAnalogMin2, 0xFFFFu),
        NumberKey("rf_mode", &SHandsetProfile::nRfMode),
        NumberKey("cdma_channel", &SHandsetProfile::nChannel),
        NumberKey("code_channel", &SHandsetProfile::nCodeChannel),
        NumberKey("pilot_pn", &SHandsetProfile::nPilotPn),
        NumberKey("sid", &SHandsetProfile::nSid),
        NumberKey("nid", &SHandsetProfile::nNid),
        NumberKey("locaid", &SHandsetProfile::nLocaid),
        NumberKey("protocol_revision", &SHandsetProfile::nProtocolRevision),
        TextKey("compile_date", &SHandsetProfile::strCompileDate, 11),
        TextKey("compile_time", &SHandsetProfile::strCompileTime, 8),
        TextKey("release_date", &SHandsetProfile::strReleaseDate, 11),
        TextKey("release_time", &SHandsetProfile::strReleaseTime, 8),
        TextKey("sw_version_dir", &SHandsetProfile::strSwVersionDir, 8),
        NumberKey("firmware_revision", &SHandsetProfile::nFirmwareRevision),
        NumberKey("mobile_model", &SHandsetProfile::nMobileModel),
        NumberKey("slot_cycle_index", &SHandsetProfile::nSlotCycleIndex),
        NumberKey("station_class_mark", &SHandsetProfile::nStationClassMark),
        NumberKey("hw_major", &SHandsetProfile::nHwMajor),
        NumberKey("hw_minor", &SHandsetProfile::nHwMinor),
        {"prl_version_nam0", [](const SHandsetProfile& p) { return QString::number(p.nPrlVersion[0]); },
         [](SHandsetProfile& p, const QString& v) {
             quint64 n = 0;
             if (!ParseNumber(v, 0xFFFF, n))
                 return false;
             p.nPrlVersion[0] = static_cast<quint16>(n);
             return true;
         }},
        {"prl_version_nam1", [](const SHandsetProfile& p) { return QString::number(p.nPrlVersion[1]); },
         [](SHandsetProfile& p, const QString& v) {
             quint64 n = 0;
             if (!ParseNumber(v, 0xFFFF, n))
                 return false;
             p.nPrlVersion[1] = static_cast<quint16>(n);
             return true;
         }},
        // "none": item 4025 was never written (the handset answers NV status 5).
        {"eri_version",
         [](const SHandsetProfile& p) {
             return p.bEriSet ? QString::number(p.nEriVersion) : QStringLiteral("none");
         },
         [](SHandsetProfile& p, const QString& v) {
             if (v.trimmed() == QLatin1String("none")) {
                 p.bEriSet = false;
                 return true;
             }
             quint64 n = 0;
             if (!ParseNumber(v, 0xFFFF, n))
                 return false;
             p.bEriSet = true;
             p.nEriVersion = static_cast<quint16>(n);
             return true;
         }},
        LengthKey("status_length", &SHandsetProfile::nStatusLength),
        LengthKey("version_length", &SHandsetProfile::nVersionLength),
        {"spc", [](const SHandsetProfile& p) { return p.strSpc; },
         [](SHandsetProfile& p, const QString& v) {
             const QString t = v.trimmed();
             if (t.size() != 6)
                 return false;
             for (const QChar c : t)
                 if (!c.isDigit())
                     return false;
             p.strSpc = t;
             return true;
         }},
    };
    return keys;
}

// Three digits of a phone number as IS-95 codes them (0 counts as 10), less 111.
quint16 Group(int d1, int d2, int d3)
{
    auto prime = [](int d) { return d == 0 ? 10 : d; };
    return static_cast<quint16>(100 * prime(d1) + 10 * prime(d2) + prime(d3) - 111);
}

} // namespace

bool EncodeMin(const QString& number, quint32& min1, quint16& min2)
{
    QList<int> d;
    for (const QChar c : number)
        if (c.isDigit())
            d.append(c.digitValue());
    if (d.size() != 7 && d.size() != 10)
        return false;
    min2 = 0;
    if (d.size() == 10) {
        min2 = Group(d[0], d[1], d[2]);
        d.remove(0, 3);
    }
    const quint32 thousands = d[3] == 0 ? 10u : static_cast<quint32>(d[3]);
    min1 =
        (static_cast<quint32>(Group(d[0], d[1], d[2])) << 14) | (thousands << 10) | Group(d[4], d[5], d[6]);
    return true;
}

bool SetProfileValue(SHandsetProfile& profile, const QString& key, const QString& value)
{
    for (const SKey& k : Keys())
        if (key == QLatin1String(k.pszKey))
            return k.set(profile, value);
    return false;
}

bool LoadProfile(const QString& path, SHandsetProfile& profile, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, f.errorString());
        return false;
    }
    int lineNo = 0;
    while (!f.atEnd()) {
        ++lineNo;
        const QString line = QString::fromUtf8(f.readLine(4096)).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const int eq = line.indexOf(QLatin1Char('='));
        const QString key = eq < 0 ? line : line.left(eq).trimmed();
        const QString value = eq < 0 ? QString() : line.mid(eq + 1).trimmed();
        if (eq < 0 || !SetProfileValue(profile, key, value)) {
            if (error)
                *error = QStringLiteral("%1:%2: bad line \"%3\"").arg(path).arg(lineNo).arg(line);
            return false;
        }
    }
    return true;
}

QString ProfileText(const SHandsetProfile& profile)
{
    QString text;
    for (const SKey& k : Keys())
        text += QLatin1String(k.pszKey) + QLatin1Char('=') + k.get(profile) + QLatin1Char('\n');
    return text;
}

void ProfileMins(const SHandsetProfile& p, quint32& dmin1, quint16& dmin2, quint32& amin1, quint16& amin2)
{
    dmin1 = amin1 = 0;
    dmin2 = amin2 = 0;
    EncodeMin(p.strDigitalNumber, dmin1, dmin2);
    EncodeMin(p.strAnalogNumber, amin1, amin2);
    if (p.nDigitalMin1 >= 0)
        dmin1 = static_cast<quint32>(p.nDigitalMin1);
    if (p.nDigitalMin2 >= 0)
        dmin2 = static_cast<quint16>(p.nDigitalMin2);
    if (p.nAnalogMin1 >= 0)
        amin1 = static_cast<quint32>(p.nAnalogMin1);
    if (p.nAnalogMin2 >= 0)
        amin2 = static_cast<quint16>(p.nAnalogMin2);
}
