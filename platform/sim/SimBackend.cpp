#include "platform/sim/SimBackend.h"

#include "platform/HtmlHelp.h"
#include "platform/Mmsystem.h"
#include "platform/ProfileFiles.h"
#include "platform/sim/SimRegistry.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace win::sim {

namespace {

class SimSystem final : public ISystemService
{
public:
    explicit SimSystem(std::shared_ptr<SimState> state) : State(std::move(state)) {}
    void LocalTime(SYSTEMTIME& time) override
    {
        if (!State->RealClock) {
            time = State->Now;
            return;
        }
        const QDateTime now = QDateTime::currentDateTime();
        const QDate date = now.date();
        const QTime clock = now.time();
        time = SYSTEMTIME{static_cast<WORD>(date.year()),          static_cast<WORD>(date.month()),
                          static_cast<WORD>(date.dayOfWeek() % 7), static_cast<WORD>(date.day()),
                          static_cast<WORD>(clock.hour()),         static_cast<WORD>(clock.minute()),
                          static_cast<WORD>(clock.second()),       static_cast<WORD>(clock.msec())};
    }
    void SystemTime(SYSTEMTIME& time) override { time = State->UtcNow(); }
    DWORD TickCount() override { return State->CurrentTicks(); }
    std::uint64_t TickCount64() override { return State->CurrentUptime(); }
    void Sleep(DWORD milliseconds) override
    {
        if (!State->RealClock)
            State->Ticks += milliseconds;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
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
        return Counted([&] { return ProfileFiles::WriteString(section, key, value, fileName); });
    }
    BOOL WriteStrings(LPCSTR section, const ProfileValues& values, LPCSTR fileName) override
    {
        return Counted([&] { return ProfileFiles::WriteStrings(section, values, fileName); });
    }

private:
    // One replacement of the file, refused as the state says.
    BOOL Counted(const std::function<BOOL()>& write)
    {
        const bool limitReached =
            State->ProfileWritesBeforeRefusal >= 0 && State->ProfileWrites >= State->ProfileWritesBeforeRefusal;
        if (State->RefuseProfileWrites || limitReached) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE_RESULT;
        }
        const BOOL written = write();
        if (written != FALSE_RESULT)
            ++State->ProfileWrites;
        return written;
    }

    std::shared_ptr<SimState> State;
};

class SimSound final : public ISoundService
{
public:
    explicit SimSound(std::shared_ptr<SimState> state) : State(std::move(state)) {}
    BOOL Play(LPCSTR sound, HMODULE module, DWORD flags) override
    {
        SimSoundCall call;
        if (sound != nullptr)
            call.Name = SoundSourceOf(flags) == SoundSource::Memory ? "<memory>" : sound;
        call.Flags = flags;
        call.Accepted = SoundRequestValid(module, flags);
        State->SoundCalls.push_back(call);
        return call.Accepted ? TRUE_RESULT : FALSE_RESULT;
    }

private:
    std::shared_ptr<SimState> State;
};

class SimHelp final : public IHelpService
{
public:
    explicit SimHelp(std::shared_ptr<SimState> state) : State(std::move(state)) {}
    DWORD HtmlHelp(DWORD, LPCSTR file, UINT command, std::uintptr_t data) override
    {
        State->HelpCalls.push_back("html " + std::to_string(command) + " " + (file != nullptr ? file : "") + " " +
                                   std::to_string(data));
        return State->HelpViewerPresent ? 0x2222 : 0;
    }
    BOOL WinHelp(DWORD, LPCSTR file, UINT command, std::uintptr_t data) override
    {
        State->HelpCalls.push_back("winhelp " + std::to_string(command) + " " + (file != nullptr ? file : "") + " " +
                                   std::to_string(data));
        return FALSE_RESULT;
    }

private:
    std::shared_ptr<SimState> State;
};

class SimShell final : public IShellService
{
public:
    explicit SimShell(std::shared_ptr<SimState> state) : State(std::move(state)) {}
    bool Open(const std::string& address) override
    {
        State->Opened.push_back(address);
        return true;
    }

private:
    std::shared_ptr<SimState> State;
};

class SimRas final : public IRasService
{
public:
    explicit SimRas(std::shared_ptr<SimState> state) : State(std::move(state)) {}
    ~SimRas() override
    {
        for (auto& [handle, dial] : Dials) {
            dial->Cancelled = true;
            if (dial->Thread.joinable())
                dial->Thread.join();
        }
    }
    SimRas(const SimRas&) = delete;
    SimRas& operator=(const SimRas&) = delete;

    bool HasEntry(const std::string& entry) override
    {
        return std::find(State->Phonebook.begin(), State->Phonebook.end(), entry) != State->Phonebook.end();
    }

    // The dial runs on a thread of its own, as the system's does; the line it brings up joins
    // the simulation on the thread that owns it (the program's).
    DWORD Dial(const std::string& entry, DialNotify notify, HRASCONN& handle) override
    {
        if (!HasEntry(entry))
            return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
        if (State->RefuseDialStart)
            return 633;
        const auto found = State->DialScripts.find(entry);
        const SimDialScript script = found != State->DialScripts.end() ? found->second : SimDialScript{};
        handle = State->NextHandle++;
        auto dial = std::make_unique<SimDial>();
        SimDial* running = dial.get();
        dial->Thread = std::thread([running, script, notify, entry, handle, state = State] {
            // Finished once the thread has nothing more to do, whichever way it ends.
            struct Finish
            {
                SimDial* Dial;
                ~Finish() { Dial->Finished = true; }
            } finish{running};
            for (const RASCONNSTATE step : script.States) {
                std::this_thread::sleep_for(std::chrono::milliseconds(script.PauseMs));
                if (running->Cancelled)
                    return;
                running->State = step;
                notify(step, ERROR_SUCCESS);
            }
            if (running->Cancelled)
                return;
            if (script.Error != 0) {
                notify(running->State, script.Error);
                return;
            }
            QMetaObject::invokeMethod(QCoreApplication::instance(), [state, entry, handle, address = script.Address] {
                SimLine line;
                line.Since = state->CurrentTicks();
                line.Handle = handle;
                line.EntryName = entry;
                line.Address = address;
                state->Lines.push_back(line);
            });
            notify(RASCS_Connected, ERROR_SUCCESS);
        });
        Dials[handle] = std::move(dial);
        DialEntries[handle] = entry;
        return ERROR_SUCCESS;
    }

    // Every simulated line is a dial-up line, so there are no further links to count.
    void CountLinks(const std::vector<std::string>& /*patterns*/) override {}
    std::vector<std::string> PhonebookEntries() override { return State->Phonebook; }
    std::vector<RasDevice> Devices() override { return State->Devices; }

    // The lines, then the dials still in progress, as the system lists a connection that is not
    // connected yet.
    const std::vector<RasLink>& Connections() override
    {
        Links.clear();
        // The simulated lines are PPP links, named in order as pppd names them.
        for (const SimLine& line : State->Lines)
            Links.push_back(
                {line.Handle, line.EntryName, line.DeviceType, line.DeviceName, "ppp" + std::to_string(Links.size())});
        for (const auto& [handle, dial] : Dials)
            if (Dialling(handle))
                Links.push_back(DialLink(handle));
        return Links;
    }
    DWORD Address(HRASCONN connection, std::string& address) override
    {
        const SimLine* line = State->FindLine(connection);
        if (line == nullptr)
            return Dialling(connection) ? ERROR_PROJECTION_NOT_COMPLETE : ERROR_INVALID_HANDLE;
        if (line->Address.empty())
            return ERROR_PROJECTION_NOT_COMPLETE;
        address = line->Address;
        return ERROR_SUCCESS;
    }
    DWORD Status(HRASCONN connection, RASCONNSTATE& state, RasLink& link) override
    {
        const SimLine* line = State->FindLine(connection);
        if (line == nullptr && Dialling(connection)) {
            state = Dials.at(connection)->State;
            link = DialLink(connection);
            return ERROR_SUCCESS;
        }
        if (line == nullptr)
            return ERROR_INVALID_HANDLE;
        state = line->Address.empty() ? RASCS_Authenticated : RASCS_Connected;
        link = {line->Handle, line->EntryName, line->DeviceType, line->DeviceName};
        return ERROR_SUCCESS;
    }
    std::string MeteredProfile(HRASCONN connection) override
    {
        const SimLine* line = State->FindLine(connection);
        return line != nullptr ? line->Profile : std::string();
    }
    DWORD SetMetered(const std::string& profile, int value, int& before) override
    {
        return State->SetMetered(profile, value, before);
    }
    bool IsDialUpLine(HRASCONN connection) override
    {
        const SimLine* line = State->FindLine(connection);
        return line != nullptr && line->DialUp;
    }

    DWORD Counters(HRASCONN connection, std::uint64_t& sent, std::uint64_t& received) override
    {
        if (const SimLine* line = State->FindLine(connection)) {
            sent = State->LineSent(*line);
            received = State->LineReceived(*line);
            return ERROR_SUCCESS;
        }
        const auto ended = State->EndedLines.find(connection);
        if (ended == State->EndedLines.end())
            return ERROR_INVALID_HANDLE;
        sent = ended->second.first;
        received = ended->second.second;
        return ERROR_SUCCESS;
    }

    DWORD HangUp(HRASCONN connection) override
    {
        if (State->RefuseHangUp)
            return ERROR_ACCESS_DENIED;
        State->HungUp.push_back(connection);
        const auto dial = Dials.find(connection);
        if (dial != Dials.end())
            dial->second->Cancelled = true;
        return State->DropLine(connection) || dial != Dials.end() ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
    }

private:
    struct SimDial
    {
        std::atomic<bool> Cancelled = false;
        std::atomic<bool> Finished = false;
        std::atomic<RASCONNSTATE> State = RASCS_OpenPort;
        std::thread Thread;
    };

    [[nodiscard]] bool Dialling(HRASCONN handle) const
    {
        const auto dial = Dials.find(handle);
        return dial != Dials.end() && !dial->second->Cancelled && !dial->second->Finished &&
               State->FindLine(handle) == nullptr;
    }
    [[nodiscard]] RasLink DialLink(HRASCONN handle) const
    {
        const std::string device = State->Devices.empty() ? std::string() : State->Devices.front().Name;
        return {handle, DialEntries.at(handle), "modem", device};
    }

    std::shared_ptr<SimState> State;
    std::vector<RasLink> Links;
    std::map<HRASCONN, std::unique_ptr<SimDial>> Dials;
    std::map<HRASCONN, std::string> DialEntries;
};

class SimIpHelper final : public IIpHelperService
{
public:
    explicit SimIpHelper(std::shared_ptr<SimState> state) : State(std::move(state)) {}

    bool Interfaces(std::vector<IfEntry>& entries) override
    {
        if (State->IpHelperFails)
            return false;
        const DWORD now = State->CurrentTicks();
        entries.clear();
        for (const SimAdapter& adapter : State->Adapters) {
            IfEntry entry;
            entry.Index = adapter.Index;
            entry.Type = adapter.Type;
            entry.Mtu = 1500;
            entry.PhysAddr = adapter.PhysAddr;
            entry.Up = entry.Running = true;
            const double seconds = (now - adapter.Since) / 1000.0;
            entry.InOctets = adapter.InBase + static_cast<std::uint64_t>(adapter.InRate * seconds);
            entry.OutOctets = adapter.OutBase + static_cast<std::uint64_t>(adapter.OutRate * seconds);
            entry.Description = adapter.Description;
            entries.push_back(std::move(entry));
        }
        for (const SimLine& line : State->Lines) {
            IfEntry entry;
            entry.Index = line.Handle;
            entry.Type = IF_TYPE_PPP;
            entry.Mtu = 1500;
            entry.Up = entry.Running = true;
            entry.InOctets = State->LineReceived(line);
            entry.OutOctets = State->LineSent(line);
            entry.Description = "WAN (PPP/SLIP) Interface";
            entries.push_back(std::move(entry));
        }
        return true;
    }

    std::size_t InterfaceCount() override { return State->Adapters.size() + State->Lines.size(); }

    bool BestInterface(DWORD destination, DWORD& index) override
    {
        if (destination != 0 || !State->DefaultRoute || State->IpHelperFails)
            return false;
        index = *State->DefaultRoute;
        return true;
    }

    bool Addresses(std::vector<IpAddrEntry>& entries) override
    {
        if (State->IpHelperFails)
            return false;
        entries.clear();
        const auto add = [&](DWORD index, const std::string& dotted) {
            unsigned a = 0, b = 0, c = 0, d = 0;
            if (std::sscanf(dotted.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) == 4)
                entries.push_back({a | b << 8 | c << 16 | d << 24, index, 0x00FFFFFF});
        };
        for (const SimAdapter& adapter : State->Adapters)
            add(adapter.Index, adapter.Address);
        for (const SimLine& line : State->Lines)
            add(line.Handle, line.Address);
        return true;
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

namespace {

// The wall clock's reading as a moment counted in UTC, whatever its offset: for distances only.
QDateTime Reading(const SYSTEMTIME& time)
{
    return {QDate(time.wYear, time.wMonth, time.wDay),
            QTime(time.wHour, time.wMinute, time.wSecond, time.wMilliseconds), Qt::UTC};
}

} // namespace

void SimState::SetNow(int year, int month, int day, int hour, int minute, int second)
{
    const QDateTime before = Reading(Now);
    StepClock(year, month, day, hour, minute, second, UtcOffset);
    const qint64 forward = before.msecsTo(Reading(Now));
    if (forward > 0)
        Uptime += static_cast<std::uint64_t>(forward);
}

void SimState::StepClock(int year, int month, int day, int hour, int minute, int second, std::optional<int> utcOffset)
{
    Now = SYSTEMTIME{
        static_cast<WORD>(year), static_cast<WORD>(month),  DayOfWeek(year, month, day), static_cast<WORD>(day),
        static_cast<WORD>(hour), static_cast<WORD>(minute), static_cast<WORD>(second),   0};
    UtcOffset = utcOffset;
}

SYSTEMTIME SimState::UtcNow() const
{
    QDateTime utc;
    if (RealClock)
        utc = QDateTime::currentDateTimeUtc();
    else if (UtcOffset)
        utc = Reading(Now).addSecs(-*UtcOffset);
    else
        utc = QDateTime(Reading(Now).date(), Reading(Now).time(), Qt::LocalTime).toUTC();
    const QDate date = utc.date();
    const QTime clock = utc.time();
    return SYSTEMTIME{static_cast<WORD>(date.year()),          static_cast<WORD>(date.month()),
                      static_cast<WORD>(date.dayOfWeek() % 7), static_cast<WORD>(date.day()),
                      static_cast<WORD>(clock.hour()),         static_cast<WORD>(clock.minute()),
                      static_cast<WORD>(clock.second()),       static_cast<WORD>(clock.msec())};
}

std::uint64_t SimState::CurrentUptime() const
{
    if (!RealClock)
        return Uptime;
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

std::uint64_t SimState::LineSent(const SimLine& line) const
{
    const double seconds = (CurrentTicks() - line.Since) / 1000.0;
    return line.SentBase + static_cast<std::uint64_t>(line.SendRate * seconds);
}

std::uint64_t SimState::LineReceived(const SimLine& line) const
{
    const double seconds = (CurrentTicks() - line.Since) / 1000.0;
    return line.ReceivedBase + static_cast<std::uint64_t>(line.ReceiveRate * seconds);
}

DWORD SimState::CurrentTicks() const
{
    if (!RealClock)
        return Ticks;
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void SimState::RestartCounters(DWORD index, std::uint64_t in, std::uint64_t out)
{
    for (SimAdapter& adapter : Adapters) {
        if (adapter.Index == index) {
            adapter.InBase = in;
            adapter.OutBase = out;
            adapter.Since = CurrentTicks();
        }
    }
}

namespace {

// Folds the bytes counted at the old rates into the bases, then takes the new rates.
void Rebase(DWORD now,
            DWORD& since,
            std::uint64_t& inBase,
            double& inRate,
            std::uint64_t& outBase,
            double& outRate,
            double newIn,
            double newOut)
{
    const double seconds = (now - since) / 1000.0;
    inBase += static_cast<std::uint64_t>(inRate * seconds);
    outBase += static_cast<std::uint64_t>(outRate * seconds);
    since = now;
    inRate = newIn;
    outRate = newOut;
}

} // namespace

void SimState::SetLineRates(HRASCONN handle, double sendRate, double receiveRate)
{
    if (SimLine* line = FindLine(handle))
        Rebase(CurrentTicks(), line->Since, line->ReceivedBase, line->ReceiveRate, line->SentBase, line->SendRate,
               receiveRate, sendRate);
}

void SimState::SetAdapterRates(DWORD index, double inRate, double outRate)
{
    for (SimAdapter& adapter : Adapters)
        if (adapter.Index == index)
            Rebase(CurrentTicks(), adapter.Since, adapter.InBase, adapter.InRate, adapter.OutBase, adapter.OutRate,
                   inRate, outRate);
}

HRASCONN SimState::AddLine(const std::string& entryName, const std::string& address)
{
    SimLine line;
    line.Since = CurrentTicks();
    line.Handle = NextHandle++;
    line.EntryName = entryName;
    line.Address = address;
    Lines.push_back(line);
    return line.Handle;
}

bool SimState::DropLine(HRASCONN handle)
{
    const auto line = std::find_if(Lines.begin(), Lines.end(), [&](const SimLine& l) { return l.Handle == handle; });
    if (line == Lines.end())
        return false;
    EndedLines[handle] = {LineSent(*line), LineReceived(*line)};
    Lines.erase(line);
    return true;
}

SimLine* SimState::FindLine(HRASCONN handle)
{
    const auto line = std::find_if(Lines.begin(), Lines.end(), [&](const SimLine& l) { return l.Handle == handle; });
    return line == Lines.end() ? nullptr : &*line;
}

void SetRasLibraryPresent(const SimState& state, bool present)
{
    if (present) {
        RegisterRasModule(InstalledBackend().Modules, state.Extensions);
    } else {
        InstalledBackend().Modules.Unregister("RASAPI32.DLL");
        InstalledBackend().Modules.Unregister("RNAPH.DLL");
    }
}

std::shared_ptr<SimState> InstallSimBackend()
{
    auto state = std::make_shared<SimState>();
    SimAdapter loopback;
    loopback.Index = 1;
    loopback.Description = "lo";
    loopback.Address = "127.0.0.1";
    loopback.Type = IF_TYPE_SOFTWARE_LOOPBACK;
    SimAdapter ethernet;
    ethernet.Index = 2;
    ethernet.Description = "Realtek RTL8139 Family PCI Fast Ethernet NIC";
    ethernet.PhysAddr = {0x00, 0xA0, 0xC9, 0x14, 0xC8, 0x29};
    ethernet.Address = "192.168.1.10";
    state->Adapters = {loopback, ethernet};
    auto backend = std::make_unique<Backend>();
    backend->Profiles = std::make_unique<SimProfiles>(state);
    backend->System = std::make_unique<SimSystem>(state);
    backend->Ras = std::make_unique<SimRas>(state);
    RegisterRasModule(backend->Modules);
    backend->IpHelper = std::make_unique<SimIpHelper>(state);
    RegisterIpHelperModule(backend->Modules);
    backend->Sound = std::make_unique<SimSound>(state);
    backend->Registry = MakeSimRegistry(state);
    backend->Help = std::make_unique<SimHelp>(state);
    RegisterHelpModule(backend->Modules);
    backend->Shell = std::make_unique<SimShell>(state);
    backend->Meter = state->Meter;
    InstallBackend(std::move(backend));
    return state;
}

} // namespace win::sim
