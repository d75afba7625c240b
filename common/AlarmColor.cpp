#include "common/AlarmColor.h"

namespace pulo {

TColor RaiseAlarmColor(TColor current, double total, std::int32_t limit, std::uint32_t unitsPerLimit)
{
    const std::uint64_t product = static_cast<std::uint64_t>(static_cast<std::uint32_t>(limit)) * unitsPerLimit;
    const long double scaled = static_cast<long double>(product);
    const long double value = total;
    TColor color = current;
    // 95 % compared as total x 20 > limit x 19: exact in extended precision, so a total of
    // exactly 95 % of the limit stays below the warning, as a strict comparison promises.
    if (value * 20 > scaled * 19 && color != clRed)
        color = clYellow;
    if (value > scaled)
        color = clRed;
    return color;
}

std::optional<std::int64_t> DownloadLimitBytes(bool active, std::int32_t limitMB)
{
    if (!active || limitMB <= 0)
        return std::nullopt;
    return static_cast<std::int64_t>(limitMB) * KilobytesPerMB * 1000;
}

} // namespace pulo
