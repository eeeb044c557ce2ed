#include "ConnectionWorker.h"

#include "HandsetFormat.h"
#include "PortRefusal.h"

#include "core/AppSettings.h"
#include "platform/HostCommands.h"
#include "platform/Module.h"
#include "plugin/CatalogueSelection.h"
#include "plugin/PluginApi.h"
#include "serial/DiagPort.h"

#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QMutexLocker>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace {
Q_LOGGING_CATEGORY(lcLink, "qpx.link")

std::atomic<int> g_pollPauseMs{700};
} // namespace

// Everything the worker thread uses; shared with the owning object so either may go first.
struct SWorkerState
{
    SLinkTargets targets;
    std::shared_ptr<CDiagPort> pDiag;
    std::shared_ptr<CCatalogueSelection> pCatalogue;
    quint32 nGeneration = 0;

    std::atomic<int> bLinkRunning{0};
    std::atomic<int> nLinkPort{-1};
    std::atomic<bool> bFinished{false};
    std::mutex wakeMutex;
    std::condition_variable wake;

    std::vector<quint8> statusBuffer = std::vector<quint8>(CConnectionWorker::STATUS_BUFFER_SIZE);
    std::vector<quint8> localBuffer = std::vector<quint8>(CConnectionWorker::STATUS_BUFFER_SIZE);
    HMODULE hPlugin = nullptr; // the plug-in while the model check has it loaded

    // Plug-in code (loading a plug-in, its queries, unloading it) may block for ever. While the
    // thread is inside it, the owner may let it go; the thread then leaves at its next step out
    // of the plug-in and touches nothing outside this state again (the library stays loaded).
    std::mutex pluginMutex;
    bool bInPlugin = false;   // under pluginMutex
    bool bLetGo = false;      // under pluginMutex
    bool bLeftBehind = false; // worker thread only: it has seen bLetGo

    bool Running() const { return bLinkRunning.load(std::memory_order_acquire) == 1; }

    // Runs f, plug-in code, on the worker; false when the worker was let go meanwhile.
    template <typename F> bool InPlugin(F f)
    {
        {
            std::lock_guard lock(pluginMutex);
            bInPlugin = true;
        }
        f();
        std::lock_guard lock(pluginMutex);
        bInPlugin = false;
        bLeftBehind = bLetGo;
        return !bLeftBehind;
    }
    // By the owner: lets the thread go when it is inside plug-in code. True when let go.
    bool LetGo()
    {
        std::lock_guard lock(pluginMutex);
        if (bInPlugin)
            bLetGo = true;
        return bInPlugin;
    }

    // The pause before a poll, or the 10 ms after a failure; false when stopped meanwhile.
    bool Pause(int ms)
    {
        std::unique_lock lock(wakeMutex);
        wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !Running(); });
        return Running();
    }

    void ToFrame(quint32 code, LPARAM arg)
    {
        PostMessage(targets.pFrame, WM_FRAME_STATUS, LinkWParam(code, nGeneration), arg);
    }
    void ToStrip(quint32 code, LPARAM arg)
    {
        PostMessage(targets.pStrip, WM_LINK_UPDATE, LinkWParam(code, nGeneration), arg);
    }

    int DecodedPayloadLength() const
    {
        // The decoded length counts the two check bytes.
        return std::clamp(pDiag->DecodedLength() - 2, 0, CConnectionWorker::STATUS_BUFFER_SIZE);
    }

    void Main();
    bool OpenPort();
    void ReportRefusal(int port);
    bool InDownloadMode();
    bool PollHandset();
    bool CheckModelPlugin();
};

void SWorkerState::Main()
{
    if (targets.pFrame == nullptr)
        return;
    // Synchronous like the rest of the start, but abandoned as soon as a stop is requested.
    SendMessage(targets.pFrame, WM_FRAME_STATUS, LinkWParam(FS_CONNECTING, nGeneration), nLinkPort.load(),
                &bLinkRunning);

    int failures = 1; // counted over the worker's whole life, never reset
    for (;;) {
        if (!OpenPort())
            return;
        ToFrame(FS_TRYING_PORT, nLinkPort.load());
        int good = 0;
        bool moveOn = false;
        while (Running()) {
            if (PollHandset()) {
                ToFrame(FS_MODEL_READY, 0);
                if (good % 4 == 0) {
                    CheckModelPlugin();
                    if (bLeftBehind)
                        return;
                }
                ++good;
                continue;
            }
            if (!Running())
                break;
            if (InDownloadMode())
                continue;
            const int t = failures++;
            if (t % 3 != 0) {
                Pause(10);
                continue;
            }
            // Every third failure: another port.
            int next = -1;
            {
                QMutexLocker lock(&theSettings.m_lock);
                CPortList& list = theSettings.m_portList;
                if (list.Find(theSettings.m_nPortNum.load()) < 0) {
                    next = list.GetCount() > 0 ? list.GetAt(0) : -1;
                } else {
                    const int port = nLinkPort.load();
                    list.Remove(port);
                    list.Append(port);
                    next = list.GetAt(0);
                }
            }
            if (next == -1) {
                qCDebug(lcLink) << "no port left, giving up";
                nLinkPort = -1;
                theSettings.m_nPortNum = -1;
                PostMessage(targets.pStrip, WM_LINK_COMMAND, LinkWParam(LC_GIVE_UP, nGeneration), 0);
                bLinkRunning = 0;
                pDiag->Close();
                return;
            }
            qCDebug(lcLink) << "moving from port" << nLinkPort.load() << "to" << next;
            nLinkPort = next;
            theSettings.m_nPortNum = next;
            moveOn = true;
            break;
        }
        if (!moveOn) {
            pDiag->Close();
            return;
        }
    }
}

// Opens nLinkPort; a port that cannot be opened leaves the list and the first entry is tried.
bool SWorkerState::OpenPort()
{
    for (;;) {
        if (!Running()) {
            pDiag->Close();
            return false;
        }
        const int port = nLinkPort.load();
        if (pDiag->Open(port))
            return true;
        qCDebug(lcLink) << "cannot open port" << port << pDiag->LastErrorText();
        ReportRefusal(port);
        int next = -1;
        {
            QMutexLocker lock(&theSettings.m_lock);
            theSettings.m_portList.Remove(port);
            next = theSettings.m_portList.GetCount() > 0 ? theSettings.m_portList.GetAt(0) : -1;
        }
        if (next == -1) {
            // The frame first: once the strip has stopped this worker, its messages are dropped.
            ToFrame(FS_CONNECT_FAILED, 0);
            PostMessage(targets.pStrip, WM_LINK_COMMAND, LinkWParam(LC_STOP, nGeneration), 0);
            pDiag->Close();
            return false;
        }
        nLinkPort = next;
    }
}

// A port that is busy or not permitted is the user's to fix: the frame gets a copy of why.
void SWorkerState::ReportRefusal(int port)
{
    SPortRefusal refusal;
    if (MakePortRefusal(*pDiag, port, refusal))
        PostMessageWithPayload(targets.pFrame, WM_FRAME_STATUS, LinkWParam(FS_PORT_REFUSED, nGeneration),
                               &refusal, sizeof refusal);
}

// A handset left in download mode by an interrupted firmware write answers only the download
// protocols. It is no failure of the port: the frame is told, and the worker stays with it so the
// technician can write the firmware again; a good poll later ends the mode.
bool SWorkerState::InDownloadMode()
{
    if (pDiag->ProbeDownloadMode() == CDiagPort::PROBE_NOT_DOWNLOAD || !Running())
        return false;
    ToFrame(FS_DOWNLOAD_MODE, nLinkPort.load());
    return true;
}

bool SWorkerState::PollHandset()
{
    std::memset(statusBuffer.data(), 0, statusBuffer.size());
    if (!Pause(g_pollPauseMs.load()))
        return false;
    if (!pDiag->RequestStatus(statusBuffer.data()))
        return false;
    // A copy as long as the handset's answer: a shorter answer has no bytes beyond its end.
    PostMessageWithPayload(targets.pHost, WM_HOST_COMMAND, LinkWParam(HC_PHONE_STATUS, nGeneration),
                           statusBuffer.data(), DecodedPayloadLength());
    if (!Running())
        return false;
    ToStrip(LU_ADVANCE_PICTURE, 0);
    if (!Running())
        return false;
    if (!pDiag->RequestVersion(localBuffer.data()) || !Running())
        return false;
    PostMessageWithPayload(targets.pStrip, WM_LINK_UPDATE, LinkWParam(LU_VERSION, nGeneration),
                           localBuffer.data(), DecodedPayloadLength());

    const quint16 prl0 = pDiag->ReadPrlVersion(0);
    if (!Running())
        return false;
    const quint16 prl1 = pDiag->ReadPrlVersion(1);
    if (!Running())
        return false;
    ToStrip(LU_PRL, static_cast<LPARAM>(prl0) | (static_cast<LPARAM>(prl1) << 16));
    ToStrip(LU_ERI, pDiag->ReadEriVersion());

    if (!Running())
        return false;
    return pDiag->RequestStatus(localBuffer.data()) && Running();
}

bool SWorkerState::CheckModelPlugin()
{
    const SCatalogueSnapshot catalogue = pCatalogue ? pCatalogue->Snapshot() : SCatalogueSnapshot();
    if (catalogue.nSelected == -1)
        return true;
    if (!Running() || !pDiag->RequestVersion(localBuffer.data()))
        return false;
    // The MODEL pane names a plug-in's model only while that plug-in matches this handset.
    auto noMatch = [] {
        theSettings.Set(&CAppSettings::m_strModelName, QString());
        return false;
    };
    // Only from the handset's own bytes: an answer too short to hold the directory never matches.
    const int versionLength = DecodedPayloadLength();
    if (!HoldsSoftwareVersionDirectory(versionLength))
        return noMatch();
    const QByteArray directory = SoftwareVersionDirectory(localBuffer.data(), versionLength).toLatin1();
    if (catalogue.paths.isEmpty())
        return noMatch();

    const QString path = catalogue.paths.value(catalogue.nSelected);
    // A worker let go inside the plug-in returns at once, touching nothing (bLeftBehind).
    if (!InPlugin([&] { hPlugin = ModuleLoad(path); }))
        return false;
    if (hPlugin == nullptr)
        return noMatch();
    const auto kind = ModuleFunction<PFN_GetModelKind>(hPlugin, QPX_SYM_MODEL_KIND);
    const auto supported = ModuleFunction<PFN_GetSupportBINVersion>(hPlugin, QPX_SYM_SUPPORT_BIN_VERSION);
    const bool complete = kind != nullptr && supported != nullptr;
    auto copy = [](const char* text) { return text != nullptr ? QByteArray(text) : QByteArray(); };
    QByteArray model, servedText;
    if (complete &&
        (!InPlugin([&] { model = copy(kind()); }) || !InPlugin([&] { servedText = copy(supported()); })))
        return false;
    if (!InPlugin([&] { ModuleFree(hPlugin); }))
        return false;
    hPlugin = nullptr;

    if (!complete || !SupportedVersionMatches(servedText, directory))
        return noMatch();
    if (theSettings.m_bAutoModelDll.load() == 1) {
        pCatalogue->SetSelectedIndex(0);
        theSettings.Set(&CAppSettings::m_strModelName, catalogue.modelNames.value(0));
        theSettings.Set(&CAppSettings::m_strDllFile, catalogue.paths.value(0));
    } else {
        theSettings.Set(&CAppSettings::m_strModelName, PluginText(model.constData()));
        theSettings.Set(&CAppSettings::m_strDllFile, path);
    }
    ToFrame(FS_MODEL_READY, 0);
    return true;
}

// ---- CConnectionWorker -----------------------------------------------------------------------

CConnectionWorker::CConnectionWorker(const SLinkTargets& targets, std::shared_ptr<CDiagPort> diag,
                                     std::shared_ptr<CCatalogueSelection> catalogue, int port,
                                     quint32 generation)
    : m_pState(std::make_shared<SWorkerState>()), m_nGeneration(generation)
{
    m_pState->targets = targets;
    m_pState->pDiag = std::move(diag);
    m_pState->pCatalogue = std::move(catalogue);
    m_pState->nGeneration = generation;
    m_pState->nLinkPort = port;
}

CConnectionWorker::~CConnectionWorker()
{
    if (m_pThread == nullptr)
        return;
    RequestStop();
    // Ends within milliseconds, unless plug-in code holds it up: then it is let go.
    while (!Wait(100) && !Detach()) {
    }
    delete m_pThread;
}

bool CConnectionWorker::Start()
{
    if (m_pThread != nullptr)
        return false;
    m_pState->bLinkRunning = 1;
    std::shared_ptr<SWorkerState> state = m_pState;
    m_pThread = QThread::create([state] {
        state->Main();
        state->bFinished = true;
    });
    m_pThread->setObjectName(QStringLiteral("qpx-link"));
    m_pThread->start(QThread::LowestPriority);
    return true;
}

void CConnectionWorker::RequestStop()
{
    {
        std::lock_guard lock(m_pState->wakeMutex);
        m_pState->bLinkRunning = 0;
    }
    m_pState->wake.notify_all();
    // A request in flight returns at once; the worker then sees the flag.
    m_pState->pDiag->Interrupt();
}

bool CConnectionWorker::Wait(int ms)
{
    if (m_pThread == nullptr)
        return true;
    return m_pThread->wait(QDeadlineTimer(ms));
}

bool CConnectionWorker::Detach()
{
    if (m_pThread == nullptr)
        return true;
    QThread* thread = m_pThread;
    if (thread->isFinished()) {
        m_pThread = nullptr;
        delete thread;
        return true;
    }
    if (!m_pState->LetGo())
        return false;
    qCWarning(lcLink) << "connection worker held up in a plug-in query; left behind";
    m_pThread = nullptr;
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    if (thread->isFinished()) // it may have ended before the connection was made
        thread->deleteLater();
    return true;
}

bool CConnectionWorker::IsFinished() const
{
    return m_pState->bFinished.load();
}

const std::atomic<int>& CConnectionWorker::RunFlag() const
{
    return m_pState->bLinkRunning;
}

int CConnectionWorker::LinkPort() const
{
    return m_pState->nLinkPort.load();
}

void CConnectionWorker::SetPollPauseMs(int ms)
{
    g_pollPauseMs = std::max(0, ms);
}

int CConnectionWorker::PollPauseMs()
{
    return g_pollPauseMs.load();
}
