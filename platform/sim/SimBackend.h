#pragma once

// A simulated platform for tests and the demo: a clock that moves only when told, a settable
// executable path (so the settings file lands in a test's own folder) and profile files on
// disk whose writes can be refused on demand.

#include "platform/Backend.h"

#include <memory>
#include <string>

namespace win::sim {

struct SimState final
{
    SYSTEMTIME Now{2026, 12, 1, 7, 12, 0, 0, 0};
    DWORD Ticks = 0;
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

    // Sets the local date and time (the day of the week is worked out).
    void SetNow(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
};

// Installs a fresh simulated backend and returns its state for the caller to drive.
std::shared_ptr<SimState> InstallSimBackend();

} // namespace win::sim
