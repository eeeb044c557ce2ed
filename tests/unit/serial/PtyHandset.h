#pragma once
// The far end of a pseudo-terminal (the platform's raw pty master), playing the handset for the
// serial driver tests: the driver opens the slave path, the test reads requests and writes
// replies on the master.
#include "platform/VirtualPorts.h"

#include <QString>

#include <QtGlobal>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

using Bytes = std::vector<quint8>;

// Hexadecimal byte text ("0C 14 3A"); blanks are skipped.
Bytes HexBytes(const char* text);
Bytes Concat(std::initializer_list<Bytes> parts);
// Payload + FCS + flag.
Bytes Framed(const Bytes& payload);

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
        m_thread = std::thread(&CPtyHandset::ServeMain, this, std::move(reply));
    }
    // Payloads of the requests received so far (by Serve).
    std::vector<Bytes> Requests()
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

    // Direct use of the master from the test thread (not while Serve runs). A bounded wait.
    bool WriteRaw(const Bytes& bytes, int timeoutMs = 2000);
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
    void ServeMain(std::function<Bytes(const Bytes&)> reply);

    CPtyMaster m_pty;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::mutex m_mutex;
    std::vector<Bytes> m_requests;
};

// Entries of /proc/self/fd and /proc/self/task: descriptors and threads of this process.
int OpenDescriptorCount();
int ThreadCount();
