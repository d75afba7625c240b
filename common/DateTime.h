#pragma once

// Date-time values as the program keeps them: a real number of days since 1899-12-30, local
// time, the fraction being the time of day.

#include <QDateTime>

#include <cstdint>

namespace pulo {

using TDateTime = double;

struct DateParts final
{
    std::uint16_t Year = 0;
    std::uint16_t Month = 0;
    std::uint16_t Day = 0;
};

[[nodiscard]] TDateTime EncodeDate(int year, int month, int day);
[[nodiscard]] TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
[[nodiscard]] DateParts DecodeDate(TDateTime value);
// The date-time as Qt holds it (local time), milliseconds rounded.
// Making one asks the C library for the local time's offset; where only the day is wanted,
// DateOf gives it without.
[[nodiscard]] QDateTime ToQDateTime(TDateTime value);
[[nodiscard]] QDate DateOf(TDateTime value);
// The local date-time of a moment (milliseconds kept).
[[nodiscard]] TDateTime FromQDateTime(const QDateTime& value);
// The present moment, from the platform clock.
[[nodiscard]] TDateTime Now();
// The present moment in UTC: unlike local time it names one moment, even in the hour a change of
// daylight saving time repeats.
[[nodiscard]] QDateTime UtcNow();
// Milliseconds on a clock that setting the time does not move: what lengths are measured with.
[[nodiscard]] std::int64_t Uptime();

} // namespace pulo
