#pragma once

// Where the plan stands: this billing period's figures from the history, the limit used and
// the forecast. What the command line's --status prints and the tray and the Usage window show.

#include "common/BillingPeriod.h"
#include "usage/HistoryStore.h"

#include <cstdint>
#include <optional>

namespace pulo {

struct TPlanStatus final
{
    TBillingPeriod Period;
    int DaysLeft = 0;
    std::int64_t Sent = 0; // bytes of the connections that began in the period
    std::int64_t Received = 0;
    std::int64_t Counted = 0;          // what the limit counts: received, or both directions
    std::optional<std::int64_t> Limit; // bytes; none when no download limit is active
    std::optional<double> LimitUsed;   // percent
    std::optional<QDate> Forecast;     // when the limit is reached at the period's pace
    // No limit, or the forecast falls after the period's end.
    [[nodiscard]] bool WithinLimit() const { return !Forecast || *Forecast >= Period.End; }
};

[[nodiscard]] TPlanStatus PlanStatusOf(const THistoryStore& history,
                                       const QDateTime& now,
                                       int billingDay,
                                       bool countsBoth,
                                       std::optional<std::int64_t> limit);

} // namespace pulo
