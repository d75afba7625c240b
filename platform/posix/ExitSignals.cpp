#include "platform/posix/ExitSignals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

namespace win::posix {

namespace {

int WriteEnd = -1;

void OnExitSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    // Async-signal-safe; a full pipe already says that a signal is waiting.
    [[maybe_unused]] const ssize_t written = write(WriteEnd, &byte, 1);
    errno = saved;
}

int Install()
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return -1;
    WriteEnd = ends[1];
    struct sigaction action = {};
    action.sa_handler = OnExitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
    return ends[0];
}

} // namespace

int ExitSignalDescriptor()
{
    static const int descriptor = Install();
    return descriptor;
}

void DrainExitSignals(int descriptor)
{
    char bytes[16];
    while (read(descriptor, bytes, sizeof bytes) > 0) {
    }
}

} // namespace win::posix
