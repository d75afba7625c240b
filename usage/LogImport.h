#pragma once

// The connection log's lines as history rows, for a user whose history starts after years of
// log: each connection line (date, start, end, duration, kilobytes sent and received, entry)
// read in the user's date and time formats. Totals blocks are passed over; any other line that
// does not read as a connection is counted, never guessed at.

#include "usage/HistoryStore.h"

#include <QStringList>

#include <vector>

namespace pulo {

struct TLogImport final
{
    std::vector<TUsageConnection> Connections;
    int Unreadable = 0; // lines that are neither a connection nor part of a totals block
};

[[nodiscard]] TLogImport ImportLogLines(const QStringList& lines);

} // namespace pulo
