#pragma once
// The part of the plug-in catalogue that the connection worker reads and writes from its own
// thread: the plug-in paths and model names in catalogue order and the selected index (-1 for
// none). The "Select Model DLL" page owns it and keeps it in step with its catalogue; the worker
// takes a snapshot under the lock and, in automatic mode, sets the selected index back to 0.
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

struct SCatalogueSnapshot
{
    QStringList paths;
    QStringList modelNames;
    int nSelected = -1;
};

class CCatalogueSelection
{
public:
    void SetEntries(const QStringList& paths, const QStringList& modelNames)
    {
        QMutexLocker lock(&m_lock);
        m_data.paths = paths;
        m_data.modelNames = modelNames;
    }
    void SetSelectedIndex(int index)
    {
        QMutexLocker lock(&m_lock);
        m_data.nSelected = index;
    }
    int SelectedIndex() const
    {
        QMutexLocker lock(&m_lock);
        return m_data.nSelected;
    }
    SCatalogueSnapshot Snapshot() const
    {
        QMutexLocker lock(&m_lock);
        return m_data;
    }

private:
    mutable QMutex m_lock;
    SCatalogueSnapshot m_data;
};
