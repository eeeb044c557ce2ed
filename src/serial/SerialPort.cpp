#include "SerialPort.h"

#include "platform/VirtualPorts.h"

#include "DiagCodec.h"

#include <QLoggingCategory>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {
Q_LOGGING_CATEGORY(lcSerial, "qpx.serial")

using Clock = std::chrono::steady_clock;

// A read that finds nothing right after poll said "readable" happens once in a while (a purge won
// the race); many in a row mean the device reports end of input without a hang-up.
constexpr int MAX_EMPTY_READS = 64;
// Bounded waits of the reader, so a lost wake-up costs at most this long.
constexpr int READER_POLL_MS = 500;
constexpr auto READER_SPACE_WAIT = std::chrono::milliseconds(10);
// Close waits 11 × 20 ms for the reader before it reports a slow stop.
constexpr int CLOSE_WAIT_ROUNDS = 11;
constexpr auto CLOSE_WAIT_ROUND = std::chrono::milliseconds(20);

std::mutex& ResolverMutex()
{
    static std::mutex m;
    return m;
}

std::function<QString(int)>& Resolver()
{
    static std::function<QString(int)> f;
    return f;
}

QString DefaultPortPath(int comNumber)
{
    return VirtualPortFolder() + QStringLiteral("/COM") + QString::number(comNumber);
}

} // namespace

QString ComPortDevicePath(int comNumber)
{
    std::function<QString(int)> f;
    {
        std::lock_guard lock(ResolverMutex());
        f = Resolver();
    }
    return f ? f(comNumber) : DefaultPortPath(comNumber);
}

void CSerialPort::SetPathResolver(std::function<QString(int)> resolver)
{
    std::lock_guard lock(ResolverMutex());
    Resolver() = std::move(resolver);
}

CSerialPort::CSerialPort()
{
    std::memset(m_request, 0, sizeof m_request);
    std::memset(m_response, 0, sizeof m_response);
    std::memset(m_decode, 0, sizeof m_decode);
    std::memset(m_ring, 0, sizeof m_ring);
}

CSerialPort::~CSerialPort()
{
    Close();
}

bool CSerialPort::Open(int port)
{
    std::lock_guard life(m_lifeMutex);
    CloseLocked();
    const QString path = ComPortDevicePath(port);
    if (path.isEmpty()) { // the resolver knows no device for this number
        m_nPort = port;
        m_nError = CSerialDevice::SERIAL_NO_SUCH_PORT;
        m_strError = QStringLiteral("COM%1: no such port").arg(port);
        m_strErrorDevice.clear();
        m_strErrorDetail.clear();
        return false;
    }
    return OpenLocked(path, port);
}

bool CSerialPort::OpenPath(const QString& path, int port)
{
    std::lock_guard life(m_lifeMutex);
    CloseLocked();
    return OpenLocked(path, port);
}

bool CSerialPort::OpenLocked(const QString& path, int port)
{
    m_nPort = port;
    m_nRxHead.store(0);
    m_nRxTail.store(0);
    m_nDecoded = 0;
    m_bGone.store(false);
    m_bInterrupted.store(false);
    {
        std::lock_guard io(m_ioMutex);
        if (!m_device.Open(path)) { // configures the line and purges both queues
            m_nError = m_device.Error();
            m_strError = m_device.ErrorText();
            m_strErrorDevice = path;
            m_strErrorDetail = m_device.ErrorDetail();
            qCDebug(lcSerial) << "open failed:" << m_strError;
            return false;
        }
    }
    m_nError = CSerialDevice::SERIAL_OK;
    m_strError.clear();
    m_strErrorDevice.clear();
    m_strErrorDetail.clear();
    m_nBaudRate = CSerialDevice::BAUD_RATE;
    // Set before the thread starts, so a Close right after Open cannot be overtaken by it.
    m_bRunning.store(1);
    m_bThreadDone.store(false);
    try {
        m_reader = std::thread(&CSerialPort::ReaderMain, this);
    } catch (const std::system_error&) {
        m_bRunning.store(0);
        m_bThreadDone.store(true);
        std::lock_guard io(m_ioMutex);
        m_device.Close();
        m_nError = CSerialDevice::SERIAL_FAILED;
        m_strError = path + QStringLiteral(": cannot start the reader thread");
        return false;
    }
    return true;
}

void CSerialPort::Close()
{
    std::lock_guard life(m_lifeMutex);
    CloseLocked();
}

void CSerialPort::CloseLocked()
{
    m_bRunning.store(0);
    m_device.Wake(); // ends the reader's poll and any Write in progress
    WakeConsumer();
    WakeReader();
    if (m_reader.joinable()) {
        bool done = false;
        {
            std::unique_lock lock(m_rxMutex);
            for (int i = 0; i < CLOSE_WAIT_ROUNDS && !done; ++i)
                done = m_doneCv.wait_for(lock, CLOSE_WAIT_ROUND, [this] { return m_bThreadDone.load(); });
        }
        if (!done)
            qCWarning(lcSerial) << "reader of port" << m_nPort
                                << "did not stop within 220 ms; waiting for it";
        m_reader.join(); // every wait of the reader is bounded, so this returns
    }
    std::lock_guard io(m_ioMutex);
    m_device.Close();
}

void CSerialPort::WakeConsumer()
{
    {
        std::lock_guard lock(m_rxMutex); // orders the state change before a waiter's predicate check
    }
    m_rxCv.notify_all();
}

void CSerialPort::WakeReader()
{
    {
        std::lock_guard lock(m_rxMutex);
    }
    m_spaceCv.notify_all();
}

void CSerialPort::Interrupt()
{
    m_bInterrupted.store(true);
    WakeConsumer();
}

void CSerialPort::ReaderMain()
{
    quint8 chunk[READ_CHUNK_SIZE];
    int emptyReads = 0;
    while (m_bRunning.load()) {
        const CSerialDevice::EWait w = m_device.WaitReadable(READER_POLL_MS);
        if (w == CSerialDevice::WAIT_WOKEN)
            break; // only Close wakes the reader
        if (w == CSerialDevice::WAIT_TIMEOUT)
            continue;
        bool hangUp = w == CSerialDevice::WAIT_HANG_UP;
        bool gotData = false;
        // Drain the driver until a read brings nothing.
        while (m_bRunning.load()) {
            const int n = m_device.Read(chunk, READ_CHUNK_SIZE);
            if (n < 0) {
                hangUp = true;
                break;
            }
            if (n == 0)
                break;
            gotData = true;
            if (!Store(chunk, n))
                break;
        }
        if (!hangUp && !gotData && ++emptyReads >= MAX_EMPTY_READS)
            hangUp = true;
        if (gotData)
            emptyReads = 0;
        if (hangUp) {
            // Reported once; the requesting thread then fails at once instead of waiting.
            qCDebug(lcSerial) << "port" << m_nPort << "hung up";
            m_bGone.store(true);
            WakeConsumer();
            break;
        }
    }
    {
        std::lock_guard lock(m_rxMutex);
        m_bThreadDone.store(true);
    }
    m_doneCv.notify_all();
}

bool CSerialPort::Store(const quint8* p, int n)
{
    while (n > 0) {
        const quint32 head = m_nRxHead.load(std::memory_order_relaxed);
        const quint32 tail = m_nRxTail.load(std::memory_order_acquire);
        const quint32 room = (tail + RX_RING_SIZE - head - 1) % RX_RING_SIZE;
        if (room == 0) {
            // Never overwrite unread bytes: wait for the consumer, re-checking the run flag.
            std::unique_lock lock(m_rxMutex);
            m_bReaderWaiting.store(true);
            m_spaceCv.wait_for(lock, READER_SPACE_WAIT, [&] {
                return m_nRxTail.load(std::memory_order_acquire) != tail || !m_bRunning.load();
            });
            m_bReaderWaiting.store(false);
            if (!m_bRunning.load())
                return false;
            continue;
        }
        const quint32 run = std::min({room, static_cast<quint32>(n), RX_RING_SIZE - head});
        std::memcpy(m_ring + head, p, run);
        m_nRxHead.store((head + run) % RX_RING_SIZE, std::memory_order_release);
        // The receiver waits for a frame's closing flag: it is woken when one came, or when the
        // ring is full and it has to make room, not for every piece of a long answer.
        const bool wake = run == room || std::memchr(p, FRAME_FLAG, run) != nullptr;
        p += run;
        n -= static_cast<int>(run);
        if (wake)
            WakeConsumer();
    }
    return true;
}

bool CSerialPort::Write(const quint8* data, quint32 len)
{
    std::lock_guard io(m_ioMutex);
    if (!m_bRunning.load())
        return false;
    return m_device.Write(data, len, WRITE_TIMEOUT_MS);
}

void CSerialPort::Purge()
{
    {
        std::lock_guard io(m_ioMutex);
        if (m_bRunning.load())
            m_device.Purge();
    }
    // Consumer side only: a byte the reader stores at this moment lands after the new tail.
    m_nRxTail.store(m_nRxHead.load(std::memory_order_acquire), std::memory_order_release);
    if (m_bReaderWaiting.load())
        WakeReader();
}

bool CSerialPort::Transact(const quint8* frame, quint32 frameLen, quint8* response, quint32* responseLen,
                           quint32 timeoutMs)
{
    Purge();
    Write(frame, frameLen);
    return ReceiveFrame(response, timeoutMs, responseLen) == RX_FRAME_OK;
}

quint16 CSerialPort::ReceiveFrame(quint8* buffer, quint32 timeoutMs, quint32* len, quint32 bufferSize)
{
    const auto start = Clock::now();
    // "More than 2 × T" has passed once the clock reaches this point.
    const auto deadline = start + std::chrono::milliseconds(2ull * timeoutMs + 1);
    // A stream that never leaves the ring empty (flags without end) still stops here.
    const auto hardDeadline = deadline + std::chrono::milliseconds(2ull * timeoutMs + 1);
    quint32 k = 0;
    quint32 tail = m_nRxTail.load(std::memory_order_relaxed);
    auto release = [&] {
        m_nRxTail.store(tail, std::memory_order_release);
        if (m_bReaderWaiting.load())
            WakeReader();
    };
    for (;;) {
        if (m_bInterrupted.load())
            return RX_TIMEOUT;
        quint32 head = m_nRxHead.load(std::memory_order_acquire);
        if (head == tail) {
            if (!m_bRunning.load() || m_bGone.load()) {
                // The reader stores its last bytes before it says "gone": look once more.
                if (m_nRxHead.load(std::memory_order_acquire) == tail)
                    return RX_TIMEOUT;
                continue;
            }
            if (Clock::now() >= deadline)
                return RX_TIMEOUT;
            std::unique_lock lock(m_rxMutex);
            m_rxCv.wait_until(lock, deadline, [&] {
                return m_nRxHead.load(std::memory_order_acquire) != tail || !m_bRunning.load() ||
                       m_bGone.load() || m_bInterrupted.load();
            });
            continue;
        }
        if (Clock::now() >= hardDeadline)
            return RX_TIMEOUT;
        while (tail != head) {
            if (k == 0 && m_ring[tail] == FRAME_FLAG) {
                tail = (tail + 1) % RX_RING_SIZE; // a flag before any data
                continue;
            }
            // The bytes up to the closing flag, one piece of the ring at a time.
            const quint32 avail = (head > tail ? head : static_cast<quint32>(RX_RING_SIZE)) - tail;
            const auto* flag = static_cast<const quint8*>(std::memchr(m_ring + tail, FRAME_FLAG, avail));
            const quint32 take = flag ? static_cast<quint32>(flag - (m_ring + tail)) + 1 : avail;
            if (take > bufferSize - k) {
                std::memcpy(buffer + k, m_ring + tail, bufferSize - k);
                tail = (tail + (bufferSize - k) + 1) % RX_RING_SIZE;
                release();
                return RX_BAD_FRAME; // cannot be held; the next purge drops the rest
            }
            std::memcpy(buffer + k, m_ring + tail, take);
            k += take;
            tail = (tail + take) % RX_RING_SIZE;
            if (flag) {
                release(); // bytes after the closing flag stay for the next purge
                if (!CheckFrame(buffer, k - 1))
                    return RX_BAD_FRAME;
                if (len)
                    *len = k;
                return RX_FRAME_OK;
            }
        }
        release();
    }
}

bool CSerialPort::CheckFrame(quint8* buffer, quint32 len)
{
    const int n = DecodeFrameBody(buffer, len, m_decode, DECODE_BUFFER_SIZE);
    if (n < 0) {
        m_nDecoded = 0;
        return false;
    }
    m_nDecoded = n;
    std::memcpy(buffer, m_decode, static_cast<size_t>(n));
    return true;
}
