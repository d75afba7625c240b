#pragma once

#include "platform/Backend.h"

#include <memory>
#include <string>

namespace win::posix {

// The backend of the real program on Linux; pppd leaves its pid files in pidDirectory.
[[nodiscard]] std::unique_ptr<Backend> MakePosixBackend(const std::string& pidDirectory = "/var/run",
                                                        const std::string& peersDirectory = "/etc/ppp/peers");

} // namespace win::posix
