#pragma once

// The plan's period, daily cap, prices, free time and rollover as the settings file keeps them,
// for the plan keeper.

#include "common/BillingPeriod.h"
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
    tariff.Free = FreeTimeOf(plan.FreeHours, plan.FreeDays);
    tariff.RolloverMost = plan.RolloverMB * 1'000'000;
    tariff.RolloverPeriods = plan.RolloverPeriods;
    return tariff;
}

[[nodiscard]] inline TPeriodRule PeriodRuleOf(const TPlanSettings& plan)
{
    TPeriodRule rule;
    rule.BillingDay = plan.BillingDay;
    rule.Kind = PeriodKindNamed(plan.PeriodKind).value_or(TPeriodKind::Monthly);
    rule.Days = plan.PeriodDays;
    rule.Start = plan.PeriodStart;
    rule.End = plan.PeriodEnd;
    return rule;
}

} // namespace pulo
