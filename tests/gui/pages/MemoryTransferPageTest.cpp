#include "pages/MemoryTransferPage.h"
#include "PageFixture.h"
#include "controls/SkinButton.h"
#include "controls/XListCtrl.h"
#include "controls/XListModel.h"
#include "core/WorkFolder.h"
#include "platform/HostCommands.h"

#include <QFileInfo>
#include <QRadioButton>
#include <QTest>

namespace {

using pagetest::PageFixture;

class TransferPageTest : public PageFixture
{
protected:
    void SetUp() override
    {
        PageFixture::SetUp();
        qputenv("QPX_REC_BINVER", "V12");
        Page().SetSoftwareVersionSource([this] { return m_strVersion; });
        Host().OnHostCommand(HC_TRANSFER, 0);
    }

    CMemoryTransferPage& Page() { return *Host().TransferPage(); }
    template <typename T> T* Child(const char* name)
    {
        return Page().findChild<T*>(QString::fromLatin1(name));
    }
    QRadioButton* BackupRadio() { return Child<QRadioButton>("backupRadio"); }
    QRadioButton* RestoreRadio() { return Child<QRadioButton>("restoreRadio"); }
    CSkinButton* Start() { return Child<CSkinButton>("startButton"); }
    CXListCtrl* List() { return Page().List(); }

    // Per row: 'B' checked and bold, 'c' checked only, 'b' bold only, '-' neither.
    QString Rows()
    {
        QString out;
        for (int r = 0; r < 5; ++r)
            out += List()->GetCheckbox(r, 1) == 1 ? (List()->GetBold(r, 0) ? u'B' : u'c')
                                                  : (List()->GetBold(r, 0) ? u'b' : u'-');
        return out;
    }

    // A real click on the row's check box, through the list control.
    void ClickCheck(int row)
    {
        const QPoint at = List()->visualRect(List()->Model()->index(row, 1)).center();
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, at);
    }

    // <test root>/MODEL/TRANS_BK; never empty, so no test ever removes anything else.
    QString WorkFolder() const
    {
        const QString folder = TransferWorkFolder(m_plugin);
        EXPECT_TRUE(folder.startsWith(m_root + QStringLiteral("/MODEL/")));
        return folder.startsWith(m_root + QStringLiteral("/MODEL/")) ? folder
                                                                     : m_root + QStringLiteral("/none");
    }
    void Touch(const QString& below)
    {
        ASSERT_TRUE(qpxtest::WriteFile(WorkFolder() + QLatin1Char('/') + below, "x"));
    }

    // What lies beside the plug-in, by name.
    QStringList Beside() const
    {
        return QDir(m_root + QStringLiteral("/MODEL"))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }
    // Every file below folder, as relative paths in name order.
    static QStringList FilesBelow(const QString& folder) { return qpxtest::FilesBelow(folder).keys(); }

    QString m_strVersion = QStringLiteral("01.02  KQ100V12");
};

// A fresh page backs up all items; a single item unchecks " All Items", unchecking one only takes
// its bold away, and " All Items" unchecks the single items.
TEST_F(TransferPageTest, AllItemsAndSingleItemsExcludeEachOther)
{
    EXPECT_EQ(Page().Mode(), 1);
    EXPECT_TRUE(BackupRadio()->isChecked());
    // the row clicked (-1: none), then the rows and the mask
    for (const auto& [click, rows, mask] : {std::tuple{-1, "B----", 1u},
                                            {1, "-B---", 2u},
                                            {3, "-B-B-", 10u},
                                            {3, "-B---", 2u},
                                            {3, "-B-B-", 10u},
                                            {0, "B----", 1u}}) {
        if (click >= 0)
            ClickCheck(click);
        EXPECT_EQ(Rows(), QLatin1String(rows)) << click;
        EXPECT_EQ(Page().ItemMask(), mask) << click;
    }
}

// Each check of Start stops it before the plug-in is asked for anything: the mode, the items,
// the backup to restore (a folder named like the marker is none), and a plug-in that serves the
// handset's software (no capital V in the handset's version, or the served version before its last
// V, or none served at all). A library without the export stops without a word. No to the
// overwrite or restore question, or a work folder the guard refuses (a link out of the plug-in's
// folder), leave everything as it was.
TEST_F(TransferPageTest, StartChecksModeItemsAndCompatibility)
{
    const QString incompatible = QStringLiteral("Model non-compatible!");
    const QString overwrite = QStringLiteral("Backup file exists! Overwrite previous file into new file?");
    const QString outside = m_root + QStringLiteral("/precious");
    // clang-format off
    // state: 'm': no mode checked, 'r': Restore, 'i': no item checked, 'b': a backup,
    // 'd': the marker a folder, 'g': the work folder a link to outside
    const struct { const char* what; const char* plugin; QString version; QStringList messages; const char* state;
                   int answer; } cases[] = {
        {"no mode", "qpx_rec_plugin", m_strVersion, {QStringLiteral("Choose Backup/Restore Mode First!")}, "m", 0},
        {"no item", "qpx_rec_plugin", m_strVersion, {QStringLiteral("Choose at least one item to backup")}, "ri", 0},
        {"no backup", "qpx_rec_plugin", m_strVersion, {QStringLiteral("Backup file not exists!")}, "r", 0},
        {"marker folder", "qpx_rec_plugin", m_strVersion, {QStringLiteral("Backup file not exists!")}, "rd", 0},
        {"lower case", "qpx_rec_plugin", QStringLiteral("01.02  kq100v12"), {incompatible}, "", 0},
        {"before the last V", "qpx_rec_plugin", QStringLiteral("01.02  V12 KQ100V13"), {incompatible}, "", 0},
        {"none served", "qpx_rec_plugin_nobinver", m_strVersion, {incompatible}, "", 0},
        {"no export", "qpx_pages_noop_plugin", m_strVersion, {}, "", 0},
        {"restore No", "qpx_rec_plugin", m_strVersion, {QStringLiteral("Are you sure?")}, "rb", IDNO},
        {"overwrite No", "qpx_rec_plugin", m_strVersion, {overwrite}, "b", IDNO},
        {"guard", "qpx_rec_plugin", m_strVersion,
         {overwrite, QStringLiteral("Previous backup cannot be moved aside! Backup not started.")}, "g", IDYES},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QLatin1String state(c.state);
        Dialogs::ClearRecords();
        InstallPlugin(QString::fromLatin1(c.plugin));
        QDir(WorkFolder()).removeRecursively();
        if (state.contains('b')) {
            Touch(QStringLiteral("V12.pp"));
            Touch(QStringLiteral("pim"));
        } else if (state.contains('d')) {
            QDir().mkpath(WorkFolder() + QStringLiteral("/V12.PP"));
        } else if (state.contains('g')) {
            ASSERT_TRUE(qpxtest::WriteFile(outside + QStringLiteral("/V12.pp"), "keep"));
            ASSERT_TRUE(QFile::link(outside, WorkFolder()));
        }
        if (c.answer)
            Dialogs::SetNextAnswer(c.answer);
        m_strVersion = c.version;
        (state.contains('r') ? RestoreRadio() : BackupRadio())->click();
        List()->SetCheckbox(0, 1, state.contains('i') ? 0 : 1);
        BackupRadio()->setAutoExclusive(!state.contains('m'));
        if (state.contains('m'))
            BackupRadio()->setChecked(false);
        Start()->setEnabled(true);
        Page().OnStart();
        EXPECT_EQ(Messages(), c.messages);
        EXPECT_FALSE(Page().IsRunning());
        EXPECT_EQ(theSettings.m_bBusy.load(), 0);
        EXPECT_TRUE(Start()->isEnabled());
        if (state.contains('b')) {
            EXPECT_EQ(FilesBelow(WorkFolder()),
                      (QStringList{QStringLiteral("V12.pp"), QStringLiteral("pim")}));
        }
    }
    EXPECT_EQ(FilesBelow(outside), QStringList{QStringLiteral("V12.pp")});
    EXPECT_TRUE(QFileInfo(WorkFolder()).isSymLink());
    EXPECT_TRUE(CallOf(QStringLiteral("Transfer")).isEmpty());
}

TEST_F(TransferPageTest, OverwriteKeepsThePreviousBackupUntilTheNewOneSucceeded)
{
    InstallPlugin();
    Touch(QStringLiteral("V12.pp"));
    Touch(QStringLiteral("pim/a"));
    const QStringList previous{QStringLiteral("V12.pp"), QStringLiteral("pim/a")};

    // Yes, and the new backup fails: the previous one lies aside while the plug-in works and is
    // back, whole, afterwards; nothing of the failed attempt stays.
    qputenv("QPX_REC_BACKUP", "1");
    qputenv("QPX_REC_RESULT", "0");
    qputenv("QPX_REC_MESSAGE", "Handset lost");
    Dialogs::ClearRecords();
    Dialogs::SetNextAnswer(IDYES);
    Start()->setEnabled(true);
    Page().OnStart();
    ASSERT_TRUE(Page().IsRunning());
    EXPECT_EQ(Host().m_nOperation, OP_TRANSFER);
    EXPECT_FALSE(RestoreRadio()->isEnabled()); // the mode is locked while it runs
    EXPECT_TRUE(CallOf(QStringLiteral("Transfer")).endsWith(QStringLiteral(" mode=1 mask=1")));
    const QStringList during = Beside();
    ASSERT_EQ(during.size(), 3) << during.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(during[1].startsWith(QStringLiteral("TRANS_BK.")));
    EXPECT_EQ(FilesBelow(m_root + QStringLiteral("/MODEL/") + during[1]), previous);
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(RestoreRadio()->isEnabled());
    EXPECT_EQ(Messages().last(), QStringLiteral("Handset lost"));
    EXPECT_EQ(FilesBelow(WorkFolder()), previous);
    EXPECT_EQ(Beside(), (QStringList{QStringLiteral("TRANS_BK"), QStringLiteral("qpx_rec_plugin.so")}));

    // Yes, and the new backup succeeds: it replaces the previous one.
    qunsetenv("QPX_REC_RESULT");
    qunsetenv("QPX_REC_MESSAGE");
    theSettings.Set(&CAppSettings::m_strDllFile, m_plugin);
    Dialogs::ClearRecords();
    Dialogs::SetNextAnswer(IDYES);
    Page().OnStart();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Messages().last(), QStringLiteral("Download Success!"));
    EXPECT_EQ(FilesBelow(WorkFolder()),
              (QStringList{QStringLiteral("MMS"), QStringLiteral("V12.pp"),
                           QStringLiteral("brew/mod/iwsapp/schedule"), QStringLiteral("pim"),
                           QStringLiteral("sms"), QStringLiteral("ui.data")}));
    EXPECT_EQ(Beside(), (QStringList{QStringLiteral("TRANS_BK"), QStringLiteral("qpx_rec_plugin.so")}));
}

} // namespace
