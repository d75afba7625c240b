#include "common/BillingPeriod.h"

namespace pulo {

TBillingPeriod PeriodOf(const QDate& day, int billingDay)
{
    const int start = billingDay >= 1 && billingDay <= 28 ? billingDay : 1;
    QDate first(day.year(), day.month(), start);
    if (day < first)
        first = first.addMonths(-1);
    return {first, first.addMonths(1)};
}

int DaysLeft(const TBillingPeriod& period, const QDate& today)
{
    return static_cast<int>(today.daysTo(period.End));
}

std::optional<QDate>
ForecastDate(const TBillingPeriod& period, const QDateTime& now, std::int64_t counted, std::int64_t limit)
{
    if (limit <= 0 || counted <= 0)
        return std::nullopt;
    if (counted >= limit)
        return now.date();
    const QDateTime start = period.First.startOfDay();
    const qint64 elapsed = start.secsTo(now);
    if (elapsed <= 0)
        return std::nullopt;
    const double secondsToLimit =
        static_cast<double>(elapsed) * static_cast<double>(limit) / static_cast<double>(counted);
    return start.addSecs(static_cast<qint64>(secondsToLimit)).date();
}

} // namespace pulo
