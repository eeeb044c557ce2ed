#pragma once
// The diagnostic requests the program sends itself, over the serial port driver.
//
//   Request: clear buffers → EncodeFrame → Transact (purge, write, receive one frame)
//            → good only when the response's first byte is the request's command code.
//
// Nothing is retried here and nothing is shown to the user; a failed request is false (or 0xFFFF
// for the two version numbers). Same thread rules as CSerialPort.
#include "SerialPort.h"

class CDiagPort : public CSerialPort
{
public:
    static constexpr int TRANSMIT_BUFFER_SIZE = 163840;
    // The largest payload whose worst-case encoding fits the transmit buffer.
    static constexpr quint32 MAX_REQUEST_PAYLOAD = (TRANSMIT_BUFFER_SIZE - 5) / 2;

    static constexpr quint32 STATUS_TIMEOUT_MS = 1280;
    static constexpr quint32 VERSION_TIMEOUT_MS = 1280;
    static constexpr quint32 PRL_VERSION_TIMEOUT_MS = 400;
    static constexpr quint32 ERI_VERSION_TIMEOUT_MS = 400;
    static constexpr quint16 ERI_VERSION_ITEM = 4025;
    static constexpr quint32 ERI_REQUEST_LENGTH = 657;
    static constexpr quint16 VERSION_FAILED = 0xFFFF;
    static constexpr quint32 PROBE_TIMEOUT_MS = 250;

    // What a port speaks that does not answer as a diagnostic port, told by the DMSS NOP frame
    // 7E 06 4E 95 7E: the boot loader acknowledges it (02), the flash programmer answers with an
    // error (0D) or log (0E) frame, a handset in the diagnostic state refuses it (13 06).
    enum EDownloadProbe
    {
        PROBE_NOT_DOWNLOAD,
        PROBE_BOOT_LOADER,
        PROBE_PROGRAMMER,
    };

    CDiagPort();

    // Encodes the payload into out; *len holds the payload length on entry and the encoded length
    // on return. out must hold MaxEncodedSize(*len) bytes.
    void EncodeFrame(const quint8* payload, quint32* len, quint8* out);

    // The receive of CSerialPort, plus: the response must answer the command that was sent.
    bool Transact(const quint8* frame, quint32 frameLen, quint8* response, quint32* responseLen,
                  quint32 timeoutMs) override;
    ~CDiagPort() override;

    // One request: response must hold RESPONSE_BUFFER_SIZE bytes (cleared first). *responseLen gets
    // the raw length; DecodedLength() the unescaped payload length plus 2. False for a payload that
    // cannot be encoded into the transmit buffer.
    bool Request(const quint8* payload, quint8* response, quint32 len, quint32* responseLen,
                 quint32 timeoutMs);

    bool RequestStatus(quint8* response, quint32* responseLen = nullptr);
    bool RequestVersion(quint8* response, quint32* responseLen = nullptr);
    // PRL version of NAM 0 or 1; VERSION_FAILED when the request fails, the answer is too short or
    // about the other NAM.
    quint16 ReadPrlVersion(int nam);
    // The ERI version (item 4025); VERSION_FAILED when the request fails, the answer is too short or
    // about another item.
    quint16 ReadEriVersion();
    // Sends the NOP frame once; no answer (or any other) is PROBE_NOT_DOWNLOAD.
    EDownloadProbe ProbeDownloadMode();

private:
    quint8 m_transmit[TRANSMIT_BUFFER_SIZE];
};
