#include "platform/posix/MeterClient.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <net/if.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace win::posix {

namespace {

constexpr std::chrono::milliseconds Patience{500};
constexpr std::size_t LongestAnswer = 4 << 20;

// Ethernet and Wi-Fi links count their Ethernet header on each packet; a PPP link, a tunnel, a
// raw-IP modem and the loopback count from the network header, as the meter does.
constexpr unsigned EtherType = 1;
constexpr std::uint64_t EtherHeader = 14;

} // namespace

std::string MeterClient::Identify(const std::string& interface)
{
    const unsigned index = interface.size() < IF_NAMESIZE ? if_nametoindex(interface.c_str()) : 0;
    if (index == 0)
        return {};
    // The link type, from the interface of this network namespace (what /sys shows may be
    // another's).
    unsigned number = 0;
    if (const int control = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0); control >= 0) {
        ifreq request{};
        std::memcpy(request.ifr_name, interface.c_str(), interface.size());
        if (ioctl(control, SIOCGIFHWADDR, &request) == 0)
            number = request.ifr_hwaddr.sa_family;
        close(control);
    }
    const std::lock_guard guard(Lock);
    HeaderBytes[index] = number == EtherType ? EtherHeader : 0;
    return "#" + std::to_string(index);
}

bool MeterClient::Programs(const std::string& identity, MeterAnswer& answer, std::string& why)
{
    answer = {{}, "pulopro-meter", {}};
    std::vector<ProgramBytes>& programs = answer.Programs;
    unsigned index = 0;
    const char* end = identity.data() + identity.size();
    if (identity.size() < 2 || identity[0] != '#' || std::from_chars(identity.data() + 1, end, index).ptr != end ||
        index == 0) {
        why = "no interface of that name";
        return false;
    }
    std::string text;
    if (!Ask("programs #" + std::to_string(index) + "\n", text, why) || !ParseMeterAnswer(text, programs, why))
        return false;
    std::uint64_t header = 0;
    {
        const std::lock_guard guard(Lock);
        if (const auto found = HeaderBytes.find(index); found != HeaderBytes.end())
            header = found->second;
    }
    for (ProgramBytes& program : programs) {
        program.Received += header * program.ReceivedPackets;
        program.Sent += header * program.SentPackets;
    }
    return true;
}

bool MeterClient::Ask(const std::string& request, std::string& answer, std::string& why) const
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (SocketPath.size() >= sizeof address.sun_path) {
        why = "the meter's socket path is too long";
        return false;
    }
    std::memcpy(address.sun_path, SocketPath.c_str(), SocketPath.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        why = std::string("the per-program meter is not running (") + std::strerror(errno) + ")";
        if (fd >= 0)
            close(fd);
        return false;
    }
    std::size_t written = 0;
    const auto until = std::chrono::steady_clock::now() + Patience;
    bool done = false;
    while (!done) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        pollfd wait{fd, static_cast<short>(written < request.size() ? POLLOUT : POLLIN), 0};
        if (left.count() <= 0 || poll(&wait, 1, static_cast<int>(left.count())) <= 0)
            break;
        if (written < request.size()) {
            const ssize_t sent = send(fd, request.data() + written, request.size() - written, MSG_NOSIGNAL);
            if (sent <= 0)
                break;
            written += static_cast<std::size_t>(sent);
            continue;
        }
        char chunk[16384];
        const ssize_t got = recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0)
            break;
        answer.append(chunk, static_cast<std::size_t>(got));
        const auto endsWith = [&](const char* end) {
            const std::size_t size = std::strlen(end);
            return answer.size() >= size && answer.compare(answer.size() - size, size, end) == 0;
        };
        done = endsWith("\n.\n") || (answer.rfind("error ", 0) == 0 && endsWith("\n")) || answer.size() > LongestAnswer;
    }
    close(fd);
    if (!done) {
        why = "the per-program meter did not answer in time";
        return false;
    }
    return true;
}

} // namespace win::posix
