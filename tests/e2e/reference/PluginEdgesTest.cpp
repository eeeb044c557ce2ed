// The reference plug-in's exports called the way a page calls them, against the simulated handset:
// the cases the pages do not reach. Inputs refused before the handset is touched, handsets that
// refuse, fail or guard themselves, what every write keeps beside the plug-in, a fault in the
// middle of a bulk transfer's window, and the settings rows that are not plain NV values.
#include "RefSim.h"
#include "controls/EditGrid.h"
#include "controls/XListCtrl.h"
#include "pages/CsvReader.h"
#include "pages/NvCatalogue.h"
#include "pages/PluginLists.h"
#include "platform/WindowMessage.h"

#include <QCoreApplication>
#include <QCryptographicHash>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

using namespace reftest;

// The page side of a run: the completion message and the live status texts.
class CRunPage : public QObject, public IMessageReceiver, public IPluginStatusDisplay
{
public:
    int nDone = 0;
    OperationResult result{};
    QStringList statuses;

    LRESULT OnMessage(quint32 msg, WPARAM w, LPARAM l) override
    {
        if (msg == WM_PLUGIN_NOTIFY_MSG && w == PLUGIN_DONE) {
            result = CPluginRun::CopyResult(l);
            ++nDone;
        }
        return 0;
    }
    void SetProgress(int) override {}
    void SetStatusText(const QString& t) override { statuses.append(t); }
    void SetFileName(const QString&) override {}
    void SetAddress(const QString&) override {}
    void SetElapsed(int, float) override {}

protected:
    void customEvent(QEvent* e) override { DispatchMessageEvent(this, e); }
};

struct SOutcome
{
    bool bFinished = false; // exactly one PLUGIN_DONE
    OperationResult result{};
    QStringList statuses;
    bool Ok() const { return bFinished && result.nResult < 0; }
    QString Message() const { return QString::fromLocal8Bit(result.szMessage); }
    QString Status() const { return QString::fromLocal8Bit(result.szStatus); }
};

// One end of a run that failed saying says.
::testing::AssertionResult Fails(const SOutcome& r, const QString& says)
{
    if (r.bFinished && !r.Ok() && r.Message().contains(says))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << r.bFinished << " " << r.Message().toStdString();
}

// A settings category's grid as the page builds it: the item names, editors in columns 1 and 2.
struct SGrid
{
    explicit SGrid(int category)
    {
        for (int c = 0; c < 3; ++c)
            grid.InsertColumn(c, QString());
        for (const QString& name : NvCategoryItems(category))
            grid.InsertItem(grid.GetItemCount(), name);
    }
    QString Cell(int row, int col = 1) const { return grid.GetItemText(row, col); }
    void Set(int row, const QString& text) { grid.SetItemText(row, 1, text); }
    CEditGrid grid;
    CPluginList list{&grid, {1, 2}};
};

// The row of a category's item name (the occurrence-th when the name repeats).
int Row(int category, const char* name, int occurrence = 0)
{
    const QStringList rows = NvCategoryItems(category);
    for (int r = 0, seen = 0; r < rows.size(); ++r)
        if (rows[r] == QLatin1String(name) && seen++ == occurrence)
            return r;
    ADD_FAILURE() << "no row " << name;
    return 0;
}

QString Md5(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

class CPluginTest : public CRefSimTest
{
protected:
    CPluginTest() { CPluginRun::SetReleaseWaitMs(0); }

    // Loads the library, calls the export through call, waits for PLUGIN_DONE, releases.
    SOutcome Run(const std::function<void(CPluginRun&)>& call)
    {
        CRunPage page;
        CPluginRun run(&page, &page);
        if (!run.Load(m_dll))
            return {};
        call(run);
        qpxtest::PumpUntil([&] { return page.nDone > 0; });
        QCoreApplication::processEvents(); // anything posted twice shows up now
        const SOutcome out{page.nDone == 1, page.result, page.statuses};
        run.ReleaseAndUnload();
        return out;
    }
    static const char* Arg(CPluginRun&, const QByteArray& text) { return text.constData(); }
    static int Arg(CPluginRun&, int value) { return value; }
    static QpxList* Arg(CPluginRun& run, IPluginList* list) { return run.AttachList(list); }
    // An export with the page's first four arguments (the simulator's port), then args.
    template <typename Fn, typename... A> SOutcome Call(const char* symbol, const A&... args)
    {
        return Run([&](CPluginRun& run) {
            const auto fn = run.Function<Fn>(symbol);
            ASSERT_NE(fn, nullptr) << symbol;
            fn(run.Window(), m_sim.Port(), CPluginRun::ToQpxRect(QRect(10, 355, 580, 105)),
               m_dll.toLocal8Bit().constData(), Arg(run, args)...);
        });
    }
    static QByteArray L(const QString& path) { return path.toLocal8Bit(); }

    SOutcome Prl(int nam, const QString& file, int direction)
    {
        return Call<PFN_ModelInterface_Prl>(QPX_SYM_PRL, nam, L(file), direction);
    }
    SOutcome Eri(const QString& file, int direction)
    {
        return Call<PFN_ModelInterface_Eri>(QPX_SYM_ERI, 0, L(file), direction);
    }
    SOutcome Transfer(int mode, int mask)
    {
        return Call<PFN_ModelInterface_Transfer>(QPX_SYM_TRANSFER, mode, mask);
    }
    SOutcome PhoneBook(int mode, const QString& csv)
    {
        CXListCtrl list;
        for (int c = 0; c < CSV_COLUMNS; ++c)
            list.InsertColumn(c, QString());
        CPluginList rows(&list);
        return Call<PFN_ModelInterface_PhoneBook>(QPX_SYM_PHONEBOOK, mode, L(csv), &rows);
    }
    SOutcome Settings(int category, int direction, SGrid& g)
    {
        return Call<PFN_ModelInterface_Settings>(QPX_SYM_SETTINGS, category, direction, 0, &g.list);
    }
    SOutcome Bin(const QString& bin) { return Call<PFN_ModelInterface_Bin>(QPX_SYM_BIN, L(bin)); }
    SOutcome Src(const QString& scr)
    {
        return Call<PFN_ModelInterface_Src>(QPX_SYM_SRC, L(scr), QByteArray(), 0, QByteArray());
    }

    // A category read into a fresh grid; the status of the read in m_strLastStatus.
    SGrid& Read(int category)
    {
        m_grids.push_back(std::make_unique<SGrid>(category));
        const SOutcome r = Settings(category, 1, *m_grids.back());
        EXPECT_TRUE(r.Ok()) << r.Message().toStdString();
        m_strLastStatus = r.Status();
        return *m_grids.back();
    }

    // The one backup folder of a kind beside the plug-in, or empty when there is none (or more).
    QString BackupOf(const char* kind) const
    {
        const QString base = m_install + u"MODEL/"_s + QLatin1String(kind);
        const QStringList runs = QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        return runs.size() == 1 ? base + u'/' + runs.first() : QString();
    }
    static QString Manifest(const QString& folder)
    {
        return QString::fromUtf8(qpxtest::ReadFile(folder + u"/manifest.txt"_s));
    }

    // The codes a test gives the plug-in are its own.
    void TearDown() override
    {
        qunsetenv("QPX_REF_SPC");
        qunsetenv("QPX_REF_PASSWORD");
    }
    SOutcome WriteMdn()
    {
        SGrid g(2);
        g.Set(Row(2, "MDN"), u"3105550000"_s);
        return Settings(2, 0, g);
    }
    QString ReadMdn() { return Read(2).Cell(Row(2, "MDN")); }
    // Requests of one command the simulator logged (read after it ended).
    int Requests(const char* code)
    {
        return static_cast<int>(m_sim.Stderr().count(u"request %1 "_s.arg(QLatin1String(code))));
    }

    std::vector<std::unique_ptr<SGrid>> m_grids;
    QString m_strLastStatus;
};

// ---- inputs and handsets that end a run with its reason ----

TEST_F(CPluginTest, BadInputsAreRefusedBeforeTheHandsetIsTouched)
{
    ASSERT_TRUE(qpxtest::WriteFile(Efs(u"pim/note.txt"_s), "old note"));
    ASSERT_TRUE(StartSim());
    InputFile(u"note.txt"_s, "new note");
    QByteArray badCrc = PrlFile(200, 9);
    badCrc[100] = static_cast<char>(badCrc[100] ^ 1);
    QByteArray damaged = FirmwareImage("VKQ100A2", 3000);
    damaged[2000] = static_cast<char>(damaged[2000] ^ 0x40);
    const auto prl = [&](const QByteArray& data) { return Prl(0, InputFile(u"in.prl"_s, data), 0); };
    const auto bin = [&](const QByteArray& data) { return Bin(InputFile(u"in.bin"_s, data)); };
    const auto script = [&](const QByteArray& text) { return Src(InputFile(u"s.txt"_s, text)); };
    const auto setting = [&](int category, const char* row, const char* value) {
        SGrid g(category);
        g.Set(Row(category, row), QString::fromUtf8(value));
        const SOutcome r = Settings(category, 0, g);
        EXPECT_FALSE(r.statuses.contains(u"Connecting to the handset"_s)) << row;
        return r;
    };
    const QMap<QString, QByteArray> before = qpxtest::FilesBelow(m_state);
    const struct
    {
        std::function<SOutcome()> run;
        QString says;
    } cases[] = {
        {[&] { return prl(badCrc); }, u"check value"_s},
        {[&] { return prl(PrlFile(200, 9).chopped(1)); }, u"size field"_s},
        {[&] { return prl("ab"); }, u"too short"_s},
        {[&] { return bin(damaged); }, u"check value"_s},
        {[&] { return bin(FirmwareImage("VKQ100A2", 3000).chopped(10)); }, u"2990"_s},
        {[&] { return bin(FirmwareImage("ZZZ990A1", 100)); }, u"is for software ZZZ990A1"_s},
        {[&] { return bin("hello"); }, u"not a firmware image"_s},
        {[&] { return script("nv 4 = 2A\nnv 178 = 0\n"); }, u"Line 2"_s},
        {[&] { return script("put /pim/note.txt = note.txt\nput pim/x = note.txt\n"); }, u"Line 2"_s},
        {[&] { return script("put /pim/note.txt = note.txt\nput /pim/../x = note.txt\n"); }, u"Line 2"_s},
        {[&] { return script("put /pim/note.txt = note.txt\nput /pim/y = missing.bin\n"); },
         u"cannot be read"_s},
        {[&] { return script("put /pim/note.txt = note.txt\ndelete\n"); }, u"Line 2"_s},
        {[&] { return script("# nothing\n"); }, u"holds no item write or file operation"_s},
        {[&] { return Src({}); }, QString()},
        {[&] { return PhoneBook(0, m_files + u"/missing.csv"_s); }, u"cannot be read"_s},
        // The values themselves are the codec's (unit tests); refused before connecting.
        {[&] { return setting(1, "MNC", "300"); }, u"\"300\" of \"MNC\""_s},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(Fails(c.run(), c.says));
    }
    EXPECT_EQ(qpxtest::FilesBelow(m_state), before);
    EXPECT_FALSE(QFileInfo::exists(m_install + u"MODEL/PRL_BK"_s));
    EXPECT_FALSE(QFileInfo::exists(m_install + u"MODEL/SCRIPT_BK"_s));
    EXPECT_FALSE(QFileInfo::exists(m_install + u"MODEL/NV_BK"_s));
}

TEST_F(CPluginTest, WhatTheHandsetRefusesOrNeverAnswersEndsTheRunWithItsReason)
{
    const QString out = m_files + u"/out"_s;
    const struct
    {
        const char* simArgs;
        std::function<SOutcome()> run;
        QString says;                          // %1: the port
        std::function<void()> prepare = [] {}; // before the simulator starts
    } cases[] = {
        {"--refuse 0x49", [&] { return Prl(0, out, 1); }, u"does not support"_s},
        {"--status-only", [&] { return Prl(0, out, 1); }, u"does not answer"_s},
        {"", [&] { return m_sim.Stop(), Prl(0, out, 1); }, u"COM%1"_s},
        {"", [&] { return Src(InputFile(u"ro.txt"_s, "nv 0 = 01 02 03 04\n")); }, u"item 0 read-only"_s},
        {"--bad-store 0x4B", [&] { return Eri(InputFile(u"in.eri"_s, EriFile(90, 6)), 0); },
         u"The ERI read back from the handset differs"_s},
        {"",
         [&] {
             return Transfer(1, 1), qpxtest::WriteFile(m_install + u"MODEL/TRANS_BK/sms/a"_s, "B"),
                    Transfer(0, 1);
         },
         u"sms/a differs from its manifest"_s, [&] { qpxtest::WriteFile(Efs(u"sms/a"_s), "b"); }},
        {"",
         [&] {
             const SOutcome r = PhoneBook(0, InputFile(u"pb.csv"_s, "Ann,1,,,,,\n"));
             EXPECT_EQ(qpxtest::ReadFile(Efs(u"pim/phonebook.qpb"_s)), "QPB1 not really");
             return r;
         },
         u"backup"_s,
         [&] {
             qpxtest::WriteFile(Efs(u"pim/phonebook.qpb"_s), "QPB1 not really");
             qpxtest::WriteFile(m_install + u"MODEL/PB_BK"_s, "in the way");
         }},
        {"--refuse 0x26",
         [&] {
             SGrid g(4);
             g.Set(Row(4, "Language"), u"Korean"_s);
             return Settings(4, 0, g);
         },
         u"does not have item 61441 (\"Language\")"_s},
        {"--reenumerate-ms 8000",
         [&] { return Bin(InputFile(u"new.bin"_s, FirmwareImage("VKQ100A3", 100))); },
         u"The handset did not come back on COM%1 within 5 seconds (boot loader)."_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says.toStdString());
        m_state = qpxtest::MakeTempDir(u"state"_s);
        QDir(m_install + u"MODEL"_s).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(m_install + u"MODEL"_s));
        ASSERT_TRUE(QFile::copy(QStringLiteral(QPX_REF_PLUGIN), m_dll));
        ASSERT_NO_FATAL_FAILURE(c.prepare());
        ASSERT_TRUE(StartSim(QString::fromLatin1(c.simArgs).split(u' ', Qt::SkipEmptyParts)));
        EXPECT_TRUE(Fails(c.run(), c.says.arg(m_sim.Port())));
        m_sim.Stop();
    }
}

// Bulk transfers keep several requests unanswered at once. A fault in the middle of that window
// ends the operation at the first bad answer, named by its own step, and nothing is reported as
// done: the handset keeps its software, a backup gets no marker. (Hang-ups and damaged answers
// in a download or a restore: the fault matrix.)
TEST_F(CPluginTest, AFaultMidWindowEndsTheTransferCleanly)
{
    const QByteArray big = Pattern(64 * 1024, 13, 0x7E);
    const QString marker = m_install + u"MODEL/TRANS_BK/VKQ100A1.pp"_s;
    SGrid grid(1);
    const struct
    {
        const char* simArgs;
        std::function<SOutcome()> run;
        const char* says;
    } cases[] = {
        // The flash is full after eight blocks; the writes behind the refused one are refused too,
        // but the first refusal is the one reported.
        {"--download-block 1024 --flash-size 8192",
         [&] { return Bin(InputFile(u"new.bin"_s, FirmwareImage("VKQ100A2", 40000))); },
         "stopped the download (writing at 0x00002000): out of space"},
        // Requests 4B: HELLO, STAT, OPENDIR, the READDIRs, CLOSEDIR, OPEN a.dat and big.dat (opened
        // ahead), a.dat's read, then big.dat's reads: two files in the window.
        {"--efs-window 1024 --hangup-at 0x4B:20", [&] { return Transfer(1, 2); },
         "does not answer (pim/big.dat)"},
        {"--efs-window 1024 --corrupt-at 0x4B:20", [&] { return Transfer(1, 2); },
         "answer was damaged (pim/big.dat)"},
        // Requests 26: the NAM's item reads, several unanswered at once.
        {"--hangup-at 0x26:5", [&] { return Settings(1, 1, grid); }, "does not answer (item "},
        {"--corrupt-at 0x26:5", [&] { return Settings(1, 1, grid); }, "answer was damaged (item "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        m_state = qpxtest::MakeTempDir(u"state"_s);
        qpxtest::WriteFile(Efs(u"pim/big.dat"_s), big);
        qpxtest::WriteFile(Efs(u"pim/a.dat"_s), "a");
        ASSERT_TRUE(StartSim(QString::fromLatin1(c.simArgs).split(u' ')));
        const SOutcome r = c.run();
        EXPECT_TRUE(Fails(r, QLatin1String(c.says)));
        EXPECT_TRUE(r.Status().startsWith(u"Failed: "_s)) << r.Status().toStdString();
        m_sim.Stop();
        EXPECT_EQ(ReadSimState(m_state).strSwVersion, u"VKQ100A1"_s);
        EXPECT_FALSE(QFileInfo::exists(marker));
    }

    // A handset that leaves without its last answer is followed too.
    ASSERT_TRUE(StartSim({u"--reenumerate-ms"_s, u"200"_s, u"--leave-abruptly"_s}));
    const SOutcome r = Bin(InputFile(u"new.bin"_s, FirmwareImage("VKQ100A4", 2500)));
    ASSERT_TRUE(r.Ok()) << r.Message().toStdString();
    EXPECT_TRUE(r.Status().contains(u"Software VKQ100A4 written"_s)) << r.Status().toStdString();
}

// ---- what a write keeps ----

// Every write saves what it replaces beside the plug-in, with a manifest line per file or item
// (name, size, MD5; "none" where there was nothing), and its result says where.
TEST_F(CPluginTest, EveryWriteKeepsWhatItReplacesWithAManifest)
{
    const QByteArray oldEri = EriFile(64, 3);
    qpxtest::WriteFile(Efs(u"roaming/eri_data.bin"_s), oldEri);
    qpxtest::WriteFile(Efs(u"pim/note.txt"_s), "old note");
    qpxtest::WriteFile(Efs(u"sms/old.msg"_s), "remove me");
    for (int i = 1; i < 7; ++i) // the restore's files through one window, each read back
        qpxtest::WriteFile(Efs(u"sms/inbox/%1.msg"_s.arg(i)),
                           i > 1 ? QByteArray(i * 3000, char('a' + i)) : "first");
    ASSERT_TRUE(StartSim());
    InputFile(u"note.txt"_s, "new note");
    InputFile(u"sub/tone.bin"_s, QByteArray(3000, '\x7E'));
    const QString script = InputFile(u"s.txt"_s, "nv 4 = 2A\n"
                                                 "put /pim/note.txt = note.txt\n"
                                                 "put /media/tones/tone.bin = sub/tone.bin\n"
                                                 "mkdir /media/photos\n"
                                                 "delete /sms/old.msg\n"
                                                 "delete /sms/never-there.msg\n");
    const QByteArray prl = PrlFile(300, 777); // three blocks, the last one short
    SGrid nam2(2);
    nam2.Set(Row(2, "MDN"), u"3105550000"_s);
    nam2.Set(Row(2, "CDMA Home SID/NID"), u"99"_s);
    const struct
    {
        const char* kind;
        std::function<SOutcome()> run;
        QStringList lines; // in the manifest
    } cases[] = {
        {"PRL_BK",
         [&] { return Prl(0, InputFile(u"new.prl"_s, prl), 0); },
         {u"nam1.prl size=10 md5="_s, u" id=52 crc="_s}},
        {"ERI_BK",
         [&] { return Eri(InputFile(u"new.eri"_s, EriFile(80, 9)), 0); },
         {u"eri_data.bin size=64 md5="_s + Md5(oldEri)}},
        {"PB_BK",
         [&] { return PhoneBook(0, InputFile(u"pb.csv"_s, "Ann,1,,,,,\n")); },
         {u"phonebook.qpb none"_s}},
        {"SCRIPT_BK",
         [&] { return Src(script); },
         {u"files/pim/note.txt size=8 md5="_s + Md5("old note"), u"files/media/tones/tone.bin none"_s,
          u"nv/4-42.bin"_s}},
        {"NV_BK",
         [&] { return Settings(2, 0, nam2); },
         {u"nv/178-nam2.bin size=128 md5="_s, u"nv/259-nam2.bin size=128 md5="_s}},
        {"RESTORE_BK",
         [&] {
             EXPECT_TRUE(Transfer(1, 4).Ok());
             qpxtest::WriteFile(Efs(u"sms/inbox/1.msg"_s), "changed since");
             return Transfer(0, 4);
         },
         {u"sms/inbox/1.msg size=13 md5="_s + Md5("changed since")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        const SOutcome r = c.run();
        ASSERT_TRUE(r.Ok()) << r.Message().toStdString();
        const QString saved = BackupOf(c.kind);
        ASSERT_FALSE(saved.isEmpty());
        EXPECT_TRUE(r.Status().contains(QLatin1String(c.kind) + u'/' + QFileInfo(saved).fileName()))
            << r.Status().toStdString();
        const QString manifest = Manifest(saved);
        for (const QString& line : c.lines)
            EXPECT_TRUE(manifest.contains(line)) << manifest.toStdString();
    }
    EXPECT_EQ(ReadSimState(m_state).PrlId(0), 777);
    EXPECT_EQ(qpxtest::ReadFile(BackupOf("SCRIPT_BK") + u"/files/sms/old.msg"_s), "remove me");
    EXPECT_TRUE(QFileInfo(Efs(u"media/photos"_s)).isDir());
    EXPECT_EQ(qpxtest::ReadFile(Efs(u"sms/inbox/1.msg"_s)), "first");
    EXPECT_FALSE(Manifest(BackupOf("NV_BK")).contains(u"nv/20-"_s)) << "only the items written";
}

// ---- the phonebook's texts ----

// A write leaves out lines of only blanks, cuts a field that is too wide on its last whole
// character (UTF-8, or two-byte characters of a code page such as CP949) and counts everything
// it cut or dropped; where the old phonebook was kept comes first.
TEST_F(CPluginTest, WriteCutsOnWholeCharactersAndResultTextsFitTheirFields)
{
    ASSERT_TRUE(StartSim());
    const QByteArray umlauts16 = QByteArray("\xc3\xa4").repeated(16);
    const QByteArray hangul16 = QByteArray("\xb1\xe8").repeated(16); // CP949
    const struct
    {
        QByteArray given;
        QByteArray stored;
    } names[] = {
        {umlauts16, umlauts16},              // exactly the width
        {umlauts16 + "\xc3\xa4", umlauts16}, // one character more: 16 stay
        {QByteArray("\xea\xb9\x80").repeated(11), QByteArray("\xea\xb9\x80").repeated(10)},
        {hangul16 + "\xb1\xe8", hangul16},
        {"a" + hangul16, "a" + QByteArray("\xb1\xe8").repeated(15)}, // never half a character
        {QByteArray(40, 'n'), QByteArray(32, 'n')},
    };
    QByteArray csv = "   \n";
    for (int i = 0; i < 6; ++i)
        csv += names[i].given + ',' + QByteArray::number(i) + (i == 2 ? "\n , \t ,\n" : "\n");
    csv += "x,1,2,3," + QByteArray(70, 'm') + ",5,6,seventh,eighth\n";
    const SOutcome w = PhoneBook(0, InputFile(u"in.csv"_s, csv));
    ASSERT_TRUE(w.Ok()) << w.Message().toStdString();
    EXPECT_EQ(w.Status(), u"Previous contents kept beside the plug-in in PB_BK/"_s +
                              QFileInfo(BackupOf("PB_BK")).fileName() +
                              u"; Phonebook written: 7 entries; 5 names cut to fit, 1 other "
                              "field cut to fit, 2 fields after the seventh dropped, 2 blank "
                              "lines skipped"_s);
    const QList<QByteArrayList> stored = PhonebookRecords(qpxtest::ReadFile(Efs(u"pim/phonebook.qpb"_s)));
    ASSERT_EQ(stored.size(), 7);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(stored[i].mid(0, 2), (QByteArrayList{names[i].stored, QByteArray::number(i)})) << i;
    EXPECT_EQ(stored[6], (QByteArrayList{"x", "1", "2", "3", QByteArray(64, 'm'), "5", "6"}));

    // The result texts fit their fields whole (the log writes them as they are): a failed write
    // says first where the old phonebook was kept; a long path is named by its end.
    m_sim.Stop();
    ASSERT_TRUE(qpxtest::WriteFile(Efs(u"pim/phonebook.qpb"_s), PhonebookFile({{u"Old"_s, u"1"_s}})));
    QDir(m_install + u"MODEL/PB_BK"_s).removeRecursively();
    ASSERT_TRUE(StartSim({u"--bad-store"_s, u"0x4B"_s}));
    const auto fits = [](const SOutcome& r) {
        EXPECT_FALSE(r.Ok());
        EXPECT_EQ(r.Status(), u"Failed: "_s + r.Message());
        EXPECT_LT(qstrlen(r.result.szStatus), sizeof r.result.szStatus - 1);
    };
    // A read into a CSV path of 300 bytes that cannot be written (a file stands in the way).
    InputFile(u"blocker"_s, "x");
    const SOutcome r = PhoneBook(1, m_files + u"/blocker/"_s + QString(150, u'd') + u'/' +
                                        QString(150, u'e') + u"/out.csv"_s);
    fits(r);
    const QString fileName = QString::fromLocal8Bit(r.result.szFileName);
    EXPECT_TRUE(fileName.startsWith(u"..."_s) && fileName.endsWith(u"e/out.csv"_s)) << fileName.toStdString();

    // A write whose copy on the handset does not read back as written.
    const SOutcome bad = PhoneBook(0, InputFile(u"in.csv"_s, "New,2\n"));
    fits(bad);
    EXPECT_EQ(bad.Message(), u"The handset's previous contents are kept beside the plug-in in "
                             "PB_BK/%1. The phonebook read back from the handset differs from "
                             "what was written."_s.arg(QFileInfo(BackupOf("PB_BK")).fileName()));
}

// ---- security codes ----

// An SPC the plug-in cannot read and a handset that locks itself after wrong codes: a rejected
// code is sent once per run, a malformed one never; the technician learns what is missing. A
// password is sent only when the handset asks for it.
TEST_F(CPluginTest, RejectedCodesAreSentOnceAndALockedOutHandsetStaysLocked)
{
    qpxtest::WriteFile(m_profile, "sw_version_dir=VKQ100A1\nspc=123456\n");
    const QStringList sim{u"--hide-spc"_s, u"--spc-lockout"_s, u"2"_s, u"--verbose"_s};
    ASSERT_TRUE(StartSim(sim));
    // Item 85 cannot be read: 000000, then the technician's guess, both wrong, lock the handset;
    // the right code comes too late for this run of the handset.
    for (const char* code : {"", "654321", "123456"}) {
        if (*code)
            qputenv("QPX_REF_SPC", code);
        EXPECT_EQ(WriteMdn().Message(), u"The handset rejected the service programming code."_s) << code;
    }
    qputenv("QPX_REF_SPC", "12a456");
    EXPECT_TRUE(WriteMdn().Message().contains(u"QPX_REF_SPC must hold"_s));
    ASSERT_TRUE(m_sim.Stop());
    EXPECT_EQ(Requests("41"), 3); // one per run; the malformed code was never sent

    // A power cycle ends the lock-out; the right code then opens the handset.
    ASSERT_TRUE(StartSim(sim));
    qputenv("QPX_REF_SPC", "123456");
    const SOutcome r = WriteMdn();
    EXPECT_TRUE(r.Ok()) << r.Message().toStdString();
    EXPECT_EQ(ReadMdn(), u"3105550000"_s);
    ASSERT_TRUE(m_sim.Stop());
    qunsetenv("QPX_REF_SPC");

    // A handset with a security password needs the configured one.
    m_state = qpxtest::MakeTempDir(u"state"_s);
    ASSERT_TRUE(StartSim({u"--password"_s, u"0011223344556677"_s, u"--verbose"_s}));
    const struct
    {
        const char* password;
        const char* says;
    } wrong[] = {{nullptr, "The handset asks for its security password"},
                 {"0011223344556600", "The handset rejected its security password"},
                 {"00112233", "QPX_REF_PASSWORD must hold"}};
    for (const auto& w : wrong) {
        if (w.password != nullptr)
            qputenv("QPX_REF_PASSWORD", w.password);
        EXPECT_TRUE(Fails(WriteMdn(), QLatin1String(w.says)));
    }
    qunsetenv("QPX_REF_PASSWORD");
    EXPECT_EQ(ReadMdn(), u"2125550147"_s); // nothing was written so far
    qputenv("QPX_REF_PASSWORD", "0011223344556677");
    const SOutcome opened = WriteMdn();
    EXPECT_TRUE(opened.Ok()) << opened.Message().toStdString();
    EXPECT_EQ(ReadMdn(), u"3105550000"_s);
    ASSERT_TRUE(m_sim.Stop());
    EXPECT_EQ(Requests("46"), 2); // sent only when asked, once per run: the wrong one and the right one
}

// ---- settings rows ----

// Each editor kind is written and read back, only changed rows are written, and IMSI_S and the
// MIN rows stay in step.
TEST_F(CPluginTest, EachEditorKindIsWrittenAndReadBackAndOnlyChangedRowsAreWritten)
{
    qpxtest::WriteFile(m_profile, "sw_version_dir=VKQ100A1\neri_version=none\n"); // ERI ID never written
    ASSERT_TRUE(StartSim());
    const struct
    {
        int category;
        const char* row;
        int occurrence;
        const char* written;
        const char* readBack;
    } cells[] = {
        {4, "Language", 0, "Korean", "Korean"},    // drop-down
        {4, "Emergency Numbers", 1, "112", "112"}, // dial string
        {4, "Idle screen banner (text)", 0, "Hi!", "Hi!"},
        {4, "Wallpaper", 0, "0x07", "7"},
        {4, "ERI ID", 0, "9", "9"}, // shown empty, recorded as absent in the backup
        // Fields of one item (the mobile-IP profile) change alone; the others of the item stay.
        {5, "MIP NAI", 0, "tech@kova.example", "tech@kova.example"},
        {5, "Home Agent IP Address", 0, "10.0.0.9", "10.0.0.9"},
        {5, "MN HA SPI Value", 0, "0x1234", "4660"},
        {5, "pref_mode(1xEV-DO)", 0, "1x + HDR", "1x + HDR"},
        {5, "DATA_PKT_ORIG_STR", 0, "#778", "#778"},
        {5, "SIP Password", 0, "s3cret", "s3cret"},
        {9, "BREW VOD CLASSID", 0, "0x0100beef", "0x0100BEEF"},
    };
    const QString verified[] = {u"5 values in 5 items verified; 67 rows unchanged"_s,
                                u"6 values in 4 items verified"_s, u"1 values in 1 items verified"_s};
    int step = 0;
    for (int category : {4, 5, 9}) {
        SGrid& g = Read(category);
        if (category == 4) { // ERI ID never written: empty, with an editor
            EXPECT_TRUE(g.Cell(Row(4, "ERI ID")).isEmpty());
            EXPECT_EQ(g.grid.EditRuleAt(Row(4, "ERI ID"), 1).nByteWidth, 2);
        }
        for (const auto& c : cells)
            if (c.category == category)
                g.Set(Row(category, c.row, c.occurrence), QString::fromUtf8(c.written));
        const SOutcome w = Settings(category, 0, g);
        ASSERT_TRUE(w.Ok()) << w.Message().toStdString();
        EXPECT_TRUE(w.Status().contains(verified[step++])) << w.Status().toStdString();
        const SGrid& back = Read(category);
        for (const auto& c : cells)
            EXPECT_TRUE(c.category != category ||
                        back.Cell(Row(category, c.row, c.occurrence)) == QString::fromUtf8(c.readBack))
                << c.row << ": " << back.Cell(Row(category, c.row, c.occurrence)).toStdString();
    }
    const SGrid& data = Read(5);
    EXPECT_EQ(data.Cell(Row(5, "Home IP Address")), u"0.0.0.0"_s);
    EXPECT_EQ(data.Cell(Row(5, "Reverse Tunneling")), u"Enable"_s);
    EXPECT_EQ(data.Cell(Row(5, "MN AAA SPI Value")), u"2"_s);
    EXPECT_EQ(Read(4).Cell(Row(4, "Emergency Numbers", 2)), u"#911"_s);
    const auto saved = [&] { return qpxtest::FilesBelow(m_install + u"MODEL/NV_BK"_s); };
    const QMap<QString, QByteArray> before = saved();
    EXPECT_TRUE(std::any_of(before.cbegin(), before.cend(),
                            [](const QByteArray& f) { return f.contains("nv/4025.bin none\n"); }));

    // Nothing differs: nothing is written and nothing is saved.
    const SOutcome none = Settings(9, 0, Read(9));
    EXPECT_TRUE(none.Ok() && none.Status().contains(u"nothing written"_s)) << none.Status().toStdString();
    EXPECT_EQ(saved(), before);

    // IMSI_S and the MIN rows stay in step.
    SGrid& g = Read(1);
    g.Set(Row(1, "IMSI_S"), u"3105550000"_s);
    const SOutcome imsi = Settings(1, 0, g);
    ASSERT_TRUE(imsi.Ok()) << imsi.Message().toStdString();
    EXPECT_TRUE(imsi.Status().contains(u"1 values in 2 items"_s)) << imsi.Status().toStdString();
    const SGrid& back = Read(1);
    EXPECT_EQ(back.Cell(Row(1, "IMSI_S")), u"3105550000"_s);
    EXPECT_EQ(back.Cell(Row(1, "MIN2")), u"209"_s);

    // Both changed, disagreeing: refused before anything is written.
    SGrid& both = Read(1);
    both.Set(Row(1, "MIN2"), u"300"_s);
    both.Set(Row(1, "IMSI_S"), u"9995550000"_s);
    EXPECT_TRUE(Fails(Settings(1, 0, both), u"disagree"_s));
    EXPECT_EQ(Read(1).Cell(Row(1, "IMSI_S")), u"3105550000"_s);
}

// A handset without the items shows them empty without editors; one without PRL reads, no PRL ID.
TEST_F(CPluginTest, AHandsetWithoutTheItemsShowsThemEmptyWithoutEditors)
{
    const int lang = Row(4, "Language");
    ASSERT_TRUE(StartSim({u"--refuse"_s, u"0x26"_s}));
    const SGrid& g = Read(4);
    EXPECT_TRUE(g.Cell(lang).isEmpty());
    EXPECT_EQ(g.grid.EditorKindAt(lang, 1), CEditGrid::EDITOR_NONE);
    EXPECT_EQ(g.Cell(Row(4, "PRL ID")), u"52"_s); // not an NV item
    EXPECT_TRUE(m_strLastStatus.contains(u"read: 3 values; 0 not set; 69 not on the handset"_s))
        << m_strLastStatus.toStdString();
    m_sim.Stop();

    ASSERT_TRUE(StartSim({u"--refuse"_s, u"0x49"_s}));
    const SGrid& noPrl = Read(4);
    // Rows that are no NV values come from the handset itself.
    const int esn = Row(4, "Display ESN/MEID (in Decimal & Hex)");
    EXPECT_EQ(QStringList({noPrl.Cell(Row(4, "All SW Versions numbers")),
                           noPrl.Cell(Row(4, "All SW Versions numbers"), 2),
                           noPrl.Cell(Row(4, "All HW Versions numbers")), noPrl.Cell(Row(4, "PRL ID")),
                           noPrl.Cell(Row(4, "PRL ID"), 2), noPrl.Cell(esn), noPrl.Cell(esn, 2),
                           noPrl.Cell(Row(4, "ERI ID"))}),
              QStringList({u"12.06  VKQ100A1"_s, u"Mar 14 2006 10:22:31"_s, u"MSM 2P (0x610a)"_s, QString(),
                           QString(), QString::number(0x8F2A41D3u), u"8F2A41D3"_s, u"3"_s}));
    EXPECT_EQ(noPrl.Cell(lang), u"English"_s);
    EXPECT_TRUE(m_strLastStatus.contains(u"read: 71 values; 1 not set;"_s)) << m_strLastStatus.toStdString();
}

} // namespace
