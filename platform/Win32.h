#pragma once

// The operating-system interface PuloPro is written against: a small subset of the Win32 API,
// declared from its public documentation with the same names, record sizes and result codes.
// On Linux the calls are served by the installed backend (posix/ for the program, sim/ for
// tests and the demo); see Backend.h.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace win {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using ULONG = std::uint32_t;
using WCHAR = std::uint16_t;
using BOOL = std::int32_t;
using CHAR = char;
using LPSTR = char*;
using LPCSTR = const char*;

struct HINSTANCE__;
using HMODULE = HINSTANCE__*;
// A loaded entry point; the caller casts it to the entry point's own type.
using FARPROC = void (*)();

constexpr BOOL FALSE_RESULT = 0;
constexpr BOOL TRUE_RESULT = 1;

// Error codes (winerror.h numbering).
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_WRITE_FAULT = 29;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_FILE_TOO_LARGE = 223;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
constexpr DWORD ERROR_MR_MID_NOT_FOUND = 317;
constexpr DWORD ERROR_NOT_FOUND = 1168;

constexpr DWORD MAX_PATH = 260;

struct SYSTEMTIME
{
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek; // 0 = Sunday
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
static_assert(sizeof(SYSTEMTIME) == 16);

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOA
{
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
};
static_assert(sizeof(OSVERSIONINFOA) == 148);

// kernel32: last error of the calling thread.
DWORD GetLastError();
void SetLastError(DWORD code);

// kernel32: profile (INI) files. Section and key names compare without regard to case; the
// first occurrence wins. A null section lists the section names, a null key the keys of the
// section, each ending in a NUL with one more NUL after the last. Returns the number of
// characters copied, without the terminating NUL; at most size - 1 characters are copied.
DWORD GetPrivateProfileStringA(
    LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR result, DWORD size, LPCSTR fileName);
// Writes or replaces one key; a null value removes the key, a null key removes the section.
// The file is replaced as a whole, never left half written. Returns 0 (with GetLastError set)
// when the file cannot be written or an argument would break its layout.
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName);
// Ours, not the system's: writes or replaces several keys of one section as one replacement of
// the file, so that a program killed meanwhile leaves all of them old or all of them new.
// Returns 0 (with GetLastError set) as WritePrivateProfileStringA does; nothing is written then.
using ProfileValues = std::vector<std::pair<std::string, std::string>>;
BOOL WritePrivateProfileStringsA(LPCSTR section, const ProfileValues& values, LPCSTR fileName);

// kernel32: the system's text for an error code (FORMAT_MESSAGE_FROM_SYSTEM, inserts ignored).
// Returns the characters copied, 0 when the code has no text or the buffer is too small.
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
DWORD FormatMessageA(
    DWORD flags, const void* source, DWORD messageId, DWORD languageId, LPSTR buffer, DWORD size, void* arguments);

// kernel32: the clock.
void GetLocalTime(SYSTEMTIME* time);
// Milliseconds since the system started; wraps around after 49.7 days.
DWORD GetTickCount();
// The time in UTC, which a change of daylight saving time does not move.
void GetSystemTime(SYSTEMTIME* time);
// Milliseconds since the system started, time suspended included; it never wraps, and setting
// the clock does not move it, so it measures how long something lasted.
std::uint64_t GetTickCount64();

// kernel32: waits for the time given, the calling thread doing nothing meanwhile.
void Sleep(DWORD milliseconds);

// kernel32: the system version. Returns 0 with ERROR_INSUFFICIENT_BUFFER when
// dwOSVersionInfoSize is not the size of the record.
BOOL GetVersionExA(OSVERSIONINFOA* info);

// kernel32: the running executable's full path (module null). Returns the number of characters
// copied; when the room is too small the path is cut to size - 1 characters and
// ERROR_INSUFFICIENT_BUFFER is set.
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);

// kernel32: run-time loading of the system's libraries, looked up by module name (case does not
// matter, ".DLL" is implied where the name has no extension). Returns null with
// ERROR_MOD_NOT_FOUND or ERROR_PROC_NOT_FOUND.
HMODULE LoadLibraryA(LPCSTR fileName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL FreeLibrary(HMODULE module);

} // namespace win
