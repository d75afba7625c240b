#include "app/Unit1.h"
#include "platform/posix/PosixBackend.h"
#include "sources/KZIntDet.h"
#include "tests/app/Unit1TrayFixture.h"
#include "tests/support/NetnsTestMain.h"
#include "tests/support/TunLink.h"

#include <QLabel>
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

} // namespace
} // namespace pulo
