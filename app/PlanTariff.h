#pragma once

// The plan's daily cap and prices as the settings file keeps them, for the plan keeper.

#include "settings/PlanSettings.h"
#include "usage/Tariff.h"

namespace pulo {

[[nodiscard]] inline TTariff TariffOf(const TPlanSettings& plan)
{
    TTariff tariff;
    if (plan.DailyLimitMB > 0)
        tariff.DailyLimit = plan.DailyLimitMB * 1'000'000;
    tariff.PricePerMB = plan.PricePerMB;
    tariff.PricePerHour = plan.PricePerHour;
    tariff.PricePerPeriod = plan.PricePerPeriod;
    tariff.Currency = plan.Currency;
    return tariff;
}

} // namespace pulo
