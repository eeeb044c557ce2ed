#include "TestEnv.h"
#include "core/AppSettings.h"
#include "platform/Registry.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Strings are trimmed and read empty when longer than 255; numbers of any other shape read -1; the
// user's value wins over the machine's; a malformed file reads as defaults.
TEST(SettingsTest, LoadRules)
{
    const QString machineFile = qEnvironmentVariable("XDG_CONFIG_DIRS") + u"/KOVA/QPX.conf"_s;
    const struct
    {
        QByteArray user, machine;
        const char* loaded; // the values Load reads, "|" between them
    } cases[] = {
        {"[General]\nLOCATE_DIRECTORY=/opt/qpx/\n", {}, "/opt/qpx/||||0|-1|-1|-1|-1|-1"},
        {"[General]\nLAST_BIN_FILE=\"  /data/fw.bin  \"\nLAST_SCR_FILE=" + QByteArray(256, 'a') +
             "\nLAST_PRL_FILE=" + QByteArray(255, 'b') + "\n",
         {},
         "||/data/fw.bin||255|-1|-1|-1|-1|-1"},
        {"[General]\nLAST_DIRECTION=abc\nLAST_SELECTNAM=4294967295\nLAST_PORTNUM=7\n"
         "LAST_OPERATION=99999999999\nLAST_WINDOW_POSITION_X=-20\n",
         {},
         "||||0|-1|-1|7|-1|-20"},
        {"[General]\nLOCATE_DIRECTORY=/user/\n", "[General]\nLOCATE_DIRECTORY=/machine/\nLAST_PORTNUM=3\n",
         "/user/||||0|-1|-1|3|-1|-1"},
        {QByteArray("\x00\xff[[[General\n=\n\x01garbage", 24), {}, "||||0|-1|-1|-1|-1|-1"},
    };
    for (const auto& c : cases) {
        theSettings.Reset();
        qpxtest::FuzzSeed("settings_store", c.user);
        ASSERT_TRUE(qpxtest::WriteFile(RegUserFilePath(), c.user) &&
                    (c.machine.isEmpty() || qpxtest::WriteFile(machineFile, c.machine)));
        theSettings.Load();
        QFile::remove(machineFile);
        const auto& s = theSettings;
        EXPECT_EQ(
            (QStringList{s.m_strInstallDir, s.m_strDllFile, s.m_strLastBinFile, s.m_strLastScrFile,
                         QString::number(s.m_strLastPrlFile.size()), QString::number(s.m_nLastDirection),
                         QString::number(s.m_nLastSelectNam), QString::number(s.m_nPortNum.load()),
                         QString::number(s.m_nLastOperation), QString::number(s.m_nLastWindowX)}),
            QString::fromLatin1(c.loaded).split(QLatin1Char('|')))
            << c.user.constData();
    }
    QFile::remove(RegUserFilePath());
    theSettings.Reset();
}

} // namespace
