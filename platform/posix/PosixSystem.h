#pragma once

#include "platform/Backend.h"

namespace win::posix {

// The clock, the version and the executable's path, from the Linux kernel.
class PosixSystem final : public ISystemService
{
public:
    void LocalTime(SYSTEMTIME& time) override;
    DWORD TickCount() override;
    void Version(OSVERSIONINFOA& info) override;
    [[nodiscard]] std::string ModuleFileName() override;
};

} // namespace win::posix
