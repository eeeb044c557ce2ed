// The reference plug-in against a guarded handset: an SPC it cannot read (and a handset that locks
// itself after wrong codes), and a security password. A rejected code or password is never sent
// twice; the technician learns what is missing.
#include "RefHarness.h"
#include "pages/NvCatalogue.h"

#include <gtest/gtest.h>

namespace {

// Sets an environment variable for one scope.
class CEnvGuard
{
public:
    CEnvGuard(const char* name, const QByteArray& value) : m_pszName(name) { qputenv(name, value); }
    ~CEnvGuard() { qunsetenv(m_pszName); }

private:
    const char* m_pszName;
};

class SecurityE2e : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_strState = qpxtest::MakeTempDir(QStringLiteral("state"));
        m_strProfile = qpxtest::MakeTempDir(QStringLiteral("profile")) + QStringLiteral("/handset.txt");
        qpxtest::WriteFile(m_strProfile, "sw_version_dir=VKQ100A1\nspc=123456\n");
    }
    bool StartSim(const QStringList& more)
    {
        return m_sim.Start(QStringList{QStringLiteral("--profile"), m_strProfile, QStringLiteral("--state"),
                                       m_strState, QStringLiteral("--reset-ms"), QStringLiteral("100"),
                                       QStringLiteral("--verbose")} +
                           more);
    }
    // Writes a new MDN to NAM 2 through the settings page's export.
    SRefOutcome WriteMdn(const QString& mdn)
    {
        CRefGrid g;
        for (const QString& name : NvCategoryItems(2))
            g.InsertRow(-1, name);
        g.rows[static_cast<int>(NvCategoryItems(2).indexOf(QStringLiteral("MDN")))][1] = mdn;
        return m_plugin.Settings(m_sim.Port(), 2, 0, &g);
    }
    QString ReadMdn()
    {
        CRefGrid g;
        for (const QString& name : NvCategoryItems(2))
            g.InsertRow(-1, name);
        if (!m_plugin.Settings(m_sim.Port(), 2, 1, &g).Ok())
            return {};
        return g.rows[static_cast<int>(NvCategoryItems(2).indexOf(QStringLiteral("MDN")))][1];
    }
    // Requests of one command the simulator logged (read after it ended).
    static int Requests(const QString& log, const char* code)
    {
        return static_cast<int>(log.count(QStringLiteral("request %1 ").arg(QLatin1String(code))));
    }

    QString m_strState, m_strProfile;
    CSimProcess m_sim;
    CRefPlugin m_plugin;
};

TEST_F(SecurityE2e, ARejectedSpcIsSentOnceAndALockedOutHandsetStaysLocked)
{
    ASSERT_TRUE(StartSim({QStringLiteral("--port"), QStringLiteral("52"), QStringLiteral("--hide-spc"),
                          QStringLiteral("--spc-lockout"), QStringLiteral("2")}));
    ASSERT_EQ(m_sim.Port(), 52);
    // Item 85 cannot be read: the plug-in falls back to 000000, which is wrong here.
    SRefOutcome r = WriteMdn(QStringLiteral("3105550000"));
    ASSERT_TRUE(r.bFinished);
    EXPECT_FALSE(r.Ok());
    EXPECT_EQ(r.Message(), QStringLiteral("The handset rejected the service programming code."));
    {
        CEnvGuard spc("QPX_REF_SPC", "654321"); // the technician's guess, also wrong: lock-out now
        r = WriteMdn(QStringLiteral("3105550000"));
        EXPECT_EQ(r.Message(), QStringLiteral("The handset rejected the service programming code."));
    }
    {
        CEnvGuard spc("QPX_REF_SPC", "123456"); // right, but too late for this run of the handset
        r = WriteMdn(QStringLiteral("3105550000"));
        EXPECT_FALSE(r.Ok());
        EXPECT_EQ(r.Message(), QStringLiteral("The handset rejected the service programming code."));
    }
    {
        CEnvGuard spc("QPX_REF_SPC", "12a456");
        r = WriteMdn(QStringLiteral("3105550000"));
        EXPECT_TRUE(r.Message().contains(QStringLiteral("QPX_REF_SPC must hold")))
            << r.Message().toStdString();
    }
    ASSERT_TRUE(m_sim.Stop());
    EXPECT_EQ(Requests(m_sim.Stderr(), "41"), 3); // one per run; the malformed code was never sent

    // A power cycle ends the lock-out; the right code then opens the handset.
    ASSERT_TRUE(StartSim({QStringLiteral("--port"), QStringLiteral("52"), QStringLiteral("--hide-spc"),
                          QStringLiteral("--spc-lockout"), QStringLiteral("2")}));
    {
        CEnvGuard spc("QPX_REF_SPC", "123456");
        r = WriteMdn(QStringLiteral("3105550000"));
        EXPECT_TRUE(r.Ok()) << r.Message().toStdString();
    }
    EXPECT_EQ(ReadMdn(), QStringLiteral("3105550000"));
}

TEST_F(SecurityE2e, APasswordHandsetNeedsTheConfiguredPassword)
{
    qpxtest::WriteFile(m_strProfile, "sw_version_dir=VKQ100A1\n");
    ASSERT_TRUE(StartSim({QStringLiteral("--port"), QStringLiteral("53"), QStringLiteral("--password"),
                          QStringLiteral("0011223344556677")}));
    SRefOutcome r = WriteMdn(QStringLiteral("3105550001"));
    ASSERT_TRUE(r.bFinished);
    EXPECT_FALSE(r.Ok());
    EXPECT_TRUE(r.Message().startsWith(QStringLiteral("The handset asks for its security password")) &&
                r.Message().contains(QStringLiteral("QPX_REF_PASSWORD")))
        << r.Message().toStdString();
    {
        CEnvGuard pw("QPX_REF_PASSWORD", "0011223344556600");
        r = WriteMdn(QStringLiteral("3105550001"));
        EXPECT_FALSE(r.Ok());
        EXPECT_TRUE(r.Message().startsWith(QStringLiteral("The handset rejected its security password")))
            << r.Message().toStdString();
    }
    {
        CEnvGuard pw("QPX_REF_PASSWORD", "00112233");
        r = WriteMdn(QStringLiteral("3105550001"));
        EXPECT_TRUE(r.Message().contains(QStringLiteral("QPX_REF_PASSWORD must hold")))
            << r.Message().toStdString();
    }
    EXPECT_EQ(ReadMdn(), QStringLiteral("2125550147")); // nothing was written so far
    {
        CEnvGuard pw("QPX_REF_PASSWORD", "0011223344556677");
        r = WriteMdn(QStringLiteral("3105550001"));
        EXPECT_TRUE(r.Ok()) << r.Message().toStdString();
    }
    EXPECT_EQ(ReadMdn(), QStringLiteral("3105550001"));
    ASSERT_TRUE(m_sim.Stop());
    // Sent only when asked, once per run: the wrong one and the right one.
    EXPECT_EQ(Requests(m_sim.Stderr(), "46"), 2);
}

} // namespace
