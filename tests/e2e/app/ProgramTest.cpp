// The real program as a user starts it: single instance, refusal texts, clean termination.
#include "TestEnv.h"
#include "core/AppSettings.h"
#include "platform/Registry.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <csignal>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class ProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_program = qpxtest::BuiltProgram(u"qpx"_s);
        ASSERT_FALSE(m_program.isEmpty());
        m_install = qpxtest::MakeTempDir(u"install"_s) + u'/';
        ASSERT_TRUE(
            qpxtest::WriteFile(RegUserFilePath(), "[General]\nLOCATE_DIRECTORY=" + m_install.toLocal8Bit() +
                                                      "\nLAST_WINDOW_POSITION_X=12\n"));
    }
    void TearDown() override { QFile::remove(RegUserFilePath()); }

    std::unique_ptr<QProcess> Start()
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"QPX_AUTO_DIALOGS"_s, u"1"_s);
        p->setProcessEnvironment(env);
        p->start(m_program, {});
        EXPECT_TRUE(p->waitForStarted(5000));
        return p;
    }

    // The first copy is up once its start-of-run log block is written.
    bool WaitForStartLog(int blocks)
    {
        return qpxtest::PumpUntil(
            [&] {
                int n = 0;
                for (const QString& f : QDir(m_install + u"LOG"_s).entryList(QDir::Files))
                    n += qpxtest::ReadFile(m_install + u"LOG/"_s + f).count("* QPX Started");
                return n >= blocks;
            },
            30000);
    }

    QString m_program;
    QString m_install;
};

TEST_F(ProgramTest, SecondCopyRefusedUntilTheFirstIsKilled)
{
    auto first = Start();
    ASSERT_TRUE(WaitForStartLog(1));

    auto second = Start();
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_TRUE(
        QString::fromLocal8Bit(second->readAllStandardError()).contains(u"Program is already running!"_s));
    EXPECT_EQ(first->state(), QProcess::Running);

    ::kill(static_cast<pid_t>(first->processId()), SIGKILL);
    first->waitForFinished(5000);

    auto third = Start();
    ASSERT_TRUE(WaitForStartLog(2));
    EXPECT_EQ(third->state(), QProcess::Running);
    // A termination request ends the program through its exit path: settings written back.
    third->terminate();
    ASSERT_TRUE(third->waitForFinished(10000));
    EXPECT_EQ(third->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(third->exitCode(), 0);
    // Ended without asking the exit question (nobody would be there to answer it).
    EXPECT_FALSE(QString::fromLocal8Bit(third->readAllStandardError()).contains(u"Exit the program?"_s));
    QSettings saved(RegUserFilePath(), QSettings::IniFormat);
    // No handset port, no plug-in: "N/A" from start-up, or empty once the link was dropped.
    EXPECT_FALSE(IsDllSelected(saved.value(u"LAST_DLL_FILE"_s).toString()));
    EXPECT_TRUE(saved.contains(u"LAST_DLL_FILE"_s));
    EXPECT_EQ(saved.value(u"LAST_WINDOW_POSITION_X"_s).toInt(), 12);
    EXPECT_EQ(saved.value(u"LOCATE_DIRECTORY"_s).toString(), m_install);
}

} // namespace
