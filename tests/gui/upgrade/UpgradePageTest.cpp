// The upgrade page against the recording plug-in: what each operation shows, the browse buttons,
// the input checks and their order, the arguments of every export, and how a run ends.
#include "UpgradeFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <functional>

using namespace upgradetest;

namespace {

const QString NOT_SUPPORTED = QStringLiteral("This operation is not supported in the current Model DLL.");

class UpgradePageTest : public UpgradeFixture
{
protected:
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
        return RecCall(name);
    }
    // True while the library is mapped into the process.
    bool Mapped(const QString& path) const
    {
        return QString::fromUtf8(qpxtest::ReadFile(QStringLiteral("/proc/self/maps"))).contains(path);
    }

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
        {1, true, true, false, {"binPathEdit", "scrPathEdit", "nam1Radio", "prlPathEdit", "eriPathEdit"}},
        {2, true, true, false, {"binPathEdit"}},
        {3, true, true, false, {"scrPathEdit", "nam1Radio", "prlPathEdit", "eriPathEdit"}},
        {4, false, false, true, {"nam1Radio", "prlPathEdit"}},
        {5, false, false, true, {"eriPathEdit"}},
        {6, true, true, false, {"binPathEdit", "scrPathEdit"}},
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
        page.SelectOperation(CUpgradePage::SEL_BIN);
        EXPECT_EQ(page.IsStartEnabled(), QString::fromLatin1(dll).startsWith(u'/'));
        page.EnableStart(false);
        page.SelectOperation(CUpgradePage::SEL_SCRIPT);
        EXPECT_FALSE(page.IsStartEnabled());
    }
}

TEST_F(UpgradePageTest, RadiosAreRememberedAndTheDirectionDrivesTheFileRow)
{
    theSettings.m_nLastDirection = 0;
    CUpgradePage& page = MakePage(CUpgradePage::SEL_PRL);
    for (const auto& [radio, nam] : {std::pair{"nam1Radio", 0}, {"nam2Radio", 1}, {"nam12Radio", 2}}) {
        Radio(radio)->click();
        EXPECT_EQ(theSettings.m_nLastSelectNam, nam);
    }
    for (const int op : {CUpgradePage::SEL_PRL, CUpgradePage::SEL_ERI}) {
        page.SelectOperation(op);
        const char* row = op == CUpgradePage::SEL_PRL ? "prlPathEdit" : "eriPathEdit";
        const char* other = op == CUpgradePage::SEL_PRL ? "eriPathEdit" : "prlPathEdit";
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
    MakePage(CUpgradePage::SEL_UPGRADE).SelectOperation(CUpgradePage::SEL_PRL);
    EXPECT_TRUE(Enabled("eriPathEdit"));
}

TEST_F(UpgradePageTest, BrowseButtonsAskWithTheirFiltersAndStartNearTheLastFile)
{
    MakePage(CUpgradePage::SEL_UPGRADE);
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
        const QString chosen = m_dir + QStringLiteral("/picked/") + QString::fromLatin1(c.name).mid(2);
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
    const QString deep = m_dir + QStringLiteral("/a/b");
    QDir().mkpath(deep);
    const struct
    {
        QString typed, dll, folder;
    } starts[] = {
        {deep + QStringLiteral("/gone/x.bin"), m_dir + QStringLiteral("/MODEL/p.so"), deep},
        {QStringLiteral("x.bin"), m_dir + QStringLiteral("/MODEL/p.so"), m_dir + QStringLiteral("/MODEL")},
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
    const QString old = m_dir + QStringLiteral("/files/gone.bin");
    theSettings.m_strLastBinFile = old;
    MakePage(CUpgradePage::SEL_BIN);
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

// Each input check on its own: an empty or unreadable file, no NAM, no direction; a passed check
// remembers the value.
TEST_F(UpgradePageTest, InputChecks)
{
    const char* boxes[] = {"binPathEdit", "scrPathEdit", "prlPathEdit", "eriPathEdit"};
    const char* empty[] = {"Select .BIN file and proceed!", "Select .Script file and proceed!",
                           "Select .PRL file and proceed!", "Select .ERI file and proceed!"};
    const char* invalid[] = {
        "Invalid BIN File! Select another one!", "Invalid SCRIPT File! Select another one!",
        "Invalid PRL File! Select another one!", "Invalid ERI File! Select another one!"};
    QString CAppSettings::*remembered[] = {&CAppSettings::m_strLastBinFile, &CAppSettings::m_strLastScrFile,
                                           &CAppSettings::m_strLastPrlFile, &CAppSettings::m_strLastEriFile};
    CUpgradePage& page = MakePage(CUpgradePage::SEL_UPGRADE);
    for (int kind = 1; kind <= 4; ++kind) {
        SCOPED_TRACE(kind);
        // Empty, missing, a folder: refused with the kind's message; a file: taken and remembered.
        const QString good = MakeFile(QStringLiteral("k%1").arg(kind));
        for (const QString& path : {QString(), m_dir + QStringLiteral("/missing.bin"), m_dir, good}) {
            Dialogs::ClearRecords();
            Edit(boxes[kind - 1])->setText(path);
            EXPECT_EQ(page.ValidateInput(kind), path == good ? 1 : 0) << path.toStdString();
            const char* want = path.isEmpty() ? empty[kind - 1] : invalid[kind - 1];
            EXPECT_EQ(Messages(), path == good ? QStringList() : QStringList{QString::fromLatin1(want)});
        }
        EXPECT_EQ(theSettings.*remembered[kind - 1], good);
    }
    // An empty box that is disabled is tried as a file.
    theSettings.m_strLastScrFile.clear();
    MakePage(CUpgradePage::SEL_BIN).ValidateInput(CUpgradePage::INPUT_SCRIPT);
    EXPECT_EQ(Messages().constLast(), QStringLiteral("Invalid SCRIPT File! Select another one!"));

    // NAM: the shown radio counts; none shown is refused and keeps the remembered value.
    theSettings.m_nLastSelectNam = 0;
    CUpgradePage& prl = MakePage(CUpgradePage::SEL_PRL);
    EXPECT_EQ(prl.ValidateInput(CUpgradePage::INPUT_NAM), 1);
    EXPECT_EQ(theSettings.m_nLastSelectNam, 2);
    ClearNamRadios();
    Dialogs::ClearRecords();
    EXPECT_EQ(prl.ValidateInput(CUpgradePage::INPUT_NAM), 0);
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Select PRL NAM!")});
    EXPECT_EQ(theSettings.m_nLastSelectNam, 2);

    // Direction.
    theSettings.m_nLastDirection = -1;
    CUpgradePage& eri = MakePage(CUpgradePage::SEL_ERI);
    Dialogs::ClearRecords();
    EXPECT_EQ(eri.ValidateInput(CUpgradePage::INPUT_DIRECTION), 0);
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Select READ or WRITE mode First!")});
    Radio("readRadio")->setChecked(true);
    EXPECT_EQ(eri.ValidateInput(CUpgradePage::INPUT_DIRECTION), 1);
    EXPECT_EQ(theSettings.m_nLastDirection, 1);
}

// Start runs the checks in the operation's order and stops at the first that fails, before
// anything is loaded or sent (PRL and ERI first look for their export).
TEST_F(UpgradePageTest, StartChecksInOrderAndLoadsNothing)
{
    // clang-format off
    const struct
    {
        int op;
        const char* plugin; // nullptr: none installed
        bool fill;          // all four boxes filled
        const char* cleared; // then this box emptied again
        bool noNam, write;
        QString message;
    } cases[] = {
        {CUpgradePage::SEL_UPGRADE, "qpx_rec_plugin", false, "", false, false, "Select .BIN file and proceed!"},
        {CUpgradePage::SEL_UPGRADE, "qpx_rec_plugin", true, "scrPathEdit", false, false, "Select .Script file and proceed!"},
        {CUpgradePage::SEL_UPGRADE, "qpx_rec_plugin", true, "prlPathEdit", true, false, "Select PRL NAM!"},
        {CUpgradePage::SEL_UPGRADE, "qpx_rec_plugin", true, "prlPathEdit", false, false, "Select .PRL file and proceed!"},
        {CUpgradePage::SEL_UPGRADE, "qpx_rec_plugin", true, "eriPathEdit", false, false, "Select .ERI file and proceed!"},
        {CUpgradePage::SEL_SCRIPT, "qpx_rec_plugin", false, "", false, false, "Select .Script file and proceed!"},
        {CUpgradePage::SEL_REFURBISH, "qpx_rec_plugin", true, "scrPathEdit", false, false, "Select .Script file and proceed!"},
        {CUpgradePage::SEL_BIN, "qpx_rec_plugin_min", true, "", false, false, NOT_SUPPORTED},
        {CUpgradePage::SEL_PRL, nullptr, false, "", false, false, NOT_SUPPORTED},
        {CUpgradePage::SEL_PRL, "qpx_rec_plugin", false, "", false, false, "Select READ or WRITE mode First!"},
        {CUpgradePage::SEL_PRL, "qpx_rec_plugin", false, "", false, true, "Select .PRL file and proceed!"},
        {CUpgradePage::SEL_ERI, "qpx_rec_plugin", false, "", false, true, "Select .ERI file and proceed!"},
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
            theSettings.Set(&CAppSettings::m_strDllFile, m_dir + QStringLiteral("/MODEL/none.so"));
        CUpgradePage& page = MakePage(c.op);
        if (c.fill)
            FillFiles();
        if (*c.cleared)
            Edit(c.cleared)->clear();
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
    EXPECT_TRUE(RecLines().isEmpty());
}

// What each operation hands its export, and the operation number the host locks.
TEST_F(UpgradePageTest, EveryExportGetsItsArguments)
{
    const QString out = m_dir + QStringLiteral("/out");
    // clang-format off
    const struct
    {
        int op, number, direction;
        const char* radio;
        const char* call;
        const char* args; // {bin}, {scr}, {prl}, {eri}: the files in the boxes; {out}: the folder chosen
    } cases[] = {
        {CUpgradePage::SEL_UPGRADE, OP_UPGRADE, -1, "nam2Radio", "Upgrade", " bin={bin} scr={scr} eri={eri} nam=1 prl={prl}"},
        {CUpgradePage::SEL_BIN, OP_BIN, -1, nullptr, "Bin", " bin={bin}"},
        {CUpgradePage::SEL_SCRIPT, OP_SCRIPT, -1, "nam1Radio", "Src", " scr={scr} eri={eri} nam=0 prl={prl}"},
        {CUpgradePage::SEL_REFURBISH, OP_REFURBISH, -1, nullptr, "Refurbish", " bin={bin} scr={scr}"},
        {CUpgradePage::SEL_PRL, OP_PRL, 0, "nam1Radio", "Prl", " nam=0 file={prl} dir=0"},
        {CUpgradePage::SEL_PRL, OP_PRL, 1, "nam1Radio", "Prl", " nam=0 file={out}/nam1_prl_0000.prl dir=1"},
        {CUpgradePage::SEL_PRL, OP_PRL, 1, "nam2Radio", "Prl", " nam=1 file={out}/nam2_prl_0001.prl dir=1"},
        {CUpgradePage::SEL_PRL, OP_PRL, 1, "nam12Radio", "Prl", " nam=2 file={out}/nam?_prl_000#.prl dir=1"},
        {CUpgradePage::SEL_ERI, OP_ERI, 0, nullptr, "Eri", " nam=1 file={eri} dir=0"},
        // ERI does not check the NAM: the remembered one goes out.
        {CUpgradePage::SEL_ERI, OP_ERI, 1, nullptr, "Eri", " nam=1 file={out}/eri.bin dir=1"},
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
        // A read asks for its folder, then for the confirmation.
        EXPECT_EQ(Dialogs::FolderRequests().size(), c.direction == 1 ? 1 : 0);
        if (c.direction == 1) {
            const SFolderDialogRequest r = Dialogs::FolderRequests().constFirst();
            const QString kind = QString::fromLatin1(c.call).toUpper();
            EXPECT_EQ(r.strTitle, QStringLiteral("Select folder to save %1 file").arg(kind));
            EXPECT_EQ(r.strPrompt, QStringLiteral("Directory for  %1 read").arg(kind));
            EXPECT_EQ(r.strInitialFolder, m_dir + QStringLiteral("/MODEL"));
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
    const QString folder = m_dir + QStringLiteral("/out");
    const struct
    {
        int selected;
        const char* radio;
        const char* existing; // the one file of the read that is there already
        const char* call;
    } cases[] = {{CUpgradePage::SEL_PRL, "nam1Radio", "nam1_prl_0000.prl", "Prl"},
                 {CUpgradePage::SEL_PRL, "nam12Radio", "nam2_prl_0001.prl", "Prl"},
                 {CUpgradePage::SEL_ERI, nullptr, "eri.bin", "Eri"}};
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
        {"no",
         CUpgradePage::SEL_UPGRADE,
         [] { Dialogs::SetNextAnswer(IDNO); },
         {QStringLiteral("Are you sure?")}},
        {"folder cancelled", CUpgradePage::SEL_PRL, [] { theSettings.m_nLastDirection = 1; }, {}},
        {"busy", CUpgradePage::SEL_BIN, [] { theSettings.m_bBusy = 1; }, {}},
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
    EXPECT_TRUE(RecLines().isEmpty());
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
        CUpgradePage& page = MakePage(success ? CUpgradePage::SEL_BIN : CUpgradePage::SEL_REFURBISH);
        FillFiles();
        page.OnStart();
        EXPECT_EQ(theSettings.m_bBusy, 1);
        EXPECT_FALSE(Visible("statusValue"));
        EXPECT_TRUE(page.IsRunning());
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
        EXPECT_TRUE(RecLines().contains(QStringLiteral("ReleaseRs page=1")));
        EXPECT_EQ(page.IsStartEnabled(), success);

        page.ResetStatus();
        EXPECT_FALSE(page.IsStartEnabled());
        EXPECT_TRUE(Text("statusValue").isEmpty());
        EXPECT_EQ(Text("elapsedLabel"), QStringLiteral("00:00.0s"));
    }
}

// Nothing says that the threads such a plug-in started have ended: its code is never unmapped
// under them, and the log says so once.
TEST_F(UpgradePageTest, PluginWithoutReleaseRsStaysLoadedUntilTheProgramEnds)
{
    qpxtest::CLogCapture messages;
    m_dll = InstallPlugin(QStringLiteral("qpx_rec_plugin_min"));
    CUpgradePage& page = MakePage(CUpgradePage::SEL_UPGRADE);
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
// before any run, not a repeated one after the plug-in was released.
TEST_F(UpgradePageTest, OnlyTheCompletionOfTheRunInProgressIsHandled)
{
    m_dll = InstallPlugin();
    CUpgradePage& page = MakePage(CUpgradePage::SEL_BIN);
    FillFiles();
    OperationResult r{};
    r.nResult = -1;
    const auto deliver = [&](quint32 msg, WPARAM wParam) {
        page.OnMessage(msg, wParam, reinterpret_cast<LPARAM>(&r));
    };
    theSettings.m_bBusy = 1;
    deliver(WM_PLUGIN_NOTIFY_MSG, PLUGIN_DONE);
    EXPECT_TRUE(Dialogs::Shown().isEmpty());
    EXPECT_EQ(theSettings.m_bBusy, 1);
    theSettings.m_bBusy = 0;

    page.OnStart();
    ASSERT_TRUE(page.IsRunning());
    deliver(WM_PLUGIN_NOTIFY_MSG, PLUGIN_DONE + 1);
    deliver(WM_HOST_COMMAND, PLUGIN_DONE);
    EXPECT_EQ(Messages().join(u'|').toStdString(), "Are you sure?");
    EXPECT_EQ(theSettings.m_bBusy, 1);
    ASSERT_TRUE(WaitIdle());

    deliver(WM_PLUGIN_NOTIFY_MSG, PLUGIN_DONE);
    EXPECT_EQ(Messages().join(u'|').toStdString(), "Are you sure?|Download Success!");
    EXPECT_EQ(theSettings.m_bBusy, 0);
}

} // namespace
