#pragma once
// A serial device opened for the diagnostic link: exclusive, raw 38400 8N1, no flow control.
//
// Thread rules: Open and Close run while no other thread uses the object. Between them one reader
// thread calls WaitReadable/Read, one requesting thread calls Write/Purge, and any thread may call
// Wake. Wake is one-shot: once called, every later WaitReadable and Write returns at once, so a
// closing owner can reach every waiting thread. The next Open clears it.
//
// On unplug (or when a pseudo-terminal's master closes) read() returns 0 like an idle line; only
// POLLHUP/POLLERR or EIO say the device is gone, and WaitReadable reports that as HANG_UP.
#include <QString>

#include <memory>

struct termios;

class CSerialDevice
{
public:
    enum EError
    {
        SERIAL_OK = 0,
        SERIAL_NO_SUCH_PORT,
        SERIAL_BUSY,              // held by another program (exclusive mode or advisory lock)
        SERIAL_PERMISSION_DENIED, // typically: the user is not in the device's group (dialout)
        SERIAL_NOT_A_TTY,
        SERIAL_FAILED
    };
    enum EWait
    {
        WAIT_READABLE,
        WAIT_WOKEN,
        WAIT_TIMEOUT,
        WAIT_HANG_UP
    };

    static constexpr int BAUD_RATE = 38400;

    CSerialDevice();
    ~CSerialDevice();
    CSerialDevice(const CSerialDevice&) = delete;
    CSerialDevice& operator=(const CSerialDevice&) = delete;

    // Opens and configures the device; on failure Error()/ErrorText() say why and nothing stays open.
    bool Open(const QString& path);
    // Restores the line settings found at Open, releases the locks and closes. Safe when closed.
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    EError Error() const { return m_nError; }
    // One line for the user, naming the device, e.g. "/dev/ttyUSB0: port busy (held by minicom
    // (process 812))".
    QString ErrorText() const { return m_strError; }
    // What the fix needs: for SERIAL_BUSY the programs holding the device ("minicom (process 812)"),
    // for SERIAL_PERMISSION_DENIED the device's group the user is not in; empty when not known.
    QString ErrorDetail() const { return m_strDetail; }

    // Discards both directions of the driver's queues.
    void Purge();
    // Waits until input is readable, Wake is called, the device hangs up, or the time passes
    // (timeoutMs < 0: no limit). After WAIT_HANG_UP, Read may still return the last bytes.
    EWait WaitReadable(int timeoutMs);
    // Reads what is there without waiting: > 0 bytes read, 0 nothing (or end of input), -1 device gone.
    int Read(quint8* buffer, int capacity);
    // Writes all bytes within timeoutMs. False on time-out, Wake, or a device error.
    bool Write(const quint8* data, size_t n, int timeoutMs);
    void Wake();

private:
    void Fail(EError error, const QString& path, int err);

    int m_fd = -1;
    int m_wakeFd = -1;
    bool m_bLocked = false;
    std::unique_ptr<struct termios> m_saved; // line settings found at Open
    EError m_nError = SERIAL_OK;
    QString m_strError;
    QString m_strDetail;
};
