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
        ASSERT_TRUE(qpxtest::WriteFile(file, c.data));
        const SRefOutcome r = m_plugin.Bin(m_sim.Port(), file);
        ASSERT_TRUE(r.bFinished) << c.name;
        EXPECT_FALSE(r.Ok()) << c.name;
        EXPECT_TRUE(r.Message().contains(QLatin1String(c.says))) << r.Message().toStdString();
    }
    EXPECT_EQ(SoftwareVersion(), QStringLiteral("VKQ100A1"));
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

} // namespace
