#include "CommandDispatcher.h"

#include "serial/DiagCodec.h"

namespace {
constexpr quint8 CMD_ESN = 0x01;
constexpr int NV_PACKET_SIZE = 133; // code, item (2), data (128), status (2)
constexpr quint16 NV_DONE = 0;
constexpr quint16 NV_INACTIVE = 5;
} // namespace

const CCommandDispatcher::SCommand CCommandDispatcher::COMMANDS[] = {
    {CMD_VERSION, 1, 1, &CCommandDispatcher::Version, "version"},
    {CMD_ESN, 1, 1, &CCommandDispatcher::Esn, "ESN"},
    {CMD_STATUS, 1, 1, &CCommandDispatcher::Status, "status"},
    // The program's item read is 657 bytes long; a longer request gets the normal answer.
    {CMD_NV_READ, NV_PACKET_SIZE, -1, &CCommandDispatcher::NvRead, "NV read"},
    {CMD_PRL_VERSION, 2, 2, &CCommandDispatcher::PrlVersion, "PRL version"},
};

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
    QByteArray r(NV_PACKET_SIZE, '\0');
    r[0] = static_cast<char>(CMD_NV_READ);
    r[1] = request.at(1);
    r[2] = request.at(2);
    QByteArray data;
    quint16 status = NV_INACTIVE;
    if (m_state.ReadNvItem(item, data)) {
        r.replace(3, static_cast<int>(data.size()), data);
        status = NV_DONE;
    }
    PutLe16(reinterpret_cast<quint8*>(r.data()) + 131, status);
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
