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

using namespace Qt::StringLiterals;

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
const QString NEW_MDN = u"3105559876"_s;
const QByteArray CSV = "Anna Berg,2125550147,,,,,\nBo Lind,3105550100,,,,,\n";
const QByteArray HANDSET_PHONEBOOK(700, 'h');
const QByteArray BACKUP_PHONEBOOK(900, 'b');

// Threads (by name) and open descriptors (by target) of this process, leaving out Qt's thread pool:
// its idle threads come and go by themselves, each with an event descriptor.
QStringList ThreadNames()
{
    QStringList names;
    for (const QString& t : QDir(u"/proc/self/task"_s).entryList(QDir::NoDotAndDotDot | QDir::Dirs)) {
        const QString name =
            QString::fromUtf8(qpxtest::ReadFile(u"/proc/self/task/%1/comm"_s.arg(t))).trimmed();
        if (name != "Thread (pooled)"_L1)
            names << name;
    }
    return names;
}
QStringList Descriptors()
{
    QStringList targets;
    for (const QFileInfo& fd : QDir(u"/proc/self/fd"_s).entryInfoList(QDir::NoDotAndDotDot | QDir::System)) {
        const QString target = fd.symLinkTarget();
        if (!target.endsWith("anon_inode:[eventfd]"_L1))
            targets << target.section(u'/', -1);
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
        CModemManagerInhibitor().Inhibit(u"/dev/null"_s);
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
                   .replace("%1"_L1, at)
                   .replace("%2"_L1, at.section(u':', 0, 0))
                   .split(u' ')
               << u"--verbose"_s;
    }

    // ---- the simulator's side ----

    // Requests the handset has had since the fault struck (the one it struck at included).
    int RequestsSinceStrike()
    {
        const QString log = m_sim.Stderr();
        const qsizetype at = log.indexOf("faults strike from here"_L1);
        return at < 0 ? 0 : static_cast<int>(log.mid(at).count(": request "_L1));
    }
    // The fault has struck and the program has gone on past it for a while (a request that gets
    // no answer takes the program's longest wait).
    bool Struck()
    {
        switch (m_fault.eFault) {
        case HANGUP: // gone, and the program has seen it go
            return !m_sim.IsRunning() && PortGone();
        case UNPLUG:
            return m_sim.Stderr().contains("leaving COM"_L1) && PortGone();
        case ALTERED_STORE: // only writes are hit; the program just keeps polling
            return m_sim.Stderr().count("request 0C"_L1) >= 10;
        default:
            return RequestsSinceStrike() >= (m_fault.eFault == SILENCE ? 2 : 7);
        }
    }
    // The handset answers again: a new one on the port after a hang-up, else the same one recovers.
    void Recover()
    {
        if (m_fault.eFault == HANGUP) {
            ASSERT_TRUE(PumpUntil([&] { return !m_sim.IsRunning(); }, CONNECT_MS)) << "no hang-up";
            ASSERT_TRUE(StartSim({u"--verbose"_s}));
            return;
        }
        ASSERT_GT(m_sim.ProcessId(), 0);
        ASSERT_EQ(::kill(static_cast<pid_t>(m_sim.ProcessId()), SIGUSR1), 0);
        ASSERT_TRUE(PumpUntil([&] { return m_sim.Stderr().contains("recovered"_L1); }, CONNECT_MS));
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
        const QString failed = u"65535"_s;
        const QStringList prl = PrlVersionText().split(u"    "_s);
        const bool prlTrue =
            PrlVersionText().isEmpty() ||
            (prl.size() == 2 && (prl[0] == u"1: %1"_s.arg(s.PrlId(0)) || prl[0] == u"1: "_s + failed) &&
             (prl[1] == u"2: %1"_s.arg(s.PrlId(1)) || prl[1] == u"2: "_s + failed));
        const QString eriText = QString::number(quint8(eri[0]) | (quint8(eri[1]) << 8));
        return (SoftwareVersionText().isEmpty() || SoftwareVersionText() == "12.06  " + s.strSwVersion) &&
               prlTrue &&
               (EriVersionText().isEmpty() || EriVersionText() == eriText || EriVersionText() == failed);
    }
    QString ShownVersions() const
    {
        return u"S/W \"%1\", PRL \"%2\", ERI \"%3\""_s.arg(SoftwareVersionText(), PrlVersionText(),
                                                           EriVersionText());
    }
    bool PortGone() const { return m_frame->PaneText(ID_PANE_PORT) == u"PORT : Not Connected "_s; }
    bool InDownloadMode() const
    {
        return m_frame->PaneText(ID_PANE_MODEL) == u"MODEL : Handset in download mode"_s;
    }
    // Connected, the plug-in named for the handset, the page's start usable.
    COperationPage* Page() const
    {
        const EPhase p = m_phase.ePhase;
        return p == SETTINGS    ? static_cast<COperationPage*>(m_pHost->SettingsPage())
               : p == PHONEBOOK ? static_cast<COperationPage*>(m_pHost->PhoneBookPage())
               : p == TRANSFER  ? static_cast<COperationPage*>(m_pHost->TransferPage())
                                : static_cast<COperationPage*>(m_pHost->UpgradePage());
    }
    bool BackOnline() const
    {
        return Connected() && HandsetShown() && (!IsOperation() || Page()->IsStartEnabled()) &&
               m_frame->PaneText(ID_PANE_DLL).startsWith(u"DLL : "_s + m_dll);
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
            return u"%1 threads (%2), %3 descriptors (%4)"_s
                .arg(QString::number(threads.size()), threads.join(u' '), QString::number(fds.size()),
                     fds.join(u' '))
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
                Child<QLineEdit>(page, "prlPathEdit")->setText(InputFile(u"new.prl"_s, m_prl));
            } else if (m_phase.ePhase == ERI) {
                Child<QLineEdit>(page, "eriPathEdit")->setText(InputFile(u"new_eri.bin"_s, m_eri));
            } else {
                Child<QLineEdit>(page, "binPathEdit")->setText(InputFile(u"new.bin"_s, m_image));
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
            ASSERT_EQ(LastMessage(), u"Download Success!"_s);
            ASSERT_TRUE(PumpUntil([&] { return BackOnline(); }, CONNECT_MS));
            const int mdn = static_cast<int>(NvCategoryItems(1).indexOf(u"MDN"_s));
            page->Grid(1)->SetItemText(mdn, 1, NEW_MDN);
            start = Child<QPushButton>(page, "writeButton");
            break;
        }
        case PHONEBOOK: {
            CPhoneBookPage* page = m_pHost->PhoneBookPage();
            ASSERT_NO_FATAL_FAILURE(Toolbar(ID_PHONEBOOK, page));
            Child<QLineEdit>(page, "csvPathEdit")->setText(InputFile(u"in.csv"_s, CSV));
            Child<QRadioButton>(page, "writeRadio")->click();
            start = Child<QPushButton>(page, "startButton");
            break;
        }
        case TRANSFER: {
            // A backup beside the plug-in that differs from what the handset holds.
            const QString work = m_install + u"MODEL/TRANS_BK/"_s;
            ASSERT_TRUE(qpxtest::WriteFile(work + u"pim/phonebook.qpb"_s, BACKUP_PHONEBOOK));
            ASSERT_TRUE(qpxtest::WriteFile(
                work + u"manifest.txt"_s,
                QByteArray::number(BACKUP_PHONEBOOK.size()) + ' ' +
                    QCryptographicHash::hash(BACKUP_PHONEBOOK, QCryptographicHash::Md5).toHex() +
                    " pim/phonebook.qpb\n"));
            ASSERT_TRUE(qpxtest::WriteFile(work + u"VKQ100A1.pp"_s, "VKQ100A1\n"));
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
            return qpxtest::ReadFile(Efs(u"roaming/eri_data.bin"_s)) == m_eri && item.size() >= 2 &&
                   (quint8(item[0]) | (quint8(item[1]) << 8)) == 0x0203;
        }
        case SETTINGS:
            return s.Item(178, 0).left(11) == QByteArray(1, '\0') + NEW_MDN.toLatin1();
        case PHONEBOOK: {
            const QList<QByteArrayList> rows =
                PhonebookRecords(qpxtest::ReadFile(Efs(u"pim/phonebook.qpb"_s)));
            return rows.size() == 2 && rows[0].value(0) == "Anna Berg" && rows[1].value(1) == "3105550100";
        }
        case TRANSFER:
            return qpxtest::ReadFile(Efs(u"pim/phonebook.qpb"_s)) == BACKUP_PHONEBOOK;
        case FIRMWARE:
            return s.strSwVersion == u"VKQ100A2"_s &&
                   qpxtest::ReadFile(m_state + u"/firmware.img"_s) == m_image;
        default:
            return false;
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
        succeeded = LastMessage() == u"Download Success!"_s;
        EXPECT_TRUE(!succeeded || Done()) << "success shown for work the handset does not hold";
        const QString status = m_strToldStatus;
        EXPECT_TRUE(succeeded || status == u"Failed: "_s + LastMessage()) << status.toStdString();
        EXPECT_EQ(theSettings.m_bBusy, 0);
        EXPECT_TRUE(PanelUnlocked());
        EXPECT_FALSE(Page()->IsRunning());
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
    m_state = qpxtest::MakeTempDir(u"state"_s);
    ASSERT_TRUE(qpxtest::WriteFile(Efs(u"pim/phonebook.qpb"_s), HANDSET_PHONEBOOK));
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
        EXPECT_TRUE(m_fault.eFault == LATE || !succeeded) << LastMessage().toStdString();
    } else {
        before = Counts();
        ASSERT_TRUE(PumpUntil(watching([&] { return Struck(); }), OPERATION_MS))
            << m_sim.Stderr().right(2000).toStdString();
        // Only memory writes are altered: the program connects and polls as usual.
        EXPECT_FALSE(connecting && m_fault.eFault != ALTERED_STORE && m_fault.eFault != LATE && Connected())
            << "a handset that does not answer is taken as connected";
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
    EXPECT_TRUE(m_lies.isEmpty()) << "shown: " << m_lies.join(u"; "_s).toStdString();
    // The handset's port open again, as it was before the fault (a connection's start has no
    // such moment).
    if (!connecting)
        ExpectNothingLeftOver(before, "after the handset was taken back");

    // The operation that failed goes through once the handset answers as it should.
    // (A loaded machine can miss the plug-in's short wait for an answer: such a run is tried again.)
    if (IsOperation() && !succeeded && BackOnline()) {
        bool again = false;
        for (int run = 0; run < 3 && !again && (run == 0 || LastMessage().contains("not answer"_L1)); ++run) {
            Dialogs::ClearRecords();
            QPushButton* start = nullptr;
            ASSERT_NO_FATAL_FAILURE(Prepare(start));
            ASSERT_NO_FATAL_FAILURE(RunAndCheck(start, again));
        }
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
