// Host services of one plug-in run.
//
//   plug-in thread                         user-interface thread (the page's thread)
//   PostPageMessage ── PostMessage ──────▶ page->OnMessage(WM_PLUGIN_NOTIFY, ...)
//   SetStatusText   ── queued copy ──────▶ display->SetStatusText(copy)
//   GetPortDevice   ── looked up on the calling thread (discovery is thread-safe)
//   ListSetText     ── queued call ──────▶ list->SetText(...)  ──┐
//        waits (10 ms steps) until done ◀───────────────────────┘
//        or until the run is released (then -1)
//
// On the page's own thread every service runs at once. The waiting services give up as soon as
// the release starts, because the user-interface thread then blocks in ReleaseRs until the
// plug-in's threads end; waiting for it there would deadlock.
#include "PluginRun.h"

#include "plugin/ByteText.h"
#include "serial/PortDiscovery.h"

#include <QLoggingCategory>
#include <QMetaObject>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {
Q_LOGGING_CATEGORY(lcPlugin, "qpx.plugin")

std::atomic<int> g_releaseWaitMs{1000};

// Shared by the run and every call still in flight; outlives both.
struct SRunState
{
    std::atomic<bool> bReleasing{false};
    std::mutex mutex;         // guards the pointers below against the run's end
    QObject* pPage = nullptr; // cleared when the run object goes away
    IPluginStatusDisplay* pDisplay = nullptr;
};

// One waiting call: done when the user-interface thread ran it, or when the queued functor was
// dropped without running (the page went away).
struct SCall
{
    std::mutex mutex;
    std::condition_variable cv;
    bool bDone = false;
    int32_t nResult = -1;

    void Finish(int32_t result)
    {
        std::lock_guard lock(mutex);
        if (!bDone) {
            bDone = true;
            nResult = result;
            cv.notify_all();
        }
    }
};

// Lives inside the queued functor; releases the waiter even if the functor never runs.
struct SCallGuard
{
    std::shared_ptr<SCall> call;
    explicit SCallGuard(std::shared_ptr<SCall> c) : call(std::move(c)) {}
    ~SCallGuard() { call->Finish(-1); }
};

QString Text(const char* text)
{
    return text == nullptr ? QString() : QString::fromUtf8(text);
}

// A list cell's text: bytes kept as they are (ByteText.h), so ListGetText gives back exactly
// what ListSetText put in, also for an 8-bit code page.
QString CellText(const char* text)
{
    return text == nullptr ? QString() : TextFromBytes(QByteArrayView(text));
}

// Copies like snprintf; returns the full length.
int32_t CopyOut(const QByteArray& bytes, char* buffer, uint32_t bufferSize)
{
    if (buffer != nullptr && bufferSize > 0) {
        const uint32_t n = std::min<uint32_t>(bufferSize - 1, static_cast<uint32_t>(bytes.size()));
        std::memcpy(buffer, bytes.constData(), n);
        buffer[n] = '\0';
    }
    return static_cast<int32_t>(bytes.size());
}

} // namespace

struct SPluginWindow
{
    QpxWindow window; // must stay first: the plug-in sees only this
    std::shared_ptr<SRunState> state;
};

// The list handle a phonebook or settings export receives.
struct QpxList
{
    std::shared_ptr<SRunState> state;
    IPluginList* pList;
};

namespace {

SPluginWindow* Owner(QpxWindow* page)
{
    // QpxWindow is the first member, so the addresses coincide.
    return reinterpret_cast<SPluginWindow*>(page);
}

// Runs fn on the page's thread and returns its result; -1 when the run is being released or the
// page is gone.
int32_t RunOnUi(const std::shared_ptr<SRunState>& state, std::function<int32_t()> fn)
{
    QObject* page = nullptr;
    {
        std::lock_guard lock(state->mutex);
        page = state->pPage;
    }
    if (page == nullptr)
        return -1;
    if (page->thread() == QThread::currentThread())
        return fn();
    if (state->bReleasing.load())
        return -1;

    auto call = std::make_shared<SCall>();
    auto guard = std::make_shared<SCallGuard>(call);
    QMetaObject::invokeMethod(
        page,
        [guard, state, fn = std::move(fn)]() {
            const int32_t r = state->bReleasing.load() ? -1 : fn();
            guard->call->Finish(r);
        },
        Qt::QueuedConnection);
    guard.reset();

    std::unique_lock lock(call->mutex);
    while (!call->bDone) {
        if (state->bReleasing.load())
            return -1;
        call->cv.wait_for(lock, std::chrono::milliseconds(10));
    }
    return call->nResult;
}

// Queues a display change (runs at once on the page's thread).
void ToDisplay(QpxWindow* page, std::function<void(IPluginStatusDisplay*)> fn)
{
    if (page == nullptr)
        return;
    std::shared_ptr<SRunState> state = Owner(page)->state;
    QObject* receiver = nullptr;
    {
        std::lock_guard lock(state->mutex);
        receiver = state->pPage;
        if (receiver == nullptr || state->pDisplay == nullptr)
            return;
    }
    auto apply = [state, fn = std::move(fn)]() {
        IPluginStatusDisplay* display = nullptr;
        {
            std::lock_guard lock(state->mutex);
            display = state->pDisplay;
        }
        if (display != nullptr)
            fn(display);
    };
    if (receiver->thread() == QThread::currentThread())
        apply();
    else
        QMetaObject::invokeMethod(receiver, std::move(apply), Qt::QueuedConnection);
}

// ---- the services ----------------------------------------------------------------------------

int32_t SvcPostPageMessage(QpxWindow* page, uint32_t msg, uintptr_t wParam, intptr_t lParam)
{
    if (page == nullptr)
        return 0;
    SRunState& state = *Owner(page)->state;
    std::lock_guard lock(state.mutex);
    if (state.pPage == nullptr)
        return 0;
    return PostMessage(state.pPage, msg, wParam, lParam) ? 1 : 0;
}

void SvcSetProgress(QpxWindow* page, int32_t percent)
{
    const int p = std::clamp<int32_t>(percent, 0, 100);
    ToDisplay(page, [p](IPluginStatusDisplay* d) { d->SetProgress(p); });
}

void SvcSetStatusText(QpxWindow* page, const char* text)
{
    ToDisplay(page, [t = Text(text)](IPluginStatusDisplay* d) { d->SetStatusText(t); });
}

void SvcSetFileName(QpxWindow* page, const char* text)
{
    ToDisplay(page, [t = Text(text)](IPluginStatusDisplay* d) { d->SetFileName(t); });
}

void SvcSetAddress(QpxWindow* page, const char* text)
{
    ToDisplay(page, [t = Text(text)](IPluginStatusDisplay* d) { d->SetAddress(t); });
}

void SvcSetElapsed(QpxWindow* page, int32_t minutes, float seconds)
{
    ToDisplay(page, [minutes, seconds](IPluginStatusDisplay* d) { d->SetElapsed(minutes, seconds); });
}

int32_t SvcGetPortDevice(QpxWindow* page, int32_t port, char* buffer, uint32_t bufferSize)
{
    if (page == nullptr)
        return -1;
    // Discovery only reads the virtual-port folder and sysfs under its own locks, so the look-up
    // runs on the caller's thread and never waits for the user-interface thread.
    const QString path = DevicePathOfPort(port);
    if (path.isEmpty())
        return -1;
    return CopyOut(path.toUtf8(), buffer, bufferSize);
}

int32_t OnList(QpxList* list, std::function<int32_t(IPluginList*)> fn)
{
    if (list == nullptr || list->pList == nullptr)
        return -1;
    IPluginList* target = list->pList;
    return RunOnUi(list->state, [target, fn = std::move(fn)]() { return fn(target); });
}

int32_t SvcListRowCount(QpxList* list)
{
    return OnList(list, [](IPluginList* l) { return l->RowCount(); });
}

int32_t SvcListColumnCount(QpxList* list)
{
    return OnList(list, [](IPluginList* l) { return l->ColumnCount(); });
}

int32_t SvcListGetText(QpxList* list, int32_t row, int32_t column, char* buffer, uint32_t bufferSize)
{
    QString text;
    const int32_t ok = OnList(list, [&text, row, column](IPluginList* l) -> int32_t {
        if (row < 0 || row >= l->RowCount() || column < 0 || column >= l->ColumnCount())
            return -1;
        text = l->Text(row, column);
        return 1;
    });
    if (ok < 0)
        return -1;
    return CopyOut(BytesFromText(text), buffer, bufferSize);
}

int32_t SvcListSetText(QpxList* list, int32_t row, int32_t column, const char* text)
{
    return OnList(list,
                  [row, column, t = CellText(text)](IPluginList* l) { return l->SetText(row, column, t); });
}

int32_t SvcListInsertRow(QpxList* list, int32_t row, const char* text)
{
    return OnList(list, [row, t = CellText(text)](IPluginList* l) { return l->InsertRow(row, t); });
}

int32_t SvcListDeleteRow(QpxList* list, int32_t row)
{
    return OnList(list, [row](IPluginList* l) { return l->DeleteRow(row); });
}

int32_t SvcListDeleteAllRows(QpxList* list)
{
    return OnList(list, [](IPluginList* l) { return l->DeleteAllRows(); });
}

int32_t SvcGridAddComboEditor(QpxList* list, int32_t row, int32_t column, const char* const* texts,
                              int32_t count)
{
    if (count < 0 || (count > 0 && texts == nullptr))
        return -1;
    QStringList choices;
    for (int32_t i = 0; i < count; ++i)
        choices.append(CellText(texts[i]));
    return OnList(list,
                  [row, column, choices](IPluginList* l) { return l->AddComboEditor(row, column, choices); });
}

int32_t SvcGridAddEditEditor(QpxList* list, int32_t row, int32_t column, const char* allowedChars,
                             int32_t minLength, int32_t byteWidth)
{
    return OnList(list, [row, column, a = Text(allowedChars), minLength, byteWidth](IPluginList* l) {
        return l->AddEditEditor(row, column, a, minLength, byteWidth, 0);
    });
}

int32_t SvcGridAddTextEditor(QpxList* list, int32_t row, int32_t column, const char* allowedChars,
                             int32_t minLength, int32_t maxBytes)
{
    return OnList(list, [row, column, a = Text(allowedChars), minLength, maxBytes](IPluginList* l) {
        return l->AddEditEditor(row, column, a, minLength, 0, maxBytes);
    });
}

int32_t SvcGridAddIpEditor(QpxList* list, int32_t row, int32_t column)
{
    return OnList(list, [row, column](IPluginList* l) { return l->AddIpEditor(row, column); });
}

int32_t SvcGridClearEditors(QpxList* list)
{
    return OnList(list, [](IPluginList* l) { return l->ClearEditors(); });
}

const QpxHostServices g_services = {
    sizeof(QpxHostServices), QPX_HOST_SERVICES_VERSION, &SvcPostPageMessage, &SvcSetProgress,
    &SvcSetStatusText,       &SvcSetFileName,           &SvcSetAddress,      &SvcSetElapsed,
    &SvcGetPortDevice,       &SvcListRowCount,          &SvcListColumnCount, &SvcListGetText,
    &SvcListSetText,         &SvcListInsertRow,         &SvcListDeleteRow,   &SvcListDeleteAllRows,
    &SvcGridAddComboEditor,  &SvcGridAddEditEditor,     &SvcGridAddIpEditor, &SvcGridClearEditors,
    &SvcGridAddTextEditor,
};

std::unique_ptr<SPluginWindow> NewWindow(QObject* page, IPluginStatusDisplay* display)
{
    auto w = std::make_unique<SPluginWindow>();
    w->window.host = &g_services;
    w->state = std::make_shared<SRunState>();
    w->state->pPage = page;
    w->state->pDisplay = display;
    return w;
}

// From here calls of a plug-in thread through this window find nothing to act on.
void CutOff(SRunState& state)
{
    state.bReleasing = true;
    std::lock_guard lock(state.mutex);
    state.pPage = nullptr;
    state.pDisplay = nullptr;
}

// What a plug-in thread may still use after its run: kept until the process ends, never freed.
struct SKeptRuns
{
    std::vector<HMODULE> modules;
    std::vector<std::unique_ptr<SPluginWindow>> windows;
    std::vector<std::unique_ptr<QpxList>> lists;
};

SKeptRuns& Kept()
{
    static auto* kept = new SKeptRuns; // not destroyed at exit: a plug-in thread may outlive main()
    return *kept;
}

// Keeps the library loaded for the rest of the program; true the first time for this library.
bool KeepLoaded(HMODULE module)
{
    std::vector<HMODULE>& modules = Kept().modules;
    if (std::find(modules.begin(), modules.end(), module) != modules.end()) {
        ModuleFree(module); // kept since an earlier run: only this run's own reference goes
        return false;
    }
    modules.push_back(module);
    return true;
}

const CPluginRun* g_pRunInProgress = nullptr;   // user-interface thread only
std::function<void()> g_runStarted, g_runEnded; // user-interface thread only

} // namespace

const QpxHostServices* CPluginRun::HostServices()
{
    return &g_services;
}

CPluginRun::CPluginRun(QObject* page, IPluginStatusDisplay* display)
    : m_pPage(page), m_pWindow(NewWindow(page, display)), m_pDisplay(display)
{
}

CPluginRun::~CPluginRun()
{
    Unload();
    CutOff(*m_pWindow->state);
}

bool CPluginRun::Load(const QString& path)
{
    Unload();
    m_hModule = ModuleLoad(path);
    if (m_hModule == nullptr) {
        qCWarning(lcPlugin) << "cannot load" << path << ModuleLastError();
        return false;
    }
    m_strPath = path;
    // A fresh state per run: a late call of an earlier run stays cut off.
    auto state = std::make_shared<SRunState>();
    state->pPage = m_pPage.data();
    state->pDisplay = m_pDisplay;
    CutOff(*m_pWindow->state);
    m_pWindow->state = state;
    return true;
}

QpxWindow* CPluginRun::Window()
{
    if (m_hModule != nullptr && !m_bInProgress) {
        m_bInProgress = true;
        m_started.start();
        g_pRunInProgress = this;
        if (g_runStarted)
            g_runStarted();
    }
    return &m_pWindow->window;
}

qint64 CPluginRun::ElapsedMs() const
{
    return m_bInProgress ? m_started.elapsed() : 0;
}

const CPluginRun* CPluginRun::RunInProgress()
{
    return g_pRunInProgress != nullptr && !g_pRunInProgress->IsReleasing() ? g_pRunInProgress : nullptr;
}

void CPluginRun::SetRunHooks(std::function<void()> started, std::function<void()> ended)
{
    g_runStarted = std::move(started);
    g_runEnded = std::move(ended);
}

void CPluginRun::EndProgress()
{
    const bool wasInProgress = m_bInProgress;
    m_bInProgress = false;
    if (g_pRunInProgress == this)
        g_pRunInProgress = nullptr;
    if (wasInProgress && g_runEnded)
        g_runEnded();
}

void CPluginRun::KeepRun()
{
    CutOff(*m_pWindow->state);
    SKeptRuns& kept = Kept();
    kept.windows.push_back(std::move(m_pWindow));
    for (std::unique_ptr<QpxList>& list : m_lists)
        kept.lists.push_back(std::move(list));
    m_lists.clear();
    m_pWindow = NewWindow(m_pPage.data(), m_pDisplay);
    m_pWindow->state->bReleasing = true; // until the next Load, as after any release
    m_hModule = nullptr;
    EndProgress();
}

QpxList* CPluginRun::AttachList(IPluginList* list)
{
    m_lists.push_back(std::make_unique<QpxList>(QpxList{m_pWindow->state, list}));
    return m_lists.back().get();
}

QpxRect CPluginRun::ToQpxRect(const QRect& rect)
{
    return QpxRect{rect.left(), rect.top(), rect.right(), rect.bottom()};
}

OperationResult CPluginRun::CopyResult(LPARAM lParam)
{
    OperationResult copy;
    std::memset(&copy, 0, sizeof copy);
    if (lParam != 0) {
        std::memcpy(&copy, reinterpret_cast<const void*>(lParam), sizeof copy);
    } else {
        // A completion without its record is a failure the page shows and logs in words.
        static const char text[] = "The plug-in reported no result.";
        std::memcpy(copy.szMessage, text, sizeof text);
        std::memcpy(copy.szStatus, text, sizeof text);
    }
    // The texts are shown as C strings: never read past an array.
    copy.szMessage[sizeof copy.szMessage - 1] = '\0';
    copy.szStatus[sizeof copy.szStatus - 1] = '\0';
    copy.szFileName[sizeof copy.szFileName - 1] = '\0';
    copy.szAddress[sizeof copy.szAddress - 1] = '\0';
    return copy;
}

void CPluginRun::ReleaseAndUnload()
{
    if (!CallReleaseRs())
        return;
    const int waitMs = ReleaseWaitMs();
    if (waitMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    UnloadAfterRelease();
}

void CPluginRun::ReleaseThen(std::function<void()> then)
{
    if (m_bWaiting) // released already: its wait ends the run
        return;
    if (!CallReleaseRs()) {
        then();
        return;
    }
    m_bWaiting = true;
    if (!m_pWaitContext)
        m_pWaitContext = std::make_unique<QObject>();
    QTimer::singleShot(ReleaseWaitMs(), m_pWaitContext.get(), [this, then = std::move(then)] {
        if (m_bWaiting)
            UnloadAfterRelease();
        then(); // may end in this run's destruction: nothing of it is touched after
    });
}

bool CPluginRun::CallReleaseRs()
{
    if (m_hModule == nullptr)
        return false;
    // From here a plug-in thread that waits for this thread gets -1 instead.
    m_pWindow->state->bReleasing = true;
    if (const auto release = ModuleFunction<PFN_ReleaseRs>(m_hModule, QPX_SYM_RELEASE_RS))
        release(&m_pWindow->window);
    return true;
}

void CPluginRun::UnloadAfterRelease()
{
    m_bWaiting = false;
    if (ModuleFunction<PFN_ReleaseRs>(m_hModule, QPX_SYM_RELEASE_RS) == nullptr && m_bInProgress) {
        // Only ReleaseRs can tell that the plug-in's threads have ended.
        if (KeepLoaded(m_hModule))
            qCWarning(lcPlugin).noquote() << m_strPath
                                          << "exports no ReleaseRs: it stays loaded until the program ends, "
                                             "as a thread it started may still run";
        KeepRun();
        return;
    }
    EndProgress();
    Unload();
}

void CPluginRun::Unload()
{
    const bool waiting = std::exchange(m_bWaiting, false);
    if (m_bInProgress) {
        qCWarning(lcPlugin).noquote()
            << "the run of" << m_strPath
            << (waiting ? "was released but its wait has not ended:" : "has not ended:")
            << "the plug-in stays loaded until the program ends";
        KeepLoaded(m_hModule);
        KeepRun();
        return;
    }
    if (m_hModule != nullptr) {
        m_pWindow->state->bReleasing = true;
        ModuleFree(m_hModule);
        m_hModule = nullptr;
    }
    m_lists.clear();
}

bool CPluginRun::IsReleasing() const
{
    return m_pWindow->state->bReleasing.load();
}

void CPluginRun::SetReleaseWaitMs(int ms)
{
    g_releaseWaitMs = std::max(0, ms);
}

int CPluginRun::ReleaseWaitMs()
{
    return g_releaseWaitMs.load();
}
