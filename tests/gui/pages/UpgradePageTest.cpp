// The upgrade page against the recording plug-in: what each operation shows, the browse buttons,
// the input checks and their order, the arguments of every export, the run lock and how a run
// ends.
#include "pages/UpgradePage.h"
#include "FakePageServices.h"
#include "PageFixture.h"
#include "pages/FolderChooser.h"
#include "platform/HostCommands.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <functional>
#include <tuple>

namespace {

using pagetest::PageFixture;

const QString NOT_SUPPORTED = QStringLiteral("This operation is not supported in the current Model DLL.");

// A page of the host's size, on its own.
class UpgradePageTest : public PageFixture
{
protected:
    void TearDown() override
    {
        m_page.reset();
        PageFixture::TearDown();
    }
    CUpgradePage& MakePage(int operation = 0)
    {
        m_page = std::make_unique<CUpgradePage>(nullptr, m_services, QRect(205, 130, 585, 600));
        if (operation)
            m_page->SelectOperation(operation);
        return *m_page;
    }
    template <typename T = QWidget> T* Find(const char* name) const
    {
        T* w = m_page->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLineEdit* Edit(const char* name) const { return Find<QLineEdit>(name); }
    QRadioButton* Radio(const char* name) const { return Find<QRadioButton>(name); }

    // Fills the four path boxes with readable files, remembered in m_files as {bin}, {scr}, ...
    void FillFiles()
    {
        for (const char* kind : {"bin", "scr", "prl", "eri"}) {
            const QString path = MakeFile(QStringLiteral("a.") + QLatin1String(kind));
            Edit((std::string(kind) + "PathEdit").c_str())->setText(path);
            m_files[QStringLiteral("{%1}").arg(QLatin1String(kind))] = path;
        }
    }
    // Start, then wait for the completion; returns the recorded call.
    QString RunAndWait(CUpgradePage& page, const QString& name)
    {
        page.OnStart();
        EXPECT_TRUE(WaitIdle());
        return CallOf(name);
    }
    // Runs action with the real dialogs; answer gets the first modal T that opens. False: none did.
    template <typename T>
    static bool WithRealDialog(const std::function<void()>& action, const std::function<void(T*)>& answer)
    {
        Dialogs::SetTestMode(false);
        bool seen = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* dlg = qobject_cast<T*>(QApplication::activeModalWidget()); dlg && !seen) {
                seen = true;
                answer(dlg);
            }
        });
        poll.start(10);
        action();
        poll.stop();
        Dialogs::SetTestMode(true);
        return seen;
    }
    // True while the library is mapped into the process.
    static bool Mapped(const QString& path)
    {
        return QString::fromUtf8(qpxtest::ReadFile(QStringLiteral("/proc/self/maps"))).contains(path);
    }

    qpxtest::CFakePageServices m_services;
    std::unique_ptr<CUpgradePage> m_page;
    QString m_dll;
    QMap<QString, QString> m_files;
};

// A browse button asks with its kind's texts; the chooser starts in the nearest folder that
// exists, else the plug-in's folder, else none.
TEST_F(UpgradePageTest, BrowseButtons)
{
    MakePage(OP_UPGRADE);
    const QString chosen = m_root + QStringLiteral("/picked/eri.bin");
    Dialogs::SetNextFile(chosen);
    Find<QPushButton>("eriBrowseButton")->click();
    ASSERT_EQ(Dialogs::FileRequests().size(), 1);
    const SFileDialogRequest r = Dialogs::FileRequests().constFirst();
    EXPECT_FALSE(r.bSave);
    EXPECT_EQ(QStringList({r.strTitle, r.strInitialName}) + r.filters,
              QStringList({"Select eri file", "*.bin", "ERI Files (*.bin)", "All Files (*.*)"}));
    EXPECT_EQ(Edit("eriPathEdit")->text(), chosen);
    EXPECT_EQ(theSettings.m_strLastEriFile, chosen);

    const QString deep = m_root + QStringLiteral("/a/b");
    QDir().mkpath(deep);
    const QString dll = m_root + QStringLiteral("/MODEL/p.so");
    for (const auto& [typed, plugin, folder] :
         {std::tuple{deep + QStringLiteral("/gone/x.bin"), dll, deep},
          {QStringLiteral("x.bin"), dll, m_root + QStringLiteral("/MODEL")},
          {QStringLiteral("x.bin"), QString(), QString()}}) {
        theSettings.Set(&CAppSettings::m_strDllFile, plugin);
        Edit("binPathEdit")->setText(typed);
        Find<QPushButton>("binBrowseButton")->click();
        EXPECT_EQ(Dialogs::FileRequests().constLast().strInitialFolder, folder) << typed.toStdString();
    }

    // The real chooser: its own filter lists the kind's files, "All Files (*.*)" every file, also
    // one without an extension. Cancel changes nothing.
    const QString old = m_root + QStringLiteral("/files/gone.bin");
    theSettings.m_strLastBinFile = old;
    Edit("binPathEdit")->setText(old);
    const auto click = [this] { Find<QPushButton>("binBrowseButton")->click(); };
    EXPECT_TRUE(WithRealDialog<QFileDialog>(click, [](QFileDialog* dlg) {
        QComboBox* combo = nullptr;
        for (QComboBox* c : dlg->findChildren<QComboBox*>()) {
            if (c->count() == 2 && c->itemText(0) == QStringLiteral("BIN Files (*.bin)"))
                combo = c;
        }
        auto* model = dlg->findChild<QFileSystemModel*>();
        if (combo && model) {
            EXPECT_EQ(combo->itemText(1), QStringLiteral("All Files (*.*)"));
            // What the list shows is the model's name filters applied to each name; checking them
            // does not depend on when the background listing of the folder arrives.
            const auto listed = [&](const char* name) {
                return QDir::match(model->nameFilters(), QString::fromLatin1(name));
            };
            EXPECT_TRUE(listed("fw.bin"));
            EXPECT_FALSE(listed("README"));
            dlg->selectNameFilter(QStringLiteral("All Files (*.*)"));
            EXPECT_TRUE(listed("README"));
            EXPECT_TRUE(listed("fw.bin"));
        } else {
            ADD_FAILURE() << "no filter box or file list in the chooser";
        }
        dlg->reject();
    }));
    EXPECT_EQ(Edit("binPathEdit")->text(), old);
    EXPECT_EQ(theSettings.m_strLastBinFile, old);
}

// Start runs the checks in the operation's order and stops at the first that fails, before
// anything is loaded or sent (PRL and ERI first look for their export). A box is empty, names
// no file ("missing") or a folder ("folder"). No at the confirmation, a cancelled folder and a
// start while busy end as quietly; the page is then as before the start.
TEST_F(UpgradePageTest, StartChecksInOrderAndLoadsNothing)
{
    const char* rec = "qpx_rec_plugin";
    const int up = OP_UPGRADE, prl = OP_PRL;
    // clang-format off
    // plugin nullptr: none installed; fill: all four boxes filled, then box set to "", "missing" or "folder";
    // how: 'n' no NAM checked, 'w' Write, 'r' Read (the folder cancelled), 'b' busy, 'N' No at the confirmation
    const struct { int op; const char* plugin; bool fill; const char* box; const char* value; const char* how;
                   QString message; } cases[] = {
        {up, rec, false, "", "", "", "Select .BIN file and proceed!"},
        {up, rec, true, "binPathEdit", "missing", "", "Invalid BIN File! Select another one!"},
        {up, rec, true, "scrPathEdit", "", "", "Select .Script file and proceed!"},
        {up, rec, true, "scrPathEdit", "folder", "", "Invalid SCRIPT File! Select another one!"},
        {up, rec, true, "prlPathEdit", "", "n", "Select PRL NAM!"},
        {up, rec, true, "prlPathEdit", "", "", "Select .PRL file and proceed!"},
        {up, rec, true, "prlPathEdit", "missing", "", "Invalid PRL File! Select another one!"},
        {up, rec, true, "eriPathEdit", "", "", "Select .ERI file and proceed!"},
        {up, rec, true, "eriPathEdit", "folder", "", "Invalid ERI File! Select another one!"},
        {OP_SCRIPT, rec, false, "", "", "", "Select .Script file and proceed!"},
        {OP_REFURBISH, rec, true, "scrPathEdit", "", "", "Select .Script file and proceed!"},
        {OP_BIN, "qpx_rec_plugin_min", true, "", "", "", NOT_SUPPORTED},
        {prl, nullptr, false, "", "", "", NOT_SUPPORTED},
        {prl, rec, false, "", "", "", "Select READ or WRITE mode First!"},
        {prl, rec, false, "", "", "w", "Select .PRL file and proceed!"},
        {OP_ERI, rec, false, "", "", "", "Select READ or WRITE mode First!"},
        {OP_ERI, rec, false, "", "", "w", "Select .ERI file and proceed!"},
        {up, rec, true, "", "", "N", "Are you sure?"},
        {prl, rec, true, "", "", "r", {}},
        {OP_BIN, rec, true, "", "", "b", {}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.toStdString() + c.how);
        const QLatin1String how(c.how);
        Dialogs::ClearRecords();
        theSettings.m_nLastDirection = -1;
        theSettings.m_strLastBinFile = theSettings.m_strLastScrFile = theSettings.m_strLastPrlFile =
            theSettings.m_strLastEriFile = QString();
        if (c.plugin)
            m_dll = InstallPlugin(QString::fromLatin1(c.plugin));
        else
            theSettings.Set(&CAppSettings::m_strDllFile, m_root + QStringLiteral("/MODEL/none.so"));
        CUpgradePage& page = MakePage(c.op);
        if (c.fill)
            FillFiles();
        if (*c.box)
            Edit(c.box)->setText(*c.value == 'm' ? m_root + QStringLiteral("/missing.bin")
                                                 : (*c.value ? m_root : QString()));
        for (const char* n : {"nam1Radio", "nam2Radio", "nam12Radio"}) {
            Radio(n)->setAutoExclusive(!how.contains('n'));
            Radio(n)->setChecked(Radio(n)->isChecked() && !how.contains('n'));
        }
        if (how.contains('w') || how.contains('r'))
            Radio(how.contains('w') ? "writeRadio" : "readRadio")->click();
        if (how.contains('N'))
            Dialogs::SetNextAnswer(IDNO);
        theSettings.m_bBusy = how.contains('b') ? 1 : 0;
        page.EnableStart(true);
        page.OnStart();
        EXPECT_EQ(Messages(), c.message.isEmpty() ? QStringList() : QStringList{c.message});
        EXPECT_FALSE(page.IsRunning());
        EXPECT_FALSE(c.plugin && Mapped(m_dll));
        EXPECT_EQ(theSettings.m_bBusy, how.contains('b') ? 1 : 0);
        EXPECT_TRUE(m_services.begun.isEmpty());
        EXPECT_EQ(Dialogs::FolderRequests().size(), how.contains('r') ? 1 : 0);
        EXPECT_TRUE(page.IsStartEnabled());
        EXPECT_TRUE(Find("statusValue")->isVisibleTo(&page));
        theSettings.m_bBusy = 0;
    }
    EXPECT_TRUE(Calls().isEmpty());
}

// What each operation hands its export, and the operation number the host locks.
TEST_F(UpgradePageTest, EveryExportGetsItsArguments)
{
    const QString out = m_root + QStringLiteral("/out");
    // clang-format off
    // args: {bin}, {scr}, {prl}, {eri}: the files in the boxes; {out}: the folder chosen
    const struct { int op, number, direction; const char* radio; const char* call; const char* args; } cases[] = {
        {OP_UPGRADE, OP_UPGRADE, -1, "nam2Radio", "Upgrade", " bin={bin} scr={scr} eri={eri} nam=1 prl={prl}"},
        {OP_BIN, OP_BIN, -1, nullptr, "Bin", " bin={bin}"},
        {OP_SCRIPT, OP_SCRIPT, -1, "nam1Radio", "Src", " scr={scr} eri={eri} nam=0 prl={prl}"},
        {OP_REFURBISH, OP_REFURBISH, -1, nullptr, "Refurbish", " bin={bin} scr={scr}"},
        {OP_PRL, OP_PRL, 0, "nam1Radio", "Prl", " nam=0 file={prl} dir=0"},
        {OP_PRL, OP_PRL, 1, "nam1Radio", "Prl", " nam=0 file={out}/nam1_prl_0000.prl dir=1"},
        {OP_PRL, OP_PRL, 1, "nam2Radio", "Prl", " nam=1 file={out}/nam2_prl_0001.prl dir=1"},
        {OP_PRL, OP_PRL, 1, "nam12Radio", "Prl", " nam=2 file={out}/nam?_prl_000#.prl dir=1"},
        {OP_ERI, OP_ERI, 0, nullptr, "Eri", " nam=1 file={eri} dir=0"},
        // ERI does not check the NAM: the remembered one goes out.
        {OP_ERI, OP_ERI, 1, nullptr, "Eri", " nam=1 file={out}/eri.bin dir=1"},
    };
    // clang-format on
    m_dll = InstallPlugin();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.call) + " " + std::to_string(c.direction) + " " +
                     (c.radio ? c.radio : ""));
        QFile::remove(m_recLog);
        Dialogs::ClearRecords();
        m_services.begun.clear();
        theSettings.m_nLastSelectNam = 1;
        theSettings.m_nLastDirection = c.direction;
        CUpgradePage& page = MakePage(c.op);
        FillFiles();
        if (c.radio)
            Radio(c.radio)->setChecked(true);
        Dialogs::SetNextFolder(out);
        QString args = QString::fromLatin1(c.args).replace(QStringLiteral("{out}"), out);
        for (auto f = m_files.cbegin(); f != m_files.cend(); ++f)
            args.replace(f.key(), f.value());
        EXPECT_EQ(RunAndWait(page, QString::fromLatin1(c.call)),
                  QString::fromLatin1(c.call) + QStringLiteral(" page=1 port=7 rect=10,355,575,460 dll=") +
                      m_dll + args);
        EXPECT_EQ(m_services.begun, QList<int>{c.number});
        if (c.op == OP_UPGRADE) { // the inputs that passed are remembered
            EXPECT_EQ(QStringList({theSettings.m_strLastBinFile, theSettings.m_strLastScrFile,
                                   theSettings.m_strLastPrlFile, theSettings.m_strLastEriFile}),
                      QStringList({m_files["{bin}"], m_files["{scr}"], m_files["{prl}"], m_files["{eri}"]}));
        }
        // A read asks for its folder, then for the confirmation.
        EXPECT_EQ(Dialogs::FolderRequests().size(), c.direction == 1 ? 1 : 0);
        for (const SFolderDialogRequest& r : Dialogs::FolderRequests()) {
            const QString kind = QString::fromLatin1(c.call).toUpper();
            EXPECT_EQ(QStringList({r.strTitle, r.strPrompt, r.strInitialFolder}),
                      QStringList({QStringLiteral("Select folder to save %1 file").arg(kind),
                                   QStringLiteral("Directory for  %1 read").arg(kind), m_root + "/MODEL"}));
        }
        EXPECT_EQ(Messages().constFirst(), QStringLiteral("Are you sure?"));
    }
}

// A read whose file is already in the folder (of NAM 1,2: the second) asks before replacing it;
// No keeps the old file and ends the start without a word.
TEST_F(UpgradePageTest, ReadIntoAnExistingFileAsksFirst)
{
    m_dll = InstallPlugin();
    theSettings.m_nLastDirection = 1;
    const QString folder = m_root + QStringLiteral("/out");
    const QString existing = folder + QStringLiteral("/nam2_prl_0001.prl");
    ASSERT_TRUE(qpxtest::WriteFile(existing, "old"));
    CUpgradePage& page = MakePage(OP_PRL);
    Radio("nam12Radio")->setChecked(true);
    const QString question = QStringLiteral("File exists! Replace the previous file?\n\n") + existing;
    for (const int answer : {IDNO, IDYES}) {
        QFile::remove(m_recLog);
        Dialogs::ClearRecords();
        Dialogs::SetNextFolder(folder);
        Dialogs::SetNextAnswer(answer);
        const QString call = RunAndWait(page, QStringLiteral("Prl"));
        EXPECT_EQ(Messages().mid(0, 2), answer == IDNO
                                            ? QStringList{question} // not even the confirmation
                                            : (QStringList{question, QStringLiteral("Are you sure?")}));
        EXPECT_EQ(call.contains(QStringLiteral(" file=") + folder + QLatin1Char('/')), answer == IDYES);
        EXPECT_EQ(Mapped(m_dll), false);
        EXPECT_EQ(Dialogs::Shown().constFirst().nButtons, MB_YESNO);
        EXPECT_EQ(qpxtest::ReadFile(existing), QByteArray("old"));
    }
}

// Nothing says that the threads such a plug-in started have ended: its code is never unmapped
// under them, and the log says so once.
TEST_F(UpgradePageTest, PluginWithoutReleaseRsStaysLoadedUntilTheProgramEnds)
{
    qpxtest::CLogCapture messages;
    m_dll = InstallPlugin(QStringLiteral("qpx_rec_plugin_min"));
    CUpgradePage& page = MakePage(OP_UPGRADE);
    FillFiles();
    for (int run = 1; run <= 2; ++run) {
        ASSERT_FALSE(RunAndWait(page, QStringLiteral("Upgrade")).isEmpty());
        EXPECT_EQ(Messages().constLast(), QStringLiteral("Download Success!"));
        EXPECT_FALSE(page.IsRunning());
        EXPECT_TRUE(Mapped(m_dll)) << run;
    }
    EXPECT_EQ(messages.Count({m_dll, QStringLiteral("ReleaseRs")}), 1);
}

// Only the completion of a run in progress is read: not another message, not a stray completion
// before any run, not a repeated one after ReleaseRs. The window answers during the real wait after
// ReleaseRs, the run still locked; a page closed then keeps the library and is never touched again.
TEST_F(UpgradePageTest, OnlyTheCompletionOfTheRunInProgressIsHandled)
{
    m_dll = InstallPlugin();
    CUpgradePage& page = MakePage(OP_BIN);
    FillFiles();
    OperationResult r{};
    r.nResult = -1;
    const auto deliver = [&](quint32 msg, WPARAM wParam) {
        page.OnMessage(msg, wParam, reinterpret_cast<LPARAM>(&r));
    };
    deliver(WM_PLUGIN_NOTIFY_MSG, PLUGIN_DONE);
    EXPECT_TRUE(Dialogs::Shown().isEmpty());

    page.OnStart();
    deliver(WM_PLUGIN_NOTIFY_MSG, PLUGIN_DONE + 1);
    deliver(WM_HOST_COMMAND, PLUGIN_DONE);
    EXPECT_TRUE(page.IsRunning() && theSettings.m_bBusy == 1);
    ASSERT_TRUE(WaitIdle());
    deliver(WM_PLUGIN_NOTIFY_MSG, PLUGIN_DONE);
    EXPECT_EQ(Messages().join(u'|').toStdString(), "Are you sure?|Download Success!");

    CPluginRun::SetReleaseWaitMs(1000);
    page.OnStart();
    deliver(WM_PLUGIN_NOTIFY_MSG, PLUGIN_DONE);
    deliver(WM_PLUGIN_NOTIFY_MSG, PLUGIN_DONE);
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(page.IsRunning() && !page.IsStartEnabled() && theSettings.m_bBusy == 1);
        m_page.reset();
    });
    bool waitOver = false;
    QTimer::singleShot(1100, [&waitOver] { waitOver = true; });
    ASSERT_TRUE(qpxtest::PumpUntil([&] { return waitOver; }));
    EXPECT_EQ(m_services.ended, QList<int>{OP_BIN});
    EXPECT_TRUE(Mapped(m_dll) && Calls().count(QStringLiteral("ReleaseRs page=1")) == 2);
    EXPECT_EQ(Messages().join(u'|').toStdString(), "Are you sure?|Download Success!|Are you sure?");
}

const QString NOT_VALID = QString::fromUtf8("폴더:\n\n%1\n\n유효하지 않습니다. 다시 입력하세요.");
const QString CREATE = QString::fromUtf8("폴더:\n\n%1\n\n존재하지 않습니다. 폴더를 생성하시겠습니까?");
const QString CANNOT = QString::fromUtf8("폴더r:\n\n%1\n\n생성할 수 없습니다.");

using FolderChooserTest = UpgradePageTest;

// A typed folder: taken when it exists; bad syntax, a file, or a path longer than 260 characters
// (never cut to fit) refused naming the whole text; a missing one created level by level on Yes.
TEST_F(FolderChooserTest, TypedFolderIsCheckedAndCreatedOnRequest)
{
    const QString longPath = QStringLiteral("/") + QString(300, QLatin1Char('a'));
    const QString file = MakeFile(QStringLiteral("plain"));
    const QString longest = m_root + QLatin1Char('/') + QString(259 - m_root.size(), QLatin1Char('b'));
    ASSERT_EQ(longest.size(), 260);
    const QString create = m_root + QStringLiteral("/one/two/three");
    const QString bad = m_root + QStringLiteral("/a:b"), sub = file + QStringLiteral("/sub");
    // clang-format off
    // answer: to the create question, 0: none asked
    const struct { QString typed; int answer; bool accepted; QStringList messages; } cases[] = {
        {m_root, 0, true, {}},
        {bad, 0, false, {NOT_VALID.arg(bad)}},
        {file, 0, false, {NOT_VALID.arg(file)}},
        {longPath.left(261), 0, false, {NOT_VALID.arg(longPath.left(261))}},
        {longest, IDNO, false, {CREATE.arg(longest)}},
        {create, IDYES, true, {CREATE.arg(create)}},
        {sub, IDYES, false, {CREATE.arg(sub), CANNOT.arg(sub)}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        Dialogs::ClearRecords();
        if (c.answer)
            Dialogs::SetNextAnswer(c.answer);
        SFolderDialogRequest r;
        r.strInitialFolder = m_root;
        auto dlg = std::make_unique<CFolderChooser>(nullptr, r);
        dlg->Edit()->setText(c.typed);
        dlg->OkButton()->click();
        EXPECT_EQ(dlg->result() == QDialog::Accepted, c.accepted);
        EXPECT_EQ(dlg->Folder(), c.accepted ? c.typed : QString());
        EXPECT_EQ(Messages(), c.messages);
        EXPECT_TRUE(!c.answer || QFileInfo(c.typed).isDir() == c.accepted);
        EXPECT_TRUE(c.answer != IDNO || dlg->Edit()->text() == c.typed);
    }
}

// The messages above are Korean: scripts/test runs after scripts/setup installed a font with
// Hangul glyphs, and the font database must offer it.
TEST_F(FolderChooserTest, KoreanTextsHaveAFont)
{
    if (qEnvironmentVariableIntValue("QPX_REQUIRE_HANGUL_FONT") != 1)
        GTEST_SKIP() << "checked where scripts/setup installed the fonts";
    QStringList withGlyphs;
    for (const QString& family : QFontDatabase::families(QFontDatabase::Korean)) {
        const QFontMetrics metrics{QFont(family)};
        if (metrics.inFontUcs4(0xD3F4) && metrics.inFontUcs4(0xC720)) // the first letters of the texts
            withGlyphs << family;
    }
    EXPECT_FALSE(withGlyphs.isEmpty());
}

// The page installs the chooser: a PRL read into a typed folder that does not exist yet.
TEST_F(FolderChooserTest, PageReadGoesIntoCreatedFolder)
{
    InstallPlugin();
    theSettings.m_nLastDirection = 1;
    CUpgradePage& page = MakePage(OP_PRL);
    Radio("nam1Radio")->setChecked(true);
    const QString target = m_root + QStringLiteral("/reads/today");
    // The real chooser runs modally: answer it from the event loop. The create question and the
    // confirmation are answered Yes from the queue.
    Dialogs::SetNextAnswer(IDYES);
    Dialogs::SetNextAnswer(IDYES);
    Dialogs::SetNextAnswer(IDOK);
    ASSERT_TRUE(WithRealDialog<CFolderChooser>(
        [&] { page.OnStart(); },
        [&](CFolderChooser* dlg) {
            EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Select folder to save PRL file"));
            EXPECT_EQ(dlg->Edit()->text(), m_root + QStringLiteral("/MODEL"));
            dlg->Edit()->setText(target);
            dlg->OkButton()->click();
        }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(QFileInfo(target).isDir());
    EXPECT_TRUE(
        CallOf(QStringLiteral("Prl"))
            .contains(QStringLiteral(" file=") + target + QStringLiteral("/nam1_prl_0000.prl dir=1")));
}

} // namespace
