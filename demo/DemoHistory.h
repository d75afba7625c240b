#pragma once

// A few months of made-up connections for the demo's first start, so that the month totals, the
// log and the Usage window have something to show without a line. They are ended as real ones
// are (the log's lines and month blocks, the totals in the settings file), so that every view
// agrees, and the history takes them in from the log as it would a user's; nothing is made up
// after the moment the demo starts.

#include <QDateTime>
#include <QString>

namespace win::sim {
struct SimState;
}

namespace pulo {

// Call before the window is made, with the demo's files in place; false when a file refused.
[[nodiscard]] bool MakeDemoPast(win::sim::SimState& sim, const QDateTime& now);
// Whether the history at path holds any connection (false when there is none, or it cannot be
// read).
[[nodiscard]] bool HistoryHoldsConnections(const QString& path);

} // namespace pulo
