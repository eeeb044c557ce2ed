// The simulator's protocol pieces on their own: profile, responses, dispatcher, faults.
#include "CommandDispatcher.h"
#include "FaultInjector.h"
#include "HandsetState.h"
#include "TestEnv.h"
#include "serial/DiagCodec.h"

#include <gtest/gtest.h>

namespace {

QByteArray Bytes(std::initializer_list<int> b)
{
    QByteArray out;
    for (int v : b)
        out.append(static_cast<char>(v));
    return out;
}

quint8 At(const QByteArray& a, int i)
{
    return static_cast<quint8>(a.at(i));
}

quint16 Le16(const QByteArray& a, int i)
{
    return GetLe16(reinterpret_cast<const quint8*>(a.constData()) + i);
}

quint32 Le32(const QByteArray& a, int i)
{
    return GetLe32(reinterpret_cast<const quint8*>(a.constData()) + i);
}

QByteArray Frame(const QByteArray& payload)
{
    QByteArray f(static_cast<int>(MaxEncodedSize(payload.size())), '\0');
    f.truncate(static_cast<int>(EncodeFrame(reinterpret_cast<const quint8*>(payload.constData()),
                                            payload.size(), reinterpret_cast<quint8*>(f.data()), f.size())));
    return f;
}

// Decodes a frame ending in a flag (without leading garbage); -1 when the check fails.
int Decode(const QByteArray& frame)
{
    QByteArray body = frame.left(frame.size() - 1);
    QByteArray out(body.size() + 2, '\0');
    return DecodeFrameBody(reinterpret_cast<const quint8*>(body.constData()), body.size(),
                           reinterpret_cast<quint8*>(out.data()), out.size());
}

TEST(SimProfile, MinEncodingOfPhoneNumbers)
{
    quint32 min1 = 0;
    quint16 min2 = 0;
    ASSERT_TRUE(EncodeMin(QStringLiteral("212-555-0147"), min1, min2));
    EXPECT_EQ(min2, 0x065);
    EXPECT_EQ(min1, 0x6F2824u);
    ASSERT_TRUE(EncodeMin(QStringLiteral("(323) 410-5567"), min1, min2));
    EXPECT_EQ(min2, 212); // 0x0D4
    EXPECT_EQ(min1 >> 14, 309u);
    EXPECT_EQ((min1 >> 10) & 0xF, 5u);
    EXPECT_EQ(min1 & 0x3FF, 456u);
    ASSERT_TRUE(EncodeMin(QStringLiteral("000-0000"), min1, min2)); // seven digits: no area code
    EXPECT_EQ(min2, 0);
    EXPECT_EQ(min1, (999u << 14) | (10u << 10) | 999u);
    EXPECT_FALSE(EncodeMin(QStringLiteral("12345678"), min1, min2));
    EXPECT_FALSE(EncodeMin(QString(), min1, min2));
}

TEST(SimProfile, LoadAndPrintRoundTrip)
{
    const QString path = qpxtest::MakeTempDir(QStringLiteral("p")) + QStringLiteral("/p.txt");
    qpxtest::WriteFile(
        path, "esn = 0x1\n\n# comment\nsw_version_dir=AB\nprl_version_nam1=0x10\neri_version=none\n");
    SHandsetProfile p;
    QString error;
    ASSERT_TRUE(LoadProfile(path, p, &error)) << error.toStdString();
    EXPECT_EQ(p.nEsn, 1u);
    EXPECT_EQ(p.strSwVersionDir, QStringLiteral("AB"));
    EXPECT_EQ(p.nPrlVersion[1], 16);
    EXPECT_FALSE(p.bEriSet);

    // What --print-profile writes loads back into the same profile.
    qpxtest::WriteFile(path, ProfileText(p).toUtf8());
    SHandsetProfile again;
    ASSERT_TRUE(LoadProfile(path, again, &error)) << error.toStdString();
    EXPECT_EQ(ProfileText(again), ProfileText(p));

    // Values out of range or too long, and unknown keys, are refused.
    SHandsetProfile q;
    EXPECT_FALSE(SetProfileValue(q, QStringLiteral("code_channel"), QStringLiteral("256")));
    EXPECT_FALSE(SetProfileValue(q, QStringLiteral("sw_version_dir"), QStringLiteral("123456789")));
    EXPECT_FALSE(SetProfileValue(q, QStringLiteral("esn"), QStringLiteral("123456789")));
    EXPECT_FALSE(SetProfileValue(q, QStringLiteral("digital_number"), QStringLiteral("12")));
    EXPECT_FALSE(SetProfileValue(q, QStringLiteral("sid"), QStringLiteral("010x")));
    EXPECT_FALSE(SetProfileValue(q, QStringLiteral("nosuchkey"), QStringLiteral("1")));
    EXPECT_TRUE(SetProfileValue(q, QStringLiteral("sid"), QStringLiteral("010"))); // decimal, not octal
    EXPECT_EQ(q.nSid, 10);
}

TEST(SimResponses, StatusAndVersionLayouts)
{
    SHandsetProfile p;
    p.nEsn = 0x11223344;
    p.nRfMode = 3;
    p.nChannel = 0x0102;
    p.nCodeChannel = 9;
    p.nPilotPn = 0x0304;
    p.nSid = 0x0506;
    p.nNid = 0x0708;
    p.nLocaid = 0x090A;
    p.nProtocolRevision = 0x0B;
    p.nDigitalMin1 = 0xABCDEF;
    p.nAnalogMin2 = 0x3E7;
    CHandsetState state(p);

    const QByteArray s = state.StatusResponse();
    ASSERT_EQ(s.size(), 49);
    EXPECT_EQ(At(s, 0), 0x0C);
    EXPECT_EQ(Le32(s, 4), 0x11223344u);
    EXPECT_EQ(Le16(s, 8), 3);
    EXPECT_EQ(Le32(s, 14), 0xABCDEFu);
    EXPECT_EQ(Le16(s, 18), 0x3E7);
    EXPECT_EQ(Le16(s, 20), 0x065); // digital MIN2 still from the default number
    EXPECT_EQ(Le16(s, 34), 0x0102);
    EXPECT_EQ(At(s, 36), 9);
    EXPECT_EQ(Le16(s, 37), 0x0304);
    EXPECT_EQ(Le16(s, 39), 0x0506);
    EXPECT_EQ(Le16(s, 41), 0x0708);
    EXPECT_EQ(Le16(s, 43), 0x090A);
    EXPECT_EQ(At(s, 48), 0x0B);

    const QByteArray v = state.VersionResponse();
    ASSERT_EQ(v.size(), 55);
    EXPECT_EQ(At(v, 0), 0x00);
    EXPECT_EQ(v.mid(1, 11), QByteArray("Mar 14 2006"));
    EXPECT_EQ(v.mid(12, 8), QByteArray("10:22:31"));
    EXPECT_EQ(v.mid(20, 11), QByteArray("Mar 15 2006"));
    EXPECT_EQ(v.mid(31, 8), QByteArray("09:00:00"));
    EXPECT_EQ(v.mid(39, 8), QByteArray("VKQ100A1"));
    EXPECT_EQ(At(v, 48), 0x0B);
    EXPECT_EQ(At(v, 49), p.nMobileModel);
    EXPECT_EQ(Le16(v, 50), p.nFirmwareRevision);
    EXPECT_EQ(At(v, 52), p.nSlotCycleIndex);
    EXPECT_EQ(At(v, 53), 0x61);
    EXPECT_EQ(At(v, 54), 0x0A);
}

class SimDispatch : public ::testing::Test
{
protected:
    SHandsetProfile m_profile;
    std::unique_ptr<CHandsetState> m_state = std::make_unique<CHandsetState>(m_profile);
    CCommandDispatcher Dispatcher() { return CCommandDispatcher(*m_state); }
};

TEST_F(SimDispatch, EriReadAcceptsTheProgramsLongRequest)
{
    QByteArray request(657, '\0');
    request[0] = 0x26;
    request[1] = static_cast<char>(0xB9);
    request[2] = 0x0F;
    const QByteArray r = Dispatcher().Dispatch(request);
    ASSERT_EQ(r.size(), 133);
    EXPECT_EQ(At(r, 0), 0x26);
    EXPECT_EQ(Le16(r, 1), 4025);
    EXPECT_EQ(Le16(r, 3), m_profile.nEriVersion);
    EXPECT_EQ(Le16(r, 131), 0); // done

    // An item never written: status 5 and zero data.
    request[1] = 0x10;
    request[2] = 0x00;
    const QByteArray unset = Dispatcher().Dispatch(request.left(133));
    ASSERT_EQ(unset.size(), 133);
    EXPECT_EQ(Le16(unset, 1), 0x0010);
    EXPECT_EQ(unset.mid(3, 128), QByteArray(128, '\0'));
    EXPECT_EQ(Le16(unset, 131), 5);

    // Too short for an item read.
    const QByteArray shortRead = Dispatcher().Dispatch(request.left(132));
    EXPECT_EQ(shortRead, Bytes({0x15}) + request.left(132));
}

TEST_F(SimDispatch, PrlVersionPerNam)
{
    EXPECT_EQ(Dispatcher().Dispatch(Bytes({0x8C, 0})), Bytes({0x8C, 0, 52, 0}));
    EXPECT_EQ(Dispatcher().Dispatch(Bytes({0x8C, 1})), Bytes({0x8C, 1, 53, 0}));
    EXPECT_EQ(Dispatcher().Dispatch(Bytes({0x8C, 2})), Bytes({0x14, 0x8C, 2}));
    EXPECT_EQ(Dispatcher().Dispatch(Bytes({0x8C})), Bytes({0x15, 0x8C}));
    EXPECT_EQ(Dispatcher().Dispatch(Bytes({0x8C, 0, 0})), Bytes({0x15, 0x8C, 0, 0}));
}

TEST_F(SimDispatch, ErrorsCopyTheRequest)
{
    EXPECT_EQ(Dispatcher().Dispatch(Bytes({0x06})), Bytes({0x13, 0x06}));
    EXPECT_EQ(Dispatcher().Dispatch(Bytes({0x0C, 0x00})), Bytes({0x15, 0x0C, 0x00}));
    EXPECT_EQ(Dispatcher().Dispatch(Bytes({0x00, 0x01})), Bytes({0x15, 0x00, 0x01}));
    EXPECT_EQ(Dispatcher().Dispatch(Bytes({0x01})), Bytes({0x01, 0xD3, 0x41, 0x2A, 0x8F})); // ESN
    QByteArray big(300, 'x');
    big[0] = static_cast<char>(0xF3);
    const QByteArray r = Dispatcher().Dispatch(big);
    ASSERT_EQ(r.size(), 257); // the copy is cut at 256 bytes
    EXPECT_EQ(At(r, 0), 0x13);
    EXPECT_EQ(r.mid(1), big.left(256));
    EXPECT_TRUE(Dispatcher().Dispatch(QByteArray()).isEmpty());
}

TEST(SimFaults, CorruptCheckAlwaysBreaksTheCheckButNotTheFraming)
{
    SFaults f;
    f.bCorruptCheck = true;
    CFaultInjector faults(f);
    // Payloads whose last encoded byte before the flag takes every value, escapes included.
    int tried = 0;
    for (int a = 0; a < 256; ++a) {
        const QByteArray frame = Frame(Bytes({0x0C, a}));
        ASSERT_GT(Decode(frame), 0);
        const QByteArray bad = faults.Mangle(frame);
        ASSERT_EQ(bad.size(), frame.size());
        EXPECT_EQ(bad.count(static_cast<char>(0x7E)), 1) << a; // still exactly one flag, at the end
        EXPECT_EQ(At(bad, bad.size() - 1), 0x7E);
        EXPECT_EQ(Decode(bad), -1) << a;
        ++tried;
    }
    EXPECT_EQ(tried, 256);
}

TEST(SimFaults, GarbageComesBeforeTheFrameWithoutFlags)
{
    SFaults f;
    f.bGarbage = true;
    CFaultInjector faults(f);
    const QByteArray frame = Frame(Bytes({0x0C}));
    for (int i = 0; i < 50; ++i) {
        const QByteArray out = faults.Mangle(frame);
        ASSERT_TRUE(out.endsWith(frame));
        const QByteArray noise = out.left(out.size() - frame.size());
        EXPECT_FALSE(noise.isEmpty());
        EXPECT_FALSE(noise.contains(static_cast<char>(0x7E)));
    }
}

TEST(SimFaults, WhichRequestsGetAnAnswer)
{
    SFaults statusOnly;
    statusOnly.bStatusOnly = true;
    EXPECT_TRUE(CFaultInjector(statusOnly).ShouldAnswer(Bytes({0x0C})));
    EXPECT_FALSE(CFaultInjector(statusOnly).ShouldAnswer(Bytes({0x00})));
    SFaults silent;
    silent.bSilent = true;
    EXPECT_FALSE(CFaultInjector(silent).ShouldAnswer(Bytes({0x0C})));
    SFaults wrong;
    wrong.bWrongCommand = true;
    EXPECT_EQ(CFaultInjector(wrong).RequestToAnswer(Bytes({0x0C})), Bytes({0x00}));
    EXPECT_EQ(CFaultInjector(wrong).RequestToAnswer(Bytes({0x8C, 0})), Bytes({0x0C}));
    EXPECT_EQ(CFaultInjector(SFaults()).RequestToAnswer(Bytes({0x8C, 0})), Bytes({0x8C, 0}));

    SFaults hangup;
    hangup.nHangupAfter = 2;
    CFaultInjector h(hangup);
    EXPECT_FALSE(h.CountRequest());
    EXPECT_TRUE(h.CountRequest());
    CFaultInjector never{SFaults()};
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(never.CountRequest());

    // Held back until the second status request, which is the first one hit; then until recovery.
    SFaults later;
    later.bSilent = true;
    later.nRefuseCode = 0x00;
    later.nFromCode = 0x0C;
    later.nFromAt = 2;
    CFaultInjector l(later);
    EXPECT_EQ(l.CountKind(0x00), CFaultInjector::KIND_NONE);
    EXPECT_EQ(l.CountKind(0x0C), CFaultInjector::KIND_NONE);
    EXPECT_TRUE(l.ShouldAnswer(Bytes({0x0C})));
    EXPECT_EQ(l.CountKind(0x0C), CFaultInjector::KIND_NONE);
    EXPECT_FALSE(l.ShouldAnswer(Bytes({0x0C})));
    EXPECT_EQ(l.CountKind(0x00), CFaultInjector::KIND_REFUSE);
    l.Recover();
    EXPECT_TRUE(l.ShouldAnswer(Bytes({0x0C})));
    EXPECT_EQ(l.CountKind(0x00), CFaultInjector::KIND_NONE);
}

TEST(SimFaults, BadStoreTakesOnlyTheCommandsThatStore)
{
    SFaults f;
    EXPECT_TRUE(CFaultInjector::ParseBadStore(QStringLiteral("0x27"), f));
    EXPECT_TRUE(CFaultInjector::ParseBadStore(QStringLiteral("72"), f)); // 0x48, decimal
    EXPECT_TRUE(f.bBadStoreNv && f.bBadStorePrl && !f.bBadStoreEfs);
    EXPECT_TRUE(CFaultInjector::ParseBadStore(QStringLiteral("0x4b"), f));
    EXPECT_TRUE(f.bBadStoreEfs && !f.bBadStoreFirmware);
    EXPECT_TRUE(CFaultInjector::ParseBadStore(QStringLiteral("0x07"), f));
    EXPECT_TRUE(f.bBadStoreFirmware);
    EXPECT_TRUE(f.Any());
    SFaults g;
    for (const char* bad : {"0x26", "0x49", "", "x", "0x27:1", "-1"})
        EXPECT_FALSE(CFaultInjector::ParseBadStore(QLatin1String(bad), g)) << bad;
    EXPECT_FALSE(g.Any());
}

} // namespace
