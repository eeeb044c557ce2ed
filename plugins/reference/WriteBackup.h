#pragma once
// What a write is about to overwrite, kept beside the plug-in before the handset is touched:
//
//   <plug-in folder>/<kind>/<yyyyMMdd-HHmmss-zzz>/<name>...   the old contents, as read
//                                                /manifest.txt  one line per entry
//
// manifest.txt starts with "# <kind> backup, COM<n>, software <dir>" and holds
// "<name> size=<bytes> md5=<hex>[ <note>]" for a saved entry and "<name> none" for one the
// handset did not have. A write goes ahead only after Finish has written the manifest.
//
// Each entry is saved to the disk (and synced) on a thread of its own, a few at once, while the
// line brings the next ones; Finish waits for every save and reports the first that failed.
#include "PluginJob.h"

class CEfs2Client;

#include <QByteArray>
#include <QList>
#include <QString>

#include <deque>
#include <functional>
#include <future>

class CWriteBackup
{
public:
    CWriteBackup(CPluginJob& job, const QString& kind);

    // Saves data as name (a relative path; '/' makes sub-folders). False (and job.Fail) on error.
    bool Add(const QString& name, const QByteArray& data, const QString& note = {});
    // Records that the handset had nothing under name.
    void AddAbsent(const QString& name);
    // The handset's file at path kept as name, or recorded absent when the handset has none.
    // False (and job.Fail) when it cannot be read or saved.
    bool AddHandsetFile(CEfs2Client& efs, const QByteArray& path, const QString& name,
                        qint64 expectedSize = -1);
    // The same for several files through one window (CEfs2Client::RunFiles); starting(i) runs
    // as file i is the next to be kept.
    struct SHandsetFile
    {
        QByteArray path;
        QString name;
        qint64 expectedSize = -1;
    };
    bool AddHandsetFiles(CEfs2Client& efs, const QList<SHandsetFile>& files,
                         const std::function<void(int)>& starting = {});
    // An NV item as the handset answers it (nam -1 for an item without one), or recorded absent
    // when the handset has never set it.
    bool AddItem(CDiagLink& link, quint16 item, int nam, const QString& name);
    // Writes the manifest and tells the job where the backup is. False (and job.Fail) on error.
    bool Finish();

    QString Folder() const { return m_strFolder; }
    int Count() const { return m_nSaved; }

private:
    // Waits for the oldest save; false (and job.Fail) when it failed.
    bool WaitOldest();

    static constexpr int MAX_SAVING = 4;
    std::deque<std::future<QString>> m_saving; // the saves under way; each gives its error text
    CPluginJob& m_job;
    QString m_strFolder;
    QString m_strManifest;
    int m_nSaved = 0;
};
