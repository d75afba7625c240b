#pragma once

// The simulated registry: both families' connection statistics for the simulated lines. The
// Windows 9x dynamic statistics (the "Dial-Up Adapter" counters under PerfStats, 32 bits, which
// wrap) and the NT family's performance data (the RAS total).

#include "platform/sim/SimBackend.h"

namespace win::sim {

[[nodiscard]] std::unique_ptr<IRegistryService> MakeSimRegistry(std::shared_ptr<SimState> state);

} // namespace win::sim
