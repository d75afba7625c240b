#include "usage/DataSaver.h"

#include "usage/UsageFigures.h"

#include <algorithm>

namespace pulo {

namespace {

enum class TShort
{
    No,
    LimitPassed,
    HighestThreshold,
    AllowanceUsed,
    Forecast,
};

// Asked every second: words are made only when they are wanted.
TShort ShortBy(const TPlanStatus& status, const std::vector<int>& thresholds)
{
    // A daily cap makes today's allowance even without a limit.
    if (status.DailyAllowance && status.UsedToday >= *status.DailyAllowance && (status.Limit || status.DailyLimit))
        return status.Limit && !status.WithinLimit() ? TShort::LimitPassed : TShort::AllowanceUsed;
    if (!status.Limit)
        return TShort::No;
    if (!status.WithinLimit())
        return TShort::LimitPassed;
    if (!thresholds.empty() && status.LimitUsed &&
        *status.LimitUsed >= *std::max_element(thresholds.begin(), thresholds.end()))
        return TShort::HighestThreshold;
    if (!status.ForecastWithinLimit())
        return TShort::Forecast;
    return TShort::No;
}

QString WhyShort(TShort why, const TPlanStatus& status, const std::vector<int>& thresholds)
{
    switch (why) {
    case TShort::No:
        break;
    case TShort::LimitPassed:
        return QStringLiteral("the download limit has been passed");
    case TShort::HighestThreshold:
        return QStringLiteral("%1 % of the download limit is used")
            .arg(*std::max_element(thresholds.begin(), thresholds.end()));
    case TShort::AllowanceUsed:
        return QStringLiteral("today's allowance is used up");
    case TShort::Forecast:
        return ForecastText(status);
    }
    return {};
}

} // namespace

QString RunsShort(const TPlanStatus& status, const std::vector<int>& thresholds)
{
    return WhyShort(ShortBy(status, thresholds), status, thresholds);
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
    const TShort by = OffDay == today                     ? TShort::No
                      : Mode == TDataSaverMode::Always    ? TShort::LimitPassed // stands for "on"; worded below
                      : Mode == TDataSaverMode::WhenShort ? ShortBy(status, thresholds)
                                                          : TShort::No;
    const bool was = IsOn;
    IsOn = by != TShort::No;
    // The reason is worded when the saver turns on (what its notice says), not at every tick.
    if (IsOn && !was)
        Reason = Mode == TDataSaverMode::Always ? QStringLiteral("it is set to be on always")
                                                : WhyShort(by, status, thresholds);
    else if (!IsOn)
        Reason.clear();
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
