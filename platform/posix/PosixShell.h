#pragma once

// Opening addresses on Linux: xdg-open, started with the address as its one argument (never
// through a shell) and reaped in the background.

#include "platform/Backend.h"

#include <memory>

namespace win::posix {

[[nodiscard]] std::unique_ptr<IShellService> MakePosixShell();

} // namespace win::posix
