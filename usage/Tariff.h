#pragma once

// What a plan costs and caps beyond its allowance, as the user describes it: a daily cap, a price
// per megabyte beyond the allowance (every megabyte without one), per hour online and per period,
// in the user's currency; the hours and days it does not count; what of a period's unused allowance
// carries over, and for how many periods. The plan keeper applies it to every view's figures.

#include "common/FreeTime.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace pulo {

struct TTariff final
{
    std::optional<std::int64_t> DailyLimit; // bytes a day; none: no daily cap
    double PricePerMB = 0;                  // beyond the allowance (of every megabyte without one)
    double PricePerHour = 0;                // online
    double PricePerPeriod = 0;              // the plan's own price
    QString Currency;                       // "EUR", "$"; the locale's when empty
    TFreeTime Free = {};
    std::int64_t RolloverMost = 0; // bytes; 0: nothing carries over
    int RolloverPeriods = 1;

    [[nodiscard]] bool Priced() const { return PricePerMB > 0 || PricePerHour > 0 || PricePerPeriod > 0; }
    bool operator==(const TTariff&) const = default;
};

// What the period costs for these figures: its price, the time online, and the megabytes counted
// beyond the limit (all of them without one).
[[nodiscard]] double
CostOf(const TTariff& tariff, std::int64_t counted, std::int64_t seconds, const std::optional<std::int64_t>& limit);

// "3.20 EUR": two decimals and the currency (the locale's when the tariff names none).
[[nodiscard]] QString CostText(double cost, const QString& currency);
// The tariff's currency, or the system locale's ISO code when it names none.
[[nodiscard]] QString CurrencyOf(const TTariff& tariff);

} // namespace pulo
