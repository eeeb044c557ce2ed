// Firmware download through the reference plug-in: the simulator goes through the download
// protocols, checks and installs the image, and comes back reporting the new software version.
#include "RefFiles.h"
#include "RefHarness.h"
#include "serial/DiagPort.h"
#include "serial/PrlImage.h"

#include <gtest/gtest.h>

namespace {

using namespace reftest;

class FirmwareE2e : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_strState = qpxtest::MakeTempDir(QStringLiteral("state"));
        m_strDir = qpxtest::MakeTempDir(QStringLiteral("img"));
    }
    bool StartSim(const QStringList& faults = {}) { return m_sim.Start(RefSimArgs(m_strState, faults)); }

    QString SoftwareVersion()
    {
        CDiagPort port;
        if (!port.OpenPath(m_sim.Pty()))
            return {};
        std::vector<quint8> r(CSerialPort::RESPONSE_BUFFER_SIZE);
        for (int i = 0; i < 10; ++i)
            if (port.RequestVersion(r.data()))
                return QString::fromLatin1(reinterpret_cast<const char*>(r.data()) + 39, 8);
        return {};
    }

    QString m_strState, m_strDir;
    CSimProcess m_sim;
    CRefPlugin m_plugin;
};

TEST_F(FirmwareE2e, ADownloadChangesTheReportedSoftwareVersion)
{
    ASSERT_TRUE(StartSim());
    const QByteArray image = FirmwareImage("VKQ100A2", 5000);
    ASSERT_TRUE(qpxtest::WriteFile(m_strDir + QStringLiteral("/new.bin"), image));
    const SRefOutcome r = m_plugin.Bin(m_sim.Port(), m_strDir + QStringLiteral("/new.bin"));
    ASSERT_TRUE(r.Ok()) << r.Message().toStdString();
    EXPECT_TRUE(r.Status().contains(
        QStringLiteral("Software VKQ100A2 written (5024 bytes) and verified; it was VKQ100A1")))
        << r.Status().toStdString();
    EXPECT_EQ(SoftwareVersion(), QStringLiteral("VKQ100A2"));
    EXPECT_EQ(qpxtest::ReadFile(m_strState + QStringLiteral("/firmware.img")), image);
    ASSERT_TRUE(m_sim.Stop());
    ASSERT_TRUE(StartSim());
    EXPECT_EQ(SoftwareVersion(), QStringLiteral("VKQ100A2"));

    // A handset left in download mode by an interrupted write (restarted into its boot loader, or
    // with the flash programmer still running) is written from where it stands.
    const struct
    {
        const char* state;
        const char* version;
    } stuck[] = {{"boot-loader", "VKQ100A3"}, {"programmer", "VKQ100A4"}};
    for (const auto& c : stuck) {
        SCOPED_TRACE(c.state);
        ASSERT_TRUE(m_sim.Stop());
        ASSERT_TRUE(StartSim({QStringLiteral("--start-in"), QLatin1String(c.state)}));
        EXPECT_EQ(SoftwareVersion(), QString()); // no answer as a diagnostic port
        ASSERT_TRUE(
            qpxtest::WriteFile(m_strDir + QStringLiteral("/new.bin"), FirmwareImage(c.version, 2000)));
        const SRefOutcome d = m_plugin.Bin(m_sim.Port(), m_strDir + QStringLiteral("/new.bin"));
        ASSERT_TRUE(d.Ok()) << d.Message().toStdString();
        EXPECT_EQ(d.Status(),
                  QStringLiteral("Software %1 written (2024 bytes) and verified; it was in download mode")
                      .arg(QLatin1String(c.version)));
        EXPECT_EQ(SoftwareVersion(), QLatin1String(c.version));
    }
}

TEST_F(FirmwareE2e, BadImagesAreRefusedBeforeTheHandsetIsTouched)
{
    ASSERT_TRUE(StartSim());
    QByteArray damaged = FirmwareImage("VKQ100A2", 3000);
    damaged[2000] = static_cast<char>(damaged[2000] ^ 0x40);
    QByteArray shortened = FirmwareImage("VKQ100A2", 3000);
    shortened.chop(10);
    struct SCase
    {
        const char* name;
        QByteArray data;
        const char* says;
    } cases[] = {{"crc.bin", damaged, "check value"},
                 {"short.bin", shortened, "2990"},
                 {"family.bin", FirmwareImage("ZZZ990A1", 100), "is for software ZZZ990A1"},
                 {"text.bin", "hello", "not a firmware image"}};
    for (const SCase& c : cases) {
        const QString file = m_strDir + QLatin1Char('/') + QLatin1String(c.name);
        qpxtest::FuzzSeed("firmware_image", c.data);
        ASSERT_TRUE(qpxtest::WriteFile(file, c.data));
        const SRefOutcome r = m_plugin.Bin(m_sim.Port(), file);
        ASSERT_TRUE(r.bFinished) << c.name;
        EXPECT_FALSE(r.Ok()) << c.name;
        EXPECT_TRUE(r.Message().contains(QLatin1String(c.says))) << r.Message().toStdString();
    }
    EXPECT_EQ(SoftwareVersion(), QStringLiteral("VKQ100A1"));
}

TEST_F(FirmwareE2e, AHandsetThatVanishesMidDownloadIsAFailure)
{
    // Requests 07: the boot loader's parameter request, then the stream writes.
    ASSERT_TRUE(StartSim({QStringLiteral("--hangup-at"), QStringLiteral("0x07:4")}));
    ASSERT_TRUE(qpxtest::WriteFile(m_strDir + QStringLiteral("/new.bin"), FirmwareImage("VKQ100A2", 8000)));
    const SRefOutcome r = m_plugin.Bin(m_sim.Port(), m_strDir + QStringLiteral("/new.bin"));
    ASSERT_TRUE(r.bFinished);
    EXPECT_FALSE(r.Ok());
    EXPECT_TRUE(r.Message().contains(QStringLiteral("does not answer (writing at 0x00000800)")))
        << r.Message().toStdString();
}

TEST_F(FirmwareE2e, ADownloadFollowsTheHandsetAcrossReEnumeration)
{
    // Like a USB handset: the port leaves after 3A and after the programmer's RESET, and comes
    // back under the same number on another device.
    ASSERT_TRUE(StartSim({QStringLiteral("--port"), QStringLiteral("54"), QStringLiteral("--reenumerate-ms"),
                          QStringLiteral("300"), QStringLiteral("--verbose")}));
    ASSERT_EQ(m_sim.Port(), 54);
    const QByteArray image = FirmwareImage("VKQ100A3", 4000);
    ASSERT_TRUE(qpxtest::WriteFile(m_strDir + QStringLiteral("/new.bin"), image));
    const SRefOutcome r = m_plugin.Bin(54, m_strDir + QStringLiteral("/new.bin"));
    ASSERT_TRUE(r.Ok()) << r.Message().toStdString();
    EXPECT_TRUE(r.Status().contains(QStringLiteral("Software VKQ100A3 written"))) << r.Status().toStdString();

    // The program's own version request on COM54 as it is now (the kernel may have handed the
    // new pseudo-terminal the old one's number, so the path proves nothing).
    CDiagPort port;
    ASSERT_TRUE(port.Open(54));
    std::vector<quint8> v(CSerialPort::RESPONSE_BUFFER_SIZE);
    bool answered = false;
    for (int i = 0; i < 10 && !answered; ++i)
        answered = port.RequestVersion(v.data());
    ASSERT_TRUE(answered);
    EXPECT_EQ(QString::fromLatin1(reinterpret_cast<const char*>(v.data()) + 39, 8),
              QStringLiteral("VKQ100A3"));
    port.Close();
    ASSERT_TRUE(m_sim.Stop());
    EXPECT_EQ(m_sim.Stderr().count(QStringLiteral("leaving COM54")), 2);
}

TEST_F(FirmwareE2e, AHandsetThatLeavesWithoutItsLastAnswerIsFollowedToo)
{
    ASSERT_TRUE(StartSim({QStringLiteral("--port"), QStringLiteral("57"), QStringLiteral("--reenumerate-ms"),
                          QStringLiteral("200"), QStringLiteral("--leave-abruptly")}));
    ASSERT_TRUE(qpxtest::WriteFile(m_strDir + QStringLiteral("/new.bin"), FirmwareImage("VKQ100A4", 2500)));
    const SRefOutcome r = m_plugin.Bin(57, m_strDir + QStringLiteral("/new.bin"));
    ASSERT_TRUE(r.Ok()) << r.Message().toStdString();
    EXPECT_TRUE(r.Status().contains(QStringLiteral("Software VKQ100A4 written"))) << r.Status().toStdString();
}

TEST_F(FirmwareE2e, AHandsetThatStaysAwayTooLongIsAFailure)
{
    ASSERT_TRUE(StartSim({QStringLiteral("--port"), QStringLiteral("55"), QStringLiteral("--reenumerate-ms"),
                          QStringLiteral("8000")}));
    ASSERT_TRUE(qpxtest::WriteFile(m_strDir + QStringLiteral("/new.bin"), FirmwareImage("VKQ100A3", 100)));
    const SRefOutcome r = m_plugin.Bin(55, m_strDir + QStringLiteral("/new.bin"));
    ASSERT_TRUE(r.bFinished);
    EXPECT_FALSE(r.Ok());
    EXPECT_EQ(r.Message(),
              QStringLiteral("The handset did not come back on COM55 within 5 seconds (boot loader)."));
}

TEST_F(FirmwareE2e, UpgradeWritesSoftwareThenPrl)
{
    ASSERT_TRUE(StartSim());
    ASSERT_TRUE(qpxtest::WriteFile(m_strDir + QStringLiteral("/new.bin"), FirmwareImage("VKQ100B1", 1500)));
    ASSERT_TRUE(qpxtest::WriteFile(m_strDir + QStringLiteral("/new.prl"), PrlFile(130, 901)));
    const SRefOutcome r = m_plugin.Upgrade(m_sim.Port(), m_strDir + QStringLiteral("/new.bin"), {}, 1,
                                           m_strDir + QStringLiteral("/new.prl"));
    ASSERT_TRUE(r.Ok()) << r.Message().toStdString();
    EXPECT_TRUE(r.Status().contains(QStringLiteral("Software VKQ100B1 written"))) << r.Status().toStdString();
    EXPECT_TRUE(r.Status().contains(QStringLiteral("PRL ID 901 written to NAM 2")));
    EXPECT_EQ(SoftwareVersion(), QStringLiteral("VKQ100B1"));
}

} // namespace
