#include "PtyTransport.h"

#include <QSocketNotifier>

CPtyTransport::CPtyTransport(QObject* parent) : QObject(parent), m_decoder(std::make_unique<CFrameDecoder>())
{
}

CPtyTransport::~CPtyTransport()
{
    Hangup();
}

bool CPtyTransport::Open()
{
    if (!m_pty.Open())
        return false;
    m_decoder->Reset();
    m_readNotifier = std::make_unique<QSocketNotifier>(m_pty.Fd(), QSocketNotifier::Read);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, &CPtyTransport::OnReadable);
    m_writeNotifier = std::make_unique<QSocketNotifier>(m_pty.Fd(), QSocketNotifier::Write);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier.get(), &QSocketNotifier::activated, this, &CPtyTransport::OnWritable);
    return true;
}

void CPtyTransport::Send(const QByteArray& bytes)
{
    if (!m_pty.IsOpen())
        return;
    m_out.append(bytes);
    OnWritable();
}

void CPtyTransport::Hangup()
{
    const bool wasOpen = m_pty.IsOpen();
    m_readNotifier.reset();
    m_writeNotifier.reset();
    m_pty.Close();
    m_out.clear();
    if (wasOpen)
        emit closed();
}

void CPtyTransport::OnReadable()
{
    char buffer[4096];
    for (;;) {
        const qint64 n = m_pty.Read(buffer, sizeof buffer);
        if (n == 0)
            return;
        if (n < 0) {
            Hangup();
            return;
        }
        const auto* bytes = reinterpret_cast<const quint8*>(buffer);
        for (size_t at = 0, used = 0; at < static_cast<size_t>(n); at += used) {
            switch (m_decoder->Feed(bytes + at, static_cast<size_t>(n) - at, &used)) {
            case CFrameDecoder::FRAME:
                emit frameReceived(QByteArray(reinterpret_cast<const char*>(m_decoder->Payload()),
                                              m_decoder->PayloadLength()));
                if (!m_pty.IsOpen())
                    return; // a receiver hung up
                break;
            case CFrameDecoder::BAD_FRAME:
                emit badFrame();
                break;
            case CFrameDecoder::NEED_MORE:
                break;
            }
        }
    }
}

void CPtyTransport::OnWritable()
{
    while (!m_out.isEmpty() && m_pty.IsOpen()) {
        const qint64 n = m_pty.Write(m_out.constData(), m_out.size());
        if (n < 0) {
            Hangup();
            return;
        }
        if (n == 0)
            break;
        m_out.remove(0, n);
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_out.isEmpty());
    if (m_out.isEmpty())
        emit drained();
}
