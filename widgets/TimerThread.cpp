#include "widgets/TimerThread.h"

#include <chrono>

namespace pulo {

TTimerThread::TTimerThread(unsigned intervalMs, bool suspended, std::function<void()> step)
    : IntervalMs(intervalMs), IsSuspended(suspended), Step(std::move(step)), Thread([this] { Run(); })
{
}

TTimerThread::~TTimerThread()
{
    {
        const std::lock_guard<std::mutex> guard(Lock);
        Terminated = true;
    }
    Wake.notify_all();
    Thread.join();
}

void TTimerThread::Suspend()
{
    const std::lock_guard<std::mutex> guard(Lock);
    IsSuspended = true;
    Wake.notify_all();
}

void TTimerThread::Resume()
{
    {
        const std::lock_guard<std::mutex> guard(Lock);
        IsSuspended = false;
    }
    Wake.notify_all();
}

void TTimerThread::SetInterval(unsigned intervalMs)
{
    const std::lock_guard<std::mutex> guard(Lock);
    IntervalMs = intervalMs;
}

bool TTimerThread::Suspended() const
{
    const std::lock_guard<std::mutex> guard(Lock);
    return IsSuspended;
}

void TTimerThread::Run()
{
    std::unique_lock<std::mutex> lock(Lock);
    while (!Terminated) {
        Wake.wait(lock, [this] { return Terminated || !IsSuspended; });
        if (Terminated)
            break;
        const bool interrupted =
            Wake.wait_for(lock, std::chrono::milliseconds(IntervalMs), [this] { return Terminated || IsSuspended; });
        if (interrupted)
            continue;
        lock.unlock();
        Step();
        lock.lock();
    }
}

} // namespace pulo
