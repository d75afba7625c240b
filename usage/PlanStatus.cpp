#include "usage/PlanStatus.h"

#include "common/AmountText.h"
#include "usage/UsageFigures.h"

#include <algorithm>
#include <cmath>

namespace pulo {

namespace {

std::int64_t Bytes(double kilobytes)
{
    return kilobytes > 0 && std::isfinite(kilobytes) ? std::llround(std::min(kilobytes * 1000, 9e18)) : 0;
}

} // namespace

TMonthTotals TotalsOfPeriod(const TMonthTotals& totals, const TBillingPeriod& period)
{
    TMonthTotals none;
    none.StoredMonth = period.First.month();
    // A file that does not say its month yet holds the running month's, as the window takes it.
    return totals.StoredMonth == 0 || totals.StoredMonth == period.First.month() ? totals : none;
}

std::int64_t CorrectionIn(const std::optional<TUsageAdjustment>& adjustment, const TBillingPeriod& period)
{
    return adjustment && adjustment->PeriodFirst == period.First ? adjustment->Provider - adjustment->Counted : 0;
}

bool BeganIn(const QDateTime& start, const TBillingPeriod& period)
{
    return BeganIn(start.toLocalTime().date(), period);
}

bool BeganIn(const QDate& day, const TBillingPeriod& period)
{
    return day >= period.First && day < period.End;
}

void TPlanKeeper::SetPlan(int billingDay, bool countsBoth, std::optional<std::int64_t> limit)
{
    Day = billingDay;
    CountsBoth = countsBoth;
    Limit = limit;
}

void TPlanKeeper::SetRunning(std::optional<QDateTime> start, std::int64_t sent, std::int64_t received)
{
    if (!start) {
        RunningStart.reset();
    } else if (!RunningStart || RunningStart->toMSecsSinceEpoch() != start->toMSecsSinceEpoch()) {
        RunningStart = start->toUTC();
        RunningDay = start->toLocalTime().date();
    }
    RunningSent = sent;
    RunningReceived = received;
}

void TPlanKeeper::SetFinishedToday(const QDateTime& now, std::int64_t counted)
{
    const TPlanStatus status = Status(now);
    const bool running = RunningStart && BeganIn(RunningDay, status.Period);
    const std::int64_t runningCounted = running ? status.CountedOf(RunningSent, RunningReceived) : 0;
    DayStart = std::max<std::int64_t>(0, status.ProgramCounted - runningCounted - std::max<std::int64_t>(0, counted));
    Today = now.toLocalTime().date();
}

void TPlanKeeper::ReadHistory(const THistoryStore& history, const QDateTime& now)
{
    const TPlanStatus status = Status(now);
    const TUsageBar today = FinishedOfDay(history, now.toLocalTime().date());
    SetFinishedToday(now, status.CountedOf(today.Sent, today.Received));
    const std::vector<TUsageAdjustment> given = history.Adjustments(status.Period.First);
    if (!Adjustment && !given.empty())
        Adjustment = given.back();
    // The period's packs; of one that ended, what the period had counted by then: the connections
    // that began before its end, as the period counts them.
    Packs = history.Packs(status.Period.First);
    PacksPeriod = status.Period.First;
    const QDateTime periodEnd = status.Period.End.startOfDay();
    for (TPack& pack : Packs) {
        const QDateTime end = PackEnd(pack, periodEnd);
        if (end > now)
            continue;
        std::int64_t counted = 0;
        for (const TUsageConnection& connection : history.Connections(status.Period.First.startOfDay(), end))
            counted += status.CountedOf(connection.Sent, connection.Received);
        pack.CountedAtEnd = counted;
    }
}

TPack TPlanKeeper::AddPack(const QDateTime& now, std::int64_t bytes, const std::optional<QDate>& until)
{
    const QDateTime second = now.addMSecs(-now.time().msec()); // as the history keeps (and finds) it
    const TPlanStatus status = Status(second);
    if (PacksPeriod != status.Period.First) {
        Packs.clear();
        PacksPeriod = status.Period.First;
    }
    const QDate last = status.Period.End.addDays(-1);
    const QDate day = until && until->isValid() && *until < last ? *until : last;
    TPack pack{0,
               second,
               std::max(day, second.toLocalTime().date()),
               std::max<std::int64_t>(0, bytes),
               status.Counted,
               std::nullopt};
    Packs.push_back(pack);
    return pack;
}

void TPlanKeeper::RemovePack(const QDateTime& addedAt)
{
    std::erase_if(Packs, [&](const TPack& pack) { return pack.AddedAt == addedAt; });
}

TUsageAdjustment TPlanKeeper::Correct(const QDateTime& now, std::int64_t providerBytes)
{
    const QDateTime second = now.addMSecs(-now.time().msec()); // as the history keeps (and finds) it
    const TPlanStatus status = Status(second);
    Adjustment = TUsageAdjustment{0, second, status.Period.First, status.ProgramCounted,
                                  std::clamp<std::int64_t>(providerBytes, 0, MostProviderBytes)};
    return *Adjustment;
}

void TPlanKeeper::TakeBack(const QDateTime& at, const THistoryStore* history)
{
    if (!Adjustment || Adjustment->At != at)
        return; // only the latest one decides
    const QDate period = Adjustment->PeriodFirst;
    Adjustment.reset();
    if (history != nullptr)
        for (const TUsageAdjustment& given : history->Adjustments(period))
            if (given.At != at)
                Adjustment = given;
}

void TPlanKeeper::FollowDay(const QDateTime& now)
{
    const QDate day = now.toLocalTime().date();
    if (day == Today)
        return;
    DayStart = Status(now).ProgramCounted;
    Today = day;
}

void TPlanKeeper::FollowPacks(const QDateTime& now)
{
    // A pack that ends while the program runs keeps what the period had counted at that moment.
    if (Packs.empty())
        return;
    const QDateTime periodEnd = FactsOf(now.toLocalTime().date()).Period.End.startOfDay();
    for (TPack& pack : Packs) {
        if (!pack.CountedAtEnd && PackEnd(pack, periodEnd) <= now)
            pack.CountedAtEnd = Status(now).Counted;
    }
}

const TPlanKeeper::TPeriodFacts& TPlanKeeper::FactsOf(const QDate& today) const
{
    if (Facts.Today != today || Facts.BillingDay != Day) {
        Facts.Today = today;
        Facts.BillingDay = Day;
        Facts.Period = PeriodOf(today, Day);
        const QDateTime first = Facts.Period.First.startOfDay();
        Facts.FirstMs = first.toMSecsSinceEpoch();
        Facts.PeriodSeconds = first.secsTo(Facts.Period.End.startOfDay());
    }
    return Facts;
}

TPlanStatus TPlanKeeper::Status(const QDateTime& now) const
{
    TPlanStatus status;
    const QDateTime local = now.toLocalTime();
    const std::int64_t nowMs = local.toMSecsSinceEpoch();
    const TPeriodFacts& facts = FactsOf(local.date());
    status.Period = facts.Period;
    status.Today = local.date();
    status.DaysLeft = DaysLeft(status.Period, local.date());
    const TMonthTotals totals = TotalsOfPeriod(Totals, status.Period);
    status.Sent = Bytes(totals.TotTMT);
    status.Received = Bytes(totals.TotRCV);
    status.Seconds = totals.TotTime > 0 ? static_cast<std::int64_t>(std::min(totals.TotTime, 9e18)) : 0;
    if (RunningStart && BeganIn(RunningDay, status.Period)) {
        status.Sent += RunningSent;
        status.Received += RunningReceived;
        status.Seconds += std::max<std::int64_t>(0, (nowMs - RunningStart->toMSecsSinceEpoch()) / 1000);
    }
    status.PeriodSeconds = facts.PeriodSeconds;
    status.ElapsedSeconds = std::clamp<std::int64_t>((nowMs - facts.FirstMs) / 1000, 0, status.PeriodSeconds);
    status.CountsBoth = CountsBoth;
    status.ProgramCounted = status.CountedOf(status.Sent, status.Received);
    // Today's use is the program's own count; the provider's correction moves the period's figure.
    const std::int64_t atDayStart =
        Today == local.date() ? std::min(DayStart, status.ProgramCounted) : status.ProgramCounted;
    status.UsedToday = status.ProgramCounted - atDayStart;
    status.Correction = CorrectionIn(Adjustment, status.Period);
    status.Counted = std::max<std::int64_t>(0, status.ProgramCounted + status.Correction);
    // The whole allowance of the moment: the plan's own and this period's packs.
    std::optional<std::int64_t> limit = Limit && *Limit > 0 ? Limit : std::nullopt;
    if (!Packs.empty() && PacksPeriod == status.Period.First) {
        const TAllowance allowance = DrawAllowance(status.Counted, limit, Packs, local, status.Period.End.startOfDay());
        limit = allowance.Limit;
        status.Packs = Packs;
        status.PackUses = allowance.Packs;
    }
    if (limit && *limit > 0) {
        // Nothing once the limit is passed, even if something was left when the day began.
        const std::int64_t countedAtDayStart = std::max<std::int64_t>(0, status.Counted - status.UsedToday);
        status.DailyAllowance = status.Counted >= *limit ? 0
                                                         : std::max<std::int64_t>(0, *limit - countedAtDayStart) /
                                                               std::max(1, status.DaysLeft);
        status.Limit = limit;
        status.LimitUsed = 100.0 * static_cast<double>(status.Counted) / static_cast<double>(*limit);
        status.Forecast = ForecastDate(facts.FirstMs, nowMs, local.date(), status.Counted, *limit);
    }
    if (Tariff.DailyLimit && *Tariff.DailyLimit > 0) {
        // Today's allowance is never more than the cap, nor more than the cap leaves today.
        status.DailyLimit = Tariff.DailyLimit;
        status.DailyAllowance = std::min(status.DailyAllowance.value_or(*Tariff.DailyLimit), *Tariff.DailyLimit);
    }
    if (Tariff.Priced()) {
        status.Currency = CurrencyOf(Tariff);
        status.CostSoFar = CostOf(Tariff, status.Counted, status.Seconds, status.Limit);
        status.CostForecast = std::max(*status.CostSoFar, CostOf(Tariff, status.AtPeriodEnd(status.Counted),
                                                                 status.AtPeriodEnd(status.Seconds), status.Limit));
    }
    return status;
}

std::int64_t TPlanStatus::AtPeriodEnd(std::int64_t soFar) const
{
    if (ElapsedSeconds <= 0 || soFar <= 0)
        return soFar;
    const double pace = static_cast<double>(PeriodSeconds) / static_cast<double>(ElapsedSeconds);
    return static_cast<std::int64_t>(std::min(static_cast<double>(soFar) * pace, 9e18));
}

TPeriodSum HistoryOfPeriod(const THistoryStore& history, const TBillingPeriod& period)
{
    TPeriodSum sum;
    for (const TUsageConnection& connection : history.Connections(period.First.startOfDay(), period.End.startOfDay())) {
        if (connection.InProgress)
            continue;
        ++sum.Connections;
        sum.Seconds += connection.Seconds;
        sum.Sent += connection.Sent;
        sum.Received += connection.Received;
    }
    return sum;
}

} // namespace pulo
