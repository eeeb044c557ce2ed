// The reference plug-in against a handset whose file system takes small pieces only: the byte
// window announced in HELLO sets the plug-in's piece size, so files still go whole both ways.
#include "RefHarness.h"

#include <gtest/gtest.h>

namespace {

class EfsLimitsE2e : public ::testing::Test
{
protected:
    CSimProcess m_sim;
    CRefPlugin m_plugin;
};

TEST_F(EfsLimitsE2e, ASmallByteWindowSetsThePieceSize)
{
    const QString state = qpxtest::MakeTempDir(QStringLiteral("state"));
    ASSERT_TRUE(m_sim.Start(
        RefSimArgs(state, {QStringLiteral("--port"), QStringLiteral("56"), QStringLiteral("--efs-window"),
                           QStringLiteral("200"), QStringLiteral("--verbose")})));
    const QString dir = qpxtest::MakeTempDir(QStringLiteral("eri"));
    QByteArray eri(1000, '\0');
    for (int i = 0; i < eri.size(); ++i)
        eri[i] = static_cast<char>(i * 7 + 1);
    eri[0] = 0x02;
    eri[1] = 0x05;
    ASSERT_TRUE(qpxtest::WriteFile(dir + QStringLiteral("/in.eri"), eri));
    const SRefOutcome w = m_plugin.Eri(m_sim.Port(), dir + QStringLiteral("/in.eri"), 0);
    ASSERT_TRUE(w.Ok()) << w.Message().toStdString();
    EXPECT_EQ(qpxtest::ReadFile(state + QStringLiteral("/efs/roaming/eri_data.bin")), eri);

    const SRefOutcome r = m_plugin.Eri(m_sim.Port(), dir + QStringLiteral("/out.eri"), 1);
    ASSERT_TRUE(r.Ok()) << r.Message().toStdString();
    EXPECT_EQ(qpxtest::ReadFile(dir + QStringLiteral("/out.eri")), eri);
    ASSERT_TRUE(m_sim.Stop());
    // Written in five pieces of 200 bytes: WRITE requests of 4 + 8 + 200 bytes.
    const QString log = m_sim.Stderr();
    EXPECT_EQ(log.count(QStringLiteral("request 4B (subsystem), 212 bytes")), 5) << log.toStdString();
}

} // namespace
