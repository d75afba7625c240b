// NetworkManager's lines through the connection calls: its service on a bus of the test's own
// (python3-dbusmock), the lines' interfaces real tun links in the test's network namespace.

#include "platform/Ras.h"
#include "platform/posix/PosixRas.h"
#include "tests/support/NetnsTestMain.h"
#include "tests/support/NmService.h"
#include "tests/support/TunLink.h"

#include <QDBusVariant>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

namespace pulo {
namespace {

using test::LinkTypeNone;
using test::TunLink;
using win::DWORD;
using win::RASCONNSTATE;

constexpr unsigned DeviceModem = 8;
constexpr unsigned DeviceWifi = 2;

struct Told
{
    std::mutex Lock;
    std::vector<RASCONNSTATE> States;
    DWORD Error = 0;
    bool Ended = false;

    win::IRasService::DialNotify Notify()
    {
        return [this](RASCONNSTATE state, DWORD error) {
            const std::lock_guard lock(Lock);
            if (error != 0) {
                Error = error;
                Ended = true;
            } else {
                States.push_back(state);
                Ended = Ended || state == win::RASCS_Connected;
            }
        };
    }
    bool WaitForEnd()
    {
        return QTest::qWaitFor(
            [&] {
                const std::lock_guard lock(Lock);
                return Ended;
            },
            10000);
    }
};

class NetworkManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        PULO_NEEDS_NETWORK_NAMESPACE();
        if (const QString why = Nm.StartBus(); !why.isEmpty())
            GTEST_SKIP() << "skipped: " << why.toStdString();
        if (!Nm.StartService())
            GTEST_SKIP() << "skipped: python3-dbusmock is not installed";
        ASSERT_TRUE(Peers.isValid() && PidFolder.isValid());
        for (const char* peer : {"myisp", "Shared"}) {
            QFile file(Peers.filePath(QString::fromLatin1(peer)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        Modem = Nm.Mock("AddLineDevice", {QStringLiteral("modem0"), DeviceModem, QStringLiteral("ttyUSB2"),
                                          QStringLiteral("wwan0"), 0U, QStringLiteral("10.64.9.2")});
        Mobile = Nm.Mock("AddProfile", {QStringLiteral("Telco 4G"), QStringLiteral("gsm")});
        Nm.Mock("AddProfile", {QStringLiteral("Shared"), QStringLiteral("pppoe")});
        Nm.Mock("AddProfile", {QStringLiteral("Home"), QStringLiteral("802-11-wireless")});
    }

    std::unique_ptr<win::posix::PosixRas> MakeRas()
    {
        return std::make_unique<win::posix::PosixRas>(PidFolder.path().toStdString(), Peers.path().toStdString());
    }

    // Starts dialling the mobile profile in steps of this many milliseconds; returns once the
    // service has been asked.
    void StartDialling(win::posix::PosixRas& ras, Told& told, win::HRASCONN& handle, unsigned stepMs)
    {
        Nm.Mock("PlanActivation", {Mobile, stepMs, 0U});
        ASSERT_EQ(ras.Dial("Telco 4G", told.Notify(), handle), win::ERROR_SUCCESS);
        ASSERT_TRUE(QTest::qWaitFor([&] { return Nm.CallCount("ActivateConnection") >= 1; }, 5000));
    }

    // Dials the mobile profile to the end.
    void DialMobile(win::posix::PosixRas& ras, Told& told, win::HRASCONN& handle)
    {
        ASSERT_EQ(ras.Dial("Telco 4G", told.Notify(), handle), win::ERROR_SUCCESS);
        ASSERT_TRUE(told.WaitForEnd());
    }

    test::TNmService Nm;
    QTemporaryDir Peers;
    QTemporaryDir PidFolder;
    QString Modem;
    QString Mobile;
};

TEST_F(NetworkManagerTest, AMobileProfileIsAnEntryThatDialsHangsUpAndCountsUnderItsName)
{
    TunLink wwan("wwan0", LinkTypeNone);
    ASSERT_TRUE(wwan.Valid() && wwan.SetUp(true));
    auto ras = MakeRas();
    // Peers first by name; a profile of a peer's name is the peer; Wi-Fi profiles are no entries.
    EXPECT_EQ(ras->PhonebookEntries(), (std::vector<std::string>{"Shared", "Telco 4G", "myisp"}));

    Told told;
    win::HRASCONN dial = 0;
    DialMobile(*ras, told, dial);
    EXPECT_EQ(told.Error, 0U);
    EXPECT_EQ(told.States, (std::vector<RASCONNSTATE>{
                               win::RASCS_OpenPort, win::RASCS_PortOpened, win::RASCS_ConnectDevice,
                               win::RASCS_DeviceConnected, win::RASCS_AllDevicesConnected, win::RASCS_Authenticate,
                               win::RASCS_Authenticated, win::RASCS_Projected, win::RASCS_Connected}));

    ASSERT_TRUE(wwan.SetAddress("10.64.9.2", "10.64.0.1"));
    const auto& listed = ras->Connections();
    ASSERT_EQ(listed.size(), 1U);
    EXPECT_EQ(listed[0].Handle, static_cast<win::HRASCONN>(wwan.Index()));
    EXPECT_EQ(listed[0].EntryName, "Telco 4G");
    EXPECT_EQ(listed[0].DeviceType, "modem");
    EXPECT_EQ(listed[0].DeviceName, "Mobile broadband (ttyUSB2)");
    std::string address;
    EXPECT_EQ(ras->Address(listed[0].Handle, address), win::ERROR_SUCCESS);
    EXPECT_EQ(address, "10.64.9.2");

    // A refused hang-up is reported and the line stays; an allowed one takes it down.
    Nm.Mock("RefuseDeactivation", {true});
    EXPECT_EQ(ras->HangUp(listed[0].Handle), win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(ras->Connections().size(), 1U);
    Nm.Mock("RefuseDeactivation", {false});
    EXPECT_EQ(ras->HangUp(ras->Connections()[0].Handle), win::ERROR_SUCCESS);
    EXPECT_EQ(Nm.CallCount("DeactivateConnection"), 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ras->Connections().empty(); }, 5000));
}

TEST_F(NetworkManagerTest, ALineGoesOnWhileTheServiceRestarts)
{
    TunLink wwan("wwan0", LinkTypeNone);
    ASSERT_TRUE(wwan.Valid() && wwan.SetUp(true) && wwan.SetAddress("10.64.9.2", "10.64.0.1"));
    auto ras = MakeRas();
    Told told;
    win::HRASCONN dial = 0;
    DialMobile(*ras, told, dial);
    ASSERT_EQ(ras->Connections().size(), 1U);

    Nm.StopService();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ras->PhonebookEntries().size() == 2; }, 5000)) << "the stop is seen";
    EXPECT_EQ(ras->Connections().size(), 1U) << "one connection, not two halves";
    // Back without the line: it has ended.
    ASSERT_TRUE(Nm.StartService());
    EXPECT_TRUE(QTest::qWaitFor([&] { return ras->Connections().empty(); }, 5000));
}

TEST_F(NetworkManagerTest, AFailedDialEndsWithTheModemsReason)
{
    struct Case
    {
        unsigned Reason; // the device's NMDeviceStateReason
        DWORD Error;
    };
    const Case cases[] = {
        {25, 678},                            // no carrier
        {23, 676},                            // busy
        {45, win::ERROR_SIM_NOT_INSERTED},    //
        {46, win::ERROR_SIM_LOCKED},          // PIN needed
        {31, win::ERROR_REGISTRATION_DENIED}, //
        {7, 691},                             // no secrets given
    };
    auto ras = MakeRas();
    for (const Case& c : cases) {
        Nm.Mock("PlanActivation", {Mobile, 10U, c.Reason});
        Told told;
        win::HRASCONN dial = 0;
        DialMobile(*ras, told, dial);
        EXPECT_EQ(told.Error, c.Error) << "reason " << c.Reason;
        EXPECT_TRUE(QTest::qWaitFor([&] { return ras->Connections().empty(); }, 5000)) << "reason " << c.Reason;
    }
}

TEST_F(NetworkManagerTest, HangingUpADialInProgressCancelsTheActivation)
{
    auto ras = MakeRas();
    Told told;
    win::HRASCONN dial = 0;
    StartDialling(*ras, told, dial, 300);
    ASSERT_EQ(ras->Connections().size(), 1U) << "the dial is listed while it is in progress";
    EXPECT_EQ(ras->HangUp(dial), win::ERROR_SUCCESS);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Nm.CallCount("DeactivateConnection") == 1; }, 5000));
    EXPECT_TRUE(ras->Connections().empty());
}

TEST_F(NetworkManagerTest, AConnectionOnAMeteredDeviceCountsUnlessTurnedOff)
{
    struct Case
    {
        unsigned Metered; // NMMetered: 1 yes, 2 no, 3 guessed yes, 4 guessed no
        bool MeteredCounts;
        bool Counted;
    };
    // Each row turns the answer round, so a change not yet seen cannot pass for the right one.
    const Case cases[] = {
        {1, true, true}, {2, true, false}, {3, true, true}, {4, true, false}, {1, true, true}, {1, false, false},
    };
    TunLink wlan("wlan0", LinkTypeNone);
    ASSERT_TRUE(wlan.Valid() && wlan.SetUp(true) && wlan.SetAddress("192.168.43.20", "192.168.43.1"));
    const QString device = Nm.Mock("AddLineDevice", {QStringLiteral("wifi0"), DeviceWifi, QStringLiteral("wlan0"),
                                                     QStringLiteral("wlan0"), 1U, QStringLiteral("192.168.43.20")});
    const QString hotspot = Nm.Mock("AddProfile", {QStringLiteral("Phone hotspot"), QStringLiteral("802-11-wireless")});
    Nm.Mock("ActivateAt", {hotspot, device});
    auto ras = MakeRas();
    for (const Case& c : cases) {
        Nm.Mock("SetProperty", {device, QStringLiteral("org.freedesktop.NetworkManager.Device"),
                                QStringLiteral("Metered"), QVariant::fromValue(QDBusVariant(c.Metered))});
        ras->CountMetered(c.MeteredCounts);
        const auto counted = [&] {
            const auto& listed = ras->Connections();
            return listed.size() == 1 && listed[0].EntryName == "Phone hotspot" &&
                   listed[0].DeviceName == "Wi-Fi (wlan0)";
        };
        EXPECT_TRUE(QTest::qWaitFor([&] { return counted() == c.Counted; }, 5000))
            << "metered " << c.Metered << ", counted " << c.MeteredCounts;
    }
}

TEST_F(NetworkManagerTest, WithoutTheServiceOnlyThePeersRemainAndADialInProgressEnds)
{
    auto ras = MakeRas();
    Told told;
    win::HRASCONN dial = 0;
    StartDialling(*ras, told, dial, 2000);
    Nm.StopService();
    ASSERT_TRUE(told.WaitForEnd());
    EXPECT_EQ(told.Error, win::ERROR_NETWORK_SERVICE_STOPPED);
    EXPECT_EQ(ras->PhonebookEntries(), (std::vector<std::string>{"Shared", "myisp"}));
    EXPECT_EQ(ras->Dial("Telco 4G", told.Notify(), dial), win::ERROR_CANNOT_FIND_PHONEBOOK_ENTRY);
    EXPECT_TRUE(ras->Connections().empty());

    // Started again, it is followed again.
    ASSERT_TRUE(Nm.StartService());
    Nm.Mock("AddProfile", {QStringLiteral("Telco 4G"), QStringLiteral("gsm")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return ras->PhonebookEntries().size() == 3; }, 5000));
}

TEST(NetworkManagerAbsentTest, NoBusLeavesThePeersAlone)
{
    QTemporaryDir peers;
    QFile file(peers.filePath(QStringLiteral("myisp")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // The test environment points the system bus nowhere.
    win::posix::PosixRas ras("/nonexistent", peers.path().toStdString());
    EXPECT_EQ(ras.PhonebookEntries(), std::vector<std::string>{"myisp"});
    win::HRASCONN dial = 0;
    EXPECT_EQ(ras.Dial("Telco 4G", {}, dial), win::ERROR_CANNOT_FIND_PHONEBOOK_ENTRY);
}

TEST_F(NetworkManagerTest, TheDataSaverMarksALineMeteredInMemoryOnlyAndPutsItBack)
{
    // A Wi-Fi that is metered only by the user's plan, and a mobile line the modem says nothing
    // of: each marked and put back, the device following at once, the saved profile never written.
    TunLink wlan("wlan0", LinkTypeNone);
    TunLink wwan("wwan0", LinkTypeNone);
    ASSERT_TRUE(wlan.Valid() && wlan.SetUp(true) && wlan.SetAddress("192.168.7.20", "192.168.7.1"));
    ASSERT_TRUE(wwan.Valid() && wwan.SetUp(true) && wwan.SetAddress("10.64.9.2", "10.64.0.1"));
    const QString wifi = Nm.Mock("AddLineDevice", {QStringLiteral("wifi0"), DeviceWifi, QStringLiteral("wlan0"),
                                                   QStringLiteral("wlan0"), 4U, QStringLiteral("192.168.7.20")});
    const QString home = Nm.Mock("AddProfile", {QStringLiteral("Home plan"), QStringLiteral("802-11-wireless")});
    Nm.Mock("ActivateAt", {home, wifi});
    Nm.Mock("ActivateAt", {Mobile, Modem});
    auto ras = MakeRas();
    ras->CountLinks({"wlan0"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return ras->Connections().size() == 2; }, 5000));
    const struct
    {
        const char* Interface;
        QString Profile;
        QString Device;
        unsigned DeviceOwn; // what the device says when the profile does not
        const char* Secrets;
    } lines[] = {
        {"wlan0", home, wifi, 4, ""},
        {"wwan0", Mobile, Modem, 0, "password"},
    };
    for (const auto& line : lines) {
        const auto& listed = ras->Connections();
        const auto found = std::find_if(listed.begin(), listed.end(),
                                        [&](const win::RasLink& l) { return l.Interface == line.Interface; });
        ASSERT_NE(found, listed.end()) << line.Interface;
        const std::string profile = ras->MeteredProfile(found->Handle);
        ASSERT_FALSE(profile.empty()) << line.Interface;
        const auto facts = [&] { return Nm.Mock("ProfileFacts", {line.Profile}).toStdString(); };
        const auto deviceMetered = [&] { return Nm.Mock("DeviceMetered", {line.Device}).toStdString(); };
        int before = -1;
        ASSERT_EQ(ras->SetMetered(profile, win::MeteredYes, before), win::ERROR_SUCCESS) << line.Interface;
        EXPECT_EQ(before, win::MeteredUnknown);
        EXPECT_EQ(facts(), "metered=1 disk=0 writes=0 unsaved=True secrets=" + std::string(line.Secrets));
        EXPECT_EQ(deviceMetered(), "1") << line.Interface;
        ASSERT_EQ(ras->SetMetered(profile, before, before), win::ERROR_SUCCESS);
        EXPECT_EQ(before, win::MeteredYes);
        EXPECT_EQ(facts(), "metered=0 disk=0 writes=0 unsaved=True secrets=" + std::string(line.Secrets));
        EXPECT_EQ(deviceMetered(), std::to_string(line.DeviceOwn)) << line.Interface;
    }
    int before = -1;
    EXPECT_EQ(ras->SetMetered("9a1c0f0e-0000-4000-8000-000000000000", win::MeteredYes, before), win::ERROR_NOT_FOUND);
}

} // namespace
} // namespace pulo
