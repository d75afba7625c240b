#pragma once

// The one rule for what counts this billing period, which the limit, its alarms and every view
// use: the month totals of the settings file when they are this period's (they roll over only at
// the first connection end of a new period, so at its first second they are last period's and
// count nothing), and the connection in progress when it began in this period, as a finished one
// would count there. The main window's labels, the tray tip, the notices, the Usage window's
// summary and the command line all take their figures from a TPlanKeeper.

#include "common/BillingPeriod.h"
#include "common/TSettings.h"
#include "usage/HistoryStore.h"
#include "usage/Packs.h"
#include "usage/Tariff.h"

#include <QDateTime>

#include <cstdint>
#include <optional>
#include <vector>

namespace pulo {

struct TPlanStatus final
{
    TBillingPeriod Period;
    QDate Today; // the local day the status is of
    int DaysLeft = 0;
    std::int64_t Sent = 0; // bytes carried this period, free ones included
    std::int64_t Received = 0;
    std::int64_t Counted = 0; // what the limit counts: received, or both directions, but not free
    // The user's correction to the provider's meter this period: Counted is the program's own
    // count and this; 0 without one.
    std::int64_t Correction = 0;
    std::int64_t ProgramCounted = 0; // what the program counted, before the correction
    // Traffic in the plan's free hours and days: in Sent and Received, not in Counted. Free is in
    // the limit's terms (received, or both directions).
    std::int64_t FreeSent = 0;
    std::int64_t FreeReceived = 0;
    std::int64_t Free = 0;
    TPeriodKind Kind = TPeriodKind::Monthly;
    // What earlier periods left that carries into this one (part of Limit), and what of it is left.
    std::int64_t Rollover = 0;
    std::int64_t RolloverLeft = 0;
    bool CountsBoth = false;           // the limit counts both directions
    std::int64_t Seconds = 0;          // time online counted this period
    std::optional<std::int64_t> Limit; // bytes; none when no download limit is active
    std::optional<double> LimitUsed;   // percent
    std::optional<QDate> Forecast;     // when the limit is reached at the period's pace
    std::int64_t UsedToday = 0;        // what the limit counts of today's use
    // What is left of the limit at today's start, shared out over the days left, today included
    // (nothing once the limit is passed); none without a limit.
    std::optional<std::int64_t> DailyAllowance;
    std::int64_t ElapsedSeconds = 0;        // of the period, up to now
    std::int64_t PeriodSeconds = 0;         // the whole period's
    std::optional<std::int64_t> DailyLimit; // the plan's daily cap, bytes; none without one
    // This period's add-on packs with what is left of each (Limit is the whole allowance of the
    // moment: the plan's own and the packs').
    std::vector<TPack> Packs;
    std::vector<TPackUse> PackUses;
    // What the period costs so far and at its pace by its end, when the plan has prices.
    std::optional<double> CostSoFar;
    std::optional<double> CostForecast;
    QString Currency;
    // Counted is below the limit (or there is none).
    [[nodiscard]] bool WithinLimit() const { return !Limit || Counted < *Limit; }
    // At the period's pace the limit is not reached before the period ends.
    [[nodiscard]] bool ForecastWithinLimit() const { return !Forecast || *Forecast >= Period.End; }
    // A figure of the period so far as it will stand at the period's end if it goes on growing at
    // the period's pace (the pace the forecast's date is worked out from); the figure itself
    // before the period has begun to run.
    [[nodiscard]] std::int64_t CountedOf(std::int64_t sent, std::int64_t received) const
    {
        return CountsBoth ? sent + received : received;
    }
    [[nodiscard]] std::int64_t AtPeriodEnd(std::int64_t soFar) const;
};

// The month totals when they are the totals of this period (their "Month" is the month in which
// it began, or not known yet); empty totals of this period otherwise.
[[nodiscard]] TMonthTotals TotalsOfPeriod(const TMonthTotals& totals, const TBillingPeriod& period);

// What the correction adds to the period's count: the provider's figure less what had been counted
// when it was given, when it was given in this period; 0 otherwise.
[[nodiscard]] std::int64_t CorrectionIn(const std::optional<TUsageAdjustment>& adjustment,
                                        const TBillingPeriod& period);

// Whether a connection that began at start counts in the period: a connection counts in the
// period in which it began, as the log and the month totals count it at its end.
[[nodiscard]] bool BeganIn(const QDateTime& start, const TBillingPeriod& period);
// The same for a connection that began on that (local) day.
[[nodiscard]] bool BeganIn(const QDate& day, const TBillingPeriod& period);

// What the history holds of the finished connections that began in the period: what a new billing
// day counts the period from, and what the Usage window compares with the month totals (with
// Logging off it holds more).
struct TPeriodSum final
{
    std::int32_t Connections = 0;
    std::int64_t Seconds = 0;
    std::int64_t Sent = 0;
    std::int64_t Received = 0;
    std::int64_t FreeSent = 0; // of Sent and Received, in the plan's free hours
    std::int64_t FreeReceived = 0;
};
[[nodiscard]] TPeriodSum HistoryOfPeriod(const THistoryStore& history, const TBillingPeriod& period);

class TPlanKeeper final
{
public:
    // The month totals as stored, after each connection end and at start.
    void SetTotals(const TMonthTotals& totals) { Totals = totals; }
    // A monthly plan counts the period from the month totals; one of N days or once, and the free
    // traffic and the rollover of any plan, from the history (see NeedsHistory).
    void SetPlan(const TPeriodRule& rule, bool countsBoth, std::optional<std::int64_t> limit);
    // A monthly plan from the billing day.
    void SetPlan(int billingDay, bool countsBoth, std::optional<std::int64_t> limit)
    {
        TPeriodRule rule;
        rule.BillingDay = billingDay;
        SetPlan(rule, countsBoth, limit);
    }
    // The daily cap and the prices (set every tick: copied only when they changed).
    void SetTariff(const TTariff& tariff)
    {
        if (tariff == Tariff)
            return;
        // What carries over depends on how much and for how long: counted again from the history.
        if (tariff.RolloverMost != Tariff.RolloverMost || tariff.RolloverPeriods != Tariff.RolloverPeriods)
            Recorded.Stale = true;
        Tariff = tariff;
    }
    // What the history keeps of the plan, read once it can be: today's finished use (a start in the
    // middle of a day) and the period's latest correction to the provider's meter (unless one was
    // given meanwhile). Tell the keeper the totals, the plan and the connection in progress first.
    void ReadHistory(const THistoryStore& history, const QDateTime& now);
    // "My provider says I have used this much this period" at now: the correction, to the second,
    // made the latest; the caller keeps it in the history.
    [[nodiscard]] TUsageAdjustment Correct(const QDateTime& now, std::int64_t providerBytes);
    // The correction given at that moment taken back: when it was the latest, the one before it
    // among those the history holds (none without a history) decides again.
    void TakeBack(const QDateTime& at, const THistoryStore* history);
    // The latest correction (of whichever period it was given in).
    [[nodiscard]] const std::optional<TUsageAdjustment>& LatestAdjustment() const { return Adjustment; }
    // An add-on pack of bytes added at now, lasting to the end of until (the period's last day when
    // none, or when later): the pack as the history should keep it, counted from now on.
    [[nodiscard]] TPack AddPack(const QDateTime& now, std::int64_t bytes, const std::optional<QDate>& until);
    // The pack added at that moment taken back.
    void RemovePack(const QDateTime& addedAt);
    // The connection in progress: when it began and its bytes so far; none when offline.
    void SetRunning(std::optional<QDateTime> start, std::int64_t sent, std::int64_t received);
    // What the limit counts of the connections finished today, from the history, where the program
    // starts in the middle of a day; the connection in progress counts as today's too.
    void SetFinishedToday(const QDateTime& now, std::int64_t counted);
    // Called as time goes by (the program's tick): a new day's use starts from what counts then.
    void FollowDay(const QDateTime& now);
    // Called as time goes by too: a pack that ends keeps what the period had counted then.
    void FollowPacks(const QDateTime& now);
    // Called each second while online: what the connection carried since the last call is free
    // when now is in the plan's free time.
    void FollowFree(const QDateTime& now);
    // The connection in progress's free traffic so far (or the last one's, once it ended), which
    // the history keeps with it.
    [[nodiscard]] std::int64_t RunningFreeSent() const { return Running.FreeSent; }
    [[nodiscard]] std::int64_t RunningFreeReceived() const { return Running.FreeReceived; }
    // Whether the period's figures must be read from the history (again) before they are right: a
    // new period, or a plan whose period, limit or rollover changed (a recount that loses nothing).
    [[nodiscard]] bool NeedsHistory(const QDateTime& now) const;
    [[nodiscard]] TPlanStatus Status(const QDateTime& now) const;

private:
    // What the day's period comes to, worked out when the day or the billing day changes: turning
    // local midnights into moments asks the C library for the time zone's offset each time, and
    // the status is asked for every second.
    struct TPeriodFacts final
    {
        QDate Today;
        TPeriodRule Rule;
        TBillingPeriod Period;
        std::int64_t FirstMs = 0; // the period's start, in milliseconds since the epoch
        std::int64_t StopMs = 0;
        std::int64_t PeriodSeconds = 0;
    };
    [[nodiscard]] const TPeriodFacts& FactsOf(const QDateTime& local) const;
    // The period is counted from the history rather than the month totals.
    [[nodiscard]] bool CountsFromHistory() const;
    [[nodiscard]] bool UsesHistory() const;
    // The connection in progress ended (or another began): what it carried joins the period's.
    void FoldRunning();
    [[nodiscard]] std::int64_t RolloverOf(const THistoryStore& history, const TBillingPeriod& period) const;

    // What the history held of the period when last read, and what the connections finished since
    // added to it.
    struct TRecorded final
    {
        bool Read = false;
        std::int64_t StartMs = 0; // the period it is of, in milliseconds since the epoch
        std::int64_t StopMs = 0;
        TPeriodSum Finished;
        std::int64_t Rollover = 0;
        // A connection ended since (the history holds it exactly), or the plan's period, limit or
        // rollover changed: to be read again.
        bool Stale = false;
    };
    // The connection in progress's free traffic, tallied as it comes.
    struct TRunningFree final
    {
        std::int64_t SeenMs = 0; // the start of the connection last seen; 0: none
        std::int64_t SeenSent = 0;
        std::int64_t SeenReceived = 0;
        std::int64_t FreeSent = 0;
        std::int64_t FreeReceived = 0;
        std::int64_t Seconds = 0;
        bool Skipped = false;      // first seen in its middle: the history holds what came before
        bool Taken = false;        // and it was taken from there
        std::int64_t SeenAtMs = 0; // the moment of the last look
    };

    TMonthTotals Totals;
    TPeriodRule Rule;
    TRecorded Recorded;
    TRunningFree Running;
    bool CountsBoth = false;
    std::optional<std::int64_t> Limit;
    TTariff Tariff;
    std::vector<TPack> Packs; // of the period that begins on PacksPeriod
    QDate PacksPeriod;
    std::optional<TUsageAdjustment> Adjustment;
    std::optional<QDateTime> RunningStart; // in UTC, so that comparing costs no conversion
    std::int64_t RunningSent = 0;
    std::int64_t RunningReceived = 0;
    QDate Today;               // the day DayStart belongs to; none yet
    std::int64_t DayStart = 0; // what counted when it began
    mutable TPeriodFacts Facts;
};

} // namespace pulo
