#pragma once

// One backend serves the Win32 calls of a process. It is made of services, installed once at
// start-up (posix for the program) or afresh for each test (sim). Later services (connections,
// registry, interface tables, sound, shell, help) join the same record.

#include "platform/Iphlpapi.h"
#include "platform/ModuleRegistry.h"
#include "platform/ProgramMeter.h"
#include "platform/Ras.h"
#include "platform/Win32.h"
#include "platform/Winreg.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace win {

class IProfileService
{
public:
    virtual ~IProfileService() = default;
    // Same contracts as GetPrivateProfileStringA and WritePrivateProfileStringA.
    virtual DWORD
    GetString(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR result, DWORD size, LPCSTR fileName) = 0;
    virtual BOOL WriteString(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) = 0;
    // Several keys of one section in one replacement of the file (WritePrivateProfileStringsA).
    virtual BOOL WriteStrings(LPCSTR section, const ProfileValues& values, LPCSTR fileName) = 0;
};

class ISystemService
{
public:
    virtual ~ISystemService() = default;
    virtual void LocalTime(SYSTEMTIME& time) = 0;
    virtual void SystemTime(SYSTEMTIME& time) = 0; // UTC
    virtual DWORD TickCount() = 0;
    virtual std::uint64_t TickCount64() = 0;
    // Waits for the time given; the simulation only moves its clock on.
    virtual void Sleep(DWORD milliseconds) = 0;
    // Fills the version fields (not the size field).
    virtual void Version(OSVERSIONINFOA& info) = 0;
    // The running executable's full path.
    [[nodiscard]] virtual std::string ModuleFileName() = 0;
    // Hands the memory the program has freed back to the system, which the C library would
    // otherwise keep for the program's later use.
    virtual void ReleaseFreeMemory() {}
};

// One active connection as the Remote Access Service lists it.
struct RasLink
{
    HRASCONN Handle = 0;
    std::string EntryName;
    std::string DeviceType;
    std::string DeviceName;
    // The network interface that carries it ("ppp0", "wlan0"); empty where there is none to name.
    std::string Interface = {};
    // The interface's counters when the connection began, for a line on an interface that was
    // there before it (a Wi-Fi or Ethernet card, a modem's network interface): its figures are
    // what came since. Zero for a link made for the connection, whose counters start with it.
    std::uint64_t SentBefore = 0;
    std::uint64_t ReceivedBefore = 0;
};

// One device the Remote Access Service can dial with.
struct RasDevice
{
    std::string Type; // "modem", "PPPoE" ...
    std::string Name;
    std::string Port; // empty when the device has none of its own
};

// The connections behind rasapi32; the record rules (sizes, room, codes) are kept by the calls.
// A connection's metered flag, as the desktop's network service keeps it: not set (it guesses),
// metered, not metered.
constexpr int MeteredUnknown = 0;
constexpr int MeteredYes = 1;
constexpr int MeteredNo = 2;

class IRasService
{
public:
    virtual ~IRasService() = default;
    // The active connections, in the order the system lists them; valid until the next call.
    [[nodiscard]] virtual const std::vector<RasLink>& Connections() = 0;
    // The connection's IPv4 address as dotted text: ERROR_SUCCESS,
    // ERROR_PROJECTION_NOT_COMPLETE (no address yet) or ERROR_INVALID_HANDLE (gone).
    [[nodiscard]] virtual DWORD Address(HRASCONN connection, std::string& address) = 0;
    // The connection's state and device: ERROR_SUCCESS or ERROR_INVALID_HANDLE.
    [[nodiscard]] virtual DWORD Status(HRASCONN connection, RASCONNSTATE& state, RasLink& link) = 0;
    [[nodiscard]] virtual DWORD HangUp(HRASCONN connection) = 0;
    // The connection's bytes since it began: of one that is up as they are now, of one that ended
    // a moment ago as they were at its very end (what it carried after the last look included).
    // ERROR_INVALID_HANDLE when it is neither; ERROR_NOT_SUPPORTED where the system cannot tell.
    [[nodiscard]] virtual DWORD Counters(HRASCONN /*connection*/, std::uint64_t& /*sent*/, std::uint64_t& /*received*/)
    {
        return ERROR_NOT_SUPPORTED;
    }
    // Interfaces to count as connections besides the dial-up (PPP) links, by name, with "*" and
    // "?" patterns; each counts while it is up with an IPv4 address. A backend whose
    // connections are all dial-up lines ignores them.
    virtual void CountLinks(const std::vector<std::string>& patterns) = 0;
    // Whether a connection the system takes for metered (a phone's hotspot) counts as a
    // connection too; a backend that cannot tell ignores it.
    virtual void CountMetered(bool /*counts*/) {}
    // The program is ending: from now on a hang-up ends only the lines the program exists to
    // dial (modem, mobile broadband, PPPoE, Bluetooth); one the system keeps up for other use
    // (Wi-Fi, Ethernet, a hotspot, a VPN) is left up. A backend of dial-up lines only ignores it.
    virtual void ProgramEnds() {}
    // Whether the connection is one of the lines the program exists to dial (as the program's end
    // tells them apart): what it may hang up by itself, at the download limit.
    [[nodiscard]] virtual bool IsDialUpLine(HRASCONN /*connection*/) { return true; }
    // The data saver's mark on a line the desktop's network service manages: what names the line's
    // saved profile for SetMetered (lasting while the profile does, across restarts of that
    // service); empty for a line it does not manage (a pppd line of the program's own).
    [[nodiscard]] virtual std::string MeteredProfile(HRASCONN /*connection*/) { return {}; }
    // Sets the profile's metered flag (MeteredUnknown, MeteredYes, MeteredNo) in the service's
    // memory only, the profile as saved left as it is; before gets what it was. ERROR_SUCCESS,
    // ERROR_NOT_FOUND when there is no such profile (any more), or the error of a refusal.
    [[nodiscard]] virtual DWORD SetMetered(const std::string& /*profile*/, int /*value*/, int& /*before*/)
    {
        return ERROR_NOT_SUPPORTED;
    }
    // The phonebook's entry names and the dialling devices, in the system's order.
    [[nodiscard]] virtual std::vector<std::string> PhonebookEntries() = 0;
    [[nodiscard]] virtual std::vector<RasDevice> Devices() = 0;
    // Whether the phonebook holds the entry (a name that could not be an entry is not there).
    [[nodiscard]] virtual bool HasEntry(const std::string& entry) = 0;
    // Starts dialling the entry; every state is reported to notify on a thread of the service's
    // own, ending with RASCS_Connected or an error code. Returns ERROR_SUCCESS with the dial's
    // handle (HangUp ends it), or the code of a dial that could not start.
    using DialNotify = std::function<void(RASCONNSTATE state, DWORD error)>;
    [[nodiscard]] virtual DWORD Dial(const std::string& entry, DialNotify notify, HRASCONN& handle) = 0;
};

// The registry behind advapi32: the keys and values the connection statistics are read from.
// Paths are "\"-separated and compare without regard to case.
class IRegistryService
{
public:
    virtual ~IRegistryService() = default;
    [[nodiscard]] virtual bool KeyExists(HKEY root, const std::string& path) = 0;
    // The key's subkeys, in the registry's order.
    [[nodiscard]] virtual std::vector<std::string> SubKeys(HKEY root, const std::string& path) = 0;
    // A value: ERROR_SUCCESS with its type and data, or ERROR_FILE_NOT_FOUND. For
    // HKEY_PERFORMANCE_DATA the path is empty and the name lists the objects asked for.
    [[nodiscard]] virtual DWORD
    Value(HKEY root, const std::string& path, const std::string& name, DWORD& type, std::vector<BYTE>& data) = 0;
};

// One network interface as the interface table shows it, with its counters in full.
struct IfEntry
{
    DWORD Index = 0;
    DWORD Type = IF_TYPE_OTHER;
    DWORD Mtu = 0;
    DWORD Speed = 0;            // bits a second, 0 when not known
    std::vector<BYTE> PhysAddr; // at most 8 bytes; none for tun and PPP links
    bool Up = false;
    bool Running = false;
    std::uint64_t InOctets = 0;
    std::uint64_t OutOctets = 0;
    std::uint64_t InPackets = 0;
    std::uint64_t OutPackets = 0;
    std::uint64_t InErrors = 0;
    std::uint64_t OutErrors = 0;
    std::uint64_t InDrops = 0;
    std::uint64_t OutDrops = 0;
    std::string Description;
};

// One interface's byte counters: what the speed monitor reads once a second.
struct IfByteCounts
{
    DWORD Index = 0;
    std::uint64_t InOctets = 0;
    std::uint64_t OutOctets = 0;
};

// One IPv4 address of an interface, in the record's byte order (first octet lowest).
struct IpAddrEntry
{
    DWORD Addr = 0;
    DWORD Index = 0;
    DWORD Mask = 0;
};

// The interface and address tables behind iphlpapi; the record rules are kept by the calls.
class IIpHelperService
{
public:
    virtual ~IIpHelperService() = default;
    // False when the system cannot be asked. The entries are reused: callers keep the vector
    // between reads so a steady table costs no allocation.
    [[nodiscard]] virtual bool Interfaces(std::vector<IfEntry>& entries) = 0;
    // The byte counters of the same interfaces, in the same order, without the rest of each
    // entry: a system that can hand over only the counters answers more cheaply.
    [[nodiscard]] virtual bool ByteCounts(std::vector<IfByteCounts>& counts)
    {
        if (!Interfaces(ByteCountScratch))
            return false;
        counts.resize(ByteCountScratch.size());
        for (std::size_t i = 0; i < counts.size(); ++i)
            counts[i] = {ByteCountScratch[i].Index, ByteCountScratch[i].InOctets, ByteCountScratch[i].OutOctets};
        return true;
    }
    // How many interfaces there are now, cheaply: enough to answer a size probe.
    [[nodiscard]] virtual std::size_t InterfaceCount() = 0;
    [[nodiscard]] virtual bool Addresses(std::vector<IpAddrEntry>& entries) = 0;
    // The interface of the best route to destination (network byte order); false when there is
    // none or the system cannot be asked.
    [[nodiscard]] virtual bool BestInterface(DWORD destination, DWORD& index)
    {
        static_cast<void>(destination);
        static_cast<void>(index);
        return false;
    }

private:
    std::vector<IfEntry> ByteCountScratch;
};

// The sound device behind winmm.
class ISoundService
{
public:
    virtual ~ISoundService() = default;
    // Same contract as PlaySoundA.
    virtual BOOL Play(LPCSTR sound, HMODULE module, DWORD flags) = 0;
};

// The help viewer: HtmlHelpA and WinHelpA's contracts.
class IHelpService
{
public:
    virtual ~IHelpService() = default;
    virtual DWORD HtmlHelp(DWORD caller, LPCSTR file, UINT command, std::uintptr_t data) = 0;
    virtual BOOL WinHelp(DWORD window, LPCSTR helpFile, UINT command, std::uintptr_t data) = 0;
};

// The desktop's way of opening an address (a web page, a new e-mail message).
class IShellService
{
public:
    virtual ~IShellService() = default;
    // True when a program to open it could be started.
    virtual bool Open(const std::string& address) = 0;
};

struct Backend final
{
    std::unique_ptr<IProfileService> Profiles;
    std::unique_ptr<ISystemService> System;
    std::unique_ptr<IRasService> Ras;
    std::unique_ptr<IIpHelperService> IpHelper;
    std::unique_ptr<ISoundService> Sound;
    std::unique_ptr<IRegistryService> Registry;
    std::unique_ptr<IHelpService> Help;
    std::unique_ptr<IShellService> Shell;
    // Shared with the usage history's thread, which asks it while a line is up.
    std::shared_ptr<IProgramMeter> Meter;
    ModuleRegistry Modules;
};

// Replaces the backend of the process; the previous one is destroyed.
void InstallBackend(std::unique_ptr<Backend> backend);
// The installed backend; the process stops with a message when none is installed.
[[nodiscard]] Backend& InstalledBackend();

} // namespace win
