#include "HandsetState.h"

#include "NvDefaults.h"
#include "serial/Checksums.h"
#include "serial/DiagCodec.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace {

// A character field of fixed width: the text, then NUL bytes.
void PutText(QByteArray& out, int at, const QString& text, int width)
{
    const QByteArray latin = text.toLatin1().left(width);
    for (int i = 0; i < latin.size(); ++i)
        out[at + i] = latin[i];
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

const SHandsetProfile& CHandsetState::Profile() const
{
    return m_profile;
}

quint32 CHandsetState::NvKey(quint16 item, quint8 nam)
{
    return item | (static_cast<quint32>(nam) << 16);
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

bool CHandsetState::SpcUnlocked() const
{
    return m_bSpcUnlocked;
}

void CHandsetState::SetSpcLockout(int attempts)
{
    m_nSpcLockout = attempts;
}

bool CHandsetState::SpcLockedOut() const
{
    return m_nSpcLockout > 0 && m_nWrongSpc >= m_nSpcLockout;
}

bool CHandsetState::TrySpc(const QByteArray& digits)
{
    if (SpcLockedOut()) {
        m_bSpcUnlocked = false;
        return false;
    }
    const bool ok = CheckSpc(digits);
    m_nWrongSpc = ok ? 0 : m_nWrongSpc + 1;
    return ok;
}

void CHandsetState::SetSpcHidden(bool hidden)
{
    m_bSpcHidden = hidden;
}

bool CHandsetState::SpcHidden() const
{
    return m_bSpcHidden;
}

void CHandsetState::SetPassword(const QByteArray& password)
{
    m_password = password;
    m_bPasswordGiven = false;
}

bool CHandsetState::HasPassword() const
{
    return !m_password.isEmpty();
}

bool CHandsetState::PasswordNeeded() const
{
    return HasPassword() && !m_bPasswordGiven;
}

bool CHandsetState::CheckPassword(const QByteArray& bytes)
{
    if (!HasPassword())
        return true;
    m_bPasswordGiven = bytes == m_password;
    return m_bPasswordGiven;
}

bool CHandsetState::Offline() const
{
    return m_bOffline;
}

void CHandsetState::SetOffline(bool offline)
{
    m_bOffline = offline;
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

void CHandsetState::RequestDownload()
{
    m_bDownloadRequested = true;
}

bool CHandsetState::TakeDownloadRequest()
{
    const bool r = m_bDownloadRequested;
    m_bDownloadRequested = false;
    return r;
}

QByteArray CHandsetState::Prl(int nam) const
{
    return m_prl[nam & 1];
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

QString CHandsetState::StateFolder() const
{
    return m_strStateFolder;
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
