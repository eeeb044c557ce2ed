// The fault matrix: every way the simulated handset can misbehave, in every phase of the program's
// work with it, through the real program and the reference plug-in. A fault strikes at one
// request of the phase (the first request, a poll after the link is up, or a piece of data an
// operation writes) and lasts until the handset recovers. In every cell:
//   - nothing crashes and nothing hangs: the operation ends and the page unlocks;
//   - the result shown is a success only when the handset holds what was written, and a failure
//     whenever nothing could be verified; the day's operation log has the same result;
//   - what the version list shows is what the handset said, never an answer to another question;
//   - once the handset answers again the program takes it back, and an operation that failed
//     then goes through;
//   - no thread or open descriptor is left over.
#include "RefPagesFixture.h"
#include "controls/EditGrid.h"
#include "handset/ConnectionWorker.h"
#include "pages/MemoryTransferPage.h"
#include "pages/NvCatalogue.h"
#include "pages/PhoneBookPage.h"
#include "pages/SettingsPage.h"
#include "pages/UpgradePage.h"
#include "platform/ModemManagerInhibitor.h"

#include <QCryptographicHash>
#include <QLineEdit>
#include <QRadioButton>

#include <csignal>
#include <tuple>

namespace refpages {
namespace {

constexpr int SIM_PORT = 43;

enum EFault
{
    SILENCE,
    LATE,
    BAD_CHECK,
    WRONG_COMMAND,
    GARBAGE,
    HANGUP,
    UNPLUG,
    REFUSAL,
    ALTERED_STORE
};

// Each fault as the simulator's options: %1 stands for the request it strikes at (CODE:N), %2 for
// its command code.
struct SFault
{
    EFault eFault;
    const char* name;
    const char* args;
};

constexpr SFault FAULTS[] = {
    {SILENCE, "Silence", "--silent --faults-from %1"},
    // After the plug-in and the program's version questions have given up, before the program's
    // status question has: a stale answer may meet the next question.
    {LATE, "LateAnswers", "--late 1200 --faults-from %1"},
    {BAD_CHECK, "BadCheck", "--corrupt-check --faults-from %1"},
    {WRONG_COMMAND, "WrongCommand", "--wrong-command --faults-from %1"},
    {GARBAGE, "Garbage", "--garbage --faults-from %1"},
    {HANGUP, "HangUp", "--hangup-at %1"},
    {UNPLUG, "Unplug", "--leave-at %1"},
    {REFUSAL, "Refusal", "--refuse %2 --faults-from %1"},
    {ALTERED_STORE, "AlteredStore", "--bad-store 0x27 --bad-store 0x48 --bad-store 0x4B --bad-store 0x07"},
};

enum EPhase
{
    CONNECTING,
    POLLING,
    PRL,
    ERI,
    SETTINGS,
    PHONEBOOK,
    TRANSFER,
    FIRMWARE
};

struct SPhase
{
    EPhase ePhase;
    const char* name;
    const char* strikesAt; // CODE:N, the request the fault strikes at
    const char* operation; // as the operation log names it
};

constexpr SPhase PHASES[] = {
    {CONNECTING, "Connecting", "0x0C:1", nullptr},    // the first request of all
    {POLLING, "Polling", "0x0C:9", nullptr},          // the fifth poll
    {PRL, "Prl", "0x48:1", "PRL"},                    // the first block written
    {ERI, "Eri", "0x4B:9", "ERI"},                    // the first piece of the file (after the backup)
    {SETTINGS, "Settings", "0x27:1", "Setting"},      // the first item written
    {PHONEBOOK, "Phonebook", "0x4B:7", "Phonebook"},  // the file written (after the backup)
    {TRANSFER, "Transfer", "0x4B:7", "Transfer"},     // a restore's first file (after its backup)
    {FIRMWARE, "Firmware", "0x07:4", "Bin Download"}, // the third block streamed, mid-window
};

void PrintTo(const SFault& f, std::ostream* os)
{
    *os << f.name;
}
void PrintTo(const SPhase& p, std::ostream* os)
{
    *os << p.name;
}

// What the operations write, and the phonebook file the handset holds before.
const QString NEW_MDN = QStringLiteral("3105559876");
const QByteArray CSV = "Anna Berg,2125550147,,,,,\nBo Lind,3105550100,,,,,\n";
const QByteArray HANDSET_PHONEBOOK(700, 'h');
const QByteArray BACKUP_PHONEBOOK(900, 'b');

// Threads (by name) and open descriptors (by target) of this process, leaving out Qt's thread pool:
// its idle threads come and go by themselves, each with an event descriptor.
QStringList ThreadNames()
{
    QStringList names;
    for (const QString& t :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::NoDotAndDotDot | QDir::Dirs)) {
        const QString name =
            QString::fromUtf8(qpxtest::ReadFile(QStringLiteral("/proc/self/task/%1/comm").arg(t))).trimmed();
        if (name != QLatin1String("Thread (pooled)"))
            names << name;
    }
    return names;
}
QStringList Descriptors()
{
    QStringList targets;
    for (const QFileInfo& fd :
         QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::NoDotAndDotDot | QDir::System)) {
        const QString target = fd.symLinkTarget();
        if (!target.endsWith(QLatin1String("anon_inode:[eventfd]")))
            targets << target.section(QLatin1Char('/'), -1);
    }
    return targets;
}

class FaultMatrixTest : public CRefPagesTest, public ::testing::WithParamInterface<std::tuple<SFault, SPhase>>
{
protected:
    void SetUp() override
    {
        m_nPollPauseMs = CConnectionWorker::PollPauseMs();
        CConnectionWorker::SetPollPauseMs(50);
        std::tie(m_fault, m_phase) = GetParam();
        m_prl = PrlFile(500, 4242);
        m_eri = EriFile(1500, 0x0203);
        m_image = FirmwareImage("VKQ100A2", 20000); // five blocks of 4096 bytes, all in one window
        // Qt starts its bus thread at the first use of a message bus, once for the process (an
        // operation asks ModemManager to leave the port alone): start it before anything is counted.
        CModemManagerInhibitor().Inhibit(QStringLiteral("/dev/null"));
    }
    void TearDown() override
    {
        CRefPagesTest::TearDown();
        CConnectionWorker::SetPollPauseMs(m_nPollPauseMs);
    }

    bool IsOperation() const { return m_phase.operation != nullptr; }
    QStringList SimArgs() const
    {
        const QString at = QLatin1String(m_phase.strikesAt);
        return QString::fromLatin1(m_fault.args)
                   .replace(QLatin1String("%1"), at)
                   .replace(QLatin1String("%2"), at.section(QLatin1Char(':'), 0, 0))
                   .split(QLatin1Char(' '))
               << QStringLiteral("--verbose");
    }

    // ---- the simulator's side ----

    QString SimLog() { return m_sim.Stderr(); }
    // Requests the handset has had since the fault struck (the one it struck at included).
    int RequestsSinceStrike()
    {
        const QString log = SimLog();
        const qsizetype at = log.indexOf(QLatin1String("faults strike from here"));
        return at < 0 ? 0 : static_cast<int>(log.mid(at).count(QLatin1String(": request ")));
    }
    // The fault has struck and the program has gone on past it for a while (a request that gets
    // no answer takes the program's longest wait).
    bool Struck()
    {
        switch (m_fault.eFault) {
        case HANGUP: // gone, and the program has seen it go
            return !m_sim.IsRunning() && PortGone();
        case UNPLUG:
            return SimLog().contains(QLatin1String("leaving COM")) && PortGone();
        case ALTERED_STORE: // only writes are hit; the program just keeps polling
            return SimLog().count(QLatin1String("request 0C")) >= 10;
        default:
            return RequestsSinceStrike() >= (m_fault.eFault == SILENCE ? 2 : 7);
        }
    }
    // The handset answers again: a new one on the port after a hang-up, else the same one recovers.
    void Recover()
    {
        if (m_fault.eFault == HANGUP) {
            ASSERT_TRUE(PumpUntil([&] { return !m_sim.IsRunning(); }, CONNECT_MS)) << "no hang-up";
            ASSERT_TRUE(StartSim({QStringLiteral("--verbose")}));
            return;
        }
        ASSERT_GT(m_sim.ProcessId(), 0);
        ASSERT_EQ(::kill(static_cast<pid_t>(m_sim.ProcessId()), SIGUSR1), 0);
        ASSERT_TRUE(PumpUntil([&] { return SimLog().contains(QLatin1String("recovered")); }, CONNECT_MS));
    }

    // ---- the program's side ----

    // The version list shows nothing, or what the handset holds now: never an answer to another
    // question. A version the handset did not give shows as 65535.
    bool ShowsOnlyTheTruth() const
    {
        const SSimState s = ReadSimState(m_state);
        const QByteArray eri = s.Item(4025);
        if (!s.bRead || eri.size() < 2)
            return false;
        const QString failed = QStringLiteral("65535");
        const QStringList prl = PrlVersionText().split(QStringLiteral("    "));
        const bool prlTrue =
            PrlVersionText().isEmpty() ||
            (prl.size() == 2 &&
             (prl[0] == QStringLiteral("1: %1").arg(s.PrlId(0)) ||
              prl[0] == QStringLiteral("1: ") + failed) &&
             (prl[1] == QStringLiteral("2: %1").arg(s.PrlId(1)) || prl[1] == QStringLiteral("2: ") + failed));
        const QString eriText = QString::number(quint8(eri[0]) | (quint8(eri[1]) << 8));
        return (SoftwareVersionText().isEmpty() || SoftwareVersionText() == "12.06  " + s.strSwVersion) &&
               prlTrue &&
               (EriVersionText().isEmpty() || EriVersionText() == eriText || EriVersionText() == failed);
    }
    QString ShownVersions() const
    {
        return QStringLiteral("S/W \"%1\", PRL \"%2\", ERI \"%3\"")
            .arg(SoftwareVersionText(), PrlVersionText(), EriVersionText());
    }
    bool PortGone() const
    {
        return m_frame->PaneText(ID_PANE_PORT) == QStringLiteral("PORT : Not Connected ");
    }
    bool InDownloadMode() const
    {
        return m_frame->PaneText(ID_PANE_MODEL) == QStringLiteral("MODEL : Handset in download mode");
    }
    bool StartEnabled() const
    {
        switch (m_phase.ePhase) {
        case SETTINGS:
            return m_pHost->SettingsPage()->IsStartEnabled();
        case PHONEBOOK:
            return m_pHost->PhoneBookPage()->IsStartEnabled();
        case TRANSFER:
            return m_pHost->TransferPage()->IsStartEnabled();
        default:
            return m_pHost->UpgradePage()->IsStartEnabled();
        }
    }
    // Connected, the plug-in named for the handset, the page's start usable.
    bool BackOnline() const
    {
        return Connected() && HandsetShown() && (!IsOperation() || StartEnabled()) &&
               m_frame->PaneText(ID_PANE_DLL).startsWith(QStringLiteral("DLL : ") + m_dll);
    }
    // The page that ran the operation still holds its plug-in.
    bool PluginHeld() const
    {
        switch (m_phase.ePhase) {
        case SETTINGS:
            return m_pHost->SettingsPage()->IsRunning();
        case PHONEBOOK:
            return m_pHost->PhoneBookPage()->IsRunning();
        case TRANSFER:
            return m_pHost->TransferPage()->IsRunning();
        default:
            return m_pHost->UpgradePage()->IsRunning();
        }
    }

    struct SCounts
    {
        QStringList threads, fds;
        bool NoMoreThan(const SCounts& o) const
        {
            return threads.size() <= o.threads.size() && fds.size() <= o.fds.size();
        }
        std::string Text() const
        {
            return QStringLiteral("%1 threads (%2), %3 descriptors (%4)")
                .arg(threads.size())
                .arg(threads.join(QLatin1Char(' ')))
                .arg(fds.size())
                .arg(fds.join(QLatin1Char(' ')))
                .toStdString();
        }
    };
    static SCounts Counts() { return {ThreadNames(), Descriptors()}; }
    // Nothing more is open or running than at before (a plug-in loaded for the model check opens
    // its file for a moment: once is enough).
    static void ExpectNothingLeftOver(const SCounts& before, const char* when)
    {
        SCounts now;
        bool seen = false;
        PumpUntil(
            [&] {
                if (!seen)
                    now = Counts();
                seen = seen || now.NoMoreThan(before);
                return seen;
            },
            CONNECT_MS);
        EXPECT_TRUE(seen) << when << ": " << before.Text() << " -> " << now.Text();
    }

    // ---- the operations ----

    void Prepare(QPushButton*& start)
    {
        switch (m_phase.ePhase) {
        case PRL:
        case ERI:
        case FIRMWARE: {
            CUpgradePage* page = m_pHost->UpgradePage();
            const int id = m_phase.ePhase == PRL ? ID_PRL : m_phase.ePhase == ERI ? ID_ERI : ID_BIN;
            ASSERT_NO_FATAL_FAILURE(Toolbar(id, page));
            if (m_phase.ePhase != FIRMWARE)
                Child<QRadioButton>(page, "writeRadio")->click();
            if (m_phase.ePhase == PRL) {
                Child<QRadioButton>(page, "nam1Radio")->click();
                Child<QLineEdit>(page, "prlPathEdit")->setText(InputFile(QStringLiteral("new.prl"), m_prl));
            } else if (m_phase.ePhase == ERI) {
                Child<QLineEdit>(page, "eriPathEdit")
                    ->setText(InputFile(QStringLiteral("new_eri.bin"), m_eri));
            } else {
                Child<QLineEdit>(page, "binPathEdit")->setText(InputFile(QStringLiteral("new.bin"), m_image));
            }
            start = Child<QPushButton>(page, "startButton");
            break;
        }
        case SETTINGS: {
            // Write needs a read first; the fault strikes only at the first item written.
            CSettingsPage* page = m_pHost->SettingsPage();
            ASSERT_NO_FATAL_FAILURE(Toolbar(ID_SETTING, page));
            ASSERT_TRUE(PumpUntil([&] { return page->IsStartEnabled(); }, CONNECT_MS));
            page->Tabs()->setCurrentIndex(1);
            ASSERT_NO_FATAL_FAILURE(RunOperation(Child<QPushButton>(page, "readButton")));
            ASSERT_EQ(LastMessage(), QStringLiteral("Download Success!"));
            ASSERT_TRUE(PumpUntil([&] { return BackOnline(); }, CONNECT_MS));
            const int mdn = static_cast<int>(NvCategoryItems(1).indexOf(QStringLiteral("MDN")));
            page->Grid(1)->SetItemText(mdn, 1, NEW_MDN);
            start = Child<QPushButton>(page, "writeButton");
            break;
        }
        case PHONEBOOK: {
            CPhoneBookPage* page = m_pHost->PhoneBookPage();
            ASSERT_NO_FATAL_FAILURE(Toolbar(ID_PHONEBOOK, page));
            Child<QLineEdit>(page, "csvPathEdit")->setText(InputFile(QStringLiteral("in.csv"), CSV));
            Child<QRadioButton>(page, "writeRadio")->click();
            start = Child<QPushButton>(page, "startButton");
            break;
        }
        case TRANSFER: {
            // A backup beside the plug-in that differs from what the handset holds.
            const QString work = m_install + QStringLiteral("MODEL/TRANS_BK/");
            ASSERT_TRUE(qpxtest::WriteFile(work + QStringLiteral("pim/phonebook.qpb"), BACKUP_PHONEBOOK));
            ASSERT_TRUE(qpxtest::WriteFile(
                work + QStringLiteral("manifest.txt"),
                QByteArray::number(BACKUP_PHONEBOOK.size()) + ' ' +
                    QCryptographicHash::hash(BACKUP_PHONEBOOK, QCryptographicHash::Md5).toHex() +
                    " pim/phonebook.qpb\n"));
            ASSERT_TRUE(qpxtest::WriteFile(work + QStringLiteral("VKQ100A1.pp"), "VKQ100A1\n"));
            CMemoryTransferPage* page = m_pHost->TransferPage();
            ASSERT_NO_FATAL_FAILURE(Toolbar(ID_TRANSFER, page));
            Child<QRadioButton>(page, "restoreRadio")->click();
            start = Child<QPushButton>(page, "startButton");
            break;
        }
        default:
            FAIL() << "not an operation";
        }
        ASSERT_NE(start, nullptr);
        ASSERT_TRUE(PumpUntil([&] { return BackOnline(); }, CONNECT_MS));
    }

    // The handset holds everything the operation wrote.
    bool Done() const
    {
        const SSimState s = ReadSimState(m_state);
        switch (m_phase.ePhase) {
        case PRL:
            return s.prl[0] == m_prl;
        case ERI: {
            const QByteArray item = s.Item(4025);
            return qpxtest::ReadFile(Efs(QStringLiteral("roaming/eri_data.bin"))) == m_eri &&
                   item.size() >= 2 && (quint8(item[0]) | (quint8(item[1]) << 8)) == 0x0203;
        }
        case SETTINGS:
            return s.Item(178, 0).left(11) == QByteArray(1, '\0') + NEW_MDN.toLatin1();
        case PHONEBOOK: {
            const QList<QByteArrayList> rows =
                PhonebookRecords(qpxtest::ReadFile(Efs(QStringLiteral("pim/phonebook.qpb"))));
            return rows.size() == 2 && rows[0].value(0) == "Anna Berg" && rows[1].value(1) == "3105550100";
        }
        case TRANSFER:
            return qpxtest::ReadFile(Efs(QStringLiteral("pim/phonebook.qpb"))) == BACKUP_PHONEBOOK;
        case FIRMWARE:
            return s.strSwVersion == QStringLiteral("VKQ100A2") &&
                   qpxtest::ReadFile(m_state + QStringLiteral("/firmware.img")) == m_image;
        default:
            return false;
        }
    }

    QWidget* Page() const
    {
        switch (m_phase.ePhase) {
        case SETTINGS:
            return m_pHost->SettingsPage();
        case PHONEBOOK:
            return m_pHost->PhoneBookPage();
        case TRANSFER:
            return m_pHost->TransferPage();
        default:
            return m_pHost->UpgradePage();
        }
    }
    QLabel* StatusLabel() const { return Child<QLabel>(Page(), "statusValue"); }

    // One run of the operation: it ends, the page unlocks, and what it shows and logs is true.
    // Returns whether it reported success.
    void RunAndCheck(QPushButton* start, bool& succeeded)
    {
        const qsizetype logged = LogText().count(QByteArray("Current Operation\t:\t") + m_phase.operation);
        // Read while the result is told (a reconnection that finds no handset empties the line).
        for (int box = m_phase.ePhase == SETTINGS ? 1 : 2; box > 0; --box)
            Dialogs::SetNextAnswer(IDYES, [this] { m_strToldStatus = StatusLabel()->text(); });
        ASSERT_NO_FATAL_FAILURE(RunOperation(start));
        succeeded = LastMessage() == QStringLiteral("Download Success!");
        EXPECT_TRUE(!succeeded || Done()) << "success shown for work the handset does not hold";
        const QString status = m_strToldStatus;
        if (!succeeded) {
            EXPECT_EQ(status, QStringLiteral("Failed: ") + LastMessage());
        }
        EXPECT_EQ(theSettings.m_bBusy, 0);
        EXPECT_TRUE(PanelUnlocked());
        EXPECT_FALSE(PluginHeld());
        const QByteArray log = LogText();
        EXPECT_EQ(log.count(QByteArray("Current Operation\t:\t") + m_phase.operation), logged + 1);
        EXPECT_TRUE(log.contains("Last Status\t\t:\t" + status.toUtf8() + "\r\n")) << log.constData();
    }

    SFault m_fault{};
    SPhase m_phase{};
    QString m_strToldStatus;
    int m_nPollPauseMs = 700;
    QStringList m_lies; // versions shown that the handset never said
    QByteArray m_prl, m_eri, m_image;
};

TEST_P(FaultMatrixTest, Cell)
{
    m_state = qpxtest::MakeTempDir(QStringLiteral("state"));
    ASSERT_TRUE(qpxtest::WriteFile(Efs(QStringLiteral("pim/phonebook.qpb")), HANDSET_PHONEBOOK));
    const bool connecting = m_phase.ePhase == CONNECTING;
    const SCounts atStart = Counts();
    ASSERT_NO_FATAL_FAILURE(Launch(SIM_PORT, SimArgs(), !connecting));
    // What the version list shows, watched while the program works.
    const auto watching = [&](const std::function<bool()>& done) {
        return [&, done] {
            if (!ShowsOnlyTheTruth() && (m_lies.isEmpty() || m_lies.constLast() != ShownVersions()))
                m_lies << ShownVersions();
            return done();
        };
    };

    SCounts before;
    bool succeeded = false;
    if (IsOperation()) {
        QPushButton* start = nullptr;
        ASSERT_NO_FATAL_FAILURE(Prepare(start));
        before = Counts();
        ASSERT_NO_FATAL_FAILURE(RunAndCheck(start, succeeded));
        // The fault hits data being written: nothing can be verified. (Answers that come late but
        // within what the plug-in waits for are no fault.)
        if (m_fault.eFault != LATE) {
            EXPECT_FALSE(succeeded) << LastMessage().toStdString();
        }
    } else {
        before = Counts();
        ASSERT_TRUE(PumpUntil(watching([&] { return Struck(); }), OPERATION_MS))
            << SimLog().right(2000).toStdString();
        // Only memory writes are altered: the program connects and polls as usual.
        if (connecting && m_fault.eFault != ALTERED_STORE && m_fault.eFault != LATE) {
            EXPECT_FALSE(Connected()) << "a handset that does not answer is taken as connected";
        }
    }

    ASSERT_NO_FATAL_FAILURE(Recover());
    // A firmware write cut short leaves the handset in download mode: the program says so.
    ASSERT_TRUE(PumpUntil(watching([&] {
                              return (BackOnline() && ShowsOnlyTheTruth()) ||
                                     (m_phase.ePhase == FIRMWARE && !succeeded && InDownloadMode());
                          }),
                          CONNECT_MS))
        << "not taken back: " << m_frame->PaneText(ID_PANE_PORT).toStdString() << " / "
        << m_frame->PaneText(ID_PANE_MODEL).toStdString() << " / " << ShownVersions().toStdString();
    EXPECT_TRUE(m_lies.isEmpty()) << "shown: " << m_lies.join(QStringLiteral("; ")).toStdString();
    // The handset's port open again, as it was before the fault (a connection's start has no
    // such moment).
    if (!connecting)
        ExpectNothingLeftOver(before, "after the handset was taken back");

    // The operation that failed goes through once the handset answers as it should.
    if (IsOperation() && !succeeded && BackOnline()) {
        Dialogs::ClearRecords();
        QPushButton* start = nullptr;
        ASSERT_NO_FATAL_FAILURE(Prepare(start));
        bool again = false;
        ASSERT_NO_FATAL_FAILURE(RunAndCheck(start, again));
        EXPECT_TRUE(again) << LastMessage().toStdString();
        EXPECT_TRUE(Done());
    }

    m_frame.reset();
    m_sim.Stop();
    ExpectNothingLeftOver(atStart, "after the program's window was closed");
}

std::string CellName(const ::testing::TestParamInfo<std::tuple<SFault, SPhase>>& info)
{
    return std::string(std::get<0>(info.param).name) + "In" + std::get<1>(info.param).name;
}

INSTANTIATE_TEST_SUITE_P(Matrix, FaultMatrixTest,
                         ::testing::Combine(::testing::ValuesIn(FAULTS), ::testing::ValuesIn(PHASES)),
                         CellName);

} // namespace
} // namespace refpages
