#include "PluginJob.h"

#include "serial/DiagCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

std::mutex g_jobMutex;
OperationResult g_result; // stays valid and unchanged from PLUGIN_DONE until ReleaseRs

// The work thread: joined by ReleaseRs, before the next job, and at the latest when the library
// is unloaded or the process ends (a std::thread destroyed unjoined would abort the program).
struct SWorker
{
    std::thread thread;
    ~SWorker() { Join(); }
    void Join()
    {
        if (thread.joinable())
            thread.join();
    }
};
SWorker g_worker;

// Into a fixed field of the result: whole characters only, and a cut text ends in "...".
void CopyText(char* to, size_t size, const QString& text)
{
    const qsizetype room = static_cast<qsizetype>(size) - 1;
    QByteArray b = text.toLocal8Bit();
    if (b.size() > room) {
        QString t = text;
        do {
            t.chop(t.size() >= 2 && t.back().isLowSurrogate() ? 2 : 1);
            b = (t + QStringLiteral("...")).toLocal8Bit();
        } while (b.size() > room && !t.isEmpty());
        b = b.left(room);
    }
    std::memcpy(to, b.constData(), static_cast<size_t>(b.size()));
    to[b.size()] = '\0';
}

} // namespace

CPluginJob::CPluginJob(QpxWindow* page, int port, const QString& dllPath, OperationResult& result)
    : m_pPage(page), m_pHost(page != nullptr ? page->host : nullptr), m_nPort(port), m_strDll(dllPath),
      m_result(result)
{
    m_timer.start();
}

void CPluginJob::Progress(int percent)
{
    if (QPX_HAS_SERVICE(m_pHost, SetProgress))
        m_pHost->SetProgress(m_pPage, percent);
    ShowElapsed();
}

void CPluginJob::Status(const QString& text)
{
    m_strLastStatus = text;
    if (QPX_HAS_SERVICE(m_pHost, SetStatusText))
        m_pHost->SetStatusText(m_pPage, text.toLocal8Bit().constData());
}

void CPluginJob::FileName(const QString& text)
{
    m_strFileName = text;
    if (QPX_HAS_SERVICE(m_pHost, SetFileName))
        m_pHost->SetFileName(m_pPage, text.toLocal8Bit().constData());
}

void CPluginJob::Address(const QString& text)
{
    m_strAddress = text;
    if (QPX_HAS_SERVICE(m_pHost, SetAddress))
        m_pHost->SetAddress(m_pPage, text.toLocal8Bit().constData());
}

void CPluginJob::ShowElapsed()
{
    const qint64 ms = m_timer.elapsed();
    if (QPX_HAS_SERVICE(m_pHost, SetElapsed))
        m_pHost->SetElapsed(m_pPage, static_cast<int32_t>(ms / 60000),
                            static_cast<float>(ms % 60000) / 1000.0f);
}

bool CPluginJob::Fail(const QString& message)
{
    if (m_strMessage.isEmpty())
        m_strMessage = message;
    return false;
}

bool CPluginJob::Check(CDiagLink::EOutcome r, const CDiagLink& link, const QString& what)
{
    return r == CDiagLink::OK || Fail(link.Problem(r, what));
}

QString CPluginJob::PortDevice() const
{
    char path[512] = {};
    const int32_t n = QPX_HAS_SERVICE(m_pHost, GetPortDevice)
                          ? m_pHost->GetPortDevice(m_pPage, m_nPort, path, sizeof path)
                          : -1;
    if (n <= 0 || n >= static_cast<int32_t>(sizeof path))
        return {};
    return QString::fromLocal8Bit(path);
}

bool CPluginJob::Reopen(CDiagLink& link, const std::function<CDiagLink::EOutcome()>& probe, int waitMs,
                        const QString& what)
{
    link.Close();
    QElapsedTimer t;
    t.start();
    bool opened = false;
    CDiagLink::EOutcome r = CDiagLink::NO_ANSWER;
    for (;;) {
        const QString path = PortDevice();
        // The last attempt decides the words: a port still there in the first moments may be
        // the one that is about to go.
        opened = false;
        if (!path.isEmpty() && link.Open(path)) {
            opened = true;
            r = probe();
            if (r == CDiagLink::OK)
                return true;
            // A handset that answers, but not as hoped, will not change its mind.
            if (r == CDiagLink::REFUSED || r == CDiagLink::UNEXPECTED)
                return Check(r, link, what);
            link.Close();
        }
        if (t.elapsed() >= waitMs)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!opened)
        return Fail(QStringLiteral("The handset did not come back on COM%1 within %2 seconds (%3).")
                        .arg(m_nPort)
                        .arg((waitMs + 999) / 1000)
                        .arg(what));
    return Check(r, link, what);
}

bool CPluginJob::Connect(CDiagLink& link)
{
    return OpenPort(link) && Identify(link);
}

bool CPluginJob::OpenPort(CDiagLink& link)
{
    Status(QStringLiteral("Connecting to the handset"));
    const QString path = PortDevice();
    if (path.isEmpty())
        return Fail(
            QStringLiteral("COM%1 is not present. Connect the handset and choose its port.").arg(m_nPort));
    // The technician's settings for a handset with a security password (README.md).
    const QByteArray password = qgetenv("QPX_REF_PASSWORD").trimmed();
    if (!password.isEmpty()) {
        static const QRegularExpression hex16(QStringLiteral("^[0-9A-Fa-f]{16}$"));
        if (!hex16.match(QString::fromLatin1(password)).hasMatch())
            return Fail(
                QStringLiteral("QPX_REF_PASSWORD must hold the 16 hexadecimal digits of the handset's "
                               "security password."));
        link.SetPassword(QByteArray::fromHex(password));
    }
    if (!link.Open(path))
        return Fail(QStringLiteral("COM%1 cannot be opened: %2").arg(m_nPort).arg(link.OpenError()));
    return true;
}

bool CPluginJob::Identify(CDiagLink& link)
{
    QByteArray answer;
    // The first exchange may meet a handset still restarting: give it a few chances.
    CDiagLink::EOutcome r = CDiagLink::NO_ANSWER;
    for (int attempt = 0; attempt < 3 && r != CDiagLink::OK; ++attempt)
        r = link.Request(QByteArray(1, CMD_VERSION), answer);
    if (!Check(r, link, QStringLiteral("version")))
        return false;
    if (answer.size() < 47)
        return Fail(QStringLiteral("The handset's version answer is too short."));
    m_strSoftwareVersion = QString::fromLatin1(answer.mid(39, 8)).remove(QChar(0)).trimmed();
    return true;
}

bool CPluginJob::Unlock(CDiagLink& link)
{
    QByteArray data;
    quint16 status = 0xFFFF;
    QByteArray spc("000000");
    const QByteArray given = qgetenv("QPX_REF_SPC").trimmed();
    static const QRegularExpression six(QStringLiteral("^[0-9]{6}$"));
    if (!given.isEmpty()) {
        if (!six.match(QString::fromLatin1(given)).hasMatch())
            return Fail(
                QStringLiteral("QPX_REF_SPC must hold the handset's six-digit service programming code."));
        spc = given;
    } else if (link.NvRead(85, -1, data, status) == CDiagLink::OK && status == 0 &&
               six.match(QString::fromLatin1(data.left(6))).hasMatch()) {
        spc = data.left(6);
    }
    bool accepted = false;
    if (!Check(link.SendSpc(spc, accepted), link, QStringLiteral("service programming code")))
        return false;
    // A rejected code is not tried again: handsets may lock themselves after a few.
    return accepted || Fail(QStringLiteral("The handset rejected the service programming code."));
}

QString CPluginJob::PluginFolder() const
{
    return QFileInfo(m_strDll).absolutePath();
}

void CPluginJob::Finish(bool ok)
{
    std::memset(&m_result, 0, sizeof m_result);
    ok = ok && m_strMessage.isEmpty();
    m_result.nResult = ok ? -1 : 0;
    const qint64 ms = m_timer.elapsed();
    m_result.nMinutes = static_cast<int32_t>(ms / 60000);
    m_result.fSeconds = static_cast<float>(ms % 60000) / 1000.0f;
    QString status = m_strFinalStatus;
    QStringList kept;
    for (const QString& f : std::as_const(m_kept))
        kept << QDir(PluginFolder()).relativeFilePath(f);
    if (ok && !kept.isEmpty() && m_bKeptFirst) {
        status = QStringLiteral("Previous contents kept beside the plug-in in ") +
                 kept.join(QStringLiteral(", ")) + QStringLiteral("; ") + status;
    } else if (ok && !kept.isEmpty()) {
        const QString full = status + QStringLiteral("; previous contents kept beside the plug-in in ") +
                             kept.join(QStringLiteral(", "));
        // A run of several writes may not fit the field with every folder: the kinds then
        // point to the newest folder of each, beside the plug-in.
        QStringList kinds;
        for (const QString& k : std::as_const(kept))
            kinds << k.section(QLatin1Char('/'), 0, 0);
        status =
            full.toLocal8Bit().size() < static_cast<qsizetype>(sizeof m_result.szStatus)
                ? full
                : status + QStringLiteral("; previous contents kept in ") + kinds.join(QStringLiteral(", "));
    }
    if (!ok) {
        if (m_strMessage.isEmpty())
            m_strMessage = QStringLiteral("The operation did not complete.");
        if (!kept.isEmpty()) {
            const QString where =
                QStringLiteral("The handset's previous contents are kept beside the plug-in in %1.")
                    .arg(kept.join(QStringLiteral(", ")));
            m_strMessage = m_bKeptFirst ? where + QLatin1Char(' ') + m_strMessage
                                        : m_strMessage + QLatin1Char(' ') + where;
        }
        status = QStringLiteral("Failed: ") + m_strMessage;
    }
    CopyText(m_result.szMessage, sizeof m_result.szMessage, ok ? QString() : m_strMessage);
    CopyText(m_result.szStatus, sizeof m_result.szStatus, status);
    CopyText(m_result.szFileName, sizeof m_result.szFileName, m_strFileName);
    CopyText(m_result.szAddress, sizeof m_result.szAddress, m_strAddress);
    Status(status);
    if (ok)
        Progress(100);
    ShowElapsed();
}

void StartJob(QpxWindow* page, int port, const char* dllPath, std::function<bool(CPluginJob&)> work)
{
    std::lock_guard<std::mutex> lock(g_jobMutex);
    g_worker.Join();
    const QString dll = QString::fromLocal8Bit(dllPath != nullptr ? dllPath : "");
    auto run = [page, port, dll, work = std::move(work)]() {
        CPluginJob job(page, port, dll, g_result);
        bool ok = false;
        try {
            ok = work(job);
        } catch (...) {
            job.Fail(QStringLiteral("The plug-in ran out of memory."));
        }
        job.Finish(ok);
        if (page != nullptr && QPX_HAS_SERVICE(page->host, PostPageMessage))
            page->host->PostPageMessage(page, WM_PLUGIN_NOTIFY, PLUGIN_DONE,
                                        reinterpret_cast<intptr_t>(&g_result));
    };
    try {
        g_worker.thread = std::thread(run);
    } catch (...) {
        std::memset(&g_result, 0, sizeof g_result);
        CopyText(g_result.szMessage, sizeof g_result.szMessage,
                 QStringLiteral("The plug-in could not start its work thread."));
        if (page != nullptr && QPX_HAS_SERVICE(page->host, PostPageMessage))
            page->host->PostPageMessage(page, WM_PLUGIN_NOTIFY, PLUGIN_DONE,
                                        reinterpret_cast<intptr_t>(&g_result));
    }
}

void JoinJob()
{
    std::lock_guard<std::mutex> lock(g_jobMutex);
    g_worker.Join();
}
