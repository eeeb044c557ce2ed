#include "DiagPort.h"

#include "DiagCodec.h"

#include <cstring>

CDiagPort::CDiagPort()
{
    std::memset(m_transmit, 0, sizeof m_transmit);
}

CDiagPort::~CDiagPort() = default;

void CDiagPort::EncodeFrame(const quint8* payload, quint32* len, quint8* out)
{
    *len = static_cast<quint32>(::EncodeFrame(payload, *len, out, MaxEncodedSize(*len)));
}

bool CDiagPort::Transact(const quint8* frame, quint32 frameLen, quint8* response, quint32* responseLen,
                         quint32 timeoutMs)
{
    if (!CSerialPort::Transact(frame, frameLen, response, responseLen, timeoutMs))
        return false;
    // For every command code but 0x7D/0x7E the first encoded byte is the code itself.
    return response[0] == frame[0];
}

bool CDiagPort::Request(const quint8* payload, quint8* response, quint32 len, quint32* responseLen,
                        quint32 timeoutMs)
{
    std::memset(response, 0, RESPONSE_BUFFER_SIZE);
    std::memset(m_transmit, 0, sizeof m_transmit);
    if (len == 0 || len > MAX_REQUEST_PAYLOAD)
        return false;
    quint32 n = len;
    EncodeFrame(payload, &n, m_transmit);
    quint32 ignored = 0;
    return Transact(m_transmit, n, response, responseLen ? responseLen : &ignored, timeoutMs);
}

bool CDiagPort::RequestStatus(quint8* response, quint32* responseLen)
{
    const quint8 payload[] = {CMD_STATUS};
    return Request(payload, response, sizeof payload, responseLen, STATUS_TIMEOUT_MS);
}

bool CDiagPort::RequestVersion(quint8* response, quint32* responseLen)
{
    const quint8 payload[] = {CMD_VERSION};
    return Request(payload, response, sizeof payload, responseLen, VERSION_TIMEOUT_MS);
}

quint16 CDiagPort::ReadPrlVersion(int nam)
{
    m_request[0] = CMD_PRL_VERSION;
    m_request[1] = static_cast<quint8>(nam);
    quint32 len = 0;
    // The version is at offsets 2-3; a shorter answer would make us read its check bytes. An
    // answer about the other NAM is a late one to an earlier question.
    if (!Request(m_request, m_response, 2, &len, PRL_VERSION_TIMEOUT_MS) || DecodedLength() - 2 < 4 ||
        m_response[1] != static_cast<quint8>(nam))
        return VERSION_FAILED;
    return GetLe16(m_response + 2);
}

quint16 CDiagPort::ReadEriVersion()
{
    std::memset(m_request, 0, ERI_REQUEST_LENGTH);
    m_request[0] = CMD_NV_READ;
    PutLe16(m_request + 1, ERI_VERSION_ITEM);
    quint32 len = 0;
    if (!Request(m_request, m_response, ERI_REQUEST_LENGTH, &len, ERI_VERSION_TIMEOUT_MS) ||
        DecodedLength() - 2 < 5 || GetLe16(m_response + 1) != ERI_VERSION_ITEM)
        return VERSION_FAILED;
    return GetLe16(m_response + 3);
}

CDiagPort::EDownloadProbe CDiagPort::ProbeDownloadMode()
{
    // Sent as the download protocols expect it, with an opening flag.
    static const quint8 NOP_FRAME[] = {FRAME_FLAG, DMSS_NOP, 0x4E, 0x95, FRAME_FLAG};
    std::memset(m_response, 0, RESPONSE_BUFFER_SIZE);
    quint32 len = 0;
    // The base receive: the answer is not expected to echo the command.
    if (!CSerialPort::Transact(NOP_FRAME, sizeof NOP_FRAME, m_response, &len, PROBE_TIMEOUT_MS) ||
        DecodedLength() < 3)
        return PROBE_NOT_DOWNLOAD;
    switch (m_response[0]) {
    case DMSS_ACK:
        return PROBE_BOOT_LOADER;
    case STREAM_ERROR:
    case STREAM_LOG:
        return PROBE_PROGRAMMER;
    default:
        return PROBE_NOT_DOWNLOAD;
    }
}
