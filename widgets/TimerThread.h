#pragma once

// The tray icon's animation clock: a thread that waits one interval at a time and hands each
// frame step to the user-interface thread, so the icon itself is only ever touched there.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace pulo {

class TTimerThread final
{
public:
    // step runs on this thread after each interval; it must only post work elsewhere.
    TTimerThread(unsigned intervalMs, bool suspended, std::function<void()> step);
    // Asks the thread to end and waits for it; a thread between two steps ends at once.
    ~TTimerThread();
    TTimerThread(const TTimerThread&) = delete;
    TTimerThread& operator=(const TTimerThread&) = delete;

    void Suspend();
    void Resume();
    void SetInterval(unsigned intervalMs);
    [[nodiscard]] bool Suspended() const;

private:
    void Run();

    mutable std::mutex Lock;
    std::condition_variable Wake;
    unsigned IntervalMs;
    bool IsSuspended;
    bool Terminated = false;
    std::function<void()> Step;
    std::thread Thread;
};

} // namespace pulo
