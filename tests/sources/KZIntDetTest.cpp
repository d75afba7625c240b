#include "sources/KZIntDet.h"

#include "platform/Ras.h"
#include "tests/support/SimPlatformTest.h"

#include <QTimer>

namespace pulo {
namespace {

class KZIntDetTest : public test::SimPlatformTest
{
protected:
    void Attach(TKZInternetDetect& detector)
    {
        detector.OnConnect = [&](QObject* sender) {
            EXPECT_EQ(sender, detector.PollTimer());
            Events << QStringLiteral("connect ") + detector.IP() + (detector.Connected() ? "" : " (stale)");
        };
        detector.OnDisconnect = [&](QObject* sender) {
            EXPECT_EQ(sender, detector.PollTimer());
            Events << QStringLiteral("disconnect ") + detector.IP() + (detector.Connected() ? " (stale)" : "");
        };
    }
    QStringList Events;
};

TEST_F(KZIntDetTest, StartsOfflineWithTheLoopbackAddressAndPollsEverySecond)
{
    TKZInternetDetect detector;
    EXPECT_FALSE(detector.Connected());
    EXPECT_EQ(detector.IP(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(detector.CheckInterval(), 1000);
    EXPECT_EQ(detector.PollTimer()->interval(), 1000);
    EXPECT_TRUE(detector.PollTimer()->isActive());
}

TEST_F(KZIntDetTest, ReportsEachChangeOnceWithTheNewState)
{
    const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
    TKZInternetDetect detector;
    Attach(detector);

    detector.Poll(); // a line already up at start
    detector.Poll();
    Sim->FindLine(line)->Address = "10.64.0.9"; // a new address without going offline
    detector.Poll();
    EXPECT_EQ(detector.IP(), QStringLiteral("10.64.0.9"));
    Sim->DropLine(line);
    detector.Poll();
    detector.Poll();
    EXPECT_EQ(Events, (QStringList{"connect 10.64.0.2", "disconnect "}));
    EXPECT_EQ(detector.IP(), QString()) << "empty after a disconnect, not the loopback address";
}

TEST_F(KZIntDetTest, AddressesThatDoNotCountAsOnline)
{
    const struct
    {
        const char* Name;
        const char* Address;
        bool Online;
    } cases[] = {
        {"still negotiating", "", false}, {"loopback", "127.0.0.1", false},      {"a single blank", " ", false},
        {"two blanks", "  ", true},       {"a real address", "192.0.2.7", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Sim->Lines.clear();
        Sim->AddLine("My ISP", c.Address);
        TKZInternetDetect detector;
        detector.Poll();
        EXPECT_EQ(detector.Connected(), c.Online);
        EXPECT_EQ(detector.IP(), QString::fromLatin1(c.Address));
    }
}

TEST_F(KZIntDetTest, NegotiatingLineConnectsOnceItHasAnAddress)
{
    const win::HRASCONN line = Sim->AddLine("My ISP", "");
    TKZInternetDetect detector;
    Attach(detector);
    detector.Poll();
    EXPECT_TRUE(Events.isEmpty());
    Sim->FindLine(line)->Address = "10.0.0.1";
    detector.Poll();
    EXPECT_EQ(Events, QStringList{"connect 10.0.0.1"});
}

TEST_F(KZIntDetTest, WritingConnectedFalseRaisesConnectAgain)
{
    Sim->AddLine("My ISP", "10.0.0.1");
    TKZInternetDetect detector;
    Attach(detector);
    detector.Poll();
    detector.SetConnected(false);
    detector.Poll();
    EXPECT_EQ(Events, (QStringList{"connect 10.0.0.1", "connect 10.0.0.1"}));
}

TEST_F(KZIntDetTest, FirstOfSeveralConnectionsDecides)
{
    Sim->AddLine("My ISP", "10.0.0.1");
    TKZInternetDetect detector;
    Attach(detector);
    detector.Poll();
    const win::HRASCONN vpn = Sim->AddLine("Office VPN", "172.16.5.5");
    Sim->AddLine("Third", "");
    detector.Poll();
    detector.Poll();
    EXPECT_EQ(Events, QStringList{"connect 10.0.0.1"}) << "a VPN over the line keeps the line online";
    EXPECT_EQ(detector.IP(), QStringLiteral("10.0.0.1"));

    // The line ends while the VPN stays: the line's connection ends, and the VPN's begins.
    Sim->Lines.erase(Sim->Lines.begin());
    detector.Poll();
    EXPECT_EQ(detector.IP(), QStringLiteral("172.16.5.5"));
    EXPECT_EQ(detector.Handle(), vpn);
    Sim->DropLine(vpn);
    detector.Poll();
    EXPECT_EQ(Events, (QStringList{"connect 10.0.0.1", "disconnect ", "connect 172.16.5.5", "disconnect "}));
}

TEST_F(KZIntDetTest, MissingConnectionLibraryMeansOffline)
{
    Sim->AddLine("My ISP", "10.0.0.1");
    win::sim::SetRasLibraryPresent(*Sim, false);
    TKZInternetDetect detector;
    detector.Poll();
    EXPECT_FALSE(detector.Connected());
    EXPECT_EQ(detector.IP(), QString());
}

TEST_F(KZIntDetTest, ConnectionCallsKeepTheirRecordRules)
{
    Sim->AddLine("My ISP", "10.0.0.1");
    Sim->AddLine("Office VPN", "");
    win::RASCONNA records[2]{};
    win::DWORD size = sizeof(win::RASCONNA);
    win::DWORD count = 0;
    EXPECT_EQ(win::RasEnumConnectionsA(records, &size, &count), win::ERROR_INVALID_SIZE);
    records[0].dwSize = sizeof(win::RASCONNA);
    EXPECT_EQ(win::RasEnumConnectionsA(records, &size, &count), win::ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, 2 * sizeof(win::RASCONNA));
    EXPECT_EQ(count, 2U);
    EXPECT_EQ(win::RasEnumConnectionsA(records, &size, &count), win::ERROR_SUCCESS);
    EXPECT_STREQ(records[1].szEntryName, "Office VPN");

    win::RASPPPIPA ip{};
    win::DWORD ipSize = sizeof ip;
    EXPECT_EQ(win::RasGetProjectionInfoA(records[0].hrasconn, win::RASP_PppIp, &ip, &ipSize), win::ERROR_INVALID_SIZE);
    ip.dwSize = sizeof ip;
    EXPECT_EQ(win::RasGetProjectionInfoA(records[1].hrasconn, win::RASP_PppIp, &ip, &ipSize),
              win::ERROR_PROJECTION_NOT_COMPLETE);

    win::RASCONNSTATUSA status{};
    status.dwSize = sizeof status;
    EXPECT_EQ(win::RasGetConnectStatusA(records[0].hrasconn, &status), win::ERROR_SUCCESS);
    EXPECT_EQ(status.rasconnstate, win::RASCS_Connected);
    EXPECT_EQ(win::RasHangUpA(records[0].hrasconn), win::ERROR_SUCCESS);
    EXPECT_EQ(win::RasGetConnectStatusA(records[0].hrasconn, &status), win::ERROR_INVALID_HANDLE);
}

} // namespace
} // namespace pulo
