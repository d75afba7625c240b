#pragma once

// A few months of made-up connections for the demo's first start, so that the Usage window has
// something to show without a line.

#include <QDate>

namespace pulo {

class THistoryStore;

[[nodiscard]] bool FillDemoHistory(THistoryStore& history, const QDate& today);

} // namespace pulo
