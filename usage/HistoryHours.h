#pragma once

// The hour rows of one connection in the usage history: what it carried, shared out over the
// UTC hours it came in. Used inside a transaction of the history's own.

#include <QSqlQuery>

#include <cstdint>

namespace pulo::history {

// Adds seconds, sent and received bytes, which came from `from` to `to` (UTC seconds since the
// epoch), to the connection's hour rows, shared in proportion to the time in each hour; the last
// hour takes what rounding leaves, so the rows add up exactly. False when a write failed.
[[nodiscard]] bool AddToHours(QSqlQuery& query,
                              std::int64_t connection,
                              std::int64_t from,
                              std::int64_t to,
                              std::int64_t seconds,
                              std::int64_t sent,
                              std::int64_t received);

// Moves the connection's hour rows by shift seconds (its start was moved after the clock was
// set). Each row's span is its hour within the connection's start and end as they were; moved,
// it is shared between the hours it meets. False when a write failed.
[[nodiscard]] bool
MoveHours(QSqlQuery& query, std::int64_t connection, std::int64_t start, std::int64_t end, std::int64_t shift);

} // namespace pulo::history
