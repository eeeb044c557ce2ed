#include "DiagLink.h"

#include "serial/DiagCodec.h"
#include "serial/SerialPort.h"

CDiagLink::CDiagLink()
    : m_pPort(std::make_unique<CSerialPort>()),
      m_pBuffer(std::make_unique<quint8[]>(CSerialPort::RESPONSE_BUFFER_SIZE))
{
}

CDiagLink::~CDiagLink()
{
    Close();
}

bool CDiagLink::Open(const QString& devicePath)
{
    if (m_pPort->OpenPath(devicePath))
        return true;
    m_strOpenError = m_pPort->LastErrorText();
    return false;
}

void CDiagLink::Close()
{
    m_pending.clear();
    m_pPort->Close();
}

bool CDiagLink::Gone() const
{
    return m_pPort->IsGone();
}

CDiagLink::EOutcome CDiagLink::Exchange(const QByteArray& request, QByteArray& answer, quint32 timeoutMs)
{
    answer.clear();
    m_nRefusal = 0;
    Purge();
    if (!Send(request))
        return NO_ANSWER;
    return Receive(answer, timeoutMs);
}

void CDiagLink::Purge()
{
    m_answered.clear();
    m_pending.clear();
    if (!m_responder && m_pPort->IsOpen())
        m_pPort->Purge();
}

bool CDiagLink::Send(const QByteArray& request)
{
    if (m_responder) {
        QByteArray answer;
        if (!m_responder(request, answer))
            m_answered.append({NO_ANSWER, QByteArray()});
        else
            m_answered.append({answer.isEmpty() ? DAMAGED : OK, answer});
        return true;
    }
    if (!m_pPort->IsOpen())
        return false;
    const qsizetype most = static_cast<qsizetype>(MaxEncodedSize(request.size()));
    if (!m_pending.isEmpty() && m_pending.size() + most > MAX_PENDING && !Flush())
        return false;
    const qsizetype from = m_pending.size();
    m_pending.resize(from + most);
    const size_t n =
        EncodeFrame(reinterpret_cast<const quint8*>(request.constData()), request.size(),
                    reinterpret_cast<quint8*>(m_pending.data()) + from, static_cast<size_t>(most));
    m_pending.resize(from + static_cast<qsizetype>(n));
    return n != 0;
}

bool CDiagLink::Flush()
{
    if (m_responder || m_pending.isEmpty())
        return true;
    const bool ok =
        m_pPort->IsOpen() && m_pPort->Write(reinterpret_cast<const quint8*>(m_pending.constData()),
                                            static_cast<quint32>(m_pending.size()));
    m_pending.resize(0);
    return ok;
}

CDiagLink::EOutcome CDiagLink::Receive(QByteArray& answer, quint32 timeoutMs)
{
    answer.clear();
    m_nRefusal = 0;
    if (m_responder) {
        if (m_answered.isEmpty())
            return NO_ANSWER;
        const auto [outcome, taken] = m_answered.takeFirst();
        answer = taken;
        return outcome;
    }
    if (!Flush())
        return NO_ANSWER;
    quint32 len = 0;
    const quint16 rx = m_pPort->ReceiveFrame(m_pBuffer.get(), timeoutMs, &len);
    if (rx == RX_BAD_FRAME)
        return DAMAGED;
    if (rx != RX_FRAME_OK)
        return NO_ANSWER;
    const int decoded = m_pPort->DecodedLength() - 2;
    if (decoded <= 0)
        return DAMAGED;
    answer = QByteArray(reinterpret_cast<const char*>(m_pBuffer.get()), decoded);
    return OK;
}

CDiagLink::EOutcome CDiagLink::Request(const QByteArray& request, QByteArray& answer, quint32 timeoutMs)
{
    const EOutcome r = RequestOnce(request, answer, timeoutMs);
    if (r != REFUSED || m_nRefusal != ERR_PASSWORD_NEEDED || m_password.size() != 8 ||
        m_ePassword != PASSWORD_UNTRIED)
        return r;
    // Like the SPC, a password is offered once: a rejected one is not sent again.
    QByteArray reply;
    const EOutcome p =
        RequestOnce(QByteArray(1, static_cast<char>(CMD_PASSWORD)) + m_password, reply, timeoutMs);
    if (p != OK)
        return p;
    if (reply.size() < 2 || reply.at(1) != 1) {
        m_ePassword = PASSWORD_REJECTED;
        m_nRefusal = ERR_PASSWORD_NEEDED;
        return REFUSED;
    }
    m_ePassword = PASSWORD_ACCEPTED;
    return RequestOnce(request, answer, timeoutMs);
}

CDiagLink::EOutcome CDiagLink::RequestOnce(const QByteArray& request, QByteArray& answer, quint32 timeoutMs)
{
    const EOutcome r = Exchange(request, answer, timeoutMs);
    return r != OK ? r : Classify(static_cast<quint8>(request.at(0)), answer);
}

CDiagLink::EOutcome CDiagLink::ReceiveAnswer(quint8 code, QByteArray& answer, quint32 timeoutMs)
{
    const EOutcome r = Receive(answer, timeoutMs);
    return r != OK ? r : Classify(code, answer);
}

CDiagLink::EOutcome CDiagLink::Classify(quint8 request, const QByteArray& answer)
{
    const quint8 code = static_cast<quint8>(answer.at(0));
    if (code == request)
        return OK;
    switch (code) {
    case ERR_BAD_COMMAND:
    case ERR_BAD_PARAMETER:
    case ERR_BAD_LENGTH:
    case ERR_NOT_ACCEPTED:
    case ERR_BAD_MODE:
    case ERR_SPC_LOCKED:
    case ERR_PASSWORD_NEEDED:
        m_nRefusal = code;
        return REFUSED;
    default:
        return UNEXPECTED;
    }
}

QString CDiagLink::Problem(EOutcome outcome, const QString& what) const
{
    switch (outcome) {
    case OK:
        return {};
    case NO_ANSWER:
        return QStringLiteral(
                   "The handset does not answer (%1). Check the cable and the port, then try again.")
            .arg(what);
    case DAMAGED:
        return QStringLiteral("The handset's answer was damaged (%1). Check the cable, then try again.")
            .arg(what);
    case UNEXPECTED:
        return QStringLiteral("The handset gave an unexpected answer (%1).").arg(what);
    case REFUSED:
        break;
    }
    switch (m_nRefusal) {
    case ERR_BAD_COMMAND:
        return QStringLiteral("The handset does not support this command (%1).").arg(what);
    case ERR_BAD_PARAMETER:
        return QStringLiteral("The handset refused a value of the command (%1).").arg(what);
    case ERR_BAD_LENGTH:
        return QStringLiteral("The handset refused the length of the command (%1).").arg(what);
    case ERR_NOT_ACCEPTED:
        return QStringLiteral("The handset did not accept the command (%1).").arg(what);
    case ERR_BAD_MODE:
        return QStringLiteral("The handset must be offline for this step (%1).").arg(what);
    case ERR_SPC_LOCKED:
        return QStringLiteral("The handset's service programming code is locked (%1). Check the SPC.")
            .arg(what);
    case ERR_PASSWORD_NEEDED:
        if (m_ePassword == PASSWORD_REJECTED)
            return QStringLiteral("The handset rejected its security password (%1). Check the password in "
                                  "QPX_REF_PASSWORD; it is not sent again.")
                .arg(what);
        return QStringLiteral("The handset asks for its security password first (%1). Set QPX_REF_PASSWORD "
                              "to its 16 hexadecimal digits, then try again.")
            .arg(what);
    default:
        return QStringLiteral("The handset refused the command (%1).").arg(what);
    }
}

QByteArray CDiagLink::NvReadRequest(quint16 item, int nam)
{
    QByteArray req(NV_PACKET_SIZE, '\0');
    req[0] = static_cast<char>(CMD_NV_READ);
    PutLe16(reinterpret_cast<quint8*>(req.data()) + 1, item);
    if (nam >= 0)
        req[3] = static_cast<char>(nam);
    return req;
}

namespace {

// An NV answer of the right size for item: its data and status taken.
CDiagLink::EOutcome TakeNvAnswer(const QByteArray& answer, quint16 item, QByteArray& data, quint16& nvStatus)
{
    if (answer.size() < NV_PACKET_SIZE ||
        GetLe16(reinterpret_cast<const quint8*>(answer.constData()) + 1) != item)
        return CDiagLink::UNEXPECTED;
    data = answer.mid(NV_DATA_OFFSET, NV_DATA_SIZE);
    nvStatus = GetLe16(reinterpret_cast<const quint8*>(answer.constData()) + NV_STATUS_OFFSET);
    return CDiagLink::OK;
}

} // namespace

CDiagLink::EOutcome CDiagLink::NvRead(quint16 item, int nam, QByteArray& data, quint16& nvStatus)
{
    QByteArray answer;
    const EOutcome r = Request(NvReadRequest(item, nam), answer);
    return r != OK ? r : TakeNvAnswer(answer, item, data, nvStatus);
}

CDiagLink::EOutcome CDiagLink::ReceiveNvRead(quint16 item, QByteArray& data, quint16& nvStatus)
{
    QByteArray answer;
    const EOutcome r = ReceiveAnswer(CMD_NV_READ, answer);
    return r != OK ? r : TakeNvAnswer(answer, item, data, nvStatus);
}

CDiagLink::EOutcome CDiagLink::NvWrite(quint16 item, const QByteArray& data, quint16& nvStatus)
{
    QByteArray req(NV_PACKET_SIZE, '\0');
    req[0] = static_cast<char>(CMD_NV_WRITE);
    PutLe16(reinterpret_cast<quint8*>(req.data()) + 1, item);
    req.replace(NV_DATA_OFFSET, static_cast<int>(qMin<qsizetype>(data.size(), NV_DATA_SIZE)),
                data.left(NV_DATA_SIZE));
    QByteArray answer;
    EOutcome r = Request(req, answer);
    if (r != OK)
        return r;
    if (answer.size() < NV_PACKET_SIZE ||
        GetLe16(reinterpret_cast<const quint8*>(answer.constData()) + 1) != item)
        return UNEXPECTED;
    nvStatus = GetLe16(reinterpret_cast<const quint8*>(answer.constData()) + NV_STATUS_OFFSET);
    return OK;
}

CDiagLink::EOutcome CDiagLink::SendSpc(const QByteArray& digits, bool& accepted)
{
    QByteArray answer;
    const EOutcome r =
        Request(QByteArray(1, static_cast<char>(CMD_SPC)) + digits.left(6).leftJustified(6, '0'), answer);
    accepted = r == OK && answer.size() >= 2 && answer.at(1) == 1;
    return r;
}

CDiagLink::EOutcome CDiagLink::ModeChange(quint16 mode)
{
    QByteArray req(3, '\0');
    req[0] = static_cast<char>(CMD_MODE_CHANGE);
    PutLe16(reinterpret_cast<quint8*>(req.data()) + 1, mode);
    QByteArray answer;
    return Request(req, answer);
}
