#include "usage/PlanStatus.h"

#include "common/AmountText.h"
#include "usage/Rollover.h"
#include "usage/UsageFigures.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pulo {

namespace {

std::int64_t Bytes(double kilobytes)
{
    return kilobytes > 0 && std::isfinite(kilobytes) ? std::llround(std::min(kilobytes * 1000, 9e18)) : 0;
}

// What the finished connections carried free on the day.
std::int64_t FreeOn(const THistoryStore& history, const QDate& day, const TFreeTime& free, bool both)
{
    std::vector<TUsageBar> bars{{day, day.addDays(1)}};
    AddFreeToDays(bars, history, free, TBarRows::Finished);
    return both ? bars[0].FreeSent + bars[0].FreeReceived : bars[0].FreeReceived;
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
    return period.Holds(start);
}

bool BeganIn(const QDate& day, const TBillingPeriod& period)
{
    return day >= period.First && day < period.End;
}

void TPlanKeeper::SetPlan(const TPeriodRule& rule, bool countsBoth, std::optional<std::int64_t> limit)
{
    if (!(rule == Rule) || limit != Limit)
        Recorded.Stale = true; // counted again from the history: another period, or another rollover
    if (!(rule == Rule))
        Rule = rule;
    CountsBoth = countsBoth;
    Limit = limit;
}

bool TPlanKeeper::CountsFromHistory() const
{
    return Rule.Kind != TPeriodKind::Monthly && Rule.Start.isValid();
}

bool TPlanKeeper::UsesHistory() const
{
    return CountsFromHistory() || Tariff.Free.Any() || Tariff.RolloverMost > 0 || Running.FreeSent > 0 ||
           Running.FreeReceived > 0;
}

bool TPlanKeeper::NeedsHistory(const QDateTime& now) const
{
    if (!UsesHistory())
        return false;
    if (RunningStart && Running.SeenMs == RunningStart->toMSecsSinceEpoch() && Running.Skipped && !Running.Taken)
        return true;
    return !Recorded.Read || Recorded.Stale || Recorded.StartMs != FactsOf(now.toLocalTime()).FirstMs;
}

void TPlanKeeper::FoldRunning()
{
    if (!RunningStart)
        return;
    const std::int64_t startMs = RunningStart->toMSecsSinceEpoch();
    if (Recorded.Read && startMs >= Recorded.StartMs && startMs < Recorded.StopMs) {
        ++Recorded.Finished.Connections;
        Recorded.Finished.Sent += RunningSent;
        Recorded.Finished.Received += RunningReceived;
        Recorded.Finished.Seconds += Running.Seconds;
        Recorded.Finished.FreeSent += Running.FreeSent;
        Recorded.Finished.FreeReceived += Running.FreeReceived;
        Recorded.Stale = true;
    }
    // Its tally stays what RunningFreeSent says until another connection is seen: the window
    // writes the ended connection into the history after the line is gone.
}

void TPlanKeeper::FollowFree(const QDateTime& now)
{
    if (!RunningStart)
        return;
    const std::int64_t startMs = RunningStart->toMSecsSinceEpoch();
    const std::int64_t nowMs = now.toMSecsSinceEpoch();
    if (Running.SeenMs != startMs) {
        // A connection first seen here: what it carried before (a start in its middle) is the
        // history's to tell; one that has just begun is followed from its first byte.
        const bool fresh = nowMs - startMs < 10'000;
        Running = {startMs, fresh ? 0 : RunningSent, fresh ? 0 : RunningReceived, 0, 0, 0, !fresh,
                   false,   fresh ? startMs : nowMs};
    }
    // What came since the last look is free when the moment it began to come was.
    if (Tariff.Free.Holds(QDateTime::fromMSecsSinceEpoch(Running.SeenAtMs))) {
        Running.FreeSent += std::max<std::int64_t>(0, RunningSent - Running.SeenSent);
        Running.FreeReceived += std::max<std::int64_t>(0, RunningReceived - Running.SeenReceived);
    }
    Running.SeenSent = RunningSent;
    Running.SeenReceived = RunningReceived;
    Running.Seconds = std::max<std::int64_t>(0, (nowMs - startMs) / 1000);
    Running.SeenAtMs = nowMs;
}

void TPlanKeeper::SetRunning(std::optional<QDateTime> start, std::int64_t sent, std::int64_t received)
{
    if (!start) {
        FoldRunning();
        RunningStart.reset();
    } else if (!RunningStart || RunningStart->toMSecsSinceEpoch() != start->toMSecsSinceEpoch()) {
        FoldRunning();
        RunningStart = start->toUTC();
    }
    RunningSent = sent;
    RunningReceived = received;
}

void TPlanKeeper::SetFinishedToday(const QDateTime& now, std::int64_t counted)
{
    const TPlanStatus status = Status(now);
    const bool running = RunningStart && BeganIn(*RunningStart, status.Period);
    const bool tallied = running && Running.SeenMs == RunningStart->toMSecsSinceEpoch();
    const std::int64_t runningCounted =
        running ? status.CountedOf(RunningSent, RunningReceived) -
                      (tallied ? status.CountedOf(Running.FreeSent, Running.FreeReceived) : 0)
                : 0;
    DayStart = std::max<std::int64_t>(0, status.ProgramCounted - runningCounted - std::max<std::int64_t>(0, counted));
    Today = now.toLocalTime().date();
}

void TPlanKeeper::ReadHistory(const THistoryStore& history, const QDateTime& now)
{
    // The period's figures first, as far as they come from the history: what its finished
    // connections carried (free traffic included), and of the one in progress what the history
    // holds of its free traffic when the program did not see it begin.
    const TPeriodFacts& facts = FactsOf(now.toLocalTime());
    const TBillingPeriod period = facts.Period;
    Recorded = {true, facts.FirstMs, facts.StopMs, HistoryOfPeriod(history, period), 0, false};
    if (RunningStart && Running.SeenMs == RunningStart->toMSecsSinceEpoch() && Running.Skipped && !Running.Taken) {
        Running.Taken = true;
        for (const TUsageConnection& connection : history.Connections(*RunningStart, RunningStart->addSecs(1)))
            if (connection.InProgress) {
                Running.FreeSent += connection.FreeSent;
                Running.FreeReceived += connection.FreeReceived;
            }
    }
    Recorded.Rollover = RolloverOf(history, period);
    const TPlanStatus status = Status(now);
    const TUsageBar today = FinishedOfDay(history, now.toLocalTime().date());
    SetFinishedToday(now, status.CountedOf(today.Sent, today.Received) -
                              FreeOn(history, today.First, Tariff.Free, CountsBoth));
    const std::vector<TUsageAdjustment> given = history.Adjustments(status.Period.First);
    if (!Adjustment && !given.empty())
        Adjustment = given.back();
    // The period's packs; of one that ended, what the period had counted by then: the connections
    // that began before its end, as the period counts them.
    Packs = history.Packs(status.Period.First);
    PacksPeriod = status.Period.First;
    const QDateTime periodEnd = status.Period.Until();
    for (TPack& pack : Packs) {
        const QDateTime end = PackEnd(pack, periodEnd);
        if (end > now)
            continue;
        std::int64_t counted = 0;
        for (const TUsageConnection& connection : history.Connections(status.Period.From(), end))
            counted +=
                status.CountedOf(connection.Sent - connection.FreeSent, connection.Received - connection.FreeReceived);
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

std::int64_t TPlanKeeper::RolloverOf(const THistoryStore& history, const TBillingPeriod& period) const
{
    // What the earlier periods left, worked out from as many of them as the history holds (twelve
    // at most: a tranche older than that is long gone with any plan people buy).
    if (Tariff.RolloverMost <= 0 || !Limit || *Limit <= 0)
        return 0;
    // None from before the history began: it knows nothing of them.
    std::optional<QDateTime> began;
    history.ForEachConnection(std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max(),
                              [&](const TUsageConnection& first) {
                                  began = first.Start;
                                  return false;
                              });
    std::vector<std::int64_t> counted;
    std::optional<TBillingPeriod> before = PeriodBefore(Rule, period);
    for (int i = 0; began && before && i < 12 && before->Until() > *began; ++i, before = PeriodBefore(Rule, *before)) {
        const TPeriodSum sum = HistoryOfPeriod(history, *before);
        const std::vector<TUsageAdjustment> given = history.Adjustments(before->First);
        const std::int64_t own =
            CountsBoth ? sum.Sent - sum.FreeSent + sum.Received - sum.FreeReceived : sum.Received - sum.FreeReceived;
        counted.insert(
            counted.begin(),
            std::max<std::int64_t>(0, own + (given.empty() ? 0 : given.back().Provider - given.back().Counted)));
    }
    return RolloverInto(counted, Limit, Tariff.RolloverMost, Tariff.RolloverPeriods);
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
    const QDateTime periodEnd = FactsOf(now.toLocalTime()).Period.Until();
    for (TPack& pack : Packs) {
        if (!pack.CountedAtEnd && PackEnd(pack, periodEnd) <= now)
            pack.CountedAtEnd = Status(now).Counted;
    }
}

const TPlanKeeper::TPeriodFacts& TPlanKeeper::FactsOf(const QDateTime& local) const
{
    const std::int64_t nowMs = local.toMSecsSinceEpoch();
    if (Facts.Today != local.date() || !(Facts.Rule == Rule) || nowMs < Facts.FirstMs || nowMs >= Facts.StopMs) {
        Facts.Today = local.date();
        Facts.Rule = Rule;
        Facts.Period = PeriodOf(Rule, local);
        const QDateTime first = Facts.Period.From();
        Facts.FirstMs = first.toMSecsSinceEpoch();
        Facts.StopMs = Facts.Period.Until().toMSecsSinceEpoch();
        Facts.PeriodSeconds = first.secsTo(Facts.Period.Until());
    }
    return Facts;
}

TPlanStatus TPlanKeeper::Status(const QDateTime& now) const
{
    TPlanStatus status;
    const QDateTime local = now.toLocalTime();
    const std::int64_t nowMs = local.toMSecsSinceEpoch();
    const TPeriodFacts& facts = FactsOf(local);
    status.Period = facts.Period;
    status.Kind = CountsFromHistory() ? Rule.Kind : TPeriodKind::Monthly;
    status.Today = local.date();
    status.DaysLeft = std::max(0, DaysLeft(status.Period, local.date())); // a plan that ran once and ended: none
    const bool recorded = Recorded.Read && Recorded.StartMs == facts.FirstMs;
    if (CountsFromHistory()) {
        if (recorded) {
            status.Sent = Recorded.Finished.Sent;
            status.Received = Recorded.Finished.Received;
            status.Seconds = Recorded.Finished.Seconds;
        }
    } else {
        const TMonthTotals totals = TotalsOfPeriod(Totals, status.Period);
        status.Sent = Bytes(totals.TotTMT);
        status.Received = Bytes(totals.TotRCV);
        status.Seconds = totals.TotTime > 0 ? static_cast<std::int64_t>(std::min(totals.TotTime, 9e18)) : 0;
    }
    if (recorded) {
        status.FreeSent = Recorded.Finished.FreeSent;
        status.FreeReceived = Recorded.Finished.FreeReceived;
        status.Rollover = Recorded.Rollover;
    }
    const std::int64_t runningMs = RunningStart ? RunningStart->toMSecsSinceEpoch() : 0;
    if (RunningStart && runningMs >= facts.FirstMs && runningMs < facts.StopMs) {
        status.Sent += RunningSent;
        status.Received += RunningReceived;
        status.Seconds += std::max<std::int64_t>(0, (nowMs - runningMs) / 1000);
        if (Running.SeenMs == runningMs) {
            status.FreeSent += Running.FreeSent;
            status.FreeReceived += Running.FreeReceived;
        }
    }
    // Free traffic is never more than what was carried (the month totals may have been set back).
    status.FreeSent = std::min(status.FreeSent, status.Sent);
    status.FreeReceived = std::min(status.FreeReceived, status.Received);
    status.PeriodSeconds = facts.PeriodSeconds;
    status.ElapsedSeconds = std::clamp<std::int64_t>((nowMs - facts.FirstMs) / 1000, 0, status.PeriodSeconds);
    status.CountsBoth = CountsBoth;
    status.Free = status.CountedOf(status.FreeSent, status.FreeReceived);
    status.ProgramCounted = status.CountedOf(status.Sent, status.Received) - status.Free;
    // Today's use is the program's own count; the provider's correction moves the period's figure.
    const std::int64_t atDayStart =
        Today == local.date() ? std::min(DayStart, status.ProgramCounted) : status.ProgramCounted;
    status.UsedToday = status.ProgramCounted - atDayStart;
    status.Correction = CorrectionIn(Adjustment, status.Period);
    status.Counted = std::max<std::int64_t>(0, status.ProgramCounted + status.Correction);
    // The whole allowance of the moment: the plan's own, this period's packs and what earlier
    // periods left.
    std::optional<std::int64_t> limit = Limit && *Limit > 0 ? Limit : std::nullopt;
    const bool packs = !Packs.empty() && PacksPeriod == status.Period.First;
    if (packs || status.Rollover > 0) {
        const std::vector<TPack> none;
        const TAllowance allowance =
            DrawAllowance(status.Counted, limit, packs ? Packs : none, local, status.Period.Until(), status.Rollover);
        limit = allowance.Limit;
        if (packs) {
            status.Packs = Packs;
            status.PackUses = allowance.Packs;
        }
        status.RolloverLeft = allowance.RolloverLeft;
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
    for (const TUsageConnection& connection : history.Connections(period.From(), period.Until())) {
        if (connection.InProgress)
            continue;
        ++sum.Connections;
        sum.Seconds += connection.Seconds;
        sum.Sent += connection.Sent;
        sum.Received += connection.Received;
        sum.FreeSent += connection.FreeSent;
        sum.FreeReceived += connection.FreeReceived;
    }
    return sum;
}

} // namespace pulo
