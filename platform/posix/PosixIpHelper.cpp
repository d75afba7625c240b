#include "platform/posix/PosixIpHelper.h"

#include <net/if.h>
#include <algorithm>
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
    if (!DumpInterfaces(Scratch))
        return false;
    entries.resize(Scratch.size());
    for (std::size_t i = 0; i < Scratch.size(); ++i) {
        const NetInterface& from = Scratch[i];
        IfEntry& to = entries[i];
        to.Index = static_cast<DWORD>(from.Index);
        to.Type = InterfaceType(from.Type);
        to.Mtu = from.Mtu;
        to.Speed = 0;
        to.PhysAddr.assign(from.HardwareAddress.begin(), from.HardwareAddress.end());
        to.Up = (from.Flags & IFF_UP) != 0;
        to.Running = (from.Flags & IFF_RUNNING) != 0;
        to.InOctets = from.RxBytes;
        to.OutOctets = from.TxBytes;
        to.InPackets = from.RxPackets;
        to.OutPackets = from.TxPackets;
        to.InErrors = from.RxErrors;
        to.OutErrors = from.TxErrors;
        to.InDrops = from.RxDropped;
        to.OutDrops = from.TxDropped;
        to.Description.assign(from.Name);
        if (!from.Alias.empty())
            to.Description.append(" (").append(from.Alias).append(")");
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
