#include "common/BillingPeriod.h"

#include <algorithm>

namespace pulo {

namespace {

// The billing day in the month holding day: the month's last day when it is shorter.
QDate StartIn(const QDate& day, int billingDay)
{
    const QDate first(day.year(), day.month(), 1);
    return QDate(day.year(), day.month(), std::min(billingDay, first.daysInMonth()));
}

} // namespace

TBillingPeriod PeriodOf(const QDate& day, int billingDay)
{
    const int start = billingDay >= 1 && billingDay <= 31 ? billingDay : 1;
    QDate first = StartIn(day, start);
    if (day < first)
        first = StartIn(QDate(day.year(), day.month(), 1).addMonths(-1), start);
    return {first, StartIn(QDate(first.year(), first.month(), 1).addMonths(1), start)};
}

int DaysLeft(const TBillingPeriod& period, const QDate& today)
{
    return static_cast<int>(today.daysTo(period.End));
}

std::optional<QDate>
ForecastDate(const TBillingPeriod& period, const QDateTime& now, std::int64_t counted, std::int64_t limit)
{
    const QDateTime local = now.toLocalTime();
    return ForecastDate(period.First.startOfDay().toMSecsSinceEpoch(), local.toMSecsSinceEpoch(), local.date(), counted,
                        limit);
}

std::optional<QDate>
ForecastDate(std::int64_t firstMs, std::int64_t nowMs, const QDate& today, std::int64_t counted, std::int64_t limit)
{
    if (limit <= 0 || counted <= 0)
        return std::nullopt;
    if (counted >= limit)
        return today;
    const std::int64_t elapsed = (nowMs - firstMs) / 1000;
    if (elapsed <= 0)
        return std::nullopt;
    // A few bytes against a large limit put the day thousands of years away: kept within what a
    // date holds.
    const double secondsToLimit =
        std::min(static_cast<double>(elapsed) * static_cast<double>(limit) / static_cast<double>(counted), 1e12);
    return QDateTime::fromMSecsSinceEpoch(firstMs + static_cast<std::int64_t>(secondsToLimit) * 1000).date();
}

} // namespace pulo
