// What the reference plug-in keeps before it writes: every write operation saves what it replaces
// beside the plug-in with a manifest, and goes no further when that cannot be saved. Scripts with
// file operations.
#include "RefHarness.h"

#include <QCryptographicHash>
#include <QDirIterator>

#include <gtest/gtest.h>

namespace {

QString Md5(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

class WriteBackupE2e : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_strState = qpxtest::MakeTempDir(QStringLiteral("state"));
        m_strDir = qpxtest::MakeTempDir(QStringLiteral("files"));
    }
    bool StartSim(const QStringList& faults = {}) { return m_sim.Start(RefSimArgs(m_strState, faults)); }
    QString Efs(const QString& rel) const { return m_strState + QStringLiteral("/efs/") + rel; }
    QString File(const QString& name, const QByteArray& data) const
    {
        const QString path = m_strDir + QLatin1Char('/') + name;
        qpxtest::WriteFile(path, data);
        return path;
    }
    // The one backup folder of a kind, or empty when there is none (or more than one).
    QString BackupOf(const QString& kind) const
    {
        const QStringList runs =
            QDir(m_plugin.Folder() + QLatin1Char('/') + kind).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        return runs.size() == 1
                   ? m_plugin.Folder() + QLatin1Char('/') + kind + QLatin1Char('/') + runs.first()
                   : QString();
    }
    QString Manifest(const QString& folder) const
    {
        return QString::fromUtf8(qpxtest::ReadFile(folder + QStringLiteral("/manifest.txt")));
    }

    QString m_strState, m_strDir;
    CSimProcess m_sim;
    CRefPlugin m_plugin;
};

TEST_F(WriteBackupE2e, ScriptFileOperationsAreVerifiedAndTheirOriginalsKept)
{
    qpxtest::WriteFile(Efs(QStringLiteral("pim/note.txt")), "old note");
    qpxtest::WriteFile(Efs(QStringLiteral("sms/old.msg")), "remove me");
    ASSERT_TRUE(StartSim());
    File(QStringLiteral("note.txt"), "new note");
    File(QStringLiteral("sub/tone.bin"), QByteArray(3000, '\x7E'));
    const QString script = File(QStringLiteral("s.txt"), "nv 4 = 2A\n"
                                                         "put /pim/note.txt = note.txt\n"
                                                         "put /media/tones/tone.bin = sub/tone.bin\n"
                                                         "mkdir /media/photos\n"
                                                         "delete /sms/old.msg\n"
                                                         "delete /sms/never-there.msg\n");
    const SRefOutcome r = m_plugin.Src(m_sim.Port(), script, {}, 0, {});
    ASSERT_TRUE(r.Ok()) << r.Message().toStdString();
    EXPECT_EQ(qpxtest::ReadFile(Efs(QStringLiteral("pim/note.txt"))), QByteArray("new note"));
    EXPECT_EQ(qpxtest::ReadFile(Efs(QStringLiteral("media/tones/tone.bin"))), QByteArray(3000, '\x7E'));
    EXPECT_TRUE(QFileInfo(Efs(QStringLiteral("media/photos"))).isDir());
    EXPECT_FALSE(QFileInfo::exists(Efs(QStringLiteral("sms/old.msg"))));

    const QString saved = BackupOf(QStringLiteral("SCRIPT_BK"));
    ASSERT_FALSE(saved.isEmpty());
    EXPECT_TRUE(r.Status().endsWith(QStringLiteral("kept beside the plug-in in SCRIPT_BK/") +
                                    QFileInfo(saved).fileName()))
        << r.Status().toStdString();
    EXPECT_TRUE(r.Status().contains(QStringLiteral("1 items and 5 file operations")))
        << r.Status().toStdString();
    EXPECT_EQ(qpxtest::ReadFile(saved + QStringLiteral("/files/pim/note.txt")), QByteArray("old note"));
    EXPECT_EQ(qpxtest::ReadFile(saved + QStringLiteral("/files/sms/old.msg")), QByteArray("remove me"));
    const QString m = Manifest(saved);
    EXPECT_TRUE(m.contains(QStringLiteral("files/pim/note.txt size=8 md5=") + Md5("old note")))
        << m.toStdString();
    EXPECT_TRUE(m.contains(QStringLiteral("files/media/tones/tone.bin none")));
    EXPECT_TRUE(m.contains(QStringLiteral("nv/4-42.bin"))); // item 4 as it was before
}

TEST_F(WriteBackupE2e, ABadScriptLineTouchesNothing)
{
    qpxtest::WriteFile(Efs(QStringLiteral("pim/note.txt")), "old note");
    ASSERT_TRUE(StartSim());
    File(QStringLiteral("note.txt"), "new note");
    const struct
    {
        QByteArray script;
        const char* says;
    } cases[] = {
        {"put /pim/note.txt = note.txt\nput pim/x = note.txt\n", "Line 2"},
        {"put /pim/note.txt = note.txt\nput /pim/../etc/x = note.txt\n", "Line 2"},
        {"put /pim/note.txt = note.txt\nput /pim/y = missing.bin\n", "cannot be read"},
        {"put /pim/note.txt = note.txt\ndelete\n", "Line 2"},
        {"# nothing\n", "holds no item write or file operation"},
    };
    for (const auto& c : cases) {
        const SRefOutcome r =
            m_plugin.Src(m_sim.Port(), File(QStringLiteral("bad.txt"), c.script), {}, 0, {});
        ASSERT_TRUE(r.bFinished);
        EXPECT_FALSE(r.Ok());
        EXPECT_TRUE(r.Message().contains(QString::fromLatin1(c.says))) << r.Message().toStdString();
    }
    EXPECT_EQ(qpxtest::ReadFile(Efs(QStringLiteral("pim/note.txt"))), QByteArray("old note"));
    EXPECT_FALSE(QFileInfo::exists(m_plugin.Folder() + QStringLiteral("/SCRIPT_BK")));
}

TEST_F(WriteBackupE2e, EriPhonebookAndRestoreKeepWhatTheyReplace)
{
    QByteArray oldEri(64, '\x11');
    oldEri[0] = 0;
    oldEri[1] = 3;
    qpxtest::WriteFile(Efs(QStringLiteral("roaming/eri_data.bin")), oldEri);
    qpxtest::WriteFile(Efs(QStringLiteral("sms/inbox/1.msg")), "first");
    ASSERT_TRUE(StartSim());

    QByteArray newEri(80, '\x22');
    newEri[0] = 0;
    newEri[1] = 9;
    const SRefOutcome e = m_plugin.Eri(m_sim.Port(), File(QStringLiteral("new.eri"), newEri), 0);
    ASSERT_TRUE(e.Ok()) << e.Message().toStdString();
    const QString eriSaved = BackupOf(QStringLiteral("ERI_BK"));
    ASSERT_FALSE(eriSaved.isEmpty());
    EXPECT_TRUE(e.Status().contains(QStringLiteral("ERI_BK/") + QFileInfo(eriSaved).fileName()));
    EXPECT_EQ(qpxtest::ReadFile(eriSaved + QStringLiteral("/eri_data.bin")), oldEri);
    EXPECT_TRUE(Manifest(eriSaved).contains(QStringLiteral("eri_data.bin size=64 md5=") + Md5(oldEri)));

    // A handset without a phonebook: the manifest says so.
    CRefList unused;
    const SRefOutcome p =
        m_plugin.PhoneBook(m_sim.Port(), 0, File(QStringLiteral("pb.csv"), "Ann,1,,,,,\n"), &unused);
    ASSERT_TRUE(p.Ok()) << p.Message().toStdString();
    const QString pbSaved = BackupOf(QStringLiteral("PB_BK"));
    ASSERT_FALSE(pbSaved.isEmpty());
    EXPECT_TRUE(Manifest(pbSaved).contains(QStringLiteral("phonebook.qpb none")));

    // Back up the messages, change them on the handset, restore: the changed copy is kept.
    ASSERT_TRUE(m_plugin.Transfer(m_sim.Port(), 1, 4u).Ok());
    qpxtest::WriteFile(Efs(QStringLiteral("sms/inbox/1.msg")), "changed since");
    const SRefOutcome t = m_plugin.Transfer(m_sim.Port(), 0, 4u);
    ASSERT_TRUE(t.Ok()) << t.Message().toStdString();
    EXPECT_EQ(qpxtest::ReadFile(Efs(QStringLiteral("sms/inbox/1.msg"))), QByteArray("first"));
    const QString restoreSaved = BackupOf(QStringLiteral("RESTORE_BK"));
    ASSERT_FALSE(restoreSaved.isEmpty());
    EXPECT_TRUE(t.Status().contains(QStringLiteral("RESTORE_BK/") + QFileInfo(restoreSaved).fileName()));
    EXPECT_EQ(qpxtest::ReadFile(restoreSaved + QStringLiteral("/sms/inbox/1.msg")),
              QByteArray("changed since"));
}

TEST_F(WriteBackupE2e, AFailedWriteSaysWhereThePreviousContentsAre)
{
    qpxtest::WriteFile(Efs(QStringLiteral("roaming/eri_data.bin")), QByteArray(40, '\x05'));
    ASSERT_TRUE(StartSim({QStringLiteral("--bad-store"), QStringLiteral("0x4B")}));
    const SRefOutcome e =
        m_plugin.Eri(m_sim.Port(), File(QStringLiteral("new.eri"), QByteArray(90, '\x06')), 0);
    ASSERT_TRUE(e.bFinished);
    EXPECT_FALSE(e.Ok());
    const QString saved = BackupOf(QStringLiteral("ERI_BK"));
    ASSERT_FALSE(saved.isEmpty());
    EXPECT_TRUE(e.Message().startsWith(QStringLiteral("The ERI read back from the handset differs")))
        << e.Message().toStdString();
    EXPECT_TRUE(
        e.Message().endsWith(QStringLiteral("previous contents are kept beside the plug-in in ERI_BK/") +
                             QFileInfo(saved).fileName() + QLatin1Char('.')))
        << e.Message().toStdString();
    EXPECT_EQ(qpxtest::ReadFile(saved + QStringLiteral("/eri_data.bin")), QByteArray(40, '\x05'));
}

TEST_F(WriteBackupE2e, NoWriteWhenTheBackupCannotBeSaved)
{
    qpxtest::WriteFile(Efs(QStringLiteral("pim/phonebook.qpb")), "QPB1 not really");
    ASSERT_TRUE(StartSim());
    // A file where the backup folder must go.
    qpxtest::WriteFile(m_plugin.Folder() + QStringLiteral("/PB_BK"), "in the way");
    CRefList unused;
    const SRefOutcome p =
        m_plugin.PhoneBook(m_sim.Port(), 0, File(QStringLiteral("pb.csv"), "Ann,1,,,,,\n"), &unused);
    ASSERT_TRUE(p.bFinished);
    EXPECT_FALSE(p.Ok());
    EXPECT_TRUE(p.Message().contains(QStringLiteral("backup"))) << p.Message().toStdString();
    EXPECT_EQ(qpxtest::ReadFile(Efs(QStringLiteral("pim/phonebook.qpb"))), QByteArray("QPB1 not really"));
}

} // namespace
