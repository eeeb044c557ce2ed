#include "DownloadMode.h"

#include "serial/DiagCodec.h"

#include <QFile>

namespace {

QByteArray Nak(quint16 reason)
{
    QByteArray r(3, '\0');
    r[0] = 0x03;
    r[1] = static_cast<char>(reason >> 8);
    r[2] = static_cast<char>(reason);
    return r;
}

QByteArray StreamError(quint32 code, const char* text)
{
    QByteArray r(5, '\0');
    r[0] = 0x0D;
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

quint32 CDownloadMode::Crc32(const QByteArray& data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : data) {
        crc ^= static_cast<quint8>(c);
        for (int b = 0; b < 8; ++b)
            crc = (crc & 1u) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

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
    const QByteArray ack(1, 0x02);
    switch (static_cast<quint8>(request.at(0))) {
    case 0x06: // NOP
        return ack;
    case 0x07: { // parameters: version 8, minimum 1, maximum write 0x0400, model, size, type
        QByteArray r("\x08\x08\x01\x04\x00\x2A\x10\x01", 8);
        return r;
    }
    case 0x0C: {
        const QByteArray text = "QPX boot loader";
        return QByteArray(1, 0x0D) + QByteArray(1, static_cast<char>(text.size())) + text;
    }
    case 0x0F: { // WRITE32: address (4), length (2), data
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
    case 0x05: // GO
        if (request.size() != 5)
            return Nak(0x03);
        if (m_nProgrammerBytes == 0)
            return Nak(0x0E); // nothing to run
        m_eState = STATE_STREAMING;
        m_bOpen = false;
        m_image.clear();
        return ack;
    case 0x0A: // RESET
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
    case 0x01: { // HELLO
        QByteArray r(1, 0x02);
        r += QByteArray("KOVA fast download protocol targ");
        r += QByteArray("\x03\x02", 2);
        quint8 n[4];
        PutLe32(n, 1024);
        r.append(reinterpret_cast<const char*>(n), 4); // maximum block size
        PutLe32(n, 0);
        r.append(reinterpret_cast<const char*>(n), 4); // flash base
        r += QByteArray("\x04"
                        "QPXF",
                        5);                     // flash id
        r += QByteArray("\x01\x00\x01\x00", 4); // window 1, one sector
        PutLe32(n, 0x01000000);
        r.append(reinterpret_cast<const char*>(n), 4);
        r.append('\x09');
        return r;
    }
    case 0x17:
        return QByteArray(1, 0x18);
    case 0x19:
        return QByteArray("\x1A\x00", 2);
    case 0x1B:
        m_bOpen = true;
        m_image.clear();
        return QByteArray("\x1C\x00", 2);
    case 0x07: { // STREAM WRITE
        if (!m_bOpen)
            return StreamError(0x0F, "command out of sequence");
        if (request.size() < 5)
            return StreamError(0x03, "invalid length");
        const quint32 at = GetLe32(reinterpret_cast<const quint8*>(request.constData()) + 1);
        if (at != static_cast<quint32>(m_image.size()))
            return StreamError(0x02, "invalid destination address");
        if (m_image.size() + request.size() - 5 > 64 * 1024 * 1024)
            return StreamError(0x12, "out of space");
        QByteArray piece = request.mid(5);
        if (m_bBadStore && m_image.isEmpty() && !piece.isEmpty())
            piece.back() = static_cast<char>(~piece.back());
        m_image.append(piece);
        QByteArray r(5, '\0');
        r[0] = 0x08;
        PutLe32(reinterpret_cast<quint8*>(r.data()) + 1, at);
        return r;
    }
    case 0x15: { // CLOSE: the image is checked and installed
        if (!m_bOpen)
            return StreamError(0x0F, "command out of sequence");
        m_bOpen = false;
        const QByteArray& img = m_image;
        if (img.size() < 24 || !img.startsWith(QByteArray("QPXIMG1\0", 8)))
            return StreamError(0x10, "close failed: not an image");
        const quint32 len = GetLe32(reinterpret_cast<const quint8*>(img.constData()) + 16);
        const quint32 crc = GetLe32(reinterpret_cast<const quint8*>(img.constData()) + 20);
        if (len != static_cast<quint32>(img.size() - 24) || Crc32(img.mid(24)) != crc)
            return StreamError(0x10, "close failed: image check");
        QByteArray dir = img.mid(8, 8);
        const int nul = static_cast<int>(dir.indexOf('\0'));
        if (nul >= 0)
            dir.truncate(nul);
        m_state.SetSoftwareVersion(QString::fromLatin1(dir));
        if (!m_state.StateFolder().isEmpty()) {
            QFile f(m_state.StateFolder() + QStringLiteral("/firmware.img"));
            if (f.open(QIODevice::WriteOnly))
                f.write(img);
        }
        return QByteArray(1, 0x16);
    }
    case 0x09: {
        QByteArray r = request.left(5);
        r[0] = 0x0A;
        return r;
    }
    case 0x0B:
        m_eState = STATE_DIAG;
        m_bReset = true;
        return QByteArray(1, 0x0C);
    default:
        return StreamError(0x05, "invalid command");
    }
}
