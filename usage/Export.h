#pragma once

// The connections of a range as CSV (a header row, RFC 4180 quoting, CRLF line ends) or as a
// JSON array, UTF-8: what the command line's --export writes and the Usage window saves.
// Fields: start and end (ISO 8601 with the local offset of the moment), seconds, sent and
// received (bytes), entry, interface.

#include "usage/HistoryStore.h"

#include <QByteArray>

#include <vector>

namespace pulo {

[[nodiscard]] QByteArray ConnectionsCsv(const std::vector<TUsageConnection>& connections);
[[nodiscard]] QByteArray ConnectionsJson(const std::vector<TUsageConnection>& connections);

} // namespace pulo
