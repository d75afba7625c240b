#pragma once

// What NetworkManager's objects mean to the program: which of its connection profiles are
// dial-up entries, which of its active connections count as dial-up connections (and under
// what names), which dial state a device state stands for, and which error a failed
// activation's reasons give. Plain data, read from the service by NmClient.

#include "platform/Ras.h"

#include <cstdint>
#include <string>
#include <vector>

namespace win::posix::nm {

// A saved connection profile.
struct Profile
{
    std::string Path;
    std::string Id;
    std::string Type; // the profile's connection type: "gsm", "pppoe", "802-11-wireless" ...
    std::string Uuid;

    bool operator==(const Profile&) const = default;
};

struct Device
{
    std::string Path;
    std::string Interface;   // the control interface: "ttyUSB2", "cdc-wdm0", "wlan0"
    std::string IpInterface; // the one that carries the traffic: "ppp0", "wwan0", "wlan0"
    std::uint32_t Type = 0;
    std::uint32_t State = 0;
    std::uint32_t Reason = 0; // why it came to its state (NMDeviceStateReason)
    std::uint32_t Metered = 0;
    std::string ActivePath; // its active connection, empty when none
    bool HasIpv4Address = false;

    bool operator==(const Device&) const = default;
};

struct Active
{
    std::string Path;
    std::string Id;
    std::string Type;
    std::string ProfilePath;
    std::uint32_t State = 0;
    std::vector<std::string> Devices;

    bool operator==(const Active&) const = default;
};

// The service as last read; Running is false when it is not on the bus (or there is no bus).
struct Snapshot
{
    bool Running = false;
    std::vector<Profile> Profiles;
    std::vector<Device> Devices;
    std::vector<Active> Actives;

    bool operator==(const Snapshot&) const = default;
};

// An active connection counted as a dial-up connection, found by its traffic interface.
struct Counted
{
    std::string ActivePath;
    std::string IpInterface;
    std::string EntryName;
    std::string DeviceType;
    std::string DeviceName;

    bool operator==(const Counted&) const = default;
};

constexpr std::uint32_t ActiveActivated = 2;
constexpr std::uint32_t ActiveDeactivating = 3;
constexpr std::uint32_t ActiveDeactivated = 4;
constexpr std::uint32_t DeviceDisconnected = 30;
constexpr std::uint32_t DeviceFailed = 120;

// The device the active connection runs on: the one of its devices that names it as its own.
[[nodiscard]] const Device* OwnDevice(const Snapshot& snapshot, const Active& active);
// Mobile broadband, PPPoE, Bluetooth, VPN and WireGuard profiles.
[[nodiscard]] bool IsDialUpKind(const std::string& type);
// The kinds whose line ends with the program, as a modem's does: mobile broadband, PPPoE and
// Bluetooth dial-up.
[[nodiscard]] bool EndsWithProgram(const std::string& type);
// The dial-up profiles' names, each once, in the service's order.
[[nodiscard]] std::vector<const Profile*> DialUpProfiles(const Snapshot& snapshot);
// The active connections that count: dial-up kinds, and with meteredCounts those whose device
// the service takes for metered; each once, on the device that is its own.
[[nodiscard]] std::vector<Counted> CountedConnections(const Snapshot& snapshot, bool meteredCounts);
// The kind of line, as the window names it: "Mobile broadband", "PPPoE", "Wi-Fi" ...
[[nodiscard]] std::string KindText(const std::string& connectionType, std::uint32_t deviceType);
// The device type of the connection list (at most 16 characters): "modem", "PPPoE", "vpn" ...
[[nodiscard]] std::string RasDeviceType(const std::string& connectionType);
// The dial state reached once the device is in this state (the states before it are reported
// first), or RASCS_OpenPort for the states before preparing.
[[nodiscard]] RASCONNSTATE DialStateOf(std::uint32_t deviceState);
// The error of an activation that failed, from the device's reason (NMDeviceStateReason) or,
// when that says nothing, the active connection's (NMActiveConnectionStateReason).
[[nodiscard]] DWORD DialError(std::uint32_t deviceReason, std::uint32_t activeReason);
// The error of a request the service answered with this D-Bus error name.
[[nodiscard]] DWORD RequestError(const std::string& errorName);

} // namespace win::posix::nm
