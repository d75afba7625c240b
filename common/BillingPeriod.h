#pragma once

// The billing period and the data plan: a user's month may start on the ISP's billing day
// rather than the first, the limit may count both directions, and a forecast tells at the
// current pace when the limit will be reached.

#include <QDate>
#include <QDateTime>
#include <QString>

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
    // The moments it starts and ends, for a period that starts at an hour of its first day (a
    // prepaid plan's top-up); unset: the midnights of First and End.
    QDateTime Start = {};
    QDateTime Stop = {};

    [[nodiscard]] QDateTime From() const { return Start.isValid() ? Start : First.startOfDay(); }
    [[nodiscard]] QDateTime Until() const { return Stop.isValid() ? Stop : End.startOfDay(); }
    // Whether the moment lies in the period.
    [[nodiscard]] bool Holds(const QDateTime& at) const { return at >= From() && at < Until(); }
};
[[nodiscard]] TBillingPeriod PeriodOf(const QDate& day, int billingDay);

// How the user's plan runs: from a billing day each month; every so many days from a moment (a
// prepaid top-up: "30 days from 20 Nov 09:00", each period starting at that hour, local time, even
// across a change of daylight saving time); or once, from a moment to another (a year when no end
// is given).
enum class TPeriodKind
{
    Monthly,
    Days,
    Once,
};
struct TPeriodRule final
{
    TPeriodKind Kind = TPeriodKind::Monthly;
    int BillingDay = 1;
    int Days = 30;     // Days: the length of each period, 1 to 3660
    QDateTime Start{}; // Days, Once: local; a rule without a valid start runs monthly
    QDateTime End{};   // Once: invalid, or not after Start: a year after Start

    bool operator==(const TPeriodRule&) const = default;
};
// The period holding the moment.
[[nodiscard]] TBillingPeriod PeriodOf(const TPeriodRule& rule, const QDateTime& at);
// The period just before one, for a history of periods; none before a plan that runs once.
[[nodiscard]] std::optional<TBillingPeriod> PeriodBefore(const TPeriodRule& rule, const TBillingPeriod& period);
// "monthly", "days", "once"; and back (none for anything else).
[[nodiscard]] QString PeriodKindName(TPeriodKind kind);
[[nodiscard]] std::optional<TPeriodKind> PeriodKindNamed(const QString& name);
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
