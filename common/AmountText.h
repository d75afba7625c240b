#pragma once

// Amounts of data for people, the same everywhere they are shown (the tray tip, the notices, the
// Usage window and the command line): megabytes, gigabytes once the largest figure shown
// beside it passes 1000 MB and terabytes once it passes 1000 GB, with three significant figures
// (and a megabyte still showing among gigabytes: "0.001 GB").

#include <QString>

#include <cstdint>
#include <optional>

namespace pulo {

struct TUsageUnit final
{
    QString Name;
    double Bytes = 1e6;
};

// The unit for figures up to largest bytes.
[[nodiscard]] TUsageUnit UnitFor(std::int64_t largest);
// "12.3 MB", "1.25 GB", "512 MB".
[[nodiscard]] QString InUnit(std::int64_t bytes, const TUsageUnit& unit);
// "1.91 MB of 2.00 MB": a figure and its limit in one unit.
[[nodiscard]] QString OfLimit(std::int64_t bytes, std::int64_t limit);
// The most a provider's figure can be: more than any line could carry (a petabyte). A figure
// beyond it is refused wherever it is given, so that no sum of figures can overflow.
inline constexpr std::int64_t MostProviderBytes = 1'000'000'000'000'000;

// "3.2GB", "800 MB", "1.5e3 kB", "0B": an amount a user typed, in decimal units (B, kB, MB, GB,
// TB, without regard to case); nothing when it is not one, or has no unit, or is negative.
[[nodiscard]] std::optional<std::int64_t> AmountBytes(const QString& text);

} // namespace pulo
