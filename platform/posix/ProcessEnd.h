#pragma once

// Ends processes this program did not start, such as the pppd of a link found by its pid file:
// SIGTERM at once and, when it still runs three seconds later, SIGKILL, on a thread of its own
// so that the caller (the window) never waits for it.

#include "platform/Win32.h"

#include <atomic>
#include <memory>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace win::posix {

class ProcessEnder final
{
public:
    ProcessEnder() = default;
    // Waits for the endings under way: at most about three seconds.
    ~ProcessEnder();
    ProcessEnder(const ProcessEnder&) = delete;
    ProcessEnder& operator=(const ProcessEnder&) = delete;

    // ERROR_SUCCESS once SIGTERM is sent; ERROR_ACCESS_DENIED for a process we may not signal
    // (another user's), ERROR_INVALID_HANDLE for one that is gone.
    [[nodiscard]] DWORD End(pid_t process);

private:
    struct Ending
    {
        std::thread Thread;
        std::shared_ptr<std::atomic<bool>> Done;
    };
    std::vector<Ending> Endings;
};

} // namespace win::posix
