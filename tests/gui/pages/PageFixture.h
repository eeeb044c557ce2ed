#pragma once
// Shared set-up of the operation page tests: fresh settings in a folder of their own, dialogs
// answered by the test, a copy of the recording plug-in in a private MODEL folder (so TRANS_BK
// and the recorded calls belong to one test), and the main frame when a test asks for it.
#include "TestEnv.h"
#include "app/MainFrame.h"
#include "app/PageHost.h"
#include "core/AppSettings.h"
#include "platform/Dialogs.h"
#include "plugin/PluginRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <memory>

namespace pagetest {

using qpxtest::PumpUntil;

class PageFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Dialogs::SetTestMode(true);
        Dialogs::ClearRecords();
        theSettings.Reset();
        m_root = qpxtest::MakeTempDir(QStringLiteral("page"));
        theSettings.m_strInstallDir = m_root + QStringLiteral("/install/");
        QDir().mkpath(theSettings.m_strInstallDir);
        theSettings.m_nPortNum = 7;
        m_recLog = m_root + QStringLiteral("/rec.log");
        qputenv("QPX_REC_LOG", m_recLog.toLocal8Bit());
        qputenv("QPX_REC_DELAY_MS", "10");
        for (const char* name : {"QPX_REC_RESULT", "QPX_REC_MESSAGE", "QPX_REC_BINVER", "QPX_REC_BACKUP"})
            qunsetenv(name);
        CPluginRun::SetReleaseWaitMs(5);
    }

    void TearDown() override
    {
        m_frame.reset();
        theSettings.Reset();
        Dialogs::ClearRecords();
    }

    // The main frame; its start-up sets the plug-in fields, so tests choose theirs afterwards.
    CMainFrame& Frame()
    {
        if (!m_frame) {
            m_frame = std::make_unique<CMainFrame>();
            EXPECT_TRUE(m_frame->Create());
            QCoreApplication::processEvents();
        }
        return *m_frame;
    }
    CPageHost& Host() { return *Frame().PageHost(); }

    // Copies a built test plug-in into <root>/MODEL/ and selects it.
    QString InstallPlugin(const QString& target = QStringLiteral("qpx_rec_plugin"))
    {
        const QString path = m_root + QStringLiteral("/MODEL/") + target + QStringLiteral(".so");
        QDir().mkpath(m_root + QStringLiteral("/MODEL"));
        QFile::remove(path);
        EXPECT_TRUE(
            QFile::copy(QStringLiteral(QPX_TEST_PLUGIN_DIR "/") + target + QStringLiteral(".so"), path));
        theSettings.Set(&CAppSettings::m_strDllFile, path);
        m_plugin = path;
        return path;
    }

    // A file with some data below <root>/files/.
    QString MakeFile(const QString& name, const QByteArray& data = "data")
    {
        const QString path = m_root + QStringLiteral("/files/") + name;
        EXPECT_TRUE(qpxtest::WriteFile(path, data));
        return path;
    }

    // Lines the recording plug-in wrote, without its query calls.
    QStringList Calls() const
    {
        QStringList out;
        for (const QByteArray& l : qpxtest::ReadFile(m_recLog).split('\n')) {
            if (!l.isEmpty() && !l.startsWith("GetModelKind") && !l.startsWith("GetModelImage"))
                out.append(QString::fromUtf8(l));
        }
        return out;
    }
    // The one call of an export (its line starts with name); empty when there is none.
    QString CallOf(const QString& name) const
    {
        for (const QString& l : Calls())
            if (l.startsWith(name + QLatin1Char(' ')))
                return l;
        return {};
    }

    // Texts of every message box shown so far.
    static QStringList Messages()
    {
        QStringList out;
        for (const SMessageBoxRecord& r : Dialogs::Shown())
            out.append(r.strText);
        return out;
    }

    // Waits for the run to end: the completion message box is the last thing before busy clears.
    bool WaitIdle()
    {
        return PumpUntil([] { return theSettings.m_bBusy.load() == 0; }, 30000);
    }

    QString m_root;
    QString m_recLog;
    QString m_plugin; // the last plug-in installed
    std::unique_ptr<CMainFrame> m_frame;
};

} // namespace pagetest
