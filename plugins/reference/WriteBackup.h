#pragma once
// What a write is about to overwrite, kept beside the plug-in before the handset is touched:
//
//   <plug-in folder>/<kind>/<yyyyMMdd-HHmmss-zzz>/<name>...   the old contents, as read
//                                                /manifest.txt  one line per entry
//
// manifest.txt starts with "# <kind> backup, COM<n>, software <dir>" and holds
// "<name> size=<bytes> md5=<hex>[ <note>]" for a saved entry and "<name> none" for one the
// handset did not have. A write goes ahead only after Finish has written the manifest.
#include "PluginJob.h"

class CEfs2Client;

#include <QByteArray>
#include <QString>

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
    // An NV item as the handset answers it (nam -1 for an item without one), or recorded absent
    // when the handset has never set it.
    bool AddItem(CDiagLink& link, quint16 item, int nam, const QString& name);
    // Writes the manifest and tells the job where the backup is. False (and job.Fail) on error.
    bool Finish();

    QString Folder() const { return m_strFolder; }
    int Count() const { return m_nSaved; }

private:
    CPluginJob& m_job;
    QString m_strFolder;
    QString m_strManifest;
    int m_nSaved = 0;
};
