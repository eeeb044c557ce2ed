// The folder chooser of PRL and ERI reads: the OK rules, checking and creating a typed folder,
// and its use by the page through Dialogs::ChooseFolder.
#include "pages/FolderChooser.h"
#include "UpgradeFixture.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

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
};

TEST_F(FolderChooserTest, OpensOnTheGivenFolderOrTheWorkingDirectory)
{
    auto dlg = Make(m_dir);
    EXPECT_EQ(dlg->Edit()->text(), m_dir);
    EXPECT_TRUE(dlg->OkButton()->isEnabled());
    dlg->Edit()->clear();
    EXPECT_FALSE(dlg->OkButton()->isEnabled());
    const QString sub = m_dir + QStringLiteral("/sub");
    QDir().mkpath(sub);
    dlg->SelectFolder(sub);
    EXPECT_EQ(dlg->Edit()->text(), sub);
    EXPECT_TRUE(dlg->OkButton()->isEnabled());

    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(m_dir));
    dlg = Make();
    QDir::setCurrent(saved);
    EXPECT_EQ(dlg->Edit()->text(), m_dir);
}

// A typed folder: taken when it exists; bad syntax, a file, or a path longer than 260 characters
// (never cut to fit) refused naming the whole text; a missing one created level by level on Yes.
TEST_F(FolderChooserTest, TypedFolderIsCheckedAndCreatedOnRequest)
{
    const QString longPath = QStringLiteral("/") + QString(300, QLatin1Char('a'));
    const QString file = MakeFile(QStringLiteral("plain"));
    const QString longest = m_dir + QLatin1Char('/') + QString(259 - m_dir.size(), QLatin1Char('b'));
    ASSERT_EQ(longest.size(), 260);
    const QString create = m_dir + QStringLiteral("/one/two/three");
    const struct
    {
        QString typed;
        int answer; // to the create question, 0: none asked
        bool accepted;
        QStringList messages;
    } cases[] = {
        {m_dir, 0, true, {}},
        {QStringLiteral("/"), 0, true, {}},
        {m_dir + QStringLiteral("/"), 0, false, {NOT_VALID.arg(m_dir + QStringLiteral("/"))}},
        {m_dir + QStringLiteral("/name."), 0, false, {NOT_VALID.arg(m_dir + QStringLiteral("/name."))}},
        {QStringLiteral("relative/dir"), 0, false, {NOT_VALID.arg(QStringLiteral("relative/dir"))}},
        {m_dir + QStringLiteral("//x"), 0, false, {NOT_VALID.arg(m_dir + QStringLiteral("//x"))}},
        {m_dir + QStringLiteral("/a:b"), 0, false, {NOT_VALID.arg(m_dir + QStringLiteral("/a:b"))}},
        {m_dir + QStringLiteral("/ lead"), 0, false, {NOT_VALID.arg(m_dir + QStringLiteral("/ lead"))}},
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
        auto dlg = Make(m_dir);
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
