#pragma once

// One backend serves the Win32 calls of a process. It is made of services, installed once at
// start-up (posix for the program) or afresh for each test (sim). Later services (connections,
// registry, interface tables, sound, shell, help) join the same record.

#include "platform/ModuleRegistry.h"
#include "platform/Win32.h"

#include <memory>
#include <string>

namespace win {

class IProfileService
{
public:
    virtual ~IProfileService() = default;
    // Same contracts as GetPrivateProfileStringA and WritePrivateProfileStringA.
    virtual DWORD
    GetString(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR result, DWORD size, LPCSTR fileName) = 0;
    virtual BOOL WriteString(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) = 0;
};

class ISystemService
{
public:
    virtual ~ISystemService() = default;
    virtual void LocalTime(SYSTEMTIME& time) = 0;
    virtual DWORD TickCount() = 0;
    // Fills the version fields (not the size field).
    virtual void Version(OSVERSIONINFOA& info) = 0;
    // The running executable's full path.
    [[nodiscard]] virtual std::string ModuleFileName() = 0;
};

struct Backend final
{
    std::unique_ptr<IProfileService> Profiles;
    std::unique_ptr<ISystemService> System;
    ModuleRegistry Modules;
};

// Replaces the backend of the process; the previous one is destroyed.
void InstallBackend(std::unique_ptr<Backend> backend);
// The installed backend; the process stops with a message when none is installed.
[[nodiscard]] Backend& InstalledBackend();
[[nodiscard]] bool HasBackend();

} // namespace win
