#pragma once

// The status the tray icon's tip shows under its hint: the connection and its time online, the
// billing period's megabytes (of the limit, when one is active) and the days left in it.

#include <QString>

#include <cstdint>
#include <optional>

namespace pulo {

struct TTrayFigures final
{
    bool Online = false;
    QString Entry;
    QString OnlineClock;                    // "01:02:03"
    std::int64_t PeriodBytes = 0;           // what the limit counts, this period so far
    std::optional<std::int64_t> LimitBytes; // the active download limit
    int DaysLeft = 0;
    std::optional<std::int64_t> DailyBytes; // what is left of the limit a day
    bool DataSaver = false;                 // the data saver is on
    QString Cost = {};                      // "Cost so far: 3.20 EUR" when the plan has prices
    QString Free = {};                      // "1.20 GB free, not counted" after free traffic

    bool operator==(const TTrayFigures&) const = default;
};

// "Connected to My ISP for 01:02:03" or "Not connected", then "This period: 123 MB of 4000 MB"
// and "24 days left" (with ", 412 MB a day" under a limit), one a line; "Data saver on" last
// while it is.
[[nodiscard]] QString TrayStatusText(const TTrayFigures& figures);

} // namespace pulo
