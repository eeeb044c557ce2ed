// The upgrade page's inputs: layout, initial state, what each operation shows, the radios, the
// browse buttons and the input checks.
#include "UpgradeFixture.h"
#include "controls/SkinButton.h"
#include "res/Pictures.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

using namespace upgradetest;

namespace {

class UpgradeInputsTest : public UpgradeFixture
{
};

QRect PageGeometry(QWidget* w, QWidget* page)
{
    return QRect(w->mapTo(page, QPoint(0, 0)), w->size());
}

// The picture of every slot of a button configured like SetBitmaps(ids, black key).
bool SameFaces(const CSkinButton* button, const int ids[4])
{
    CSkinButton ref;
    ref.SetBitmaps(ids[0], 0, ids[1], 0, ids[2], 0, ids[3], 0);
    for (int s = 0; s < CSkinButton::SLOT_COUNT; ++s) {
        if (button->SlotImage(s) != ref.SlotImage(s))
            return false;
    }
    return true;
}

TEST_F(UpgradeInputsTest, LayoutFollowsThePageWidth)
{
    CUpgradePage& page = MakePage(CUpgradePage::SEL_UPGRADE);
    // W = 585 - 10 = 575, q = 57.
    const auto at = [&](const char* name) { return PageGeometry(Find<QWidget>(name), &page); };
    EXPECT_EQ(at("titleLabel"), QRect(6, 0, 569, 29));
    EXPECT_EQ(at("binLabel"), QRect(5, 55, 90, 20));
    EXPECT_EQ(at("binPathEdit"), QRect(95, 50, 455, 20));
    EXPECT_EQ(at("binBrowseButton"), QRect(550, 50, 25, 20));
    EXPECT_EQ(at("scrPathEdit"), QRect(95, 95, 455, 20));
    EXPECT_EQ(at("directionGroup"), QRect(5, 50, 569, 70));
    EXPECT_EQ(at("readRadio"), QRect(175, 80, 50, 15));
    EXPECT_EQ(at("writeRadio"), QRect(385, 80, 60, 15));
    EXPECT_EQ(at("namGroup"), QRect(5, 135, 569, 50));
    EXPECT_EQ(at("nam1Radio"), QRect(92, 155, 90, 20));
    EXPECT_EQ(at("nam2Radio"), QRect(263, 155, 90, 20));
    EXPECT_EQ(at("nam12Radio"), QRect(434, 155, 105, 20));
    EXPECT_EQ(at("prlLabel"), QRect(5, 210, 90, 15));
    EXPECT_EQ(at("prlPathEdit"), QRect(95, 205, 455, 20));
    EXPECT_EQ(at("eriBrowseButton"), QRect(550, 255, 25, 20));
    EXPECT_EQ(at("startButton"), QRect(3, 290, 575, 40));
    EXPECT_EQ(at("statusGroup"), QRect(5, 340, 575, 130));
    // The elapsed time fits beside the progress bar, inside the status group.
    const QRect bar = at("progressBar"), elapsed = at("elapsedLabel");
    EXPECT_FALSE(bar.intersects(elapsed));
    EXPECT_TRUE(at("statusGroup").contains(elapsed));
    const auto* label = page.findChild<QLabel*>(QStringLiteral("elapsedLabel"));
    ASSERT_NE(label, nullptr);
    EXPECT_LE(label->fontMetrics().horizontalAdvance(QStringLiteral("00:00.0 s")), elapsed.width());
    EXPECT_EQ(at("fileNameValue"), QRect(95, 400, 465, 20));
    EXPECT_EQ(at("addressLabel"), QRect(15, 425, 80, 20));
    EXPECT_EQ(at("statusLabel"), QRect(15, 450, 80, 18));
    EXPECT_EQ(at("statusValue"), QRect(95, 450, 465, 18));
}

TEST_F(UpgradeInputsTest, NarrowPageUsesAtLeast150)
{
    m_page = std::make_unique<CUpgradePage>(nullptr, m_services, QRect(0, 0, 100, 600));
    // W = 150 - 10 = 140.
    EXPECT_EQ(Find<QWidget>("startButton")->geometry(), QRect(3, 290, 140, 40));
    EXPECT_EQ(Find<QWidget>("binPathEdit")->width(), 20);
}

TEST_F(UpgradeInputsTest, InitialisationFillsRememberedInputs)
{
    theSettings.m_strLastBinFile = QStringLiteral("/a/x.bin");
    theSettings.m_strLastScrFile = QStringLiteral("/a/x.scr");
    theSettings.m_strLastPrlFile = QStringLiteral("/a/x.prl");
    theSettings.m_strLastEriFile = QStringLiteral("/a/eri.bin");
    theSettings.m_nLastSelectNam = 0;
    theSettings.m_nLastDirection = 1;
    CUpgradePage& page = MakePage();
    EXPECT_EQ(Edit("binPathEdit")->text(), QStringLiteral("/a/x.bin"));
    EXPECT_EQ(Edit("scrPathEdit")->text(), QStringLiteral("/a/x.scr"));
    EXPECT_EQ(Edit("prlPathEdit")->text(), QStringLiteral("/a/x.prl"));
    EXPECT_EQ(Edit("eriPathEdit")->text(), QStringLiteral("/a/eri.bin"));
    // "NAM 1,2" is shown whatever is remembered, and the remembered value stays.
    EXPECT_FALSE(Radio("nam1Radio")->isChecked());
    EXPECT_FALSE(Radio("nam2Radio")->isChecked());
    EXPECT_TRUE(Radio("nam12Radio")->isChecked());
    EXPECT_EQ(theSettings.m_nLastSelectNam, 0);
    EXPECT_TRUE(Radio("readRadio")->isChecked());
    EXPECT_FALSE(Radio("writeRadio")->isChecked());
    // The BIN and SCR rows start hidden; the elapsed time shows its first text.
    EXPECT_FALSE(Visible("binPathEdit"));
    EXPECT_FALSE(Visible("scrBrowseButton"));
    EXPECT_EQ(Text("elapsedLabel"), QStringLiteral("00.00s"));
    EXPECT_EQ(page.SelectedOperation(), 0);
}

TEST_F(UpgradeInputsTest, DirectionRadioFollowsRememberedValue)
{
    theSettings.m_nLastDirection = 0;
    MakePage();
    EXPECT_TRUE(Radio("writeRadio")->isChecked());
    EXPECT_FALSE(Radio("readRadio")->isChecked());

    theSettings.m_nLastDirection = -1;
    MakePage();
    EXPECT_FALSE(Radio("writeRadio")->isChecked());
    EXPECT_FALSE(Radio("readRadio")->isChecked());
}

struct SOperationView
{
    int op;
    int title;
    bool binShown, binEnabled, scrShown, scrEnabled, namEnabled, prlEnabled, eriEnabled, directionShown;
};

TEST_F(UpgradeInputsTest, EachOperationShowsItsRows)
{
    // Direction Write, so PRL and ERI follow their columns in operations 4 and 5.
    theSettings.m_nLastDirection = 0;
    const SOperationView views[] = {
        {1, 148, true, true, true, true, true, true, true, false},
        {2, 1075, true, true, true, false, false, false, false, false},
        {3, 1074, true, false, true, true, true, true, true, false},
        {4, 1077, false, false, false, false, true, true, false, true},
        {5, 1076, false, false, false, false, false, false, true, true},
        {6, 179, true, true, true, true, false, false, false, false},
    };
    for (const SOperationView& v : views) {
        SCOPED_TRACE(v.op);
        CUpgradePage& page = MakePage(v.op);
        EXPECT_EQ(page.SelectedOperation(), v.op);
        EXPECT_EQ(page.ShownTitleBitmap(), v.title);
        EXPECT_TRUE(Visible("titleLabel"));
        EXPECT_EQ(Find<QLabel>("titleLabel")->pixmap().toImage().convertToFormat(QImage::Format_RGB32),
                  LoadBitmap(v.title).convertToFormat(QImage::Format_RGB32));
        for (const char* n : {"binLabel", "binPathEdit", "binBrowseButton"})
            EXPECT_EQ(Visible(n), v.binShown) << n;
        for (const char* n : {"scrLabel", "scrPathEdit", "scrBrowseButton"})
            EXPECT_EQ(Visible(n), v.scrShown) << n;
        if (v.binShown) {
            EXPECT_EQ(Enabled("binPathEdit"), v.binEnabled);
            EXPECT_EQ(Enabled("binBrowseButton"), v.binEnabled);
        }
        if (v.scrShown) {
            EXPECT_EQ(Enabled("scrPathEdit"), v.scrEnabled);
            EXPECT_EQ(Enabled("scrBrowseButton"), v.scrEnabled);
        }
        for (const char* n : {"nam1Radio", "nam2Radio", "nam12Radio"})
            EXPECT_EQ(Enabled(n), v.namEnabled) << n;
        EXPECT_EQ(Enabled("prlPathEdit"), v.prlEnabled);
        EXPECT_EQ(Enabled("prlBrowseButton"), v.prlEnabled);
        EXPECT_EQ(Enabled("eriPathEdit"), v.eriEnabled);
        EXPECT_EQ(Enabled("eriBrowseButton"), v.eriEnabled);
        EXPECT_EQ(Visible("directionGroup"), v.directionShown);
        EXPECT_TRUE(Visible("namGroup"));
        EXPECT_TRUE(SameFaces(Find<CSkinButton>("startButton"), CUpgradePage::StartFaces(v.op)));
    }
}

TEST_F(UpgradeInputsTest, StartFacesPerOperation)
{
    const int expected[6][4] = {{1089, 1088, 1089, 158}, {1081, 1080, 1081, 152}, {1083, 1082, 1083, 156},
                                {1084, 1085, 1084, 155}, {1086, 1087, 1086, 153}, {178, 176, 178, 177}};
    for (int op = 1; op <= 6; ++op) {
        const int* f = CUpgradePage::StartFaces(op);
        ASSERT_NE(f, nullptr);
        for (int s = 0; s < 4; ++s)
            EXPECT_EQ(f[s], expected[op - 1][s]) << op << " slot " << s;
    }
    EXPECT_EQ(CUpgradePage::StartFaces(0), nullptr);
    EXPECT_EQ(CUpgradePage::StartFaces(7), nullptr);
}

TEST_F(UpgradeInputsTest, SwitchingOperationsRestoresRows)
{
    theSettings.m_nLastDirection = 1;
    CUpgradePage& page = MakePage(CUpgradePage::SEL_PRL);
    EXPECT_FALSE(Visible("binPathEdit"));
    EXPECT_TRUE(Visible("directionGroup"));
    // Read: the PRL box is not needed.
    EXPECT_FALSE(Enabled("prlPathEdit"));
    page.SelectOperation(CUpgradePage::SEL_UPGRADE);
    EXPECT_TRUE(Visible("binPathEdit"));
    EXPECT_TRUE(Visible("scrPathEdit"));
    EXPECT_FALSE(Visible("directionGroup"));
    EXPECT_TRUE(Enabled("prlPathEdit"));
    EXPECT_EQ(page.ShownTitleBitmap(), 148);
}

TEST_F(UpgradeInputsTest, StartIsDisabledWithoutPlugin)
{
    for (const char* dll : {"", "N/A", "Connecting..."}) {
        SCOPED_TRACE(dll);
        theSettings.Set(&CAppSettings::m_strDllFile, QString::fromLatin1(dll));
        CUpgradePage& page = MakePage();
        page.EnableStart(true);
        page.SelectOperation(CUpgradePage::SEL_BIN);
        EXPECT_FALSE(page.IsStartEnabled());
    }
    theSettings.Set(&CAppSettings::m_strDllFile, QStringLiteral("/m/a.so"));
    CUpgradePage& page = MakePage();
    page.EnableStart(true);
    page.SelectOperation(CUpgradePage::SEL_BIN);
    EXPECT_TRUE(page.IsStartEnabled());
    // Selecting never enables it by itself.
    page.EnableStart(false);
    page.SelectOperation(CUpgradePage::SEL_SCRIPT);
    EXPECT_FALSE(page.IsStartEnabled());
}

TEST_F(UpgradeInputsTest, RadiosRememberTheChoice)
{
    theSettings.m_nLastDirection = 0;
    MakePage(CUpgradePage::SEL_PRL);
    Radio("nam1Radio")->click();
    EXPECT_EQ(theSettings.m_nLastSelectNam, 0);
    Radio("nam2Radio")->click();
    EXPECT_EQ(theSettings.m_nLastSelectNam, 1);
    Radio("nam12Radio")->click();
    EXPECT_EQ(theSettings.m_nLastSelectNam, 2);

    Radio("readRadio")->click();
    EXPECT_EQ(theSettings.m_nLastDirection, 1);
    EXPECT_FALSE(Enabled("prlPathEdit"));
    EXPECT_FALSE(Enabled("prlBrowseButton"));
    Radio("writeRadio")->click();
    EXPECT_EQ(theSettings.m_nLastDirection, 0);
    EXPECT_TRUE(Enabled("prlPathEdit"));
    EXPECT_TRUE(Enabled("prlBrowseButton"));
    // In PRL the ERI row is untouched by the direction.
    EXPECT_FALSE(Enabled("eriPathEdit"));
}

TEST_F(UpgradeInputsTest, DirectionRadiosDriveTheEriRowInEri)
{
    theSettings.m_nLastDirection = 1;
    MakePage(CUpgradePage::SEL_ERI);
    EXPECT_FALSE(Enabled("eriPathEdit"));
    Radio("writeRadio")->click();
    EXPECT_TRUE(Enabled("eriPathEdit"));
    EXPECT_FALSE(Enabled("prlPathEdit"));
    Radio("readRadio")->click();
    EXPECT_FALSE(Enabled("eriPathEdit"));
    EXPECT_FALSE(Enabled("eriBrowseButton"));
}

TEST_F(UpgradeInputsTest, NoDirectionKeepsTheRowState)
{
    theSettings.m_nLastDirection = -1;
    CUpgradePage& page = MakePage(CUpgradePage::SEL_UPGRADE);
    EXPECT_TRUE(Enabled("eriPathEdit"));
    // Neither radio checked: PRL's ERI row keeps the state Upgrade left.
    page.SelectOperation(CUpgradePage::SEL_PRL);
    EXPECT_TRUE(Enabled("eriPathEdit"));
    EXPECT_TRUE(Enabled("prlPathEdit"));
}

// ---- browse buttons ---------------------------------------------------------------------

TEST_F(UpgradeInputsTest, BrowseButtonsAskWithTheirFilters)
{
    MakePage(CUpgradePage::SEL_UPGRADE);
    struct SCase
    {
        const char* button;
        const char* edit;
        const char* title;
        const char* name;
        const char* filter;
        QString CAppSettings::*field;
    };
    const SCase cases[] = {
        {"binBrowseButton", "binPathEdit", "Select binary file", "*.bin", "BIN Files (*.bin)",
         &CAppSettings::m_strLastBinFile},
        {"scrBrowseButton", "scrPathEdit", "Select script file", "*.scr", "SCR Files (*.scr)",
         &CAppSettings::m_strLastScrFile},
        {"prlBrowseButton", "prlPathEdit", "Select prl file", "*.prl", "PRL Files (*.prl)",
         &CAppSettings::m_strLastPrlFile},
        {"eriBrowseButton", "eriPathEdit", "Select eri file", "*.bin", "ERI Files (*.bin)",
         &CAppSettings::m_strLastEriFile},
    };
    for (const SCase& c : cases) {
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
}

// The real chooser: its own filter lists the kind's files, "All Files (*.*)" every file, also one
// without an extension. Cancel changes nothing.
TEST_F(UpgradeInputsTest, BrowseAllFilesListsEveryFileAndCancelChangesNothing)
{
    const QString bin = MakeFile(QStringLiteral("fw.bin"));
    const QString plain = MakeFile(QStringLiteral("README"));
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
            EXPECT_EQ(combo->itemText(0), QStringLiteral("BIN Files (*.bin)"));
            EXPECT_EQ(combo->itemText(1), QStringLiteral("All Files (*.*)"));
            // The folder may be listed before the filter applies; wait for the filtered list.
            EXPECT_TRUE(
                PumpUntil([&] { return model->index(bin).isValid() && !model->index(plain).isValid(); }));
            dlg->selectNameFilter(QStringLiteral("All Files (*.*)"));
            EXPECT_EQ(combo->currentText(), QStringLiteral("All Files (*.*)"));
            EXPECT_TRUE(PumpUntil([&] { return model->index(plain).isValid(); }));
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
    EXPECT_EQ(Dialogs::FileRequests().size(), 1);
    EXPECT_EQ(Edit("binPathEdit")->text(), old);
    EXPECT_EQ(theSettings.m_strLastBinFile, old);
}

TEST_F(UpgradeInputsTest, BrowseStartsInNearestExistingFolder)
{
    const QString deep = m_dir + QStringLiteral("/a/b");
    QDir().mkpath(deep);
    theSettings.Set(&CAppSettings::m_strDllFile, m_dir + QStringLiteral("/MODEL/p.so"));
    MakePage(CUpgradePage::SEL_BIN);
    // The file was deleted, and the folder above it too.
    Edit("binPathEdit")->setText(deep + QStringLiteral("/gone/x.bin"));
    Find<QPushButton>("binBrowseButton")->click();
    ASSERT_EQ(Dialogs::FileRequests().size(), 1);
    EXPECT_EQ(Dialogs::FileRequests().constLast().strInitialFolder, deep);

    // Nothing usable in the box: the plug-in's folder.
    Edit("binPathEdit")->setText(QStringLiteral("x.bin"));
    Find<QPushButton>("binBrowseButton")->click();
    EXPECT_EQ(Dialogs::FileRequests().constLast().strInitialFolder, m_dir + QStringLiteral("/MODEL"));

    // No plug-in either: no folder.
    theSettings.Set(&CAppSettings::m_strDllFile, QString());
    Find<QPushButton>("binBrowseButton")->click();
    EXPECT_TRUE(Dialogs::FileRequests().constLast().strInitialFolder.isEmpty());
}

// ---- input checks ------------------------------------------------------------------------

TEST_F(UpgradeInputsTest, EmptyEnabledBoxesAskForTheirFile)
{
    CUpgradePage& page = MakePage(CUpgradePage::SEL_UPGRADE);
    const char* expected[] = {"Select .BIN file and proceed!", "Select .Script file and proceed!",
                              "Select .PRL file and proceed!", "Select .ERI file and proceed!"};
    for (int kind = 1; kind <= 4; ++kind) {
        Dialogs::ClearRecords();
        EXPECT_EQ(page.ValidateInput(kind), 0);
        ASSERT_EQ(Dialogs::Shown().size(), 1);
        const SMessageBoxRecord r = Dialogs::Shown().constFirst();
        EXPECT_EQ(r.strText, QString::fromLatin1(expected[kind - 1]));
        EXPECT_EQ(r.strCaption, QStringLiteral("KOVA QPX"));
        EXPECT_EQ(r.nButtons, MB_OK);
    }
}

TEST_F(UpgradeInputsTest, UnreadableFilesAreInvalid)
{
    CUpgradePage& page = MakePage(CUpgradePage::SEL_UPGRADE);
    const char* boxes[] = {"binPathEdit", "scrPathEdit", "prlPathEdit", "eriPathEdit"};
    const char* expected[] = {
        "Invalid BIN File! Select another one!", "Invalid SCRIPT File! Select another one!",
        "Invalid PRL File! Select another one!", "Invalid ERI File! Select another one!"};
    for (int kind = 1; kind <= 4; ++kind) {
        SCOPED_TRACE(kind);
        // A missing file, then a folder: neither can be read as a file.
        for (const QString& path : {m_dir + QStringLiteral("/missing.bin"), m_dir}) {
            Dialogs::ClearRecords();
            Edit(boxes[kind - 1])->setText(path);
            EXPECT_EQ(page.ValidateInput(kind), 0);
            EXPECT_EQ(Messages(), QStringList{QString::fromLatin1(expected[kind - 1])});
        }
    }
    // Nothing was remembered.
    EXPECT_TRUE(theSettings.m_strLastBinFile.isEmpty());
}

TEST_F(UpgradeInputsTest, EmptyDisabledBoxIsTriedAsFile)
{
    CUpgradePage& page = MakePage(CUpgradePage::SEL_BIN); // SCR box disabled
    ASSERT_FALSE(Enabled("scrPathEdit"));
    EXPECT_EQ(page.ValidateInput(CUpgradePage::INPUT_SCRIPT), 0);
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Invalid SCRIPT File! Select another one!")});
}

TEST_F(UpgradeInputsTest, ValidFilesAreRemembered)
{
    CUpgradePage& page = MakePage(CUpgradePage::SEL_UPGRADE);
    const QString bin = MakeFile(QStringLiteral("a.bin"));
    const QString scr = MakeFile(QStringLiteral("a.scr"));
    const QString prl = MakeFile(QStringLiteral("a.prl"));
    const QString eri = MakeFile(QStringLiteral("eri.bin"));
    Edit("binPathEdit")->setText(bin);
    Edit("scrPathEdit")->setText(scr);
    Edit("prlPathEdit")->setText(prl);
    Edit("eriPathEdit")->setText(eri);
    for (int kind = 1; kind <= 4; ++kind)
        EXPECT_EQ(page.ValidateInput(kind), 1) << kind;
    EXPECT_TRUE(Dialogs::Shown().isEmpty());
    EXPECT_EQ(theSettings.m_strLastBinFile, bin);
    EXPECT_EQ(theSettings.m_strLastScrFile, scr);
    EXPECT_EQ(theSettings.m_strLastPrlFile, prl);
    EXPECT_EQ(theSettings.m_strLastEriFile, eri);
}

TEST_F(UpgradeInputsTest, NamCheckTakesTheShownRadio)
{
    theSettings.m_nLastSelectNam = 0;
    CUpgradePage& page = MakePage(CUpgradePage::SEL_PRL);
    EXPECT_EQ(page.ValidateInput(CUpgradePage::INPUT_NAM), 1);
    EXPECT_EQ(theSettings.m_nLastSelectNam, 2);
    Radio("nam2Radio")->setChecked(true);
    EXPECT_EQ(page.ValidateInput(CUpgradePage::INPUT_NAM), 1);
    EXPECT_EQ(theSettings.m_nLastSelectNam, 1);
}

TEST_F(UpgradeInputsTest, NamCheckWithoutChoice)
{
    CUpgradePage& page = MakePage(CUpgradePage::SEL_PRL);
    for (const char* n : {"nam1Radio", "nam2Radio", "nam12Radio"}) {
        Radio(n)->setAutoExclusive(false);
        Radio(n)->setChecked(false);
    }
    theSettings.m_nLastSelectNam = 1;
    EXPECT_EQ(page.ValidateInput(CUpgradePage::INPUT_NAM), 0);
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Select PRL NAM!")});
    EXPECT_EQ(theSettings.m_nLastSelectNam, 1);
}

TEST_F(UpgradeInputsTest, DirectionCheck)
{
    theSettings.m_nLastDirection = -1;
    CUpgradePage& page = MakePage(CUpgradePage::SEL_ERI);
    EXPECT_EQ(page.ValidateInput(CUpgradePage::INPUT_DIRECTION), 0);
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Select READ or WRITE mode First!")});
    EXPECT_EQ(theSettings.m_nLastDirection, -1);
    Radio("readRadio")->setChecked(true);
    EXPECT_EQ(page.ValidateInput(CUpgradePage::INPUT_DIRECTION), 1);
    EXPECT_EQ(theSettings.m_nLastDirection, 1);
    Radio("writeRadio")->setChecked(true);
    EXPECT_EQ(page.ValidateInput(CUpgradePage::INPUT_DIRECTION), 1);
    EXPECT_EQ(theSettings.m_nLastDirection, 0);
}

TEST_F(UpgradeInputsTest, ResetStatusClearsTheLines)
{
    CUpgradePage& page = MakePage(CUpgradePage::SEL_BIN);
    page.EnableStart(true);
    page.SetStatusText(QStringLiteral("s"));
    page.SetFileName(QStringLiteral("f"));
    page.SetAddress(QStringLiteral("a"));
    page.SetElapsed(1, 2.0f);
    page.SetProgress(140);
    EXPECT_EQ(Text("statusValue"), QStringLiteral("s"));
    EXPECT_EQ(Text("fileNameValue"), QStringLiteral("f"));
    EXPECT_EQ(Text("addressValue"), QStringLiteral("a"));
    EXPECT_EQ(Text("elapsedLabel"), QStringLiteral("01:02.0 s"));
    EXPECT_EQ(Find<QProgressBar>("progressBar")->value(), 100);
    page.ResetStatus();
    EXPECT_FALSE(page.IsStartEnabled());
    EXPECT_TRUE(Text("statusValue").isEmpty());
    EXPECT_TRUE(Text("fileNameValue").isEmpty());
    EXPECT_TRUE(Text("addressValue").isEmpty());
    EXPECT_EQ(Text("elapsedLabel"), QStringLiteral("00:00.0s"));
}

} // namespace
