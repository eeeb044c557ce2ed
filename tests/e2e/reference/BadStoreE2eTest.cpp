// A handset that acknowledges writes but keeps altered data (--bad-store): the reference plug-in's
// read-back must catch it and report the operation as failed, for NV items, the PRL and the ERI.
#include "RefFiles.h"
#include "RefHarness.h"
#include "pages/NvCatalogue.h"
#include "serial/PrlImage.h"

#include <gtest/gtest.h>

namespace {

using namespace reftest;

class BadStoreE2e : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_strState = qpxtest::MakeTempDir(QStringLiteral("state"));
        m_strDir = qpxtest::MakeTempDir(QStringLiteral("files"));
    }
    bool StartSim(const char* code)
    {
        return m_sim.Start(RefSimArgs(m_strState, {QStringLiteral("--port"), QStringLiteral("51"),
                                                   QStringLiteral("--bad-store"), QLatin1String(code)}));
    }
    static void ExpectReadBackFailure(const SRefOutcome& r)
    {
        ASSERT_TRUE(r.bFinished);
        EXPECT_FALSE(r.Ok());
        EXPECT_TRUE(r.Message().contains(QStringLiteral("read back")) &&
                    r.Message().contains(QStringLiteral("differs")))
            << r.Message().toStdString();
        EXPECT_TRUE(r.Status().startsWith(QStringLiteral("Failed: "))) << r.Status().toStdString();
    }

    QString m_strState, m_strDir;
    CSimProcess m_sim;
    CRefPlugin m_plugin;
};

TEST_F(BadStoreE2e, SettingsWriteOfABadlyStoredItemFails)
{
    ASSERT_TRUE(StartSim("0x27"));
    ASSERT_EQ(m_sim.Port(), 51);
    CRefGrid g;
    for (const QString& name : NvCategoryItems(2))
        g.InsertRow(-1, name);
    const int mdn = static_cast<int>(NvCategoryItems(2).indexOf(QStringLiteral("MDN")));
    ASSERT_GE(mdn, 0);
    g.rows[mdn][1] = QStringLiteral("3105550000");
    ExpectReadBackFailure(m_plugin.Settings(m_sim.Port(), 2, 0, &g));
}

TEST_F(BadStoreE2e, PrlWriteOfABadlyStoredImageFails)
{
    ASSERT_TRUE(StartSim("0x48"));
    ASSERT_TRUE(qpxtest::WriteFile(m_strDir + QStringLiteral("/new.prl"), PrlFile(260, 4321)));
    ExpectReadBackFailure(m_plugin.Prl(m_sim.Port(), 0, m_strDir + QStringLiteral("/new.prl"), 0));
}

TEST_F(BadStoreE2e, EriWriteOfABadlyStoredFileFails)
{
    ASSERT_TRUE(StartSim("0x4B"));
    QByteArray eri(1500, '\x21');
    eri[0] = 0x01;
    eri[1] = 0x07;
    ASSERT_TRUE(qpxtest::WriteFile(m_strDir + QStringLiteral("/new.eri"), eri));
    ExpectReadBackFailure(m_plugin.Eri(m_sim.Port(), m_strDir + QStringLiteral("/new.eri"), 0));
    // The handset really holds other bytes than those sent.
    const QByteArray stored = qpxtest::ReadFile(m_strState + QStringLiteral("/efs/roaming/eri_data.bin"));
    ASSERT_EQ(stored.size(), eri.size());
    EXPECT_NE(stored, eri);
}

TEST(BadStoreOption, UnknownCodesAreRefused)
{
    const SRunResult r = RunProgram(QStringLiteral("qpx-handset-sim"),
                                    {QStringLiteral("--bad-store"), QStringLiteral("0x26")}, 10000);
    ASSERT_TRUE(r.bFinished);
    EXPECT_EQ(r.nExitCode, 1);
    EXPECT_TRUE(r.strErr.contains(QStringLiteral("--bad-store"))) << r.strErr.toStdString();
}

} // namespace
