#pragma once

// The system's performance data for the Remote Access Service's total: one block with the
// "RAS Total" object, its two byte counters (transmitted and received) and their values, laid
// out as the performance-data reader expects it. The counters are 64-bit raw counts
// (PERF_COUNTER_LARGE_RAWCOUNT, eight bytes each), so a connection past 4 GB keeps its figures.

#include "platform/Winreg.h"

#include <cstdint>
#include <vector>

namespace win {

[[nodiscard]] std::vector<BYTE>
RasTotalPerformanceData(std::uint64_t bytesTransmitted, std::uint64_t bytesReceived, const SYSTEMTIME& now);

} // namespace win
