#include "../../unit/discovery/FakeSysfs.h"
#include "FakeModemManager.h"
#include "SimProcess.h"
#include "TestEnv.h"
#include "platform/Registry.h"
#include "platform/SingleInstance.h"
#include "platform/VirtualPorts.h"
#include "plugin/PluginApi.h"
#include "serial/DiagPort.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Exit codes of qpx-diag.
enum
{
    OK = 0,
    NO_SUCH_PORT = 2,
    PORT_BUSY,
    NOT_ANSWERING = 5,
    PORT_FAILED
};

SRunResult Diag(const QStringList& args, const QStringList& env = {}, int waitMs = 60000)
{
    return RunProgram(u"qpx-diag"_s, args, waitMs, env);
}

QJsonObject ParseJson(const SRunResult& r)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(r.strOut.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << r.strOut.toStdString();
    return doc.object();
}

// A copy of the reference plug-in in the MODEL folder of an installation of its own.
QString ReferencePlugin()
{
    const QString path = qpxtest::MakeTempDir(u"install"_s) + u"/MODEL/reference.so"_s;
    QDir().mkpath(QFileInfo(path).path());
    QFile::copy(QStringLiteral(QPX_REF_PLUGIN), path);
    return path;
}

SRunResult Info(int port)
{
    return Diag({"info", "--port", QString::number(port)});
}

// A handset that misbehaves: qpx-diag info fails with the right exit code and message and prints
// no partial report.
TEST(DiagE2e, FaultsFailCleanlyWithTheRightExitCode)
{
    const struct
    {
        QStringList args;
        int nExpected;
        const char* pszStderr;      // expected part of the message
        const char* pszStdout = ""; // expected part of the report
    } cases[] = {
        {{"--silent"}, NOT_ANSWERING, "does not answer the status request"},
        {{"--late", "100"}, OK, ""},
        {{"--status-only"}, NOT_ANSWERING, "does not answer the version"},
        {{"--hangup-after", "1"}, NOT_ANSWERING, "(the line hung up)"},
        // Status and version answered, then the line closes: the report shows what a failed PRL
        // or ERI request gives.
        {{"--hangup-after", "2"}, OK, "", "PRL Version: 1: 65535    2: 65535\nERI Version: 65535\n"},
        // An emulated link: a 115200-baud line with 1 ms latency carries the whole poll; latency
        // beyond the time-out is a handset that does not answer.
        {{"--latency-us", "1000", "--link-rate", "11520"}, OK, ""},
        {{"--latency-us", "3000000"}, NOT_ANSWERING, "does not answer the status request"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        CSimProcess sim;
        ASSERT_TRUE(sim.Start(c.args));
        const SRunResult r = Info(sim.Port());
        ASSERT_TRUE(r.bFinished) << "qpx-diag hung";
        EXPECT_EQ(r.nExitCode, c.nExpected) << r.strErr.toStdString();
        EXPECT_TRUE(r.strErr.contains(QLatin1String(c.pszStderr))) << r.strErr.toStdString();
        EXPECT_TRUE(r.strOut.contains(QLatin1String(c.pszStdout))) << r.strOut.toStdString();
        EXPECT_TRUE(c.nExpected == OK || r.strOut.isEmpty()) << "no partial report on failure";
    }
}

TEST(DiagE2e, OpenBusyAndUsageFailuresHaveTheirOwnExitCodes)
{
    const SRunResult none = Info(250);
    EXPECT_EQ(none.nExitCode, NO_SUCH_PORT);
    EXPECT_TRUE(none.strErr.contains(u"COM250: no such port"_s)) << none.strErr.toStdString();

    // A virtual port that links to a plain file is present but no serial port.
    const QString file = qpxtest::MakeTempDir(u"dev"_s) + u"/plain"_s;
    qpxtest::WriteFile(file, "x");
    ASSERT_TRUE(PublishVirtualPort(251, file, u"Plain"_s));
    EXPECT_EQ(Info(251).nExitCode, PORT_FAILED);
    UnpublishVirtualPort(251, file);

    // With --json the failure is a document too.
    const SRunResult json = Diag({"info", "--port", "250", "--json"});
    EXPECT_EQ(json.nExitCode, NO_SUCH_PORT);
    const QJsonObject failure = ParseJson(json);
    EXPECT_EQ(failure.keys(), (QStringList{"error", "port"}));
    EXPECT_EQ(failure.value(u"port"_s).toInt(), 250);
    EXPECT_TRUE(failure.value(u"error"_s).toString().contains(u"COM250: no such port"_s));

    // Usage faults exit 1; an operation the plug-in does not export exits 8.
    const QString plugin = ReferencePlugin();
    CSimProcess sim;
    ASSERT_TRUE(sim.Start({}));
    const QString port = QString::number(sim.Port());
    // A port another program holds is busy until it lets go.
    CDiagPort holder;
    ASSERT_TRUE(holder.OpenPath(sim.Pty(), sim.Port())) << holder.LastErrorText().toStdString();
    const SRunResult busy = Info(sim.Port());
    EXPECT_EQ(busy.nExitCode, PORT_BUSY) << busy.strErr.toStdString();
    EXPECT_TRUE(busy.strErr.contains(u"Close the other program"_s)) << busy.strErr.toStdString();
    holder.Close();
    EXPECT_EQ(Info(sim.Port()).nExitCode, OK);
    for (const QStringList& args :
         {QStringList{"info"}, QStringList{"frobnicate"}, QStringList{"plugins", "--folder"},
          QStringList{"run", "--plugin", plugin, "--port", port, "fly"},
          QStringList{"run", "--plugin", plugin, "--port", port, "prl", "--file", file}})
        EXPECT_EQ(Diag(args).nExitCode, 1) << args.join(' ').toStdString();
    const SRunResult missing =
        Diag({"run", "--plugin", QStringLiteral(QPX_TEST_PLUGIN_DIR "/qpx_rec_plugin_min.so"), "--port", port,
              "bin", "--bin", file});
    EXPECT_EQ(missing.nExitCode, 8) << missing.strErr.toStdString();
}

// Every command: "--help" prints its usage to stdout and exits 0; "--json" gives one document with
// the keys the manual lists, holding what the text output says. info prints the twenty-one lines
// of the handset's profile.
TEST(DiagE2e, EveryCommandHasHelpAndAJsonDocument)
{
    const struct
    {
        const char* profile;
        const char* line;
    } lines[] = {
        {"esn=12ab34", "ESN: 0012ab34"},
        {"digital_number=212-555-0147", "Digital MIN: (212) 555-0147"},
        {"analog_number=(323) 410-5567", "Analog MIN: (323) 410-5567"},
        {"rf_mode=2", "RF MODE: PCN"},
        {"cdma_channel=1175", "CDMA Channel: 1175"},
        {"code_channel=33", "Code Channel: 33"},
        {"pilot_pn=998", "Active Sector PN: 998"},
        {"sid=65535", "SID: 65535"},
        {"nid=0", "NID: 0"},
        {"locaid=0x1234", "Locaid: 4660"},
        {"protocol_revision=7", "Protocol Revision: 7"},
        {"compile_date=Jan  2 2007", "Compile Date: Jan  2 2007"},
        {"compile_time=23:59:01", "Compile Time: 23:59:01"},
        {"release_date=Feb 28 2007", "Release Date: Feb 28 2007"},
        {"release_time=00:00:59", "Release Time: 00:00:59"},
        {"sw_version_dir=ABCDE123\nfirmware_revision=1234", "S/W Version: 12.34  ABCDE123"},
        {"mobile_model=200", "Mobile Model: 200"},
        {"slot_cycle_index=10", "Slot Cycle Index: a"},
        {"hw_major=0x61\nhw_minor=0x0a", "MSM Version: MSM 2P (0x610a)"},
        {"prl_version_nam0=52\nprl_version_nam1=53", "PRL Version: 1: 52    2: 53"},
        {"eri_version=17", "ERI Version: 17"},
    };
    QByteArray profile;
    QStringList expected;
    for (const auto& l : lines) {
        profile += QByteArray(l.profile) + '\n';
        expected << QString::fromLatin1(l.line);
    }
    const QString profilePath = qpxtest::MakeTempDir(u"profile"_s) + u"/handset.txt"_s;
    ASSERT_TRUE(qpxtest::WriteFile(profilePath, profile));
    CSimProcess sim;
    ASSERT_TRUE(sim.Start({"--profile", profilePath}));
    const QString port = QString::number(sim.Port());
    const QString plugin = ReferencePlugin();
    const QString folder = QFileInfo(plugin).path();
    // The keys of info's document in the order of its text lines, and the port.
    const QStringList order =
        u"esn digitalMin analogMin rfMode cdmaChannel codeChannel activeSectorPn sid nid "
        "locaid protocolRevision compileDate compileTime releaseDate releaseTime swVersion "
        "mobileModel slotCycleIndex msmVersion prlVersion eriVersion"_s.split(u' ');
    QStringList infoKeys = order + QStringList{"port"};
    infoKeys.sort();
    struct SRow
    {
        QStringList args;
        QStringList keys;    // of the document
        const char* pszList; // the array of records in it, or ""
        QStringList itemKeys;
    };
    const SRow rows[] = {
        {{"ports"}, {"ports"}, "ports", {"device", "handset", "name", "number", "port", "usb"}},
        {{"info", "--port", port}, infoKeys, "", {}},
        {{"plugins", "--folder", folder},
         {"folder", "plugins"},
         "plugins",
         {"dllVersion", "location", "model", "modified", "path"}},
        {{"doctor"},
         {"checks", "errors", "exitCode", "warnings"},
         "checks",
         {"check", "fix", "level", "subject", "text"}},
        {{"run"}, {}, "", {}}, // its document: RunOnSeveralPortsInParallel
    };
    for (const SRow& row : rows) {
        const QString name = row.args.first();
        const SRunResult help = Diag({name, "--help"});
        EXPECT_EQ(help.nExitCode, OK) << name.toStdString();
        EXPECT_TRUE(help.strOut.startsWith(u"usage: qpx-diag "_s + name)) << help.strOut.toStdString();
        EXPECT_TRUE(help.strErr.isEmpty()) << help.strErr.toStdString();
        if (row.keys.isEmpty())
            continue;

        const SRunResult r = Diag(row.args + QStringList{"--json"});
        const QJsonObject doc = ParseJson(r);
        EXPECT_EQ(r.nExitCode, doc.value(u"exitCode"_s).toInt(OK))
            << name.toStdString() << r.strErr.toStdString();
        EXPECT_EQ(doc.keys(), row.keys) << name.toStdString();
        if (*row.pszList == '\0')
            continue;
        const QJsonArray list = doc.value(QLatin1String(row.pszList)).toArray();
        ASSERT_FALSE(list.isEmpty()) << name.toStdString();
        for (const QJsonValue& item : list)
            EXPECT_EQ(item.toObject().keys(), row.itemKeys) << name.toStdString();
    }

    // The documents hold what the text says: info line by line in the order of its keys.
    const SRunResult infoText = Info(sim.Port());
    EXPECT_EQ(infoText.nExitCode, OK) << infoText.strErr.toStdString();
    const QStringList text = infoText.Lines();
    ASSERT_EQ(text, expected);
    const QJsonObject info = ParseJson(Diag({"info", "--port", port, "--json"}));
    for (int i = 0; i < 21; ++i)
        EXPECT_EQ(text[i].mid(text[i].indexOf(u": "_s) + 2), info.value(order[i]).toString())
            << order[i].toStdString();
    EXPECT_EQ(Diag({"ports"}).Lines(),
              QStringList{u"COM%1 %2 handset=yes KOVA USB CDMA Modem (COM%1)"_s.arg(port, sim.Pty())});
    // A second simulator asking for a number that is taken fails.
    const SRunResult clash = RunProgram(u"qpx-handset-sim"_s, {"--port", port});
    EXPECT_EQ(clash.nExitCode, 2);
    EXPECT_TRUE(clash.strErr.contains(u"COM"_s + port)) << clash.strErr.toStdString();
    const QJsonObject p = ParseJson(Diag({"ports", "--json"})).value(u"ports"_s).toArray().first().toObject();
    EXPECT_EQ(p.value(u"port"_s).toString(), u"COM%1"_s.arg(sim.Port()));
    EXPECT_EQ(p.value(u"number"_s).toInt(), sim.Port());
    EXPECT_EQ(p.value(u"device"_s).toString(), sim.Pty());
    EXPECT_TRUE(p.value(u"handset"_s).toBool());

    // plugins without a folder lists the installation's, with the page's columns and the path.
    RegWriteString(QPX_REG_KEY, "LOCATE_DIRECTORY", QFileInfo(folder).path(), HKEY_LOCAL_MACHINE);
    const SRunResult plugins = Diag({"plugins"});
    RegWriteString(QPX_REG_KEY, "LOCATE_DIRECTORY", QString(), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(plugins.Lines(), (QStringList{u"Model\tDLL Version\tModified\tLocation\tPath"_s,
                                            QStringList({u"KOVA Reference"_s, PluginFileVersion(plugin),
                                                         FileModifiedText(plugin), u"./MODEL"_s, plugin})
                                                .join(u'\t')}))
        << plugins.strErr.toStdString();

    const SRunResult version = Diag({"--version"});
    EXPECT_EQ(version.nExitCode, OK);
    EXPECT_TRUE(QRegularExpression(u"^qpx-diag \\d+\\.\\d+\\.\\d+\\n$"_s).match(version.strOut).hasMatch())
        << version.strOut.toStdString();
}

// The doctor in a world the test makes: the settings, a fake /proc, a udev root and a sysfs.
class CDoctorWorld
{
public:
    CDoctorWorld()
        : m_strProc(qpxtest::MakeTempDir(u"proc"_s)), m_strUdev(qpxtest::MakeTempDir(u"udev"_s)),
          m_sysfs(qpxtest::MakeTempDir(u"sysfs"_s))
    {
        QFile::remove(RegUserFilePath());
    }
    ~CDoctorWorld() { QFile::remove(RegUserFilePath()); }

    void Install(bool model = true)
    {
        m_strInstall = qpxtest::MakeTempDir(u"install"_s) + u'/';
        if (model)
            QDir().mkpath(m_strInstall + u"MODEL"_s);
        qpxtest::WriteFile(RegUserFilePath(),
                           "[General]\nLOCATE_DIRECTORY=" + m_strInstall.toLocal8Bit() + "\n");
    }
    void Process(int pid, const char* name, const QStringList& open = {})
    {
        const QString dir = m_strProc + u'/' + QString::number(pid);
        qpxtest::WriteFile(dir + u"/comm"_s, QByteArray(name) + '\n');
        QDir().mkpath(dir + u"/fd"_s);
        for (int i = 0; i < open.size(); ++i)
            QFile::link(open[i], dir + u"/fd/%1"_s.arg(i + 3));
    }
    // A USB handset 1d6b:0001 as ttyACM0 (COM65), its node 166:0.
    void UsbHandset()
    {
        m_sysfs.AddUsbTty(u"ttyACM0"_s, u"2"_s, u"KOVA"_s, u"CDMA Phone"_s);
        qpxtest::WriteFile(m_sysfs.Root() + u"/class/tty/ttyACM0/dev"_s, "166:0\n");
    }
    void UdevFile(const QString& path, const QByteArray& text)
    {
        qpxtest::WriteFile(m_strUdev + u'/' + path, text);
    }
    void UseRealProc() { m_strProc.clear(); }

    SRunResult Run()
    {
        return Diag({"doctor"}, {"QPX_PROC_ROOT=" + m_strProc, "QPX_UDEV_ROOT=" + m_strUdev,
                                 "QPX_SYSFS_ROOT=" + m_sysfs.Root()});
    }
    // The expected text with {install}, {com}, {pty} and {self} filled in.
    QString Fill(QString text) const
    {
        return text.replace(u"{install}"_s, m_strInstall)
            .replace(u"{com}"_s, u"COM%1"_s.arg(m_sim.Port()))
            .replace(u"{pty}"_s, m_sim.Pty())
            .replace(u"{self}"_s, u"%1 (process %2)"_s
                                      .arg(QString::fromUtf8(qpxtest::ReadFile("/proc/self/comm")).trimmed())
                                      .arg(QCoreApplication::applicationPid()));
    }

    CSimProcess m_sim;
    std::unique_ptr<CSingleInstanceLock> m_pLock;
    std::unique_ptr<CDiagPort> m_pHolder;

private:
    QString m_strProc, m_strUdev, m_strInstall;
    CFakeSysfs m_sysfs;
};

struct SDoctorCase
{
    const char* pszName;
    void (*setup)(CDoctorWorld&);
    int nExit;
    QStringList lines;  // lines the output holds, or their beginnings (after Fill)
    QStringList absent; // texts no line holds
};

const QString RULE =
    u"'SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"1d6b\", ATTRS{idProduct}==\"0001\", TAG+=\"uaccess\", "
    "ENV{ID_MM_DEVICE_IGNORE}=\"1\"' to /etc/udev/rules.d/70-kova-qpx-local.rules, then sudo udevadm control "
    "--reload && sudo udevadm trigger"_s;

// Built when the test runs: the paths depend on the test environment set up in main().
std::vector<SDoctorCase> DoctorCases()
{
    return {
        SDoctorCase{"allWell",
                    [](CDoctorWorld& w) {
                        w.Install();
                        ASSERT_TRUE(w.m_sim.Start({}));
                    },
                    0,
                    {"ok: LOCATE_DIRECTORY {install} holds MODEL/.", "ok: {install}LOG/ is writable.",
                     "ok: No copy of the program is running.", "ok: Handset ports present: {com}.",
                     "ok: {com} ({pty}): this user may open it.", "ok: {com} is free.",
                     "ok: ModemManager is not running.", "ok: brltty claims no handset port."},
                    {}},
        SDoctorCase{
            "notInstalled",
            [](CDoctorWorld&) {},
            2,
            {"error: LOCATE_DIRECTORY is not set, so the program does not start. Fix: start the program "
             "once through its qpx launcher, or write LOCATE_DIRECTORY=<installation folder>/ under "
             "[General] in " +
                 RegUserFilePath(),
             "warning: No handset port is present. Fix: plug the handset in with its data cable and turn it "
             "on; \"qpx-diag ports\" lists every serial port"},
            {"LOG/"}},
        SDoctorCase{
            "noModelFolder",
            [](CDoctorWorld& w) { w.Install(false); },
            2,
            {"error: {install} holds no MODEL/ folder, so no model plug-in can be found. Fix: mkdir -p "
             "{install}MODEL and copy the model plug-ins (*.so) into it"},
            {}},
        // Warnings only: the log folder, a port ModemManager holds, brltty running.
        SDoctorCase{
            "warnings",
            [](CDoctorWorld& w) {
                w.Install();
                ASSERT_TRUE(w.m_sim.Start({}));
                qpxtest::WriteFile(w.Fill(u"{install}LOG"_s), "a file, not a folder");
                w.Process(4242, "ModemManager", {w.m_sim.Pty()});
                w.Process(77, "brltty");
            },
            1,
            {"warning: {install}LOG/ is not writable, so the program log and the operation log are lost. "
             "Fix: move the file {install}LOG aside; the program makes the folder",
             "warning: {com} is busy: held by ModemManager (process 4242). Fix: sudo systemctl stop "
             "ModemManager",
             "ok: ModemManager is running; no USB handset is present.",
             "warning: brltty (process 77) is running: it claims common USB serial adapters as braille "
             "displays. Fix: sudo apt-get remove brltty (if no braille display is used)"},
            {}},
        SDoctorCase{
            "usbHandsetWithoutTheRuleAndBrlttyRules",
            [](CDoctorWorld& w) {
                w.Install();
                w.UsbHandset();
                w.Process(4242, "ModemManager");
                w.UdevFile(u"usr/lib/udev/rules.d/85-brltty.rules"_s,
                           "ENV{PRODUCT}==\"1d6b/1/*\", ENV{BRLTTY_BRAILLE_DRIVER}=\"xx\", GOTO=\"run\"\n");
            },
            2,
            {"warning: ModemManager (process 4242) is running and no rule tells it to leave COM65 "
             "(1d6b:0001) alone: it probes the handset and holds the port for seconds. Fix: add the line " +
                 RULE,
             "warning: brltty's rules claim COM65 (1d6b:0001) as a braille display and take the port away. "
             "Fix: sudo apt-get remove brltty (if no braille display is used)",
             "error: COM65 (/dev/ttyACM0): the device node is missing. Fix: plug the handset in again; "
             "\"sudo dmesg\" tells what the kernel saw"},
            {}},
        SDoctorCase{"usbHandsetWithTheRule",
                    [](CDoctorWorld& w) {
                        w.Install();
                        w.UsbHandset();
                        w.Process(4242, "ModemManager");
                        w.UdevFile(u"run/udev/data/c166:0"_s, "G:uaccess\nE:ID_MM_DEVICE_IGNORE=1\n");
                    },
                    2, // the node is missing
                    {"ok: ModemManager leaves COM65 alone (ID_MM_DEVICE_IGNORE)."},
                    {"no rule tells it"}},
        SDoctorCase{"lockAndPortHeldByThisProcess",
                    [](CDoctorWorld& w) {
                        // The real /proc: the simulator keeps its own end open and is no holder.
                        w.UseRealProc();
                        w.Install();
                        ASSERT_TRUE(w.m_sim.Start({}));
                        w.m_pLock = std::make_unique<CSingleInstanceLock>(u"VORTANE_MM"_s);
                        ASSERT_TRUE(w.m_pLock->Acquire());
                        w.m_pHolder = std::make_unique<CDiagPort>();
                        ASSERT_TRUE(w.m_pHolder->OpenPath(w.m_sim.Pty(), w.m_sim.Port()));
                    },
                    1,
                    {"warning: The program is running: {self} holds its lock " +
                         CSingleInstanceLock::LockPath(u"VORTANE_MM"_s) +
                         ". Fix: close that copy before starting another; qpx-diag cannot use the port it is "
                         "connected to",
                     "warning: {com} is busy: held by {self}. Fix: close "},
                    {"qpx-handset-sim"}},
    };
}

// The doctor in each world says what is wrong and how to fix it, every line a verdict.
TEST(DiagE2e, DoctorSaysWhatIsWrongAndHowToFixIt)
{
    for (const SDoctorCase& c : DoctorCases()) {
        SCOPED_TRACE(c.pszName);
        CDoctorWorld world;
        c.setup(world);
        const SRunResult r = world.Run();
        ASSERT_TRUE(r.bFinished);
        EXPECT_EQ(r.nExitCode, c.nExit) << r.strOut.toStdString();
        const QStringList lines = r.Lines();
        for (const QString& expected : c.lines) {
            const QString want = world.Fill(expected);
            EXPECT_TRUE(std::any_of(lines.cbegin(), lines.cend(),
                                    [&](const QString& l) { return l.startsWith(want); }))
                << "missing: " << want.toStdString() << "\n"
                << r.strOut.toStdString();
        }
        for (const QString& text : c.absent)
            EXPECT_FALSE(r.strOut.contains(world.Fill(text))) << r.strOut.toStdString();
        for (const QString& line : lines)
            EXPECT_TRUE(QRegularExpression(u"^(ok|warning|error): "_s).match(line).hasMatch())
                << line.toStdString();
    }
}

// Several handsets at once: one child per port, each line prefixed with its port, ModemManager
// asked to leave each handset alone for its run, the exit code the worst of them.
TEST(DiagE2e, RunOnSeveralPortsInParallel)
{
    CPrivateBus bus;
    ASSERT_TRUE(bus.Start()) << "dbus-daemon (Debian package dbus) is needed";
    CFakeModemManager mm(bus.Address());
    ASSERT_TRUE(mm.Register());
    CSimProcess a, b;
    ASSERT_TRUE(a.Start({"--state", qpxtest::MakeTempDir(u"a"_s), "--reset-ms", "100"}));
    ASSERT_TRUE(b.Start({"--state", qpxtest::MakeTempDir(u"b"_s), "--reset-ms", "100"}));
    mm.AddModem(u"/sys/devices/usb-a"_s, {a.Pty().mid(5)});
    mm.AddModem(u"/sys/devices/usb-b"_s, {b.Pty().mid(5)});
    const QStringList systemBus{"DBUS_SYSTEM_BUS_ADDRESS=" + bus.Address()};
    const QString plugin = ReferencePlugin();
    const QString dir = qpxtest::MakeTempDir(u"prl"_s);
    const QString comA = u"COM%1: "_s.arg(a.Port());
    const QString comB = u"COM%1: "_s.arg(b.Port());

    const SRunResult read =
        Diag({"run", "--plugin", plugin, "--port", QString::number(a.Port()), "--port",
              QString::number(b.Port()), "prl", "--nam", "1", "--file", dir + "/%n.prl", "--read"},
             systemBus, 120000);
    ASSERT_TRUE(read.bFinished);
    EXPECT_EQ(read.nExitCode, OK) << read.strErr.toStdString();
    for (const QString& line : read.Lines())
        EXPECT_TRUE(line.startsWith(comA) || line.startsWith(comB)) << line.toStdString();
    for (const QString& line : {comA + u"result: success"_s, comB + u"result: success"_s,
                                comA + u"status: Reading the PRL of NAM 2"_s, comA + u"progress: 100%"_s})
        EXPECT_TRUE(read.Lines().contains(line)) << read.strOut.toStdString();
    const QString fileB = dir + u"/%1.prl"_s.arg(b.Port());
    EXPECT_GT(QFileInfo(dir + u"/%1.prl"_s.arg(a.Port())).size() * QFileInfo(fileB).size(), 0);
    const QStringList calls = mm.Calls();
    EXPECT_EQ(calls.size(), 4) << calls.join(u'\n').toStdString();
    for (const char* uid : {"/sys/devices/usb-a", "/sys/devices/usb-b"}) {
        const qsizetype on = calls.indexOf(QLatin1String(uid) + u" on"_s);
        EXPECT_GE(on, 0) << uid;
        EXPECT_GT(calls.indexOf(QLatin1String(uid) + u" off"_s), on) << uid;
    }

    // Every handset, one with a damaged file: the worst exit code, one record per port.
    ASSERT_TRUE(qpxtest::WriteFile(fileB, QByteArray(50, '\x01')));
    const SRunResult write = Diag({"run", "--plugin", plugin, "--all-handsets", "prl", "--nam", "1", "--file",
                                   dir + "/%n.prl", "--write", "--json"},
                                  systemBus, 120000);
    EXPECT_EQ(write.nExitCode, 7) << write.strErr.toStdString();
    EXPECT_TRUE(write.strErr.contains(comB)) << write.strErr.toStdString();
    const QJsonObject doc = ParseJson(write);
    EXPECT_EQ(doc.keys(), (QStringList{"exitCode", "runs"}));
    EXPECT_EQ(doc.value(u"exitCode"_s).toInt(), 7);
    const QJsonArray runs = doc.value(u"runs"_s).toArray();
    ASSERT_EQ(runs.size(), 2);
    for (const QJsonValue& v : runs) {
        const QJsonObject run = v.toObject();
        EXPECT_EQ(run.keys(), (QStringList{"address", "error", "exitCode", "file", "message", "minutes",
                                           "operation", "port", "result", "seconds", "status"}));
        EXPECT_EQ(run.value(u"operation"_s).toString(), u"prl"_s);
        const bool isB = run.value(u"port"_s).toInt() == b.Port();
        EXPECT_EQ(run.value(u"result"_s).toString(), isB ? u"failed"_s : u"success"_s);
        EXPECT_EQ(run.value(u"exitCode"_s).toInt(), isB ? 7 : 0);
        EXPECT_EQ(run.value(u"message"_s).toString().contains(u"PRL file is damaged"_s), isB);
    }
}

} // namespace
