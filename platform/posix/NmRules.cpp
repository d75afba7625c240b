#include "platform/posix/NmRules.h"

#include <algorithm>
#include <array>
#include <set>
#include <string_view>

namespace win::posix::nm {

namespace {

constexpr std::array<std::string_view, 6> DialUpKinds = {"gsm", "cdma", "pppoe", "bluetooth", "vpn", "wireguard"};

constexpr std::uint32_t MeteredYes = 1;
constexpr std::uint32_t MeteredGuessYes = 3;

// NMDeviceType values with a name of their own here.
constexpr std::uint32_t DeviceEthernet = 1;
constexpr std::uint32_t DeviceWifi = 2;
constexpr std::uint32_t DeviceBluetooth = 5;
constexpr std::uint32_t DeviceModem = 8;
constexpr std::uint32_t DeviceWireGuard = 29;

} // namespace

const Device* OwnDevice(const Snapshot& snapshot, const Active& active)
{
    for (const std::string& path : active.Devices) {
        const auto found = std::find_if(snapshot.Devices.begin(), snapshot.Devices.end(),
                                        [&](const Device& device) { return device.Path == path; });
        if (found != snapshot.Devices.end() && found->ActivePath == active.Path)
            return &*found;
    }
    return nullptr;
}

namespace {

struct ReasonError
{
    std::uint32_t Reason;
    DWORD Error;
};

// NMDeviceStateReason values and the errors they give.
constexpr ReasonError DeviceReasons[] = {
    {5, 738},                        // no address could be had
    {7, 691},                        // secrets were needed and not given
    {12, 691},                       // PPP did not start
    {13, 691},                       // PPP ended
    {14, 691},                       // PPP failed
    {15, 716},                       // DHCP
    {16, 716},                       //
    {17, 716},                       //
    {23, 676},                       // busy
    {24, 680},                       // no dial tone
    {25, 678},                       // no carrier
    {26, 678},                       // the dial timed out: no answer
    {27, 651},                       // the dial failed
    {28, 692},                       // the modem could not be initialised
    {29, ERROR_APN_REFUSED},         //
    {30, ERROR_REGISTRATION_FAILED}, // not searching for networks
    {31, ERROR_REGISTRATION_DENIED}, //
    {32, ERROR_REGISTRATION_FAILED}, // registration timed out
    {33, ERROR_REGISTRATION_FAILED}, //
    {34, ERROR_SIM_REFUSED},         // the PIN check failed
    {36, 630},                       // the device was removed
    {39, 631},                       // the user asked for it
    {43, 797},                       // the modem was not found
    {44, 692},                       // Bluetooth failed
    {45, ERROR_SIM_NOT_INSERTED},    //
    {46, ERROR_SIM_LOCKED},          // PIN needed
    {47, ERROR_SIM_LOCKED},          // PUK needed
    {48, ERROR_SIM_REFUSED},         // wrong SIM
    {52, 797},                       // the modem service is not running
    {57, 692},                       // the modem failed
    {59, ERROR_SIM_REFUSED},         // wrong PIN
};

// NMActiveConnectionStateReason values and the errors they give.
constexpr ReasonError ActiveReasons[] = {
    {2, 631}, // the user ended it
    {3, 628}, // the device went away
    {4, ERROR_NETWORK_SERVICE_STOPPED},
    {5, 716},  // the IP settings were not usable
    {6, 638},  // connecting timed out
    {7, 638},  // the VPN service did not start in time
    {8, 711},  // the VPN service did not start
    {9, 691},  // no secrets
    {10, 691}, // the login failed
    {11, 623}, // the profile was removed
    {14, 630}, // the device was removed
};

DWORD Lookup(const auto& table, std::uint32_t reason)
{
    for (const ReasonError& entry : table)
        if (entry.Reason == reason)
            return entry.Error;
    return ERROR_SUCCESS;
}

} // namespace

std::string KindText(const std::string& connectionType, std::uint32_t deviceType)
{
    if (connectionType == "gsm" || connectionType == "cdma" || deviceType == DeviceModem)
        return "Mobile broadband";
    if (connectionType == "pppoe")
        return "PPPoE";
    if (connectionType == "bluetooth" || deviceType == DeviceBluetooth)
        return "Bluetooth";
    if (connectionType == "vpn")
        return "VPN";
    if (connectionType == "wireguard" || deviceType == DeviceWireGuard)
        return "WireGuard";
    if (deviceType == DeviceWifi)
        return "Wi-Fi";
    if (deviceType == DeviceEthernet)
        return "Ethernet";
    return "Network";
}

std::string RasDeviceType(const std::string& connectionType)
{
    if (connectionType == "gsm" || connectionType == "cdma" || connectionType == "bluetooth")
        return "modem";
    if (connectionType == "pppoe")
        return "PPPoE";
    if (connectionType == "vpn" || connectionType == "wireguard")
        return "vpn";
    return "GENERIC";
}

bool IsDialUpKind(const std::string& type)
{
    return std::find(DialUpKinds.begin(), DialUpKinds.end(), type) != DialUpKinds.end();
}

bool EndsWithProgram(const std::string& type)
{
    return type == "gsm" || type == "cdma" || type == "pppoe" || type == "bluetooth";
}

std::vector<const Profile*> DialUpProfiles(const Snapshot& snapshot)
{
    std::vector<const Profile*> profiles;
    std::set<std::string> seen;
    for (const Profile& profile : snapshot.Profiles)
        if (IsDialUpKind(profile.Type) && !profile.Id.empty() && profile.Id.size() <= RAS_MaxEntryName &&
            seen.insert(profile.Id).second)
            profiles.push_back(&profile);
    return profiles;
}

std::vector<Counted> CountedConnections(const Snapshot& snapshot, bool meteredCounts)
{
    std::vector<Counted> counted;
    for (const Active& active : snapshot.Actives) {
        if (active.State != ActiveActivated)
            continue;
        const Device* device = OwnDevice(snapshot, active);
        if (device == nullptr)
            continue;
        const bool metered = device->Metered == MeteredYes || device->Metered == MeteredGuessYes;
        if (!IsDialUpKind(active.Type) && !(meteredCounts && metered))
            continue;
        const std::string& traffic = device->IpInterface.empty() ? device->Interface : device->IpInterface;
        if (traffic.empty() || std::any_of(counted.begin(), counted.end(),
                                           [&](const Counted& other) { return other.IpInterface == traffic; }))
            continue;
        std::string name = KindText(active.Type, device->Type);
        if (!device->Interface.empty())
            name += " (" + device->Interface + ")";
        counted.push_back({active.Path, traffic, active.Id, RasDeviceType(active.Type), name});
    }
    return counted;
}

RASCONNSTATE DialStateOf(std::uint32_t deviceState)
{
    if (deviceState >= 70 && deviceState < DeviceFailed) // IP configuration onwards
        return RASCS_Authenticated;
    if (deviceState >= 60) // secrets asked for
        return RASCS_Authenticate;
    if (deviceState >= 50) // the device is being set up: dialling
        return RASCS_ConnectDevice;
    if (deviceState >= 40) // preparing
        return RASCS_PortOpened;
    return RASCS_OpenPort;
}

DWORD DialError(std::uint32_t deviceReason, std::uint32_t activeReason)
{
    if (const DWORD error = Lookup(DeviceReasons, deviceReason); error != ERROR_SUCCESS)
        return error;
    if (const DWORD error = Lookup(ActiveReasons, activeReason); error != ERROR_SUCCESS)
        return error;
    return 635; // an unknown error
}

DWORD RequestError(const std::string& errorName)
{
    struct NameError
    {
        std::string_view Name;
        DWORD Error;
    };
    static constexpr NameError Names[] = {
        {"org.freedesktop.NetworkManager.PermissionDenied", ERROR_ACCESS_DENIED},
        {"org.freedesktop.NetworkManager.UnknownConnection", ERROR_CANNOT_FIND_PHONEBOOK_ENTRY},
        {"org.freedesktop.NetworkManager.UnknownDevice", 797},
        {"org.freedesktop.NetworkManager.ConnectionNotAvailable", 797},
        {"org.freedesktop.DBus.Error.NoReply", 638},
        {"org.freedesktop.DBus.Error.Timeout", 638},
        {"org.freedesktop.DBus.Error.TimedOut", 638},
        {"org.freedesktop.DBus.Error.ServiceUnknown", ERROR_NETWORK_SERVICE_STOPPED},
        {"org.freedesktop.DBus.Error.NameHasNoOwner", ERROR_NETWORK_SERVICE_STOPPED},
        {"org.freedesktop.DBus.Error.Disconnected", ERROR_NETWORK_SERVICE_STOPPED},
    };
    for (const NameError& entry : Names)
        if (entry.Name == errorName)
            return entry.Error;
    return ERROR_NETWORK_SERVICE_REFUSED;
}

} // namespace win::posix::nm
