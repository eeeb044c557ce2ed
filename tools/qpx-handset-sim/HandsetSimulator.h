#pragma once
// One simulated handset on one pseudo-terminal, published as a virtual COM port:
// transport → fault injector → command dispatcher → handset state, and back.
#include "CommandDispatcher.h"
#include "FaultInjector.h"
#include "HandsetState.h"
#include "PtyTransport.h"

#include <QObject>
#include <QString>

class CHandsetSimulator : public QObject
{
    Q_OBJECT
public:
    CHandsetSimulator(const SHandsetProfile& profile, const SFaults& faults, QObject* parent = nullptr);
    ~CHandsetSimulator() override;

    // Opens the pty and publishes it as COM<port> (port <= 0: the lowest free number from
    // FIRST_DEFAULT_PORT). False with a message in *error.
    bool Start(int port, const QString& friendlyName, QString* error);
    // Removes the virtual port and closes the line.
    void Stop();

    int Port() const { return m_nPort; }
    QString SlavePath() const { return m_transport.SlavePath(); }
    void SetVerbose(bool verbose) { m_bVerbose = verbose; }

    static constexpr int FIRST_DEFAULT_PORT = 20;

signals:
    // The line was closed (hang-up fault); the virtual port is already gone.
    void finished();

private:
    void OnFrame(const QByteArray& request);
    void SendAnswer(const QByteArray& answer, bool hangupAfter);
    void OnDrained();

    CHandsetState m_state;
    CCommandDispatcher m_dispatcher;
    CFaultInjector m_faults;
    CPtyTransport m_transport;
    int m_nPort = -1;
    QString m_strTarget;
    bool m_bHangupPending = false;
    bool m_bVerbose = false;
};
