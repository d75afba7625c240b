#pragma once

// The kernel's interface list over a netlink route socket: links with their type and flags, and
// each link's IPv4 address. A watch socket tells whether anything changed since it was last
// asked, so an unchanged system costs one non-blocking read.

#include <string>
#include <vector>

namespace win::posix {

struct NetLink
{
    int Index = 0;
    std::string Name;
    unsigned Type = 0;   // ARPHRD_*: 512 for PPP, 65534 for tun and WireGuard
    unsigned Flags = 0;  // IFF_*
    std::string Address; // the link's own IPv4 address, dotted; empty when it has none
};

// Every link of the current network namespace, in index order, with its first IPv4 address.
// Returns false (and leaves links empty) when the kernel cannot be asked.
[[nodiscard]] bool DumpLinks(std::vector<NetLink>& links);

class NetlinkWatch final
{
public:
    NetlinkWatch();
    ~NetlinkWatch();
    NetlinkWatch(const NetlinkWatch&) = delete;
    NetlinkWatch& operator=(const NetlinkWatch&) = delete;

    // True on the first call, after any change of links or IPv4 addresses since the last call,
    // and whenever the watch cannot tell (no socket, messages lost).
    [[nodiscard]] bool Changed();

private:
    int Socket = -1;
    bool First = true;
};

} // namespace win::posix
