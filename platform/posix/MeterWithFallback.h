#pragma once

// The per-program figures PuloPro takes: the meter's service where it answers, else what the
// kernel's TCP statistics tell an ordinary user, with why in the answer's note.

#include "platform/posix/MeterClient.h"
#include "platform/posix/TcpSocketMeter.h"

namespace win::posix {

class MeterWithFallback final : public IProgramMeter
{
public:
    explicit MeterWithFallback(std::string socketPath) : Meter(std::move(socketPath)) {}
    [[nodiscard]] std::string Identify(const std::string& interface) override;
    [[nodiscard]] bool Programs(const std::string& identity, MeterAnswer& answer, std::string& why) override;
    // Only the meter's service can hold programs back.
    [[nodiscard]] bool
    Hold(const std::string& identity, const std::vector<std::string>& paths, std::string& why) override
    {
        return Meter.Hold(identity, paths, why);
    }
    void Release() override { Meter.Release(); }

private:
    MeterClient Meter;
    TcpSocketMeter Tcp;
};

} // namespace win::posix
