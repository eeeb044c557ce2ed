// qpx-diag run: a plug-in operation without windows, its exit code taken from the result.
#include "RefHarness.h"
#include "serial/PrlImage.h"

#include <gtest/gtest.h>

namespace {

constexpr int RUN_OK = 0;
constexpr int RUN_FAILED = 7;
constexpr int RUN_NOT_OFFERED = 8;
constexpr int RUN_USAGE = 1;

class DiagRun : public ::testing::Test
{
protected:
    SRunResult Run(const QStringList& args)
    {
        return RunProgram(QStringLiteral("qpx-diag"),
                          QStringList{QStringLiteral("run"), QStringLiteral("--plugin"), m_plugin.Path(),
                                      QStringLiteral("--port"), QString::number(m_sim.Port())} +
                              args);
    }
    CSimProcess m_sim;
    CRefPlugin m_plugin;
};

TEST_F(DiagRun, RunsAnOperationAndReportsItsProgressAndResult)
{
    ASSERT_TRUE(m_sim.Start(RefSimArgs(qpxtest::MakeTempDir(QStringLiteral("state")))));
    const QString dir = qpxtest::MakeTempDir(QStringLiteral("out"));
    const SRunResult r =
        Run({QStringLiteral("prl"), QStringLiteral("--nam"), QStringLiteral("1"), QStringLiteral("--file"),
             dir + QStringLiteral("/n2.prl"), QStringLiteral("--read")});
    ASSERT_TRUE(r.bFinished);
    EXPECT_EQ(r.nExitCode, RUN_OK) << r.strErr.toStdString();
    EXPECT_EQ(prl::PrlId(qpxtest::ReadFile(dir + QStringLiteral("/n2.prl"))), 53);
    EXPECT_TRUE(r.Lines().contains(QStringLiteral("status: Reading the PRL of NAM 2")));
    EXPECT_TRUE(r.Lines().contains(QStringLiteral("result: success")));
    EXPECT_TRUE(r.Lines().contains(QStringLiteral("progress: 100%")));
}

TEST_F(DiagRun, ExitCodesTellFailureUnsupportedAndUsageApart)
{
    ASSERT_TRUE(m_sim.Start(RefSimArgs(qpxtest::MakeTempDir(QStringLiteral("state")))));
    const QString bad = qpxtest::MakeTempDir(QStringLiteral("in")) + QStringLiteral("/bad.prl");
    ASSERT_TRUE(qpxtest::WriteFile(bad, QByteArray(50, '\x01')));
    const SRunResult failed =
        Run({QStringLiteral("prl"), QStringLiteral("--file"), bad, QStringLiteral("--write")});
    EXPECT_EQ(failed.nExitCode, RUN_FAILED);
    EXPECT_TRUE(failed.strErr.contains(QStringLiteral("PRL file is damaged"))) << failed.strErr.toStdString();
    EXPECT_TRUE(failed.Lines().contains(QStringLiteral("result: failed")));

    // Every operation of the reference plug-in is offered; one without Bin is not.
    const SRunResult missing =
        RunProgram(QStringLiteral("qpx-diag"),
                   {QStringLiteral("run"), QStringLiteral("--plugin"),
                    QStringLiteral(QPX_TEST_PLUGIN_DIR "/qpx_rec_plugin_min.so"), QStringLiteral("--port"),
                    QString::number(m_sim.Port()), QStringLiteral("bin"), QStringLiteral("--bin"), bad});
    EXPECT_EQ(missing.nExitCode, RUN_NOT_OFFERED) << missing.strErr.toStdString();
    EXPECT_EQ(Run({QStringLiteral("prl"), QStringLiteral("--file"), bad}).nExitCode,
              RUN_USAGE); // no direction
    EXPECT_EQ(Run({QStringLiteral("fly")}).nExitCode, RUN_USAGE);
}

} // namespace
