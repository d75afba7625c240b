#include "platform/posix/PppdDial.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
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
    std::istringstream folders(path != nullptr ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (!folder.empty() && IsExecutable(folder + "/pppd"))
            return folder + "/pppd";
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
    dial.reset(new PppdDial(process, ends[0], std::move(notify)));
    return ERROR_SUCCESS;
}

PppdDial::PppdDial(pid_t process, int output, IRasService::DialNotify notify)
    : Process(process), Output(output), Notify(std::move(notify))
{
    Reader = std::thread([this] { Read(); });
}

PppdDial::~PppdDial()
{
    HangUp();
    if (Reader.joinable())
        Reader.join();
}

void PppdDial::Read()
{
    const auto tell = [this](RASCONNSTATE state, DWORD error) {
        if (!Cancelled && Notify)
            Notify(state, error);
    };
    RASCONNSTATE last = RASCS_OpenPort;
    for (const RASCONNSTATE state : {RASCS_OpenPort, RASCS_PortOpened, RASCS_ConnectDevice})
        tell(last = state, ERROR_SUCCESS);
    bool connected = false;
    std::string pending;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(Output, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        pending.append(buffer, static_cast<std::size_t>(got));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            const std::optional<RASCONNSTATE> state = StateOfPppdLine(line);
            if (!state || connected)
                continue;
            tell(last = *state, ERROR_SUCCESS);
            // The address is on the link once pppd tells it: the line is up.
            if (*state == RASCS_Projected) {
                connected = true;
                tell(last = RASCS_Connected, ERROR_SUCCESS);
            }
        }
        if (pending.size() > 65536)
            pending.clear(); // a line that never ends is not one of pppd's
    }
    close(Output);
    int status = 0;
    while (waitpid(Process, &status, 0) < 0 && errno == EINTR) {
    }
    if (!connected) {
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 5;
        tell(last, code == 0 ? 628 : ErrorOfPppdExit(code));
    }
    const std::lock_guard lock(Lock);
    Reaped = true;
    ReapedChanged.notify_all();
}

bool PppdDial::WaitReaped(int milliseconds)
{
    std::unique_lock lock(Lock);
    return ReapedChanged.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return Reaped; });
}

void PppdDial::HangUp()
{
    Cancelled = true;
    {
        const std::lock_guard lock(Lock);
        if (Reaped)
            return;
        kill(Process, SIGTERM); // the process is not reaped yet: its number is still its own
    }
    if (WaitReaped(3000))
        return;
    {
        const std::lock_guard lock(Lock);
        if (!Reaped)
            kill(Process, SIGKILL);
    }
    WaitReaped(2000);
}

} // namespace win::posix
