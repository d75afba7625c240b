#include "sources/IPHelper.h"

#include "tests/support/SimPlatformTest.h"

namespace pulo {
namespace {

using IPHelperTest = test::SimPlatformTest;

TEST_F(IPHelperTest, AddressTexts)
{
    const struct
    {
        std::vector<win::BYTE> Bytes;
        win::DWORD Length;
        const char* Text;
    } macs[] = {
        {{}, 0, "00-00-00-00-00-00"},
        {{0, 0, 0, 0, 0, 0}, 6, "00-00-00-00-00-00"},
        {{0x00, 0xA0, 0xC9, 0x14, 0xC8, 0x29}, 6, "00-A0-C9-14-C8-29"},
        {{0x0A, 0xFF}, 2, "0A-FF"},
        {{1, 2, 3, 4, 5, 6, 7, 8}, 8, "01-02-03-04-05-06-07-08"},
    };
    for (const auto& m : macs) {
        SCOPED_TRACE(m.Text);
        win::BYTE address[win::MAXLEN_PHYSADDR] = {};
        std::copy(m.Bytes.begin(), m.Bytes.end(), address);
        EXPECT_EQ(MacToText(address, m.Length), QString::fromLatin1(m.Text));
    }

    const struct
    {
        win::DWORD Address;
        const char* Text;
    } ips[] = {
        {0x0100007F, "127.  0.  0.  1"},
        {0x0101A8C0, "192.168.  1.  1"},
        {0, "  0.  0.  0.  0"},
        {0xFFFFFFFF, "255.255.255.255"},
    };
    for (const auto& ip : ips) {
        SCOPED_TRACE(ip.Text);
        EXPECT_EQ(IpToText(ip.Address), QString::fromLatin1(ip.Text));
    }
}

TEST_F(IPHelperTest, InterfaceRowsAndTheirAddresses)
{
    win::sim::SimAdapter high;
    high.Index = 0x80000001U; // an index of 2^31 or more is matched like any other
    high.Description = "High";
    high.Address = "10.1.2.3";
    Sim->Adapters.push_back(high);

    std::vector<win::MIB_IFROW> rows;
    GetIfTableRows(rows);
    ASSERT_EQ(rows.size(), 3U);
    EXPECT_EQ(rows[1].dwIndex, 2U);
    EXPECT_EQ(rows[1].dwPhysAddrLen, 6U);
    EXPECT_EQ(rows[1].dwDescrLen, sizeof("Realtek RTL8139 Family PCI Fast Ethernet NIC"));
    EXPECT_STREQ(reinterpret_cast<const char*>(rows[1].bDescr), "Realtek RTL8139 Family PCI Fast Ethernet NIC");

    EXPECT_EQ(InterfaceIpText(2), QStringLiteral("192.168.  1. 10"));
    EXPECT_EQ(InterfaceIpText(0x80000001U), QStringLiteral(" 10.  1.  2.  3"));
    EXPECT_EQ(InterfaceIpText(77), QStringLiteral("!not_found!"));

    std::vector<win::MIB_IPADDRROW> addresses;
    EXPECT_EQ(GetIpAddrTableRows(addresses), 0U);
    ASSERT_EQ(addresses.size(), 3U);
    EXPECT_EQ(IpToText(addresses[0].dwAddr), QStringLiteral(" 10.  1.  2.  3")) << "by ascending address";
}

TEST_F(IPHelperTest, FailedOrEmptyReadsKeepTheCallersRows)
{
    std::vector<win::MIB_IFROW> rows;
    GetIfTableRows(rows);
    ASSERT_EQ(rows.size(), 2U);

    Sim->IpHelperFails = true;
    GetIfTableRows(rows);
    EXPECT_EQ(rows.size(), 2U);
    std::vector<win::MIB_IPADDRROW> addresses(1);
    EXPECT_NE(GetIpAddrTableRows(addresses), 0U);
    EXPECT_EQ(addresses.size(), 1U);
    EXPECT_EQ(InterfaceIpText(2), QStringLiteral("!not_found!"));

    Sim->IpHelperFails = false;
    Sim->Adapters.clear();
    GetIfTableRows(rows);
    EXPECT_EQ(rows.size(), 2U) << "an empty table changes nothing";
}

TEST_F(IPHelperTest, TableThatGrewSinceTheProbeIsRefused)
{
    win::ULONG size = 0;
    ASSERT_EQ(win::GetIfTable(nullptr, &size, win::FALSE_RESULT), win::ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(size, 4 + 2 * sizeof(win::MIB_IFROW));
    std::vector<unsigned char> buffer(size);
    Sim->AddLine("My ISP", "10.0.0.1"); // its adapter appears
    auto* table = reinterpret_cast<win::MIB_IFTABLE*>(buffer.data());
    EXPECT_EQ(win::GetIfTable(table, &size, win::FALSE_RESULT), win::ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(size, 4 + 3 * sizeof(win::MIB_IFROW));
}

} // namespace
} // namespace pulo
