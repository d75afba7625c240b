#include "platform/Ras.h"
#include "platform/posix/Netlink.h"
#include "platform/posix/PosixBackend.h"
#include "sources/KZIntDet.h"
#include "sources/rascomp32.h"
#include "tests/support/NetnsTestMain.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TunLink.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <functional>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace pulo {
namespace {

using test::LinkTypeNone;
using test::TunLink;

class PosixRasTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        PULO_NEEDS_NETWORK_NAMESPACE();
        ASSERT_TRUE(PidFolder.isValid());
        win::InstallBackend(win::posix::MakePosixBackend(PidFolder.path().toStdString()));
    }

    std::vector<win::RASCONNA> Enumerate()
    {
        std::vector<win::RASCONNA> records(8);
        records[0].dwSize = sizeof(win::RASCONNA);
        win::DWORD size = static_cast<win::DWORD>(records.size() * sizeof(win::RASCONNA));
        win::DWORD count = 0;
        EXPECT_EQ(win::RasEnumConnectionsA(records.data(), &size, &count), win::ERROR_SUCCESS);
        records.resize(count);
        return records;
    }

    void Attach(TKZInternetDetect& detector)
    {
        detector.OnConnect = [&](QObject*) { Events << QStringLiteral("connect ") + detector.IP(); };
        detector.OnDisconnect = [&](QObject*) { Events << QStringLiteral("disconnect ") + detector.IP(); };
    }

    static std::unique_ptr<TunLink> Link(const std::string& name, unsigned type, const char* local = nullptr)
    {
        auto link = std::make_unique<TunLink>(name, type);
        EXPECT_TRUE(link->Valid()) << name;
        EXPECT_TRUE(link->SetUp(true)) << name;
        if (local != nullptr) {
            EXPECT_TRUE(link->SetAddress(local, "10.99.99.99")) << name;
        }
        return link;
    }

    QTemporaryDir PidFolder;
    QStringList Events;
};

TEST_F(PosixRasTest, PppLinkIsNoticedWithItsAddressWithinOnePoll)
{
    TKZInternetDetect detector;
    Attach(detector);
    detector.Poll();

    auto link = Link("ppp0", test::LinkTypePpp);
    detector.Poll();
    EXPECT_FALSE(detector.Connected()) << "no address yet: still negotiating";
    const auto negotiating = Enumerate();
    ASSERT_EQ(negotiating.size(), 1U);
    win::RASCONNSTATUSA status{};
    status.dwSize = sizeof status;
    ASSERT_EQ(win::RasGetConnectStatusA(negotiating[0].hrasconn, &status), win::ERROR_SUCCESS);
    EXPECT_NE(status.rasconnstate, win::RASCS_Connected);

    ASSERT_TRUE(link->SetAddress("10.64.0.2", "10.64.0.1"));
    detector.Poll();
    ASSERT_TRUE(win::RasGetConnectStatusA(negotiating[0].hrasconn, &status) == win::ERROR_SUCCESS);
    EXPECT_EQ(status.rasconnstate, win::RASCS_Connected);
    const auto up = Enumerate();
    ASSERT_EQ(up.size(), 1U);
    EXPECT_EQ(up[0].hrasconn, static_cast<win::HRASCONN>(link->Index()));
    EXPECT_STREQ(up[0].szEntryName, "ppp0");
    EXPECT_STREQ(up[0].szDeviceName, "ppp0");

    ASSERT_TRUE(link->SetAddress("10.64.0.3", "10.64.0.1")); // a new address without going offline
    detector.Poll();
    EXPECT_EQ(detector.IP(), QStringLiteral("10.64.0.3"));

    const win::HRASCONN handle = up[0].hrasconn;
    link.reset();
    detector.Poll();
    EXPECT_EQ(Events, (QStringList{"connect 10.64.0.2", "disconnect "}));
    EXPECT_EQ(win::RasGetConnectStatusA(handle, &status), win::ERROR_INVALID_HANDLE);
    EXPECT_EQ(win::RasHangUpA(handle), win::ERROR_INVALID_HANDLE);
}

TEST_F(PosixRasTest, DialUpLinksCountAndOtherLinksOnlyWhenListed)
{
    auto down = std::make_unique<TunLink>("ppp5");
    ASSERT_TRUE(down->Valid());
    auto vpn = Link("wg-office", LinkTypeNone, "172.16.0.2");
    auto noAddress = Link("wwan0", LinkTypeNone);
    auto dialup = Link("ppp1", test::LinkTypePpp);
    const struct
    {
        std::vector<std::string> Patterns;
        std::vector<std::string> Expected;
    } cases[] = {
        {{}, {"ppp1"}},
        {{"wg-*"}, {"wg-office", "ppp1"}},
        {{"wg-offic?", "wwan*"}, {"wg-office", "ppp1"}}, // wwan0 is up but has no address
        {{"wg"}, {"ppp1"}},
    };
    for (const auto& c : cases) {
        win::InstalledBackend().Ras->CountLinks(c.Patterns);
        std::vector<std::string> names;
        for (const auto& record : Enumerate())
            names.emplace_back(record.szEntryName);
        std::sort(names.begin(), names.end(), std::greater<>());
        EXPECT_EQ(names, c.Expected) << (c.Patterns.empty() ? "" : c.Patterns[0]);
    }
}

TEST_F(PosixRasTest, ALinkWithANotificationOverSixteenKilobytesIsSeen)
{
    auto link = std::make_unique<TunLink>("ppp6");
    ASSERT_TRUE(link->Valid());
    EXPECT_TRUE(Enumerate().empty());
    // Many alternative names make every notification about the link larger than 16 KiB.
    for (int i = 0; i < 180; ++i) {
        const std::string name = "n" + std::to_string(1000 + i) + std::string(110, 'x');
        ASSERT_TRUE(test::RunCommand({"ip", "link", "property", "add", "dev", "ppp6", "altname", name}));
    }
    EXPECT_TRUE(Enumerate().empty());
    ASSERT_TRUE(link->SetUp(true)); // one large notification says it is up
    const auto links = Enumerate();
    ASSERT_EQ(links.size(), 1U);
    EXPECT_STREQ(links[0].szEntryName, "ppp6");
}

TEST_F(PosixRasTest, StatisticsFollowTheLinksOwnCounters)
{
    auto link = Link("ppp0", test::LinkTypePpp, "10.64.0.2");
    TRAS ras;
    ASSERT_TRUE(ras.RasAvailable());
    ASSERT_TRUE(ras.SetStatsActive(true, true));
    // Known traffic out through the link: datagrams to its peer.
    const int sender = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(sender, 0);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(9);
    inet_pton(AF_INET, "10.99.99.99", &peer.sin_addr);
    const std::vector<char> payload(1000, 'x');
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(sendto(sender, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&peer), sizeof peer),
                  1000);
    close(sender);
    EXPECT_GE(link->TakeSent(), 20 * 1028);
    // And 5 packets of 600 bytes in from the far end.
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(link->Receive(test::Ipv4Packet(600)));

    ASSERT_TRUE(ras.GetStats());
    std::vector<win::posix::NetCounters> counters;
    ASSERT_TRUE(win::posix::DumpCounters(counters));
    const auto own =
        std::find_if(counters.begin(), counters.end(), [&](const auto& c) { return c.Index == link->Index(); });
    ASSERT_NE(own, counters.end());
    EXPECT_GE(own->TxBytes, 20U * 1028U);
    EXPECT_EQ(own->RxBytes, 3000U);
    EXPECT_EQ(static_cast<unsigned long long>(ras.StatsXmit), own->TxBytes);
    EXPECT_EQ(static_cast<unsigned long long>(ras.StatsRecv), own->RxBytes);
}

TEST_F(PosixRasTest, FirstOfTwoLinksDecides)
{
    auto dialup = Link("ppp0", test::LinkTypePpp, "10.64.0.2");
    auto vpn = Link("tun7", LinkTypeNone, "172.16.0.2");
    win::InstalledBackend().Ras->CountLinks({"tun7"});
    TKZInternetDetect detector;
    Attach(detector);
    detector.Poll();
    EXPECT_EQ(Enumerate().size(), 2U);
    win::RASCONNA one{};
    one.dwSize = sizeof one;
    win::DWORD size = sizeof one;
    win::DWORD count = 0;
    EXPECT_EQ(win::RasEnumConnectionsA(&one, &size, &count), win::ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(count, 2U);

    // The dial-up line ends while the VPN stays up: one connection ends, the other begins.
    dialup.reset();
    detector.Poll();
    EXPECT_EQ(Events, (QStringList{"connect 10.64.0.2", "disconnect ", "connect 172.16.0.2"}));
    EXPECT_EQ(detector.IP(), QStringLiteral("172.16.0.2"));
}

TEST_F(PosixRasTest, NamesAtTheKernelLimitAndUntrustedPidFiles)
{
    const std::string name = "ppp-0123456789a"; // 15 characters, the most a link name has
    auto link = Link(name, test::LinkTypePpp, "10.64.0.2");
    const struct
    {
        const char* Name;
        QByteArray Content;
    } cases[] = {
        {"no pid file", QByteArray()},
        {"garbage", QByteArray("\x01\xFFnot a number\n")},
        {"a process that is gone", QByteArray("999999998\n")},
        {"a process that is not pppd", QByteArray::number(getpid()) + "\n"},
        {"a huge file", QByteArray(1 << 20, '7')},
        {"a FIFO nobody writes to", QByteArray("fifo")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QFile pidFile(PidFolder.filePath(QString::fromStdString(name) + ".pid"));
        if (c.Content == "fifo") {
            pidFile.remove();
            ASSERT_EQ(mkfifo(QFile::encodeName(pidFile.fileName()).constData(), 0600), 0);
        } else if (!c.Content.isEmpty()) {
            ASSERT_TRUE(pidFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
            pidFile.write(c.Content);
            pidFile.close();
        }
        ASSERT_TRUE(link->SetUp(false) && link->SetUp(true)); // a change, so the list is read again
        ASSERT_TRUE(link->SetAddress("10.64.0.2", "10.64.0.1"));
        const auto links = Enumerate();
        ASSERT_EQ(links.size(), 1U);
        EXPECT_EQ(std::string(links[0].szEntryName), name);
        EXPECT_EQ(win::RasHangUpA(links[0].hrasconn), win::ERROR_NOT_SUPPORTED) << "only pppd is ever ended";
    }
}

TEST_F(PosixRasTest, PppdLinkCarriesItsPeerNameAndHangsUp)
{
    const std::string piddir = PidFolder.path().toStdString();
    std::vector<std::string> arguments = {"pppd", "call", "myisp", "nodetach", "/dev/ttyS1", "piddir", piddir};
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    // The stand-in says "ready" on its output once its link is up and its pid file written.
    int ready[2] = {-1, -1};
    ASSERT_EQ(pipe(ready), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ready[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, ready[0]);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, STANDIN_PPPD, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ready[1]);
    ASSERT_EQ(spawned, 0);
    std::string said;
    char chunk[256];
    for (ssize_t got; said.find("ready\n") == std::string::npos && (got = read(ready[0], chunk, sizeof chunk)) > 0;)
        said.append(chunk, static_cast<std::size_t>(got)); // blocks until the stand-in is ready or gone
    close(ready[0]);
    ASSERT_NE(said.find("ready\n"), std::string::npos) << said;
    ASSERT_TRUE(QFile::exists(PidFolder.filePath(QStringLiteral("ppp0.pid"))));

    TKZInternetDetect detector;
    Attach(detector);
    detector.Poll();
    const auto links = Enumerate();
    ASSERT_EQ(links.size(), 1U);
    EXPECT_STREQ(links[0].szEntryName, "myisp");
    EXPECT_STREQ(links[0].szDeviceName, "/dev/ttyS1");

    EXPECT_EQ(win::RasHangUpA(links[0].hrasconn), win::ERROR_SUCCESS);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 5) << "pppd's status for an end by a signal";
    detector.Poll();
    EXPECT_EQ(Events, (QStringList{"connect 10.64.64.2", "disconnect "}));
}

} // namespace
} // namespace pulo
