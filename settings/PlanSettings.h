#pragma once

// The data plan's keys of section "General", additions of ours beside the settings of
// TSettings: BillingDay (1 to 31, the day the ISP's month starts, or the month's last day in a
// shorter month; 1, the default, is the calendar month), QuotaCounts ("received", the default, or
// "both": what the download limit counts), Thresholds (the percentages of the download limit at
// which a notice is given once a period, "80 90 100" by default; empty: none), AllowanceNotice
// (1, the default: a notice once a day when today's use passes the daily allowance) and
// HangUpAtLimit (0, the default: 1 hangs up a dial-up line once a period when the limit is
// passed), DataSaver (0, the default: off; 1 on while the plan runs short; 2 on always) and
// HeldBack (the executables the data saver holds back, their paths separated by ";"),
// DailyLimitMB (a daily cap in megabytes; 0, the default: none), PricePerMB (beyond the limit, or
// of every megabyte without one), PricePerHour (online), PricePerPeriod (0 by default: no price)
// and Currency (empty: the locale's); PeriodKind ("monthly", the default, from BillingDay; "days":
// every PeriodDays days, 30 by default, from PeriodStart; "once": from PeriodStart to PeriodEnd),
// PeriodStart and PeriodEnd ("YYYY-MM-DD HH:MM", local time; a kind without a readable start runs
// monthly); FreeHours ("00:00-06:00", ranges separated by ",", one may cross midnight) and
// FreeDays ("sat,sun"), when traffic is not counted against the limit; RolloverMB (the most of a
// period's unused allowance that carries over; 0, the default: none) and RolloverPeriods (how many
// periods it lives, 1 by default). Missing or unreadable values read as the defaults.

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace pulo {

struct TPlanSettings final
{
    int BillingDay = 1;
    bool CountsBoth = false; // QuotaCounts=both: sent and received count towards the limit
    std::vector<int> Thresholds{80, 90, 100};
    bool AllowanceNotice = true;
    bool HangUpAtLimit = false;
    int DataSaver = 0; // TDataSaverMode's value
    std::vector<QString> HeldBack = {};
    std::int64_t DailyLimitMB = 0;
    double PricePerMB = 0;
    double PricePerHour = 0;
    double PricePerPeriod = 0;
    QString Currency = {};
    QString PeriodKind = QStringLiteral("monthly");
    int PeriodDays = 30;
    QDateTime PeriodStart = {};
    QDateTime PeriodEnd = {};
    QString FreeHours = {};
    QString FreeDays = {};
    std::int64_t RolloverMB = 0;
    int RolloverPeriods = 1;

    bool operator==(const TPlanSettings&) const = default;
};

[[nodiscard]] TPlanSettings ReadPlanSettings();
// "2026-11-20 09:00" (local time), as PeriodStart and PeriodEnd are kept; a day alone is its
// midnight. Invalid when unreadable.
[[nodiscard]] QDateTime ParsePlanMoment(const QString& text);
[[nodiscard]] QString PlanMomentText(const QDateTime& moment);
// Writes the keys but HeldBack; raises "Unable to write to ..." as the other settings' writes do.
void WritePlanSettings(const TPlanSettings& plan);
// Writes the one key, as the tray's menu, the Programs tab and the command line change it.
void WriteDataSaver(int mode);
void WriteHeldBack(const std::vector<QString>& paths);

// "80 90 100", "80, 95%": whole percentages from 1 to 1000, in order, each once; none for an
// empty text; nothing when a part is not such a percentage.
[[nodiscard]] std::optional<std::vector<int>> ParseThresholds(const QString& text);
[[nodiscard]] QString ThresholdsText(const std::vector<int>& thresholds);
// Why ParseThresholds refuses the text, for the user: its first word that is not a percentage.
[[nodiscard]] QString UnreadableThreshold(const QString& text);

} // namespace pulo
