#include "common/ConnectionClock.h"

#include <algorithm>
#include <cstdlib>

namespace pulo {

namespace {

constexpr std::int64_t ClockStepMs = 1000;

} // namespace

void TConnectionClock::Start(const QDateTime& utcNow, std::int64_t uptimeMs, std::int64_t allowanceMs)
{
    IsRunning = true;
    StartedAt = uptimeMs - allowanceMs;
    Began = utcNow.addMSecs(-allowanceMs);
}

std::int64_t TConnectionClock::Milliseconds(std::int64_t uptimeMs) const
{
    return IsRunning ? std::max<std::int64_t>(0, uptimeMs - StartedAt) : 0;
}

bool TConnectionClock::Follow(const QDateTime& utcNow, std::int64_t uptimeMs)
{
    if (!IsRunning)
        return false;
    const QDateTime began = utcNow.addMSecs(-Milliseconds(uptimeMs));
    if (std::abs(began.msecsTo(Began)) <= ClockStepMs)
        return false;
    Began = began;
    return true;
}

QDateTime TConnectionClock::StartLocal() const
{
    if (!IsRunning)
        return {};
    const QDateTime local = Began.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc());
}

} // namespace pulo
