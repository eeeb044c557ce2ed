#include "HandsetState.h"

#include "NvDefaults.h"
#include "serial/Checksums.h"
#include "serial/DiagCodec.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <functional>

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

// A character field of fixed width: the text, then NUL bytes.
void PutText(QByteArray& out, int at, const QString& text, int width)
{
    const QByteArray latin = text.toLatin1().left(width);
    for (int i = 0; i < latin.size(); ++i)
        out[at + i] = latin[i];
}

quint16 Group(int d1, int d2, int d3)
{
    auto prime = [](int d) { return d == 0 ? 10 : d; };
    return static_cast<quint16>(100 * prime(d1) + 10 * prime(d2) + prime(d3) - 111);
}

void Put16(QByteArray& out, int at, quint16 v)
{
    PutLe16(reinterpret_cast<quint8*>(out.data()) + at, v);
}

void Put32(QByteArray& out, int at, quint32 v)
{
    PutLe32(reinterpret_cast<quint8*>(out.data()) + at, v);
}

// An answer cut to length bytes, or padded to them with zero bytes.
QByteArray Sized(QByteArray answer, int length)
{
    if (length <= answer.size())
        return answer.left(length);
    return answer + QByteArray(length - answer.size(), '\0');
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

QByteArray DefaultPrlImage(quint16 id)
{
    // PR_LIST_SIZE, PR_LIST_ID, then PREF_ONLY (1), DEF_ROAM_IND (8), NUM_ACQ_RECS (9) and
    // NUM_SYS_RECS (14) all zero: 32 bits, padded to 4 bytes; then the check value.
    QByteArray img(10, '\0');
    img[0] = 0;
    img[1] = 10;
    img[2] = static_cast<char>(id >> 8);
    img[3] = static_cast<char>(id);
    const quint16 crc = PrlCrc16(reinterpret_cast<const quint8*>(img.constData()), 8);
    img[8] = static_cast<char>(crc >> 8);
    img[9] = static_cast<char>(crc);
    return img;
}

// ---------------------------------------------------------------------------------------------
CHandsetState::CHandsetState(const SHandsetProfile& profile) : m_profile(profile)
{
    if (m_profile.bEriSet) {
        QByteArray data(NV_DATA_SIZE, '\0');
        Put16(data, 0, m_profile.nEriVersion);
        m_nvItems.insert(NV_ITEM_ERI_VERSION, data);
    }
    QByteArray esn(NV_DATA_SIZE, '\0');
    Put32(esn, 0, m_profile.nEsn);
    m_nvItems.insert(NV_ITEM_ESN, esn);
    QByteArray spc = m_profile.strSpc.toLatin1();
    spc.resize(NV_DATA_SIZE, '\0');
    m_nvItems.insert(NV_ITEM_SPC, spc);
    for (quint8 nam = 0; nam < 2; ++nam) {
        QByteArray mdn(NV_DATA_SIZE, '\0');
        mdn[0] = static_cast<char>(nam);
        QByteArray digits;
        for (const QChar c : m_profile.strDigitalNumber)
            if (c.isDigit())
                digits.append(c.toLatin1());
        mdn.replace(1, static_cast<int>(digits.size()), digits);
        m_nvItems.insert(NvKey(178, nam), mdn);
        m_prl[nam] = DefaultPrlImage(m_profile.nPrlVersion[nam]);
    }
    SeedNvDefaults(*this);
}

bool CHandsetState::IsPerNam(quint16 item)
{
    static const QList<quint16> items = {10, 11,  18,  20,  21,  25,  26,  32,  33,  34,  35,  36,  37,  38,
                                         43, 176, 177, 178, 215, 255, 256, 258, 259, 260, 261, 285, 441, 442};
    return items.contains(item);
}

bool CHandsetState::IsReadOnly(quint16 item)
{
    return item == NV_ITEM_ESN || item == 1 || item == NV_ITEM_MEID;
}

bool CHandsetState::IsSpcProtected(quint16 item)
{
    static const QList<quint16> general = {4, 5, 85, 179, 296};
    return IsPerNam(item) || general.contains(item);
}

CHandsetState::ENvStatus CHandsetState::ReadNv(quint16 item, const QByteArray& requestData,
                                               QByteArray& data) const
{
    quint8 nam = 0;
    if (IsPerNam(item)) {
        nam = requestData.isEmpty() ? 0 : static_cast<quint8>(requestData.at(0));
        if (nam > 1)
            return NV_BAD_PARAMETER;
    }
    const auto it = m_nvItems.constFind(NvKey(item, nam));
    if (it == m_nvItems.constEnd())
        return NV_INACTIVE;
    data = *it;
    return NV_DONE;
}

CHandsetState::ENvStatus CHandsetState::WriteNv(quint16 item, const QByteArray& data)
{
    if (IsReadOnly(item))
        return NV_READ_ONLY;
    quint8 nam = 0;
    if (IsPerNam(item)) {
        nam = data.isEmpty() ? 0 : static_cast<quint8>(data.at(0));
        if (nam > 1)
            return NV_BAD_PARAMETER;
    }
    QByteArray d = data.left(NV_DATA_SIZE);
    d.resize(NV_DATA_SIZE, '\0');
    m_nvItems.insert(NvKey(item, nam), d);
    Save();
    return NV_DONE;
}

bool CHandsetState::CheckSpc(const QByteArray& digits)
{
    QByteArray stored;
    ReadNvItem(NV_ITEM_SPC, stored);
    m_bSpcUnlocked = digits.size() == 6 && stored.left(6) == digits;
    return m_bSpcUnlocked;
}

void CHandsetState::Reset()
{
    m_bSpcUnlocked = false;
    m_bPasswordGiven = false;
    m_bOffline = false;
    m_bResetRequested = true;
}

bool CHandsetState::TakeResetRequest()
{
    const bool r = m_bResetRequested;
    m_bResetRequested = false;
    return r;
}

quint16 CHandsetState::PrlVersion(int nam) const
{
    const QByteArray& p = m_prl[nam & 1];
    if (p.size() < 4)
        return 0;
    return static_cast<quint16>((static_cast<quint8>(p.at(2)) << 8) | static_cast<quint8>(p.at(3)));
}

void CHandsetState::SetPrl(int nam, const QByteArray& image)
{
    m_prl[nam & 1] = image;
    Save();
}

void CHandsetState::SetSoftwareVersion(const QString& dir)
{
    m_profile.strSwVersionDir = dir.left(8);
    Save();
}

// State folder layout: state.dat (a QDataStream of the items, both PRLs and the software
// version), efs/ (the file system). Written through a temporary file so a kill never leaves half
// a file behind.
bool CHandsetState::UseStateFolder(const QString& folder, QString* error)
{
    if (!QDir().mkpath(folder + QStringLiteral("/efs"))) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(folder);
        return false;
    }
    m_strStateFolder = folder;
    QFile f(folder + QStringLiteral("/state.dat"));
    if (!f.exists()) {
        Save();
        return true;
    }
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(f.fileName(), f.errorString());
        return false;
    }
    QDataStream in(&f);
    quint32 magic = 0;
    QHash<quint32, QByteArray> items;
    QByteArray prl0, prl1;
    QString sw;
    in >> magic >> items >> prl0 >> prl1 >> sw;
    if (in.status() != QDataStream::Ok || magic != 0x51505853) {
        if (error)
            *error = QStringLiteral("%1 is damaged").arg(f.fileName());
        return false;
    }
    // What the folder holds wins; items it never had (an older folder) keep their factory values.
    m_nvItems.insert(items);
    m_prl[0] = prl0;
    m_prl[1] = prl1;
    m_profile.strSwVersionDir = sw;
    return true;
}

void CHandsetState::Save() const
{
    if (m_strStateFolder.isEmpty())
        return;
    QSaveFile f(m_strStateFolder + QStringLiteral("/state.dat"));
    if (!f.open(QIODevice::WriteOnly))
        return;
    QDataStream out(&f);
    out << quint32(0x51505853) << m_nvItems << m_prl[0] << m_prl[1] << m_profile.strSwVersionDir;
    f.commit();
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

QByteArray CHandsetState::StatusResponse() const
{
    const SHandsetProfile& p = m_profile;
    quint32 dmin1 = 0, amin1 = 0;
    quint16 dmin2 = 0, amin2 = 0;
    ProfileMins(p, dmin1, dmin2, amin1, amin2);

    QByteArray r(STATUS_RESPONSE_SIZE, '\0');
    r[0] = static_cast<char>(CMD_STATUS);
    r[1] = 1; // demodulator, decoder and interleaver ids: plausible constants
    r[2] = 1;
    r[3] = 1;
    Put32(r, 4, p.nEsn);
    Put16(r, 8, p.nRfMode);
    Put32(r, 10, amin1);
    Put32(r, 14, dmin1);
    Put16(r, 18, amin2);
    Put16(r, 20, dmin2);
    r[22] = 0;                            // MIN index in use
    Put16(r, 23, p.nRfMode == 1 ? 5 : 0); // receive state: traffic while digital
    r[25] = p.nRfMode == 1 ? 1 : 0;       // good frames
    Put16(r, 34, p.nChannel);
    r[36] = static_cast<char>(p.nCodeChannel);
    Put16(r, 37, p.nPilotPn);
    Put16(r, 39, p.nSid);
    Put16(r, 41, p.nNid);
    Put16(r, 43, p.nLocaid);
    r[48] = static_cast<char>(p.nProtocolRevision);
    return Sized(r, p.nStatusLength);
}

QByteArray CHandsetState::VersionResponse() const
{
    const SHandsetProfile& p = m_profile;
    QByteArray r(VERSION_RESPONSE_SIZE, '\0');
    r[0] = static_cast<char>(CMD_VERSION);
    PutText(r, 1, p.strCompileDate, 11);
    PutText(r, 12, p.strCompileTime, 8);
    PutText(r, 20, p.strReleaseDate, 11);
    PutText(r, 31, p.strReleaseTime, 8);
    PutText(r, 39, p.strSwVersionDir, 8);
    // Values a settings write can change are reported as the items now hold them.
    QByteArray item;
    const auto byteOf = [this, &item](quint16 nv, quint8 profileValue) {
        return static_cast<char>(ReadNvItem(nv, item) && !item.isEmpty() ? item.at(0) : profileValue);
    };
    r[47] = byteOf(NV_ITEM_SCM, p.nStationClassMark);
    r[48] = static_cast<char>(p.nProtocolRevision);
    r[49] = static_cast<char>(p.nMobileModel);
    Put16(r, 50, p.nFirmwareRevision);
    r[52] = byteOf(NV_ITEM_SLOT_CYCLE_INDEX, p.nSlotCycleIndex);
    r[53] = static_cast<char>(p.nHwMajor);
    r[54] = static_cast<char>(p.nHwMinor);
    return Sized(r, p.nVersionLength);
}

bool CHandsetState::ReadNvItem(quint16 item, QByteArray& data) const
{
    const auto it = m_nvItems.constFind(item);
    if (it == m_nvItems.constEnd())
        return false;
    data = *it;
    return true;
}

void CHandsetState::WriteNvItem(quint16 item, const QByteArray& data)
{
    QByteArray d = data.left(NV_DATA_SIZE);
    d.resize(NV_DATA_SIZE, '\0');
    m_nvItems.insert(NvKey(item, 0), d);
    Save();
}
