#pragma once

// The lines of the connection log: one line per connection and the month's seven-line totals
// block, in the user's date and time formats. The separators are the bullet and the em dash
// (bytes 0x95 and 0x97 of the log's 8-bit code page).

#include "common/DateTime.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace pulo {

inline constexpr int MonthBlockLines = 7;

// "20/05/2002 • 10:15:02 —> 11:02:47 • 00:47:45 •  123.456 • 2345.678 • MyISP"; the hours of
// a connection of a day or more keep their days.
[[nodiscard]] QString ConnectionLine(TDateTime connectDate,
                                     TDateTime connectStart,
                                     TDateTime end,
                                     std::int64_t hours,
                                     int minutes,
                                     int seconds,
                                     double sentKB,
                                     double receivedKB,
                                     const QString& entryName);

// The seven lines of the month's totals; the time's parts as the window keeps them (texts).
[[nodiscard]] QStringList MonthTotalsBlock(std::int32_t connections,
                                           const QString& hours,
                                           const QString& minutes,
                                           const QString& seconds,
                                           double sentKB,
                                           double receivedKB);

// Whether the lines end with a month's totals block as MonthTotalsBlock lays it out.
[[nodiscard]] bool EndsWithMonthTotalsBlock(const QStringList& lines);

} // namespace pulo
