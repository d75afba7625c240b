#include "platform/sim/SimProgramMeter.h"

namespace win::sim {

void SimProgramMeter::Set(const std::string& interface, std::vector<ProgramBytes> programs)
{
    const std::lock_guard guard(Lock);
    Figures[interface] = std::move(programs);
}

void SimProgramMeter::SetAbsent(const std::string& why)
{
    const std::lock_guard guard(Lock);
    Absent = why;
}

void SimProgramMeter::SetPresent()
{
    const std::lock_guard guard(Lock);
    Absent.clear();
}

int SimProgramMeter::Questions() const
{
    const std::lock_guard guard(Lock);
    return Asked;
}

std::string SimProgramMeter::Identify(const std::string& interface)
{
    return "sim:" + interface;
}

bool SimProgramMeter::Programs(const std::string& identity, MeterAnswer& answer, std::string& why)
{
    const std::lock_guard guard(Lock);
    ++Asked;
    answer = {{}, "sim", {}};
    if (!Absent.empty()) {
        why = Absent;
        return false;
    }
    if (identity.rfind("sim:", 0) != 0) {
        why = "no interface of that name";
        return false;
    }
    if (const auto found = Figures.find(identity.substr(4)); found != Figures.end())
        answer.Programs = found->second;
    return true;
}

bool SimProgramMeter::Hold(const std::string& identity, const std::vector<std::string>& paths, std::string& why)
{
    const std::lock_guard guard(Lock);
    if (!Absent.empty()) {
        why = Absent;
        return false;
    }
    HeldOn = identity;
    HeldPaths = paths;
    return true;
}

void SimProgramMeter::Release()
{
    const std::lock_guard guard(Lock);
    HeldOn.clear();
    HeldPaths.clear();
}

std::vector<std::string> SimProgramMeter::Held(std::string* identity) const
{
    const std::lock_guard guard(Lock);
    if (identity != nullptr)
        *identity = HeldOn;
    return HeldPaths;
}

} // namespace win::sim
