#include "TestEnv.h"
#include "core/AppSettings.h"
#include "platform/Registry.h"

#include <QFile>
#include <QSettings>
#include <gtest/gtest.h>

namespace {

class SettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QFile::remove(RegUserFilePath());
        QFile::remove(MachineFile());
        theSettings.Reset();
    }
    void TearDown() override
    {
        QFile::remove(RegUserFilePath());
        QFile::remove(MachineFile());
        theSettings.Reset();
    }
    static QString MachineFile()
    {
        return qEnvironmentVariable("XDG_CONFIG_DIRS") + QStringLiteral("/KOVA/QPX.conf");
    }
    static void WriteUser(const QByteArray& ini)
    {
        qpxtest::FuzzSeed("settings_store", ini);
        ASSERT_TRUE(qpxtest::WriteFile(RegUserFilePath(), ini));
    }
};

TEST_F(SettingsTest, FirstRunWithOnlyTheInstallFolderGivesDefaults)
{
    WriteUser("[General]\nLOCATE_DIRECTORY=/opt/qpx/\n");
    theSettings.Load();
    EXPECT_EQ(theSettings.m_strInstallDir, QStringLiteral("/opt/qpx/"));
    EXPECT_TRUE(theSettings.m_strDllFile.isEmpty());
    EXPECT_TRUE(theSettings.m_strLastBinFile.isEmpty());
    EXPECT_TRUE(theSettings.m_strLastCsvFile.isEmpty());
    EXPECT_EQ(theSettings.m_nLastDirection, -1);
    EXPECT_EQ(theSettings.m_nLastSelectNam, -1);
    EXPECT_EQ(theSettings.m_nPortNum.load(), -1);
    EXPECT_EQ(theSettings.m_nLastOperation, -1);
    EXPECT_EQ(theSettings.m_nLastWindowX, -1);
    EXPECT_EQ(theSettings.m_nLastWindowY, -1);
}

TEST_F(SettingsTest, StringsAreTrimmedAndLongOnesReadEmpty)
{
    const QByteArray longValue(256, 'a');
    const QByteArray justFits(255, 'b');
    WriteUser("[General]\nLAST_BIN_FILE=\"  /data/fw.bin  \"\nLAST_SCR_FILE=" + longValue +
              "\nLAST_PRL_FILE=" + justFits + "\n");
    theSettings.Load();
    EXPECT_EQ(theSettings.m_strLastBinFile, QStringLiteral("/data/fw.bin"));
    EXPECT_TRUE(theSettings.m_strLastScrFile.isEmpty());
    EXPECT_EQ(theSettings.m_strLastPrlFile.size(), 255);
}

TEST_F(SettingsTest, NumbersOfOtherShapesReadAsMinusOne)
{
    WriteUser("[General]\nLAST_DIRECTION=abc\nLAST_SELECTNAM=4294967295\nLAST_PORTNUM=7\n"
              "LAST_OPERATION=99999999999\nLAST_WINDOW_POSITION_X=-20\n");
    theSettings.Load();
    EXPECT_EQ(theSettings.m_nLastDirection, -1);
    EXPECT_EQ(theSettings.m_nLastSelectNam, -1);
    EXPECT_EQ(theSettings.m_nPortNum.load(), 7);
    EXPECT_EQ(theSettings.m_nLastOperation, -1);
    EXPECT_EQ(theSettings.m_nLastWindowX, -20);
}

TEST_F(SettingsTest, SaveWritesTwelveValuesAndNeverTheInstallFolder)
{
    ASSERT_TRUE(qpxtest::WriteFile(MachineFile(), "[General]\nLOCATE_DIRECTORY=/machine/qpx/\n"));
    theSettings.Load();
    EXPECT_EQ(theSettings.m_strInstallDir, QStringLiteral("/machine/qpx/"));
    theSettings.m_strDllFile = QStringLiteral("N/A");
    theSettings.m_nLastDirection = 1;
    theSettings.Save();

    QSettings written(RegUserFilePath(), QSettings::IniFormat);
    const QStringList keys = written.allKeys();
    EXPECT_EQ(keys.size(), 12) << keys.join(QLatin1Char(',')).toStdString();
    EXPECT_FALSE(keys.contains(QStringLiteral("LOCATE_DIRECTORY")));
    EXPECT_EQ(written.value(QStringLiteral("LAST_DLL_FILE")).toString(), QStringLiteral("N/A"));
    EXPECT_EQ(written.value(QStringLiteral("LAST_OPERATION")).toInt(), -1);
    EXPECT_EQ(written.value(QStringLiteral("LAST_DIRECTION")).toInt(), 1);
}

TEST_F(SettingsTest, UserValueWinsOverMachineValue)
{
    ASSERT_TRUE(qpxtest::WriteFile(MachineFile(), "[General]\nLOCATE_DIRECTORY=/machine/\nLAST_PORTNUM=3\n"));
    WriteUser("[General]\nLOCATE_DIRECTORY=/user/\n");
    theSettings.Load();
    EXPECT_EQ(theSettings.m_strInstallDir, QStringLiteral("/user/"));
    EXPECT_EQ(theSettings.m_nPortNum.load(), 3);
}

TEST_F(SettingsTest, MalformedOrUnwritableFileIsHarmless)
{
    WriteUser(QByteArray("\x00\xff[[[General\n=\n\x01garbage", 24));
    theSettings.Load();
    EXPECT_EQ(theSettings.m_nLastWindowX, -1);
    EXPECT_TRUE(theSettings.m_strInstallDir.isEmpty());

    WriteUser("[General]\nLAST_PORTNUM=5\n");
    QFile::setPermissions(RegUserFilePath(), QFileDevice::ReadOwner);
    theSettings.Load();
    theSettings.m_nLastDirection = 0;
    theSettings.Save(); // must not throw or hang
    QFile::setPermissions(RegUserFilePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(theSettings.m_nPortNum.load(), 5);
}

TEST_F(SettingsTest, RoundTripKeepsBlanksInsidePaths)
{
    theSettings.m_strLastCsvFile = QStringLiteral("/home/u/My Phone/book.csv");
    theSettings.m_nLastWindowY = 123;
    theSettings.Save();
    theSettings.Reset();
    theSettings.Load();
    EXPECT_EQ(theSettings.m_strLastCsvFile, QStringLiteral("/home/u/My Phone/book.csv"));
    EXPECT_EQ(theSettings.m_nLastWindowY, 123);
}

} // namespace
