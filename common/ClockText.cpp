#include "common/ClockText.h"

#include "common/NumberText.h"
#include "common/StringUtil.h"

namespace pulo {

ClockParts SplitSeconds(double totalSeconds)
{
    const double hours = WholePart(totalSeconds / 3600);
    const double minutes = WholePart((totalSeconds - hours * 3600) / 60);
    const double seconds = totalSeconds - hours * 3600 - minutes * 60;
    return {FloatToStr(hours), FloatToStr(minutes), FloatToStr(seconds)};
}

QString ClockText(const ClockParts& parts, int hourDigits)
{
    return ZeroPad(parts.Hours.rightJustified(hourDigits, QLatin1Char(' '))) + QLatin1Char(':') +
           ZeroPad(parts.Minutes.rightJustified(2, QLatin1Char(' '))) + QLatin1Char(':') +
           ZeroPad(parts.Seconds.rightJustified(2, QLatin1Char(' ')));
}

} // namespace pulo
