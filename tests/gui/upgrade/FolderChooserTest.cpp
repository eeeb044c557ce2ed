// The folder chooser of PRL and ERI reads: layout, the OK rules, checking and creating a typed
// folder, and its use through Dialogs::ChooseFolder.
#include "pages/FolderChooser.h"
#include "UpgradeFixture.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

using namespace upgradetest;

namespace {

const QString NOT_VALID = QString::fromUtf8("폴더:\n\n%1\n\n유효하지 않습니다. 다시 입력하세요.");
const QString CREATE = QString::fromUtf8("폴더:\n\n%1\n\n존재하지 않습니다. 폴더를 생성하시겠습니까?");
const QString CANNOT = QString::fromUtf8("폴더r:\n\n%1\n\n생성할 수 없습니다.");

class FolderChooserTest : public UpgradeFixture
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
    // Types a path and presses OK; true when the chooser accepted it.
    static bool TypeAndOk(CFolderChooser& dlg, const QString& path)
    {
        dlg.Edit()->setText(path);
        dlg.OkButton()->click();
        return dlg.result() == QDialog::Accepted;
    }
};

TEST_F(FolderChooserTest, OpensOnTheGivenFolder)
{
    auto dlg = Make(m_dir);
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Select folder to save PRL file"));
    EXPECT_EQ(dlg->PromptText(), QStringLiteral("Directory for  PRL read"));
    EXPECT_EQ(dlg->Edit()->objectName(), QStringLiteral("folderEdit"));
    EXPECT_EQ(CFolderChooser::ID_FOLDER_EDIT, 14148);
    EXPECT_EQ(dlg->Edit()->text(), m_dir);
    EXPECT_EQ(dlg->StatusText(), m_dir);
    EXPECT_TRUE(dlg->OkButton()->isEnabled());
}

TEST_F(FolderChooserTest, WithoutFolderOpensOnWorkingDirectory)
{
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(m_dir));
    auto dlg = Make();
    QDir::setCurrent(saved);
    EXPECT_EQ(dlg->Edit()->text(), m_dir);
}

TEST_F(FolderChooserTest, EditBoxSitsAboveTheTree)
{
    auto dlg = Make(m_dir);
    dlg->resize(420, 500);
    const QRect edit = dlg->Edit()->geometry();
    const QRect tree = dlg->Tree()->geometry();
    EXPECT_EQ(edit.height(), 23);
    EXPECT_EQ(edit.left(), tree.left());
    EXPECT_EQ(edit.width(), tree.width());
    EXPECT_EQ(edit.y() + edit.height() + 4, tree.y());
}

TEST_F(FolderChooserTest, OkFollowsTextAndSelection)
{
    auto dlg = Make(m_dir);
    dlg->Edit()->clear();
    EXPECT_FALSE(dlg->OkButton()->isEnabled());
    dlg->Edit()->setText(QStringLiteral("x"));
    EXPECT_TRUE(dlg->OkButton()->isEnabled());
    const QString sub = m_dir + QStringLiteral("/sub");
    QDir().mkpath(sub);
    dlg->SelectFolder(sub);
    EXPECT_EQ(dlg->Edit()->text(), sub);
    EXPECT_EQ(dlg->StatusText(), sub);
    EXPECT_TRUE(dlg->OkButton()->isEnabled());
}

TEST_F(FolderChooserTest, ExistingFolderIsAccepted)
{
    auto dlg = Make(QStringLiteral("/"));
    EXPECT_TRUE(TypeAndOk(*dlg, m_dir));
    EXPECT_EQ(dlg->Folder(), m_dir);
    EXPECT_TRUE(Dialogs::Shown().isEmpty());
}

// Bad syntax, a file where a folder is wanted, and a path longer than 260 characters (never cut
// to fit) are all refused with the not-valid message naming the whole typed text.
TEST_F(FolderChooserTest, InvalidFolderStaysOpen)
{
    auto dlg = Make(m_dir);
    const QString longPath = QStringLiteral("/") + QString(300, QLatin1Char('a'));
    const QString file = MakeFile(QStringLiteral("plain"));
    for (const QString& bad :
         {m_dir + QStringLiteral("/"), m_dir + QStringLiteral("/name."), QStringLiteral("relative/dir"),
          m_dir + QStringLiteral("//x"), m_dir + QStringLiteral("/a:b"), m_dir + QStringLiteral("/ lead"),
          file, longPath.left(261), longPath + QStringLiteral("/")}) {
        SCOPED_TRACE(bad.toStdString());
        Dialogs::ClearRecords();
        EXPECT_FALSE(TypeAndOk(*dlg, bad));
        ASSERT_EQ(Dialogs::Shown().size(), 1);
        const SMessageBoxRecord r = Dialogs::Shown().constFirst();
        EXPECT_EQ(r.strText, NOT_VALID.arg(bad));
        EXPECT_EQ(r.nButtons, MB_OK);
        EXPECT_EQ(r.nIcon, MB_ICONEXCLAMATION);
    }
    EXPECT_TRUE(dlg->Folder().isEmpty());
}

TEST_F(FolderChooserTest, RootIsValid)
{
    auto dlg = Make(m_dir);
    EXPECT_TRUE(TypeAndOk(*dlg, QStringLiteral("/")));
    EXPECT_EQ(dlg->Folder(), QStringLiteral("/"));
}

TEST_F(FolderChooserTest, NoToCreateStaysOpen)
{
    auto dlg = Make(m_dir);
    const QString target = m_dir + QStringLiteral("/new/deeper");
    Dialogs::SetNextAnswer(IDNO);
    EXPECT_FALSE(TypeAndOk(*dlg, target));
    ASSERT_EQ(Dialogs::Shown().size(), 1);
    EXPECT_EQ(Dialogs::Shown().constFirst().strText, CREATE.arg(target));
    EXPECT_EQ(Dialogs::Shown().constFirst().nButtons, MB_YESNO);
    EXPECT_EQ(Dialogs::Shown().constFirst().nIcon, MB_ICONQUESTION);
    EXPECT_FALSE(QFileInfo::exists(m_dir + QStringLiteral("/new")));
    EXPECT_EQ(dlg->Edit()->text(), target);

    // 260 characters are taken whole.
    const QString longest = m_dir + QLatin1Char('/') + QString(259 - m_dir.size(), QLatin1Char('b'));
    ASSERT_EQ(longest.size(), 260);
    Dialogs::ClearRecords();
    Dialogs::SetNextAnswer(IDNO);
    EXPECT_FALSE(TypeAndOk(*dlg, longest));
    ASSERT_EQ(Dialogs::Shown().size(), 1);
    EXPECT_EQ(Dialogs::Shown().constFirst().strText, CREATE.arg(longest));
}

TEST_F(FolderChooserTest, YesCreatesLevelByLevel)
{
    auto dlg = Make(m_dir);
    const QString target = m_dir + QStringLiteral("/one/two/three");
    Dialogs::SetNextAnswer(IDYES);
    EXPECT_TRUE(TypeAndOk(*dlg, target));
    EXPECT_TRUE(QFileInfo(target).isDir());
    EXPECT_EQ(dlg->Folder(), target);
}

TEST_F(FolderChooserTest, UncreatableFolderIsReported)
{
    // A file stands where a folder level should be.
    const QString blocker = MakeFile(QStringLiteral("blocker"));
    const QString target = blocker + QStringLiteral("/sub");
    auto dlg = Make(m_dir);
    Dialogs::SetNextAnswer(IDYES);
    EXPECT_FALSE(TypeAndOk(*dlg, target));
    ASSERT_EQ(Dialogs::Shown().size(), 2);
    EXPECT_EQ(Dialogs::Shown().at(1).strText, CANNOT.arg(target));
    EXPECT_EQ(Dialogs::Shown().at(1).nIcon, MB_ICONEXCLAMATION);
    EXPECT_EQ(Dialogs::Shown().at(1).nButtons, MB_OK);
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
    const QString dll = InstallPlugin();
    theSettings.m_nLastDirection = 1;
    CUpgradePage& page = MakePage(CUpgradePage::SEL_PRL);
    Radio("nam1Radio")->setChecked(true);
    const QString target = m_dir + QStringLiteral("/reads/today");
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
        EXPECT_EQ(dlg->Edit()->text(), m_dir + QStringLiteral("/MODEL"));
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
        RecCall(QStringLiteral("Prl"))
            .contains(QStringLiteral(" file=") + target + QStringLiteral("/nam1_prl_0000.prl dir=1")));
}

} // namespace
