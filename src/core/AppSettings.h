#pragma once
// theSettings: the user's remembered choices and the run-time state shared by every part of
// the program. Persistent fields are loaded once at start-up and saved once at exit.
//
// Threads: the user-interface thread owns the object. The connection worker writes
// m_nPortNum, m_strDllFile, m_strModelName and edits m_portList; numbers shared with it are
// atomics, and strings and the port list are handed over under m_lock.
#include "serial/PortList.h"

#include <QMutex>
#include <QString>

#include <atomic>

class CAppSettings
{
public:
    CAppSettings() = default;
    virtual ~CAppSettings() = default;
    CAppSettings(const CAppSettings&) = delete;
    CAppSettings& operator=(const CAppSettings&) = delete;

    void Load();
    void Save() const;
    // Back to the values of a freshly constructed object (tests).
    void Reset();

    // Locked access to the string fields that the connection worker writes.
    QString Get(const QString CAppSettings::*field) const;
    void Set(QString CAppSettings::*field, const QString& value);

    QString m_strVersion;
    qint32 m_nLastDirection = -1;
    qint32 m_nLastSelectNam = -1;
    qint32 m_nLastWindowX = -1;
    qint32 m_nLastWindowY = -1;
    qint32 m_nLastOperation = -1;
    QString m_strLastEriFile;
    QString m_strLastPrlFile;
    QString m_strLastScrFile;
    QString m_strLastBinFile;
    QString m_strLastCsvFile;
    std::atomic<qint32> m_bSelectingModelDll{0};
    std::atomic<qint32> m_bAutoModelDll{1};
    QString m_strDllFile;
    QString m_strInstallDir;
    QString m_strDllVersion;
    std::atomic<qint32> m_bBusy{0};
    std::atomic<qint32> m_nPortNum{-1};
    CPortList m_portList;
    QString m_strModelName;

    mutable QRecursiveMutex m_lock;
};

extern CAppSettings theSettings;

// "N/A" and the empty string both mean that no plug-in is selected.
bool IsDllSelected(const QString& dllFile);
