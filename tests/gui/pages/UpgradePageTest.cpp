// The upgrade page against the recording plug-in: what each operation shows, the browse buttons,
// the input checks and their order, the arguments of every export, the run lock and how a run
// ends.
#include "pages/UpgradePage.h"
#include "FakePageServices.h"
#include "PageFixture.h"
#include "app/FunctionListPanel.h"
#include "controls/SkinButton.h"
#include "pages/FolderChooser.h"
#include "pages/MemoryTransferPage.h"
#include "pages/PhoneBookPage.h"
#include "pages/SettingsPage.h"
#include "platform/HostCommands.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <functional>

namespace {

using pagetest::PageFixture;
using pagetest::PumpUntil;

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
    bool Visible(const char* name) const { return Find(name)->isVisibleTo(m_page.get()); }
    bool Enabled(const char* name) const { return Find(name)->isEnabled(); }
    QString Text(const char* name) const { return Find<QLabel>(name)->text(); }

    // Fills all four path boxes with readable files.
    void FillFiles()
    {
        m_bin = MakeFile(QStringLiteral("fw.bin"));
        m_scr = MakeFile(QStringLiteral("a.scr"));
        m_prl = MakeFile(QStringLiteral("a.prl"));
        m_eri = MakeFile(QStringLiteral("eri.bin"));
        Edit("binPathEdit")->setText(m_bin);
        Edit("scrPathEdit")->setText(m_scr);
        Edit("prlPathEdit")->setText(m_prl);
        Edit("eriPathEdit")->setText(m_eri);
    }
    void ClearNamRadios()
    {
        for (const char* n : {"nam1Radio", "nam2Radio", "nam12Radio"}) {
            Radio(n)->setAutoExclusive(false);
            Radio(n)->setChecked(false);
        }
    }
    // Start, then wait for the completion; returns the recorded call.
    QString RunAndWait(CUpgradePage& page, const QString& name)
    {
        page.OnStart();
        EXPECT_TRUE(WaitIdle());
        return CallOf(name);
    }
    // True while the library is mapped into the process.
    static bool Mapped(const QString& path)
    {
        return QString::fromUtf8(qpxtest::ReadFile(QStringLiteral("/proc/self/maps"))).contains(path);
    }

    qpxtest::CFakePageServices m_services;
    std::unique_ptr<CUpgradePage> m_page;
    QString m_dll, m_bin, m_scr, m_prl, m_eri;
};

TEST_F(UpgradePageTest, StartsWithTheRememberedInputs)
{
    theSettings.m_strLastBinFile = QStringLiteral("/a/x.bin");
    theSettings.m_strLastEriFile = QStringLiteral("/a/eri.bin");
    theSettings.m_nLastSelectNam = 0;
    for (const int direction : {1, 0, -1}) {
        theSettings.m_nLastDirection = direction;
        MakePage();
        EXPECT_EQ(Edit("binPathEdit")->text(), QStringLiteral("/a/x.bin"));
        EXPECT_EQ(Edit("eriPathEdit")->text(), QStringLiteral("/a/eri.bin"));
        // "NAM 1,2" is shown whatever is remembered, and the remembered value stays.
        EXPECT_TRUE(Radio("nam12Radio")->isChecked());
        EXPECT_EQ(theSettings.m_nLastSelectNam, 0);
        EXPECT_EQ(Radio("readRadio")->isChecked(), direction == 1);
        EXPECT_EQ(Radio("writeRadio")->isChecked(), direction == 0);
    }
}

// The rows each operation shows and enables (direction Write, so PRL and ERI follow their
// columns); switching back and forth on one page restores them.
TEST_F(UpgradePageTest, EachOperationShowsItsRows)
{
    theSettings.m_nLastDirection = 0;
    const struct
    {
        int op;
        bool binShown, scrShown, directionShown;
        QStringList enabled; // of binPathEdit, scrPathEdit, nam1Radio, prlPathEdit, eriPathEdit
    } views[] = {
        {OP_UPGRADE,
         true,
         true,
         false,
         {"binPathEdit", "scrPathEdit", "nam1Radio", "prlPathEdit", "eriPathEdit"}},
        {OP_BIN, true, true, false, {"binPathEdit"}},
        {OP_SCRIPT, true, true, false, {"scrPathEdit", "nam1Radio", "prlPathEdit", "eriPathEdit"}},
        {OP_PRL, false, false, true, {"nam1Radio", "prlPathEdit"}},
        {OP_ERI, false, false, true, {"eriPathEdit"}},
        {OP_REFURBISH, true, true, false, {"binPathEdit", "scrPathEdit"}},
    };
    CUpgradePage& page = MakePage();
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < 6; ++i) {
            const auto& v = views[pass == 0 ? i : 5 - i];
            SCOPED_TRACE(v.op);
            page.SelectOperation(v.op);
            EXPECT_EQ(Visible("binPathEdit"), v.binShown);
            EXPECT_EQ(Visible("scrBrowseButton"), v.scrShown);
            EXPECT_EQ(Visible("directionGroup"), v.directionShown);
            for (const char* n : {"binPathEdit", "scrPathEdit", "nam1Radio", "prlPathEdit", "eriPathEdit"})
                EXPECT_EQ(Enabled(n), v.enabled.contains(QLatin1String(n))) << n;
            EXPECT_EQ(Enabled("prlBrowseButton"), Enabled("prlPathEdit"));
        }
    }
}

TEST_F(UpgradePageTest, StartNeedsAPluginAndIsNeverEnabledBySelecting)
{
    for (const char* dll : {"", "N/A", "Connecting...", "/m/a.so"}) {
        SCOPED_TRACE(dll);
        theSettings.Set(&CAppSettings::m_strDllFile, QString::fromLatin1(dll));
        CUpgradePage& page = MakePage();
        page.EnableStart(true);
        page.SelectOperation(OP_BIN);
        EXPECT_EQ(page.IsStartEnabled(), QString::fromLatin1(dll).startsWith(u'/'));
        page.EnableStart(false);
        page.SelectOperation(OP_SCRIPT);
        EXPECT_FALSE(page.IsStartEnabled());
    }
}

TEST_F(UpgradePageTest, RadiosAreRememberedAndTheDirectionDrivesTheFileRow)
{
    theSettings.m_nLastDirection = 0;
    CUpgradePage& page = MakePage(OP_PRL);
    for (const auto& [radio, nam] : {std::pair{"nam1Radio", 0}, {"nam2Radio", 1}, {"nam12Radio", 2}}) {
        Radio(radio)->click();
        EXPECT_EQ(theSettings.m_nLastSelectNam, nam);
    }
    for (const int op : {OP_PRL, OP_ERI}) {
        page.SelectOperation(op);
        const char* row = op == OP_PRL ? "prlPathEdit" : "eriPathEdit";
        const char* other = op == OP_PRL ? "eriPathEdit" : "prlPathEdit";
        Radio("readRadio")->click();
        EXPECT_EQ(theSettings.m_nLastDirection, 1);
        EXPECT_FALSE(Enabled(row));
        Radio("writeRadio")->click();
        EXPECT_EQ(theSettings.m_nLastDirection, 0);
        EXPECT_TRUE(Enabled(row));
        EXPECT_FALSE(Enabled(other));
    }
    // Neither radio checked: PRL's ERI row keeps the state Upgrade left.
    theSettings.m_nLastDirection = -1;
    MakePage(OP_UPGRADE).SelectOperation(OP_PRL);
    EXPECT_TRUE(Enabled("eriPathEdit"));
}

TEST_F(UpgradePageTest, BrowseButtonsAskWithTheirFiltersAndStartNearTheLastFile)
{
    MakePage(OP_UPGRADE);
    const struct
    {
        const char *button, *edit, *title, *name, *filter;
        QString CAppSettings::*field;
    } cases[] = {
        {"binBrowseButton", "binPathEdit", "Select binary file", "*.bin", "BIN Files (*.bin)",
         &CAppSettings::m_strLastBinFile},
        {"scrBrowseButton", "scrPathEdit", "Select script file", "*.scr", "SCR Files (*.scr)",
         &CAppSettings::m_strLastScrFile},
        {"prlBrowseButton", "prlPathEdit", "Select prl file", "*.prl", "PRL Files (*.prl)",
         &CAppSettings::m_strLastPrlFile},
        {"eriBrowseButton", "eriPathEdit", "Select eri file", "*.bin", "ERI Files (*.bin)",
         &CAppSettings::m_strLastEriFile},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        Dialogs::ClearRecords();
        const QString chosen = m_root + QStringLiteral("/picked/") + QString::fromLatin1(c.name).mid(2);
        Dialogs::SetNextFile(chosen);
        Find<QPushButton>(c.button)->click();
        ASSERT_EQ(Dialogs::FileRequests().size(), 1);
        const SFileDialogRequest r = Dialogs::FileRequests().constFirst();
        EXPECT_FALSE(r.bSave);
        EXPECT_EQ(r.strTitle, QString::fromLatin1(c.title));
        EXPECT_EQ(r.strInitialName, QString::fromLatin1(c.name));
        EXPECT_EQ(r.filters, QStringList({QString::fromLatin1(c.filter), QStringLiteral("All Files (*.*)")}));
        EXPECT_EQ(Edit(c.edit)->text(), chosen);
        EXPECT_EQ(theSettings.*c.field, chosen);
    }

    // The nearest folder that exists, else the plug-in's folder, else none.
    const QString deep = m_root + QStringLiteral("/a/b");
    QDir().mkpath(deep);
    const struct
    {
        QString typed, dll, folder;
    } starts[] = {
        {deep + QStringLiteral("/gone/x.bin"), m_root + QStringLiteral("/MODEL/p.so"), deep},
        {QStringLiteral("x.bin"), m_root + QStringLiteral("/MODEL/p.so"), m_root + QStringLiteral("/MODEL")},
        {QStringLiteral("x.bin"), QString(), QString()},
    };
    for (const auto& s : starts) {
        theSettings.Set(&CAppSettings::m_strDllFile, s.dll);
        Edit("binPathEdit")->setText(s.typed);
        Find<QPushButton>("binBrowseButton")->click();
        EXPECT_EQ(Dialogs::FileRequests().constLast().strInitialFolder, s.folder) << s.typed.toStdString();
    }
}

// The real chooser: its own filter lists the kind's files, "All Files (*.*)" every file, also one
// without an extension. Cancel changes nothing.
TEST_F(UpgradePageTest, BrowseAllFilesListsEveryFileAndCancelChangesNothing)
{
    const QString old = m_root + QStringLiteral("/files/gone.bin");
    theSettings.m_strLastBinFile = old;
    MakePage(OP_BIN);
    Dialogs::SetTestMode(false);
    bool seen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dlg || seen)
            return;
        seen = true;
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
    });
    poll.start(10);
    Find<QPushButton>("binBrowseButton")->click();
    poll.stop();
    Dialogs::SetTestMode(true);
    EXPECT_TRUE(seen);
    EXPECT_EQ(Edit("binPathEdit")->text(), old);
    EXPECT_EQ(theSettings.m_strLastBinFile, old);
}

// Start runs the checks in the operation's order and stops at the first that fails, before
// anything is loaded or sent (PRL and ERI first look for their export). A box is empty, names
// no file ("missing") or a folder ("folder").
TEST_F(UpgradePageTest, StartChecksInOrderAndLoadsNothing)
{
    const char* rec = "qpx_rec_plugin";
    const int up = OP_UPGRADE, prl = OP_PRL;
    // clang-format off
    const struct
    {
        int op;
        const char* plugin; // nullptr: none installed
        bool fill;          // all four boxes filled
        const char* box;    // then this box changed
        const char* value;  // to "", "missing" or "folder"
        bool noNam, write;
        QString message;
    } cases[] = {
        {up, rec, false, "", "", false, false, "Select .BIN file and proceed!"},
        {up, rec, true, "binPathEdit", "missing", false, false, "Invalid BIN File! Select another one!"},
        {up, rec, true, "scrPathEdit", "", false, false, "Select .Script file and proceed!"},
        {up, rec, true, "scrPathEdit", "folder", false, false, "Invalid SCRIPT File! Select another one!"},
        {up, rec, true, "prlPathEdit", "", true, false, "Select PRL NAM!"},
        {up, rec, true, "prlPathEdit", "", false, false, "Select .PRL file and proceed!"},
        {up, rec, true, "prlPathEdit", "missing", false, false, "Invalid PRL File! Select another one!"},
        {up, rec, true, "eriPathEdit", "", false, false, "Select .ERI file and proceed!"},
        {up, rec, true, "eriPathEdit", "folder", false, false, "Invalid ERI File! Select another one!"},
        {OP_SCRIPT, rec, false, "", "", false, false, "Select .Script file and proceed!"},
        {OP_REFURBISH, rec, true, "scrPathEdit", "", false, false, "Select .Script file and proceed!"},
        {OP_BIN, "qpx_rec_plugin_min", true, "", "", false, false, NOT_SUPPORTED},
        {prl, nullptr, false, "", "", false, false, NOT_SUPPORTED},
        {prl, rec, false, "", "", false, false, "Select READ or WRITE mode First!"},
        {prl, rec, false, "", "", false, true, "Select .PRL file and proceed!"},
        {OP_ERI, rec, false, "", "", false, false, "Select READ or WRITE mode First!"},
        {OP_ERI, rec, false, "", "", false, true, "Select .ERI file and proceed!"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        Dialogs::ClearRecords();
        theSettings.m_nLastDirection = -1;
        for (QString CAppSettings::*f : {&CAppSettings::m_strLastBinFile, &CAppSettings::m_strLastScrFile,
                                         &CAppSettings::m_strLastPrlFile, &CAppSettings::m_strLastEriFile})
            (theSettings.*f).clear();
        if (c.plugin)
            m_dll = InstallPlugin(QString::fromLatin1(c.plugin));
        else
            theSettings.Set(&CAppSettings::m_strDllFile, m_root + QStringLiteral("/MODEL/none.so"));
        CUpgradePage& page = MakePage(c.op);
        if (c.fill)
            FillFiles();
        if (*c.box) {
            const QString v = QString::fromLatin1(c.value);
            Edit(c.box)->setText(v == QLatin1String("missing")  ? m_root + QStringLiteral("/missing.bin")
                                 : v == QLatin1String("folder") ? m_root
                                                                : QString());
        }
        if (c.noNam)
            ClearNamRadios();
        if (c.write)
            Radio("writeRadio")->click();
        page.OnStart();
        EXPECT_EQ(Messages(), QStringList{c.message});
        EXPECT_FALSE(page.IsRunning());
        EXPECT_FALSE(c.plugin && Mapped(m_dll));
        EXPECT_EQ(theSettings.m_bBusy, 0);
        EXPECT_TRUE(m_services.begun.isEmpty());
    }
    EXPECT_TRUE(Calls().isEmpty());
}

// What each operation hands its export, and the operation number the host locks.
TEST_F(UpgradePageTest, EveryExportGetsItsArguments)
{
    const QString out = m_root + QStringLiteral("/out");
    // clang-format off
    const struct
    {
        int op, number, direction;
        const char* radio;
        const char* call;
        const char* args; // {bin}, {scr}, {prl}, {eri}: the files in the boxes; {out}: the folder chosen
    } cases[] = {
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
        EXPECT_EQ(RunAndWait(page, QString::fromLatin1(c.call)),
                  QString::fromLatin1(c.call) + QStringLiteral(" page=1 port=7 rect=10,355,575,460 dll=") +
                      m_dll +
                      QString::fromLatin1(c.args)
                          .replace(QStringLiteral("{bin}"), m_bin)
                          .replace(QStringLiteral("{scr}"), m_scr)
                          .replace(QStringLiteral("{prl}"), m_prl)
                          .replace(QStringLiteral("{eri}"), m_eri)
                          .replace(QStringLiteral("{out}"), out));
        EXPECT_EQ(m_services.begun, QList<int>{c.number});
        if (c.op == OP_UPGRADE) { // the inputs that passed are remembered
            EXPECT_EQ(QStringList({theSettings.m_strLastBinFile, theSettings.m_strLastScrFile,
                                   theSettings.m_strLastPrlFile, theSettings.m_strLastEriFile}),
                      QStringList({m_bin, m_scr, m_prl, m_eri}));
        }
        // A read asks for its folder, then for the confirmation.
        EXPECT_EQ(Dialogs::FolderRequests().size(), c.direction == 1 ? 1 : 0);
        if (c.direction == 1) {
            const SFolderDialogRequest r = Dialogs::FolderRequests().constFirst();
            const QString kind = QString::fromLatin1(c.call).toUpper();
            EXPECT_EQ(r.strTitle, QStringLiteral("Select folder to save %1 file").arg(kind));
            EXPECT_EQ(r.strPrompt, QStringLiteral("Directory for  %1 read").arg(kind));
            EXPECT_EQ(r.strInitialFolder, m_root + QStringLiteral("/MODEL"));
        }
        EXPECT_EQ(Messages().constFirst(), QStringLiteral("Are you sure?"));
    }
}

// A read whose file is already in the folder asks before replacing it; No keeps the old file and
// ends the start without a word.
TEST_F(UpgradePageTest, ReadIntoAnExistingFileAsksFirst)
{
    m_dll = InstallPlugin();
    theSettings.m_nLastDirection = 1;
    const QString folder = m_root + QStringLiteral("/out");
    const struct
    {
        int selected;
        const char* radio;
        const char* existing; // the one file of the read that is there already
        const char* call;
    } cases[] = {{OP_PRL, "nam1Radio", "nam1_prl_0000.prl", "Prl"},
                 {OP_PRL, "nam12Radio", "nam2_prl_0001.prl", "Prl"},
                 {OP_ERI, nullptr, "eri.bin", "Eri"}};
    for (const auto& c : cases) {
        const QString existing = folder + QLatin1Char('/') + QString::fromLatin1(c.existing);
        ASSERT_TRUE(qpxtest::WriteFile(existing, "old"));
        CUpgradePage& page = MakePage(c.selected);
        if (c.radio)
            Radio(c.radio)->setChecked(true);
        for (const int answer : {IDNO, IDYES}) {
            SCOPED_TRACE(std::string(c.existing) + (answer == IDYES ? " yes" : " no"));
            QFile::remove(m_recLog);
            Dialogs::ClearRecords();
            Dialogs::SetNextFolder(folder);
            Dialogs::SetNextAnswer(answer);
            const QString call = RunAndWait(page, QString::fromLatin1(c.call));
            const QString question = QStringLiteral("File exists! Replace the previous file?\n\n") + existing;
            if (answer == IDNO) {
                EXPECT_EQ(Messages(), QStringList{question}); // not even the confirmation
                EXPECT_TRUE(call.isEmpty());
                EXPECT_FALSE(Mapped(m_dll));
            } else {
                EXPECT_EQ(Messages().mid(0, 2), (QStringList{question, QStringLiteral("Are you sure?")}));
                EXPECT_TRUE(call.contains(QStringLiteral(" file=") + folder + QLatin1Char('/')));
            }
            EXPECT_EQ(Dialogs::Shown().constFirst().nButtons, MB_YESNO);
            EXPECT_EQ(qpxtest::ReadFile(existing), QByteArray("old"));
        }
        QFile::remove(existing);
    }
}

// No at the confirmation, a cancelled folder, a start while busy: nothing runs, nothing is loaded.
TEST_F(UpgradePageTest, StartsThatEndQuietly)
{
    m_dll = InstallPlugin();
    const struct
    {
        const char* what;
        int op;
        std::function<void()> prepare;
        QStringList messages;
    } cases[] = {
        {"no", OP_UPGRADE, [] { Dialogs::SetNextAnswer(IDNO); }, {QStringLiteral("Are you sure?")}},
        {"folder cancelled", OP_PRL, [] { theSettings.m_nLastDirection = 1; }, {}},
        {"busy", OP_BIN, [] { theSettings.m_bBusy = 1; }, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Dialogs::ClearRecords();
        c.prepare();
        CUpgradePage& page = MakePage(c.op);
        FillFiles();
        page.EnableStart(true);
        page.OnStart();
        EXPECT_EQ(Messages(), c.messages);
        EXPECT_FALSE(page.IsRunning());
        EXPECT_FALSE(Mapped(m_dll));
        if (!c.messages.isEmpty()) { // after No the page is as before the start
            EXPECT_TRUE(page.IsStartEnabled());
            EXPECT_TRUE(Visible("statusValue"));
        }
        theSettings.m_bBusy = 0;
    }
    EXPECT_TRUE(Calls().isEmpty());
    EXPECT_TRUE(m_services.begun.isEmpty());
}

// The end of a run: the plug-in's texts on the page, its message or "Download Success!", the
// library released; Bin Download gets Start back at once, Refurbish waits for the reconnection.
TEST_F(UpgradePageTest, CompletionShowsTheResultAndUnloads)
{
    m_dll = InstallPlugin();
    for (const bool success : {true, false}) {
        SCOPED_TRACE(success);
        Dialogs::ClearRecords();
        if (!success) {
            qputenv("QPX_REC_RESULT", "0");
            qputenv("QPX_REC_MESSAGE", "Handset refused the image");
            qputenv("QPX_REC_MINUTES", "0");
            qputenv("QPX_REC_SECONDS", "9.96");
        }
        CUpgradePage& page = MakePage(success ? OP_BIN : OP_REFURBISH);
        FillFiles();
        page.OnStart();
        EXPECT_FALSE(Visible("statusValue"));
        ASSERT_TRUE(WaitIdle());

        EXPECT_TRUE(Visible("statusValue"));
        EXPECT_EQ(Messages().constLast(), success ? QStringLiteral("Download Success!")
                                                  : QStringLiteral("Handset refused the image"));
        EXPECT_EQ(Text("elapsedLabel"), success ? QStringLiteral("02:05.3 s") : QStringLiteral("00:10.0 s"));
        if (success) {
            EXPECT_EQ(Text("statusValue"), QStringLiteral("Bin done"));
            EXPECT_EQ(Text("fileNameValue"), m_bin);
            EXPECT_EQ(Text("addressValue"), QStringLiteral("0x00002000"));
            EXPECT_EQ(Find<QProgressBar>("progressBar")->value(), 100);
        }
        EXPECT_FALSE(page.IsRunning());
        EXPECT_FALSE(Mapped(m_dll));
        EXPECT_EQ(page.IsStartEnabled(), success);
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
    ASSERT_TRUE(PumpUntil([&] { return waitOver; }));
    EXPECT_EQ(m_services.ended, QList<int>{OP_BIN});
    EXPECT_TRUE(Mapped(m_dll) && Calls().count(QStringLiteral("ReleaseRs page=1")) == 2);
    EXPECT_EQ(Messages().join(u'|').toStdString(), "Are you sure?|Download Success!|Are you sure?");
}

class RunLockTest : public PageFixture
{
protected:
    // The page that runs op applies its own lock, the host the rest.
    void Lock(int op, bool lock)
    {
        CPageHost& host = Host();
        for (COperationPage* page : std::initializer_list<COperationPage*>{
                 host.UpgradePage(), host.SettingsPage(), host.PhoneBookPage(), host.TransferPage()}) {
            if (page->RunsOperation(op))
                lock ? page->ApplyRunLock(op) : page->ReleaseRunLock(op);
        }
        lock ? host.BeginRun(op) : host.EndRun(op);
    }
    // How many of the widgets named are enabled (or shown).
    int Count(const QStringList& names, bool shown = false)
    {
        int n = 0;
        for (const QString& name : names) {
            auto* w = Host().UpgradePage()->findChild<QWidget*>(name);
            EXPECT_NE(w, nullptr) << name.toStdString();
            n += (w && (shown ? w->isVisibleTo(Host().UpgradePage()) : w->isEnabled())) ? 1 : 0;
        }
        return n;
    }
    // Every name in the space-separated list has the state.
    void ExpectEnabled(const char* names, bool enabled)
    {
        for (const QString& n : QString::fromLatin1(names).split(u' ', Qt::SkipEmptyParts))
            EXPECT_EQ(Count({n}), enabled ? 1 : 0) << n.toStdString();
    }
    int PanelButtonsOn()
    {
        int on = 0;
        for (int id : CFunctionListPanel::MainButtonIds())
            on += Host().Panel()->Button(id)->isEnabled() ? 1 : 0;
        return on;
    }
};

// While an operation runs its page locks what would change the run; the release gives back what
// the operation allows. Other pages' operations lock only the common part of this page.
TEST_F(RunLockTest, EveryOperationLocksAndReleasesItsInputs)
{
    const struct
    {
        int selection, op, nam, direction;
        const char *lockedOff, *lockedOn, *releasedOff, *releasedOn;
    } cases[] = {
        {OP_UPGRADE, OP_UPGRADE, 1, -1,
         "binBrowseButton scrBrowseButton prlBrowseButton eriBrowseButton nam1Radio nam12Radio startButton",
         "nam2Radio binPathEdit", "",
         "binBrowseButton scrBrowseButton prlBrowseButton eriBrowseButton nam1Radio nam2Radio nam12Radio "
         "startButton"},
        {OP_BIN, OP_BIN, 0, -1, "binBrowseButton startButton", "scrBrowseButton nam1Radio", "",
         "binBrowseButton startButton"},
        {OP_SCRIPT, OP_SCRIPT, 2, -1,
         "scrBrowseButton prlBrowseButton eriBrowseButton nam1Radio nam2Radio startButton",
         "binBrowseButton nam12Radio", "",
         "scrBrowseButton prlBrowseButton eriBrowseButton nam1Radio nam2Radio nam12Radio startButton"},
        {OP_PRL, OP_PRL, 0, 0, "startButton prlBrowseButton nam2Radio nam12Radio readRadio",
         "nam1Radio writeRadio", "",
         "startButton prlBrowseButton nam1Radio nam2Radio nam12Radio readRadio writeRadio"},
        // The PRL browse button comes back only for Write.
        {OP_PRL, OP_PRL, 0, 1, "startButton prlBrowseButton nam2Radio nam12Radio writeRadio",
         "nam1Radio readRadio", "prlBrowseButton",
         "startButton nam1Radio nam2Radio nam12Radio readRadio writeRadio"},
        // ERI leaves the NAM radios alone, and Start for the reconnection.
        {OP_ERI, OP_ERI, 0, 0, "eriBrowseButton readRadio", "writeRadio nam2Radio", "startButton",
         "eriBrowseButton readRadio writeRadio"},
        {OP_ERI, OP_ERI, 0, 1, "eriBrowseButton writeRadio", "readRadio nam2Radio",
         "startButton eriBrowseButton", "readRadio writeRadio"},
        {OP_REFURBISH, OP_REFURBISH, 0, -1, "binBrowseButton scrBrowseButton startButton", "prlBrowseButton",
         "startButton", "binBrowseButton scrBrowseButton"},
        {OP_UPGRADE, OP_SETTINGS, 0, -1, "", "binBrowseButton nam1Radio readRadio startButton", "", ""},
        {OP_UPGRADE, OP_PHONEBOOK, 0, -1, "", "binBrowseButton nam1Radio readRadio startButton", "", ""},
        {OP_UPGRADE, OP_TRANSFER, 0, -1, "", "binBrowseButton nam1Radio readRadio startButton", "", ""},
    };
    const QStringList values{"fileNameLabel", "fileNameValue", "addressLabel",
                             "addressValue",  "statusLabel",   "statusValue"};
    const int panel = int(CFunctionListPanel::MainButtonIds().size());
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "operation " << c.op << ", direction " << c.direction);
        Host().UpgradePage()->SelectOperation(c.selection);
        for (const char* n :
             {"binBrowseButton", "scrBrowseButton", "prlBrowseButton", "eriBrowseButton", "nam1Radio",
              "nam2Radio", "nam12Radio", "readRadio", "writeRadio", "startButton"})
            Host().UpgradePage()->findChild<QWidget*>(QString::fromLatin1(n))->setEnabled(true);
        theSettings.m_nLastSelectNam = c.nam;
        theSettings.m_nLastDirection = c.direction;
        Lock(c.op, true);
        EXPECT_EQ(Count(values, true), 0);
        EXPECT_EQ(PanelButtonsOn(), 0);
        ExpectEnabled(c.lockedOff, false);
        ExpectEnabled(c.lockedOn, true);
        Lock(c.op, false);
        EXPECT_EQ(Count(values, true), 6);
        EXPECT_EQ(PanelButtonsOn(), panel);
        ExpectEnabled(c.releasedOff, false);
        ExpectEnabled(c.releasedOn, true);
    }
}

const QString NOT_VALID = QString::fromUtf8("폴더:\n\n%1\n\n유효하지 않습니다. 다시 입력하세요.");
const QString CREATE = QString::fromUtf8("폴더:\n\n%1\n\n존재하지 않습니다. 폴더를 생성하시겠습니까?");
const QString CANNOT = QString::fromUtf8("폴더r:\n\n%1\n\n생성할 수 없습니다.");

class FolderChooserTest : public UpgradePageTest
{
protected:
    std::unique_ptr<CFolderChooser> Make(const QString& initial = QString())
    {
        SFolderDialogRequest r;
        r.strTitle = QStringLiteral("Select folder to save PRL file");
        r.strPrompt = QStringLiteral("Directory for  PRL read");
        r.strInitialFolder = initial;
        return std::make_unique<CFolderChooser>(nullptr, r);
    }
};

// OK needs a text; the chooser opens on the given folder or else the working directory.
TEST_F(FolderChooserTest, OpensOnTheGivenFolderOrTheWorkingDirectory)
{
    auto dlg = Make(m_root);
    EXPECT_EQ(dlg->Edit()->text(), m_root);
    dlg->Edit()->clear();
    EXPECT_FALSE(dlg->OkButton()->isEnabled());
    dlg->SelectFolder(m_root + QStringLiteral("/install"));
    EXPECT_EQ(dlg->Edit()->text(), m_root + QStringLiteral("/install"));
    EXPECT_TRUE(dlg->OkButton()->isEnabled());
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(m_root));
    dlg = Make();
    QDir::setCurrent(saved);
    EXPECT_EQ(dlg->Edit()->text(), m_root);
}

// A typed folder: taken when it exists; bad syntax, a file, or a path longer than 260 characters
// (never cut to fit) refused naming the whole text; a missing one created level by level on Yes.
TEST_F(FolderChooserTest, TypedFolderIsCheckedAndCreatedOnRequest)
{
    const QString longPath = QStringLiteral("/") + QString(300, QLatin1Char('a'));
    const QString file = MakeFile(QStringLiteral("plain"));
    const QString longest = m_root + QLatin1Char('/') + QString(259 - m_root.size(), QLatin1Char('b'));
    ASSERT_EQ(longest.size(), 260);
    const QString create = m_root + QStringLiteral("/one/two/three");
    const struct
    {
        QString typed;
        int answer; // to the create question, 0: none asked
        bool accepted;
        QStringList messages;
    } cases[] = {
        {m_root, 0, true, {}},
        {QStringLiteral("/"), 0, true, {}},
        {m_root + QStringLiteral("/"), 0, false, {NOT_VALID.arg(m_root + QStringLiteral("/"))}},
        {m_root + QStringLiteral("/name."), 0, false, {NOT_VALID.arg(m_root + QStringLiteral("/name."))}},
        {QStringLiteral("relative/dir"), 0, false, {NOT_VALID.arg(QStringLiteral("relative/dir"))}},
        {m_root + QStringLiteral("//x"), 0, false, {NOT_VALID.arg(m_root + QStringLiteral("//x"))}},
        {m_root + QStringLiteral("/a:b"), 0, false, {NOT_VALID.arg(m_root + QStringLiteral("/a:b"))}},
        {m_root + QStringLiteral("/ lead"), 0, false, {NOT_VALID.arg(m_root + QStringLiteral("/ lead"))}},
        {file, 0, false, {NOT_VALID.arg(file)}},
        {longPath.left(261), 0, false, {NOT_VALID.arg(longPath.left(261))}},
        {longPath + QStringLiteral("/"), 0, false, {NOT_VALID.arg(longPath + QStringLiteral("/"))}},
        {longest, IDNO, false, {CREATE.arg(longest)}},
        {create, IDNO, false, {CREATE.arg(create)}},
        {create, IDYES, true, {CREATE.arg(create)}},
        {file + QStringLiteral("/sub"),
         IDYES,
         false,
         {CREATE.arg(file + QStringLiteral("/sub")), CANNOT.arg(file + QStringLiteral("/sub"))}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        Dialogs::ClearRecords();
        if (c.answer)
            Dialogs::SetNextAnswer(c.answer);
        auto dlg = Make(m_root);
        dlg->Edit()->setText(c.typed);
        dlg->OkButton()->click();
        EXPECT_EQ(dlg->result() == QDialog::Accepted, c.accepted);
        EXPECT_EQ(dlg->Folder(), c.accepted ? c.typed : QString());
        EXPECT_EQ(Messages(), c.messages);
        if (c.answer) {
            EXPECT_EQ(QFileInfo(c.typed).isDir(), c.accepted);
        }
        if (c.answer == IDNO) {
            EXPECT_EQ(dlg->Edit()->text(), c.typed);
        }
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
    Dialogs::SetTestMode(false);
    Dialogs::SetNextAnswer(IDYES);
    Dialogs::SetNextAnswer(IDYES);
    Dialogs::SetNextAnswer(IDOK);
    bool seen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dlg = qobject_cast<CFolderChooser*>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        seen = true;
        EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Select folder to save PRL file"));
        EXPECT_EQ(dlg->Edit()->text(), m_root + QStringLiteral("/MODEL"));
        dlg->Edit()->setText(target);
        dlg->OkButton()->click();
    });
    poll.start(10);
    page.OnStart();
    poll.stop();
    Dialogs::SetTestMode(true);
    ASSERT_TRUE(seen);
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(QFileInfo(target).isDir());
    EXPECT_TRUE(
        CallOf(QStringLiteral("Prl"))
            .contains(QStringLiteral(" file=") + target + QStringLiteral("/nam1_prl_0000.prl dir=1")));
}

} // namespace
