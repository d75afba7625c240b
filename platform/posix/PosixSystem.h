#pragma once

#include "platform/Backend.h"

#include <string>

namespace win::posix {

// The executable a /proc link names, without the suffix the kernel adds once the file was
// replaced or removed.
[[nodiscard]] std::string ExecutablePath(const std::string& link);

// The clock, the version and the executable's path, from the Linux kernel.
class PosixSystem final : public ISystemService
{
public:
    void LocalTime(SYSTEMTIME& time) override;
    void SystemTime(SYSTEMTIME& time) override;
    DWORD TickCount() override;
    std::uint64_t TickCount64() override;
    void Sleep(DWORD milliseconds) override;
    void Version(OSVERSIONINFOA& info) override;
    [[nodiscard]] std::string ModuleFileName() override;
    void ReleaseFreeMemory() override;
};

} // namespace win::posix
