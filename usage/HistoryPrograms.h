#pragma once

// The program rows of one connection in the usage history: per day, each program's bytes and
// Other's. Used inside a transaction of the history's own.

#include "usage/ProgramLedger.h"

#include <QSqlQuery>

#include <cstdint>
#include <vector>

namespace pulo::history {

// The connection's program rows become these (all of them, as the ledger holds them). False when
// a write failed.
[[nodiscard]] bool WritePrograms(QSqlQuery& query, std::int64_t connection, const std::vector<TProgramRow>& rows);

// The connection's figures grew (or shrank) by so much after its program rows were written (a
// killed program's connection takes the log's figures): the difference is Other's, on its last
// day, Other never going below nothing. A connection without program rows is left without.
[[nodiscard]] bool
SettlePrograms(QSqlQuery& query, std::int64_t connection, std::int64_t addSent, std::int64_t addReceived);

} // namespace pulo::history
