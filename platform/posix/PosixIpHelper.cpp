#include "platform/posix/PosixIpHelper.h"

#include <algorithm>
#include <net/if.h>
#include <net/if_arp.h>

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

} // namespace

bool PosixIpHelper::Interfaces(std::vector<IfEntry>& entries)
{
    // The interfaces themselves change rarely and come from the kept link table; only the
    // counters are read each time.
    (void)Table.Update();
    if (!DumpCounters(Counters))
        return false;
    entries.resize(Table.Links().size());
    std::size_t i = 0;
    auto counters = Counters.begin();
    for (const auto& [index, link] : Table.Links()) {
        IfEntry& to = entries[i++];
        to.Index = static_cast<DWORD>(index);
        to.Type = InterfaceType(link.Type);
        to.Mtu = link.Mtu;
        to.Speed = 0;
        to.PhysAddr.assign(link.HardwareAddress.begin(), link.HardwareAddress.end());
        to.Up = (link.Flags & IFF_UP) != 0;
        to.Running = (link.Flags & IFF_RUNNING) != 0;
        while (counters != Counters.end() && counters->Index < index)
            ++counters;
        const bool counted = counters != Counters.end() && counters->Index == index;
        const NetCounters none;
        const NetCounters& from = counted ? *counters : none;
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
    }
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
