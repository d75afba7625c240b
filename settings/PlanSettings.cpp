#include "settings/PlanSettings.h"

#include "settings/IniFile.h"
#include "settings/Settings.h"

namespace pulo {

TPlanSettings ReadPlanSettings()
{
    const TIniFile ini(SettingsPath());
    TPlanSettings plan;
    const std::int32_t day = ini.ReadInteger("General", "BillingDay", 1);
    plan.BillingDay = day >= 1 && day <= 31 ? day : 1;
    plan.CountsBoth = ini.ReadString("General", "QuotaCounts", QStringLiteral("received"))
                          .trimmed()
                          .compare(QStringLiteral("both"), Qt::CaseInsensitive) == 0;
    return plan;
}

void WritePlanSettings(const TPlanSettings& plan)
{
    TIniFile ini(SettingsPath());
    ini.WriteInteger("General", "BillingDay", plan.BillingDay);
    ini.WriteString("General", "QuotaCounts", plan.CountsBoth ? QStringLiteral("both") : QStringLiteral("received"));
}

} // namespace pulo
