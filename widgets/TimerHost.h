#pragma once

// The one platform timer behind a timer list: a repeating tick with a delay in milliseconds,
// as a window timer is. The program uses a Qt timer; tests put in one they tick themselves.

#include <functional>
#include <memory>

namespace pulo {

class ITimerHost
{
public:
    virtual ~ITimerHost() = default;
    // Starts (or restarts) the repeating tick. Returns false when the system refuses a timer.
    [[nodiscard]] virtual bool SetTimer(unsigned delayMs) = 0;
    virtual void KillTimer() = 0;
};

// Makes the timer of a list; the callback is the tick.
using TimerHostFactory = std::function<std::unique_ptr<ITimerHost>(std::function<void()> onTick)>;

// The program's timer: a Qt timer on the user-interface thread.
[[nodiscard]] std::unique_ptr<ITimerHost> MakeQtTimerHost(std::function<void()> onTick);

} // namespace pulo
