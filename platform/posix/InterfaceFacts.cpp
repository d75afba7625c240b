#include "platform/posix/InterfaceFacts.h"

#include <charconv>
#include <cstring>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace win::posix {

namespace {

constexpr unsigned EtherType = 1; // ARPHRD_ETHER
constexpr std::uint64_t EtherHeader = 14;

} // namespace

unsigned InterfaceIndex(const std::string& name)
{
    return !name.empty() && name.size() < IF_NAMESIZE ? if_nametoindex(name.c_str()) : 0;
}

std::string IdentityOf(unsigned index)
{
    return index == 0 ? std::string() : "#" + std::to_string(index);
}

unsigned IdentifiedIndex(const std::string& identity)
{
    unsigned index = 0;
    const char* end = identity.data() + identity.size();
    if (identity.size() < 2 || identity[0] != '#' || std::from_chars(identity.data() + 1, end, index).ptr != end)
        return 0;
    return index;
}

std::uint64_t LinkHeaderBytes(const std::string& name)
{
    // The link type, from the interface of this network namespace (what /sys shows may be
    // another's).
    unsigned type = 0;
    if (const int control = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0); control >= 0) {
        ifreq request{};
        if (name.size() < sizeof request.ifr_name) {
            std::memcpy(request.ifr_name, name.c_str(), name.size());
            if (ioctl(control, SIOCGIFHWADDR, &request) == 0)
                type = request.ifr_hwaddr.sa_family;
        }
        close(control);
    }
    return type == EtherType ? EtherHeader : 0;
}

} // namespace win::posix
