#include "platform/posix/Netlink.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/if_addr.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <map>
#include <sys/socket.h>
#include <unistd.h>

// The kernel's netlink walking macros are C: they cast the old way and compare numbers of either
// sign.
#pragma GCC diagnostic ignored "-Wold-style-cast"
#pragma GCC diagnostic ignored "-Wsign-compare"

namespace win::posix {

namespace {

class RouteSocket final
{
public:
    RouteSocket() : Fd(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE)) {}
    ~RouteSocket()
    {
        if (Fd >= 0)
            close(Fd);
    }
    RouteSocket(const RouteSocket&) = delete;
    RouteSocket& operator=(const RouteSocket&) = delete;
    [[nodiscard]] int Get() const { return Fd; }

private:
    int Fd;
};

// The socket of the dumps, opened once: the speed sample dumps the counters every second.
// It belongs to the network namespace the program started in, as the notification socket does.
// A kernel that does not answer within two seconds fails the dump instead of freezing the window.
int DumpSocket()
{
    static const RouteSocket route;
    static const bool bounded = [] {
        const timeval timeout{2, 0};
        return route.Get() >= 0 && setsockopt(route.Get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) == 0;
    }();
    static_cast<void>(bounded);
    return route.Get();
}

// Receives one whole datagram, the buffer grown to its size first, so a large message (a link
// with many attributes) is never cut. Returns its length, or -1 with errno set.
ssize_t ReceiveWhole(int fd, ReceiveBuffer& buffer, int flags)
{
    for (;;) {
        const ssize_t size = recv(fd, nullptr, 0, MSG_PEEK | MSG_TRUNC | flags);
        if (size < 0 && errno == EINTR)
            continue;
        if (size < 0)
            return size;
        buffer.Fit(static_cast<std::size_t>(size));
        const ssize_t got = recv(fd, buffer.data(), buffer.size(), flags);
        if (got < 0 && errno == EINTR)
            continue;
        return got;
    }
}

struct Request
{
    nlmsghdr Header;
    union {
        ifinfomsg Link;
        ifaddrmsg Address;
        if_stats_msg Stats;
    };
    // IFLA_EXT_MASK: leaves the statistics out of a link dump; counters come from a
    // statistics dump, which is far smaller.
    rtattr MaskAttribute;
    std::uint32_t Mask;
};

// Sends one dump request and hands every message of the answer to take; false on failure.
template <typename Take> bool Dump(int fd, std::uint16_t type, Take take)
{
    Request request{};
    request.Header.nlmsg_type = type;
    request.Header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    // Each dump has its own number, so a reply left over from a dump cut short is passed over.
    static std::uint32_t sequence = 0;
    request.Header.nlmsg_seq = ++sequence;
    if (type == RTM_GETLINK) {
        request.Link.ifi_family = AF_UNSPEC;
        request.Header.nlmsg_len = NLMSG_LENGTH(sizeof(ifinfomsg));
        request.MaskAttribute.rta_type = IFLA_EXT_MASK;
        request.MaskAttribute.rta_len = RTA_LENGTH(sizeof(std::uint32_t));
        request.Mask = RTEXT_FILTER_SKIP_STATS;
        request.Header.nlmsg_len = sizeof(Request);
    } else if (type == RTM_GETSTATS) {
        request.Stats.family = AF_UNSPEC;
        request.Stats.filter_mask = IFLA_STATS_FILTER_BIT(IFLA_STATS_LINK_64);
        request.Header.nlmsg_len = NLMSG_LENGTH(sizeof(if_stats_msg));
    } else {
        request.Address.ifa_family = AF_INET;
        request.Header.nlmsg_len = NLMSG_LENGTH(sizeof(ifaddrmsg));
    }
    if (send(fd, &request, request.Header.nlmsg_len, 0) < 0)
        return false;

    // The kernel's largest dump message: it fills messages up to the size its reader asks for,
    // 32 KiB at most, so that a dump of many links takes few reads.
    thread_local ReceiveBuffer buffer(32 * 1024);
    for (;;) {
        const ssize_t length = ReceiveWhole(fd, buffer, 0);
        if (length < 0)
            return false;
        auto remaining = static_cast<int>(length);
        for (auto* message = reinterpret_cast<nlmsghdr*>(buffer.data()); NLMSG_OK(message, remaining);
             message = NLMSG_NEXT(message, remaining)) {
            if (message->nlmsg_seq != request.Header.nlmsg_seq)
                continue;
            if (message->nlmsg_type == NLMSG_DONE)
                return true;
            if (message->nlmsg_type == NLMSG_ERROR)
                return false;
            take(message);
        }
    }
}

void TakeLink(const nlmsghdr* message, std::vector<NetLink>& links)
{
    if (message->nlmsg_type != RTM_NEWLINK || message->nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg)))
        return;
    const auto* info = static_cast<const ifinfomsg*>(NLMSG_DATA(message));
    NetLink link;
    link.Index = info->ifi_index;
    link.Type = info->ifi_type;
    link.Flags = info->ifi_flags;
    int remaining = static_cast<int>(IFLA_PAYLOAD(message));
    for (const auto* attribute = IFLA_RTA(info); RTA_OK(attribute, remaining);
         attribute = RTA_NEXT(attribute, remaining)) {
        const auto* data = static_cast<const char*>(RTA_DATA(attribute));
        const std::size_t length = RTA_PAYLOAD(attribute);
        switch (attribute->rta_type) {
        case IFLA_IFNAME:
            link.Name.assign(data, strnlen(data, length));
            break;
        case IFLA_IFALIAS:
            link.Alias.assign(data, strnlen(data, length));
            break;
        case IFLA_ADDRESS:
            link.HardwareAddress.assign(data, data + std::min<std::size_t>(length, 8));
            break;
        case IFLA_MTU:
            if (length >= sizeof(std::uint32_t))
                std::memcpy(&link.Mtu, data, sizeof(std::uint32_t));
            break;
        default:
            break;
        }
    }
    links.push_back(std::move(link));
}

// The own IPv4 address of an address message; false for other messages.
bool ReadAddress(const nlmsghdr* message, NetAddress& entry)
{
    if (message->nlmsg_type != RTM_NEWADDR || message->nlmsg_len < NLMSG_LENGTH(sizeof(ifaddrmsg)))
        return false;
    const auto* info = static_cast<const ifaddrmsg*>(NLMSG_DATA(message));
    if (info->ifa_family != AF_INET)
        return false;
    const void* local = nullptr;
    const void* address = nullptr;
    int remaining = static_cast<int>(IFA_PAYLOAD(message));
    for (const auto* attribute = IFA_RTA(info); RTA_OK(attribute, remaining);
         attribute = RTA_NEXT(attribute, remaining)) {
        if (RTA_PAYLOAD(attribute) < 4)
            continue;
        if (attribute->rta_type == IFA_LOCAL)
            local = RTA_DATA(attribute);
        else if (attribute->rta_type == IFA_ADDRESS)
            address = RTA_DATA(attribute);
    }
    // On a point-to-point link IFA_ADDRESS is the peer's; IFA_LOCAL is our own.
    const void* own = local != nullptr ? local : address;
    if (own == nullptr)
        return false;
    entry.Index = static_cast<int>(info->ifa_index);
    std::memcpy(entry.Octets, own, 4);
    entry.PrefixLength = info->ifa_prefixlen;
    return true;
}

void TakeAddress(const nlmsghdr* message, std::map<int, std::string>& addresses)
{
    NetAddress entry;
    if (!ReadAddress(message, entry))
        return;
    char text[INET_ADDRSTRLEN] = {};
    if (inet_ntop(AF_INET, entry.Octets, text, sizeof text) != nullptr)
        addresses.emplace(entry.Index, text); // the first address wins
}

// The interface's counters from the kernel's 64-bit statistics record (an attribute's payload,
// which may not be aligned for the record).
NetCounters CountersOf(int index, const void* payload)
{
    rtnl_link_stats64 stats{};
    std::memcpy(&stats, payload, sizeof stats);
    NetCounters counters;
    counters.Index = index;
    counters.RxBytes = stats.rx_bytes;
    counters.TxBytes = stats.tx_bytes;
    counters.RxPackets = stats.rx_packets;
    counters.TxPackets = stats.tx_packets;
    counters.RxErrors = stats.rx_errors;
    counters.TxErrors = stats.tx_errors;
    counters.RxDropped = stats.rx_dropped;
    counters.TxDropped = stats.tx_dropped;
    return counters;
}

void TakeCounters(const nlmsghdr* message, std::vector<NetCounters>& counters, std::size_t& used)
{
    if (message->nlmsg_type != RTM_NEWSTATS || message->nlmsg_len < NLMSG_LENGTH(sizeof(if_stats_msg)))
        return;
    const auto* info = static_cast<const if_stats_msg*>(NLMSG_DATA(message));
    int remaining = static_cast<int>(message->nlmsg_len - NLMSG_LENGTH(sizeof(if_stats_msg)));
    const auto* attribute =
        reinterpret_cast<const rtattr*>(reinterpret_cast<const char*>(info) + NLMSG_ALIGN(sizeof(if_stats_msg)));
    for (; RTA_OK(attribute, remaining); attribute = RTA_NEXT(attribute, remaining)) {
        if (attribute->rta_type != IFLA_STATS_LINK_64 || RTA_PAYLOAD(attribute) < sizeof(rtnl_link_stats64))
            continue;
        if (used == counters.size())
            counters.emplace_back();
        counters[used++] = CountersOf(static_cast<int>(info->ifindex), RTA_DATA(attribute));
    }
}

} // namespace

bool DumpCounters(std::vector<NetCounters>& counters)
{
    std::size_t used = 0;
    const bool read = DumpSocket() >= 0 && Dump(DumpSocket(), RTM_GETSTATS, [&](const nlmsghdr* message) {
                          TakeCounters(message, counters, used);
                      });
    counters.resize(read ? used : 0);
    std::sort(counters.begin(), counters.end(),
              [](const NetCounters& a, const NetCounters& b) { return a.Index < b.Index; });
    return read;
}

bool DumpAddresses(std::vector<NetAddress>& addresses)
{
    addresses.clear();
    return DumpSocket() >= 0 && Dump(DumpSocket(), RTM_GETADDR, [&](const nlmsghdr* message) {
               NetAddress entry;
               if (ReadAddress(message, entry))
                   addresses.push_back(entry);
           });
}

bool DumpLinks(std::vector<NetLink>& links)
{
    links.clear();
    if (DumpSocket() < 0)
        return false;
    std::vector<NetLink> found;
    std::map<int, std::string> addresses;
    if (!Dump(DumpSocket(), RTM_GETLINK, [&](const nlmsghdr* message) { TakeLink(message, found); }) ||
        !Dump(DumpSocket(), RTM_GETADDR, [&](const nlmsghdr* message) { TakeAddress(message, addresses); }))
        return false;
    for (auto& link : found) {
        const auto address = addresses.find(link.Index);
        if (address != addresses.end())
            link.Address = address->second;
    }
    std::sort(found.begin(), found.end(), [](const NetLink& a, const NetLink& b) { return a.Index < b.Index; });
    links = std::move(found);
    return true;
}

LinkTable::LinkTable() : Socket(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE))
{
    if (Socket < 0)
        return;
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR;
    if (bind(Socket, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0) {
        close(Socket);
        Socket = -1;
    }
}

LinkTable::~LinkTable()
{
    if (Socket >= 0)
        close(Socket);
}

namespace {

// How many ended links' final counters are kept: a connection's end asks for them within a second
// or two of the link going, and a line flapping faster than that ends a connection each time.
constexpr std::size_t FinalCountersKept = 32;

// The 64-bit counters a link message carries (the kernel's notice of a deleted link has them as
// they were at its end); false when it carries none.
bool ReadLinkCounters(const nlmsghdr* message, NetCounters& counters)
{
    const auto* info = static_cast<const ifinfomsg*>(NLMSG_DATA(message));
    int remaining = static_cast<int>(IFLA_PAYLOAD(message));
    for (const auto* attribute = IFLA_RTA(info); RTA_OK(attribute, remaining);
         attribute = RTA_NEXT(attribute, remaining)) {
        if (attribute->rta_type != IFLA_STATS64 || RTA_PAYLOAD(attribute) < sizeof(rtnl_link_stats64))
            continue;
        counters = CountersOf(info->ifi_index, RTA_DATA(attribute));
        return true;
    }
    return false;
}

} // namespace

const NetCounters* LinkTable::FinalCounters(int index) const
{
    const auto found = Final.find(index);
    return found == Final.end() ? nullptr : &found->second;
}

void LinkTable::Apply(const nlmsghdr* message)
{
    switch (message->nlmsg_type) {
    case RTM_NEWLINK: {
        Scratch.clear();
        TakeLink(message, Scratch);
        if (!Scratch.empty()) {
            const int index = Scratch.front().Index;
            if (!Table.contains(index))
                Born.emplace(index, 0U);
            if (const auto born = Born.find(index); born != Born.end())
                born->second |= Scratch.front().Flags;
            NetLink& link = Table[index];
            const std::string address = link.Address;
            link = std::move(Scratch.front());
            link.Address = address;
        }
        break;
    }
    case RTM_DELLINK:
        if (message->nlmsg_len >= NLMSG_LENGTH(sizeof(ifinfomsg))) {
            const int index = static_cast<const ifinfomsg*>(NLMSG_DATA(message))->ifi_index;
            // A link is taken down just before it goes: one that came and went unseen is
            // remembered as it was while it lived.
            if (const auto born = Born.find(index); born != Born.end()) {
                if (const auto link = Table.find(index); link != Table.end()) {
                    BriefLinks.push_back(std::move(link->second));
                    BriefLinks.back().Flags |= born->second;
                }
                Born.erase(born);
            }
            Table.erase(index);
            NetCounters counters;
            if (ReadLinkCounters(message, counters)) {
                Final[counters.Index] = counters;
                // Interface indexes grow: the lowest is the oldest end.
                if (Final.size() > FinalCountersKept)
                    Final.erase(Final.begin());
            }
        }
        break;
    case RTM_NEWADDR: {
        std::map<int, std::string> added;
        TakeAddress(message, added);
        for (const auto& [index, address] : added) {
            const auto link = Table.find(index);
            if (link != Table.end() && link->second.Address.empty())
                link->second.Address = address;
        }
        break;
    }
    case RTM_DELADDR:
        // The link may have another address to fall back on: only a whole reading tells.
        NeedsDump = true;
        break;
    default:
        break;
    }
}

bool LinkTable::Update()
{
    bool changed = NeedsDump || Socket < 0;
    Born.clear();
    BriefLinks.clear();
    if (Socket >= 0) {
        for (;;) {
            const ssize_t length = ReceiveWhole(Socket, Notification, MSG_DONTWAIT);
            if (length < 0 && errno == ENOBUFS) { // notifications were lost
                NeedsDump = true;
                continue;
            }
            if (length <= 0)
                break;
            changed = true;
            auto remaining = static_cast<int>(length);
            auto* message = reinterpret_cast<nlmsghdr*>(Notification.data());
            for (; NLMSG_OK(message, remaining); message = NLMSG_NEXT(message, remaining))
                Apply(message);
            // Whatever could not be taken apart is a change missed: read the table whole.
            if (remaining != 0)
                NeedsDump = true;
        }
    }
    if (NeedsDump || Socket < 0) {
        std::vector<NetLink> links;
        if (DumpLinks(links)) {
            Table.clear();
            for (auto& link : links)
                Table.emplace(link.Index, std::move(link));
            NeedsDump = false;
        }
        changed = true;
    }
    return changed;
}

} // namespace win::posix
