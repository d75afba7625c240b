#pragma once

// Per-program figures from pulopro-meter, over its Unix socket: one question and its answer, in at
// most half a second.

#include "platform/ProgramMeter.h"

#include <map>
#include <mutex>
#include <string>

namespace win::posix {

// Where the meter's service answers.
inline constexpr const char* MeterSocket = "/run/pulopro-meter/socket";

class MeterClient final : public IProgramMeter
{
public:
    explicit MeterClient(std::string socketPath = MeterSocket) : SocketPath(std::move(socketPath)) {}
    // "#" and the interface's index.
    [[nodiscard]] std::string Identify(const std::string& interface) override;
    [[nodiscard]] bool Programs(const std::string& identity, MeterAnswer& answer, std::string& why) override;

private:
    [[nodiscard]] bool Ask(const std::string& request, std::string& answer, std::string& why) const;

    std::string SocketPath;
    std::mutex Lock;
    // The link header the interface's counters count on each packet, by index, as found when it
    // was identified (the meter counts from the network header on).
    std::map<unsigned, std::uint64_t> HeaderBytes;
};

} // namespace win::posix
