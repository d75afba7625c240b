#include "tests/support/TunLink.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace pulo::test {

namespace {

ifreq Request(const std::string& name)
{
    ifreq request{};
    std::strncpy(request.ifr_name, name.c_str(), IFNAMSIZ - 1);
    return request;
}

bool ControlLink(unsigned long command, ifreq& request)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool done = ioctl(fd, command, &request) == 0;
    close(fd);
    return done;
}

bool SetInet(unsigned long command, const std::string& name, const std::string& address)
{
    ifreq request = Request(name);
    sockaddr_in inet{};
    inet.sin_family = AF_INET;
    if (inet_pton(AF_INET, address.c_str(), &inet.sin_addr) != 1)
        return false;
    std::memcpy(&request.ifr_addr, &inet, sizeof inet);
    return ControlLink(command, request);
}

} // namespace

TunLink::TunLink(const std::string& name, unsigned linkType) : LinkName(name)
{
    Fd = open("/dev/net/tun", O_RDWR | O_CLOEXEC);
    if (Fd < 0)
        return;
    ifreq request = Request(name);
    request.ifr_flags = IFF_TUN | IFF_NO_PI;
    if (ioctl(Fd, TUNSETIFF, &request) != 0 || (linkType != LinkTypeNone && ioctl(Fd, TUNSETLINK, linkType) != 0)) {
        close(Fd);
        Fd = -1;
    }
}

TunLink::~TunLink()
{
    if (Fd >= 0)
        close(Fd);
}

int TunLink::Index() const
{
    return static_cast<int>(if_nametoindex(LinkName.c_str()));
}

bool TunLink::SetUp(bool up)
{
    ifreq request = Request(LinkName);
    if (!ControlLink(SIOCGIFFLAGS, request))
        return false;
    if (up)
        request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
    else
        request.ifr_flags = static_cast<short>(request.ifr_flags & ~IFF_UP);
    return ControlLink(SIOCSIFFLAGS, request);
}

bool TunLink::SetAddress(const std::string& local, const std::string& peer)
{
    return SetInet(SIOCSIFADDR, LinkName, local) && SetInet(SIOCSIFDSTADDR, LinkName, peer);
}

bool MakePersistentTun(const std::string& name)
{
    const int fd = open("/dev/net/tun", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    ifreq request = Request(name);
    request.ifr_flags = IFF_TUN | IFF_NO_PI;
    const bool made = ioctl(fd, TUNSETIFF, &request) == 0 && ioctl(fd, TUNSETPERSIST, 1) == 0;
    close(fd);
    return made;
}

bool EnterOwnNetworkNamespace(std::string& reason)
{
    if (geteuid() != 0) {
        reason = "needs root to make network links";
        return false;
    }
    if (unshare(CLONE_NEWNET) != 0) {
        reason = std::string("cannot make a network namespace: ") + std::strerror(errno);
        return false;
    }
    if (access("/dev/net/tun", R_OK | W_OK) != 0) {
        reason = "no /dev/net/tun";
        return false;
    }
    return true;
}

bool TunLink::Receive(const std::vector<unsigned char>& packet) const
{
    return write(Fd, packet.data(), packet.size()) == static_cast<ssize_t>(packet.size());
}

long TunLink::TakeSent() const
{
    const int flags = fcntl(Fd, F_GETFL);
    fcntl(Fd, F_SETFL, flags | O_NONBLOCK);
    std::vector<unsigned char> buffer(65536);
    long taken = 0;
    for (ssize_t got; (got = read(Fd, buffer.data(), buffer.size())) > 0;)
        taken += got;
    fcntl(Fd, F_SETFL, flags);
    return taken;
}

bool RunCommand(std::vector<std::string> arguments)
{
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<unsigned char> Ipv4Packet(std::size_t length)
{
    std::vector<unsigned char> packet(length, 0);
    packet[0] = 0x45; // version 4, a header of 20 bytes
    packet[2] = static_cast<unsigned char>(length >> 8);
    packet[3] = static_cast<unsigned char>(length & 0xFF);
    packet[8] = 64; // time to live
    packet[9] = 17; // UDP
    return packet;
}

} // namespace pulo::test
