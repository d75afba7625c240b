#pragma once

// The status for status bars and scripts that poll it: one JSON object in the custom-module
// format of the Wayland status bars, one stable line of fields, and the level the plan stands
// at by the user's thresholds (the command line's exit status for --check).

#include "usage/StatusReport.h"
#include "usage/UsageFigures.h"

#include <QByteArray>
#include <QJsonObject>

#include <vector>

namespace pulo {

enum class TPlanLevel
{
    Within,    // below every threshold (or no limit)
    Threshold, // past a threshold below the limit
    Past,      // past the limit
};

// thresholds: percentages of the limit, in order.
[[nodiscard]] TPlanLevel LevelOf(const TPlanStatus& plan, const std::vector<int>& thresholds);

// {"text": "6.00 MB / 20.0 MB", "tooltip": the status line's parts, one a line, "class": "ok",
// "warning" or "critical", "percentage": 30}.
[[nodiscard]] QJsonObject WaybarJson(const TStatusReport& report, const std::vector<int>& thresholds);

// "1;online;entry;periodStart;periodEnd;daysLeft;receivedBytes;sentBytes;countedBytes;limitBytes;
// limitUsedPercent;forecastDate;dailyAllowanceBytes;usedTodayBytes": the format's version first,
// then the --json fields of the same names, empty where --json has null; online is 1 or 0, days
// are YYYY-MM-DD, and a ";" in the entry's name becomes ",".
[[nodiscard]] QByteArray OneLine(const TStatusReport& report);

// What --json prints: the status report's fields (ReportJson) after a "version" field, the
// format's version as in --oneline.
[[nodiscard]] QByteArray StatusJson(const TStatusReport& report);

// The history by day or by billing period, a line each: "2026-12-01  4.00 MB received  1.00 MB
// sent  0:30:00" in aligned columns (a period reads "2026-12-01 to 2026-12-31"), or a JSON array of objects with
// first, last, receivedBytes, sentBytes and seconds.
[[nodiscard]] QByteArray BarsText(const std::vector<TUsageBar>& bars);
[[nodiscard]] QByteArray BarsJson(const std::vector<TUsageBar>& bars);
// The line that ends them: "This period: 4.00 GB counted so far, about 9.30 GB by 31 December
// (limit 10.0 GB)".
[[nodiscard]] QByteArray EstimateLine(const TPlanStatus& plan);

} // namespace pulo
