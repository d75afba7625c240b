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
