#include "../../unit/discovery/FakeSysfs.h"
#include "SimProcess.h"
#include "TestEnv.h"
#include "platform/VirtualPorts.h"
#include "serial/DiagCodec.h"
#include "serial/DiagPort.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

// Exit codes of qpx-diag.
constexpr int OK = 0;
constexpr int NO_SUCH_PORT = 2;
constexpr int PORT_BUSY = 3;
constexpr int PERMISSION_DENIED = 4;
constexpr int NOT_ANSWERING = 5;
constexpr int PORT_FAILED = 6;

class DiagE2e : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // The children (simulator, qpx-diag) inherit this process's private XDG_RUNTIME_DIR, so they
        // share a private virtual-port folder; an empty sysfs keeps the machine's ports out.
        const QString sys = qpxtest::MakeTempDir(QStringLiteral("sys"));
        qpxtest::WriteFile(sys + QStringLiteral("/class/tty/.keep"), {});
        qputenv("QPX_SYSFS_ROOT", sys.toLocal8Bit());
    }

    static QString Profile(const QByteArray& text)
    {
        const QString path = qpxtest::MakeTempDir(QStringLiteral("profile")) + QStringLiteral("/handset.txt");
        qpxtest::WriteFile(path, text);
        return path;
    }

    static SRunResult Info(int port)
    {
        return RunProgram(QStringLiteral("qpx-diag"), {"info", "--port", QString::number(port)});
    }
};

TEST_F(DiagE2e, InfoPrintsTheTwentyOneLinesOfTheProfile)
{
    const QString profile = Profile("# a handset for the end-to-end test\n"
                                    "esn=12ab34\n"
                                    "digital_number=212-555-0147\n"
                                    "analog_number=(323) 410-5567\n"
                                    "rf_mode=2\n"
                                    "cdma_channel=1175\n"
                                    "code_channel=33\n"
                                    "pilot_pn=998\n"
                                    "sid=65535\n"
                                    "nid=0\n"
                                    "locaid=0x1234\n"
                                    "protocol_revision=7\n"
                                    "compile_date=Jan  2 2007\n"
                                    "compile_time=23:59:01\n"
                                    "release_date=Feb 28 2007\n"
                                    "release_time=00:00:59\n"
                                    "sw_version_dir=ABCDE123\n"
                                    "firmware_revision=1234\n"
                                    "mobile_model=200\n"
                                    "slot_cycle_index=10\n"
                                    "hw_major=0x61\n"
                                    "hw_minor=0x0a\n"
                                    "prl_version_nam0=52\n"
                                    "prl_version_nam1=53\n"
                                    "eri_version=17\n");
    CSimProcess sim;
    ASSERT_TRUE(sim.Start({"--profile", profile}));
    const SRunResult r = Info(sim.Port());
    ASSERT_TRUE(r.bFinished);
    EXPECT_EQ(r.nExitCode, OK) << r.strErr.toStdString();
    const QStringList expected = {
        "ESN: 0012ab34",
        "Digital MIN: (212) 555-0147",
        "Analog MIN: (323) 410-5567",
        "RF MODE: PCN",
        "CDMA Channel: 1175",
        "Code Channel: 33",
        "Active Sector PN: 998",
        "SID: 65535",
        "NID: 0",
        "Locaid: 4660",
        "Protocol Revision: 7",
        "Compile Date: Jan  2 2007",
        "Compile Time: 23:59:01",
        "Release Date: Feb 28 2007",
        "Release Time: 00:00:59",
        "S/W Version: 12.34  ABCDE123",
        "Mobile Model: 200",
        "Slot Cycle Index: a",
        "MSM Version: MSM 2P (0x610a)",
        "PRL Version: 1: 52    2: 53",
        "ERI Version: 17",
    };
    EXPECT_EQ(r.Lines(), expected);
}

TEST_F(DiagE2e, InfoShowsOddValuesAsTheProgramDoes)
{
    // MIN2 above 999 empties the cell; pilot 999 shows " 0"; an ERI item never written reads as 0;
    // a short software directory stops at its end.
    const QString profile = Profile("digital_min2=1000\nanalog_number=555-0147\npilot_pn=999\nrf_mode=9\n"
                                    "eri_version=none\nsw_version_dir=KQ1\nfirmware_revision=5\n");
    CSimProcess sim;
    ASSERT_TRUE(sim.Start({"--profile", profile}));
    const SRunResult r = Info(sim.Port());
    ASSERT_EQ(r.nExitCode, OK) << r.strErr.toStdString();
    const QStringList lines = r.Lines();
    ASSERT_EQ(lines.size(), 21);
    EXPECT_EQ(lines[1], QStringLiteral("Digital MIN: "));
    EXPECT_EQ(lines[2], QStringLiteral("Analog MIN: 555-0147"));
    EXPECT_EQ(lines[3], QStringLiteral("RF MODE: ??????"));
    EXPECT_EQ(lines[6], QStringLiteral("Active Sector PN:  0"));
    EXPECT_EQ(lines[15], QStringLiteral("S/W Version: 00.05  KQ1"));
    EXPECT_EQ(lines[20], QStringLiteral("ERI Version: 0"));
}

TEST_F(DiagE2e, PortsListsTheSimulatorAsAHandset)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.Start({"--port", "42"}));
    EXPECT_EQ(sim.Port(), 42);
    const SRunResult r = RunProgram(QStringLiteral("qpx-diag"), {"ports"});
    ASSERT_EQ(r.nExitCode, OK);
    EXPECT_EQ(r.Lines(),
              QStringList{QStringLiteral("COM42 %1 handset=yes KOVA USB CDMA Modem (COM42)").arg(sim.Pty())});

    // A second simulator takes the lowest free number from 20; asking for a taken one fails.
    CSimProcess second;
    ASSERT_TRUE(second.Start({}));
    EXPECT_EQ(second.Port(), 20);
    const SRunResult clash = RunProgram(QStringLiteral("qpx-handset-sim"), {"--port", "42"});
    EXPECT_EQ(clash.nExitCode, 2);
    EXPECT_TRUE(clash.strErr.contains(QStringLiteral("COM42"))) << clash.strErr.toStdString();
}

TEST_F(DiagE2e, PortsListsRealDevicesByTheNumberingRule)
{
    CFakeSysfs sys(qpxtest::MakeTempDir(QStringLiteral("fakesys")));
    sys.AddUart(QStringLiteral("ttyS0"), QStringLiteral("4"));
    sys.AddUsbTty(QStringLiteral("ttyACM0"), QStringLiteral("2"), QStringLiteral("KOVA"),
                  QStringLiteral("CDMA Phone"));
    const QByteArray saved = qgetenv("QPX_SYSFS_ROOT");
    qputenv("QPX_SYSFS_ROOT", sys.Root().toLocal8Bit());
    const SRunResult r = RunProgram(QStringLiteral("qpx-diag"), {"ports"});
    qputenv("QPX_SYSFS_ROOT", saved);
    ASSERT_EQ(r.nExitCode, OK) << r.strErr.toStdString();
    EXPECT_EQ(r.Lines(),
              (QStringList{"COM1 /dev/ttyS0 handset=no Communications Port (COM1)",
                           "COM65 /dev/ttyACM0 handset=yes KOVA CDMA Phone USB Serial Port (COM65)"}));
}

TEST_F(DiagE2e, SimulatorRemovesItsPortWhenTerminated)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.Start({"--name", "Test USB Port %n"}));
    SVirtualPort port;
    ASSERT_TRUE(ReadVirtualPort(sim.Port(), port));
    EXPECT_EQ(port.strName, QStringLiteral("Test USB Port %1").arg(sim.Port()));
    EXPECT_EQ(port.strTarget, sim.Pty());
    ASSERT_TRUE(sim.Stop());
    EXPECT_EQ(sim.ExitCode(), 0);
    EXPECT_FALSE(ReadVirtualPort(sim.Port(), port));
    EXPECT_FALSE(QFileInfo::exists(VirtualPortFolder() + QStringLiteral("/COM%1.name").arg(sim.Port())));
}

struct SFaultCase
{
    const char* pszName;
    QStringList args;
    int nExpected;
    const char* pszStderr; // expected part of the message
};

class DiagFaults : public DiagE2e, public ::testing::WithParamInterface<SFaultCase>
{
};

TEST_P(DiagFaults, FailCleanlyWithTheRightExitCode)
{
    const SFaultCase& c = GetParam();
    CSimProcess sim;
    ASSERT_TRUE(sim.Start(c.args));
    const SRunResult r = Info(sim.Port());
    ASSERT_TRUE(r.bFinished) << "qpx-diag hung";
    EXPECT_EQ(r.nExitCode, c.nExpected) << r.strErr.toStdString();
    EXPECT_TRUE(r.strErr.contains(QLatin1String(c.pszStderr))) << r.strErr.toStdString();
    if (c.nExpected != OK) {
        EXPECT_TRUE(r.strOut.isEmpty()) << "no partial report on failure";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, DiagFaults,
    ::testing::Values(
        SFaultCase{"silent", {"--silent"}, NOT_ANSWERING, "does not answer the status request"},
        SFaultCase{"late", {"--late", "3000"}, NOT_ANSWERING, "does not answer the status request"},
        SFaultCase{"lateButInTime", {"--late", "100"}, OK, ""},
        SFaultCase{"corrupt", {"--corrupt-check"}, NOT_ANSWERING, "does not answer the status"},
        SFaultCase{"wrongCommand", {"--wrong-command"}, NOT_ANSWERING, "does not answer the status"},
        SFaultCase{"garbage", {"--garbage"}, NOT_ANSWERING, "does not answer the status"},
        SFaultCase{"statusOnly", {"--status-only"}, NOT_ANSWERING, "does not answer the version"},
        SFaultCase{"hangup", {"--hangup-after", "1"}, NOT_ANSWERING, "(the line hung up)"},
        // An emulated link: a 115200-baud line with 1 ms latency carries the whole poll; latency
        // beyond the time-out, or a line too slow for one answer, is a handset that does not answer.
        SFaultCase{"slowLink", {"--latency-us", "1000", "--link-rate", "11520"}, OK, ""},
        SFaultCase{"latencyPastTheTimeOut",
                   {"--latency-us", "3000000"},
                   NOT_ANSWERING,
                   "does not answer the status request"},
        SFaultCase{"linkTooSlowForAnAnswer",
                   {"--link-rate", "10"},
                   NOT_ANSWERING,
                   "does not answer the status request"}),
    [](const ::testing::TestParamInfo<SFaultCase>& info) { return std::string(info.param.pszName); });

TEST_F(DiagE2e, HangupAfterTheVersionLeavesThePrlAndEriAt65535)
{
    // Status and version are answered, then the line closes: the poll still reports, with the
    // numbers a failed PRL or ERI request shows. The simulator removes its port and ends.
    CSimProcess sim;
    ASSERT_TRUE(sim.Start({"--hangup-after", "2"}));
    const SRunResult r = Info(sim.Port());
    EXPECT_EQ(r.nExitCode, OK) << r.strErr.toStdString();
    const QStringList lines = r.Lines();
    ASSERT_EQ(lines.size(), 21);
    EXPECT_EQ(lines[0], QStringLiteral("ESN: 8f2a41d3"));
    EXPECT_EQ(lines[19], QStringLiteral("PRL Version: 1: 65535    2: 65535"));
    EXPECT_EQ(lines[20], QStringLiteral("ERI Version: 65535"));
    ASSERT_TRUE(sim.WaitForExit(5000));
    EXPECT_EQ(sim.ExitCode(), 0);
    SVirtualPort port;
    EXPECT_FALSE(ReadVirtualPort(sim.Port(), port));
}

TEST_F(DiagE2e, OpenFailuresHaveTheirOwnExitCodes)
{
    const SRunResult none = Info(250);
    EXPECT_EQ(none.nExitCode, NO_SUCH_PORT);
    EXPECT_TRUE(none.strErr.contains(QStringLiteral("COM250: no such port"))) << none.strErr.toStdString();

    // A virtual port that links to a plain file is present but no serial port.
    const QString file = qpxtest::MakeTempDir(QStringLiteral("dev")) + QStringLiteral("/plain");
    qpxtest::WriteFile(file, "x");
    ASSERT_TRUE(PublishVirtualPort(251, file, QStringLiteral("Plain")));
    EXPECT_EQ(Info(251).nExitCode, PORT_FAILED);
    UnpublishVirtualPort(251, file);

    const SRunResult usage = RunProgram(QStringLiteral("qpx-diag"), {"info"});
    EXPECT_EQ(usage.nExitCode, 1);
    EXPECT_EQ(RunProgram(QStringLiteral("qpx-diag"), {"frobnicate"}).nExitCode, 1);
}

TEST_F(DiagE2e, APortHeldByAnotherProgramIsBusy)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.Start({}));
    auto holder = std::make_unique<CDiagPort>();
    ASSERT_TRUE(holder->OpenPath(sim.Pty(), sim.Port())) << holder->LastErrorText().toStdString();
    const SRunResult r = Info(sim.Port());
    EXPECT_EQ(r.nExitCode, PORT_BUSY) << r.strErr.toStdString();
    EXPECT_TRUE(r.strErr.contains(QStringLiteral("Close the other program"))) << r.strErr.toStdString();
    holder->Close();
    EXPECT_EQ(Info(sim.Port()).nExitCode, OK);
}

TEST_F(DiagE2e, ADeviceTheUserMayNotOpenNamesTheFix)
{
    const QString file = qpxtest::MakeTempDir(QStringLiteral("dev")) + QStringLiteral("/locked");
    qpxtest::WriteFile(file, "x");
    QFile::setPermissions(file, QFileDevice::Permissions());
    QFile probe(file);
    if (probe.open(QIODevice::ReadWrite))
        GTEST_SKIP() << "running with privileges that ignore file modes";
    ASSERT_TRUE(PublishVirtualPort(252, file, QStringLiteral("Locked")));
    const SRunResult r = Info(252);
    UnpublishVirtualPort(252, file);
    EXPECT_EQ(r.nExitCode, PERMISSION_DENIED);
    EXPECT_TRUE(r.strErr.contains(QStringLiteral("dialout"))) << r.strErr.toStdString();
}

TEST_F(DiagE2e, SimulatorPrintsItsProfile)
{
    const QString profile = Profile("esn=0xdeadd00d\nsid=77\neri_version=none\n");
    const SRunResult r =
        RunProgram(QStringLiteral("qpx-handset-sim"), {"--profile", profile, "--print-profile"});
    ASSERT_EQ(r.nExitCode, 0);
    EXPECT_TRUE(r.Lines().contains(QStringLiteral("esn=deadd00d")));
    EXPECT_TRUE(r.Lines().contains(QStringLiteral("sid=77")));
    EXPECT_TRUE(r.Lines().contains(QStringLiteral("eri_version=none")));
    EXPECT_TRUE(r.Lines().contains(QStringLiteral("sw_version_dir=VKQ100A1"))); // defaults stay

    const SRunResult bad =
        RunProgram(QStringLiteral("qpx-handset-sim"), {"--profile", Profile("colour=blue\n")});
    EXPECT_EQ(bad.nExitCode, 1);
    EXPECT_TRUE(bad.strErr.contains(QStringLiteral(":1: bad line"))) << bad.strErr.toStdString();
}

} // namespace
