#include "platform/posix/PppdDial.h"

#include "platform/posix/TextFields.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace win::posix {

namespace {

bool Contains(const std::string& line, const char* text)
{
    return line.find(text) != std::string::npos;
}

bool IsExecutable(const std::string& path)
{
    struct stat status = {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && access(path.c_str(), X_OK) == 0;
}

} // namespace

std::optional<RASCONNSTATE> StateOfPppdLine(const std::string& line)
{
    if (Contains(line, "Serial connection established"))
        return RASCS_DeviceConnected;
    if (line.starts_with("Using interface "))
        return RASCS_AllDevicesConnected;
    if (line.starts_with("Connect: "))
        return RASCS_Authenticate;
    if (Contains(line, "authentication succeeded"))
        return RASCS_Authenticated;
    if (line.starts_with("local  IP address"))
        return RASCS_Projected;
    return std::nullopt;
}

DWORD ErrorOfPppdExit(int status)
{
    switch (status) {
    case 3: // not allowed to run (not setuid root)
        return ERROR_ACCESS_DENIED;
    case 4: // the kernel has no PPP
        return 711;
    case 6: // the serial port is locked by another program
    case 7: // the serial port could not be opened
        return 633;
    case 8:  // the connect script failed: no answer, busy, no carrier
    case 18: // the init script failed
        return 651;
    case 10: // PPP negotiation failed
        return 720;
    case 11: // the peer would not authenticate itself
    case 19: // we could not authenticate ourselves
        return 691;
    case 15: // the peer stopped answering echo requests
        return 721;
    case 16: // the modem hung up
        return 630;
    case 17: // the line loops back
        return 737;
    case 12: // idle too long
    case 13: // connect time limit reached
    case 5:  // ended by a signal
        return 628;
    case 2: // the entry's options are wrong
        return 622;
    default:
        return 651;
    }
}

std::string FindPppdProgram()
{
    const char* path = std::getenv("PATH");
    for (const std::string_view folder : Fields(path != nullptr ? path : "", ":")) {
        const std::string program = std::string(folder) + "/pppd";
        if (IsExecutable(program))
            return program;
    }
    return IsExecutable("/usr/sbin/pppd") ? "/usr/sbin/pppd" : std::string();
}

DWORD PppdDial::Start(const std::string& entry, IRasService::DialNotify notify, std::unique_ptr<PppdDial>& dial)
{
    const std::string program = FindPppdProgram();
    if (program.empty())
        return 711;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return ERROR_NOT_ENOUGH_MEMORY;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDERR_FILENO);
    std::string name = entry;
    std::string call = "call";
    std::string nodetach = "nodetach";
    std::string programCopy = program;
    char* argv[] = {programCopy.data(), call.data(), name.data(), nodetach.data(), nullptr};
    pid_t process = 0;
    const int spawned = posix_spawn(&process, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    if (spawned != 0) {
        close(ends[0]);
        return 711;
    }
    dial.reset(new PppdDial(process, ends[0], entry, std::move(notify)));
    return ERROR_SUCCESS;
}

PppdDial::PppdDial(pid_t process, int output, std::string entry, IRasService::DialNotify notify)
    : Process(process), Output(output), ExitFd(static_cast<int>(syscall(SYS_pidfd_open, process, 0))),
      WakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), EntryName(std::move(entry)), Notify(std::move(notify))
{
    Reader = std::thread([this] { Read(); });
}

PppdDial::~PppdDial()
{
    HangUp();
    if (Reader.joinable())
        Reader.join();
    if (ExitFd >= 0)
        close(ExitFd);
    if (WakeFd >= 0)
        close(WakeFd);
}

void PppdDial::Tell(RASCONNSTATE state, DWORD error)
{
    LastState = state;
    if (!Cancelled && Notify)
        Notify(state, error);
}

bool PppdDial::ReadOutput(std::string& pending)
{
    char buffer[4096];
    const ssize_t got = read(Output, buffer, sizeof buffer);
    if (got < 0)
        return errno == EINTR || errno == EAGAIN;
    if (got == 0)
        return false;
    pending.append(buffer, static_cast<std::size_t>(got));
    Consume(pending);
    return true;
}

void PppdDial::Consume(std::string& pending)
{
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
        const std::string line = pending.substr(0, end);
        pending.erase(0, end + 1);
        const std::optional<RASCONNSTATE> state = StateOfPppdLine(line);
        if (!state || Connected)
            continue;
        Tell(*state, ERROR_SUCCESS);
        // The address is on the link once pppd tells it: the line is up.
        if (*state == RASCS_Projected) {
            Connected = true;
            Tell(RASCS_Connected, ERROR_SUCCESS);
        }
    }
    if (pending.size() > 65536)
        pending.clear(); // a line that never ends is not one of pppd's
}

bool PppdDial::Reap(int& status)
{
    const std::lock_guard lock(Lock);
    if (!Reaped) {
        const pid_t reaped = waitpid(Process, &status, WNOHANG);
        // ECHILD: somebody else of this process reaped it; it has ended all the same.
        if (reaped == Process || (reaped < 0 && errno == ECHILD)) {
            if (reaped < 0)
                status = 0;
            Reaped = true;
        }
    }
    return Reaped;
}

void PppdDial::Read()
{
    using Clock = std::chrono::steady_clock;
    for (const RASCONNSTATE state : {RASCS_OpenPort, RASCS_PortOpened, RASCS_ConnectDevice})
        Tell(state, ERROR_SUCCESS);
    constexpr auto Grace = std::chrono::milliseconds(3000);
    std::string pending;
    bool open = true;
    bool killed = false;
    std::optional<Clock::time_point> asked;
    int status = 0;
    while (!Reap(status)) {
        if (Cancelled && !asked)
            asked = Clock::now();
        if (asked && !killed && Clock::now() - *asked >= Grace) {
            const std::lock_guard lock(Lock);
            if (!Reaped)
                kill(Process, SIGKILL);
            killed = true;
        }
        // Asleep until pppd writes, ends or is asked to end; only a pending kill, or a kernel
        // without process descriptors, needs a time-out.
        int timeout = ExitFd < 0 ? 100 : -1;
        if (asked && !killed) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(Grace - (Clock::now() - *asked));
            timeout = static_cast<int>(std::max<std::int64_t>(0, left.count()));
        } else if (killed) {
            timeout = 100;
        }
        pollfd watched[3] = {{open ? Output : -1, POLLIN, 0}, {ExitFd, POLLIN, 0}, {WakeFd, POLLIN, 0}};
        if (poll(watched, 3, timeout) < 0 && errno != EINTR)
            std::this_thread::sleep_for(std::chrono::milliseconds(100)); // never spin

        if (watched[2].revents != 0) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t drained = read(WakeFd, &count, sizeof count);
        }
        if (open && watched[0].revents != 0)
            open = ReadOutput(pending);
    }
    // pppd has ended: what it wrote is in the pipe, but a child of its may hold the pipe open
    // for ever, so only what is there now is read.
    if (open) {
        fcntl(Output, F_SETFL, fcntl(Output, F_GETFL) | O_NONBLOCK);
        char buffer[4096];
        for (ssize_t got; (got = read(Output, buffer, sizeof buffer)) > 0;) {
            pending.append(buffer, static_cast<std::size_t>(got));
            Consume(pending);
        }
    }
    close(Output);
    if (!Connected) {
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 5;
        Tell(LastState, code == 0 ? 628 : ErrorOfPppdExit(code));
    }
    Done = true;
}

void PppdDial::HangUp()
{
    if (Cancelled.exchange(true))
        return;
    {
        const std::lock_guard lock(Lock);
        if (!Reaped)
            kill(Process, SIGTERM); // not reaped yet: the number is still pppd's
    }
    if (WakeFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t woken = write(WakeFd, &one, sizeof one);
    }
}

} // namespace win::posix
