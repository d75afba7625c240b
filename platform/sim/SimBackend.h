#pragma once

// A simulated platform for tests and the demo: a clock that moves only when told, a settable
// executable path (so the settings file lands in a test's own folder) and profile files on
// disk whose writes can be refused on demand.

#include "platform/Backend.h"
#include "platform/sim/SimProgramMeter.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace win::sim {

// A simulated dial-up line (or VPN) as the connection list shows it.
struct SimLine
{
    HRASCONN Handle = 0;
    std::string EntryName;
    std::string DeviceType = "modem";
    std::string DeviceName = "Standard 56000 bps Modem";
    std::string Address; // empty while the line is still negotiating
    // Traffic in bytes a second, for the counters of the line's adapter.
    double SendRate = 0;
    double ReceiveRate = 0;
    std::uint64_t SentBase = 0; // bytes counted before Since
    std::uint64_t ReceivedBase = 0;
    DWORD Since = 0;            // tick count when the line came up or its rates last changed
    DWORD ConnectSpeed = 49333; // bits a second, as the modem reports it
    bool DialUp = true;         // false: a line the program does not exist to dial (a VPN, Wi-Fi)
    // The profile the desktop's network service keeps for it (its metered flag in Metered); empty:
    // a line the service does not manage.
    std::string Profile;
};

// A simulated network adapter. Its byte counters grow at the set rates from the tick count
// Since on: counter = base + rate x seconds since.
struct SimAdapter
{
    DWORD Index = 0;
    std::string Description;
    std::vector<BYTE> PhysAddr;
    std::string Address; // dotted IPv4, empty for none
    DWORD Type = IF_TYPE_ETHERNET_CSMACD;
    std::uint64_t InBase = 0;
    std::uint64_t OutBase = 0;
    double InRate = 0;
    double OutRate = 0;
    DWORD Since = 0;
};

// One PlaySoundA call as the simulated sound device received it.
struct SimSoundCall
{
    std::string Name; // the file or resource name; "<memory>" for an image, "" for none
    DWORD Flags = 0;
    bool Accepted = false;
};

// How a dial of an entry goes: the states it passes through, a pause before each, and then
// either the line comes up with the address or the dial fails with the error.
struct SimDialScript
{
    std::vector<RASCONNSTATE> States = {
        RASCS_OpenPort,     RASCS_PortOpened,    RASCS_ConnectDevice, RASCS_DeviceConnected, RASCS_AllDevicesConnected,
        RASCS_Authenticate, RASCS_Authenticated, RASCS_Projected};
    DWORD PauseMs = 0;
    DWORD Error = 0;
    std::string Address = "10.64.0.2";
};

struct SimState final
{
    SYSTEMTIME Now{2026, 12, 1, 7, 12, 0, 0, 0};
    // The wall clock's offset from UTC in seconds; none: the one the process's time zone gives.
    std::optional<int> UtcOffset;
    DWORD Ticks = 0;
    // A clock that is never set, in milliseconds: SetNow moves it on by as much as it moves the
    // wall clock forward, StepClock leaves it.
    std::uint64_t Uptime = 0;
    DWORD PlatformId = VER_PLATFORM_WIN32_NT;
    DWORD MajorVersion = 5;
    DWORD MinorVersion = 0;
    DWORD BuildNumber = 2195;
    std::string ModulePath = "/nonexistent/pulopro-sim/pulopro";
    // Profile writes refused from now on, as for a read-only file.
    bool RefuseProfileWrites = false;
    // Profile writes that still succeed before every further one is refused; negative: no limit.
    int ProfileWritesBeforeRefusal = -1;
    int ProfileWrites = 0; // successful writes so far
    // The clock runs by itself (the demo) instead of only when a test moves it.
    bool RealClock = false;

    // The connections, in the order the system lists them.
    std::vector<SimLine> Lines;
    // The bytes sent and received of the lines DropLine ended, at their end.
    std::map<HRASCONN, std::pair<std::uint64_t, std::uint64_t>> EndedLines;
    HRASCONN NextHandle = 0x1000;

    // The adapters besides the dial-up ones (which appear while their line is up, indexed by
    // the line's handle). A fresh simulation has a loopback and one Ethernet card.
    std::vector<SimAdapter> Adapters;
    // The interface and address tables cannot be read.
    bool IpHelperFails = false;
    // The index of the default route's interface; none: no default route.
    std::optional<DWORD> DefaultRoute;

    // The per-program meter: it answers with the figures it is given.
    std::shared_ptr<SimProgramMeter> Meter = std::make_shared<SimProgramMeter>();

    // Every sound requested, in order; none is heard.
    std::vector<SimSoundCall> SoundCalls;

    // The phonebook and the dialling devices.
    std::vector<std::string> Phonebook = {"My ISP", "Backup ISP"};
    std::vector<RasDevice> Devices = {{"modem", "Standard 56000 bps Modem", "COM2"}};
    // How dials go, by entry (an entry without a script dials as the default script says), and
    // whether the system refuses to start a dial at all.
    std::map<std::string, SimDialScript> DialScripts;
    bool RefuseDialStart = false;
    // Hang-ups refused from now on (ERROR_ACCESS_DENIED), as for another user's line.
    bool RefuseHangUp = false;
    // Every handle hung up, in order.
    std::vector<HRASCONN> HungUp;
    // The metered flag of each profile of the network service, as set in its memory (the lines'
    // profiles start at MeteredUnknown); the service refuses the change while RefuseMetered.
    std::map<std::string, int> Metered;
    bool RefuseMetered = false;

    // Every help request (as "command file data") and every address opened, in order; the
    // help viewer is there unless taken away.
    std::vector<std::string> HelpCalls;
    std::vector<std::string> Opened;
    bool HelpViewerPresent = true;

    // Where the RAS extension calls live; applied by InstallSimBackend and SetRasLibraryPresent.
    RasExtensionPlace Extensions = RasExtensionPlace::RasLibrary;
    // The Windows 9x statistics: the dial-up adapter's counters in the registry. They count
    // only once started (a read of the StartStat values), and the adapter may lack its speed.
    bool DialUpAdapterHasSpeed = true;
    bool DialUpStatsStarted = false;

    // The bytes a line has sent and received until now.
    [[nodiscard]] std::uint64_t LineSent(const SimLine& line) const;
    [[nodiscard]] std::uint64_t LineReceived(const SimLine& line) const;

    // The tick count now (the test's, or the real one).
    [[nodiscard]] DWORD CurrentTicks() const;
    [[nodiscard]] std::uint64_t CurrentUptime() const;
    // The wall clock in UTC.
    [[nodiscard]] SYSTEMTIME UtcNow() const;
    // Change the rates from now on, keeping the bytes counted so far.
    void SetLineRates(HRASCONN handle, double sendRate, double receiveRate);
    void SetAdapterRates(DWORD index, double inRate, double outRate);
    // Starts an adapter's counters again from the given values, as after a driver reset.
    void RestartCounters(DWORD index, std::uint64_t in = 0, std::uint64_t out = 0);
    // Brings a line up (address empty: still negotiating); returns its handle.
    HRASCONN AddLine(const std::string& entryName, const std::string& address);
    // The network service's metered flag of a profile set in its memory (IRasService::SetMetered).
    [[nodiscard]] DWORD SetMetered(const std::string& profile, int value, int& before);
    // Hangs the line up; false when there is no such line.
    bool DropLine(HRASCONN handle);
    [[nodiscard]] SimLine* FindLine(HRASCONN handle);

    // Sets the local date and time (the day of the week is worked out), as time passing would:
    // a move forward moves Uptime on as much.
    void SetNow(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
    // Sets the wall clock alone, as a time server correcting it or a change of daylight saving
    // time does (with the new offset, when given); Uptime stays.
    void StepClock(
        int year, int month, int day, int hour, int minute, int second, std::optional<int> utcOffset = std::nullopt);
};

// Installs a fresh simulated backend and returns its state for the caller to drive.
std::shared_ptr<SimState> InstallSimBackend();

// Takes the connection library ("RASAPI32.DLL", and "RNAPH.DLL" with it) away from the installed
// backend, or gives it back with its extensions where the state says.
void SetRasLibraryPresent(const SimState& state, bool present);

} // namespace win::sim
