#pragma once

// The rules of the once-a-second supervision: the warning colours of an active limit, the time
// online as the window shows it, the connect speed's texts, and the idle test of the online
// sound.

#include "common/Colors.h"
#include "common/DateTime.h"

#include <QString>

#include <cstdint>

namespace pulo {

// The warning colour of a limit: raised as RaiseAlarmColor raises it while the limit's alarm
// is active, left as it is while it is not (a limit the user did not activate never warns).
[[nodiscard]] TColor
RaiseLimitColor(TColor current, double total, std::int32_t limit, std::uint32_t unitsPerLimit, bool active);

// The whole time since start as "hh:mm:ss", the hours growing past 24 ("25:03:00").
[[nodiscard]] QString OnlineClockText(TDateTime start, TDateTime now);
[[nodiscard]] QString OnlineClockText(std::int64_t seconds);

// The connect speed's label texts once a connection is up: the figure on the Windows 9x family
// (platform 1), and "    N/A" with no unit below 14000 bits a second. What is not set stays.
struct TDceSpeedText final
{
    bool SetSpeed = false;
    QString Speed;
    bool ClearUnit = false;
};
[[nodiscard]] TDceSpeedText DceSpeedText(std::uint32_t platformId, std::int32_t statsConn);

// The online sound's idle test: true when it plays at this tick.
[[nodiscard]] bool OnlineSoundPlays(bool always, const QString& sentText, const QString& lastSentText);

} // namespace pulo
