// Memory transfer through the reference plug-in: a backup copies the handset's data trees into
// TRANS_BK with a manifest and the marker; a restore checks the backup first and puts it back.
#include "RefHarness.h"

#include <gtest/gtest.h>

namespace {

class TransferE2e : public ::testing::Test
{
protected:
    // A handset holding data in every tree, and something the transfer must leave alone.
    QMap<QString, QByteArray> FillHandset(const QString& state)
    {
        QMap<QString, QByteArray> data;
        data[QStringLiteral("pim/phonebook.dat")] = QByteArray(3000, 'p');
        data[QStringLiteral("pim/groups/g1")] = "friends";
        data[QStringLiteral("sms/inbox/0001.msg")] = "hello";
        data[QStringLiteral("MMS/media/pic.jpg")] = QByteArray(5000, '\x7E') + QByteArray(100, '\x7D');
        data[QStringLiteral("brew/mod/iwsapp/schedule/events.dat")] = "meeting";
        data[QStringLiteral("ui.data")] = QByteArray(1024, 'u'); // exactly one piece
        for (auto it = data.cbegin(); it != data.cend(); ++it)
            qpxtest::WriteFile(state + QStringLiteral("/efs/") + it.key(), it.value());
        qpxtest::WriteFile(state + QStringLiteral("/efs/nvm/other.bin"), "not part of any item");
        return data;
    }

    CSimProcess m_sim;
    CRefPlugin m_plugin;
};

TEST_F(TransferE2e, ADamagedBackupIsNotRestored)
{
    const QString state = qpxtest::MakeTempDir(QStringLiteral("state"));
    FillHandset(state);
    ASSERT_TRUE(m_sim.Start(RefSimArgs(state)));
    ASSERT_TRUE(m_plugin.Transfer(m_sim.Port(), 1, 1u).Ok());
    ASSERT_TRUE(m_sim.Stop());
    qpxtest::WriteFile(m_plugin.Folder() + QStringLiteral("/TRANS_BK/sms/inbox/0001.msg"), "hellO");

    const QString fresh = qpxtest::MakeTempDir(QStringLiteral("fresh"));
    ASSERT_TRUE(m_sim.Start(RefSimArgs(fresh)));
    const SRefOutcome r = m_plugin.Transfer(m_sim.Port(), 0, 1u);
    ASSERT_TRUE(r.bFinished);
    EXPECT_FALSE(r.Ok());
    EXPECT_TRUE(r.Message().contains(QStringLiteral("sms/inbox/0001.msg differs from its manifest")))
        << r.Message().toStdString();
    EXPECT_TRUE(qpxtest::FilesBelow(fresh + QStringLiteral("/efs")).isEmpty()); // nothing was sent
}

} // namespace
