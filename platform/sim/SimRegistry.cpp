#include "platform/sim/SimRegistry.h"

#include "platform/PerfData.h"

#include <algorithm>
#include <cctype>

namespace win::sim {

namespace {

constexpr const char* EnumKey = "system\\currentcontrolset\\control\\perfstats\\enum";
constexpr const char* StartStat = "perfstats\\startstat";
constexpr const char* StopStat = "perfstats\\stopstat";
constexpr const char* StatData = "perfstats\\statdata";
constexpr const char* DialUpAdapter = "Dial-Up Adapter";

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::vector<BYTE> Dword(DWORD value)
{
    return {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
            static_cast<BYTE>(value >> 24)};
}

class SimRegistry final : public IRegistryService
{
public:
    explicit SimRegistry(std::shared_ptr<SimState> state) : State(std::move(state)) {}

    bool KeyExists(HKEY root, const std::string& path) override
    {
        const std::string key = Lower(path);
        if (root == HKEY_LOCAL_MACHINE) {
            if (key == EnumKey)
                return true;
            for (const std::string& adapter : Adapters())
                if (key == std::string(EnumKey) + "\\" + Lower(adapter))
                    return true;
            return false;
        }
        return root == HKEY_DYN_DATA && (key == StartStat || key == StopStat || key == StatData);
    }

    std::vector<std::string> SubKeys(HKEY root, const std::string& path) override
    {
        return root == HKEY_LOCAL_MACHINE && Lower(path) == EnumKey ? Adapters() : std::vector<std::string>{};
    }

    DWORD
    Value(HKEY root, const std::string& path, const std::string& name, DWORD& type, std::vector<BYTE>& data) override
    {
        if (root == HKEY_PERFORMANCE_DATA)
            return PerformanceData(name, type, data);
        const std::string key = Lower(path);
        if (root != HKEY_DYN_DATA || (key != StartStat && key != StopStat && key != StatData))
            return ERROR_FILE_NOT_FOUND;
        const std::string value = Lower(name);
        const std::string adapter = Lower(DialUpAdapter) + "\\";
        DWORD figure = 0;
        if (value == adapter + "totalbytesxmit") {
            figure = static_cast<DWORD>(Total(&SimState::LineSent));
        } else if (value == adapter + "totalbytesrecvd") {
            figure = static_cast<DWORD>(Total(&SimState::LineReceived));
        } else if (value == adapter + "connectspeed" && State->DialUpAdapterHasSpeed) {
            figure = State->Lines.empty() ? 0 : State->Lines.front().ConnectSpeed;
        } else if (value != "kernel\\cpuusage") {
            return ERROR_FILE_NOT_FOUND;
        }
        // Reading a counter under StartStat starts the collection, under StopStat ends it.
        if (key == StartStat && value.starts_with(adapter))
            State->DialUpStatsStarted = true;
        if (key == StopStat && value.starts_with(adapter))
            State->DialUpStatsStarted = false;
        const bool counting = key == StatData && State->DialUpStatsStarted;
        type = REG_BINARY;
        data = Dword(counting ? figure : 0);
        return ERROR_SUCCESS;
    }

private:
    [[nodiscard]] std::vector<std::string> Adapters() const
    {
        std::vector<std::string> adapters = {"Kernel"};
        if (State->DialUpAdapterHasSpeed)
            adapters.insert(adapters.begin(), DialUpAdapter);
        return adapters;
    }

    [[nodiscard]] std::uint64_t Total(std::uint64_t (SimState::*counter)(const SimLine&) const) const
    {
        std::uint64_t total = 0;
        for (const SimLine& line : State->Lines)
            total += (State.get()->*counter)(line);
        return total;
    }

    DWORD PerformanceData(const std::string& name, DWORD& type, std::vector<BYTE>& data)
    {
        if (name.find("906") == std::string::npos)
            return ERROR_FILE_NOT_FOUND;
        SYSTEMTIME now{};
        InstalledBackend().System->LocalTime(now);
        type = REG_BINARY;
        data = RasTotalPerformanceData(Total(&SimState::LineSent), Total(&SimState::LineReceived), now);
        return ERROR_SUCCESS;
    }

    std::shared_ptr<SimState> State;
};

} // namespace

std::unique_ptr<IRegistryService> MakeSimRegistry(std::shared_ptr<SimState> state)
{
    return std::make_unique<SimRegistry>(std::move(state));
}

} // namespace win::sim
