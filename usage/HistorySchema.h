#pragma once

// The usage history's tables, version by version: the statements that bring a history of one
// version to the next. Used by the history's own files only.

#include "usage/HistoryStore.h"

#include <array>

namespace pulo::history {

// The statements that bring a history of version n (0 to SchemaVersion - 1) to the next; unused
// places are null. The steps after n are run on a history of version n.
[[nodiscard]] std::array<const char*, 4> SchemaStep(int version);

} // namespace pulo::history
