#include "common/Supervision.h"

#include "common/AlarmColor.h"
#include "common/ClockText.h"
#include "common/MonthAccounting.h"

namespace pulo {

TColor RaiseLimitColor(TColor current, double total, std::int32_t limit, std::uint32_t unitsPerLimit, bool active)
{
    return active ? RaiseAlarmColor(current, total, limit, unitsPerLimit) : current;
}

QString OnlineClockText(TDateTime start, TDateTime now)
{
    return OnlineClockText(ConnectionSeconds(start, now));
}

QString OnlineClockText(std::int64_t seconds)
{
    const ClockParts parts{QString::number(seconds / 3600), QString::number(seconds % 3600 / 60),
                           QString::number(seconds % 60)};
    return ClockText(parts, OnlineHourDigits);
}

TDceSpeedText DceSpeedText(std::uint32_t platformId, std::int32_t statsConn)
{
    TDceSpeedText text;
    if (platformId == 1) {
        text.SetSpeed = true;
        text.Speed = QString::number(statsConn);
    }
    if (statsConn < 14000) {
        text.SetSpeed = true;
        text.Speed = QStringLiteral("    N/A");
        text.ClearUnit = true;
    }
    return text;
}

bool OnlineSoundPlays(bool always, const QString& sentText, const QString& lastSentText)
{
    return always || sentText == lastSentText;
}

} // namespace pulo
