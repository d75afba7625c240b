#pragma once

// The kernel's interface list over a netlink route socket: links with their type and flags, and
// each link's IPv4 address. The table is read whole once, then kept up to date from the
// kernel's change notifications, so an unchanged system costs one non-blocking read and a
// change costs what the change says, however many interfaces there are.

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct nlmsghdr;

namespace win::posix {

struct NetLink
{
    int Index = 0;
    std::string Name;
    std::string Alias;
    unsigned Mtu = 0;
    std::vector<unsigned char> HardwareAddress; // at most 8 bytes
    unsigned Type = 0;                          // ARPHRD_*: 512 for PPP, 65534 for tun and WireGuard
    unsigned Flags = 0;                         // IFF_*
    std::string Address;                        // the link's own IPv4 address, dotted; empty when it has none
};

// The 64-bit counters of one interface.
struct NetCounters
{
    int Index = 0;
    unsigned long long RxBytes = 0, TxBytes = 0, RxPackets = 0, TxPackets = 0;
    unsigned long long RxErrors = 0, TxErrors = 0, RxDropped = 0, TxDropped = 0;
};

// One IPv4 address: the four octets in the order they are written.
struct NetAddress
{
    int Index = 0;
    unsigned char Octets[4] = {};
    unsigned PrefixLength = 0;
};

// The counters of every interface, in index order (a compact statistics dump: nothing else
// about the interfaces is read). False when the kernel cannot be asked.
[[nodiscard]] bool DumpCounters(std::vector<NetCounters>& counters);
// Every IPv4 address of every interface. False when the kernel cannot be asked.
[[nodiscard]] bool DumpAddresses(std::vector<NetAddress>& addresses);

// Every link of the current network namespace, in index order, with its first IPv4 address.
// Returns false (and leaves links empty) when the kernel cannot be asked.
[[nodiscard]] bool DumpLinks(std::vector<NetLink>& links);

// Bytes the kernel writes its messages into. Not cleared first: a page nothing is ever received
// into never becomes resident.
class ReceiveBuffer final
{
public:
    explicit ReceiveBuffer(std::size_t size) : Bytes(new char[size]), Size(size) {}
    [[nodiscard]] char* data() { return Bytes.get(); }
    [[nodiscard]] std::size_t size() const { return Size; }
    // At least size bytes; what was held is not kept.
    void Fit(std::size_t size)
    {
        if (size > Size) {
            Bytes.reset(new char[size]);
            Size = size;
        }
    }

private:
    std::unique_ptr<char[]> Bytes;
    std::size_t Size;
};

class LinkTable final
{
public:
    LinkTable();
    ~LinkTable();
    LinkTable(const LinkTable&) = delete;
    LinkTable& operator=(const LinkTable&) = delete;

    // Brings the table up to date. True on the first call, after any change of links or IPv4
    // addresses, and whenever the table had to be read whole again (notifications lost, no
    // notification socket).
    [[nodiscard]] bool Update();
    // The links by interface index.
    [[nodiscard]] const std::map<int, NetLink>& Links() const { return Table; }
    // The counters a link had when it was deleted, as the kernel's notice of its end gave them
    // (the last few links only); null when none are known.
    [[nodiscard]] const NetCounters* FinalCounters(int index) const;
    // The links that appeared and were deleted again since the previous update, as they were
    // (up if they ever were, with the address they had): a line that lived shorter than a look.
    [[nodiscard]] const std::vector<NetLink>& Brief() const { return BriefLinks; }

private:
    void Apply(const ::nlmsghdr* message);

    int Socket = -1;
    bool NeedsDump = true;
    std::map<int, NetLink> Table;
    std::map<int, NetCounters> Final;
    // The links that appeared during this update, with every flag they have shown.
    std::map<int, unsigned> Born;
    std::vector<NetLink> BriefLinks;
    std::vector<NetLink> Scratch;
    ReceiveBuffer Notification{16384};
};

} // namespace win::posix
