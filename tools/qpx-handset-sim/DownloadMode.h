#pragma once
// The handset after CMD_DOWNLOAD: the boot loader's DMSS download protocol, then the flash
// programmer's streaming protocol, then a reset back to the diagnostic state (codes:
// DiagProtocol.h).
//
//   DMSS (big-endian):   06 NOP → 02 ACK | 07 → 08 params | 0C → 0D version text
//                        0F addr len data → 02 (programmer piece kept in RAM) | 05 seg off → 02,
//                        streaming starts | 0A → 02, back to DIAG | else 03 + reason
//   streaming (LE):      01 HELLO → 02 magic(32) ver compat | u32 block size | u32 flash base |
//                        u8 n + flash id | u16 window | u16 sectors | u32 sector size... | features
//                        17 mode → 18 | 19 → 1A 00 | 1B type → 1C 00
//                        07 offset data → 08 offset (offsets must follow each other; at most
//                        the block size of data; the window is how many may be unanswered)
//                        15 CLOSE → 16, the image checked and installed (else 0D 10 ...)
//                        0B RESET → 0C, back to DIAG | 09 id → 0A id | else 0D 05 ...
//
// The installed image is the firmware image format of the reference plug-in (FirmwareImage.h).
// Installing it changes the software version directory of the version answer.
#include "HandsetState.h"

#include <QByteArray>

class CDownloadMode
{
public:
    enum EState
    {
        STATE_DIAG,
        STATE_DMSS,
        STATE_STREAMING
    };

    explicit CDownloadMode(CHandsetState& state) : m_state(state) {}

    EState State() const { return m_eState; }
    void Enter() { m_eState = STATE_DMSS; }
    // A handset that starts up in a download state: the boot loader (a restart after an
    // interrupted firmware write) or the flash programmer still running.
    void StartIn(EState state) { m_eState = state; }
    // What the flash programmer announces in its HELLO answer (before the download): how many
    // writes may be unanswered at once and the most data one write carries; and the flash's size
    // (a write past it is refused: out of space).
    void SetWindow(int writes) { m_nWindow = writes; }
    void SetBlockSize(int bytes) { m_nBlockSize = bytes; }
    void SetFlashSize(qint64 bytes) { m_nFlashSize = bytes; }
    static constexpr int DEFAULT_WINDOW = 8;
    static constexpr int DEFAULT_BLOCK_SIZE = 4096;
    // The largest block whose write fits the frame decoder (code and offset in front).
    static constexpr int MAX_BLOCK_SIZE = 16384 - 5;
    static constexpr qint64 DEFAULT_FLASH_SIZE = 64 * 1024 * 1024;

    // The answer to one request in the download states.
    QByteArray Handle(const QByteArray& request);
    // The first stream write is stored with its last byte inverted (a flash that stores wrongly).
    void SetBadStore(bool bad) { m_bBadStore = bad; }
    // True once after a RESET: the simulator is silent for a while, then speaks DIAG again.
    bool TakeReset();

private:
    QByteArray Dmss(const QByteArray& request);
    QByteArray Streaming(const QByteArray& request);

    CHandsetState& m_state;
    EState m_eState = STATE_DIAG;
    QByteArray m_image;
    bool m_bOpen = false;
    bool m_bReset = false;
    bool m_bBadStore = false;
    int m_nProgrammerBytes = 0;
    int m_nWindow = DEFAULT_WINDOW;
    int m_nBlockSize = DEFAULT_BLOCK_SIZE;
    qint64 m_nFlashSize = DEFAULT_FLASH_SIZE;
};
