#pragma once

// How long the connection in progress has lasted and when it began. The wall clock can jump
// while a line is up (a change of daylight saving time, a time server correcting a clock that was
// off, the user setting it); the connection's length cannot. So the length is measured on a clock
// that is never set, and the start is the present moment less that length: the freshest reading
// of the wall clock places it.

#include <QDateTime>

#include <cstdint>

namespace pulo {

class TConnectionClock final
{
public:
    // The connection began allowanceMs before now (utcNow on the wall clock, uptimeMs on the one
    // that is never set).
    void Start(const QDateTime& utcNow, std::int64_t uptimeMs, std::int64_t allowanceMs = 0);
    void Stop() { IsRunning = false; }
    [[nodiscard]] bool Running() const { return IsRunning; }
    // Its length so far; 0 when none runs.
    [[nodiscard]] std::int64_t Milliseconds(std::int64_t uptimeMs) const;
    // Moves the start to the present moment less the length when the wall clock was set since
    // (the two differ by more than a second); true when it moved. Below that the clocks merely
    // drift apart, and the start the user saw stays.
    bool Follow(const QDateTime& utcNow, std::int64_t uptimeMs);
    // Its start in UTC; invalid when none runs.
    [[nodiscard]] QDateTime StartUtc() const { return IsRunning ? Began : QDateTime(); }
    // Its start in the offset from UTC that held then (as the history keeps moments).
    [[nodiscard]] QDateTime StartLocal() const;

private:
    bool IsRunning = false;
    std::int64_t StartedAt = 0;
    QDateTime Began;
};

} // namespace pulo
