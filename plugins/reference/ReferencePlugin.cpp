// The exports of the reference plug-in. Every operation export copies its arguments and hands
// the work to the plug-in's work thread (PluginJob.h); ReleaseRs joins that thread.
#include "Operations.h"
#include "PluginJob.h"
#include "qpx_plugin.h"

#include <QString>
#include <QStringList>

extern "C" {

const char QpxFileVersion[] = "1, 0, 0, 1";

QPX_EXPORT const char* GetModelKind(void)
{
    return REF_MODEL_KIND;
}

QPX_EXPORT const char* GetSupportBINVersion(void)
{
    return REF_SUPPORTED_VERSION;
}

QPX_EXPORT int32_t ModelInterface_Prl(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                      int32_t nam, const char* prlPath, int32_t direction)
{
    (void)rect;
    const QString path = QString::fromLocal8Bit(prlPath != nullptr ? prlPath : "");
    const int n = nam < 0 || nam > 2 ? 0 : nam;
    StartJob(page, port, dllPath, [n, path, direction](CPluginJob& job) {
        return direction == 1 ? RunPrlRead(job, n, path) : RunPrlWrite(job, n, path);
    });
    return 0;
}

QPX_EXPORT int32_t ModelInterface_Eri(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                      int32_t nam, const char* eriPath, int32_t direction)
{
    (void)rect;
    (void)nam; // one ERI serves both NAMs
    const QString path = QString::fromLocal8Bit(eriPath != nullptr ? eriPath : "");
    StartJob(page, port, dllPath, [path, direction](CPluginJob& job) {
        return direction == 1 ? RunEriRead(job, path) : RunEriWrite(job, path);
    });
    return 0;
}

QPX_EXPORT int32_t ModelInterface_Transfer(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                           int32_t mode, uint32_t itemMask)
{
    (void)rect;
    StartJob(page, port, dllPath, [mode, itemMask](CPluginJob& job) {
        return mode == 1 ? RunTransferBackup(job, itemMask) : RunTransferRestore(job, itemMask);
    });
    return 0;
}

QPX_EXPORT int32_t ModelInterface_PhoneBook(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                            int32_t mode, const char* csvPath, QpxList* list)
{
    (void)rect;
    const QString path = QString::fromLocal8Bit(csvPath != nullptr ? csvPath : "");
    StartJob(page, port, dllPath, [mode, path, page, list](CPluginJob& job) {
        return mode == 1 ? RunPhonebookRead(job, path, page, list) : RunPhonebookWrite(job, path);
    });
    return 0;
}

QPX_EXPORT int32_t ModelInterface_Settings(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                           int32_t category, int32_t direction, int32_t reserved,
                                           QpxList* list)
{
    (void)rect;
    (void)reserved;
    StartJob(page, port, dllPath, [category, direction, page, list](CPluginJob& job) {
        return RunSettings(job, category, direction, page, list);
    });
    return 0;
}

QPX_EXPORT int32_t ModelInterface_Bin(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                      const char* binPath)
{
    (void)rect;
    const QString bin = QString::fromLocal8Bit(binPath != nullptr ? binPath : "");
    StartJob(page, port, dllPath, [bin](CPluginJob& job) { return RunBin(job, bin); });
    return 0;
}

// Upgrade: the software, then (when given) the script, the ERI and the PRL, each verified; the
// first failure ends the run.
QPX_EXPORT int32_t ModelInterface_Upgrade(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                          const char* binPath, const char* scrPath, const char* eriPath,
                                          int32_t nam, const char* prlPath)
{
    (void)rect;
    const QString bin = QString::fromLocal8Bit(binPath != nullptr ? binPath : "");
    const QString scr = QString::fromLocal8Bit(scrPath != nullptr ? scrPath : "");
    const QString eri = QString::fromLocal8Bit(eriPath != nullptr ? eriPath : "");
    const QString prl = QString::fromLocal8Bit(prlPath != nullptr ? prlPath : "");
    const int n = nam < 0 || nam > 2 ? 0 : nam;
    StartJob(page, port, dllPath, [bin, scr, eri, prl, n](CPluginJob& job) {
        QStringList done;
        const auto step = [&job, &done](bool ok) {
            if (ok)
                done << job.FinalStatus();
            return ok;
        };
        if (!step(RunBin(job, bin)) || (!scr.isEmpty() && !step(RunScript(job, scr))) ||
            (!eri.isEmpty() && !step(RunEriWrite(job, eri))) ||
            (!prl.isEmpty() && !step(RunPrlWrite(job, n, prl))))
            return false;
        job.SetFinalStatus(done.join(QStringLiteral("; ")));
        return true;
    });
    return 0;
}

// Script, then (when given) the ERI and the PRL.
QPX_EXPORT int32_t ModelInterface_Src(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                      const char* scrPath, const char* eriPath, int32_t nam,
                                      const char* prlPath)
{
    (void)rect;
    const QString scr = QString::fromLocal8Bit(scrPath != nullptr ? scrPath : "");
    const QString eri = QString::fromLocal8Bit(eriPath != nullptr ? eriPath : "");
    const QString prl = QString::fromLocal8Bit(prlPath != nullptr ? prlPath : "");
    const int n = nam < 0 || nam > 2 ? 0 : nam;
    StartJob(page, port, dllPath, [scr, eri, prl, n](CPluginJob& job) {
        QStringList done;
        if (scr.isEmpty() && eri.isEmpty() && prl.isEmpty())
            return job.Fail(QStringLiteral("No script, ERI or PRL file was given."));
        if (!scr.isEmpty()) {
            if (!RunScript(job, scr))
                return false;
            done << job.FinalStatus();
        }
        if (!eri.isEmpty()) {
            if (!RunEriWrite(job, eri))
                return false;
            done << job.FinalStatus();
        }
        if (!prl.isEmpty()) {
            if (!RunPrlWrite(job, n, prl))
                return false;
            done << job.FinalStatus();
        }
        job.SetFinalStatus(done.join(QStringLiteral("; ")));
        return true;
    });
    return 0;
}

// Refurbish: the software, then the script that sets the handset back to its delivery values
// (when given), then the user's data erased (kept beside the plug-in first).
QPX_EXPORT int32_t ModelInterface_Refurbish(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                            const char* binPath, const char* scrPath)
{
    (void)rect;
    const QString bin = QString::fromLocal8Bit(binPath != nullptr ? binPath : "");
    const QString scr = QString::fromLocal8Bit(scrPath != nullptr ? scrPath : "");
    StartJob(page, port, dllPath, [bin, scr](CPluginJob& job) {
        QStringList done;
        const auto step = [&job, &done](bool ok) {
            if (ok)
                done << job.FinalStatus();
            return ok;
        };
        if (!step(RunBin(job, bin)) || (!scr.isEmpty() && !step(RunScript(job, scr))) ||
            !step(RunUserDataReset(job)))
            return false;
        job.SetFinalStatus(done.join(QStringLiteral("; ")));
        return true;
    });
    return 0;
}

QPX_EXPORT void ReleaseRs(QpxWindow* page)
{
    (void)page;
    JoinJob();
}

} // extern "C"
