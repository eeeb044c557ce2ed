// ERI write and read through the reference plug-in: the file lands on the handset's file system,
// its version in item 4025 (what the program shows), and both survive a restart of the handset.
#include "RefFiles.h"
#include "RefHarness.h"
#include "serial/DiagPort.h"

#include <gtest/gtest.h>

namespace {

using namespace reftest;

class EriE2e : public ::testing::Test
{
protected:
    void SetUp() override { m_strState = qpxtest::MakeTempDir(QStringLiteral("state")); }
    bool StartSim(const QStringList& faults = {}) { return m_sim.Start(RefSimArgs(m_strState, faults)); }

    quint16 EriVersion()
    {
        CDiagPort port;
        if (!port.OpenPath(m_sim.Pty()))
            return 0xFFFF;
        quint16 v = CDiagPort::VERSION_FAILED;
        for (int i = 0; i < 10 && v == CDiagPort::VERSION_FAILED; ++i)
            v = port.ReadEriVersion();
        return v;
    }

    QString m_strState;
    CSimProcess m_sim;
    CRefPlugin m_plugin;
};

TEST_F(EriE2e, AHandsetThatVanishesMidWriteKeepsItsOldVersion)
{
    // Subsystem requests: HELLO, MKDIR, OPEN, the first WRITE, then the line drops.
    ASSERT_TRUE(StartSim({QStringLiteral("--hangup-at"), QStringLiteral("0x4B:5")}));
    const QString file = qpxtest::MakeTempDir(QStringLiteral("eri")) + QStringLiteral("/in.eri");
    ASSERT_TRUE(qpxtest::WriteFile(file, EriFile(3000, 77)));
    const SRefOutcome w = m_plugin.Eri(m_sim.Port(), file, 0);
    ASSERT_TRUE(w.bFinished);
    EXPECT_FALSE(w.Ok());
    EXPECT_TRUE(w.Message().contains(QStringLiteral("does not answer"))) << w.Message().toStdString();
    ASSERT_TRUE(m_sim.Stop()); // already gone: the line was closed
    ASSERT_TRUE(StartSim());
    EXPECT_EQ(EriVersion(), 3); // the profile's, untouched
}

} // namespace
