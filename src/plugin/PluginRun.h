#pragma once
// One use of a model plug-in by an operation page: the library is loaded for the run and
// released after it; the page's window object (QpxWindow) and the host services table that the
// plug-in calls live here.
//
// A library is never unloaded while a thread it started may still run code of it: handing the
// window to the plug-in starts the run, and only a returned ReleaseRs ends it. A run that cannot
// end that way (no ReleaseRs, or abandoned because its page goes away first) keeps its library,
// window and list handles until the program ends, cut off from the page.
//
// Host services may be called from any thread; they are carried out on the user-interface
// thread. Display calls return at once; list calls wait for the user-interface thread, so a
// plug-in must have made its last list call before it posts PLUGIN_DONE.
#include "platform/Module.h"
#include "platform/WindowMessage.h"
#include "qpx_plugin.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// The page's live display inside the status rectangle.
class IPluginStatusDisplay
{
public:
    virtual void SetProgress(int percent) = 0;
    virtual void SetStatusText(const QString& text) = 0;
    virtual void SetFileName(const QString& text) = 0;
    virtual void SetAddress(const QString& text) = 0;
    virtual void SetElapsed(int minutes, float seconds) = 0;

protected:
    ~IPluginStatusDisplay() = default;
};

// The list a phonebook or settings export works on. Out-of-range calls return -1.
class IPluginList
{
public:
    virtual int RowCount() const = 0;
    virtual int ColumnCount() const = 0;
    virtual QString Text(int row, int column) const = 0;
    virtual int SetText(int row, int column, const QString& text) = 0;
    virtual int InsertRow(int row, const QString& text) = 0; // -1 appends; returns the index
    virtual int DeleteRow(int row) = 0;
    virtual int DeleteAllRows() = 0;
    // Editor definitions (settings grid only; others return -1).
    virtual int AddComboEditor(int row, int column, const QStringList& texts) = 0;
    // byteWidth: the number rule (0: none); maxBytes: the most UTF-8 bytes of the text (0: any).
    virtual int AddEditEditor(int row, int column, const QString& allowed, int minLength, int byteWidth,
                              int maxBytes) = 0;
    virtual int AddIpEditor(int row, int column) = 0;
    virtual int ClearEditors() = 0;

protected:
    ~IPluginList() = default;
};

struct SPluginWindow;

class CPluginRun
{
public:
    // page receives WM_PLUGIN_NOTIFY; display (may be null) shows the live status.
    CPluginRun(QObject* page, IPluginStatusDisplay* display);
    ~CPluginRun();
    CPluginRun(const CPluginRun&) = delete;
    CPluginRun& operator=(const CPluginRun&) = delete;

    bool Load(const QString& path);
    bool IsLoaded() const { return m_hModule != nullptr; }
    // True from handing out the window until the run is released or abandoned: a thread of the
    // plug-in may be running.
    bool IsInProgress() const { return m_bInProgress; }
    // Milliseconds since the run in progress started.
    qint64 ElapsedMs() const;
    // The run of any page whose plug-in has not been released yet (one operation runs at a time),
    // or null.
    static const CPluginRun* RunInProgress();
    // Called on the user-interface thread as any run starts (its window is handed out, before the
    // export runs) and as it ends (released or abandoned): the host keeps other programs off the
    // handset meanwhile. Empty functions call nothing.
    static void SetRunHooks(std::function<void()> started, std::function<void()> ended);
    HMODULE Module() const { return m_hModule; }
    void* Symbol(const char* name) const { return ModuleSymbol(m_hModule, name); }
    template <typename Fn> Fn Function(const char* name) const { return reinterpret_cast<Fn>(Symbol(name)); }

    // The page object handed to the plug-in as its first argument; handing it out starts the run.
    QpxWindow* Window();
    // A list handle for the phonebook or settings export, valid until the run is released.
    QpxList* AttachList(IPluginList* list);
    static QpxRect ToQpxRect(const QRect& rect);

    // The record a PLUGIN_DONE message points to, copied.
    static OperationResult CopyResult(LPARAM lParam);

    // Completion: ReleaseRs(window) when exported, wait, unload. Without ReleaseRs nothing says
    // that the plug-in's threads have ended: the library stays loaded until the program ends
    // (logged once per library). The wait blocks this thread: for programs without a window.
    void ReleaseAndUnload();
    // The same completion for a window, which keeps answering during the wait: ReleaseRs now; the
    // unloading and then then() come from this thread's event loop once the wait is over. The
    // run stays loaded and in progress meanwhile; a second call does nothing. Destroying the
    // run meanwhile abandons it (the library stays loaded) and then() never runs; an Unload
    // meanwhile abandons it too, and then() still runs.
    void ReleaseThen(std::function<void()> then);
    // Unloads a plug-in that was not started. A run in progress is abandoned instead (logged).
    void Unload();

    // True from the start of a release (or Unload) until the next Load: waiting host services
    // called from a plug-in thread then return -1 at once, and a completion has no run to end.
    bool IsReleasing() const;

    // The table every QpxWindow of this host points to.
    static const QpxHostServices* HostServices();

    // The wait between ReleaseRs and unloading (1000 ms; tests may shorten it).
    static void SetReleaseWaitMs(int ms);
    static int ReleaseWaitMs();

private:
    // The run's library, window and list handles stay until the program ends, cut off from the
    // page; the page gets a fresh window for its next run.
    void KeepRun();
    void EndProgress();
    // The two halves of a completion, before and after the wait; false: nothing is loaded.
    bool CallReleaseRs();
    void UnloadAfterRelease();

    HMODULE m_hModule = nullptr;
    QString m_strPath;
    QPointer<QObject> m_pPage;
    std::unique_ptr<SPluginWindow> m_pWindow;
    IPluginStatusDisplay* m_pDisplay;
    std::vector<std::unique_ptr<QpxList>> m_lists;
    bool m_bInProgress = false;
    bool m_bWaiting = false; // from ReleaseThen until its wait is over
    QElapsedTimer m_started;
    // Owns the timer of ReleaseThen's wait: it goes with the run.
    std::unique_ptr<QObject> m_pWaitContext;
};
