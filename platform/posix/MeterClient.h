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
    // Held on a connection of its own to the meter, kept open while they are held: the meter ends
    // the holds when it closes, so a killed PuloPro leaves nothing held.
    [[nodiscard]] bool
    Hold(const std::string& identity, const std::vector<std::string>& paths, std::string& why) override;
    void Release() override;
    ~MeterClient() override;
    MeterClient(const MeterClient&) = delete;
    MeterClient& operator=(const MeterClient&) = delete;

private:
    // Connected to the meter, or -1 with why.
    [[nodiscard]] int Connect(std::string& why) const;
    // Sends the request on fd and reads its answer: the whole answer, or one line when oneLine.
    [[nodiscard]] static bool
    Exchange(int fd, const std::string& request, bool oneLine, std::string& answer, std::string& why);
    [[nodiscard]] bool Ask(const std::string& request, std::string& answer, std::string& why) const;

    std::string SocketPath;
    std::mutex Lock;
    // The link header the interface's counters count on each packet, by index, as found when it
    // was identified (the meter counts from the network header on).
    std::map<unsigned, std::uint64_t> HeaderBytes;
    std::mutex HoldLock;
    int Holding = -1; // the connection that holds programs back, while it does
};

} // namespace win::posix
