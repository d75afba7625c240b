#pragma once

// A simulated per-program meter for tests and the demo: it answers with the figures it was last
// given for an interface, from whichever thread asks, and can be taken away.

#include "platform/ProgramMeter.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace win::sim {

class SimProgramMeter final : public IProgramMeter
{
public:
    // one counts them); the simulated lines have no interface name, and are "".
    void Set(const std::string& interface, std::vector<ProgramBytes> programs);
    // The meter stops answering (why says how), or answers again.
    void SetAbsent(const std::string& why);
    void SetPresent();
    // How many questions it was asked.
    [[nodiscard]] int Questions() const;

    [[nodiscard]] std::string Identify(const std::string& interface) override;
    [[nodiscard]] bool Programs(const std::string& identity, MeterAnswer& answer, std::string& why) override;
    // Held programs are only remembered (Held); an absent meter holds nothing.
    [[nodiscard]] bool
    Hold(const std::string& identity, const std::vector<std::string>& paths, std::string& why) override;
    void Release() override;
    // What is held now, and on which interface.
    [[nodiscard]] std::vector<std::string> Held(std::string* identity = nullptr) const;

private:
    mutable std::mutex Lock;
    std::map<std::string, std::vector<ProgramBytes>> Figures;
    std::string Absent;
    int Asked = 0;
    std::string HeldOn;
    std::vector<std::string> HeldPaths;
};

} // namespace win::sim
