#include "PtyHandset.h"

#include "serial/DiagCodec.h"

#include <QDeadlineTimer>
#include <QDir>

#include <poll.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

Bytes HexBytes(const char* text)
{
    const QByteArray b = QByteArray::fromHex(text);
    return Bytes(b.begin(), b.end());
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Framed(const Bytes& payload)
{
    Bytes out(MaxEncodedSize(payload.size()));
    out.resize(EncodeFrame(payload.data(), payload.size(), out.data(), out.size()));
    return out;
}

void CPtyHandset::ServeMain(std::function<Bytes(const Bytes&)> reply)
{
    CFrameDecoder decoder;
    quint8 buf[4096];
    while (!m_bStop.load()) {
        struct pollfd p = {m_pty.Fd(), POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0 || !(p.revents & POLLIN))
            continue;
        const ssize_t n = ::read(m_pty.Fd(), buf, sizeof buf);
        for (ssize_t i = 0; i < n; ++i) {
            std::unique_lock lock(m_mutex);
            if (decoder.Feed(buf[i]) != CFrameDecoder::FRAME)
                continue;
            m_requests.emplace_back(decoder.Payload(), decoder.Payload() + decoder.PayloadLength());
            const Bytes out = reply(m_requests.back());
            lock.unlock();
            WriteRaw(out);
        }
    }
}

bool CPtyHandset::WriteRaw(const Bytes& bytes, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    struct pollfd p = {m_pty.Fd(), POLLOUT, 0};
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t w = ::write(m_pty.Fd(), bytes.data() + done, bytes.size() - done);
        if (w > 0)
            done += size_t(w);
        else if (deadline.hasExpired())
            return false;
        else
            ::poll(&p, 1, 5);
    }
    return true;
}

static int EntriesOf(const QString& folder)
{
    return int(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size());
}

int OpenDescriptorCount()
{
    return EntriesOf(u"/proc/self/fd"_s);
}

int ThreadCount()
{
    return EntriesOf(u"/proc/self/task"_s);
}
