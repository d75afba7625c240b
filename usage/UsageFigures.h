#pragma once

// The figures the Usage window draws, from the history: a bar per day of a billing period and a
// bar per period, the unit they are shown in, and the forecast in words. Time and bytes of a
// connection the program recorded fall on the local days of its hours (a connection across
// midnight shares itself out); a connection taken from the log falls on the day it began.

#include "common/AmountText.h"
#include "common/BillingPeriod.h"
#include "common/FreeTime.h"
#include "usage/HistoryStore.h"
#include "usage/PlanStatus.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace pulo {

struct TUsageBar final
{
    QDate First; // the day, or the period's first day
    QDate End;   // the day after it, or after the period
    std::int64_t Sent = 0;
    std::int64_t Received = 0;
    std::int64_t Seconds = 0;
    std::int64_t FreeSent = 0; // of Sent and Received, in the plan's free time
    std::int64_t FreeReceived = 0;
};

// Which connections the bars hold: all (the running copy's own views, whose connection in
// progress is in the history as far as it was written), or the finished ones only (a reader of
// the files, which counts as the plan keeper does: a connection in progress counts at its end).
enum class TBarRows
{
    All,
    Finished
};

// One bar per day of the period, from its first day to its last.
[[nodiscard]] std::vector<TUsageBar>
DayBars(const THistoryStore& history, const TBillingPeriod& period, TBarRows rows = TBarRows::All);
// What the finished connections used on a day (a connection in progress is the program's own to
// count).
[[nodiscard]] TUsageBar FinishedOfDay(const THistoryStore& history, const QDate& day);
// The free traffic of the connections the bars of days hold, added to them: the history keeps
// each connection's free bytes, which a connection across midnight shares out by its free minutes
// on each day (all of them on the day it began on when none of its minutes is free now).
void AddFreeToDays(std::vector<TUsageBar>& days,
                   const THistoryStore& history,
                   const TFreeTime& free,
                   TBarRows rows = TBarRows::All);
// One bar per billing period, the oldest first, the one holding today last (free traffic in it).
[[nodiscard]] std::vector<TUsageBar> PeriodBars(
    const THistoryStore& history, const QDate& today, int billingDay, int count = 12, TBarRows rows = TBarRows::All);
// The same for a plan of any kind, up to the period holding now (a plan that runs once has one).
[[nodiscard]] std::vector<TUsageBar> PeriodBars(const THistoryStore& history,
                                                const TPeriodRule& rule,
                                                const QDateTime& now,
                                                int count = 12,
                                                TBarRows rows = TBarRows::All);

// A value axis from 0 with round steps (1, 2 or 5 times a power of ten), at most five of them,
// reaching a little above the highest figure.
struct TAxisScale final
{
    double Top = 1;
    double Step = 0.2;
    int Ticks = 6;    // lines, 0 and Top included
    int Decimals = 1; // what a step's labels need
};
[[nodiscard]] TAxisScale RoundScale(double highest);

// "you can use 412 MB a day for the next 24 days" (or "for the rest of today"), "nothing is left
// of the limit"; empty without a limit.
[[nodiscard]] QString AllowanceText(const TPlanStatus& status);

// "cost so far 3.20 EUR, about 9.10 EUR by the period's end"; empty when the plan has no prices.
[[nodiscard]] QString CostLine(const TPlanStatus& status);
// "412 MB of today's 1.00 GB cap used"; empty without a daily cap.
[[nodiscard]] QString DailyCapText(const TPlanStatus& status);

// "packs: 5.00 GB to 20 December, 2.00 GB left; 1.00 GB to 31 December, used up"; empty without
// packs this period.
[[nodiscard]] QString PacksText(const TPlanStatus& status);

// "1.20 GB free, not counted": what came in the plan's free hours and days; empty without any.
[[nodiscard]] QString FreeText(const TPlanStatus& status);
// "2.00 GB carried over from earlier periods, 1.50 GB of it left"; empty without a rollover.
[[nodiscard]] QString RolloverText(const TPlanStatus& status);

// Words of the kind above at the start of a sentence: "Within the limit".
[[nodiscard]] QString Capitalised(const QString& words);

// "at this pace the limit is reached on 21 December", "within the limit", "the limit has been
// passed", or "no limit set".
[[nodiscard]] QString ForecastText(const TPlanStatus& status);
// Where the period stands against its limit: the forecast while within it, else "limit passed on
// 7 December" (the day the days' figures reached it), or "limit passed" where that is not known.
[[nodiscard]] QString LimitPassedText(const TPlanStatus& status, const std::vector<TUsageBar>& days);

} // namespace pulo
