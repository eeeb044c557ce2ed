#pragma once
// One simulated handset on one pseudo-terminal, published as a virtual COM port:
// transport → fault injector → command dispatcher → handset state, and back.
#include "CommandDispatcher.h"
#include "DownloadMode.h"
#include "FaultInjector.h"
#include "HandsetState.h"
#include "PtyTransport.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class CHandsetSimulator : public QObject
{
    Q_OBJECT
public:
    CHandsetSimulator(const SHandsetProfile& profile, const SFaults& faults, QObject* parent = nullptr);
    ~CHandsetSimulator() override;

    // Keeps the handset's NV items, PRLs, version and file system in folder (before Start);
    // without it they live in a temporary folder for this run only.
    bool UseStateFolder(const QString& folder, QString* error);
    // How long the handset stays silent after a reset (mode change 2).
    void SetResetSilenceMs(int ms) { m_nResetSilenceMs = ms; }
    // The handset, for its security settings (before Start).
    CHandsetState& State() { return m_state; }
    // USB re-enumeration (ms >= 0): after the 3A echo and after the download protocols' RESET the
    // port leaves (link removed, pty closed), and after ms a new pty is published under the same
    // number, speaking the protocol of the new state. -1 (default): the port stays (and a handset
    // that leaves by the leave-at fault stays away until it recovers).
    void SetReenumerateMs(int ms) { m_nReenumerateMs = ms; }
    // With re-enumeration: the handset drops off at once, its last answer (the 3A echo, the
    // RESET's answer) lost; the host sees only the hang-up.
    void SetLeaveAbruptly(bool abrupt) { m_bLeaveAbruptly = abrupt; }
    // The EFS2 byte window announced in HELLO and enforced on READ and WRITE (before Start).
    void SetEfsByteWindow(quint32 bytes) { m_nEfsWindow = bytes; }
    // The EFS2 packet window announced in HELLO (before Start).
    void SetEfsPacketWindow(quint32 requests) { m_nEfsPackets = requests; }
    // The protocol the handset speaks at start (before Start): a download state stands for a
    // handset left there by an interrupted firmware write.
    void StartIn(CDownloadMode::EState state) { m_download.StartIn(state); }
    // The download protocols, for what the flash programmer announces (before Start).
    CDownloadMode& Download() { return m_download; }
    // An emulated link between host and handset (see CPtyTransport::SetLink).
    void SetLink(qint64 latencyUs, qint64 bytesPerSecond) { m_transport.SetLink(latencyUs, bytesPerSecond); }

    // Opens the pty and publishes it as COM<port> (port <= 0: the lowest free number from
    // FIRST_DEFAULT_PORT). False with a message in *error.
    bool Start(int port, const QString& friendlyName, QString* error);
    // Removes the virtual port and closes the line.
    void Stop();
    // Every fault ends and a handset that left comes back: it answers again.
    void Recover();

    int Port() const { return m_nPort; }
    QString SlavePath() const { return m_transport.SlavePath(); }
    void SetVerbose(bool verbose) { m_bVerbose = verbose; }

    static constexpr int FIRST_DEFAULT_PORT = 20;
    // A leaving handset's last answer gets this long to be read before the line drops.
    static constexpr int LEAVE_GRACE_MS = 50;
    // Closing the master side of a pseudo-terminal discards what the other side has not read
    // yet: the last answer before a hang-up gets this long to be read.
    static constexpr int HANGUP_GRACE_MS = 250;

signals:
    // The line was closed (hang-up fault); the virtual port is already gone.
    void finished();

private:
    void OnFrame(const QByteArray& request);
    void SendAnswer(const QByteArray& answer, bool hangupAfter, bool corrupt = false,
                    bool leaveAfter = false);
    void OnDrained();
    void Leave();
    void ComeBack();

    CHandsetState m_state;
    std::unique_ptr<QTemporaryDir> m_pTempState;
    std::unique_ptr<CEfs2Server> m_pEfs;
    std::unique_ptr<CCommandDispatcher> m_pDispatcher;
    CDownloadMode m_download{m_state};
    QElapsedTimer m_silentSince;
    int m_nResetSilenceMs = 1500;
    CFaultInjector m_faults;
    CPtyTransport m_transport;
    int m_nPort = -1;
    QString m_strTarget;
    QString m_strName;
    int m_nReenumerateMs = -1;
    bool m_bLeaveAbruptly = false;
    quint32 m_nEfsWindow = EFS2_WINDOW;
    quint32 m_nEfsPackets = EFS2_WINDOW;
    bool m_bLeavePending = false;
    bool m_bAway = false;
    bool m_bComeBackWhenGone = false; // recovered while still leaving
    bool m_bHangupPending = false;
    bool m_bVerbose = false;
};
