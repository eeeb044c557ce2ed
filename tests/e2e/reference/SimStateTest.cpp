// The simulated handset's state machine answered request by request: NV item rules, the SPC and
// modes, the PRL blocks, the file system's error numbers, the download protocols, and the state
// folder that keeps all of it across runs.
#include "CommandDispatcher.h"
#include "DownloadMode.h"
#include "TestEnv.h"
#include "serial/Checksums.h"
#include "serial/DiagCodec.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <memory>

namespace {

QByteArray B(std::initializer_list<int> bytes)
{
    QByteArray b;
    for (const int v : bytes)
        b.append(static_cast<char>(v));
    return b;
}

QByteArray Nv(int code, quint16 item, const QByteArray& data = {})
{
    QByteArray r(133, '\0');
    r[0] = static_cast<char>(code);
    PutLe16(reinterpret_cast<quint8*>(r.data()) + 1, item);
    r.replace(3, static_cast<int>(data.size()), data);
    return r;
}

int At(const QByteArray& a, int i)
{
    return i < a.size() ? static_cast<quint8>(a.at(i)) : -1;
}

int At0(const QByteArray& a)
{
    return At(a, 0);
}

quint16 NvStatus(const QByteArray& a)
{
    return GetLe16(reinterpret_cast<const quint8*>(a.constData()) + 131);
}

qint32 I32(const QByteArray& a, int at)
{
    return static_cast<qint32>(GetLe32(reinterpret_cast<const quint8*>(a.constData()) + at));
}

QByteArray Efs(int cmd, const QByteArray& body)
{
    return B({0x4B, 0x13, cmd, 0}) + body;
}

QByteArray Le32(quint32 v)
{
    QByteArray b(4, '\0');
    PutLe32(reinterpret_cast<quint8*>(b.data()), v);
    return b;
}

// A request or an answer in the fuzz targets' input: length (u16, little-endian), bytes.
QByteArray SeedRecord(const QByteArray& b)
{
    return QByteArray(1, char(b.size() & 0xFF)) + char(b.size() >> 8) + b;
}

class SimState : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_strFolder = qpxtest::MakeTempDir(QStringLiteral("simstate"));
        m_state = std::make_unique<CHandsetState>(m_profile);
        ASSERT_TRUE(m_state->UseStateFolder(m_strFolder, nullptr));
        m_efs = std::make_unique<CEfs2Server>(m_strFolder + QStringLiteral("/efs"));
        m_disp = std::make_unique<CCommandDispatcher>(*m_state, m_efs.get());
    }
    void TearDown() override
    {
        // The test's requests and the answers to them seed the dispatcher's and the EFS2
        // client's fuzz targets.
        qpxtest::FuzzSeed("sim_dispatch", m_requests);
        qpxtest::FuzzSeed("efs2_replies", m_answers);
    }
    QByteArray D(const QByteArray& r)
    {
        const QByteArray a = m_disp->Dispatch(r);
        m_requests += SeedRecord(r);
        m_answers += '\0' + SeedRecord(a);
        return a;
    }
    void Unlock() { ASSERT_EQ(D(QByteArray("\x41") + "000000"), B({0x41, 1})); }

    SHandsetProfile m_profile;
    QString m_strFolder;
    std::unique_ptr<CHandsetState> m_state;
    std::unique_ptr<CEfs2Server> m_efs;
    std::unique_ptr<CCommandDispatcher> m_disp;
    QByteArray m_requests, m_answers;
};

TEST_F(SimState, NvWritesFollowTheSpcAndTheItemRules)
{
    const QByteArray mdn = B({0}) + "3105550000";
    EXPECT_EQ(At0(D(Nv(0x27, 178, mdn))), 0x42); // NAM item while locked
    EXPECT_EQ(D(QByteArray("\x41") + "123456"), B({0x41, 0}));
    EXPECT_FALSE(m_state->SpcUnlocked());
    Unlock();
    EXPECT_EQ(NvStatus(D(Nv(0x27, 178, mdn))), 0);
    EXPECT_EQ(D(Nv(0x26, 178, B({0}))).mid(3, 11), mdn);
    EXPECT_EQ(D(Nv(0x26, 178, B({1}))).mid(4, 10), QByteArray("2125550147")); // NAM 2 kept its own
    EXPECT_EQ(NvStatus(D(Nv(0x26, 178, B({2})))), 6);                         // no NAM 3
    EXPECT_EQ(NvStatus(D(Nv(0x27, 0, B({1, 2, 3, 4})))), 7);                  // the ESN is read-only
    EXPECT_EQ(NvStatus(D(Nv(0x27, 4025, B({9, 0})))), 0);                     // not protected
    // The version answer reports the slot cycle index and class mark as the items now hold them.
    EXPECT_EQ(NvStatus(D(Nv(0x27, 5, B({6})))), 0);
    EXPECT_EQ(NvStatus(D(Nv(0x27, 4, B({0x3A})))), 0);
    const QByteArray version = D(B({0x00}));
    EXPECT_EQ(At(version, 52), 6);
    EXPECT_EQ(At(version, 47), 0x3A);
}

TEST_F(SimState, ResetNeedsOfflineAndLocksAgain)
{
    EXPECT_EQ(D(B({0x29, 2, 0})), B({0x18, 0x29, 2, 0}));
    Unlock();
    EXPECT_EQ(D(B({0x29, 1, 0})), B({0x29, 1, 0}));
    EXPECT_TRUE(m_state->Offline());
    EXPECT_EQ(D(B({0x29, 2, 0})), B({0x29, 2, 0}));
    EXPECT_TRUE(m_state->TakeResetRequest());
    EXPECT_FALSE(m_state->SpcUnlocked());
    EXPECT_FALSE(m_state->Offline());
    EXPECT_EQ(At0(D(B({0x29, 9, 0}))), 0x14);
}

TEST_F(SimState, PrlBlocksNeedOfflineUnlockAndOrder)
{
    QByteArray block = B({0x48, 0, 0, 0, 80, 0}) + QByteArray(120, '\0');
    block.replace(6, 4, B({0, 10, 0x12, 0x34}));
    EXPECT_EQ(At0(D(block)), 0x18); // online
    Unlock();
    D(B({0x29, 1, 0}));
    QByteArray wrongSeq = block;
    wrongSeq[1] = 1;
    EXPECT_EQ(D(wrongSeq), B({0x48, 2}));
    EXPECT_EQ(D(block), B({0x48, 1}));
    EXPECT_EQ(D(B({0x8C, 0})), B({0x8C, 0, 0x34, 0x12}));
    const QByteArray read = D(B({0x49, 0, 0}));
    ASSERT_EQ(read.size(), 128);
    EXPECT_EQ(GetLe16(reinterpret_cast<const quint8*>(read.constData()) + 6), 80);
    EXPECT_EQ(read.mid(8, 4), B({0, 10, 0x12, 0x34}));
    EXPECT_EQ(read.at(5), 0); // no more blocks

    // Kept in the state folder for the next run.
    CHandsetState again(m_profile);
    ASSERT_TRUE(again.UseStateFolder(m_strFolder, nullptr));
    EXPECT_EQ(again.PrlVersion(0), 0x1234);
    EXPECT_EQ(again.PrlVersion(1), 53);
}

TEST_F(SimState, FileSystemAnswersWithErrorNumbers)
{
    auto open = [this](const QByteArray& path, quint32 flags) {
        return D(Efs(2, Le32(flags) + Le32(0100777) + path + '\0'));
    };
    EXPECT_EQ(I32(open("/pim/x", 0x241), 8), 2); // no such folder
    EXPECT_EQ(I32(D(Efs(9, B({0xFF, 1}) + "/pim" + '\0')), 4), 0);
    EXPECT_EQ(I32(D(Efs(9, B({0xFF, 1}) + "/pim" + '\0')), 4), 17); // exists
    const QByteArray o = open("/pim/x", 0x241);
    ASSERT_EQ(I32(o, 8), 0);
    const qint32 fd = I32(o, 4);
    EXPECT_EQ(I32(D(Efs(5, Le32(static_cast<quint32>(fd)) + Le32(0) + "abcdef")), 12), 6);
    EXPECT_EQ(I32(D(Efs(4, Le32(static_cast<quint32>(fd)) + Le32(4) + Le32(2))), 16), 9); // write-only
    EXPECT_EQ(I32(D(Efs(3, Le32(static_cast<quint32>(fd)))), 4), 0);
    EXPECT_EQ(I32(D(Efs(3, Le32(static_cast<quint32>(fd)))), 4), 9); // closed already
    const qint32 rd = I32(open("/pim/x", 0), 4);
    const QByteArray r = D(Efs(4, Le32(static_cast<quint32>(rd)) + Le32(4) + Le32(2)));
    EXPECT_EQ(I32(r, 12), 4);
    EXPECT_EQ(r.mid(20), QByteArray("cdef"));
    EXPECT_EQ(I32(D(Efs(3, Le32(static_cast<quint32>(rd)))), 4), 0);
    EXPECT_EQ(I32(D(Efs(10, QByteArray("/pim") + '\0')), 4), 39); // not empty
    EXPECT_EQ(I32(D(Efs(8, QByteArray("/pim") + '\0')), 4), 21);  // a folder
    EXPECT_EQ(I32(open("/../etc/passwd", 0), 8), 0x40000005);     // never outside the root
    EXPECT_EQ(At0(D(B({0x4B, 0x14, 0, 0}))), 0x13);               // another subsystem
    EXPECT_EQ(At0(D(Efs(2, B({1})))), 0x15);                      // too short

    const QByteArray dir = D(Efs(11, QByteArray("/pim") + '\0'));
    const quint32 handle = static_cast<quint32>(I32(dir, 4));
    const QByteArray e1 = D(Efs(12, Le32(handle) + Le32(1)));
    EXPECT_EQ(e1.mid(40, 2), QByteArray("x\0", 2));
    EXPECT_EQ(I32(e1, 24), 6);                                          // size
    EXPECT_EQ(I32(D(Efs(12, Le32(handle) + Le32(5))), 12), 0x40000002); // sequence
    EXPECT_EQ(D(Efs(12, Le32(handle) + Le32(2))).mid(40), QByteArray(1, '\0'));
}

TEST_F(SimState, FileSystemQueryRenameAndStatfs)
{
    const QByteArray q = D(Efs(1, {}));
    ASSERT_EQ(q.size(), 4 + 24);
    EXPECT_EQ(q.left(4), B({0x4B, 0x13, 1, 0}));
    EXPECT_EQ(I32(q, 4), 255);  // longest name
    EXPECT_EQ(I32(q, 8), 1024); // longest path

    auto statfs = [this](const QByteArray& path) { return D(Efs(19, path + '\0')); };
    const QByteArray empty = statfs("/");
    ASSERT_EQ(empty.size(), 4 + 44);
    EXPECT_EQ(I32(empty, 4), 0);
    EXPECT_EQ(empty.mid(12, 4), QByteArray("EFS2"));
    EXPECT_EQ(I32(empty, 20), 512);
    EXPECT_EQ(I32(empty, 28), I32(empty, 24)); // all blocks available
    EXPECT_EQ(I32(empty, 40), 0);              // no files
    qpxtest::WriteFile(m_strFolder + QStringLiteral("/efs/a"), QByteArray(1500, 'a'));
    const QByteArray one = statfs("/");
    EXPECT_EQ(I32(one, 28), I32(empty, 28) - 3); // 1500 bytes take three blocks of 512
    EXPECT_EQ(I32(one, 32), I32(one, 28));
    EXPECT_EQ(I32(one, 40), 1);
    EXPECT_EQ(I32(one, 44), 4096); // most files
    EXPECT_EQ(I32(statfs("/nowhere"), 4), 2);
    EXPECT_EQ(statfs("/nowhere").size(), empty.size());
    EXPECT_EQ(At0(D(Efs(19, {}))), 0x15);

    auto rename = [this](const QByteArray& from, const QByteArray& to) {
        return I32(D(Efs(14, from + '\0' + to + '\0')), 4);
    };
    EXPECT_EQ(rename("/a", "/b"), 0);
    EXPECT_FALSE(QFileInfo::exists(m_strFolder + QStringLiteral("/efs/a")));
    EXPECT_EQ(qpxtest::ReadFile(m_strFolder + QStringLiteral("/efs/b")).size(), 1500);
    EXPECT_EQ(rename("/a", "/c"), 2);    // no such source
    EXPECT_EQ(rename("/b", "/no/c"), 2); // no such folder for the new name
    EXPECT_EQ(rename("/b", "/../c"), 0x40000005);
    qpxtest::WriteFile(m_strFolder + QStringLiteral("/efs/c"), "old");
    EXPECT_EQ(rename("/b", "/c"), 0); // a file replaces a file
    EXPECT_EQ(qpxtest::ReadFile(m_strFolder + QStringLiteral("/efs/c")).size(), 1500);
    ASSERT_EQ(I32(D(Efs(9, B({0xFF, 1}) + "/d" + '\0')), 4), 0);
    EXPECT_EQ(rename("/c", "/d"), 21); // not over a folder
    EXPECT_EQ(rename("/d", "/e"), 0);  // folders move too
    EXPECT_TRUE(QFileInfo(m_strFolder + QStringLiteral("/efs/e")).isDir());
}

TEST_F(SimState, FileSystemByteWindowIsAnnouncedAndKept)
{
    m_efs->SetByteWindow(256);
    QByteArray hello;
    for (int i = 0; i < 6; ++i)
        hello += Le32(0x00100000);
    hello += Le32(1) + Le32(1) + Le32(1) + Le32(0xFFFFFFFF);
    const QByteArray h = D(Efs(0, hello));
    ASSERT_EQ(h.size(), 44);
    EXPECT_EQ(I32(h, 4), 0x00100000); // packet window
    EXPECT_EQ(I32(h, 8), 256);        // target byte window
    EXPECT_EQ(I32(h, 16), 256);       // host byte window
    EXPECT_EQ(I32(h, 28), 1);         // version

    const qint32 fd = I32(D(Efs(2, Le32(0x242) + Le32(0100777) + "/w" + '\0')), 4);
    ASSERT_GT(fd, 0);
    const QByteArray tooMuch = D(Efs(5, Le32(static_cast<quint32>(fd)) + Le32(0) + QByteArray(257, 'x')));
    EXPECT_EQ(I32(tooMuch, 12), -1);
    EXPECT_EQ(I32(tooMuch, 16), 22);
    EXPECT_EQ(I32(D(Efs(5, Le32(static_cast<quint32>(fd)) + Le32(0) + QByteArray(256, 'x'))), 12), 256);
    EXPECT_EQ(I32(D(Efs(4, Le32(static_cast<quint32>(fd)) + Le32(257) + Le32(0))), 16), 22);
    const QByteArray read = D(Efs(4, Le32(static_cast<quint32>(fd)) + Le32(256) + Le32(0)));
    EXPECT_EQ(I32(read, 12), 256);
}

TEST_F(SimState, BadStoreAcknowledgesButKeepsAlteredData)
{
    m_disp->SetBadStore(true, true);
    m_efs->SetBadStore(true);
    Unlock();
    const QByteArray mdn = B({1}) + "3105550000";
    EXPECT_EQ(NvStatus(D(Nv(0x27, 178, mdn))), 0); // acknowledged as stored
    QByteArray bad = mdn;
    bad[10] = static_cast<char>('0' ^ 0xFF); // the last digit, the NAM index kept
    EXPECT_EQ(D(Nv(0x26, 178, B({1}))).mid(3, 11), bad);
    EXPECT_EQ(NvStatus(D(Nv(0x27, 4025, B({0, 0})))), 0); // all zero: the first byte goes bad
    EXPECT_EQ(D(Nv(0x26, 4025)).mid(3, 2), B({0xFF, 0}));

    D(B({0x29, 1, 0}));
    QByteArray block = B({0x48, 0, 0, 0, 80, 0}) + QByteArray(120, '\0');
    block.replace(6, 10, B({0, 10, 0x12, 0x34, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(D(block), B({0x48, 1}));
    EXPECT_EQ(m_state->Prl(0), B({0, 10, 0x12, 0x34, 0, 0xFF, 0, 0, 0, 0}));

    ASSERT_EQ(I32(D(Efs(9, B({0xFF, 1}) + "/d" + '\0')), 4), 0);
    const qint32 fd = I32(D(Efs(2, Le32(0x241) + Le32(0100777) + "/d/f" + '\0')), 4);
    EXPECT_EQ(I32(D(Efs(5, Le32(static_cast<quint32>(fd)) + Le32(0) + "abc")), 12), 3);
    EXPECT_EQ(I32(D(Efs(5, Le32(static_cast<quint32>(fd)) + Le32(3) + "def")), 12), 3);
    D(Efs(3, Le32(static_cast<quint32>(fd))));
    EXPECT_EQ(qpxtest::ReadFile(m_strFolder + QStringLiteral("/efs/d/f")), QByteArray("ab\x9C"
                                                                                      "def"));
}

TEST_F(SimState, SpcLockOutOutlastsAReset)
{
    const QByteArray right = QByteArray("\x41") + "000000";
    const QByteArray wrong = QByteArray("\x41") + "999999";
    for (int i = 0; i < 5; ++i) // off by default
        EXPECT_EQ(D(wrong), B({0x41, 0}));
    EXPECT_EQ(D(right), B({0x41, 1}));

    m_state->SetSpcLockout(2);
    EXPECT_EQ(D(wrong), B({0x41, 0}));
    EXPECT_EQ(D(right), B({0x41, 1})); // a right code starts the count again
    EXPECT_EQ(D(wrong), B({0x41, 0}));
    EXPECT_FALSE(m_state->SpcLockedOut());
    EXPECT_EQ(D(wrong), B({0x41, 0}));
    EXPECT_TRUE(m_state->SpcLockedOut());
    EXPECT_EQ(D(right), B({0x41, 0}));
    EXPECT_FALSE(m_state->SpcUnlocked());
    EXPECT_EQ(At0(D(Nv(0x27, 178, B({0}) + "3105550000"))), 0x42);
    D(B({0x29, 1, 0}));
    EXPECT_EQ(D(B({0x29, 2, 0})), B({0x29, 2, 0}));
    EXPECT_TRUE(m_state->TakeResetRequest());
    EXPECT_EQ(D(right), B({0x41, 0}));
}

TEST_F(SimState, HiddenSpcIsReadableOnlyAfterUnlocking)
{
    EXPECT_EQ(D(Nv(0x26, 85)).mid(3, 6), QByteArray("000000"));
    m_state->SetSpcHidden(true);
    EXPECT_EQ(At0(D(Nv(0x26, 85))), 0x42);
    EXPECT_EQ(NvStatus(D(Nv(0x26, 4025))), 0); // other items stay readable
    Unlock();
    EXPECT_EQ(D(Nv(0x26, 85)).mid(3, 6), QByteArray("000000"));
}

TEST_F(SimState, PasswordGuardsTheProtectedWritesUntilReset)
{
    const QByteArray mdn = Nv(0x27, 178, B({0}) + "3105550000");
    EXPECT_EQ(D(QByteArray("\x46") + QByteArray(8, 'x')), B({0x46, 1})); // no password: nothing to give
    Unlock();
    EXPECT_EQ(NvStatus(D(mdn)), 0);

    m_state->SetPassword(QByteArray::fromHex("0011223344556677"));
    EXPECT_EQ(D(mdn), B({0x47}) + mdn);                   // 47 + copy
    EXPECT_EQ(NvStatus(D(Nv(0x27, 4025, B({1, 0})))), 0); // not protected
    D(B({0x29, 1, 0}));
    const QByteArray block = B({0x48, 0, 0, 0, 80, 0}) + B({0, 10, 0x12, 0x34, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(At0(D(block)), 0x47);
    EXPECT_EQ(D(QByteArray("\x46") + QByteArray::fromHex("0011223344556676")), B({0x46, 0}));
    EXPECT_EQ(At0(D(mdn)), 0x47);
    EXPECT_EQ(At0(D(QByteArray("\x46") + QByteArray(7, 'x'))), 0x15);
    EXPECT_EQ(D(QByteArray("\x46") + QByteArray::fromHex("0011223344556677")), B({0x46, 1}));
    EXPECT_EQ(NvStatus(D(mdn)), 0);
    EXPECT_EQ(D(block), B({0x48, 1}));

    EXPECT_EQ(D(B({0x29, 2, 0})), B({0x29, 2, 0}));
    Unlock();
    EXPECT_EQ(At0(D(mdn)), 0x47); // asked again after the reset
}

TEST(SimDownload, ImagesAreCheckedBeforeTheyAreInstalled)
{
    SHandsetProfile p;
    CHandsetState state(p);
    CDownloadMode dl(state);
    dl.Enter();
    EXPECT_EQ(dl.Handle(B({0x06})), B({0x02}));
    EXPECT_EQ(dl.Handle(B({0x05, 0, 0x10, 0, 0})), B({0x03, 0, 0x0E})); // no programmer yet
    EXPECT_EQ(dl.Handle(B({0x0F, 0, 0x10, 0, 0, 0, 2, 1, 2})), B({0x02}));
    EXPECT_EQ(dl.Handle(B({0x05, 0, 0x10, 0, 0})), B({0x02}));
    EXPECT_EQ(dl.State(), CDownloadMode::STATE_STREAMING);
    EXPECT_EQ(At0(dl.Handle(B({0x07, 0, 0, 0, 0, 1}))), 0x0D); // not opened
    EXPECT_EQ(dl.Handle(B({0x1B, 5})), B({0x1C, 0}));
    QByteArray img("QPXIMG1\0", 8);
    img += QByteArray("VKQ200A1");
    img += Le32(3) + Le32(Crc32("abc")) + "abc";
    EXPECT_EQ(At0(dl.Handle(B({0x07, 9, 0, 0, 0}) + img)), 0x0D); // a gap
    EXPECT_EQ(dl.Handle(B({0x07, 0, 0, 0, 0}) + img.left(20)), B({0x08, 0, 0, 0, 0}));
    EXPECT_EQ(dl.Handle(B({0x07, 20, 0, 0, 0}) + img.mid(20)), B({0x08, 20, 0, 0, 0}));
    EXPECT_EQ(dl.Handle(B({0x15})), B({0x16}));
    EXPECT_EQ(state.VersionResponse().mid(39, 8), QByteArray("VKQ200A1"));
    EXPECT_EQ(dl.Handle(B({0x0B})), B({0x0C}));
    EXPECT_TRUE(dl.TakeReset());
    EXPECT_EQ(dl.State(), CDownloadMode::STATE_DIAG);
}

} // namespace
