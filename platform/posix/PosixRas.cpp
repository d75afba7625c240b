#include "platform/posix/PosixRas.h"

#include <QCoreApplication>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fnmatch.h>
#include <linux/serial.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <sys/ioctl.h>
#include <tuple>
#include <unistd.h>

namespace win::posix {

namespace {

// Connections that ended whose counters can still be asked for: a connection's end asks within a
// second or two.
constexpr std::size_t EndedConnectionsKept = 32;
// How long a link that came and went between two looks stays listed: longer than the once-a-second
// look of the connection's watcher, so that it sees the connection begin and end.
constexpr std::chrono::milliseconds BriefLinkListed{1200};
// How many such links may wait their turn to be seen.
constexpr std::size_t BriefLinksKept = 8;

// What a link carried since a connection on it began: its counters less those it began with.
std::pair<std::uint64_t, std::uint64_t>
CarriedSince(const NetCounters& counters, std::uint64_t sentBefore, std::uint64_t receivedBefore)
{
    return {counters.TxBytes - std::min<std::uint64_t>(counters.TxBytes, sentBefore),
            counters.RxBytes - std::min<std::uint64_t>(counters.RxBytes, receivedBefore)};
}

// A name pppd would take as a peer: a plain file name, nothing it could read as an option or a
// path.
bool IsPeerName(const std::string& name)
{
    if (name.empty() || name.front() == '.' || name.front() == '-' || name.size() > 255)
        return false;
    return std::none_of(name.begin(), name.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F || c == '/'; });
}

// A ttyS device node exists for every possible port; only one with a UART behind it is real.
bool IsRealSerialPort(const std::filesystem::path& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    serial_struct info{};
    const bool real = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    close(fd);
    return real;
}

bool PppoePluginInstalled()
{
    std::error_code error;
    for (const auto& folder : std::filesystem::directory_iterator("/usr/lib/pppd", error)) {
        for (const char* plugin : {"pppoe.so", "rp-pppoe.so"})
            if (std::filesystem::exists(folder.path() / plugin, error))
                return true;
    }
    return false;
}

} // namespace

PosixRas::PosixRas(std::string pidDirectory, std::string peersDirectory, std::string networkManagerBus)
    : PidDirectory(std::move(pidDirectory)), PeersDirectory(std::move(peersDirectory)),
      NmBus(std::move(networkManagerBus))
{
}

NmClient* PosixRas::NetworkManager()
{
    if (!NmTried && QCoreApplication::instance() != nullptr) {
        NmTried = true;
        Nm = std::make_unique<NmClient>(NmBus);
        // Its thread and bus connection end with the application, not after it, when this
        // service may still be installed.
        NmOwner = std::make_unique<QObject>();
        QObject::connect(QCoreApplication::instance(), &QObject::destroyed, NmOwner.get(), [this] { Nm.reset(); });
        // The phonebook is read once at start: wait for the service's profiles, briefly.
        Nm->WaitForFirstRead(std::chrono::seconds(2));
    }
    return Nm.get();
}

bool PosixRas::TakeNetworkManagerChanges()
{
    NmClient* nm = NetworkManager();
    if (nm == nullptr || nm->Generation() == NmSeen)
        return false;
    NmSeen = nm->Generation();
    NmNow = nm->Current();
    // NetworkManager away (restarted, updated): the lines it ran go on while their interfaces
    // do, so that a restart does not cut a connection in two; once it is back, it decides.
    if (!NmNow->Running)
        return false;
    std::erase_if(NmEnding, [this](const std::string& path) {
        return std::none_of(NmNow->Actives.begin(), NmNow->Actives.end(),
                            [&](const nm::Active& active) { return active.Path == path; });
    });
    auto counted = nm::CountedConnections(*NmNow, MeteredCounts);
    if (counted == NmCounted)
        return false;
    NmCounted = std::move(counted);
    return true;
}

bool PosixRas::IsPeer(const std::string& entry) const
{
    std::error_code error;
    return IsPeerName(entry) && std::filesystem::is_regular_file(std::filesystem::path(PeersDirectory) / entry, error);
}

const nm::Profile* PosixRas::NmProfile(const std::string& entry)
{
    TakeNetworkManagerChanges();
    for (const nm::Profile* profile : nm::DialUpProfiles(*NmNow))
        if (profile->Id == entry)
            return profile;
    return nullptr;
}

std::vector<std::string> PosixRas::PhonebookEntries()
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& file : std::filesystem::directory_iterator(PeersDirectory, error)) {
        const std::string name = file.path().filename().string();
        if (IsPeerName(name) && file.is_regular_file(error))
            names.push_back(name);
    }
    TakeNetworkManagerChanges();
    for (const nm::Profile* profile : nm::DialUpProfiles(*NmNow))
        if (std::find(names.begin(), names.end(), profile->Id) == names.end())
            names.push_back(profile->Id);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<RasDevice> PosixRas::Devices()
{
    std::vector<RasDevice> devices;
    std::vector<std::string> ports;
    std::error_code error;
    for (const auto& file : std::filesystem::directory_iterator("/dev", error)) {
        const std::string name = file.path().filename().string();
        if (name.starts_with("ttyUSB") || name.starts_with("ttyACM") ||
            (name.starts_with("ttyS") && IsRealSerialPort(file.path())))
            ports.push_back(name);
    }
    std::sort(ports.begin(), ports.end());
    for (const std::string& port : ports) {
        const char* kind = port.starts_with("ttyUSB")   ? "USB modem"
                           : port.starts_with("ttyACM") ? "USB (ACM) modem"
                                                        : "Serial modem";
        devices.push_back({"modem", std::string(kind) + " on " + port, "/dev/" + port});
    }
    if (PppoePluginInstalled())
        devices.push_back({"PPPoE", "PPP over Ethernet", ""});
    return devices;
}

bool PosixRas::Counts(const NetLink& link) const
{
    if ((link.Flags & IFF_UP) == 0 || (link.Flags & IFF_LOOPBACK) != 0)
        return false;
    if (link.Type == ARPHRD_PPP)
        return true;
    // An always-up VPN would keep the program online for ever: only the ones listed count.
    return !link.Address.empty() && std::any_of(Patterns.begin(), Patterns.end(), [&](const std::string& pattern) {
        return fnmatch(pattern.c_str(), link.Name.c_str(), 0) == 0;
    });
}

void PosixRas::CountLinks(const std::vector<std::string>& patterns)
{
    Patterns = patterns;
    PatternsChanged = true;
}

void PosixRas::CountMetered(bool counts)
{
    if (counts == MeteredCounts)
        return;
    MeteredCounts = counts;
    if (NmNow->Running)
        NmCounted = nm::CountedConnections(*NmNow, MeteredCounts);
    PatternsChanged = true;
}

void PosixRas::Refresh()
{
    const bool changed = Table.Update();
    const bool nmChanged = TakeNetworkManagerChanges();
    const auto now = std::chrono::steady_clock::now(); // a read of the vDSO's clock
    const bool briefEnded = std::any_of(Current.begin(), Current.end(),
                                        [&](const Connection& c) { return IsGone(c) && c.GoneUntil <= now; });
    if (!changed && !PatternsChanged && !nmChanged && !briefEnded)
        return;
    PatternsChanged = false;
    std::vector<Connection> fresh;
    std::vector<NetCounters> counters; // read once, when a line on an older interface appears
    {
        for (const auto& entry : Table.Links()) {
            const NetLink& link = entry.second; // named, for the lambda below
            const auto line = std::find_if(NmCounted.begin(), NmCounted.end(), [&](const nm::Counted& counted) {
                return counted.IpInterface == link.Name;
            });
            if (line != NmCounted.end() && (link.Flags & IFF_UP) != 0) {
                Connection connection;
                connection.Link = {static_cast<HRASCONN>(link.Index), line->EntryName, line->DeviceType,
                                   line->DeviceName, link.Name};
                connection.Address = link.Address;
                connection.NmActive = line->ActivePath;
                StartCounting(connection, link, counters);
                fresh.push_back(std::move(connection));
                continue;
            }
            if (Counts(link)) {
                Connection connection = LinkConnection(link);
                // An interface that was there before its line came up (a modem's wwan0, a tunnel
                // set down and up again) carried earlier connections: this one's figures are what
                // came since. One made for the line, or up already when the program started,
                // counts from its start.
                if (SeenLinks.count(link.Index) != 0)
                    StartCounting(connection, link, counters);
                fresh.push_back(std::move(connection));
            }
        }
        SeenLinks.clear();
        for (const auto& [index, link] : Table.Links())
            SeenLinks.insert(link.Index);
    }
    KeepBriefLinks(fresh, now);
    for (const Connection& known : Current) {
        const bool ended = std::none_of(fresh.begin(), fresh.end(), [&](const Connection& connection) {
            return connection.Link.Handle == known.Link.Handle;
        });
        if (ended) {
            EndedBefore[known.Link.Handle] = {known.Link.SentBefore, known.Link.ReceivedBefore, IsGone(known),
                                              known.CarriedSent, known.CarriedReceived};
            if (EndedBefore.size() > EndedConnectionsKept)
                EndedBefore.erase(EndedBefore.begin()); // interface indexes grow: the oldest
        }
    }
    Current = std::move(fresh);
    Links.clear();
    for (const Connection& connection : Current)
        Links.push_back(connection.Link);
}

PosixRas::Connection PosixRas::LinkConnection(const NetLink& link) const
{
    Connection connection;
    connection.Pppd = FindPppd(PidDirectory, link.Name);
    connection.Link.Handle = static_cast<HRASCONN>(link.Index);
    connection.Link.EntryName = connection.Pppd.EntryName.empty() ? link.Name : connection.Pppd.EntryName;
    connection.Link.DeviceType = link.Type == ARPHRD_PPP ? "modem" : "vpn";
    connection.Link.DeviceName = connection.Pppd.DeviceName.empty() ? link.Name : connection.Pppd.DeviceName;
    connection.Link.Interface = link.Name;
    connection.Address = link.Address;
    return connection;
}

void PosixRas::KeepBriefLinks(std::vector<Connection>& fresh, std::chrono::steady_clock::time_point now)
{
    std::size_t listed = 0;
    // They are listed first, in the order they came, one after the other: the watcher follows
    // the first connection listed, and sees each of them begin and end at its once-a-second look.
    auto lastUntil = now;
    for (const Connection& known : Current) {
        if (IsGone(known) && known.GoneUntil > now) {
            fresh.push_back(known);
            lastUntil = std::max(lastUntil, known.GoneUntil);
            ++listed;
        }
    }
    const auto isNmLine = [this](const std::string& interface) {
        return std::any_of(NmCounted.begin(), NmCounted.end(),
                           [&](const nm::Counted& counted) { return counted.IpInterface == interface; });
    };
    const auto hasEnd = [this](HRASCONN handle) { return Table.FinalCounters(static_cast<int>(handle)) != nullptr; };
    // NetworkManager's lines are its own to report; a listed interface is the user's to list.
    // A PPP link is a connection however short it was: one that came and went between two
    // looks, and one that ended while another was listed before it.
    std::vector<Connection> waiting;
    for (const NetLink& link : Table.Brief())
        if (link.Type == ARPHRD_PPP && Counts(link) && hasEnd(link.Index) && !isNmLine(link.Name))
            waiting.push_back(LinkConnection(link));
    for (const Connection& known : Current) {
        const bool ended = std::none_of(fresh.begin(), fresh.end(),
                                        [&](const Connection& c) { return c.Link.Handle == known.Link.Handle; });
        if (ended && &known != &Current.front() && !IsGone(known) && known.Link.DeviceType == "modem" &&
            known.NmActive.empty() && hasEnd(known.Link.Handle))
            waiting.push_back(known);
    }
    std::sort(waiting.begin(), waiting.end(),
              [](const Connection& a, const Connection& b) { return a.Link.Handle < b.Link.Handle; });
    for (Connection& connection : waiting) {
        // A line flapping faster than it can be looked at: the links past the last that can wait
        // are counted with it.
        const auto [sent, received] = CarriedSince(*Table.FinalCounters(static_cast<int>(connection.Link.Handle)),
                                                   connection.Link.SentBefore, connection.Link.ReceivedBefore);
        if (listed >= BriefLinksKept) {
            fresh.back().CarriedSent += sent;
            fresh.back().CarriedReceived += received;
            continue;
        }
        connection.CarriedSent = sent;
        connection.CarriedReceived = received;
        lastUntil += BriefLinkListed;
        connection.GoneUntil = lastUntil;
        fresh.push_back(std::move(connection));
        ++listed;
    }
    std::stable_sort(fresh.begin(), fresh.end(),
                     [](const Connection& a, const Connection& b) { return a.Link.Handle < b.Link.Handle; });
}

void PosixRas::StartCounting(Connection& connection, const NetLink& link, std::vector<NetCounters>& counters) const
{
    // A PPP link is made for its connection: its counters start at zero.
    if (link.Type == ARPHRD_PPP)
        return;
    // An activation is one connection: it keeps the counters it began with.
    for (const Connection& known : Current) {
        if (known.NmActive == connection.NmActive && known.Link.Handle == connection.Link.Handle) {
            connection.Link.SentBefore = known.Link.SentBefore;
            connection.Link.ReceivedBefore = known.Link.ReceivedBefore;
            return;
        }
    }
    if (counters.empty() && !DumpCounters(counters))
        return;
    for (const NetCounters& interface : counters) {
        if (interface.Index == link.Index) {
            connection.Link.SentBefore = interface.TxBytes;
            connection.Link.ReceivedBefore = interface.RxBytes;
        }
    }
}

const PosixRas::Connection* PosixRas::Find(HRASCONN connection)
{
    Refresh();
    for (const Connection& candidate : Current)
        if (candidate.Link.Handle == connection)
            return &candidate;
    return nullptr;
}

void PosixRas::ForgetFinishedDials()
{
    std::erase_if(Dials, [](const auto& dial) { return dial.second->Finished(); });
    std::erase_if(NmDials, [](const auto& dial) { return dial.second->Finished(); });
}

std::shared_ptr<NmDial> PosixRas::FindNmDial(HRASCONN handle)
{
    const auto found = NmDials.find(handle);
    return found != NmDials.end() && !found->second->Finished() ? found->second : nullptr;
}

const PosixRas::Connection* PosixRas::LinkOf(const NmDial& dial)
{
    if (!dial.LinkUp())
        return nullptr;
    Refresh();
    const std::string active = dial.ActivePath();
    for (const Connection& candidate : Current)
        if (!active.empty() && candidate.NmActive == active)
            return &candidate;
    return nullptr;
}

PppdDial* PosixRas::FindDial(HRASCONN handle)
{
    const auto found = Dials.find(handle);
    return found != Dials.end() && !found->second->Finished() ? found->second.get() : nullptr;
}

const PosixRas::Connection* PosixRas::LinkOf(const PppdDial& dial)
{
    if (!dial.LinkUp())
        return nullptr;
    Refresh();
    for (const Connection& candidate : Current)
        if (candidate.Pppd.Pid == dial.Pid())
            return &candidate;
    return nullptr;
}

const std::vector<RasLink>& PosixRas::Connections()
{
    Refresh();
    ForgetFinishedDials();
    // A dial whose connection is listed already (the service has shown it before telling the
    // dial) is that connection.
    const auto nmDialling = [this](const auto& dial) {
        const std::string active = dial.second->ActivePath();
        return dial.second->Dialling() &&
               (active.empty() || std::none_of(Current.begin(), Current.end(),
                                               [&](const Connection& c) { return c.NmActive == active; }));
    };
    const auto dialling = [](const auto& dial) { return dial.second->Dialling(); };
    if (std::none_of(Dials.begin(), Dials.end(), dialling) && std::none_of(NmDials.begin(), NmDials.end(), nmDialling))
        return Links;
    Listed = Links;
    for (const auto& [handle, dial] : Dials)
        if (dial->Dialling())
            Listed.push_back({handle, dial->Entry(), "modem", "pppd"});
    for (const auto& entry : NmDials)
        if (nmDialling(entry))
            Listed.push_back({entry.first, entry.second->Entry(), entry.second->DeviceType(), "NetworkManager"});
    return Listed;
}

DWORD PosixRas::Address(HRASCONN connection, std::string& address)
{
    const std::shared_ptr<NmDial> nmDial = FindNmDial(connection);
    if (PppdDial* dial = FindDial(connection); dial != nullptr || nmDial != nullptr) {
        const Connection* link = dial != nullptr ? LinkOf(*dial) : LinkOf(*nmDial);
        if (link == nullptr || link->Address.empty())
            return ERROR_PROJECTION_NOT_COMPLETE;
        address = link->Address;
        return ERROR_SUCCESS;
    }
    const Connection* found = Find(connection);
    if (found == nullptr)
        return ERROR_INVALID_HANDLE;
    if (found->Address.empty())
        return ERROR_PROJECTION_NOT_COMPLETE;
    address = found->Address;
    return ERROR_SUCCESS;
}

DWORD PosixRas::Status(HRASCONN connection, RASCONNSTATE& state, RasLink& link)
{
    const Connection* found = nullptr;
    if (PppdDial* dial = FindDial(connection)) {
        found = LinkOf(*dial);
        if (found == nullptr) {
            state = dial->State();
            link = {connection, dial->Entry(), "modem", "pppd"};
            return ERROR_SUCCESS;
        }
    } else if (const std::shared_ptr<NmDial> nmDial = FindNmDial(connection)) {
        found = LinkOf(*nmDial);
        if (found == nullptr) {
            state = nmDial->LinkUp() ? RASCS_Authenticated : nmDial->State();
            link = {connection, nmDial->Entry(), nmDial->DeviceType(), "NetworkManager"};
            return ERROR_SUCCESS;
        }
    } else {
        found = Find(connection);
    }
    if (found == nullptr)
        return ERROR_INVALID_HANDLE;
    state = found->Address.empty() ? RASCS_Authenticated : RASCS_Connected;
    link = found->Link;
    return ERROR_SUCCESS;
}

bool PosixRas::HasEntry(const std::string& entry)
{
    return IsPeer(entry) || NmProfile(entry) != nullptr;
}

DWORD PosixRas::Dial(const std::string& entry, DialNotify notify, HRASCONN& handle)
{
    ForgetFinishedDials();
    if (!IsPeer(entry)) {
        const nm::Profile* profile = NmProfile(entry);
        if (profile == nullptr || !Nm)
            return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
        handle = NextDial++;
        NmDials[handle] = Nm->Activate(entry, *profile, std::move(notify));
        return ERROR_SUCCESS;
    }
    std::unique_ptr<PppdDial> dial;
    const DWORD started = PppdDial::Start(entry, std::move(notify), dial);
    if (started != ERROR_SUCCESS)
        return started;
    handle = NextDial++;
    Dials[handle] = std::move(dial);
    return ERROR_SUCCESS;
}

bool PosixRas::NmEndsWithProgram(const std::string& activePath) const
{
    const auto active = std::find_if(NmNow->Actives.begin(), NmNow->Actives.end(),
                                     [&](const nm::Active& candidate) { return candidate.Path == activePath; });
    return active == NmNow->Actives.end() || nm::EndsWithProgram(active->Type);
}

bool PosixRas::IsDialUpLine(HRASCONN connection)
{
    if (FindDial(connection) != nullptr)
        return true;
    if (const std::shared_ptr<NmDial> dial = FindNmDial(connection))
        return !dial->LinkUp() || NmEndsWithProgram(dial->ActivePath());
    const Connection* found = Find(connection);
    if (found == nullptr)
        return false;
    if (!found->NmActive.empty())
        return NmEndsWithProgram(found->NmActive);
    return found->Pppd.Pid != 0; // a listed interface (a VPN) is not the program's to end
}

DWORD PosixRas::DeactivateNm(const std::string& activePath)
{
    if (Ending && !NmEndsWithProgram(activePath))
        return ERROR_SUCCESS; // the user's Wi-Fi, cable, hotspot or VPN stays up
    // The dial and the connection it made are one line: it is asked to end once.
    if (NmEnding.contains(activePath))
        return ERROR_SUCCESS;
    if (!Nm)
        return ERROR_NETWORK_SERVICE_STOPPED;
    const DWORD result = Nm->Deactivate(activePath);
    if (result == ERROR_SUCCESS)
        NmEnding.insert(activePath);
    return result;
}

PosixRas::~PosixRas()
{
    // Each pppd still running is asked to end at once, then waited for together.
    for (auto& [handle, dial] : Dials)
        dial->HangUp();
    Dials.clear();
}

DWORD PosixRas::Counters(HRASCONN connection, std::uint64_t& sent, std::uint64_t& received)
{
    Refresh();
    const auto carried = [&](std::pair<std::uint64_t, std::uint64_t> figures) {
        std::tie(sent, received) = figures;
        return ERROR_SUCCESS;
    };
    if (const Connection* found = Find(connection)) {
        if (IsGone(*found))
            return carried({found->CarriedSent, found->CarriedReceived});
        std::vector<NetCounters> counters;
        if (!DumpCounters(counters))
            return ERROR_NOT_SUPPORTED;
        for (const NetCounters& interface : counters)
            if (static_cast<HRASCONN>(interface.Index) == connection)
                return carried(CarriedSince(interface, found->Link.SentBefore, found->Link.ReceivedBefore));
        // Gone between the two looks: its end's notice is read at the next.
        Refresh();
    }
    const auto ended = EndedBefore.find(connection);
    if (ended != EndedBefore.end() && ended->second.Gone)
        return carried({ended->second.CarriedSent, ended->second.CarriedReceived});
    const NetCounters* final = Table.FinalCounters(static_cast<int>(connection));
    if (ended == EndedBefore.end() || final == nullptr)
        return ERROR_INVALID_HANDLE;
    return carried(CarriedSince(*final, ended->second.SentBefore, ended->second.ReceivedBefore));
}

DWORD PosixRas::HangUp(HRASCONN connection)
{
    if (PppdDial* dial = FindDial(connection)) {
        dial->HangUp();
        return ERROR_SUCCESS;
    }
    if (const std::shared_ptr<NmDial> dial = FindNmDial(connection)) {
        if (!dial->LinkUp()) {
            if (Nm)
                Nm->Cancel(dial);
            return ERROR_SUCCESS;
        }
        return DeactivateNm(dial->ActivePath());
    }
    if (Dials.contains(connection) || NmDials.contains(connection))
        return ERROR_SUCCESS; // a dial that has ended already
    const Connection* found = Find(connection);
    if (found == nullptr)
        return ERROR_INVALID_HANDLE;
    if (!found->NmActive.empty())
        return DeactivateNm(found->NmActive);
    if (found->Pppd.Pid == 0)
        return ERROR_NOT_SUPPORTED;
    for (auto& [handle, dial] : Dials) {
        if (!dial->Finished() && dial->Pid() == found->Pppd.Pid) {
            dial->HangUp();
            return ERROR_SUCCESS;
        }
    }
    return Ender.End(found->Pppd.Pid);
}

} // namespace win::posix
