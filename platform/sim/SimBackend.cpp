#include "platform/sim/SimBackend.h"

#include "platform/ProfileFiles.h"

namespace win::sim {

namespace {

class SimSystem final : public ISystemService
{
public:
    explicit SimSystem(std::shared_ptr<SimState> state) : State(std::move(state)) {}
    void LocalTime(SYSTEMTIME& time) override { time = State->Now; }
    DWORD TickCount() override { return State->Ticks; }
    void Version(OSVERSIONINFOA& info) override
    {
        info.dwPlatformId = State->PlatformId;
        info.dwMajorVersion = State->MajorVersion;
        info.dwMinorVersion = State->MinorVersion;
        info.dwBuildNumber = State->BuildNumber;
    }
    [[nodiscard]] std::string ModuleFileName() override { return State->ModulePath; }

private:
    std::shared_ptr<SimState> State;
};

class SimProfiles final : public ProfileFiles
{
public:
    explicit SimProfiles(std::shared_ptr<SimState> state) : State(std::move(state)) {}
    BOOL WriteString(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) override
    {
        const bool limitReached =
            State->ProfileWritesBeforeRefusal >= 0 && State->ProfileWrites >= State->ProfileWritesBeforeRefusal;
        if (State->RefuseProfileWrites || limitReached) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE_RESULT;
        }
        const BOOL written = ProfileFiles::WriteString(section, key, value, fileName);
        if (written != FALSE_RESULT)
            ++State->ProfileWrites;
        return written;
    }

private:
    std::shared_ptr<SimState> State;
};

// The day of the week (0 = Sunday), from the days since 1970-01-01, which was a Thursday.
WORD DayOfWeek(int year, int month, int day)
{
    const int y = month <= 2 ? year - 1 : year;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long days = static_cast<long>(era) * 146097 + doe - 719468;
    return static_cast<WORD>(((days % 7) + 7 + 4) % 7);
}

} // namespace

void SimState::SetNow(int year, int month, int day, int hour, int minute, int second)
{
    Now = SYSTEMTIME{
        static_cast<WORD>(year), static_cast<WORD>(month),  DayOfWeek(year, month, day), static_cast<WORD>(day),
        static_cast<WORD>(hour), static_cast<WORD>(minute), static_cast<WORD>(second),   0};
}

std::shared_ptr<SimState> InstallSimBackend()
{
    auto state = std::make_shared<SimState>();
    auto backend = std::make_unique<Backend>();
    backend->Profiles = std::make_unique<SimProfiles>(state);
    backend->System = std::make_unique<SimSystem>(state);
    InstallBackend(std::move(backend));
    return state;
}

} // namespace win::sim
