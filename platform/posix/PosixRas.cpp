#include "platform/posix/PosixRas.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fnmatch.h>
#include <linux/serial.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace win::posix {

namespace {

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

PosixRas::PosixRas(std::string pidDirectory, std::string peersDirectory)
    : PidDirectory(std::move(pidDirectory)), PeersDirectory(std::move(peersDirectory))
{
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

void PosixRas::Refresh()
{
    const bool changed = Table.Update();
    if (!changed && !PatternsChanged)
        return;
    PatternsChanged = false;
    std::vector<Connection> fresh;
    {
        for (const auto& [index, link] : Table.Links()) {
            if (!Counts(link))
                continue;
            Connection connection;
            connection.Pppd = FindPppd(PidDirectory, link.Name);
            connection.Link.Handle = static_cast<HRASCONN>(link.Index);
            connection.Link.EntryName = connection.Pppd.EntryName.empty() ? link.Name : connection.Pppd.EntryName;
            connection.Link.DeviceType = link.Type == ARPHRD_PPP ? "modem" : "vpn";
            connection.Link.DeviceName = connection.Pppd.DeviceName.empty() ? link.Name : connection.Pppd.DeviceName;
            connection.Address = link.Address;
            fresh.push_back(std::move(connection));
        }
    }
    Current = std::move(fresh);
    Links.clear();
    for (const Connection& connection : Current)
        Links.push_back(connection.Link);
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
    if (std::none_of(Dials.begin(), Dials.end(), [](const auto& dial) { return dial.second->Dialling(); }))
        return Links;
    Listed = Links;
    for (const auto& [handle, dial] : Dials)
        if (dial->Dialling())
            Listed.push_back({handle, dial->Entry(), "modem", "pppd"});
    return Listed;
}

DWORD PosixRas::Address(HRASCONN connection, std::string& address)
{
    if (PppdDial* dial = FindDial(connection)) {
        const Connection* link = LinkOf(*dial);
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
    std::error_code error;
    return IsPeerName(entry) && std::filesystem::is_regular_file(std::filesystem::path(PeersDirectory) / entry, error);
}

DWORD PosixRas::Dial(const std::string& entry, DialNotify notify, HRASCONN& handle)
{
    if (!HasEntry(entry))
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    ForgetFinishedDials();
    std::unique_ptr<PppdDial> dial;
    const DWORD started = PppdDial::Start(entry, std::move(notify), dial);
    if (started != ERROR_SUCCESS)
        return started;
    handle = NextDial++;
    Dials[handle] = std::move(dial);
    return ERROR_SUCCESS;
}

PosixRas::~PosixRas()
{
    // Each pppd still running is asked to end at once, then waited for together.
    for (auto& [handle, dial] : Dials)
        dial->HangUp();
    Dials.clear();
}

DWORD PosixRas::HangUp(HRASCONN connection)
{
    if (PppdDial* dial = FindDial(connection)) {
        dial->HangUp();
        return ERROR_SUCCESS;
    }
    if (Dials.contains(connection))
        return ERROR_SUCCESS; // a dial that has ended already
    const Connection* found = Find(connection);
    if (found == nullptr)
        return ERROR_INVALID_HANDLE;
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
