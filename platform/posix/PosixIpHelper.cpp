#include "platform/posix/PosixIpHelper.h"

#include "platform/posix/TextFields.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <net/if.h>
#include <net/if_arp.h>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace win::posix {

namespace {

DWORD InterfaceType(unsigned linkType)
{
    switch (linkType) {
    case ARPHRD_ETHER:
        return IF_TYPE_ETHERNET_CSMACD;
    case ARPHRD_PPP:
        return IF_TYPE_PPP;
    case ARPHRD_LOOPBACK:
        return IF_TYPE_SOFTWARE_LOOPBACK;
    case ARPHRD_NONE:
        return IF_TYPE_TUNNEL;
    default:
        return IF_TYPE_OTHER;
    }
}

// The interface of the route in table (the text of /proc/net/route) that leads to destination
// (network byte order): of the routes that are up and hold it, the longest prefix, then the
// lowest metric. Empty when none does.
std::string BestRouteInterface(std::string_view table, DWORD destination)
{
    constexpr unsigned long RouteUp = 0x1; // RTF_UP
    const auto number = [](std::string_view field, int base, unsigned long& value) {
        const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value, base);
        return error == std::errc() && end == field.data() + field.size();
    };
    std::string best;
    int bestPrefix = -1;
    unsigned long bestMetric = 0;
    bool heading = true;
    for (const std::string_view line : Fields(table, "\n")) {
        if (std::exchange(heading, false))
            continue;
        // Iface Destination Gateway Flags RefCnt Use Metric Mask MTU Window IRTT, the addresses
        // in hexadecimal as the kernel holds them (network byte order read as one number).
        const std::vector<std::string_view> fields = Fields(line);
        unsigned long target = 0;
        unsigned long flags = 0;
        unsigned long metric = 0;
        unsigned long netmask = 0;
        if (fields.size() < 8 || !number(fields[1], 16, target) || !number(fields[3], 16, flags) ||
            !number(fields[6], 10, metric) || !number(fields[7], 16, netmask))
            continue;
        if ((flags & RouteUp) == 0 || (destination & netmask) != target)
            continue;
        const int prefix = std::popcount(static_cast<std::uint32_t>(netmask));
        if (prefix > bestPrefix || (prefix == bestPrefix && metric < bestMetric)) {
            best = std::string(fields[0]);
            bestPrefix = prefix;
            bestMetric = metric;
        }
    }
    return best;
}

} // namespace

bool PosixIpHelper::BestInterface(DWORD destination, DWORD& index)
{
    // The table holds a line of 128 bytes a route: a table larger than this is no desktop's.
    const std::string table = ReadAtMost("/proc/net/route", 16 * 1024 * 1024);
    if (table.empty())
        return false;
    const std::string name = BestRouteInterface(table, destination);
    index = name.empty() ? 0 : if_nametoindex(name.c_str());
    return index != 0;
}

bool PosixIpHelper::ReadCounters()
{
    // The interfaces themselves change rarely and come from the kept link table; only the
    // counters are read each time.
    (void)Table.Update();
    return DumpCounters(Counters);
}

template <typename Take> void PosixIpHelper::ForEachLink(Take take) const
{
    std::size_t i = 0;
    auto counters = Counters.begin();
    const NetCounters none;
    for (const auto& [index, link] : Table.Links()) {
        while (counters != Counters.end() && counters->Index < index)
            ++counters;
        const bool counted = counters != Counters.end() && counters->Index == index;
        take(i++, index, link, counted ? *counters : none);
    }
}

bool PosixIpHelper::Interfaces(std::vector<IfEntry>& entries)
{
    if (!ReadCounters())
        return false;
    entries.resize(Table.Links().size());
    ForEachLink([&](std::size_t i, int index, const NetLink& link, const NetCounters& from) {
        IfEntry& to = entries[i];
        to.Index = static_cast<DWORD>(index);
        to.Type = InterfaceType(link.Type);
        to.Mtu = link.Mtu;
        to.Speed = 0;
        to.PhysAddr.assign(link.HardwareAddress.begin(), link.HardwareAddress.end());
        to.Up = (link.Flags & IFF_UP) != 0;
        to.Running = (link.Flags & IFF_RUNNING) != 0;
        to.InOctets = from.RxBytes;
        to.OutOctets = from.TxBytes;
        to.InPackets = from.RxPackets;
        to.OutPackets = from.TxPackets;
        to.InErrors = from.RxErrors;
        to.OutErrors = from.TxErrors;
        to.InDrops = from.RxDropped;
        to.OutDrops = from.TxDropped;
        to.Description.assign(link.Name);
        if (!link.Alias.empty())
            to.Description.append(" (").append(link.Alias).append(")");
    });
    return true;
}

bool PosixIpHelper::ByteCounts(std::vector<IfByteCounts>& counts)
{
    if (!ReadCounters())
        return false;
    counts.resize(Table.Links().size());
    ForEachLink([&](std::size_t i, int index, const NetLink&, const NetCounters& from) {
        counts[i] = {static_cast<DWORD>(index), from.RxBytes, from.TxBytes};
    });
    return true;
}

std::size_t PosixIpHelper::InterfaceCount()
{
    (void)Table.Update();
    return Table.Links().size();
}

bool PosixIpHelper::Addresses(std::vector<IpAddrEntry>& entries)
{
    if (!DumpAddresses(AddressScratch))
        return false;
    entries.clear();
    for (const NetAddress& from : AddressScratch) {
        IpAddrEntry to;
        to.Index = static_cast<DWORD>(from.Index);
        to.Addr = static_cast<DWORD>(from.Octets[0]) | static_cast<DWORD>(from.Octets[1]) << 8 |
                  static_cast<DWORD>(from.Octets[2]) << 16 | static_cast<DWORD>(from.Octets[3]) << 24;
        const DWORD hostMask = from.PrefixLength == 0 ? 0 : ~DWORD{0} << (32 - std::min(from.PrefixLength, 32U));
        to.Mask = (hostMask >> 24) | ((hostMask >> 8) & 0xFF00) | ((hostMask << 8) & 0xFF0000) | (hostMask << 24);
        entries.push_back(to);
    }
    return true;
}

} // namespace win::posix
