#pragma once
// Shared set-up of the operation page tests: a main frame with fresh settings and an
// installation folder of its own, dialogs answered by the test, and a copy of the recording
// plug-in in a private MODEL folder (so TRANS_BK and the recorded calls belong to one test).
#include "TestEnv.h"
#include "app/MainFrame.h"
#include "app/PageHost.h"
#include "core/AppSettings.h"
#include "pages/OperationLog.h"
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
        m_install = m_root + QStringLiteral("/install/");
        QDir().mkpath(m_install);
        theSettings.m_strInstallDir = m_install;
        m_recLog = m_root + QStringLiteral("/rec.log");
        qputenv("QPX_REC_LOG", m_recLog.toLocal8Bit());
        qputenv("QPX_REC_DELAY_MS", "10");
        for (const char* name :
             {"QPX_REC_RESULT", "QPX_REC_MESSAGE", "QPX_REC_BINVER", "QPX_REC_CSV_TEXT", "QPX_REC_BACKUP",
              "QPX_REC_SETTINGS_FILL", "QPX_REC_MINUTES", "QPX_REC_SECONDS"})
            qunsetenv(name);
        CPluginRun::SetReleaseWaitMs(5);
        Frame(); // the frame's start-up sets the plug-in fields; tests choose theirs afterwards
    }

    void TearDown() override
    {
        m_frame.reset();
        theSettings.Reset();
        Dialogs::ClearRecords();
    }

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
        const QString folder = m_root + QStringLiteral("/MODEL");
        QDir().mkpath(folder);
        const QString path = folder + QLatin1Char('/') + target + QStringLiteral(".so");
        QFile::remove(path);
        EXPECT_TRUE(
            QFile::copy(QStringLiteral(QPX_TEST_PLUGIN_DIR "/") + target + QStringLiteral(".so"), path));
        theSettings.Set(&CAppSettings::m_strDllFile, path);
        m_plugin = path;
        return path;
    }

    // Lines the recording plug-in wrote, without its query calls.
    QStringList Calls() const
    {
        QStringList out;
        const QList<QByteArray> lines = qpxtest::ReadFile(m_recLog).split('\n');
        for (const QByteArray& l : lines) {
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

    // Today's operation log.
    QString OperationLog() const
    {
        return QString::fromUtf8(qpxtest::ReadFile(m_install + QStringLiteral("LOG/") +
                                                   OperationLogFileName(QDate::currentDate())));
    }

    // Waits for the run to end: the completion message box is the last thing before busy clears.
    bool WaitIdle(int timeoutMs = 20000)
    {
        return PumpUntil([] { return theSettings.m_bBusy.load() == 0; }, timeoutMs);
    }

    QString m_root;
    QString m_install;
    QString m_recLog;
    QString m_plugin; // the last plug-in installed
    std::unique_ptr<CMainFrame> m_frame;
};

} // namespace pagetest
