#pragma once

// A connection's end written into a log of this program's own format by rewriting its end
// alone: the lines before the last month block are copied as they are, never read into memory
// or parsed, so the cost does not grow with years of connections. The file is still replaced
// whole and atomically.

#include "settings/LogJournal.h"

namespace pulo {

// True once the log (ours, as WriteRichText writes it) holds the journal's lines and block,
// exactly as rewriting it whole would have made it. False, with nothing written, for a log
// that is missing, empty, or not of our own format (plain text, another program's RTF): the
// caller then reads and writes it whole. Raises "Failed to Save Stream" when the new log would
// be too large to read back or cannot be written.
[[nodiscard]] bool AppendToOwnLog(const TLogJournal& journal);

} // namespace pulo
