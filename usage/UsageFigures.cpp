#include "usage/UsageFigures.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace pulo {

std::vector<TUsageBar> DayBars(const THistoryStore& history, const TBillingPeriod& period, TBarRows rows)
{
    std::vector<TUsageBar> bars;
    for (QDate day = period.First; day < period.End; day = day.addDays(1))
        bars.push_back({day, day.addDays(1)});
    const auto barOf = [&](const QDate& day) -> TUsageBar* {
        const qint64 at = period.First.daysTo(day);
        return at >= 0 && at < static_cast<qint64>(bars.size()) ? &bars[static_cast<std::size_t>(at)] : nullptr;
    };
    // The period's own hours: one that starts at an hour of its first day leaves that day's earlier
    // hours to the period before.
    const QDateTime from = period.From();
    const QDateTime to = period.Until();
    for (const TUsageHour& hour : rows == TBarRows::All ? history.Hours(from, to) : history.FinishedHours(from, to)) {
        if (TUsageBar* bar = barOf(hour.Hour.toLocalTime().date())) {
            bar->Sent += hour.Sent;
            bar->Received += hour.Received;
            bar->Seconds += hour.Seconds;
        }
    }
    for (const TUsageConnection& connection : history.ConnectionsWithoutHours(from, to)) {
        if (TUsageBar* bar = barOf(connection.Start.toLocalTime().date())) {
            bar->Sent += connection.Sent;
            bar->Received += connection.Received;
            bar->Seconds += connection.Seconds;
        }
    }
    return bars;
}

void AddFreeToDays(std::vector<TUsageBar>& days, const THistoryStore& history, const TFreeTime& free, TBarRows rows)
{
    if (days.empty())
        return;
    const QDateTime from = days.front().First.startOfDay();
    const QDateTime to = days.back().End.startOfDay();
    for (const TUsageConnection& connection : history.Connections(from.addDays(-2), to)) {
        if ((rows == TBarRows::Finished && connection.InProgress) || connection.End <= from ||
            (connection.FreeSent == 0 && connection.FreeReceived == 0))
            continue;
        // Its free minutes, and of them those on each day of the bars.
        std::int64_t minutes = 0;
        std::vector<std::int64_t> onDay(days.size(), 0);
        for (QDateTime at = connection.Start; at < connection.End; at = at.addSecs(60)) {
            if (!free.Holds(at))
                continue;
            ++minutes;
            const qint64 day = days.front().First.daysTo(at.toLocalTime().date());
            if (day >= 0 && day < static_cast<qint64>(days.size()))
                ++onDay[static_cast<std::size_t>(day)];
        }
        // None now free (the free time was changed since): the day it began on.
        if (minutes == 0) {
            minutes = 1;
            const qint64 day = days.front().First.daysTo(connection.Start.toLocalTime().date());
            if (day >= 0 && day < static_cast<qint64>(days.size()))
                onDay[static_cast<std::size_t>(day)] = 1;
        }
        for (std::size_t i = 0; i < days.size(); ++i) {
            days[i].FreeSent += connection.FreeSent * onDay[i] / minutes;
            days[i].FreeReceived += connection.FreeReceived * onDay[i] / minutes;
        }
    }
}

TUsageBar FinishedOfDay(const THistoryStore& history, const QDate& day)
{
    TUsageBar bar{day, day.addDays(1)};
    const QDateTime from = day.startOfDay();
    const QDateTime to = bar.End.startOfDay();
    for (const TUsageHour& hour : history.FinishedHours(from, to)) {
        bar.Sent += hour.Sent;
        bar.Received += hour.Received;
        bar.Seconds += hour.Seconds;
    }
    for (const TUsageConnection& connection : history.ConnectionsWithoutHours(from, to)) {
        bar.Sent += connection.Sent;
        bar.Received += connection.Received;
        bar.Seconds += connection.Seconds;
    }
    return bar;
}

std::vector<TUsageBar>
PeriodBars(const THistoryStore& history, const QDate& today, int billingDay, int count, TBarRows rows)
{
    TPeriodRule rule;
    rule.BillingDay = billingDay;
    return PeriodBars(history, rule, QDateTime(today, QTime(12, 0)), count, rows);
}

std::vector<TUsageBar>
PeriodBars(const THistoryStore& history, const TPeriodRule& rule, const QDateTime& now, int count, TBarRows rows)
{
    std::vector<TUsageBar> bars;
    std::vector<TBillingPeriod> periods{PeriodOf(rule, now)};
    while (static_cast<int>(periods.size()) < count)
        if (const std::optional<TBillingPeriod> before = PeriodBefore(rule, periods.back()))
            periods.push_back(*before);
        else
            break;
    for (auto period = periods.rbegin(); period != periods.rend(); ++period) {
        TUsageBar bar{period->First, period->End};
        for (const TUsageConnection& connection : history.Connections(period->From(), period->Until())) {
            if (rows == TBarRows::Finished && connection.InProgress)
                continue;
            bar.Sent += connection.Sent;
            bar.Received += connection.Received;
            bar.Seconds += connection.Seconds;
            bar.FreeSent += connection.FreeSent;
            bar.FreeReceived += connection.FreeReceived;
        }
        bars.push_back(bar);
    }
    return bars;
}

TAxisScale RoundScale(double highest)
{
    constexpr int MostSteps = 5;
    if (!(highest > 0) || !std::isfinite(highest))
        return {};
    const double wanted = highest * 1.05 / MostSteps;
    const double power = std::pow(10.0, std::floor(std::log10(wanted)));
    double step = 10 * power;
    for (const double times : {1.0, 2.0, 5.0}) {
        if (times * power >= wanted * (1 - 1e-9)) {
            step = times * power;
            break;
        }
    }
    const int steps = std::max(1, static_cast<int>(std::ceil(highest * 1.05 / step - 1e-9)));
    return {steps * step, step, steps + 1, std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)))};
}

QString AllowanceText(const TPlanStatus& status)
{
    if (!status.DailyAllowance)
        return QString();
    if (*status.DailyAllowance <= 0)
        return QStringLiteral("nothing is left of the limit");
    const QString amount = InUnit(*status.DailyAllowance, UnitFor(*status.DailyAllowance));
    return status.DaysLeft <= 1
               ? QStringLiteral("you can use %1 for the rest of today").arg(amount)
               : QStringLiteral("you can use %1 a day for the next %2 days").arg(amount).arg(status.DaysLeft);
}

QString Capitalised(const QString& words)
{
    return words.left(1).toUpper() + words.mid(1);
}

QString ForecastText(const TPlanStatus& status)
{
    if (!status.Limit)
        return QStringLiteral("no limit set");
    if (!status.WithinLimit())
        return QStringLiteral("the limit has been passed");
    if (status.ForecastWithinLimit())
        return QStringLiteral("within the limit");
    if (*status.Forecast == status.Today)
        return QStringLiteral("at this pace the limit is reached today");
    if (status.Today.isValid() && *status.Forecast == status.Today.addDays(1))
        return QStringLiteral("at this pace the limit is reached tomorrow");
    return QStringLiteral("at this pace the limit is reached on ") +
           QLocale(QLocale::English).toString(*status.Forecast, QStringLiteral("d MMMM"));
}

QString LimitPassedText(const TPlanStatus& status, const std::vector<TUsageBar>& days)
{
    if (!status.Limit || status.WithinLimit())
        return ForecastText(status);
    // The day the days' own figures reached the limit; a provider's figure moves the count as a
    // whole, and the day is not known then.
    if (status.Correction == 0) {
        std::int64_t sum = 0;
        for (const TUsageBar& bar : days) {
            sum += status.CountedOf(bar.Sent, bar.Received);
            if (sum >= *status.Limit)
                return QStringLiteral("limit passed on ") +
                       QLocale(QLocale::English).toString(bar.First, QStringLiteral("d MMMM"));
        }
    }
    return QStringLiteral("limit passed");
}

QString CostLine(const TPlanStatus& status)
{
    if (!status.CostSoFar || !status.CostForecast)
        return {};
    return QStringLiteral("cost so far %1, about %2 by the period's end")
        .arg(CostText(*status.CostSoFar, status.Currency), CostText(*status.CostForecast, status.Currency));
}

QString DailyCapText(const TPlanStatus& status)
{
    if (!status.DailyLimit)
        return {};
    const TUsageUnit unit = UnitFor(*status.DailyLimit);
    return QStringLiteral("%1 of today's %2 cap used")
        .arg(InUnit(status.UsedToday, unit), InUnit(*status.DailyLimit, unit));
}

QString FreeText(const TPlanStatus& status)
{
    if (status.Free <= 0)
        return {};
    return QStringLiteral("%1 free, not counted").arg(InUnit(status.Free, UnitFor(status.Free)));
}

QString RolloverText(const TPlanStatus& status)
{
    if (status.Rollover <= 0)
        return {};
    const TUsageUnit unit = UnitFor(status.Rollover);
    return QStringLiteral("%1 carried over from earlier periods, %2")
        .arg(InUnit(status.Rollover, unit), status.RolloverLeft > 0
                                                ? InUnit(status.RolloverLeft, unit) + QStringLiteral(" of it left")
                                                : QStringLiteral("used up"));
}

QString PacksText(const TPlanStatus& status)
{
    QStringList packs;
    for (std::size_t i = 0; i < status.Packs.size() && i < status.PackUses.size(); ++i) {
        const TPack& pack = status.Packs[i];
        const TPackUse& use = status.PackUses[i];
        const TUsageUnit unit = UnitFor(pack.Bytes);
        packs << QStringLiteral("%1 to %2, %3")
                     .arg(InUnit(pack.Bytes, unit),
                          QLocale(QLocale::English).toString(pack.Until, QStringLiteral("d MMMM")),
                          use.Ended       ? QStringLiteral("ended")
                          : use.Left == 0 ? QStringLiteral("used up")
                                          : InUnit(use.Left, unit) + QStringLiteral(" left"));
    }
    return packs.isEmpty() ? QString() : QStringLiteral("packs: ") + packs.join(QStringLiteral("; "));
}

} // namespace pulo
