#pragma once

// A list of timed events served by one platform timer. The timer's period is the longest one
// (at least 100 ms) that divides every interval, so a second-long event and a ten-second one
// share a one-second tick; events fire up to 50 ms early and at most one tick late, from the
// end of the list to its start when several are due together.

#include "platform/Win32.h"
#include "widgets/TimerHost.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace pulo {

class TRxTimerList;

class TRxTimerEvent final
{
public:
    explicit TRxTimerEvent(QString name = {});

    [[nodiscard]] const QString& Name() const { return EventName; }
    [[nodiscard]] bool Cycled() const { return IsCycled; }
    [[nodiscard]] std::int32_t RepeatCount() const { return Repeats; }
    [[nodiscard]] bool Enabled() const { return IsEnabled; }
    [[nodiscard]] std::int32_t Interval() const { return IntervalMs; }
    [[nodiscard]] std::int32_t Handle() const { return EventHandle; }
    [[nodiscard]] win::DWORD LastTick() const { return LastTickCount; }
    [[nodiscard]] std::int32_t FireCount() const { return Fired; }

    void SetCycled(bool value);
    // Raised to at least 1 for an event that is not cycled; an event that has already fired
    // that often is disabled.
    void SetRepeatCount(std::int32_t value);
    // Enabling restarts the interval from now; disabling only clears the flag.
    void SetEnabled(bool value);
    // The next firing still counts from the last one.
    void SetInterval(std::int32_t value);

    std::function<void(TRxTimerEvent* sender)> OnTimer;

private:
    friend class TRxTimerList;

    QString EventName;
    bool IsCycled = true;
    std::int32_t Repeats = 0;
    bool IsEnabled = true;
    std::int32_t IntervalMs = 1000;
    std::int32_t EventHandle = 0;
    win::DWORD LastTickCount;
    std::int32_t Fired = 0;
    TRxTimerList* List = nullptr;
};

class TRxTimerList final
{
public:
    explicit TRxTimerList(TimerHostFactory windowFactory = MakeQtTimerHost);
    ~TRxTimerList();
    TRxTimerList(const TRxTimerList&) = delete;
    TRxTimerList& operator=(const TRxTimerList&) = delete;

    // Activation starts every enabled event's interval now; it raises PuloError "Not enough
    // timers available" (and leaves the list inactive) when the system refuses the timer.
    void SetActive(bool value);
    [[nodiscard]] bool Active() const { return IsActive; }

    // While the owner is loading, a list with no enabled event stays active.
    bool Loading = false;

    // The event joins the list, which owns it from now on.
    TRxTimerEvent* Add(std::unique_ptr<TRxTimerEvent> event);
    [[nodiscard]] const std::vector<std::unique_ptr<TRxTimerEvent>>& Events() const { return EventList; }

    [[nodiscard]] win::DWORD TickPeriod() const { return Period; }
    [[nodiscard]] win::DWORD PeriodCarry() const { return Carry; }

    std::function<void(TRxTimerList* sender)> OnFinish;
    std::function<void(TRxTimerList* sender, std::int32_t handle)> OnTimers;

    // The platform timer's message: serves the events that are due.
    void Tick();
    // Works out the tick period from the events as of now (a tick count).
    void CalculatePeriod(win::DWORD now);
    // Sets the platform timer to the period, in steps of at most 65535 ms.
    void ArmTimer();

private:
    friend class TRxTimerEvent;

    void Activate();
    void Deactivate();
    void Sort();
    // Fires the due events; true when one of them is left disabled.
    [[nodiscard]] bool ProcessEvents();
    [[nodiscard]] bool AnyEnabled() const;
    void UpdateTimer();

    TimerHostFactory WindowFactory;
    std::unique_ptr<ITimerHost> Window;
    std::vector<std::unique_ptr<TRxTimerEvent>> EventList;
    bool IsActive = false;
    // A handler that enables or re-times an event during a pass has the period worked out
    // once the pass is over, when every due event has its new start: worked out in the
    // middle, an event not yet served would look due in a few milliseconds and hold the
    // period at its floor.
    bool InPass = false;
    bool RecalculateAfterPass = false;
    win::DWORD Period = 0;
    win::DWORD Carry = 0;
    std::int32_t LastHandle = 0;
};

} // namespace pulo
