#pragma once
// The serial port driver of the diagnostic link.
//
//   requesting thread                  reader thread (one per open port)
//   Transact: Purge, Write  ──────▶    poll(port, wake-up) → read ≤ 1024 bytes
//   ReceiveFrame ◀── receive ring ◀──  store bytes at the head (waits while the ring is full)
//
// The receive ring (8096 bytes) has one producer and one consumer: the reader alone moves the head,
// the requesting thread alone moves the tail; both are atomics with release/acquire ordering.
// Every wait is interruptible, so Close ends the reader within milliseconds and never kills a thread.
//
// Thread rules: Open, Write, Purge, Transact, ReceiveFrame and CheckFrame belong to the requesting
// thread (the connection worker). Close and Interrupt may also come from another thread (the
// user-interface thread stopping the connection). No function may be called from the reader thread.
#include "platform/SerialDevice.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

constexpr quint16 RX_FRAME_OK = 0x8007;
constexpr quint16 RX_BAD_FRAME = 3;
constexpr quint16 RX_TIMEOUT = 5;

// Device path of a COM number through the current resolver of CSerialPort.
QString ComPortDevicePath(int comNumber);

class CSerialPort
{
public:
    static constexpr int RX_RING_SIZE = 8096;
    static constexpr int REQUEST_BUFFER_SIZE = 16404;
    static constexpr int RESPONSE_BUFFER_SIZE = 16404;
    static constexpr int DECODE_BUFFER_SIZE = 4096;
    static constexpr int READ_CHUNK_SIZE = 1024;
    static constexpr int WRITE_TIMEOUT_MS = 2000;

    CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Purges, writes the frame and receives one frame; true exactly when ReceiveFrame says RX_FRAME_OK.
    // A failed write is not looked at: it shows up as a time-out.
    virtual bool Transact(const quint8* frame, quint32 frameLen, quint8* response, quint32* responseLen,
                          quint32 timeoutMs);
    // Closes the port (never kills the reader: every wait in it can be interrupted).
    virtual ~CSerialPort();

    // Opens COM<port> (closing first). False when the port cannot be opened; LastError says why.
    bool Open(int port);
    // The same for a device path; the port number is only remembered.
    bool OpenPath(const QString& path, int port = 0);
    // Stops the reader and releases the port. Safe on a closed object and from another thread.
    void Close();
    bool IsOpen() const { return m_bRunning.load() != 0; }
    // True once the device hung up (unplugged, or the far end of a pseudo-terminal closed).
    bool IsGone() const { return m_bGone.load(); }
    int Port() const { return m_nPort; }
    quint32 BaudRate() const { return m_nBaudRate; }

    CSerialDevice::EError LastError() const { return m_nError; }
    QString LastErrorText() const { return m_strError; }
    // The device path of the failed open, and what the fix needs (CSerialDevice::ErrorDetail).
    QString LastErrorDevice() const { return m_strErrorDevice; }
    QString LastErrorDetail() const { return m_strErrorDetail; }

    // Sends bytes, waiting at most WRITE_TIMEOUT_MS. True when everything went out.
    bool Write(const quint8* data, quint32 len);
    // Empties the driver queues and the receive ring.
    void Purge();
    // Takes bytes from the ring until one frame ends, waiting a little more than 2 × timeoutMs in all.
    // Leading flags are skipped. On RX_FRAME_OK *len is the number of raw bytes taken (escapes and
    // closing flag included) and the buffer starts with the unescaped payload and its two check bytes.
    // A frame whose raw form exceeds bufferSize is RX_BAD_FRAME. A closed, gone or interrupted port
    // gives RX_TIMEOUT at once when the ring is empty.
    quint16 ReceiveFrame(quint8* buffer, quint32 timeoutMs, quint32* len,
                         quint32 bufferSize = RESPONSE_BUFFER_SIZE);
    // Unescapes and checks a frame body in place (see DecodeFrameBody); the decoded bytes count is
    // kept in m_nDecoded.
    bool CheckFrame(quint8* buffer, quint32 len);
    int DecodedLength() const { return m_nDecoded; }

    // Makes a waiting ReceiveFrame (and every later one) return RX_TIMEOUT at once, until the next
    // Open. Used to stop the connection worker quickly.
    void Interrupt();

    // Maps COM numbers to device paths. The default looks for the virtual port link
    // COM<n> in VirtualPortFolder() (platform/VirtualPorts.h). An empty function restores the default.
    static void SetPathResolver(std::function<QString(int)> resolver);

protected:
    quint8 m_request[REQUEST_BUFFER_SIZE];
    quint8 m_response[RESPONSE_BUFFER_SIZE];
    quint8 m_decode[DECODE_BUFFER_SIZE];
    int m_nDecoded = 0;

private:
    bool OpenLocked(const QString& path, int port);
    void CloseLocked();
    void ReaderMain();
    // Copies bytes into the ring, waiting for room; false when the reader is being stopped.
    bool Store(const quint8* p, int n);
    void WakeConsumer();
    void WakeReader();

    std::atomic<int> m_bRunning{0};
    std::atomic<bool> m_bThreadDone{true};
    std::atomic<bool> m_bGone{false};
    std::atomic<bool> m_bInterrupted{false};
    std::atomic<bool> m_bReaderWaiting{false};

    quint8 m_ring[RX_RING_SIZE];
    std::atomic<quint32> m_nRxHead{0}; // written by the reader only
    std::atomic<quint32> m_nRxTail{0}; // written by the requesting thread only

    quint32 m_nBaudRate = 0;
    int m_nPort = 0;
    CSerialDevice::EError m_nError = CSerialDevice::SERIAL_OK;
    QString m_strError;
    QString m_strErrorDevice;
    QString m_strErrorDetail;

    CSerialDevice m_device;
    std::thread m_reader;
    std::mutex m_lifeMutex;            // Open against Close from another thread
    std::mutex m_ioMutex;              // device use by the requesting thread against Close
    std::mutex m_rxMutex;              // only for the condition variables below
    std::condition_variable m_rxCv;    // bytes arrived, or stop/hang-up/interrupt
    std::condition_variable m_spaceCv; // the consumer made room in the ring
    std::condition_variable m_doneCv;  // the reader ended
};
