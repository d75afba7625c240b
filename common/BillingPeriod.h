#pragma once

// The billing period and the data plan: a user's month may start on the ISP's billing day
// rather than the first, the limit may count both directions, and a forecast tells at the
// current pace when the limit will be reached.

#include <QDate>
#include <QDateTime>

#include <cstdint>
#include <optional>

namespace pulo {

// The billing period holding a day: from local midnight of the billing day (1 to 31, the month's
// last day in a month that has no such day: a billing day of 31 starts February's period on the
// 28th or 29th; anything else is taken as 1, the calendar month) up to the next one. End is the
// first day after it.
struct TBillingPeriod final
{
    QDate First;
    QDate End;
};
[[nodiscard]] TBillingPeriod PeriodOf(const QDate& day, int billingDay);
// Days from today to the period's end, today included (the last day of a period gives 1).
[[nodiscard]] int DaysLeft(const TBillingPeriod& period, const QDate& today);

// The day on which the counted bytes reach the limit if they go on growing at the pace of the
// period so far; nothing without a limit or without anything counted yet. A limit already
// passed gives today.
[[nodiscard]] std::optional<QDate>
ForecastDate(const TBillingPeriod& period, const QDateTime& now, std::int64_t counted, std::int64_t limit);
// The same from the moments of the period's first midnight and of now (milliseconds since the
// epoch) and today's local date, for a caller that has them already.
[[nodiscard]] std::optional<QDate>
ForecastDate(std::int64_t firstMs, std::int64_t nowMs, const QDate& today, std::int64_t counted, std::int64_t limit);

} // namespace pulo
