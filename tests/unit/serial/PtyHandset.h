#pragma once
// The far end of a pseudo-terminal (the platform's raw pty master), playing the handset for the
// serial driver tests: the driver opens the slave path, the test reads requests and writes
// replies on the master.
#include "platform/VirtualPorts.h"
#include "serial/DiagCodec.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

using Bytes = std::vector<quint8>;

// Hexadecimal byte text ("0C 14 3A"); blanks are skipped.
inline Bytes HexBytes(const char* text)
{
    const QByteArray b = QByteArray::fromHex(text);
    return Bytes(b.begin(), b.end());
}

inline Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Payload + FCS + flag.
inline Bytes Framed(const Bytes& payload)
{
    Bytes out(MaxEncodedSize(payload.size()));
    out.resize(EncodeFrame(payload.data(), payload.size(), out.data(), out.size()));
    return out;
}

class CPtyHandset
{
public:
    CPtyHandset() { m_pty.Open(); }
    ~CPtyHandset() { Stop(); }
    CPtyHandset(const CPtyHandset&) = delete;
    CPtyHandset& operator=(const CPtyHandset&) = delete;

    bool IsValid() const { return m_pty.IsOpen(); }
    QString SlavePath() const { return m_pty.SlavePath(); }

    // Answers every request frame with reply(payload) (raw bytes, written as they are). Runs on a
    // thread of its own.
    void Serve(std::function<Bytes(const Bytes&)> reply)
    {
        Stop();
        m_thread = std::thread([this, reply = std::move(reply)] {
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
        });
    }
    // Payloads of the requests received so far (by Serve).
    std::vector<Bytes> Requests()
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

    // Direct use of the master from the test thread (not while Serve runs). A bounded wait.
    bool WriteRaw(const Bytes& bytes, int timeoutMs = 2000)
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
    // Closes the master: the slave side sees a hang-up.
    void HangUp() { m_pty.Close(); }
    void Stop()
    {
        m_bStop.store(true);
        if (m_thread.joinable())
            m_thread.join();
        m_bStop.store(false);
    }

private:
    CPtyMaster m_pty;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::mutex m_mutex;
    std::vector<Bytes> m_requests;
};

// Entries of /proc/self/<what>: "fd" counts the process's descriptors, "task" its threads.
inline int ProcEntries(const char* what)
{
    return int(QDir(QStringLiteral("/proc/self/") + QLatin1String(what))
                   .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
                   .size());
}
