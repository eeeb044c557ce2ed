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

#include <functional>
#include <memory>
#include <vector>

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
        SOutcome out;
        CRunPage page;
        CPluginRun run(&page, &page);
        if (!run.Load(m_dll))
            return out;
        call(run);
        qpxtest::PumpUntil([&] { return page.nDone > 0; });
        QCoreApplication::processEvents(); // anything posted twice shows up now
        out.bFinished = page.nDone == 1;
        out.result = page.result;
        out.statuses = page.statuses;
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
        return Call<PFN_ModelInterface_PhoneBook>(QPX_SYM_PHONEBOOK, mode, L(csv),
                                                  static_cast<IPluginList*>(&rows));
    }
    SOutcome Settings(int category, int direction, SGrid& g)
    {
        return Call<PFN_ModelInterface_Settings>(QPX_SYM_SETTINGS, category, direction, 0,
                                                 static_cast<IPluginList*>(&g.list));
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
        const QString base = m_install + QStringLiteral("MODEL/") + QLatin1String(kind);
        const QStringList runs = QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        return runs.size() == 1 ? base + QLatin1Char('/') + runs.first() : QString();
    }
    static QString Manifest(const QString& folder)
    {
        return QString::fromUtf8(qpxtest::ReadFile(folder + QStringLiteral("/manifest.txt")));
    }

    std::vector<std::unique_ptr<SGrid>> m_grids;
    QString m_strLastStatus;
};

// ---- inputs and handsets that end a run with its reason ----

TEST_F(CPluginTest, BadInputsAreRefusedBeforeTheHandsetIsTouched)
{
    ASSERT_TRUE(qpxtest::WriteFile(Efs(QStringLiteral("pim/note.txt")), "old note"));
    ASSERT_TRUE(StartSim());
    InputFile(QStringLiteral("note.txt"), "new note");
    QByteArray badCrc = PrlFile(200, 9);
    badCrc[100] = static_cast<char>(badCrc[100] ^ 1);
    QByteArray damaged = FirmwareImage("VKQ100A2", 3000);
    damaged[2000] = static_cast<char>(damaged[2000] ^ 0x40);
    const auto prl = [&](const QByteArray& data) {
        return Prl(0, InputFile(QStringLiteral("in.prl"), data), 0);
    };
    const auto bin = [&](const QByteArray& data) { return Bin(InputFile(QStringLiteral("in.bin"), data)); };
    const auto script = [&](const QByteArray& text) { return Src(InputFile(QStringLiteral("s.txt"), text)); };
    const auto setting = [&](int category, const char* row, const char* value) {
        SGrid g(category);
        g.Set(Row(category, row), QString::fromUtf8(value));
        const SOutcome r = Settings(category, 0, g);
        EXPECT_FALSE(r.statuses.contains(QStringLiteral("Connecting to the handset"))) << row;
        return r;
    };
    const QMap<QString, QByteArray> before = qpxtest::FilesBelow(m_state);
    const struct
    {
        std::function<SOutcome()> run;
        QString says;
    } cases[] = {
        {[&] { return prl(badCrc); }, QStringLiteral("check value")},
        {[&] { return prl(PrlFile(200, 9).chopped(1)); }, QStringLiteral("size field")},
        {[&] { return prl("ab"); }, QStringLiteral("too short")},
        {[&] { return bin(damaged); }, QStringLiteral("check value")},
        {[&] { return bin(FirmwareImage("VKQ100A2", 3000).chopped(10)); }, QStringLiteral("2990")},
        {[&] { return bin(FirmwareImage("ZZZ990A1", 100)); }, QStringLiteral("is for software ZZZ990A1")},
        {[&] { return bin("hello"); }, QStringLiteral("not a firmware image")},
        {[&] { return script("nv 4 = 2A\nnv 178 = 0\n"); }, QStringLiteral("Line 2")},
        {[&] { return script("put /pim/note.txt = note.txt\nput pim/x = note.txt\n"); },
         QStringLiteral("Line 2")},
        {[&] { return script("put /pim/note.txt = note.txt\nput /pim/../x = note.txt\n"); },
         QStringLiteral("Line 2")},
        {[&] { return script("put /pim/note.txt = note.txt\nput /pim/y = missing.bin\n"); },
         QStringLiteral("cannot be read")},
        {[&] { return script("put /pim/note.txt = note.txt\ndelete\n"); }, QStringLiteral("Line 2")},
        {[&] { return script("# nothing\n"); }, QStringLiteral("holds no item write or file operation")},
        {[&] { return Src({}); }, QString()},
        {[&] { return PhoneBook(0, m_files + QStringLiteral("/missing.csv")); },
         QStringLiteral("cannot be read")},
        // The values themselves are the codec's (unit tests); refused before connecting.
        {[&] { return setting(1, "MNC", "300"); }, QStringLiteral("\"300\" of \"MNC\"")},
    };
    for (const auto& c : cases) {
        const SOutcome r = c.run();
        SCOPED_TRACE(r.Message().toStdString());
        ASSERT_TRUE(r.bFinished);
        EXPECT_FALSE(r.Ok());
        EXPECT_TRUE(r.Message().contains(c.says));
    }
    EXPECT_EQ(qpxtest::FilesBelow(m_state), before);
    EXPECT_FALSE(QFileInfo::exists(m_install + QStringLiteral("MODEL/PRL_BK")));
    EXPECT_FALSE(QFileInfo::exists(m_install + QStringLiteral("MODEL/SCRIPT_BK")));
    EXPECT_FALSE(QFileInfo::exists(m_install + QStringLiteral("MODEL/NV_BK")));
}

TEST_F(CPluginTest, WhatTheHandsetRefusesOrNeverAnswersEndsTheRunWithItsReason)
{
    const QString out = m_files + QStringLiteral("/out");
    const struct
    {
        const char* name;
        QStringList simArgs;
        std::function<void()> prepare; // before the simulator starts
        std::function<SOutcome()> run;
        QString says; // %1: the port
    } cases[] = {
        {"prl read refused",
         {QStringLiteral("--refuse"), QStringLiteral("0x49")},
         {},
         [&] { return Prl(0, out, 1); },
         QStringLiteral("does not support")},
        {"prl read unanswered",
         {QStringLiteral("--status-only")},
         {},
         [&] { return Prl(0, out, 1); },
         QStringLiteral("does not answer")},
        {"port gone",
         {},
         {},
         [&] {
             m_sim.Stop();
             return Prl(0, out, 1);
         },
         QStringLiteral("COM%1")},
        {"read-only item",
         {},
         {},
         [&] { return Src(InputFile(QStringLiteral("ro.txt"), "nv 0 = 01 02 03 04\n")); },
         QStringLiteral("item 0 read-only")},
        {"eri stored altered",
         {QStringLiteral("--bad-store"), QStringLiteral("0x4B")},
         {},
         [&] { return Eri(InputFile(QStringLiteral("in.eri"), EriFile(90, 6)), 0); },
         QStringLiteral("The ERI read back from the handset differs")},
        {"damaged backup",
         {},
         [&] {
             qpxtest::WriteFile(Efs(QStringLiteral("sms/inbox/0001.msg")), "hello");
             ASSERT_TRUE(StartSim());
             ASSERT_TRUE(Transfer(1, 1).Ok());
             m_sim.Stop();
             qpxtest::WriteFile(m_install + QStringLiteral("MODEL/TRANS_BK/sms/inbox/0001.msg"), "hellO");
             m_state = qpxtest::MakeTempDir(QStringLiteral("fresh"));
         },
         [&] { return Transfer(0, 1); },
         QStringLiteral("sms/inbox/0001.msg differs from its manifest")},
        {"no room for the backup",
         {},
         [&] {
             qpxtest::WriteFile(Efs(QStringLiteral("pim/phonebook.qpb")), "QPB1 not really");
             qpxtest::WriteFile(m_install + QStringLiteral("MODEL/PB_BK"), "in the way");
         },
         [&] {
             const SOutcome r = PhoneBook(0, InputFile(QStringLiteral("pb.csv"), "Ann,1,,,,,\n"));
             EXPECT_EQ(qpxtest::ReadFile(Efs(QStringLiteral("pim/phonebook.qpb"))), "QPB1 not really");
             return r;
         },
         QStringLiteral("backup")},
        {"items not on the handset",
         {QStringLiteral("--refuse"), QStringLiteral("0x26")},
         {},
         [&] {
             SGrid g(4);
             g.Set(Row(4, "Language"), QStringLiteral("Korean"));
             return Settings(4, 0, g);
         },
         QStringLiteral("does not have item 61441 (\"Language\")")},
        {"away too long",
         {QStringLiteral("--reenumerate-ms"), QStringLiteral("8000")},
         {},
         [&] { return Bin(InputFile(QStringLiteral("new.bin"), FirmwareImage("VKQ100A3", 100))); },
         QStringLiteral("The handset did not come back on COM%1 within 5 seconds (boot loader).")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_state = qpxtest::MakeTempDir(QStringLiteral("state"));
        QDir(m_install + QStringLiteral("MODEL")).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(m_install + QStringLiteral("MODEL")));
        ASSERT_TRUE(QFile::copy(QStringLiteral(QPX_REF_PLUGIN), m_dll));
        if (c.prepare) {
            ASSERT_NO_FATAL_FAILURE(c.prepare());
        }
        ASSERT_TRUE(StartSim(c.simArgs));
        const SOutcome r = c.run();
        ASSERT_TRUE(r.bFinished);
        EXPECT_FALSE(r.Ok());
        EXPECT_TRUE(r.Message().contains(c.says.arg(m_sim.Port()))) << r.Message().toStdString();
        m_sim.Stop();
    }
}

// Bulk transfers keep several requests unanswered at once. A fault in the middle of that window
// ends the operation at the first bad answer, named by its own step, and nothing is reported as
// done: the handset keeps its software, a backup gets no marker. (Hang-ups and damaged answers
// in a download or a restore: the fault matrix.)
using FirmwareE2e = CPluginTest;
TEST_F(FirmwareE2e, AFaultMidWindowEndsTheTransferCleanly)
{
    QByteArray big(64 * 1024, '\0');
    for (int i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 13 + 0x7E) & 0xFF);
    const QString marker = m_install + QStringLiteral("MODEL/TRANS_BK/VKQ100A1.pp");
    SGrid grid(1);
    const QStringList pieces = {QStringLiteral("--efs-window"), QStringLiteral("1024")};
    const struct
    {
        QStringList simArgs;
        std::function<SOutcome()> run;
        const char* says;
    } cases[] = {
        // The flash is full after eight blocks; the writes behind the refused one are refused too,
        // but the first refusal is the one reported.
        {{QStringLiteral("--download-block"), QStringLiteral("1024"), QStringLiteral("--flash-size"),
          QStringLiteral("8192")},
         [&] { return Bin(InputFile(QStringLiteral("new.bin"), FirmwareImage("VKQ100A2", 40000))); },
         "stopped the download (writing at 0x00002000): out of space"},
        // Requests 4B: HELLO, STAT, OPENDIR, three READDIRs (the last one past the end), CLOSEDIR,
        // OPEN, then the reads.
        {pieces + QStringList{QStringLiteral("--hangup-at"), QStringLiteral("0x4B:20")},
         [&] { return Transfer(1, 2); }, "does not answer (pim/big.dat)"},
        {pieces + QStringList{QStringLiteral("--corrupt-at"), QStringLiteral("0x4B:20")},
         [&] { return Transfer(1, 2); }, "answer was damaged (pim/big.dat)"},
        // Requests 26: the NAM's item reads, several unanswered at once.
        {{QStringLiteral("--hangup-at"), QStringLiteral("0x26:5")},
         [&] { return Settings(1, 1, grid); },
         "does not answer (item "},
        {{QStringLiteral("--corrupt-at"), QStringLiteral("0x26:5")},
         [&] { return Settings(1, 1, grid); },
         "answer was damaged (item "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        m_state = qpxtest::MakeTempDir(QStringLiteral("state"));
        qpxtest::WriteFile(Efs(QStringLiteral("pim/big.dat")), big);
        ASSERT_TRUE(StartSim(c.simArgs));
        const SOutcome r = c.run();
        ASSERT_TRUE(r.bFinished);
        EXPECT_TRUE(r.Status().startsWith(QStringLiteral("Failed: "))) << r.Status().toStdString();
        EXPECT_TRUE(r.Message().contains(QLatin1String(c.says))) << r.Message().toStdString();
        m_sim.Stop();
        EXPECT_EQ(ReadSimState(m_state).strSwVersion, QStringLiteral("VKQ100A1"));
        EXPECT_FALSE(QFileInfo::exists(marker));
    }
}

TEST_F(FirmwareE2e, AHandsetThatLeavesWithoutItsLastAnswerIsFollowedToo)
{
    ASSERT_TRUE(StartSim(
        {QStringLiteral("--reenumerate-ms"), QStringLiteral("200"), QStringLiteral("--leave-abruptly")}));
    const SOutcome r = Bin(InputFile(QStringLiteral("new.bin"), FirmwareImage("VKQ100A4", 2500)));
    ASSERT_TRUE(r.Ok()) << r.Message().toStdString();
    EXPECT_TRUE(r.Status().contains(QStringLiteral("Software VKQ100A4 written"))) << r.Status().toStdString();
}

// ---- what a write keeps ----

// Every write saves what it replaces beside the plug-in, with a manifest line per file or item
// (name, size, MD5; "none" where there was nothing), and its result says where.
TEST_F(CPluginTest, EveryWriteKeepsWhatItReplacesWithAManifest)
{
    const QByteArray oldEri = EriFile(64, 3);
    qpxtest::WriteFile(Efs(QStringLiteral("roaming/eri_data.bin")), oldEri);
    qpxtest::WriteFile(Efs(QStringLiteral("pim/note.txt")), "old note");
    qpxtest::WriteFile(Efs(QStringLiteral("sms/old.msg")), "remove me");
    qpxtest::WriteFile(Efs(QStringLiteral("sms/inbox/1.msg")), "first");
    ASSERT_TRUE(StartSim());
    InputFile(QStringLiteral("note.txt"), "new note");
    InputFile(QStringLiteral("sub/tone.bin"), QByteArray(3000, '\x7E'));
    const QString script = InputFile(QStringLiteral("s.txt"), "nv 4 = 2A\n"
                                                              "put /pim/note.txt = note.txt\n"
                                                              "put /media/tones/tone.bin = sub/tone.bin\n"
                                                              "mkdir /media/photos\n"
                                                              "delete /sms/old.msg\n"
                                                              "delete /sms/never-there.msg\n");
    const QByteArray prl = PrlFile(300, 777); // three blocks, the last one short
    SGrid nam2(2);
    nam2.Set(Row(2, "MDN"), QStringLiteral("3105550000"));
    nam2.Set(Row(2, "CDMA Home SID/NID"), QStringLiteral("99"));
    const struct
    {
        const char* kind;
        std::function<SOutcome()> run;
        QStringList lines; // in the manifest
    } cases[] = {
        {"PRL_BK",
         [&] { return Prl(0, InputFile(QStringLiteral("new.prl"), prl), 0); },
         {QStringLiteral("nam1.prl size=10 md5="), QStringLiteral(" id=52 crc=")}},
        {"ERI_BK",
         [&] { return Eri(InputFile(QStringLiteral("new.eri"), EriFile(80, 9)), 0); },
         {QStringLiteral("eri_data.bin size=64 md5=") + Md5(oldEri)}},
        {"PB_BK",
         [&] { return PhoneBook(0, InputFile(QStringLiteral("pb.csv"), "Ann,1,,,,,\n")); },
         {QStringLiteral("phonebook.qpb none")}},
        {"SCRIPT_BK",
         [&] { return Src(script); },
         {QStringLiteral("files/pim/note.txt size=8 md5=") + Md5("old note"),
          QStringLiteral("files/media/tones/tone.bin none"), QStringLiteral("nv/4-42.bin")}},
        {"NV_BK",
         [&] { return Settings(2, 0, nam2); },
         {QStringLiteral("nv/178-nam2.bin size=128 md5="), QStringLiteral("nv/259-nam2.bin size=128 md5=")}},
        {"RESTORE_BK",
         [&] {
             EXPECT_TRUE(Transfer(1, 4).Ok());
             qpxtest::WriteFile(Efs(QStringLiteral("sms/inbox/1.msg")), "changed since");
             return Transfer(0, 4);
         },
         {QStringLiteral("sms/inbox/1.msg size=13 md5=") + Md5("changed since")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        const SOutcome r = c.run();
        ASSERT_TRUE(r.Ok()) << r.Message().toStdString();
        const QString saved = BackupOf(c.kind);
        ASSERT_FALSE(saved.isEmpty());
        EXPECT_TRUE(
            r.Status().contains(QLatin1String(c.kind) + QLatin1Char('/') + QFileInfo(saved).fileName()))
            << r.Status().toStdString();
        const QString manifest = Manifest(saved);
        for (const QString& line : c.lines)
            EXPECT_TRUE(manifest.contains(line)) << manifest.toStdString();
    }
    EXPECT_EQ(ReadSimState(m_state).PrlId(0), 777);
    EXPECT_EQ(qpxtest::ReadFile(BackupOf("SCRIPT_BK") + QStringLiteral("/files/sms/old.msg")), "remove me");
    EXPECT_TRUE(QFileInfo(Efs(QStringLiteral("media/photos"))).isDir());
    EXPECT_EQ(qpxtest::ReadFile(Efs(QStringLiteral("sms/inbox/1.msg"))), "first");
    EXPECT_FALSE(Manifest(BackupOf("NV_BK")).contains(QStringLiteral("nv/20-"))) << "only the items written";
}

// ---- the phonebook's texts ----

// A write leaves out lines of only blanks, cuts a field that is too wide on its last whole
// character (UTF-8, or two-byte characters of a code page such as CP949) and counts everything
// it cut or dropped; where the old phonebook was kept comes first.
using PhonebookE2e = CPluginTest;
TEST_F(PhonebookE2e, WriteSkipsBlankLinesCutsOnWholeCharactersAndCountsIt)
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
    const SOutcome w = PhoneBook(0, InputFile(QStringLiteral("in.csv"), csv));
    ASSERT_TRUE(w.Ok()) << w.Message().toStdString();
    EXPECT_EQ(w.Status(), QStringLiteral("Previous contents kept beside the plug-in in PB_BK/") +
                              QFileInfo(BackupOf("PB_BK")).fileName() +
                              QStringLiteral("; Phonebook written: 7 entries; 5 names cut to fit, 1 other "
                                             "field cut to fit, 2 fields after the seventh dropped, 2 blank "
                                             "lines skipped"));
    const QList<QByteArrayList> stored =
        PhonebookRecords(qpxtest::ReadFile(Efs(QStringLiteral("pim/phonebook.qpb"))));
    ASSERT_EQ(stored.size(), 7);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(stored[i].mid(0, 2), (QByteArrayList{names[i].stored, QByteArray::number(i)})) << i;
    EXPECT_EQ(stored[6], (QByteArrayList{"x", "1", "2", "3", QByteArray(64, 'm'), "5", "6"}));
}

// The result texts fit their fields whole (the log writes them as they are): a failed write
// says first where the old phonebook was kept; a long path is named by its end.
TEST_F(PhonebookE2e, ResultTextsLeadWithWhatWasKeptAndFitTheirFields)
{
    ASSERT_TRUE(qpxtest::WriteFile(Efs(QStringLiteral("pim/phonebook.qpb")),
                                   PhonebookFile({{QStringLiteral("Old"), QStringLiteral("1")}})));
    ASSERT_TRUE(StartSim({QStringLiteral("--bad-store"), QStringLiteral("0x4B")}));
    const auto fits = [](const SOutcome& r) {
        EXPECT_FALSE(r.Ok());
        EXPECT_EQ(r.Status(), QStringLiteral("Failed: ") + r.Message());
        EXPECT_LT(qstrlen(r.result.szStatus), sizeof r.result.szStatus - 1);
    };
    // A read into a CSV path of 300 bytes that cannot be written (a file stands in the way).
    InputFile(QStringLiteral("blocker"), "x");
    const SOutcome r =
        PhoneBook(1, m_files + QStringLiteral("/blocker/") + QString(150, QLatin1Char('d')) +
                         QLatin1Char('/') + QString(150, QLatin1Char('e')) + QStringLiteral("/out.csv"));
    fits(r);
    const QString fileName = QString::fromLocal8Bit(r.result.szFileName);
    EXPECT_TRUE(fileName.startsWith(QStringLiteral("...")) && fileName.endsWith(QStringLiteral("e/out.csv")))
        << fileName.toStdString();

    // A write whose copy on the handset does not read back as written.
    const SOutcome w = PhoneBook(0, InputFile(QStringLiteral("in.csv"), "New,2\n"));
    fits(w);
    EXPECT_EQ(w.Message(), QStringLiteral("The handset's previous contents are kept beside the plug-in in "
                                          "PB_BK/%1. The phonebook read back from the handset differs from "
                                          "what was written.")
                               .arg(QFileInfo(BackupOf("PB_BK")).fileName()));
}

// ---- security codes ----

class SecurityE2e : public CPluginTest
{
protected:
    void TearDown() override
    {
        qunsetenv("QPX_REF_SPC");
        qunsetenv("QPX_REF_PASSWORD");
    }
    SOutcome WriteMdn()
    {
        SGrid g(2);
        g.Set(Row(2, "MDN"), QStringLiteral("3105550000"));
        return Settings(2, 0, g);
    }
    QString ReadMdn() { return Read(2).Cell(Row(2, "MDN")); }
    // Requests of one command the simulator logged (read after it ended).
    int Requests(const char* code)
    {
        return static_cast<int>(m_sim.Stderr().count(QStringLiteral("request %1 ").arg(QLatin1String(code))));
    }
};

// An SPC the plug-in cannot read and a handset that locks itself after wrong codes: a rejected
// code is sent once per run, a malformed one never; the technician learns what is missing.
TEST_F(SecurityE2e, ARejectedSpcIsSentOnceAndALockedOutHandsetStaysLocked)
{
    qpxtest::WriteFile(m_profile, "sw_version_dir=VKQ100A1\nspc=123456\n");
    const QStringList sim{QStringLiteral("--hide-spc"), QStringLiteral("--spc-lockout"), QStringLiteral("2"),
                          QStringLiteral("--verbose")};
    ASSERT_TRUE(StartSim(sim));
    // Item 85 cannot be read: 000000, then the technician's guess, both wrong, lock the handset;
    // the right code comes too late for this run of the handset.
    for (const char* code : {"", "654321", "123456"}) {
        if (*code)
            qputenv("QPX_REF_SPC", code);
        const SOutcome r = WriteMdn();
        ASSERT_TRUE(r.bFinished);
        EXPECT_EQ(r.Message(), QStringLiteral("The handset rejected the service programming code.")) << code;
    }
    qputenv("QPX_REF_SPC", "12a456");
    EXPECT_TRUE(WriteMdn().Message().contains(QStringLiteral("QPX_REF_SPC must hold")));
    ASSERT_TRUE(m_sim.Stop());
    EXPECT_EQ(Requests("41"), 3); // one per run; the malformed code was never sent

    // A power cycle ends the lock-out; the right code then opens the handset.
    ASSERT_TRUE(StartSim(sim));
    qputenv("QPX_REF_SPC", "123456");
    const SOutcome r = WriteMdn();
    EXPECT_TRUE(r.Ok()) << r.Message().toStdString();
    EXPECT_EQ(ReadMdn(), QStringLiteral("3105550000"));
}

TEST_F(SecurityE2e, APasswordHandsetNeedsTheConfiguredPassword)
{
    ASSERT_TRUE(StartSim(
        {QStringLiteral("--password"), QStringLiteral("0011223344556677"), QStringLiteral("--verbose")}));
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
        const SOutcome r = WriteMdn();
        ASSERT_TRUE(r.bFinished);
        EXPECT_FALSE(r.Ok());
        EXPECT_TRUE(r.Message().contains(QLatin1String(w.says))) << r.Message().toStdString();
    }
    qunsetenv("QPX_REF_PASSWORD");
    EXPECT_EQ(ReadMdn(), QStringLiteral("2125550147")); // nothing was written so far
    qputenv("QPX_REF_PASSWORD", "0011223344556677");
    const SOutcome r = WriteMdn();
    EXPECT_TRUE(r.Ok()) << r.Message().toStdString();
    EXPECT_EQ(ReadMdn(), QStringLiteral("3105550000"));
    ASSERT_TRUE(m_sim.Stop());
    EXPECT_EQ(Requests("46"), 2); // sent only when asked, once per run: the wrong one and the right one
}

// ---- settings rows ----

using SettingsE2e = CPluginTest;

TEST_F(SettingsE2e, EachEditorKindIsWrittenAndReadBackAndOnlyChangedRowsAreWritten)
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
    const QString verified[] = {QStringLiteral("5 values in 5 items verified; 67 rows unchanged"),
                                QStringLiteral("6 values in 4 items verified"),
                                QStringLiteral("1 values in 1 items verified")};
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
        for (const auto& c : cells) {
            if (c.category == category) {
                EXPECT_EQ(back.Cell(Row(category, c.row, c.occurrence)), QString::fromUtf8(c.readBack))
                    << c.row;
            }
        }
    }
    const SGrid& data = Read(5);
    EXPECT_EQ(data.Cell(Row(5, "Home IP Address")), QStringLiteral("0.0.0.0"));
    EXPECT_EQ(data.Cell(Row(5, "Reverse Tunneling")), QStringLiteral("Enable"));
    EXPECT_EQ(data.Cell(Row(5, "MN AAA SPI Value")), QStringLiteral("2"));
    EXPECT_EQ(Read(4).Cell(Row(4, "Emergency Numbers", 2)), QStringLiteral("#911"));
    QByteArray manifests;
    for (const QByteArray& f : qpxtest::FilesBelow(m_install + QStringLiteral("MODEL/NV_BK")))
        manifests += f;
    EXPECT_TRUE(manifests.contains("nv/4025.bin none\n")) << manifests.constData();

    // Nothing differs: nothing is written and nothing is saved.
    const QStringList runs =
        QDir(m_install + QStringLiteral("MODEL/NV_BK")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    const SOutcome none = Settings(9, 0, Read(9));
    ASSERT_TRUE(none.Ok()) << none.Message().toStdString();
    EXPECT_TRUE(none.Status().contains(QStringLiteral("nothing written"))) << none.Status().toStdString();
    EXPECT_EQ(QDir(m_install + QStringLiteral("MODEL/NV_BK")).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              runs);
}

TEST_F(SettingsE2e, ImsiSAndTheMinRowsStayInStep)
{
    ASSERT_TRUE(StartSim());
    SGrid& g = Read(1);
    g.Set(Row(1, "IMSI_S"), QStringLiteral("3105550000"));
    SOutcome w = Settings(1, 0, g);
    ASSERT_TRUE(w.Ok()) << w.Message().toStdString();
    EXPECT_TRUE(w.Status().contains(QStringLiteral("1 values in 2 items"))) << w.Status().toStdString();
    const SGrid& back = Read(1);
    EXPECT_EQ(back.Cell(Row(1, "IMSI_S")), QStringLiteral("3105550000"));
    EXPECT_EQ(back.Cell(Row(1, "MIN2")), QStringLiteral("209"));

    // Both changed, disagreeing: refused before anything is written.
    SGrid& both = Read(1);
    both.Set(Row(1, "MIN2"), QStringLiteral("300"));
    both.Set(Row(1, "IMSI_S"), QStringLiteral("9995550000"));
    w = Settings(1, 0, both);
    EXPECT_FALSE(w.Ok());
    EXPECT_TRUE(w.Message().contains(QStringLiteral("disagree"))) << w.Message().toStdString();
    EXPECT_EQ(Read(1).Cell(Row(1, "IMSI_S")), QStringLiteral("3105550000"));
}

// A handset without the items shows them empty without editors; one without PRL reads, no PRL ID.
TEST_F(SettingsE2e, AHandsetWithoutTheItemsShowsThemEmptyWithoutEditors)
{
    const int lang = Row(4, "Language");
    ASSERT_TRUE(StartSim({QStringLiteral("--refuse"), QStringLiteral("0x26")}));
    const SGrid& g = Read(4);
    EXPECT_TRUE(g.Cell(lang).isEmpty());
    EXPECT_EQ(g.grid.EditorKindAt(lang, 1), CEditGrid::EDITOR_NONE);
    EXPECT_EQ(g.Cell(Row(4, "PRL ID")), QStringLiteral("52")); // not an NV item
    EXPECT_TRUE(m_strLastStatus.contains(QStringLiteral("read: 3 values; 0 not set; 69 not on the handset")))
        << m_strLastStatus.toStdString();
    m_sim.Stop();

    ASSERT_TRUE(StartSim({QStringLiteral("--refuse"), QStringLiteral("0x49")}));
    const SGrid& noPrl = Read(4);
    // Rows that are no NV values come from the handset itself.
    const int esn = Row(4, "Display ESN/MEID (in Decimal & Hex)");
    EXPECT_EQ(QStringList({noPrl.Cell(Row(4, "All SW Versions numbers")),
                           noPrl.Cell(Row(4, "All SW Versions numbers"), 2),
                           noPrl.Cell(Row(4, "All HW Versions numbers")), noPrl.Cell(Row(4, "PRL ID")),
                           noPrl.Cell(Row(4, "PRL ID"), 2), noPrl.Cell(esn), noPrl.Cell(esn, 2),
                           noPrl.Cell(Row(4, "ERI ID"))}),
              QStringList({QStringLiteral("12.06  VKQ100A1"), QStringLiteral("Mar 14 2006 10:22:31"),
                           QStringLiteral("MSM 2P (0x610a)"), QString(), QString(),
                           QString::number(0x8F2A41D3u), QStringLiteral("8F2A41D3"), QStringLiteral("3")}));
    EXPECT_EQ(noPrl.Cell(lang), QStringLiteral("English"));
    EXPECT_TRUE(m_strLastStatus.contains(QStringLiteral("read: 71 values; 1 not set;")))
        << m_strLastStatus.toStdString();
}

} // namespace
