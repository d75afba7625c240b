#include "usage/PlanStatus.h"

namespace pulo {

TPlanStatus PlanStatusOf(const THistoryStore& history,
                         const QDateTime& now,
                         int billingDay,
                         bool countsBoth,
                         std::optional<std::int64_t> limit)
{
    TPlanStatus status;
    const QDateTime local = now.toLocalTime();
    status.Period = PeriodOf(local.date(), billingDay);
    status.DaysLeft = DaysLeft(status.Period, local.date());
    for (const TUsageConnection& connection :
         history.Connections(status.Period.First.startOfDay(), status.Period.End.startOfDay())) {
        status.Sent += connection.Sent;
        status.Received += connection.Received;
    }
    status.Counted = countsBoth ? status.Sent + status.Received : status.Received;
    if (limit && *limit > 0) {
        status.Limit = limit;
        status.LimitUsed = 100.0 * static_cast<double>(status.Counted) / static_cast<double>(*limit);
        status.Forecast = ForecastDate(status.Period, local, status.Counted, *limit);
    }
    return status;
}

} // namespace pulo
