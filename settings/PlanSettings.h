#pragma once

// The data plan's keys of section "General", additions of ours beside the settings of
// TSettings: BillingDay (1 to 31, the day the ISP's month starts, or the month's last day in a shorter month; 1, the default, is the
// calendar month) and QuotaCounts ("received", the default, or "both": what the download limit
// counts). Missing or unreadable values read as the defaults.

namespace pulo {

struct TPlanSettings final
{
    int BillingDay = 1;
    bool CountsBoth = false; // QuotaCounts=both: sent and received count towards the limit

    bool operator==(const TPlanSettings&) const = default;
};

[[nodiscard]] TPlanSettings ReadPlanSettings();
// Writes both keys; raises "Unable to write to ..." as the other settings' writes do.
void WritePlanSettings(const TPlanSettings& plan);

} // namespace pulo
