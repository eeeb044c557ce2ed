#include "DownloadMode.h"

#include "FirmwareImage.h"
#include "serial/DiagCodec.h"

#include <QFile>

namespace {

QByteArray Nak(quint16 reason)
{
    QByteArray r(3, '\0');
    r[0] = static_cast<char>(DMSS_NAK);
    r[1] = static_cast<char>(reason >> 8);
    r[2] = static_cast<char>(reason);
    return r;
}

QByteArray StreamError(quint32 code, const char* text)
{
    QByteArray r(5, '\0');
    r[0] = static_cast<char>(STREAM_ERROR);
    PutLe32(reinterpret_cast<quint8*>(r.data()) + 1, code);
    return r + QByteArray(text);
}

quint32 Be32(const QByteArray& b, int at)
{
    return (static_cast<quint32>(static_cast<quint8>(b.at(at))) << 24) |
           (static_cast<quint32>(static_cast<quint8>(b.at(at + 1))) << 16) |
           (static_cast<quint32>(static_cast<quint8>(b.at(at + 2))) << 8) | static_cast<quint8>(b.at(at + 3));
}

} // namespace

bool CDownloadMode::TakeReset()
{
    const bool r = m_bReset;
    m_bReset = false;
    return r;
}

QByteArray CDownloadMode::Handle(const QByteArray& request)
{
    if (request.isEmpty())
        return {};
    return m_eState == STATE_DMSS ? Dmss(request) : Streaming(request);
}

QByteArray CDownloadMode::Dmss(const QByteArray& request)
{
    const QByteArray ack(1, static_cast<char>(DMSS_ACK));
    switch (static_cast<quint8>(request.at(0))) {
    case DMSS_NOP:
        return ack;
    case DMSS_PARAMETERS_REQUEST: { // version 8, minimum 1, maximum write 0x0400, model, size, type
        QByteArray r("\x08\x08\x01\x04\x00\x2A\x10\x01", 8);
        return r;
    }
    case DMSS_VERSION_REQUEST: {
        const QByteArray text = "QPX boot loader";
        return QByteArray(1, static_cast<char>(DMSS_VERSION)) +
               QByteArray(1, static_cast<char>(text.size())) + text;
    }
    case DMSS_WRITE32: { // address (4), length (2), data
        if (request.size() < 7)
            return Nak(0x03);
        const int len = (static_cast<quint8>(request.at(5)) << 8) | static_cast<quint8>(request.at(6));
        if (len > 0x0400)
            return Nak(0x05);
        if (request.size() != 7 + len)
            return Nak(0x03);
        if (Be32(request, 1) < 0x00100000u)
            return Nak(0x02);
        m_nProgrammerBytes += len;
        return ack;
    }
    case DMSS_GO:
        if (request.size() != 5)
            return Nak(0x03);
        if (m_nProgrammerBytes == 0)
            return Nak(0x0E); // nothing to run
        m_eState = STATE_STREAMING;
        m_bOpen = false;
        m_image.clear();
        return ack;
    case DMSS_RESET:
        m_eState = STATE_DIAG;
        m_bReset = true;
        return ack;
    default:
        return Nak(0x06);
    }
}

QByteArray CDownloadMode::Streaming(const QByteArray& request)
{
    const quint8 code = static_cast<quint8>(request.at(0));
    switch (code) {
    case STREAM_HELLO: {
        QByteArray r(1, static_cast<char>(STREAM_HELLO_ANSWER));
        r += QByteArray("KOVA fast download protocol targ");
        r += QByteArray("\x03\x02", 2);
        quint8 n[4];
        PutLe32(n, static_cast<quint32>(m_nBlockSize));
        r.append(reinterpret_cast<const char*>(n), 4); // maximum block size
        PutLe32(n, 0);
        r.append(reinterpret_cast<const char*>(n), 4); // flash base
        r += QByteArray("\x04"
                        "QPXF",
                        5); // flash id
        quint8 w[2];
        PutLe16(w, static_cast<quint16>(m_nWindow));
        r.append(reinterpret_cast<const char*>(w), 2); // window
        r += QByteArray("\x01\x00", 2);                // one sector
        PutLe32(n, static_cast<quint32>(m_nFlashSize));
        r.append(reinterpret_cast<const char*>(n), 4);
        r.append('\x09');
        return r;
    }
    case STREAM_SECURITY_MODE:
        return QByteArray(1, static_cast<char>(STREAM_SECURITY_MODE_ANSWER));
    case STREAM_PARTITION_TABLE:
        return QByteArray(1, static_cast<char>(STREAM_PARTITION_TABLE_ANSWER)) + QByteArray(1, '\0');
    case STREAM_OPEN_IMAGE:
        m_bOpen = true;
        m_image.clear();
        return QByteArray(1, static_cast<char>(STREAM_IMAGE_OPENED)) + QByteArray(1, '\0');
    case STREAM_WRITE: {
        if (!m_bOpen)
            return StreamError(0x0F, "command out of sequence");
        if (request.size() < 5)
            return StreamError(0x03, "invalid length");
        const quint32 at = GetLe32(reinterpret_cast<const quint8*>(request.constData()) + 1);
        if (at != static_cast<quint32>(m_image.size()))
            return StreamError(0x02, "invalid destination address");
        if (request.size() - 5 > m_nBlockSize)
            return StreamError(0x03, "invalid length");
        if (m_image.size() + request.size() - 5 > m_nFlashSize)
            return StreamError(0x12, "out of space");
        QByteArray piece = request.mid(5);
        if (m_bBadStore && m_image.isEmpty() && !piece.isEmpty())
            piece.back() = static_cast<char>(~piece.back());
        m_image.append(piece);
        QByteArray r(5, '\0');
        r[0] = static_cast<char>(STREAM_WRITTEN);
        PutLe32(reinterpret_cast<quint8*>(r.data()) + 1, at);
        return r;
    }
    case STREAM_CLOSE: { // the image is checked and installed
        if (!m_bOpen)
            return StreamError(0x0F, "command out of sequence");
        m_bOpen = false;
        const QByteArray& img = m_image;
        switch (fwimage::Check(img)) {
        case fwimage::IMAGE_OK:
            break;
        case fwimage::IMAGE_NOT_AN_IMAGE:
            return StreamError(0x10, "close failed: not an image");
        case fwimage::IMAGE_BAD_LENGTH:
        case fwimage::IMAGE_BAD_CRC:
            return StreamError(0x10, "close failed: image check");
        }
        m_state.SetSoftwareVersion(fwimage::SoftwareDirectory(img));
        if (!m_state.StateFolder().isEmpty()) {
            QFile f(m_state.StateFolder() + QStringLiteral("/firmware.img"));
            if (f.open(QIODevice::WriteOnly))
                f.write(img);
        }
        return QByteArray(1, static_cast<char>(STREAM_CLOSED));
    }
    case STREAM_NOP: {
        QByteArray r = request.left(5);
        r[0] = static_cast<char>(STREAM_NOP_ANSWER);
        return r;
    }
    case STREAM_RESET:
        m_eState = STATE_DIAG;
        m_bReset = true;
        return QByteArray(1, static_cast<char>(STREAM_RESET_ANSWER));
    default:
        return StreamError(0x05, "invalid command");
    }
}
