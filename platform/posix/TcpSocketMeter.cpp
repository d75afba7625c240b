#include "platform/posix/TcpSocketMeter.h"

#include "platform/posix/InterfaceFacts.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <dirent.h>
#include <ifaddrs.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/tcp.h>
#include <net/if.h>
#include <netinet/in.h>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

// The kernel's netlink macros cast in C's way and compare numbers of either sign.
#pragma GCC diagnostic ignored "-Wold-style-cast"
#pragma GCC diagnostic ignored "-Wsign-compare"

namespace win::posix {

namespace {

constexpr std::size_t Chunk = 1 << 16;
constexpr std::uint64_t Ipv4Header = 20;
constexpr std::uint64_t Ipv6Header = 40;
constexpr std::uint64_t TcpHeader = 20;
constexpr std::uint64_t TimestampOption = 12; // with its padding
constexpr std::size_t NeededInfo = offsetof(tcp_info, tcpi_segs_in) + sizeof(tcp_info::tcpi_segs_in);
constexpr std::size_t InfoWithBytesSent = offsetof(tcp_info, tcpi_bytes_sent) + sizeof(tcp_info::tcpi_bytes_sent);

const unsigned char MappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};

std::string LinkText(const std::string& path)
{
    char target[4096];
    const ssize_t size = readlink(path.c_str(), target, sizeof target - 1);
    return size > 0 ? std::string(target, static_cast<std::size_t>(size)) : std::string();
}

} // namespace

void ParseSocketReadings(const unsigned char* data, std::size_t size, std::vector<TcpSocketMeter::Reading>& readings)
{
    int left = static_cast<int>(std::min<std::size_t>(size, 1 << 30));
    for (auto* header = reinterpret_cast<const nlmsghdr*>(data); NLMSG_OK(header, left);
         header = NLMSG_NEXT(header, left)) {
        if (header->nlmsg_type != SOCK_DIAG_BY_FAMILY || header->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
            continue;
        const auto* message = static_cast<const inet_diag_msg*>(NLMSG_DATA(header));
        if (message->idiag_family != AF_INET && message->idiag_family != AF_INET6)
            continue;
        TcpSocketMeter::Reading reading;
        reading.Cookie = message->id.idiag_cookie[0] | (std::uint64_t{message->id.idiag_cookie[1]} << 32);
        reading.Inode = message->idiag_inode;
        reading.Uid = message->idiag_uid;
        std::memcpy(reading.Local, message->id.idiag_src, sizeof reading.Local);
        reading.V6 = message->idiag_family == AF_INET6;
        if (reading.V6 && std::memcmp(reading.Local, MappedPrefix, sizeof MappedPrefix) == 0) {
            reading.V6 = false;
            std::memmove(reading.Local, reading.Local + 12, 4);
        }
        bool info = false;
        int attributes = static_cast<int>(header->nlmsg_len - NLMSG_LENGTH(sizeof(inet_diag_msg)));
        for (auto* attribute = reinterpret_cast<const rtattr*>(reinterpret_cast<const char*>(message) +
                                                               NLMSG_ALIGN(sizeof(inet_diag_msg)));
             RTA_OK(attribute, attributes); attribute = RTA_NEXT(attribute, attributes)) {
            if (attribute->rta_type != INET_DIAG_INFO || RTA_PAYLOAD(attribute) < NeededInfo)
                continue;
            tcp_info tcp{};
            std::memcpy(&tcp, RTA_DATA(attribute), std::min<std::size_t>(RTA_PAYLOAD(attribute), sizeof tcp));
            reading.Received = tcp.tcpi_bytes_received;
            // Retransmissions are on the wire too; a kernel before 4.19 says only what was acknowledged.
            reading.Sent = RTA_PAYLOAD(attribute) >= InfoWithBytesSent ? tcp.tcpi_bytes_sent : tcp.tcpi_bytes_acked;
            reading.SegmentsIn = tcp.tcpi_segs_in;
            reading.SegmentsOut = tcp.tcpi_segs_out;
            reading.Timestamps = (tcp.tcpi_options & TCPI_OPT_TIMESTAMPS) != 0;
            info = true;
        }
        if (info)
            readings.push_back(reading);
    }
}

TcpSocketMeter::TcpSocketMeter()
{
    Destroyed = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_SOCK_DIAG);
    if (Destroyed < 0)
        return;
    // Bound, so that the socket has an address of its own (the kernel sends no notice to the
    // address it sends from). Without the notices a socket that closes between two looks loses
    // what it carried since the last one: it is Other's.
    sockaddr_nl self{};
    self.nl_family = AF_NETLINK;
    self.nl_groups = (1U << (SKNLGRP_INET_TCP_DESTROY - 1)) | (1U << (SKNLGRP_INET6_TCP_DESTROY - 1));
    if (bind(Destroyed, reinterpret_cast<const sockaddr*>(&self), sizeof self) != 0) {
        close(Destroyed);
        Destroyed = -1;
    }
}

TcpSocketMeter::~TcpSocketMeter()
{
    {
        const std::lock_guard guard(Lock);
        Stopping = true;
    }
    Wake.notify_all();
    if (Watcher.joinable())
        Watcher.join();
    if (Destroyed >= 0)
        close(Destroyed);
}

std::string TcpSocketMeter::Identify(const std::string& interface)
{
    const unsigned index = InterfaceIndex(interface);
    if (index == 0)
        return {};
    Line line;
    line.Header = LinkHeaderBytes(interface);
    ifaddrs* all = nullptr;
    if (getifaddrs(&all) == 0) {
        for (const ifaddrs* each = all; each != nullptr; each = each->ifa_next) {
            if (each->ifa_addr == nullptr || interface != each->ifa_name)
                continue;
            if (each->ifa_addr->sa_family == AF_INET) {
                const auto* address = reinterpret_cast<const unsigned char*>(
                    &reinterpret_cast<const sockaddr_in*>(each->ifa_addr)->sin_addr);
                line.Addresses.push_back({false, {address, address + 4}});
            } else if (each->ifa_addr->sa_family == AF_INET6) {
                const auto* address = reinterpret_cast<const unsigned char*>(
                    &reinterpret_cast<const sockaddr_in6*>(each->ifa_addr)->sin6_addr);
                line.Addresses.push_back({true, {address, address + 16}});
            }
        }
        freeifaddrs(all);
    }
    const std::lock_guard guard(Lock);
    Lines[index] = std::move(line);
    return IdentityOf(index);
}

bool TcpSocketMeter::Dump(std::vector<Reading>& readings, std::string& why) const
{
    const int diag = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (diag < 0) {
        why = "the kernel's socket statistics cannot be read";
        return false;
    }
    // Each answer is waited for at most a moment.
    const timeval patience{0, 500000};
    (void)setsockopt(diag, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    std::vector<unsigned char> buffer(Chunk);
    bool done = true;
    for (const unsigned char family : {AF_INET, AF_INET6}) {
        struct
        {
            nlmsghdr Header;
            inet_diag_req_v2 Request;
        } ask{};
        ask.Header.nlmsg_len = sizeof ask;
        ask.Header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
        ask.Header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
        ask.Request.sdiag_family = family;
        ask.Request.sdiag_protocol = IPPROTO_TCP;
        ask.Request.idiag_ext = 1U << (INET_DIAG_INFO - 1);
        ask.Request.idiag_states = ~0U;
        sockaddr_nl kernel{};
        kernel.nl_family = AF_NETLINK;
        if (sendto(diag, &ask, sizeof ask, 0, reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel) < 0) {
            done = false;
            break;
        }
        for (bool more = true; more;) {
            const ssize_t got = recv(diag, buffer.data(), buffer.size(), 0);
            if (got <= 0) {
                done = more = false;
                break;
            }
            int left = static_cast<int>(got);
            for (auto* header = reinterpret_cast<const nlmsghdr*>(buffer.data()); NLMSG_OK(header, left);
                 header = NLMSG_NEXT(header, left))
                if (header->nlmsg_type == NLMSG_DONE || header->nlmsg_type == NLMSG_ERROR)
                    more = false;
            ParseSocketReadings(buffer.data(), static_cast<std::size_t>(got), readings);
        }
        if (!done)
            break;
    }
    close(diag);
    if (!done)
        why = "the kernel's socket statistics could not be read";
    return done;
}

void TcpSocketMeter::ReadDestroyed()
{
    if (Destroyed < 0)
        return;
    std::vector<unsigned char> buffer(Chunk);
    std::vector<Reading> readings;
    for (;;) {
        const ssize_t got = recv(Destroyed, buffer.data(), buffer.size(), 0);
        if (got <= 0)
            break; // none left (or some were lost: their sockets' last bytes are Other's)
        ParseSocketReadings(buffer.data(), static_cast<std::size_t>(got), readings);
    }
    for (const Reading& reading : readings) {
        if (const auto counted = Sockets.find(reading.Cookie); counted != Sockets.end()) {
            Count(reading, counted->second);
            Sockets.erase(counted);
        }
    }
}

void TcpSocketMeter::FindOwners(const std::vector<std::uint32_t>& inodes, std::map<std::uint32_t, int>& owners)
{
    std::set<std::uint32_t> wanted(inodes.begin(), inodes.end());
    DIR* processes = opendir("/proc");
    if (processes == nullptr)
        return;
    const uid_t self = getuid();
    while (const dirent* process = readdir(processes)) {
        if (wanted.empty())
            break;
        if (process->d_name[0] < '1' || process->d_name[0] > '9')
            continue;
        const std::string folder = std::string("/proc/") + process->d_name;
        struct stat facts = {};
        if (stat(folder.c_str(), &facts) != 0 || facts.st_uid != self)
            continue; // another user's: its sockets stay in Other
        DIR* descriptors = opendir((folder + "/fd").c_str());
        if (descriptors == nullptr)
            continue;
        int owner = -1;
        while (const dirent* descriptor = readdir(descriptors)) {
            const std::string target = LinkText(folder + "/fd/" + descriptor->d_name);
            if (target.rfind("socket:[", 0) != 0)
                continue;
            const auto inode = static_cast<std::uint32_t>(std::strtoul(target.c_str() + 8, nullptr, 10));
            if (wanted.erase(inode) == 0)
                continue;
            if (owner < 0) {
                std::string path = LinkText(folder + "/exe");
                std::string program = path.substr(path.rfind('/') + 1);
                const auto known = std::find(Owners.begin(), Owners.end(), std::pair{program, path});
                owner = static_cast<int>(known - Owners.begin());
                if (known == Owners.end())
                    Owners.emplace_back(std::move(program), std::move(path));
            }
            owners[inode] = owner;
        }
        closedir(descriptors);
    }
    closedir(processes);
}

void TcpSocketMeter::Count(const Reading& reading, Counted& counted)
{
    const auto line = Lines.find(counted.Index);
    const std::uint64_t header = (line == Lines.end() ? 0 : line->second.Header) +
                                 (reading.V6 ? Ipv6Header : Ipv4Header) + TcpHeader +
                                 (reading.Timestamps ? TimestampOption : 0);
    const std::uint64_t received = reading.Received + reading.SegmentsIn * header;
    const std::uint64_t sent = reading.Sent + reading.SegmentsOut * header;
    if (counted.Owner >= 0) {
        ProgramBytes& total = Totals[{counted.Index, counted.Owner}];
        total.Program = Owners[static_cast<std::size_t>(counted.Owner)].first;
        total.Path = Owners[static_cast<std::size_t>(counted.Owner)].second;
        total.Received += received > counted.Received ? received - counted.Received : 0;
        total.Sent += sent > counted.Sent ? sent - counted.Sent : 0;
    }
    counted.Received = std::max(counted.Received, received);
    counted.Sent = std::max(counted.Sent, sent);
}

void TcpSocketMeter::Watch()
{
    std::unique_lock lock(Lock);
    while (!Stopping) {
        // Rests (no wake-up at all) once it has not been asked for a while.
        if (LooksLeft <= 0) {
            Wake.wait(lock, [this] { return Stopping || LooksLeft > 0; });
            continue;
        }
        Wake.wait_for(lock, std::chrono::seconds(1), [this] { return Stopping; });
        if (Stopping)
            break;
        --LooksLeft;
        std::string why;
        (void)Look(Watched, why);
    }
}

bool TcpSocketMeter::Programs(const std::string& identity, MeterAnswer& answer, std::string& why)
{
    // Asked every few seconds while a line is up: the watcher looks in between for a while.
    constexpr int LooksBetweenQuestions = 30;
    answer = {{},
              "tcp",
              "only TCP is counted by program, from the kernel's socket statistics; UDP (and so "
              "QUIC) is in Other"};
    const unsigned index = IdentifiedIndex(identity);
    std::unique_lock lock(Lock);
    if (!Look(index, why))
        return false;
    Watched = index;
    LooksLeft = LooksBetweenQuestions;
    if (!Watcher.joinable())
        Watcher = std::thread([this] { Watch(); });
    Wake.notify_all();
    for (const auto& [key, total] : Totals)
        if (key.first == index)
            answer.Programs.push_back(total);
    return true;
}

bool TcpSocketMeter::Look(unsigned index, std::string& why)
{
    const auto line = Lines.find(index);
    if (line == Lines.end()) {
        why = "no interface of that name";
        return false;
    }
    ReadDestroyed();
    std::vector<Reading> readings;
    if (!Dump(readings, why))
        return false;
    const auto onLine = [&](const Reading& reading) {
        return std::any_of(line->second.Addresses.begin(), line->second.Addresses.end(), [&](const auto& address) {
            return address.first == reading.V6 &&
                   std::memcmp(address.second.data(), reading.Local, address.second.size()) == 0;
        });
    };
    const uid_t self = getuid();
    std::vector<std::uint32_t> unknown;
    for (const Reading& reading : readings)
        if (reading.Uid == self && Sockets.count(reading.Cookie) == 0 && onLine(reading))
            unknown.push_back(reading.Inode);
    std::map<std::uint32_t, int> owners;
    if (!unknown.empty())
        FindOwners(unknown, owners);
    std::set<std::uint64_t> present;
    for (const Reading& reading : readings) {
        auto counted = Sockets.find(reading.Cookie);
        if (counted == Sockets.end()) {
            if (reading.Uid != self || !onLine(reading))
                continue;
            const auto owner = owners.find(reading.Inode);
            counted =
                Sockets.emplace(reading.Cookie, Counted{index, owner == owners.end() ? -1 : owner->second, 0, 0}).first;
        }
        present.insert(reading.Cookie);
        Count(reading, counted->second);
    }
    // Sockets gone without a notice (notices lost): what they carried since the last look is Other's.
    std::erase_if(Sockets, [&](const auto& each) { return present.count(each.first) == 0; });
    return true;
}

} // namespace win::posix
