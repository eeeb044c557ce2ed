// Firmware download through the reference plug-in: the simulator goes through the download
// protocols, checks and installs the image, and comes back reporting the new software version.
#include "RefFiles.h"
#include "RefHarness.h"
#include "serial/DiagPort.h"
#include "serial/PrlImage.h"

#include <QCryptographicHash>

#include <functional>

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
        qpxtest::FuzzSeed("firmware_image", c.data);
        ASSERT_TRUE(qpxtest::WriteFile(file, c.data));
        const SRefOutcome r = m_plugin.Bin(m_sim.Port(), file);
        ASSERT_TRUE(r.bFinished) << c.name;
        EXPECT_FALSE(r.Ok()) << c.name;
        EXPECT_TRUE(r.Message().contains(QLatin1String(c.says))) << r.Message().toStdString();
    }
    EXPECT_EQ(SoftwareVersion(), QStringLiteral("VKQ100A1"));
}

// Bulk transfers keep several requests unanswered at once. A fault in the middle of that window
// (the line hangs up, a write is refused, an answer is damaged) ends the operation at the first
// bad answer, named by its own step, and nothing is reported as done: the handset keeps its
// software, a backup gets no marker.
TEST_F(FirmwareE2e, AFaultMidWindowEndsTheTransferCleanly)
{
    const QString bin = m_strDir + QStringLiteral("/new.bin");
    ASSERT_TRUE(qpxtest::WriteFile(bin, FirmwareImage("VKQ100A2", 40000)));
    QByteArray big(64 * 1024, '\0');
    for (int i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 13 + 0x7E) & 0xFF);
    const QString work = m_plugin.Folder() + QStringLiteral("/TRANS_BK");
    const QString marker = work + QStringLiteral("/VKQ100A1.pp");
    // A complete backup of one file, for the restores.
    auto backupOnDisk = [&]() {
        QDir(work).removeRecursively();
        qpxtest::WriteFile(work + QStringLiteral("/pim/big.dat"), big);
        qpxtest::WriteFile(work + QStringLiteral("/manifest.txt"),
                           QByteArray::number(big.size()) + ' ' +
                               QCryptographicHash::hash(big, QCryptographicHash::Md5).toHex() +
                               " pim/big.dat\n");
        qpxtest::WriteFile(marker, "VKQ100A1\n");
    };
    auto download = [&]() { return m_plugin.Bin(m_sim.Port(), bin); };
    auto backup = [&]() {
        QDir(work).removeRecursively();
        return m_plugin.Transfer(m_sim.Port(), 1, 2u);
    };
    auto restore = [&]() {
        backupOnDisk();
        return m_plugin.Transfer(m_sim.Port(), 0, 2u);
    };
    const QStringList blocks = {QStringLiteral("--download-block"), QStringLiteral("1024")};
    const QStringList pieces = {QStringLiteral("--efs-window"), QStringLiteral("1024")};
    const struct
    {
        const char* name;
        QStringList simArgs;
        std::function<SRefOutcome()> run;
        const char* says;
    } cases[] = {
        // Requests 07: the boot loader's parameter request, then the stream writes of 1024 bytes.
        {"download, hang-up", blocks + QStringList{QStringLiteral("--hangup-at"), QStringLiteral("0x07:13")},
         download, "does not answer (writing at 0x00002c00)"},
        {"download, damaged answer",
         blocks + QStringList{QStringLiteral("--corrupt-at"), QStringLiteral("0x07:13")}, download,
         "answer was damaged (writing at 0x00002c00)"},
        // The flash is full after eight blocks; the writes behind the refused one are refused too,
        // but the first refusal is the one reported.
        {"download, refused write",
         blocks + QStringList{QStringLiteral("--flash-size"), QStringLiteral("8192")}, download,
         "stopped the download (writing at 0x00002000): out of space"},
        // Requests 4B: HELLO, STAT, OPENDIR, two READDIRs, CLOSEDIR, OPEN, then the reads.
        {"backup, hang-up", pieces + QStringList{QStringLiteral("--hangup-at"), QStringLiteral("0x4B:20")},
         backup, "does not answer (pim/big.dat)"},
        {"backup, damaged answer",
         pieces + QStringList{QStringLiteral("--corrupt-at"), QStringLiteral("0x4B:20")}, backup,
         "answer was damaged (pim/big.dat)"},
        // Onto an empty handset: HELLO, its copy looked for, MKDIR, OPEN, then the writes.
        {"restore, hang-up", pieces + QStringList{QStringLiteral("--hangup-at"), QStringLiteral("0x4B:20")},
         restore, "does not answer (pim/big.dat)"},
        {"restore, damaged answer",
         pieces + QStringList{QStringLiteral("--corrupt-at"), QStringLiteral("0x4B:20")}, restore,
         "answer was damaged (pim/big.dat)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_strState = qpxtest::MakeTempDir(QStringLiteral("state"));
        if (!QLatin1String(c.name).startsWith(QLatin1String("restore")))
            qpxtest::WriteFile(m_strState + QStringLiteral("/efs/pim/big.dat"), big);
        ASSERT_TRUE(StartSim(c.simArgs));
        const SRefOutcome r = c.run();
        ASSERT_TRUE(r.bFinished);
        EXPECT_FALSE(r.Ok());
        EXPECT_TRUE(r.Status().startsWith(QStringLiteral("Failed: "))) << r.Status().toStdString();
        EXPECT_TRUE(r.Message().contains(QLatin1String(c.says))) << r.Message().toStdString();
        m_sim.Stop();
        ASSERT_TRUE(StartSim());
        EXPECT_EQ(SoftwareVersion(), QStringLiteral("VKQ100A1"));
        m_sim.Stop();
        if (QLatin1String(c.name).startsWith(QLatin1String("backup"))) {
            EXPECT_FALSE(QFileInfo::exists(marker));
        }
    }
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
