#include "HandsetSimulator.h"

#include "platform/VirtualPorts.h"

#include <QTimer>

#include <cstdio>
#include <utility>

CHandsetSimulator::CHandsetSimulator(const SHandsetProfile& profile, const SFaults& faults, QObject* parent)
    : QObject(parent), m_state(profile), m_faults(faults)
{
    connect(&m_transport, &CPtyTransport::frameReceived, this, &CHandsetSimulator::OnFrame);
    connect(&m_transport, &CPtyTransport::drained, this, &CHandsetSimulator::OnDrained);
    connect(&m_transport, &CPtyTransport::badFrame, this, [this]() {
        if (m_bVerbose)
            std::fprintf(stderr, "qpx-handset-sim: dropped a frame that failed its check\n");
    });
}

CHandsetSimulator::~CHandsetSimulator()
{
    Stop();
}

bool CHandsetSimulator::UseStateFolder(const QString& folder, QString* error)
{
    if (!m_state.UseStateFolder(folder, error))
        return false;
    m_pEfs = std::make_unique<CEfs2Server>(folder + QStringLiteral("/efs"));
    return true;
}

bool CHandsetSimulator::Start(int port, const QString& friendlyName, QString* error)
{
    if (!m_pEfs) {
        m_pTempState = std::make_unique<QTemporaryDir>();
        if (!m_pTempState->isValid() || !UseStateFolder(m_pTempState->path(), error))
            return false;
    }
    m_pDispatcher = std::make_unique<CCommandDispatcher>(m_state, m_pEfs.get());
    m_pDispatcher->SetBadStore(m_faults.Faults().bBadStoreNv, m_faults.Faults().bBadStorePrl);
    m_pEfs->SetBadStore(m_faults.Faults().bBadStoreEfs);
    m_download.SetBadStore(m_faults.Faults().bBadStoreFirmware);
    m_pEfs->SetByteWindow(m_nEfsWindow);
    m_pEfs->SetPacketWindow(m_nEfsPackets);
    if (!m_transport.Open()) {
        *error = QStringLiteral("cannot open a pseudo-terminal");
        return false;
    }
    m_strTarget = m_transport.SlavePath();
    // Another simulator may take the same number between the look-up and the link; try onwards.
    const bool chosen = port > 0;
    int n = chosen ? port : LowestFreeVirtualPort(FIRST_DEFAULT_PORT);
    for (int attempt = 0; attempt < 8 && n > 0; ++attempt) {
        const QString name = friendlyName.isEmpty()
                                 ? QStringLiteral("KOVA USB CDMA Modem (COM%1)").arg(n)
                                 : QString(friendlyName).replace(QLatin1String("%n"), QString::number(n));
        if (PublishVirtualPort(n, m_strTarget, name)) {
            m_nPort = n;
            m_strName = name;
            return true;
        }
        if (chosen)
            break;
        n = LowestFreeVirtualPort(n + 1);
    }
    *error =
        chosen ? QStringLiteral("COM%1 is taken (or %2 cannot be written)").arg(port).arg(VirtualPortFolder())
               : QStringLiteral("no free virtual port number in %1").arg(VirtualPortFolder());
    m_transport.Hangup();
    return false;
}

void CHandsetSimulator::Stop()
{
    if (m_nPort > 0 && !m_bAway)
        UnpublishVirtualPort(m_nPort, m_strTarget);
    m_nPort = -1;
    m_transport.Hangup();
}

void CHandsetSimulator::Recover()
{
    m_faults.Recover();
    if (m_pDispatcher)
        m_pDispatcher->SetBadStore(false, false);
    if (m_pEfs)
        m_pEfs->SetBadStore(false);
    m_download.SetBadStore(false);
    if (m_bVerbose)
        std::fprintf(stderr, "qpx-handset-sim: recovered\n");
    // A handset still leaving comes back once its line is closed.
    if (m_bAway && m_transport.IsOpen())
        m_bComeBackWhenGone = true;
    else if (m_bAway)
        ComeBack();
}

void CHandsetSimulator::Leave()
{
    if (m_nPort <= 0)
        return;
    if (m_bVerbose)
        std::fprintf(stderr, "qpx-handset-sim: leaving COM%d for %d ms\n", m_nPort, m_nReenumerateMs);
    UnpublishVirtualPort(m_nPort, m_strTarget);
    m_bAway = true;
    QTimer::singleShot(m_bLeaveAbruptly ? 0 : LEAVE_GRACE_MS, this, [this]() {
        m_transport.Hangup();
        if (std::exchange(m_bComeBackWhenGone, false))
            ComeBack();
        else if (m_nReenumerateMs >= 0)
            QTimer::singleShot(m_nReenumerateMs, this, &CHandsetSimulator::ComeBack);
    });
}

void CHandsetSimulator::ComeBack()
{
    if (m_nPort <= 0 || !m_bAway)
        return; // stopped meanwhile
    m_bAway = false;
    if (!m_transport.Open() || !PublishVirtualPort(m_nPort, m_transport.SlavePath(), m_strName)) {
        std::fprintf(stderr, "qpx-handset-sim: cannot publish COM%d again\n", m_nPort);
        m_nPort = -1;
        m_transport.Hangup();
        emit finished();
        return;
    }
    m_strTarget = m_transport.SlavePath();
    std::printf("qpx-handset-sim: COM%d -> %s\n", m_nPort, qPrintable(m_strTarget));
    std::fflush(stdout);
}

void CHandsetSimulator::OnFrame(const QByteArray& request)
{
    const bool hangup = m_faults.CountRequest();
    const quint8 code = static_cast<quint8>(request.at(0));
    if (m_bVerbose)
        std::fprintf(stderr, "qpx-handset-sim: request %02X (%s), %d bytes\n", code,
                     CCommandDispatcher::CommandName(code), static_cast<int>(request.size()));
    // Restarting after a reset: nothing is heard.
    if (m_silentSince.isValid() && m_silentSince.elapsed() < m_nResetSilenceMs)
        return;
    m_silentSince.invalidate();
    const bool armed = m_faults.Armed();
    const CFaultInjector::EKindFault kind = m_faults.CountKind(code);
    if (m_bVerbose && !armed && m_faults.Armed())
        std::fprintf(stderr, "qpx-handset-sim: faults strike from here\n");
    if (kind == CFaultInjector::KIND_LEAVE) {
        Leave();
        return;
    }
    if (kind == CFaultInjector::KIND_HANGUP) {
        SendAnswer({}, true);
        return;
    }
    if (!m_faults.ShouldAnswer(request)) {
        if (hangup)
            SendAnswer({}, true);
        return;
    }
    QByteArray answer;
    if (kind == CFaultInjector::KIND_REFUSE)
        answer = CCommandDispatcher::ErrorResponse(ERR_BAD_COMMAND, request);
    else if (m_download.State() != CDownloadMode::STATE_DIAG)
        answer = m_download.Handle(request);
    else
        answer = m_pDispatcher->Dispatch(m_faults.RequestToAnswer(request));
    bool leave = false;
    if (m_state.TakeDownloadRequest()) {
        m_download.Enter();
        leave = true;
    }
    const bool downloadReset = m_download.TakeReset();
    if (downloadReset)
        m_state.Reset(); // the restarted handset is locked and online again
    if (m_state.TakeResetRequest() || downloadReset)
        m_silentSince.start();
    leave = (leave || downloadReset) && m_nReenumerateMs >= 0;
    if (leave && m_bLeaveAbruptly)
        answer.clear();
    const bool corrupt = kind == CFaultInjector::KIND_CORRUPT;
    if (m_faults.DelayMs() > 0)
        QTimer::singleShot(m_faults.DelayMs(), this, [this, answer, hangup, corrupt, leave]() {
            SendAnswer(answer, hangup, corrupt, leave);
        });
    else
        SendAnswer(answer, hangup, corrupt, leave);
}

void CHandsetSimulator::SendAnswer(const QByteArray& answer, bool hangupAfter, bool corrupt, bool leaveAfter)
{
    if (m_bAway)
        return;
    m_bLeavePending = m_bLeavePending || leaveAfter;
    if (!answer.isEmpty()) {
        QByteArray frame(static_cast<int>(MaxEncodedSize(answer.size())), '\0');
        const size_t n = EncodeFrame(reinterpret_cast<const quint8*>(answer.constData()), answer.size(),
                                     reinterpret_cast<quint8*>(frame.data()), frame.size());
        frame.truncate(static_cast<int>(n));
        m_transport.Send(m_faults.Mangle(frame, corrupt));
    }
    if (hangupAfter)
        m_bHangupPending = true;
    if (hangupAfter || m_bLeavePending)
        OnDrained();
}

void CHandsetSimulator::OnDrained()
{
    if (m_transport.HasPendingOutput())
        return;
    if (m_bLeavePending && !m_bHangupPending) {
        m_bLeavePending = false;
        Leave();
        return;
    }
    if (!m_bHangupPending)
        return;
    m_bHangupPending = false;
    m_bAway = true; // nothing more is answered
    QTimer::singleShot(HANGUP_GRACE_MS, this, [this]() {
        if (m_bVerbose)
            std::fprintf(stderr, "qpx-handset-sim: hanging up\n");
        m_bAway = false;
        Stop();
        emit finished();
    });
}
