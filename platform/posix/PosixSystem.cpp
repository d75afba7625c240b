#include "platform/posix/PosixSystem.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <malloc.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace win::posix {

namespace {

// The clock's reading as the system time record holds it.
SYSTEMTIME Reading(const tm& broken, long nanoseconds)
{
    return {static_cast<WORD>(broken.tm_year + 1900),
            static_cast<WORD>(broken.tm_mon + 1),
            static_cast<WORD>(broken.tm_wday),
            static_cast<WORD>(broken.tm_mday),
            static_cast<WORD>(broken.tm_hour),
            static_cast<WORD>(broken.tm_min),
            static_cast<WORD>(broken.tm_sec > 59 ? 59 : broken.tm_sec), // no leap seconds in a TDateTime
            static_cast<WORD>(nanoseconds / 1000000)};
}

} // namespace

void PosixSystem::LocalTime(SYSTEMTIME& time)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    // The window's tick asks the time several times within one second, and each conversion makes
    // the C library look at the time zone file again: one conversion a second is enough, and a
    // change of time zone still shows from the next second.
    thread_local time_t convertedSecond = -1;
    thread_local tm local{};
    if (now.tv_sec != convertedSecond) {
        localtime_r(&now.tv_sec, &local);
        convertedSecond = now.tv_sec;
    }
    time = Reading(local, now.tv_nsec);
}

void PosixSystem::SystemTime(SYSTEMTIME& time)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm utc{};
    gmtime_r(&now.tv_sec, &utc);
    time = Reading(utc, now.tv_nsec);
}

std::uint64_t PosixSystem::TickCount64()
{
    // Boot time counts the time spent suspended, as the system's tick count does, and setting the
    // clock does not move it.
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000ULL + static_cast<std::uint64_t>(now.tv_nsec) / 1000000ULL;
}

DWORD PosixSystem::TickCount()
{
    return static_cast<DWORD>(TickCount64()); // wraps every 49.7 days
}

void PosixSystem::Version(OSVERSIONINFOA& info)
{
    // Linux has the NT family's services (performance data, IP Helper tables), so it reports
    // that family, with the kernel's release as the version.
    info.dwPlatformId = VER_PLATFORM_WIN32_NT;
    utsname name{};
    if (uname(&name) == 0) {
        unsigned major = 0, minor = 0, build = 0;
        if (std::sscanf(name.release, "%u.%u.%u", &major, &minor, &build) >= 2) {
            info.dwMajorVersion = major;
            info.dwMinorVersion = minor;
            info.dwBuildNumber = build;
        }
        std::snprintf(info.szCSDVersion, sizeof info.szCSDVersion, "%s", name.version);
    }
}

void PosixSystem::Sleep(DWORD milliseconds)
{
    timespec wait{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

std::string ExecutablePath(const std::string& link)
{
    std::array<char, 4096> buffer{};
    const ssize_t length = readlink(link.c_str(), buffer.data(), buffer.size() - 1);
    std::string path = length > 0 ? std::string(buffer.data(), static_cast<std::size_t>(length)) : std::string();
    // An executable replaced while it runs (an upgrade, a rebuild) is reported with this
    // suffix; the program's files stay under the name it was started as.
    constexpr std::string_view deleted = " (deleted)";
    if (path.size() > deleted.size() && path.ends_with(deleted))
        path.resize(path.size() - deleted.size());
    return path;
}

std::string PosixSystem::ModuleFileName()
{
    // Taken once: the path cannot change for the running program.
    static const std::string path = ExecutablePath("/proc/self/exe");
    return path;
}

void PosixSystem::ReleaseFreeMemory()
{
    malloc_trim(0);
}

} // namespace win::posix
