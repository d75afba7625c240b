// The kernel32 calls, each served by the installed backend.

#include "platform/Backend.h"
#include "platform/ErrorTexts.h"

#include <algorithm>
#include <cstring>

namespace win {

namespace {
thread_local DWORD LastError = ERROR_SUCCESS;
} // namespace

DWORD GetLastError()
{
    return LastError;
}

void SetLastError(DWORD code)
{
    LastError = code;
}

DWORD FormatMessageA(DWORD flags,
                     const void* /*source*/,
                     DWORD messageId,
                     DWORD /*languageId*/,
                     LPSTR buffer,
                     DWORD size,
                     void* /*arguments*/)
{
    const char* text = (flags & FORMAT_MESSAGE_FROM_SYSTEM) != 0 ? SystemErrorText(messageId) : nullptr;
    if (text == nullptr)
        text = RasErrorText(messageId);
    if (text == nullptr || buffer == nullptr) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    const std::size_t length = std::strlen(text);
    if (length + 1 > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(buffer, text, length + 1);
    return static_cast<DWORD>(length);
}

DWORD GetPrivateProfileStringA(
    LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR result, DWORD size, LPCSTR fileName)
{
    return InstalledBackend().Profiles->GetString(section, key, defaultValue, result, size, fileName);
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName)
{
    return InstalledBackend().Profiles->WriteString(section, key, value, fileName);
}

BOOL WritePrivateProfileStringsA(LPCSTR section, const ProfileValues& values, LPCSTR fileName)
{
    return InstalledBackend().Profiles->WriteStrings(section, values, fileName);
}

void GetLocalTime(SYSTEMTIME* time)
{
    if (time != nullptr)
        InstalledBackend().System->LocalTime(*time);
}

void Sleep(DWORD milliseconds)
{
    InstalledBackend().System->Sleep(milliseconds);
}

DWORD GetTickCount()
{
    return InstalledBackend().System->TickCount();
}

void GetSystemTime(SYSTEMTIME* time)
{
    if (time != nullptr)
        InstalledBackend().System->SystemTime(*time);
}

std::uint64_t GetTickCount64()
{
    return InstalledBackend().System->TickCount64();
}

BOOL GetVersionExA(OSVERSIONINFOA* info)
{
    if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE_RESULT;
    }
    const DWORD size = info->dwOSVersionInfoSize;
    std::memset(info, 0, sizeof(OSVERSIONINFOA));
    info->dwOSVersionInfoSize = size;
    InstalledBackend().System->Version(*info);
    return TRUE_RESULT;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size)
{
    if (module != nullptr || fileName == nullptr || size == 0) {
        SetLastError(module != nullptr ? ERROR_MOD_NOT_FOUND : ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const std::string path = InstalledBackend().System->ModuleFileName();
    const auto copied = static_cast<DWORD>(std::min<std::size_t>(path.size(), size - 1));
    std::memcpy(fileName, path.data(), copied);
    fileName[copied] = '\0';
    SetLastError(copied < path.size() ? ERROR_INSUFFICIENT_BUFFER : ERROR_SUCCESS);
    return copied;
}

HMODULE LoadLibraryA(LPCSTR fileName)
{
    return InstalledBackend().Modules.Load(fileName);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName)
{
    return InstalledBackend().Modules.ProcAddress(module, procName);
}

BOOL FreeLibrary(HMODULE module)
{
    return InstalledBackend().Modules.Free(module) ? TRUE_RESULT : FALSE_RESULT;
}

} // namespace win
