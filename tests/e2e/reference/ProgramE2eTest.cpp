// The real program with the reference plug-in in its MODEL folder and the simulator on a virtual
// port: the plug-in is chosen for the handset, a PRL read from the upgrade page ends in "Download
// Success!" with the files written, and a damaged PRL file ends in the plug-in's own message.
// ModemManager, present on the (private) system bus, is asked to leave the handset alone for each
// operation.
#include "FakeModemManager.h"
#include "RefHarness.h"
#include "app/MainFrame.h"
#include "app/PageHost.h"
#include "core/AppSettings.h"
#include "handset/ConnectionStrip.h"
#include "pages/UpgradePage.h"
#include "platform/Dialogs.h"
#include "platform/HostCommands.h"
#include "platform/VirtualPorts.h"
#include "serial/PrlImage.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr int SIM_PORT = 29;

using qpxtest::PumpUntil;

class ProgramE2e : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Dialogs::SetTestMode(true);
        Dialogs::ClearRecords();
        theSettings.Reset();
        CPluginRun::SetReleaseWaitMs(20);
        m_install = qpxtest::MakeTempDir(QStringLiteral("install")) + QLatin1Char('/');
        theSettings.m_strInstallDir = m_install;
        QDir().mkpath(m_install + QStringLiteral("MODEL"));
        m_dll = m_install + QStringLiteral("MODEL/reference.so");
        ASSERT_TRUE(QFile::copy(QStringLiteral(QPX_REF_PLUGIN), m_dll));
        QDir(VirtualPortFolder()).removeRecursively();
        ASSERT_TRUE(EnsureVirtualPortFolder());
        ASSERT_TRUE(m_sim.Start(RefSimArgs(qpxtest::MakeTempDir(QStringLiteral("state")),
                                           {QStringLiteral("--port"), QString::number(SIM_PORT),
                                            QStringLiteral("--name"), QStringLiteral("CDMA USB Modem")})));
        m_frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(m_frame->Create());
        m_pHost = m_frame->PageHost();
        m_pPage = m_pHost->UpgradePage();
    }
    void TearDown() override
    {
        m_frame.reset();
        m_sim.Stop();
        theSettings.Reset();
        Dialogs::ClearRecords();
    }
    bool Connected() const
    {
        return theSettings.Get(&CAppSettings::m_strDllFile) == m_dll && m_pHost->Strip()->IsLinkRunning() &&
               theSettings.m_nPortNum == SIM_PORT;
    }
    template <typename T> T* Get(const char* name) const
    {
        return m_pPage->findChild<T*>(QString::fromLatin1(name));
    }

    QString m_install, m_dll;
    CSimProcess m_sim;
    std::unique_ptr<CMainFrame> m_frame;
    CPageHost* m_pHost = nullptr;
    CUpgradePage* m_pPage = nullptr;
};

TEST_F(ProgramE2e, PrlReadAndARefusedWriteFromTheUpgradePage)
{
    CPrivateBus bus;
    ASSERT_TRUE(bus.Start());
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus.Address().toLocal8Bit());
    CFakeModemManager mm(bus.Address());
    ASSERT_TRUE(mm.Register());
    const QString uid = QStringLiteral("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-4");
    mm.AddModem(uid, {m_sim.Pty().mid(5)}); // "pts/N", the way it names ttys

    ASSERT_TRUE(PumpUntil([&] { return Connected(); }, 20000)) << "the reference plug-in was not chosen";
    m_pHost->OnHostCommand(HC_PRL, 0);
    ASSERT_TRUE(PumpUntil([&] { return m_pPage->IsStartEnabled(); }, 20000));
    ASSERT_NE(Get<QRadioButton>("readRadio"), nullptr);
    Get<QRadioButton>("readRadio")->click();
    Dialogs::SetNextFolder(m_install + QStringLiteral("reads"));
    QDir().mkpath(m_install + QStringLiteral("reads"));
    Dialogs::SetNextAnswer(IDYES);
    Get<QPushButton>("startButton")->click();
    ASSERT_TRUE(PumpUntil([] { return theSettings.m_bBusy == 0; }, 20000));
    ASSERT_FALSE(Dialogs::Shown().isEmpty());
    EXPECT_EQ(Dialogs::Shown().constLast().strText, QStringLiteral("Download Success!"));
    const QStringList reads = QDir(m_install + QStringLiteral("reads")).entryList(QDir::Files);
    ASSERT_FALSE(reads.isEmpty());
    EXPECT_EQ(prl::Check(qpxtest::ReadFile(m_install + QStringLiteral("reads/") + reads.first())),
              prl::PRL_OK);
    EXPECT_EQ(mm.Calls(), (QStringList{uid + QStringLiteral(" on"), uid + QStringLiteral(" off")}));

    // The program takes the handset back; a damaged file is refused with the plug-in's words.
    ASSERT_TRUE(PumpUntil([&] { return Connected() && m_pPage->IsStartEnabled(); }, 20000));
    const QString bad = m_install + QStringLiteral("bad.prl");
    qpxtest::WriteFile(bad, QByteArray(40, '\x01'));
    Get<QRadioButton>("writeRadio")->click();
    Get<QLineEdit>("prlPathEdit")->setText(bad);
    Dialogs::SetNextAnswer(IDYES);
    Get<QPushButton>("startButton")->click();
    ASSERT_TRUE(PumpUntil([] { return theSettings.m_bBusy == 0; }, 20000));
    ASSERT_FALSE(Dialogs::Shown().isEmpty());
    EXPECT_TRUE(Dialogs::Shown().constLast().strText.contains(QStringLiteral("PRL file is damaged")))
        << Dialogs::Shown().constLast().strText.toStdString();
    EXPECT_EQ(mm.Calls().size(), 4);
}

} // namespace
