#pragma once

// The registry on Linux: only the performance data of the Remote Access Service's total, built
// from the kernel's counters of the links that are connections. There are no keys.

#include "platform/Backend.h"

#include <memory>

namespace win::posix {

[[nodiscard]] std::unique_ptr<IRegistryService> MakePosixRegistry();

} // namespace win::posix
