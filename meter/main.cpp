// pulopro-meter: counts the bytes each program's sockets carry on each network interface of the
// network namespace it runs in, and answers PuloPro over a Unix socket. Run by its systemd unit
// with CAP_BPF, CAP_NET_ADMIN and CAP_PERFMON; by hand it runs in the foreground and logs to
// standard error.
//
//   pulopro-meter [--socket PATH]

#include "meter/CgroupNames.h"
#include "meter/CgroupRoot.h"
#include "meter/MeterServer.h"
#include "meter/MeterService.h"
#include "meter/MeterTables.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <linux/capability.h>
#include <net/if.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

using namespace pulo::meter;

constexpr const char* DefaultSocket = "/run/pulopro-meter/socket";
constexpr int HarvestMs = 2000;

int Fail(const std::string& line)
{
    std::fprintf(stderr, "pulopro-meter: %s\n", line.c_str());
    return 1;
}

// The cookie of this process's network namespace: the one counted.
bool OwnNetnsCookie(std::uint64_t& cookie, std::string& why)
{
    const int probe = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    socklen_t size = sizeof cookie;
    const bool known = probe >= 0 && getsockopt(probe, SOL_SOCKET, SO_NETNS_COOKIE, &cookie, &size) == 0;
    if (!known)
        why = std::string("cannot tell the network namespace: ") + std::strerror(errno) +
              " (the kernel is older than 5.14)";
    if (probe >= 0)
        close(probe);
    return known;
}

// The capabilities the meter needs that this process lacks, named; empty when it has them all.
std::string MissingCapabilities()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return {};
    std::string missing;
    for (const auto& [capability, name] :
         {std::pair{CAP_BPF, "CAP_BPF"}, {CAP_NET_ADMIN, "CAP_NET_ADMIN"}, {CAP_PERFMON, "CAP_PERFMON"}}) {
        if ((data[capability / 32].effective & (1U << (capability % 32))) == 0)
            missing += (missing.empty() ? "" : ", ") + std::string(name);
    }
    return missing;
}

bool ProcessFacts(const TMeterTables& tables, std::uint32_t tgid, std::string& path, std::string& comm)
{
    if (tables.NameOf(tgid, path, comm) && !path.empty())
        return true;
    const std::string folder = "/proc/" + std::to_string(tgid);
    char target[4096];
    const ssize_t length = readlink((folder + "/exe").c_str(), target, sizeof target);
    if (length > 0)
        path.assign(target, static_cast<std::size_t>(length));
    std::ifstream file(folder + "/comm");
    std::string living;
    if (std::getline(file, living))
        comm = living;
    return !path.empty() || !comm.empty();
}

} // namespace

int main(int argc, char** argv)
{
    std::string socketPath = DefaultSocket;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--socket" && i + 1 < argc) {
            socketPath = argv[++i];
        } else if (option == "--help") {
            std::printf("Usage: pulopro-meter [--socket PATH]\n"
                        "Counts the bytes each program carries on each network interface and answers PuloPro\n"
                        "over a Unix socket (default %s).\n",
                        DefaultSocket);
            return 0;
        } else {
            return Fail("unknown option " + option + " (pulopro-meter --help says which there are)");
        }
    }
    sigset_t stops;
    sigemptyset(&stops);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&stops, signal);
    sigprocmask(SIG_BLOCK, &stops, nullptr);
    const int stopFd = signalfd(-1, &stops, SFD_CLOEXEC | SFD_NONBLOCK);

    if (const std::string missing = MissingCapabilities(); !missing.empty())
        return Fail("missing capability " + missing +
                    " (run it as root, or by its service unit, which grants "
                    "CAP_BPF, CAP_NET_ADMIN and CAP_PERFMON)");
    std::string why;
    std::uint64_t netns = 0;
    if (!OwnNetnsCookie(netns, why))
        return Fail(why);
    const std::string folder =
        socketPath.substr(0, socketPath.rfind('/') == std::string::npos ? 0 : socketPath.rfind('/'));
    bool mountedHere = false;
    const std::string root = FindCgroupRoot(folder.empty() ? "." : folder, why, mountedHere);
    if (root.empty())
        return Fail(why);
    TMeterTables tables;
    const bool started = tables.Start(root, netns, why);
    // A hierarchy mounted for the meter alone does not outlive it: once attached, it is let go.
    if (mountedHere)
        ForgetCgroupRoot(root);
    if (!started)
        return Fail(why);

    TLedger ledger;
    std::vector<TKey> ended;
    TCgroupNames groups(tables.RootFolder());
    const TOwnerLookup lookup{[&](std::uint32_t tgid, std::string& path, std::string& comm) {
                                  return ProcessFacts(tables, tgid, path, comm);
                              },
                              [&](std::uint64_t id) { return groups.PathOf(id); }};
    const auto harvest = [&] {
        ended.clear();
        tables.Harvest(ledger.Living, ended);
        Retire(ledger, ended, lookup);
    };
    THolds holds;
    const auto refuse = [&] {
        if (!tables.Hold(holds.Wanted(), why))
            std::fprintf(stderr, "pulopro-meter: %s\n", why.c_str());
    };
    const auto answer = [&](const std::string& request, uid_t uid, std::uint64_t caller) -> std::string {
        if (request == "release") {
            holds.Release(caller);
            refuse();
            return "ok\n";
        }
        if (request.starts_with("hold ")) {
            // The caller's programs are refused until it releases them or its connection ends.
            THold hold;
            std::string refused;
            if (!ParseHold(request, uid, hold, refused) || !holds.Add(caller, hold, refused))
                return "error " + refused + "\n";
            refuse();
            return "ok\n";
        }
        const std::string verb = "programs ";
        if (request.compare(0, verb.size(), verb) != 0)
            return "error unknown request (ask: programs IFNAME, programs #IFINDEX, hold #IFINDEX MAJOR:MINOR "
                   "INODE or release)\n";
        const std::string interface = request.substr(verb.size());
        // "#" and an index names a link even after it has gone (its figures stay until the meter
        // ends), or after its name went to a new link.
        unsigned index = 0;
        if (!interface.empty() && interface[0] == '#') {
            const char* end = interface.data() + interface.size();
            if (std::from_chars(interface.data() + 1, end, index).ptr != end)
                index = 0;
        } else if (interface.size() < IF_NAMESIZE) {
            index = if_nametoindex(interface.c_str());
        }
        if (index == 0)
            return "error no interface " + std::string(interface.size() < IF_NAMESIZE ? interface : "of that name") +
                   "\n";
        harvest();
        return AnswerText(ProgramsOn(ledger, index, uid, lookup));
    };
    TMeterServer server(
        answer,
        [&](std::uint64_t caller) {
            if (holds.Holds(caller)) {
                holds.Release(caller);
                refuse();
            }
        },
        [&](std::uint64_t caller) { return holds.Holds(caller); });
    if (!server.Listen(socketPath, why))
        return Fail(why);
    std::fprintf(stderr, "pulopro-meter: counting at %s, answering at %s\n", root.c_str(), socketPath.c_str());

    // Between requests the kernel's entries of ended processes go.
    if (!server.Run(stopFd, HarvestMs, harvest, why))
        return Fail(why);
    std::fprintf(stderr, "pulopro-meter: ended; nothing is left attached\n");
    return 0;
}
