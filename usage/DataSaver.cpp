#include "usage/DataSaver.h"

#include "usage/UsageFigures.h"

#include <algorithm>

namespace pulo {

QString RunsShort(const TPlanStatus& status, const std::vector<int>& thresholds)
{
    if (!status.Limit)
        return {};
    if (!status.WithinLimit())
        return QStringLiteral("the download limit has been passed");
    if (!thresholds.empty() && status.LimitUsed &&
        *status.LimitUsed >= *std::max_element(thresholds.begin(), thresholds.end()))
        return QStringLiteral("%1 % of the download limit is used")
            .arg(*std::max_element(thresholds.begin(), thresholds.end()));
    if (status.DailyAllowance && status.UsedToday >= *status.DailyAllowance)
        return QStringLiteral("today's allowance is used up");
    if (!status.ForecastWithinLimit())
        return ForecastText(status);
    return {};
}

void TDataSaver::Restore(const QString& notToday)
{
    OffDay = QDate::fromString(notToday, Qt::ISODate);
}

QString TDataSaver::NotTodayText() const
{
    return OffDay.isValid() ? OffDay.toString(Qt::ISODate) : QString();
}

bool TDataSaver::Follow(const TPlanStatus& status, const std::vector<int>& thresholds, const QDate& today)
{
    QString why;
    if (OffDay != today) {
        if (Mode == TDataSaverMode::Always)
            why = QStringLiteral("it is set to be on always");
        else if (Mode == TDataSaverMode::WhenShort)
            why = RunsShort(status, thresholds);
    }
    const bool was = IsOn;
    IsOn = !why.isEmpty();
    Reason = why;
    return IsOn != was;
}

QString TDataSaver::State() const
{
    switch (Mode) {
    case TDataSaverMode::Off:
        return QStringLiteral("off");
    case TDataSaverMode::Always:
        return IsOn ? QStringLiteral("on") : QStringLiteral("off");
    case TDataSaverMode::WhenShort:
        break;
    }
    return IsOn ? QStringLiteral("auto-on") : QStringLiteral("auto-off");
}

} // namespace pulo
