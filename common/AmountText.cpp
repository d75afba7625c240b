#include "common/AmountText.h"

#include <algorithm>

namespace pulo {

TUsageUnit UnitFor(std::int64_t largest)
{
    return largest > 1'000'000'000 ? TUsageUnit{QStringLiteral("GB"), 1e9} : TUsageUnit{QStringLiteral("MB"), 1e6};
}

QString InUnit(std::int64_t bytes, const TUsageUnit& unit)
{
    const double value = static_cast<double>(bytes) / unit.Bytes;
    const int decimals = value >= 100 ? 0 : value >= 10 ? 1 : value >= 1 || value == 0 ? 2 : 3;
    return QString::number(value, 'f', decimals) + QLatin1Char(' ') + unit.Name;
}

QString OfLimit(std::int64_t bytes, std::int64_t limit)
{
    const TUsageUnit unit = UnitFor(std::max(bytes, limit));
    return InUnit(bytes, unit) + QStringLiteral(" of ") + InUnit(limit, unit);
}

} // namespace pulo
