#pragma once

// The hours and days a plan does not count (free nights, free weekends): traffic at such a moment
// is shown as free and is not counted against the limit. Ranges are of local time; one may cross
// midnight ("22:00-06:00"); a free day is free all day.

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace pulo {

struct TFreeRange final
{
    int From = 0; // minutes after midnight
    int To = 0;   // up to 1440; before From: the range crosses midnight
    bool operator==(const TFreeRange&) const = default;
};

struct TFreeTime final
{
    std::vector<TFreeRange> Ranges;
    std::uint8_t Days = 0; // bit 1 << dayOfWeek (Monday 1 … Sunday 7)

    [[nodiscard]] bool Any() const { return !Ranges.empty() || Days != 0; }
    // Whether traffic at this moment is free.
    [[nodiscard]] bool Holds(const QDateTime& at) const;
    bool operator==(const TFreeTime&) const = default;
};

// "00:00-06:00, 22:30-23:00": none for an empty text, nothing when a part is not such a range (a
// range of no length is not one).
[[nodiscard]] std::optional<std::vector<TFreeRange>> ParseFreeHours(const QString& text);
// "sat,sun" (English names or their first three letters, any case): nothing when a word is not a day.
[[nodiscard]] std::optional<std::uint8_t> ParseFreeDays(const QString& text);
// Both read as well as they can: what cannot be read is left out.
[[nodiscard]] TFreeTime FreeTimeOf(const QString& hours, const QString& days);
// How the user would say it: "00:00-06:00 and sat, sun free"; empty when nothing is free.
[[nodiscard]] QString FreeTimeText(const TFreeTime& free);

} // namespace pulo
