#pragma once

// The data saver: while it is on, PuloPro tells the desktop the line is metered and has the
// per-program meter hold back the programs the user chose. Off, on always, or on by itself while
// the plan runs short, which the user may turn off until midnight ("Not today").

#include "usage/PlanStatus.h"

#include <QDate>
#include <QString>

#include <vector>

namespace pulo {

enum class TDataSaverMode
{
    Off = 0,
    WhenShort = 1, // on while the plan runs short
    Always = 2,
};

// Why the plan runs short now, in words for the user ("at this pace the limit is reached on 21
// December"); empty when it does not. It runs short when the forecast passes the limit before the
// period ends, when the highest of the thresholds has been passed, or when today's allowance is
// used up (the limit passed counts as all three).
[[nodiscard]] QString RunsShort(const TPlanStatus& status, const std::vector<int>& thresholds);

class TDataSaver final
{
public:
    void SetMode(TDataSaverMode mode) { Mode = mode; }
    [[nodiscard]] TDataSaverMode ModeOf() const { return Mode; }
    // "Not today": off until the next day begins, whatever the plan says.
    void NotToday(const QDate& today) { OffDay = today; }
    // The day "Not today" was said, as NotTodayText put it (kept across restarts in the history).
    void Restore(const QString& notToday);
    [[nodiscard]] QString NotTodayText() const;
    // Follows the plan as time goes by; true when the saver turned on or off.
    bool Follow(const TPlanStatus& status, const std::vector<int>& thresholds, const QDate& today);
    [[nodiscard]] bool On() const { return IsOn; }
    // Why it is on ("you asked for it always" or why the plan runs short); empty when off.
    [[nodiscard]] const QString& Why() const { return Reason; }
    // "off", "on" (always), "auto-on" or "auto-off" (while the plan runs short, now on or not).
    [[nodiscard]] QString State() const;

private:
    TDataSaverMode Mode = TDataSaverMode::Off;
    QDate OffDay;
    bool IsOn = false;
    QString Reason;
};

} // namespace pulo
