#pragma once

// Per-program figures from pulopro-meter, over its Unix socket: one question and its answer, in at
// most half a second.

#include "platform/ProgramMeter.h"

#include <string>

namespace win::posix {

// Where the meter's service answers.
inline constexpr const char* MeterSocket = "/run/pulopro-meter/socket";

class MeterClient final : public IProgramMeter
{
public:
    explicit MeterClient(std::string socketPath = MeterSocket) : SocketPath(std::move(socketPath)) {}
    [[nodiscard]] bool
    Programs(const std::string& interface, std::vector<ProgramBytes>& programs, std::string& why) override;

private:
    std::string SocketPath;
};

} // namespace win::posix
