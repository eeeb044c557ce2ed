#pragma once
// Shared set-up of the upgrade page tests: fresh settings, answered dialogs, a temporary
// installation with the recording plug-in in its MODEL folder, and a page of the host's size.
#include "FakePageServices.h"
#include "TestEnv.h"
#include "core/AppSettings.h"
#include "pages/UpgradePage.h"
#include "platform/Dialogs.h"
#include "plugin/PluginRun.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <memory>

namespace upgradetest {

using qpxtest::PumpUntil;

class UpgradeFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Dialogs::SetTestMode(true);
        Dialogs::ClearRecords();
        theSettings.Reset();
        CPluginRun::SetReleaseWaitMs(5);
        m_dir = qpxtest::MakeTempDir(QStringLiteral("upgrade"));
        theSettings.m_strInstallDir = m_dir + QLatin1Char('/');
        m_recLog = m_dir + QStringLiteral("/rec.log");
        qputenv("QPX_REC_LOG", m_recLog.toLocal8Bit());
        qputenv("QPX_REC_DELAY_MS", "5");
        for (const char* name : {"QPX_REC_RESULT", "QPX_REC_MESSAGE", "QPX_REC_MINUTES", "QPX_REC_SECONDS"})
            qunsetenv(name);
        theSettings.m_nPortNum = 7;
    }
    void TearDown() override
    {
        m_page.reset();
        theSettings.Reset();
        Dialogs::ClearRecords();
    }

    // Copies a recording plug-in variant into MODEL/ and selects it.
    QString InstallPlugin(const QString& variant = QStringLiteral("qpx_rec_plugin"))
    {
        const QString dst = m_dir + QStringLiteral("/MODEL/") + variant + QStringLiteral(".so");
        QDir().mkpath(m_dir + QStringLiteral("/MODEL"));
        QFile::remove(dst);
        EXPECT_TRUE(
            QFile::copy(QStringLiteral(QPX_TEST_PLUGIN_DIR "/") + variant + QStringLiteral(".so"), dst));
        theSettings.Set(&CAppSettings::m_strDllFile, dst);
        return dst;
    }

    // A readable file below the temporary folder.
    QString MakeFile(const QString& name)
    {
        const QString path = m_dir + QStringLiteral("/files/") + name;
        EXPECT_TRUE(qpxtest::WriteFile(path, "data"));
        return path;
    }

    CUpgradePage& MakePage(int operation = 0)
    {
        m_page = std::make_unique<CUpgradePage>(nullptr, m_services, QRect(205, 130, 585, 600));
        if (operation)
            m_page->SelectOperation(operation);
        return *m_page;
    }

    template <typename T> T* Find(const char* name) const
    {
        T* w = m_page->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLineEdit* Edit(const char* name) const { return Find<QLineEdit>(name); }
    QRadioButton* Radio(const char* name) const { return Find<QRadioButton>(name); }
    bool Visible(const char* name) const { return Find<QWidget>(name)->isVisibleTo(m_page.get()); }
    bool Enabled(const char* name) const { return Find<QWidget>(name)->isEnabled(); }
    QString Text(const char* name) const { return Find<QLabel>(name)->text(); }

    // Texts of every message box shown so far.
    static QStringList Messages()
    {
        QStringList texts;
        for (const SMessageBoxRecord& r : Dialogs::Shown())
            texts << r.strText;
        return texts;
    }

    QStringList RecLines() const
    {
        return QString::fromUtf8(qpxtest::ReadFile(m_recLog)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // The recorded call of an operation export ("Upgrade", "Prl", ...), or empty.
    QString RecCall(const QString& name) const
    {
        for (const QString& l : RecLines()) {
            if (l.startsWith(name + QLatin1Char(' ')))
                return l;
        }
        return {};
    }

    bool WaitIdle(int timeoutMs = 20000)
    {
        return PumpUntil([] { return theSettings.m_bBusy == 0; }, timeoutMs);
    }

    QString m_dir;
    QString m_recLog;
    qpxtest::CFakePageServices m_services;
    std::unique_ptr<CUpgradePage> m_page;
};

} // namespace upgradetest
