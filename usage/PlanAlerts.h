#pragma once

// The plan's warnings, each given once: a threshold of the download limit once a period (the
// highest one passed when several are passed at once, the lower ones then counting as given),
// the limit itself passed once a period (what may hang up the line), today's use passing
// the daily allowance once a day, and today's use passing the plan's daily cap once a day (what may
// hang up the line too). What was given is kept in words the
// history stores, so a restart gives nothing again.

#include "usage/PlanStatus.h"

#include <QDate>
#include <QString>

#include <vector>

namespace pulo {

struct TPlanAlert final
{
    enum class TKind
    {
        Threshold,
        Limit,
        Allowance,
        DailyCap, // today's use passed the plan's daily cap
    };
    TKind Kind = TKind::Threshold;
    int Percent = 0; // of a threshold
};

class TPlanAlerts final
{
public:
    // Whole percentages of the limit, in order (set every tick: copied only when they changed).
    void SetThresholds(const std::vector<int>& percents)
    {
        if (percents != Thresholds)
            Thresholds = percents;
    }
    void SetAllowanceNotice(bool on) { AllowanceNotice = on; }
    // What was given before, as Given() put it; anything else is taken as nothing given.
    void Restore(const QString& given);
    [[nodiscard]] QString Given() const;
    // The warnings due now (today: the local date of now); each is then given.
    [[nodiscard]] std::vector<TPlanAlert> Due(const TPlanStatus& status, const QDate& today);

private:
    std::vector<int> Thresholds{80, 90, 100};
    bool AllowanceNotice = true;
    QDate Period; // the period whose thresholds GivenPercents are
    std::vector<int> GivenPercents;
    QDate LimitPeriod;  // the period in which the limit's passing was given
    QDate AllowanceDay; // the day the allowance warning was given
    QDate CapDay;       // the day the daily cap's passing was given
};

} // namespace pulo
