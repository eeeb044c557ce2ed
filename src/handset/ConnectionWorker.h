#pragma once
// The connection worker: one thread that opens the chosen COM port, polls the handset and checks
// the selected plug-in against the handset's software.
//
//   FS_CONNECTING (sent, gives up when stopped)
//   open ──fails──▶ drop the port from the list ──list empty──▶ LC_STOP + FS_CONNECT_FAILED, end
//    │ ok          │         └── next: first entry ──▶ open
//    │             └── busy or not permitted: FS_PORT_REFUSED first, with a copy of why
//    ▼
//   FS_TRYING_PORT
//   poll ──ok──▶ FS_MODEL_READY; model check on good polls 1, 5, 9 ... of this port
//    │ fails: DMSS NOP probe ──answered as a downloader──▶ FS_DOWNLOAD_MODE, poll again (not counted)
//    │ otherwise counted over the worker's whole life
//    ├── failure 1, 2, 4, 5, ...: 10 ms, poll again
//    └── failure 3, 6, 9, ...: the port goes to the end of the list, the first entry is opened;
//        a current port no longer listed → first entry, or give up (LC_GIVE_UP) on an empty list
//
// One poll: 700 ms pause, status (HC_PHONE_STATUS to the page host with a copy of exactly the
// bytes the handset sent), the next link picture, version (rows 0..3), PRL versions of NAM 0
// and 1 and the ERI version (row 4), status.
//
// Threads: the worker talks to the user-interface thread only through posted messages that carry
// copies, plus one send (FS_CONNECTING) that is abandoned when the run flag drops. Every wait of
// the worker (its pause, a request on the port) ends within milliseconds of RequestStop(), so the
// user-interface thread can wait for it without ever deadlocking with it. Only plug-in code can
// hold it up for longer: then it is let go (Detach). Everything the thread touches is held by
// shared pointers, so it may outlive this object (it is never killed).
#include "platform/WindowMessage.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>

#include <atomic>
#include <memory>

class CDiagPort;
class CCatalogueSelection;
class QThread;

// Every message of the worker carries its code in the low 16 bits of wParam and the worker's
// generation in the 16 bits above (LinkWParam), so that the strip, the page host and the frame
// drop what a worker that has since been stopped or replaced had queued (the codes keep their
// values). Untagged messages (generation 0) come from elsewhere and always count.
//
// Updates of the version list and link picture, posted by the worker to the strip.
constexpr quint32 WM_LINK_UPDATE = WM_USER + 0x6010;
enum ELinkUpdate : quint32
{
    LU_ADVANCE_PICTURE = 1, // lParam 0
    LU_VERSION = 2,         // payload: the version response (unstuffed, from the command byte)
    LU_PRL = 3,             // lParam: NAM 0 version | NAM 1 version << 16
    LU_ERI = 4,             // lParam: the ERI version
};

constexpr WPARAM LinkWParam(quint32 code, quint32 generation)
{
    return static_cast<WPARAM>(code) | (static_cast<WPARAM>(generation & 0xFFFF) << 16);
}
constexpr quint32 LinkGeneration(WPARAM w)
{
    return static_cast<quint32>((w >> 16) & 0xFFFF);
}

// Where the worker reports to. The frame gets WM_FRAME_STATUS, the host WM_HOST_COMMAND
// (HC_PHONE_STATUS), the strip WM_LINK_COMMAND (LC_STOP, LC_GIVE_UP) and WM_LINK_UPDATE.
struct SLinkTargets
{
    QObject* pFrame = nullptr;
    QObject* pHost = nullptr;
    QObject* pStrip = nullptr;
};

struct SWorkerState;

class CConnectionWorker
{
public:
    // port: the COM number to open first. generation: tags the worker's messages (1..65535).
    CConnectionWorker(const SLinkTargets& targets, std::shared_ptr<CDiagPort> diag,
                      std::shared_ptr<CCatalogueSelection> catalogue, int port, quint32 generation);
    // Waits for the thread when it still runs (after RequestStop); never kills it.
    ~CConnectionWorker();
    CConnectionWorker(const CConnectionWorker&) = delete;
    CConnectionWorker& operator=(const CConnectionWorker&) = delete;

    // Starts the thread at the lowest priority. False when it is already started.
    bool Start();
    // Clears the run flag and wakes every wait of the worker (its pause and the port).
    void RequestStop();
    // Waits up to ms for the thread to end; true when it has ended (or never started).
    bool Wait(int ms);
    // Lets go of a thread that is held up inside plug-in code (loading a plug-in or one of its
    // queries, which may block for ever): it then touches nothing of the program when it comes
    // back and leaves that library loaded, so it is safe at exit. True when let go or ended;
    // false, with nothing changed, while it runs program code (which ends within milliseconds of
    // RequestStop): wait again.
    bool Detach();

    bool IsFinished() const;
    // The run flag (1 while the worker is to keep going); SendMessage gives up when it drops.
    const std::atomic<int>& RunFlag() const;
    bool IsRunning() const { return RunFlag().load() != 0; }
    // The port the worker opens next; -1 after giving up.
    int LinkPort() const;
    quint32 Generation() const { return m_nGeneration; }

    // The size of the worker's response buffers (the page host gets only the answer's bytes).
    static constexpr int STATUS_BUFFER_SIZE = 16404;
    // The pause before every poll, in ms (tests may shorten it).
    static void SetPollPauseMs(int ms);
    static int PollPauseMs();

private:
    std::shared_ptr<SWorkerState> m_pState;
    QThread* m_pThread = nullptr;
    quint32 m_nGeneration;
};
