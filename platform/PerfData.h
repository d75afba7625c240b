#pragma once

// The system's performance data for the Remote Access Service's total: one block with the
// "RAS Total" object, its two byte counters (transmitted and received) and their values, laid
// out as the performance-data reader expects it.

#include "platform/Winreg.h"

#include <cstdint>
#include <vector>

namespace win {

[[nodiscard]] std::vector<BYTE>
RasTotalPerformanceData(std::uint32_t bytesTransmitted, std::uint32_t bytesReceived, const SYSTEMTIME& now);

} // namespace win
