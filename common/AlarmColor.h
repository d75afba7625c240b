#pragma once

// The warning colours of the month's time online and megabytes received: yellow once the total
// passes 95 % of its limit, red once it passes the limit. A colour is only ever raised.

#include "common/Colors.h"

#include <cstdint>
#include <optional>

namespace pulo {

inline constexpr std::uint32_t SecondsPerHour = 3600; // the time limit is set in hours
inline constexpr std::uint32_t KilobytesPerMB = 1000; // the received limit is set in megabytes

// The colour after comparing total (strictly) with limit x unitsPerLimit. The limit is taken
// as unsigned, so a negative limit from a hand-edited file never triggers;
// the product is worked out in 64 bits so that large limits do not wrap around.
// The download limit in bytes while the user has it active; none otherwise (or for a limit of
// zero or less from a hand-edited file).
[[nodiscard]] std::optional<std::int64_t> DownloadLimitBytes(bool active, std::int32_t limitMB);

[[nodiscard]] TColor RaiseAlarmColor(TColor current, double total, std::int32_t limit, std::uint32_t unitsPerLimit);

} // namespace pulo
