#include "common/SpeedCounter.h"
#include "platform/Iphlpapi.h"
#include "platform/posix/PosixBackend.h"
#include "sources/IPHelper.h"
#include "tests/support/NetnsTestMain.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TunLink.h"

#include <QFile>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace pulo {
namespace {

using test::RunCommand;

const win::MIB_IFROW* Find(const std::vector<win::MIB_IFROW>& rows, const char* name)
{
    const win::DWORD index = if_nametoindex(name);
    for (const auto& row : rows)
        if (row.dwIndex == index)
            return &row;
    return nullptr;
}

class PosixIpHelperTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        PULO_NEEDS_NETWORK_NAMESPACE();
        win::InstallBackend(win::posix::MakePosixBackend("/nonexistent"));
    }
};

TEST_F(PosixIpHelperTest, VethCountersMatchTheTrafficSent)
{
    ASSERT_TRUE(RunCommand({"ip", "link", "add", "vethA", "type", "veth", "peer", "name", "vethB"}));
    ASSERT_TRUE(RunCommand({"ip", "link", "set", "vethA", "alias", "uplink"}));
    // No IPv6 chatter (router solicitations, address checks) may add to the counters.
    for (const char* name : {"vethA", "vethB"}) {
        QFile ipv6(QStringLiteral("/proc/sys/net/ipv6/conf/%1/disable_ipv6").arg(QLatin1String(name)));
        if (ipv6.open(QIODevice::WriteOnly))
            ipv6.write("1");
    }
    ASSERT_TRUE(RunCommand({"ip", "link", "set", "vethA", "up"}));
    ASSERT_TRUE(RunCommand({"ip", "link", "set", "vethB", "up"}));
    ASSERT_TRUE(RunCommand({"ip", "addr", "add", "10.77.0.1/24", "dev", "vethA"}));

    std::vector<win::MIB_IFROW> before;
    GetIfTableRows(before);
    const win::MIB_IFROW* a = Find(before, "vethA");
    const win::MIB_IFROW* b = Find(before, "vethB");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(a->bDescr), "vethA (uplink)");
    EXPECT_EQ(a->dwPhysAddrLen, 6U);
    EXPECT_EQ(InterfaceIpText(a->dwIndex), QStringLiteral(" 10. 77.  0.  1"));
    EXPECT_EQ(InterfaceIpText(b->dwIndex), QStringLiteral("!not_found!"));
    IfCounter sent;
    sent.Reset(a->dwInOctets, a->dwOutOctets);
    IfCounter received;
    received.Reset(b->dwInOctets, b->dwOutOctets);

    // UDP datagrams of 1458 bytes of payload, framed by hand: each puts payload + 42 bytes
    // (Ethernet 14, IPv4 20, UDP 8) on the wire. They go to a station nobody answers for.
    const int fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, htons(ETH_P_IP));
    ASSERT_GE(fd, 0);
    sockaddr_ll to{};
    to.sll_family = AF_PACKET;
    to.sll_ifindex = static_cast<int>(a->dwIndex);
    to.sll_halen = 6;
    constexpr std::size_t payload = 1458;
    std::vector<unsigned char> frame(payload + 42, 0);
    const unsigned char station[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x99};
    std::memcpy(frame.data(), station, 6);
    std::memcpy(frame.data() + 6, a->bPhysAddr, 6);
    frame[12] = 0x08; // IPv4
    frame[14] = 0x45;
    constexpr int datagrams = 100;
    for (int i = 0; i < datagrams; ++i)
        ASSERT_EQ(sendto(fd, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
                  static_cast<ssize_t>(frame.size()));
    close(fd);

    std::vector<win::MIB_IFROW> after;
    GetIfTableRows(after);
    a = Find(after, "vethA");
    b = Find(after, "vethB");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    sent.Sample(a->dwInOctets, a->dwOutOctets);
    received.Sample(b->dwInOctets, b->dwOutOctets);
    EXPECT_EQ(sent.DeltaOut, datagrams * (payload + 42));
    EXPECT_EQ(received.DeltaIn, datagrams * (payload + 42));
    EXPECT_EQ(KbpsText(received.DeltaIn), QStringLiteral("1200")); // 150000 bytes in one sample
    EXPECT_EQ(KbpsText(sent.DeltaOut), QStringLiteral("1200"));
}

TEST_F(PosixIpHelperTest, TunLinksHaveNoHardwareAddress)
{
    test::TunLink link("ppp0");
    ASSERT_TRUE(link.Valid());
    ASSERT_TRUE(link.SetUp(true));
    std::vector<win::MIB_IFROW> rows;
    GetIfTableRows(rows);
    const win::MIB_IFROW* row = Find(rows, "ppp0");
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->dwPhysAddrLen, 0U);
    EXPECT_EQ(row->dwType, win::IF_TYPE_PPP);
    EXPECT_EQ(MacToText(row->bPhysAddr, row->dwPhysAddrLen), QStringLiteral("00-00-00-00-00-00"));
    EXPECT_STREQ(reinterpret_cast<const char*>(row->bDescr), "ppp0");
    EXPECT_EQ(rows.front().dwIndex, 1U) << "in interface-index order, loopback first";
}

TEST_F(PosixIpHelperTest, TheBestInterfaceIsTheKernelsRoute)
{
    ASSERT_TRUE(RunCommand({"ip", "link", "add", "vethR", "type", "veth", "peer", "name", "vethS"}));
    ASSERT_TRUE(RunCommand({"ip", "link", "set", "vethR", "up"}));
    ASSERT_TRUE(RunCommand({"ip", "link", "set", "vethS", "up"}));
    ASSERT_TRUE(RunCommand({"ip", "addr", "add", "10.78.0.1/24", "dev", "vethR"}));
    test::TunLink link("ppp7");
    ASSERT_TRUE(link.Valid());
    ASSERT_TRUE(link.SetUp(true));
    const auto best = [](const char* to) {
        win::DWORD index = 0;
        return win::GetBestInterface(inet_addr(to), &index) == win::ERROR_SUCCESS ? index : 0U;
    };
    EXPECT_EQ(best("0.0.0.0"), 0U) << "no default route yet";
    ASSERT_TRUE(RunCommand({"ip", "route", "add", "default", "via", "10.78.0.2", "dev", "vethR", "metric", "100"}));
    ASSERT_TRUE(RunCommand({"ip", "route", "add", "default", "dev", "ppp7", "metric", "50"}));
    EXPECT_EQ(best("0.0.0.0"), if_nametoindex("ppp7")) << "the lower metric";
    EXPECT_EQ(best("10.78.0.9"), if_nametoindex("vethR")) << "the longer prefix";
    ASSERT_TRUE(RunCommand({"ip", "route", "del", "default", "dev", "ppp7"}));
    EXPECT_EQ(best("0.0.0.0"), if_nametoindex("vethR"));
}

} // namespace
} // namespace pulo
