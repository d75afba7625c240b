#include "app/Unit1.h"
#include "platform/posix/PosixBackend.h"
#include "settings/RichText.h"
#include "sources/KZIntDet.h"
#include "tests/app/Unit1TrayFixture.h"
#include "tests/support/NetnsTestMain.h"
#include "tests/support/TunLink.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSettings>

namespace pulo {
namespace {

class Unit1LinkTest : public test::Unit1TrayTest
{
protected:
    void SetUp() override
    {
        PULO_NEEDS_NETWORK_NAMESPACE();
        Unit1TrayTest::SetUp();
        ASSERT_TRUE(PidFolder.isValid());
        // Real links, simulated clock, sound and settings folder.
        auto posix = win::posix::MakePosixBackend(PidFolder.path().toStdString());
        win::InstalledBackend().Ras = std::move(posix->Ras);
        win::InstalledBackend().IpHelper = std::move(posix->IpHelper);
    }

    QTemporaryDir PidFolder;
};

TEST_F(Unit1LinkTest, APppLinkComingUpAndGoingAwayIsOneConnection)
{
    Sim->SetNow(2026, 12, 7, 9, 0, 0);
    TForm1 form(Services());
    auto link = std::make_unique<test::TunLink>("ppp0");
    ASSERT_TRUE(link->Valid());
    ASSERT_TRUE(link->SetUp(true));
    form.KZInternetDetect1->Poll();
    EXPECT_FALSE(form.IsOnline()) << "no address yet";

    ASSERT_TRUE(link->SetAddress("10.64.3.7", "10.64.0.1"));
    form.KZInternetDetect1->Poll();
    EXPECT_EQ(form.Label1b->text(), QStringLiteral("      Connected"));
    EXPECT_EQ(form.Label2b->text(), QStringLiteral("10.64.3.7"));

    Sim->SetNow(2026, 12, 7, 9, 42, 0);
    link.reset();
    form.KZInternetDetect1->Poll();
    EXPECT_EQ(form.Label1b->text(), QStringLiteral("      Not connected"));
    const QSettings ini(IniPath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Stats/TotCon").toString(), "1");
    EXPECT_EQ(ini.value("Stats/TotTime").toString(), "2520");
    ASSERT_EQ(Sim->SoundCalls.size(), 2U);
    EXPECT_EQ(Sim->SoundCalls[1].Name, "DefaultDiscon.wav");
}

TEST_F(Unit1LinkTest, ADialledLinkIsNamedAndCountedWhenTheProgramEndsRightAfterHangUp)
{
    QProcess pppd;
    pppd.start(QStringLiteral(STANDIN_PPPD), {"call", "myisp", "nodetach", "/dev/ttyS1", "piddir", PidFolder.path(),
                                              "ifname", "ppp6", "local", "10.64.6.2"});
    ASSERT_TRUE(pppd.waitForStarted());
    QByteArray said;
    while (!said.contains("ready\n") && pppd.waitForReadyRead(5000))
        said += pppd.readAllStandardOutput();
    ASSERT_TRUE(said.contains("ready\n")) << said.toStdString();

    TForm1 form(Services());
    form.KZInternetDetect1->Poll();
    ASSERT_EQ(form.Label2b->text(), QStringLiteral("10.64.6.2"));
    EXPECT_EQ(form.Label7b->text(), QStringLiteral("/dev/ttyS1"));
    EXPECT_EQ(form.ActiveEntryName, QStringLiteral("myisp"));

    Sim->SetNow(2026, 12, 7, 12, 5, 0);
    form.BitBtn1->click(); // pppd ends; the program ends before the detector has seen it
    EXPECT_TRUE(pppd.waitForFinished(5000));
    form.Exit1->trigger();
    const QSettings ini(IniPath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Stats/TotCon").toString(), "1");
    QFile log(Folder->filePath("pulopro.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ReadRichText(log.readAll()).value(0).endsWith(QStringLiteral(" \u2022 myisp")));
}

} // namespace
} // namespace pulo
