#include "widgets/TimerLst.h"

#include "common/ErrorBoundary.h"
#include "common/PuloError.h"

#include <algorithm>
#include <limits>

namespace pulo {

namespace {

constexpr std::int64_t MinimumPeriod = 100;
constexpr win::DWORD LongestDelay = 65535;
// An event may fire this much before its interval is complete.
constexpr std::int64_t EarlyAllowance = 50;

// Milliseconds since a tick count, right across the wrap of the count after 49.7 days.
win::DWORD Elapsed(win::DWORD now, win::DWORD since)
{
    return now - since;
}

} // namespace

TRxTimerEvent::TRxTimerEvent(QString name) : EventName(std::move(name)), LastTickCount(win::GetTickCount()) {}

void TRxTimerEvent::SetCycled(bool value)
{
    IsCycled = value;
    if (!IsCycled)
        SetRepeatCount(Repeats);
}

void TRxTimerEvent::SetRepeatCount(std::int32_t value)
{
    Repeats = !IsCycled ? std::max(value, 1) : value;
    if (IsEnabled && !IsCycled && Fired >= Repeats)
        IsEnabled = false;
}

void TRxTimerEvent::SetEnabled(bool value)
{
    if (value == IsEnabled)
        return;
    IsEnabled = value;
    if (IsEnabled) {
        Fired = 0;
        LastTickCount = win::GetTickCount();
        if (List != nullptr)
            List->UpdateTimer();
    }
}

void TRxTimerEvent::SetInterval(std::int32_t value)
{
    IntervalMs = value;
    if (List != nullptr)
        List->UpdateTimer();
}

TRxTimerList::TRxTimerList(TimerHostFactory windowFactory) : WindowFactory(std::move(windowFactory)) {}

TRxTimerList::~TRxTimerList()
{
    OnFinish = nullptr; // nobody is left to tell
    if (IsActive)
        Deactivate();
}

TRxTimerEvent* TRxTimerList::Add(std::unique_ptr<TRxTimerEvent> event)
{
    TRxTimerEvent* added = event.get();
    added->List = this;
    added->EventHandle = ++LastHandle;
    EventList.push_back(std::move(event));
    CalculatePeriod(win::GetTickCount());
    Sort();
    ArmTimer();
    return added;
}

void TRxTimerList::SetActive(bool value)
{
    if (value == IsActive)
        return;
    if (value)
        Activate();
    else
        Deactivate();
}

void TRxTimerList::Activate()
{
    Window = WindowFactory([this] { RunGuarded([this] { Tick(); }); });
    IsActive = true;
    Carry = 0;
    const win::DWORD now = win::GetTickCount();
    for (auto& event : EventList)
        if (event->IsEnabled)
            event->LastTickCount = now;
    CalculatePeriod(now);
    Sort();
    ArmTimer();
}

void TRxTimerList::Deactivate()
{
    Window.reset(); // ends the platform timer
    IsActive = false;
    Carry = 0;
    if (OnFinish)
        OnFinish(this);
}

void TRxTimerList::Sort()
{
    std::stable_sort(EventList.begin(), EventList.end(),
                     [](const auto& a, const auto& b) { return a->IntervalMs < b->IntervalMs; });
}

bool TRxTimerList::AnyEnabled() const
{
    return std::any_of(EventList.begin(), EventList.end(), [](const auto& event) { return event->IsEnabled; });
}

void TRxTimerList::UpdateTimer()
{
    if (InPass) {
        RecalculateAfterPass = true;
        return;
    }
    CalculatePeriod(win::GetTickCount());
    ArmTimer();
}

void TRxTimerList::CalculatePeriod(win::DWORD now)
{
    if (EventList.empty()) {
        Period = 0;
        return;
    }
    Carry = 0;
    std::int64_t shortest = std::numeric_limits<std::int32_t>::max();
    bool anyTakesPart = false;
    for (const auto& event : EventList) {
        if (event->IsEnabled && event->IntervalMs > 0) {
            anyTakesPart = true;
            shortest = std::min<std::int64_t>(shortest, event->IntervalMs);
        }
    }
    std::int64_t period = shortest;
    for (const auto& event : EventList) {
        if (!event->IsEnabled || event->IntervalMs <= 0)
            continue;
        // An event that began its interval within the early allowance is served by a tick a
        // whole interval from now: it fires that much early anyway. Counting the few
        // milliseconds (an event re-enabled just after another fired) would send the divisor
        // search below down to the 100 ms floor, and the window would wake ten times a second.
        // So is one due shortly before the next tick, by the allowance or a tenth of its own
        // interval (a ten-second event enabled a moment before the one-second ones): it fires
        // that little late, and from then on in step with them. Waking ten times a second
        // until it is due would start again with each of its intervals.
        const std::int64_t elapsed = Elapsed(now, event->LastTickCount);
        const std::int64_t remaining = event->IntervalMs - elapsed;
        const std::int64_t late = shortest - remaining;
        if (elapsed > EarlyAllowance && late > std::max<std::int64_t>(EarlyAllowance, event->IntervalMs / 10))
            period = std::min(period, remaining);
    }
    period = std::max(period, MinimumPeriod);
    if (!anyTakesPart) {
        Period = 0;
        return;
    }
    // Shorten the period until it divides every interval. Intervals of zero or less take no
    // part: a negative one (from a hand-edited settings file) would grow the period forever.
    for (bool divides = false; !divides && period > MinimumPeriod;) {
        divides = true;
        for (const auto& event : EventList) {
            const std::int64_t remainder = event->IntervalMs > 0 ? event->IntervalMs % period : 0;
            if (remainder != 0) {
                period -= remainder;
                divides = false;
                break;
            }
        }
    }
    Period = static_cast<win::DWORD>(std::max(period, MinimumPeriod));
}

void TRxTimerList::ArmTimer()
{
    win::DWORD delay = Period;
    if (Period > LongestDelay) {
        if (Period - Carry <= LongestDelay) {
            delay = Period - Carry;
            Carry = 0;
        } else {
            delay = LongestDelay;
            Carry += LongestDelay;
        }
    }
    if (!Window)
        return;
    Window->KillTimer();
    if (!AnyEnabled()) {
        if (!Loading)
            Deactivate();
    } else if (Period > 0 && !Window->SetTimer(delay)) {
        Deactivate();
        throw PuloError(QStringLiteral("Not enough timers available"));
    }
}

void TRxTimerList::Tick()
{
    if (Carry != 0 || !IsActive) {
        ArmTimer();
        return;
    }
    InPass = true;
    RecalculateAfterPass = false;
    bool disabled = false;
    try {
        disabled = ProcessEvents();
    } catch (...) {
        InPass = false;
        throw;
    }
    InPass = false;
    if (disabled || RecalculateAfterPass) {
        if (AnyEnabled()) {
            CalculatePeriod(win::GetTickCount());
            ArmTimer();
        } else {
            Deactivate();
        }
    } else if (Period > LongestDelay && Window) {
        // A long period was served in steps; start the steps again for the next round rather
        // than let the timer go on repeating the last, shorter step.
        ArmTimer();
    }
}

bool TRxTimerList::ProcessEvents()
{
    const win::DWORD now = win::GetTickCount();
    bool disabled = false;
    for (std::size_t i = EventList.size(); i-- > 0;) {
        if (i >= EventList.size())
            continue; // a handler removed events
        TRxTimerEvent* event = EventList[i].get();
        if (!event->IsEnabled ||
            static_cast<std::int64_t>(Elapsed(now, event->LastTickCount)) < event->IntervalMs - EarlyAllowance)
            continue;
        event->LastTickCount = now;
        ++event->Fired;
        event->IsEnabled = event->IsCycled || event->Fired < event->Repeats;
        if (event->OnTimer)
            event->OnTimer(event);
        if (OnTimers)
            OnTimers(this, event->EventHandle);
        if (!event->IsEnabled)
            disabled = true;
    }
    return disabled;
}

} // namespace pulo
