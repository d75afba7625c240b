#include "platform/posix/PosixShell.h"

#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace win::posix {

namespace {

class PosixShell final : public IShellService
{
public:
    bool Open(const std::string& address) override
    {
        std::string program = "xdg-open";
        std::string argument = address;
        char* argv[] = {program.data(), argument.data(), nullptr};
        pid_t child = 0;
        if (posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv, environ) != 0)
            return false;
        // xdg-open hands the address on and ends; it is reaped without keeping anyone waiting.
        std::thread([child] {
            int status = 0;
            waitpid(child, &status, 0);
        }).detach();
        return true;
    }
};

} // namespace

std::unique_ptr<IShellService> MakePosixShell()
{
    return std::make_unique<PosixShell>();
}

} // namespace win::posix
