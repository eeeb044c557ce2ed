// The simulated handset's NV item rules answered request by request: the SPC, the NAMs, read-only
// items, and a version answer that reports what the items now hold.
#include "CommandDispatcher.h"
#include "TestEnv.h"
#include "serial/Checksums.h"
#include "serial/DiagCodec.h"

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::StringLiterals;

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

quint16 NvStatus(const QByteArray& a)
{
    return GetLe16(reinterpret_cast<const quint8*>(a.constData()) + 131);
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
        m_strFolder = qpxtest::MakeTempDir(u"simstate"_s);
        m_state = std::make_unique<CHandsetState>(m_profile);
        ASSERT_TRUE(m_state->UseStateFolder(m_strFolder, nullptr));
        m_efs = std::make_unique<CEfs2Server>(m_strFolder + u"/efs"_s);
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
    EXPECT_EQ(At(D(Nv(0x27, 178, mdn)), 0), 0x42); // NAM item while locked
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

} // namespace
