// PRL read and write through the reference plug-in against the simulator: what is written is
// what the handset then holds (and keeps across a restart), what is overwritten is saved, and
// every failure ends the run with a message instead of a success.
#include "RefFiles.h"
#include "RefHarness.h"
#include "serial/DiagPort.h"
#include "serial/PrlImage.h"

#include <QDirIterator>

#include <gtest/gtest.h>

namespace {

using namespace reftest;

class PrlE2e : public ::testing::Test
{
protected:
    void SetUp() override { m_strState = qpxtest::MakeTempDir(QStringLiteral("state")); }

    bool StartSim(const QStringList& faults = {}) { return m_sim.Start(RefSimArgs(m_strState, faults)); }

    // The PRL IDs the handset reports through 0x8C (what the program's information page shows).
    std::pair<quint16, quint16> PrlVersions()
    {
        CDiagPort port;
        if (!port.OpenPath(m_sim.Pty()))
            return {0xFFFF, 0xFFFF};
        // The handset may still be restarting after the plug-in's reset.
        quint16 a = CDiagPort::VERSION_FAILED;
        for (int i = 0; i < 10 && a == CDiagPort::VERSION_FAILED; ++i)
            a = port.ReadPrlVersion(0);
        return {a, port.ReadPrlVersion(1)};
    }

    QString m_strState;
    CSimProcess m_sim;
    CRefPlugin m_plugin;
};

TEST_F(PrlE2e, WriteStoresVerifiesBacksUpAndSurvivesARestart)
{
    ASSERT_TRUE(StartSim());
    const QString dir = qpxtest::MakeTempDir(QStringLiteral("in"));
    const QByteArray image = PrlFile(300, 777); // three blocks, the last one short
    ASSERT_TRUE(qpxtest::WriteFile(dir + QStringLiteral("/new.prl"), image));

    const SRefOutcome w = m_plugin.Prl(m_sim.Port(), 0, dir + QStringLiteral("/new.prl"), 0);
    ASSERT_TRUE(w.Ok()) << w.Message().toStdString();
    EXPECT_TRUE(w.Status().contains(QStringLiteral("PRL ID 777 written to NAM 1")))
        << w.Status().toStdString();

    // The overwritten PRL and its manifest, where the status text says.
    QDirIterator it(m_plugin.Folder() + QStringLiteral("/PRL_BK"), {QStringLiteral("manifest.txt")},
                    QDir::Files, QDirIterator::Subdirectories);
    ASSERT_TRUE(it.hasNext());
    const QString manifest = it.next();
    const QString backupDir = QFileInfo(manifest).absolutePath();
    EXPECT_TRUE(w.Status().endsWith(QStringLiteral("kept beside the plug-in in PRL_BK/") +
                                    QFileInfo(backupDir).fileName()))
        << w.Status().toStdString();
    const QByteArray lines = qpxtest::ReadFile(manifest);
    EXPECT_TRUE(lines.contains("nam1.prl size=10 md5=") && lines.contains(" id=52 crc="))
        << lines.constData();
    EXPECT_EQ(prl::PrlId(qpxtest::ReadFile(backupDir + QStringLiteral("/nam1.prl"))), 52);

    EXPECT_EQ(PrlVersions(), std::make_pair(quint16(777), quint16(53)));

    // Read back through the plug-in, and again after the handset was switched off and on.
    const QString out = qpxtest::MakeTempDir(QStringLiteral("out")) + QStringLiteral("/nam1.prl");
    ASSERT_TRUE(m_plugin.Prl(m_sim.Port(), 0, out, 1).Ok());
    EXPECT_EQ(qpxtest::ReadFile(out), image);
    ASSERT_TRUE(m_sim.Stop());
    ASSERT_TRUE(StartSim());
    EXPECT_EQ(PrlVersions(), std::make_pair(quint16(777), quint16(53)));
}

TEST_F(PrlE2e, DamagedFilesAreRefusedBeforeTheHandsetIsTouched)
{
    ASSERT_TRUE(StartSim());
    const QString dir = qpxtest::MakeTempDir(QStringLiteral("in"));
    QByteArray badCrc = PrlFile(200, 9);
    badCrc[100] = static_cast<char>(badCrc[100] ^ 1);
    QByteArray badSize = PrlFile(200, 9);
    badSize.chop(1);
    struct SCase
    {
        const char* name;
        QByteArray data;
        const char* says;
    } cases[] = {{"crc.prl", badCrc, "check value"},
                 {"size.prl", badSize, "size field"},
                 {"tiny.prl", "ab", "too short"}};
    for (const SCase& c : cases) {
        const QString file = dir + QLatin1Char('/') + QLatin1String(c.name);
        qpxtest::FuzzSeed("prl_image", c.data);
        ASSERT_TRUE(qpxtest::WriteFile(file, c.data));
        const SRefOutcome w = m_plugin.Prl(m_sim.Port(), 0, file, 0);
        ASSERT_TRUE(w.bFinished) << c.name;
        EXPECT_FALSE(w.Ok()) << c.name;
        EXPECT_TRUE(w.Message().contains(QLatin1String(c.says))) << w.Message().toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(m_plugin.Folder() + QStringLiteral("/PRL_BK"))); // nothing was even read
    EXPECT_EQ(PrlVersions(), std::make_pair(quint16(52), quint16(53)));
}

TEST_F(PrlE2e, RefusalsAreToldApartFromSilence)
{
    ASSERT_TRUE(StartSim({QStringLiteral("--refuse"), QStringLiteral("0x49")}));
    const QString out = qpxtest::MakeTempDir(QStringLiteral("out")) + QStringLiteral("/x.prl");
    const SRefOutcome r = m_plugin.Prl(m_sim.Port(), 0, out, 1);
    ASSERT_TRUE(r.bFinished);
    EXPECT_FALSE(r.Ok());
    EXPECT_TRUE(r.Message().contains(QStringLiteral("does not support"))) << r.Message().toStdString();
    EXPECT_FALSE(QFileInfo::exists(out));
    ASSERT_TRUE(m_sim.Stop());

    ASSERT_TRUE(StartSim({QStringLiteral("--status-only")}));
    const SRefOutcome s = m_plugin.Prl(m_sim.Port(), 0, out, 1);
    ASSERT_TRUE(s.bFinished);
    EXPECT_FALSE(s.Ok());
    EXPECT_TRUE(s.Message().contains(QStringLiteral("does not answer"))) << s.Message().toStdString();
}

TEST_F(PrlE2e, AMissingPortIsNamed)
{
    const SRefOutcome r =
        m_plugin.Prl(199, 0, qpxtest::MakeTempDir(QStringLiteral("o")) + QStringLiteral("/x"), 1);
    ASSERT_TRUE(r.bFinished);
    EXPECT_FALSE(r.Ok());
    EXPECT_TRUE(r.Message().contains(QStringLiteral("COM199"))) << r.Message().toStdString();
}

} // namespace
