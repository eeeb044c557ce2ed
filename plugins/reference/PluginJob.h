#pragma once
// One operation of the plug-in, run on the plug-in's own work thread:
//
//   export (UI thread) → StartJob(page, port, dll, work) → returns at once
//   work thread: work(job) → job fills the OperationResult → PLUGIN_DONE posted once
//   ReleaseRs (UI thread) → JoinJob()
//
// The job draws progress through the host services and turns every failure into one sentence a
// technician understands. A job succeeds only when its work says so, and its work says so only
// for what it checked.
#include "DiagLink.h"
#include "qpx_plugin.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <functional>

class CPluginJob
{
public:
    CPluginJob(QpxWindow* page, int port, const QString& dllPath, OperationResult& result);

    void Progress(int percent);
    void Status(const QString& text);
    void FileName(const QString& text);
    void Address(const QString& text);
    void ShowElapsed();

    // Records the failure (the first one counts) and returns false.
    bool Fail(const QString& message);
    // False (and Fail) when r is not OK.
    bool Check(CDiagLink::EOutcome r, const CDiagLink& link, const QString& what);
    void SetFinalStatus(const QString& text) { m_strFinalStatus = text; }
    // A folder where what the operation replaces was kept; Finish names every such folder
    // (relative to the plug-in's folder) in the status text, or in the message of a failure.
    void NoteKept(const QString& folder) { m_kept.append(folder); }
    // The kept folders lead the status text and the message of a failure instead of ending them.
    void PutKeptFirst() { m_bKeptFirst = true; }
    QString FinalStatus() const { return m_strFinalStatus; }

    // Opens the handset's port and proves the link with one version exchange; the software
    // version directory is kept. The link gets the security password of QPX_REF_PASSWORD.
    // False (and Fail) otherwise.
    bool Connect(CDiagLink& link);
    // The two halves of Connect: the port opened (with the password set), then the version asked.
    bool OpenPort(CDiagLink& link);
    bool Identify(CDiagLink& link);
    // For a handset that leaves the bus and comes back (download mode, restart): closes the port,
    // then until waitMs have passed asks the host for COM<port>'s device again, opens it and runs
    // probe. True at the first probe that is OK; else false (and Fail naming what): a probe that
    // was refused or answered wrongly, or a port that did not come back.
    bool Reopen(CDiagLink& link, const std::function<CDiagLink::EOutcome()>& probe, int waitMs,
                const QString& what);
    // Unlocks with the SPC, sent once: QPX_REF_SPC when set, else item 85 when the handset lets
    // it be read, else "000000". A rejected code is never sent again.
    bool Unlock(CDiagLink& link);

    QString PluginFolder() const;
    QString DllPath() const { return m_strDll; }
    QString SoftwareVersion() const { return m_strSoftwareVersion; }
    int Port() const { return m_nPort; }

    // Called by the runner after the work: fills the result's texts and times.
    void Finish(bool ok);

private:
    // The device path of the job's port as the host sees it now; empty when absent.
    QString PortDevice() const;

    QpxWindow* m_pPage;
    const QpxHostServices* m_pHost;
    int m_nPort;
    QString m_strDll;
    OperationResult& m_result;
    QElapsedTimer m_timer;
    QString m_strMessage;
    QString m_strFinalStatus;
    QString m_strLastStatus;
    QString m_strFileName;
    QString m_strAddress;
    QString m_strSoftwareVersion;
    QStringList m_kept;
    bool m_bKeptFirst = false;
};

// Starts work on the plug-in's thread (joining an earlier one first). Always leads to exactly
// one PLUGIN_DONE.
void StartJob(QpxWindow* page, int port, const char* dllPath, std::function<bool(CPluginJob&)> work);
// Waits for the work thread; called by ReleaseRs.
void JoinJob();
