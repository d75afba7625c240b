#pragma once

// The month totals' rules for one finished connection: whether it counts, how long it lasted,
// which month it counts in, and when the totals start afresh with a new month.

#include "common/DateTime.h"
#include "common/TSettings.h"

#include <cstdint>
#include <optional>

namespace pulo {

// A connection as it ends.
struct TConnectionEnd final
{
    TDateTime ConnectStart = 0; // 0: no connection was started
    TDateTime EndTime = 0;
    bool Logging = true;
    double StatsXmit = 0; // bytes sent, as last read
    double StatsRecv = 0; // bytes received
    // The day the user's billing month starts (1: the calendar month).
    int BillingDay = 1;
    // How long it lasted, measured on a clock that is never set; negative: EndTime less
    // ConnectStart, for a connection measured only by the wall clock.
    std::int64_t Milliseconds = -1;
};

// What one counted connection adds, as the log line shows it.
struct TFinishedConnection final
{
    TDateTime EndTime = 0;
    std::int64_t ConnSeconds = 0; // whole seconds, days included
    std::int64_t Hours = 0;       // ConnSeconds split into whole hours, minutes and seconds
    int Minutes = 0;
    int Seconds = 0;
    double ConnSentKB = 0;
    double ConnRecvKB = 0;
    DateParts StartDate; // the day it started
    // The month (and its year) in which the billing period of its start began: a connection
    // counts in that period. With a billing day of 1, the month it started.
    DateParts PeriodMonth;
    // The totals already belonged to that period: the log's last totals block is replaced.
    // Otherwise the totals restarted with this connection alone.
    bool SameMonth = false;
};

// Whole seconds from start to end, milliseconds dropped; a connection of a day or more keeps
// its days. 0 for an end at or before the start.
[[nodiscard]] std::int64_t ConnectionSeconds(TDateTime start, TDateTime end);

// Adds the connection to the totals. Nothing is counted (and nullopt returned) when the
// connection has no start, lasted no time, or logging is off. Its length is its Milliseconds where
// it has them, whatever the wall clock did meanwhile. StoredMonth is left as it is:
// it follows the month written to the settings file.
[[nodiscard]] std::optional<TFinishedConnection> CountConnection(TMonthTotals& totals, const TConnectionEnd& end);

} // namespace pulo
