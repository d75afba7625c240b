#include "common/MonthAccounting.h"

#include "common/BillingPeriod.h"

#include <cmath>
#include <limits>

namespace pulo {

std::int64_t ConnectionSeconds(TDateTime start, TDateTime end)
{
    const double days = end - start;
    if (!(days > 0))
        return 0;
    // Through milliseconds, rounded, so that 90 s stored as a fraction of a day stays 90 s.
    const auto milliseconds = std::llround(days * 86400000.0);
    return milliseconds / 1000;
}

std::optional<TFinishedConnection> CountConnection(TMonthTotals& totals, const TConnectionEnd& end)
{
    const bool measured = end.Milliseconds >= 0;
    const bool lasted = measured ? end.Milliseconds > 0 : end.EndTime - end.ConnectStart > 0;
    if (!(end.ConnectStart > 0) || !lasted || !end.Logging)
        return std::nullopt;

    TFinishedConnection counted;
    counted.EndTime = end.EndTime;
    counted.ConnSeconds = measured ? end.Milliseconds / 1000 : ConnectionSeconds(end.ConnectStart, end.EndTime);
    counted.Hours = counted.ConnSeconds / 3600;
    counted.Minutes = static_cast<int>(counted.ConnSeconds % 3600 / 60);
    counted.Seconds = static_cast<int>(counted.ConnSeconds % 60);
    counted.ConnSentKB = end.StatsXmit / 1000;
    counted.ConnRecvKB = end.StatsRecv / 1000;
    counted.StartDate = DecodeDate(end.ConnectStart);
    const QDate periodFirst =
        PeriodOf(QDate(counted.StartDate.Year, counted.StartDate.Month, counted.StartDate.Day), end.BillingDay).First;
    counted.PeriodMonth = {static_cast<std::uint16_t>(periodFirst.year()),
                           static_cast<std::uint16_t>(periodFirst.month()), counted.StartDate.Day};
    counted.SameMonth = totals.StoredMonth == counted.PeriodMonth.Month;

    const auto seconds = static_cast<double>(counted.ConnSeconds);
    if (counted.SameMonth) {
        // A hand-edited count at the largest integer stays there rather than turn negative.
        if (totals.TotCon < std::numeric_limits<std::int32_t>::max())
            totals.TotCon += 1;
        totals.TotRCV += counted.ConnRecvKB;
        totals.TotTMT += counted.ConnSentKB;
        totals.TotTime += seconds;
    } else {
        totals.TotCon = 1;
        totals.TotRCV = counted.ConnRecvKB;
        totals.TotTMT = counted.ConnSentKB;
        totals.TotTime = seconds;
    }
    return counted;
}

} // namespace pulo
