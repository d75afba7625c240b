#include "platform/posix/ProcessEnd.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace win::posix {

namespace {

constexpr int GraceMs = 3000;

// Sends the signal through the process descriptor where there is one, so that a number reused
// by another process after this one ended is never signalled.
int Signal(int descriptor, pid_t process, int signal)
{
    if (descriptor >= 0)
        return static_cast<int>(syscall(SYS_pidfd_send_signal, descriptor, signal, nullptr, 0));
    return kill(process, signal);
}

// Waits until the process has ended or the time is up; true when it ended.
bool WaitEnded(int descriptor, pid_t process, int milliseconds)
{
    if (descriptor >= 0) {
        pollfd ended{descriptor, POLLIN, 0};
        int ready = 0;
        while ((ready = poll(&ended, 1, milliseconds)) < 0 && errno == EINTR) {
        }
        return ready > 0;
    }
    for (int waited = 0; waited < milliseconds; waited += 100) {
        if (kill(process, 0) != 0 && errno == ESRCH)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

} // namespace

ProcessEnder::~ProcessEnder()
{
    for (Ending& ending : Endings)
        ending.Thread.join();
}

DWORD ProcessEnder::End(pid_t process)
{
    std::erase_if(Endings, [](Ending& ending) {
        if (!*ending.Done)
            return false;
        ending.Thread.join();
        return true;
    });
    const int descriptor = static_cast<int>(syscall(SYS_pidfd_open, process, 0));
    if (Signal(descriptor, process, SIGTERM) != 0) {
        const int error = errno;
        if (descriptor >= 0)
            close(descriptor);
        return error == EPERM ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE;
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([descriptor, process, done] {
        if (!WaitEnded(descriptor, process, GraceMs))
            Signal(descriptor, process, SIGKILL);
        if (descriptor >= 0)
            close(descriptor);
        *done = true;
    });
    Endings.push_back({std::move(thread), std::move(done)});
    return ERROR_SUCCESS;
}

} // namespace win::posix
