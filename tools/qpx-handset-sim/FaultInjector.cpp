#include "FaultInjector.h"

#include "serial/DiagCodec.h"

#include <QStringList>

bool SFaults::Any() const
{
    return bSilent || nLateMs > 0 || bCorruptCheck || bWrongCommand || bGarbage || nHangupAfter >= 0 ||
           bStatusOnly || nHangupCode >= 0 || nRefuseCode >= 0 || nCorruptCode >= 0 || bBadStoreNv ||
           bBadStorePrl || bBadStoreEfs || bBadStoreFirmware || nLeaveCode >= 0;
}

bool CFaultInjector::ShouldAnswer(const QByteArray& request) const
{
    if (request.isEmpty())
        return false;
    if (!m_bArmed)
        return true;
    if (m_faults.bSilent)
        return false;
    if (m_faults.bStatusOnly)
        return static_cast<quint8>(request.at(0)) == CMD_STATUS;
    return true;
}

QByteArray CFaultInjector::RequestToAnswer(const QByteArray& request) const
{
    if (!m_bArmed || !m_faults.bWrongCommand || request.isEmpty())
        return request;
    // A well-formed answer, but to another question.
    const bool status = static_cast<quint8>(request.at(0)) == CMD_STATUS;
    return QByteArray(1, static_cast<char>(status ? CMD_VERSION : CMD_STATUS));
}

QByteArray CFaultInjector::Mangle(const QByteArray& frame, bool corrupt)
{
    QByteArray out = frame;
    if (((m_bArmed && m_faults.bCorruptCheck) || corrupt) && out.size() >= 2) {
        // Flip a bit of the last byte before the closing flag (a check byte, or the second half
        // of its escape), choosing the bit so that no flag or escape byte appears.
        const int at = static_cast<int>(out.size()) - 2;
        quint8 b = static_cast<quint8>(out.at(at)) ^ 0x10;
        if (b == FRAME_FLAG || b == FRAME_ESCAPE)
            b = static_cast<quint8>(out.at(at)) ^ 0x01;
        out[at] = static_cast<char>(b);
    }
    if (m_bArmed && m_faults.bGarbage) {
        // Modem chatter and line noise, never a flag: the receiver has to cope with it in front
        // of the frame.
        QByteArray noise("\r\nOK\r\n");
        for (int i = 0; i < 9; ++i) {
            m_nNoise ^= m_nNoise << 13;
            m_nNoise ^= m_nNoise >> 17;
            m_nNoise ^= m_nNoise << 5;
            quint8 b = static_cast<quint8>(m_nNoise);
            if (b == FRAME_FLAG || b == FRAME_ESCAPE)
                b = 0x55;
            noise.append(static_cast<char>(b));
        }
        out.prepend(noise);
    }
    return out;
}

void CFaultInjector::Recover()
{
    m_faults = SFaults();
    m_bArmed = true;
}

bool CFaultInjector::CountRequest()
{
    ++m_nRequests;
    return m_faults.nHangupAfter >= 0 && m_nRequests >= m_faults.nHangupAfter;
}

CFaultInjector::EKindFault CFaultInjector::CountKind(quint8 code)
{
    const int n = ++m_nKindCount[code];
    if (!m_bArmed && code == m_faults.nFromCode && n >= m_faults.nFromAt)
        m_bArmed = true;
    if (code == m_faults.nLeaveCode && n == m_faults.nLeaveAt)
        return KIND_LEAVE;
    if (code == m_faults.nRefuseCode && m_bArmed)
        return KIND_REFUSE;
    if (code == m_faults.nHangupCode && n == m_faults.nHangupAt)
        return KIND_HANGUP;
    if (code == m_faults.nCorruptCode && n == m_faults.nCorruptAt)
        return KIND_CORRUPT;
    return KIND_NONE;
}

bool CFaultInjector::ParseKindCount(const QString& text, int& code, int& count)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 2)
        return false;
    bool ok1 = false, ok2 = false;
    const QString c = parts[0].trimmed();
    code = c.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? c.mid(2).toInt(&ok1, 16) : c.toInt(&ok1);
    count = parts[1].trimmed().toInt(&ok2);
    return ok1 && ok2 && code >= 0 && code <= 255 && count >= 1;
}

bool CFaultInjector::ParseBadStore(const QString& text, SFaults& faults)
{
    int code = -1, dummy = 0;
    if (!ParseKindCount(text + QStringLiteral(":1"), code, dummy))
        return false;
    switch (code) {
    case CMD_NV_WRITE:
        faults.bBadStoreNv = true;
        return true;
    case CMD_PRL_WRITE:
        faults.bBadStorePrl = true;
        return true;
    case CMD_SUBSYSTEM:
        faults.bBadStoreEfs = true;
        return true;
    case 0x07:
        faults.bBadStoreFirmware = true;
        return true;
    default:
        return false;
    }
}
