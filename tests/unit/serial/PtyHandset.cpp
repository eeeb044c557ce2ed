#include "PtyHandset.h"

#include "serial/DiagCodec.h"

#include <QDeadlineTimer>
#include <QDir>

#include <chrono>
#include <poll.h>
#include <string>
#include <unistd.h>

Bytes HexBytes(const char* text)
{
    Bytes out;
    const std::string s(text);
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == ' ')
            continue;
        out.push_back(static_cast<quint8>(std::stoul(s.substr(i, 2), nullptr, 16)));
        ++i;
    }
    return out;
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

CPtyHandset::CPtyHandset()
{
    m_pty.Open();
}

CPtyHandset::~CPtyHandset()
{
    Stop();
}

void CPtyHandset::Stop()
{
    m_bStop.store(true);
    if (m_thread.joinable())
        m_thread.join();
    m_bStop.store(false);
}

void CPtyHandset::HangUp()
{
    m_pty.Close();
}

void CPtyHandset::Serve(std::function<Bytes(const Bytes&)> reply, size_t chunk, int gapMs)
{
    Stop();
    m_thread = std::thread(&CPtyHandset::ServeMain, this, std::move(reply), chunk, gapMs);
}

std::vector<Bytes> CPtyHandset::Requests()
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

Bytes CPtyHandset::Received()
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

void CPtyHandset::ServeMain(std::function<Bytes(const Bytes&)> reply, size_t chunk, int gapMs)
{
    CFrameDecoder decoder;
    quint8 buf[4096];
    while (!m_bStop.load()) {
        struct pollfd p = {m_pty.Fd(), POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0 || !(p.revents & POLLIN))
            continue;
        const ssize_t n = ::read(m_pty.Fd(), buf, sizeof buf);
        for (ssize_t i = 0; i < n; ++i) {
            {
                std::lock_guard lock(m_mutex);
                m_received.push_back(buf[i]);
            }
            if (decoder.Feed(buf[i]) != CFrameDecoder::FRAME)
                continue;
            const Bytes request(decoder.Payload(), decoder.Payload() + decoder.PayloadLength());
            {
                std::lock_guard lock(m_mutex);
                m_requests.push_back(request);
            }
            const Bytes out = reply(request);
            const size_t step = chunk ? chunk : out.size();
            for (size_t pos = 0; pos < out.size() && !m_bStop.load(); pos += step) {
                if (pos && gapMs)
                    std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
                WriteRaw(Bytes(out.begin() + pos, out.begin() + std::min(out.size(), pos + step)));
            }
        }
    }
}

bool CPtyHandset::WriteRaw(const Bytes& bytes, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::write(m_pty.Fd(), bytes.data() + done, bytes.size() - done);
        if (w > 0) {
            done += static_cast<size_t>(w);
            continue;
        }
        if (deadline.hasExpired())
            return false;
        struct pollfd p = {m_pty.Fd(), POLLOUT, 0};
        ::poll(&p, 1, 5);
    }
    return true;
}

Bytes CPtyHandset::ReadRaw(size_t n, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    Bytes out;
    quint8 buf[4096];
    while (out.size() < n && !deadline.hasExpired()) {
        struct pollfd p = {m_pty.Fd(), POLLIN, 0};
        if (::poll(&p, 1, 5) <= 0 || !(p.revents & POLLIN))
            continue;
        const ssize_t r = ::read(m_pty.Fd(), buf, std::min(sizeof buf, n - out.size()));
        if (r > 0)
            out.insert(out.end(), buf, buf + r);
    }
    return out;
}

int OpenDescriptorCount()
{
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size());
}

int ThreadCount()
{
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}
