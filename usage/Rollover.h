#pragma once

// Rollover: what a period leaves of the plan's own allowance carries over, up to a most, into the
// next periods (as many as the plan says), and is used there before anything else. Worked out
// from the periods' counted figures, oldest first; plain rules the plan keeper applies.

#include <cstdint>
#include <optional>
#include <vector>

namespace pulo {

// What carries into the period after the given ones (their counted figures, oldest first): the
// tranches of the earlier periods still alive, less what the periods between used of them. Nothing
// without a limit or a most.
[[nodiscard]] std::int64_t RolloverInto(const std::vector<std::int64_t>& pastCounted,
                                        const std::optional<std::int64_t>& limit,
                                        std::int64_t most,
                                        int periods);

} // namespace pulo
