#pragma once

// Hours, minutes and seconds as the window shows them: "005:07:09" for a month total (three or
// more digits of hours), "05:07:09" for the time online.

#include <QString>

namespace pulo {

struct ClockParts final
{
    QString Hours;
    QString Minutes;
    QString Seconds;
};

// A number of seconds split into whole hours, whole minutes and the seconds that remain, each
// as its decimal text.
[[nodiscard]] ClockParts SplitSeconds(double totalSeconds);

// The parts joined as "hh:mm:ss", the hours padded with zeros to hourDigits (3 for month totals,
// 2 for the time online) and longer when they need more.
[[nodiscard]] QString ClockText(const ClockParts& parts, int hourDigits);

inline constexpr int MonthTotalHourDigits = 3;
inline constexpr int OnlineHourDigits = 2;

} // namespace pulo
