#pragma once
// The reference plug-in and a simulated handset of the model it serves, for the end-to-end tests:
// an installation folder with the plug-in in its MODEL folder, the simulator's state folder (what
// the handset holds: state.dat and the efs/ tree), its profile, and a folder for the test's files.
// The test executable defines QPX_REF_PLUGIN, the built plug-in.
#include "RefFiles.h"
#include "SimProcess.h"
#include "TestEnv.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QHash>

#include <gtest/gtest.h>

#include <ostream>

// Readable failure output for Qt texts (lists of them print element by element).
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QByteArray& b, std::ostream* os)
{
    *os << '"' << QString::fromUtf8(b.toPercentEncoding(" ,;:/.@")).toStdString() << '"';
}

namespace reftest {

using namespace Qt::StringLiterals;

// What the simulated handset holds, from state.dat of its state folder: magic, items, both PRLs,
// software version directory.
struct SSimState
{
    bool bRead = false;
    QHash<quint32, QByteArray> items;
    QByteArray prl[2];
    QString strSwVersion;

    // An NV item (per-NAM items under their NAM index), empty when never written.
    QByteArray Item(quint16 item, quint8 nam = 0) const
    {
        return items.value(item | (static_cast<quint32>(nam) << 16));
    }
    quint16 PrlId(int nam) const
    {
        const QByteArray& p = prl[nam & 1];
        return p.size() < 4 ? 0 : static_cast<quint16>((quint8(p[2]) << 8) | quint8(p[3]));
    }
};

inline SSimState ReadSimState(const QString& folder)
{
    SSimState s;
    QFile f(folder + u"/state.dat"_s);
    if (!f.open(QIODevice::ReadOnly))
        return s;
    QDataStream in(&f);
    quint32 magic = 0;
    in >> magic >> s.items >> s.prl[0] >> s.prl[1] >> s.strSwVersion;
    s.bRead = in.status() == QDataStream::Ok && magic == 0x51505853;
    return s;
}

class CRefSimTest : public ::testing::Test
{
protected:
    CRefSimTest()
    {
        QDir().mkpath(m_install + u"MODEL"_s);
        QFile::copy(QStringLiteral(QPX_REF_PLUGIN), m_dll);
        qpxtest::WriteFile(m_profile, "sw_version_dir=VKQ100A1\n");
    }

    // Starts the simulator with the profile and the state folder; on m_nPort, named like a
    // handset's modem, when that is set. more: further options (faults).
    bool StartSim(const QStringList& more = {})
    {
        QStringList args{u"--profile"_s, m_profile, u"--state"_s, m_state, u"--reset-ms"_s, u"100"_s};
        if (m_nPort > 0)
            args << u"--port"_s << QString::number(m_nPort) << u"--name"_s << u"CDMA USB Modem"_s;
        return m_sim.Start(args + more);
    }

    // A file on the handset's file system.
    QString Efs(const QString& handsetPath) const { return m_state + u"/efs/"_s + handsetPath; }
    // A file of the test's own folder.
    QString InputFile(const QString& name, const QByteArray& data) const
    {
        const QString path = m_files + u'/' + name;
        EXPECT_TRUE(qpxtest::WriteFile(path, data));
        return path;
    }

    int m_nPort = -1;
    QString m_install = qpxtest::MakeTempDir(u"install"_s) + u'/';
    QString m_dll = m_install + u"MODEL/reference.so"_s;
    QString m_files = qpxtest::MakeTempDir(u"files"_s);
    QString m_state = qpxtest::MakeTempDir(u"state"_s);
    QString m_profile = qpxtest::MakeTempDir(u"profile"_s) + u"/handset.txt"_s;
    CSimProcess m_sim;
};

} // namespace reftest
