#include "CommandDispatcher.h"

#include "serial/DiagCodec.h"
#include "serial/Efs2Protocol.h"
#include "serial/PrlImage.h"

namespace {
constexpr int PRL_BLOCK = prl::BLOCK_BYTES;
constexpr int PRL_READ_SIZE = 128;

const quint8* U8(const QByteArray& b)
{
    return reinterpret_cast<const quint8*>(b.constData());
}
} // namespace

const CCommandDispatcher::SCommand CCommandDispatcher::COMMANDS[] = {
    {CMD_VERSION, 1, 1, &CCommandDispatcher::Version, "version"},
    {CMD_ESN, 1, 1, &CCommandDispatcher::Esn, "ESN"},
    {CMD_STATUS, 1, 1, &CCommandDispatcher::Status, "status"},
    // The program's item read is 657 bytes long; a longer request gets the normal answer.
    {CMD_NV_READ, NV_PACKET_SIZE, -1, &CCommandDispatcher::NvRead, "NV read"},
    {CMD_PRL_VERSION, 2, 2, &CCommandDispatcher::PrlVersion, "PRL version"},
    {CMD_NV_WRITE, NV_PACKET_SIZE, -1, &CCommandDispatcher::NvWrite, "NV write"},
    {CMD_MODE_CHANGE, 3, 3, &CCommandDispatcher::ModeChange, "mode change"},
    {CMD_SPC, 7, 7, &CCommandDispatcher::Spc, "SPC"},
    {CMD_PASSWORD, 9, 9, &CCommandDispatcher::Password, "security password"},
    {CMD_PRL_WRITE, 6, 6 + PRL_BLOCK, &CCommandDispatcher::PrlWrite, "PRL write"},
    {CMD_PRL_READ, 3, 3, &CCommandDispatcher::PrlRead, "PRL read"},
    {CMD_SUBSYSTEM, 4, -1, &CCommandDispatcher::Subsystem, "subsystem"},
    {CMD_DOWNLOAD, 1, 1, &CCommandDispatcher::Download, "download"},
};

void CCommandDispatcher::SetBadStore(bool nv, bool prl)
{
    m_bBadStoreNv = nv;
    m_bBadStorePrl = prl;
}

QByteArray CCommandDispatcher::ErrorResponse(quint8 error, const QByteArray& request)
{
    return QByteArray(1, static_cast<char>(error)) + request.left(MAX_ERROR_COPY);
}

const char* CCommandDispatcher::CommandName(quint8 code)
{
    for (const SCommand& c : COMMANDS)
        if (c.nCode == code)
            return c.pszName;
    return "";
}

QByteArray CCommandDispatcher::Dispatch(const QByteArray& request) const
{
    if (request.isEmpty())
        return {};
    const quint8 code = static_cast<quint8>(request.at(0));
    for (const SCommand& c : COMMANDS) {
        if (c.nCode != code)
            continue;
        const int len = static_cast<int>(request.size());
        if (len < c.nMinLength || (c.nMaxLength >= 0 && len > c.nMaxLength))
            return ErrorResponse(ERR_BAD_LENGTH, request);
        return (this->*c.handler)(request);
    }
    return ErrorResponse(ERR_BAD_COMMAND, request);
}

QByteArray CCommandDispatcher::Version(const QByteArray&) const
{
    return m_state.VersionResponse();
}

QByteArray CCommandDispatcher::Esn(const QByteArray&) const
{
    QByteArray r(5, '\0');
    r[0] = static_cast<char>(CMD_ESN);
    PutLe32(reinterpret_cast<quint8*>(r.data()) + 1, m_state.Profile().nEsn);
    return r;
}

QByteArray CCommandDispatcher::Status(const QByteArray&) const
{
    return m_state.StatusResponse();
}

QByteArray CCommandDispatcher::NvRead(const QByteArray& request) const
{
    const quint16 item = GetLe16(reinterpret_cast<const quint8*>(request.constData()) + 1);
    if (item == CHandsetState::NV_ITEM_SPC && m_state.SpcHidden() && !m_state.SpcUnlocked())
        return ErrorResponse(ERR_SPC_LOCKED, request);
    QByteArray r(NV_PACKET_SIZE, '\0');
    r[0] = static_cast<char>(CMD_NV_READ);
    r[1] = request.at(1);
    r[2] = request.at(2);
    QByteArray data;
    const quint16 status = m_state.ReadNv(item, request.mid(NV_DATA_OFFSET, 1), data);
    if (status == CHandsetState::NV_DONE)
        r.replace(NV_DATA_OFFSET, static_cast<int>(data.size()), data);
    else if (CHandsetState::IsPerNam(item))
        r[NV_DATA_OFFSET] = request.at(NV_DATA_OFFSET); // the NAM index stays
    PutLe16(reinterpret_cast<quint8*>(r.data()) + NV_STATUS_OFFSET, status);
    return r;
}

QByteArray CCommandDispatcher::PrlVersion(const QByteArray& request) const
{
    const int nam = static_cast<quint8>(request.at(1));
    if (nam > 1)
        return ErrorResponse(ERR_BAD_PARAMETER, request);
    QByteArray r(4, '\0');
    r[0] = static_cast<char>(CMD_PRL_VERSION);
    r[1] = static_cast<char>(nam);
    PutLe16(reinterpret_cast<quint8*>(r.data()) + 2, m_state.PrlVersion(nam));
    return r;
}

QByteArray CCommandDispatcher::NvWrite(const QByteArray& request) const
{
    const quint16 item = GetLe16(U8(request) + 1);
    if (CHandsetState::IsSpcProtected(item) && !m_state.SpcUnlocked())
        return ErrorResponse(ERR_SPC_LOCKED, request);
    if (CHandsetState::IsSpcProtected(item) && m_state.PasswordNeeded())
        return ErrorResponse(ERR_PASSWORD_NEEDED, request);
    QByteArray r = request.left(NV_PACKET_SIZE);
    const QByteArray data = request.mid(NV_DATA_OFFSET, NV_DATA_SIZE);
    const quint16 status = m_state.WriteNv(item, data);
    if (status == CHandsetState::NV_DONE && m_bBadStoreNv) {
        // The last byte that carries a value goes bad; a per-NAM item keeps its NAM index.
        QByteArray bad = data;
        int at = static_cast<int>(bad.size()) - 1;
        while (at > 0 && bad.at(at) == 0)
            --at;
        if (CHandsetState::IsPerNam(item))
            at = qMax(at, 1);
        if (at < bad.size()) {
            bad[at] = static_cast<char>(bad.at(at) ^ 0xFF);
            m_state.WriteNv(item, bad);
        }
    }
    PutLe16(reinterpret_cast<quint8*>(r.data()) + NV_STATUS_OFFSET, status);
    return r;
}

QByteArray CCommandDispatcher::ModeChange(const QByteArray& request) const
{
    const quint16 mode = GetLe16(U8(request) + 1);
    switch (mode) {
    case 0:
    case MODE_OFFLINE:
        m_state.SetOffline(true);
        break;
    case MODE_RESET:
        if (!m_state.Offline())
            return ErrorResponse(ERR_BAD_MODE, request);
        m_state.Reset();
        break;
    case MODE_ONLINE:
        m_state.SetOffline(false);
        break;
    case 3:
    case 5:
    case 6:
        break;
    default:
        return ErrorResponse(ERR_BAD_PARAMETER, request);
    }
    return request;
}

QByteArray CCommandDispatcher::Spc(const QByteArray& request) const
{
    QByteArray r(2, '\0');
    r[0] = static_cast<char>(CMD_SPC);
    r[1] = m_state.TrySpc(request.mid(1, 6)) ? 1 : 0;
    return r;
}

QByteArray CCommandDispatcher::Password(const QByteArray& request) const
{
    QByteArray r(2, '\0');
    r[0] = static_cast<char>(CMD_PASSWORD);
    r[1] = m_state.CheckPassword(request.mid(1, 8)) ? 1 : 0;
    return r;
}

QByteArray CCommandDispatcher::PrlWrite(const QByteArray& request) const
{
    // 48, sequence, more, NAM, bits (u16), data
    const int seq = static_cast<quint8>(request.at(1));
    const bool more = request.at(2) != 0;
    const int nam = static_cast<quint8>(request.at(3));
    const int bits = GetLe16(U8(request) + 4);
    if (nam > 1 || bits > PRL_BLOCK * 8 || (bits + 7) / 8 > request.size() - 6)
        return ErrorResponse(ERR_BAD_PARAMETER, request);
    if (!m_state.Offline())
        return ErrorResponse(ERR_BAD_MODE, request);
    if (!m_state.SpcUnlocked())
        return ErrorResponse(ERR_SPC_LOCKED, request);
    if (m_state.PasswordNeeded())
        return ErrorResponse(ERR_PASSWORD_NEEDED, request);
    CHandsetState::SPrlUpload& up = m_state.m_prlUpload;
    QByteArray r(2, '\0');
    r[0] = static_cast<char>(CMD_PRL_WRITE);
    if (seq == 0)
        up = CHandsetState::SPrlUpload{{}, 0, nam};
    if (seq != up.nNextSeq || nam != up.nNam) {
        up = CHandsetState::SPrlUpload();
        r[1] = 2;
        return r;
    }
    up.data.append(request.mid(6, (bits + 7) / 8));
    if (up.data.size() > prl::MAX_SIZE) {
        up = CHandsetState::SPrlUpload();
        r[1] = 3;
        return r;
    }
    ++up.nNextSeq;
    if (more) {
        r[1] = 0;
        return r;
    }
    QByteArray image = up.data;
    if (m_bBadStorePrl && !image.isEmpty())
        image[image.size() / 2] = static_cast<char>(image.at(image.size() / 2) ^ 0xFF);
    m_state.SetPrl(nam, image);
    up = CHandsetState::SPrlUpload();
    r[1] = 1;
    return r;
}

QByteArray CCommandDispatcher::PrlRead(const QByteArray& request) const
{
    const int seq = static_cast<quint8>(request.at(1));
    const int nam = static_cast<quint8>(request.at(2));
    if (nam > 1)
        return ErrorResponse(ERR_BAD_PARAMETER, request);
    const QByteArray prl = m_state.Prl(nam);
    QByteArray r(PRL_READ_SIZE, '\0');
    r[0] = static_cast<char>(CMD_PRL_READ);
    r[4] = static_cast<char>(seq);
    if (prl.isEmpty()) {
        PutLe16(reinterpret_cast<quint8*>(r.data()) + 2, CHandsetState::NV_INACTIVE);
        return r;
    }
    const int at = seq * PRL_BLOCK;
    if (at >= prl.size()) {
        r[1] = 1; // past the end
        return r;
    }
    const QByteArray chunk = prl.mid(at, PRL_BLOCK);
    r[5] = at + PRL_BLOCK < prl.size() ? 1 : 0;
    PutLe16(reinterpret_cast<quint8*>(r.data()) + 6, static_cast<quint16>(chunk.size() * 8));
    r.replace(8, static_cast<int>(chunk.size()), chunk);
    return r;
}

QByteArray CCommandDispatcher::Subsystem(const QByteArray& request) const
{
    if (m_pEfs == nullptr || static_cast<quint8>(request.at(1)) != SUBSYSTEM_EFS2)
        return ErrorResponse(ERR_BAD_COMMAND, request);
    bool badLength = false;
    const QByteArray r = m_pEfs->Handle(request, &badLength);
    if (badLength)
        return ErrorResponse(ERR_BAD_LENGTH, request);
    if (r.isEmpty())
        return ErrorResponse(ERR_BAD_COMMAND, request);
    return r;
}

QByteArray CCommandDispatcher::Download(const QByteArray& request) const
{
    m_state.RequestDownload();
    return request;
}
