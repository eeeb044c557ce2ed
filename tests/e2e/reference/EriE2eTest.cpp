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

TEST_F(EriE2e, WriteStoresFileAndVersionThenReadsBack)
{
    ASSERT_TRUE(StartSim());
    const QString dir = qpxtest::MakeTempDir(QStringLiteral("eri"));
    const QByteArray eri = EriFile(2500, 0x0102); // three pieces of 1024 bytes, the last short
    ASSERT_TRUE(qpxtest::WriteFile(dir + QStringLiteral("/in.eri"), eri));
    const SRefOutcome w = m_plugin.Eri(m_sim.Port(), dir + QStringLiteral("/in.eri"), 0);
    ASSERT_TRUE(w.Ok()) << w.Message().toStdString();
    EXPECT_TRUE(w.Status().contains(QStringLiteral("ERI version 258 written"))) << w.Status().toStdString();
    EXPECT_EQ(qpxtest::ReadFile(m_strState + QStringLiteral("/efs/roaming/eri_data.bin")), eri);
    EXPECT_EQ(EriVersion(), 258);

    ASSERT_TRUE(m_sim.Stop());
    ASSERT_TRUE(StartSim());
    EXPECT_EQ(EriVersion(), 258);
    const SRefOutcome r = m_plugin.Eri(m_sim.Port(), dir + QStringLiteral("/out.eri"), 1);
    ASSERT_TRUE(r.Ok()) << r.Message().toStdString();
    EXPECT_EQ(qpxtest::ReadFile(dir + QStringLiteral("/out.eri")), eri);
    EXPECT_TRUE(r.Status().contains(QStringLiteral("version 258, 2500 bytes"))) << r.Status().toStdString();
}

TEST_F(EriE2e, ReadingAHandsetWithoutAnEriFails)
{
    ASSERT_TRUE(StartSim());
    const QString out = qpxtest::MakeTempDir(QStringLiteral("eri")) + QStringLiteral("/out.eri");
    const SRefOutcome r = m_plugin.Eri(m_sim.Port(), out, 1);
    ASSERT_TRUE(r.bFinished);
    EXPECT_FALSE(r.Ok());
    EXPECT_TRUE(r.Message().contains(QStringLiteral("no ERI file"))) << r.Message().toStdString();
    EXPECT_FALSE(QFileInfo::exists(out));
}

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
