#pragma once

#include "platform/Backend.h"

#include <memory>

namespace win::posix {

// The backend of the real program on Linux.
[[nodiscard]] std::unique_ptr<Backend> MakePosixBackend();

} // namespace win::posix
