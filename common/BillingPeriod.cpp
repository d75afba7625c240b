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

namespace {

// The period made of two moments: its days are those it touches (End is the day after the one it
// ends on, unless it ends at midnight).
TBillingPeriod Between(const QDateTime& start, const QDateTime& stop)
{
    const QDate end = stop.time() == QTime(0, 0) ? stop.date() : stop.date().addDays(1);
    return {start.date(), end, start, stop};
}

// The moment `periods` periods of `days` days after start, at start's local hour.
QDateTime After(const QDateTime& start, std::int64_t periods, int days)
{
    return QDateTime(start.date().addDays(periods * days), start.time());
}

} // namespace

TBillingPeriod PeriodOf(const TPeriodRule& rule, const QDateTime& at)
{
    const QDateTime local = at.toLocalTime();
    if (!rule.Start.isValid() || rule.Kind == TPeriodKind::Monthly)
        return PeriodOf(local.date(), rule.BillingDay);
    const QDateTime start = rule.Start.toLocalTime();
    if (rule.Kind == TPeriodKind::Once) {
        const QDateTime end = rule.End.isValid() && rule.End > start ? rule.End.toLocalTime() : start.addYears(1);
        return Between(start, end);
    }
    const int days = std::clamp(rule.Days, 1, 3660);
    std::int64_t n = start.date().daysTo(local.date()) / days; // within one of the right period
    while (After(start, n, days) > local)
        --n;
    while (After(start, n + 1, days) <= local)
        ++n;
    return Between(After(start, n, days), After(start, n + 1, days));
}

std::optional<TBillingPeriod> PeriodBefore(const TPeriodRule& rule, const TBillingPeriod& period)
{
    if (rule.Kind == TPeriodKind::Once && rule.Start.isValid())
        return std::nullopt;
    return PeriodOf(rule, period.From().addSecs(-1));
}

QString PeriodKindName(TPeriodKind kind)
{
    switch (kind) {
    case TPeriodKind::Days:
        return QStringLiteral("days");
    case TPeriodKind::Once:
        return QStringLiteral("once");
    case TPeriodKind::Monthly:
        break;
    }
    return QStringLiteral("monthly");
}

std::optional<TPeriodKind> PeriodKindNamed(const QString& name)
{
    for (TPeriodKind kind : {TPeriodKind::Monthly, TPeriodKind::Days, TPeriodKind::Once})
        if (name.trimmed().compare(PeriodKindName(kind), Qt::CaseInsensitive) == 0)
            return kind;
    return std::nullopt;
}

int DaysLeft(const TBillingPeriod& period, const QDate& today)
{
    return static_cast<int>(today.daysTo(period.End));
}

std::optional<QDate>
ForecastDate(const TBillingPeriod& period, const QDateTime& now, std::int64_t counted, std::int64_t limit)
{
    const QDateTime local = now.toLocalTime();
    return ForecastDate(period.From().toMSecsSinceEpoch(), local.toMSecsSinceEpoch(), local.date(), counted, limit);
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
