#include "settings/LogLines.h"

#include "common/FormatSettings.h"
#include "common/NumberText.h"
#include "common/StringUtil.h"

namespace pulo {

namespace {

const QString Bullet = QStringLiteral(" \u2022 ");

QString Padded(qint64 value, int width)
{
    return ZeroPad(QString::number(value).rightJustified(width, QLatin1Char(' ')));
}

} // namespace

QString ConnectionLine(TDateTime connectDate,
                       TDateTime connectStart,
                       TDateTime end,
                       std::int64_t hours,
                       int minutes,
                       int seconds,
                       double sentKB,
                       double receivedKB,
                       const QString& entryName)
{
    const FormatSettings& format = CurrentFormat();
    return ToQDateTime(connectDate).date().toString(format.ShortDateFormat) + Bullet +
           ToQDateTime(connectStart).time().toString(format.LongTimeFormat) + QStringLiteral(" \u2014> ") +
           ToQDateTime(end).time().toString(format.LongTimeFormat) + Bullet + Padded(hours, 2) + QLatin1Char(':') +
           Padded(minutes, 2) + QLatin1Char(':') + Padded(seconds, 2) + Bullet +
           FloatToStr(sentKB).rightJustified(8, QLatin1Char(' ')) + Bullet +
           FloatToStr(receivedKB).rightJustified(8, QLatin1Char(' ')) + Bullet + entryName;
}

QStringList MonthTotalsBlock(std::int32_t connections,
                             const QString& hours,
                             const QString& minutes,
                             const QString& seconds,
                             double sentKB,
                             double receivedKB)
{
    const auto field = [](const QString& text, int width) {
        return ZeroPad(text.rightJustified(width, QLatin1Char(' ')));
    };
    return {
        QLatin1Char(' ') + QString(75, QLatin1Char('-')),
        QStringLiteral(" Month totals: "),
        QStringLiteral(" Connections       : ") + QString::number(connections),
        QStringLiteral(" Time online       : ") + field(hours, 3) + QLatin1Char(':') + field(minutes, 2) +
            QLatin1Char(':') + field(seconds, 2),
        QStringLiteral(" Megabytes sent    : ") + FloatToStr(sentKB / 1000).leftJustified(8, QLatin1Char(' ')),
        QStringLiteral(" Megabytes received: ") + FloatToStr(receivedKB / 1000).leftJustified(8, QLatin1Char(' ')),
        QLatin1Char(' ') + QString(75, QLatin1Char('=')),
    };
}

bool EndsWithMonthTotalsBlock(const QStringList& lines)
{
    if (lines.size() < MonthBlockLines)
        return false;
    const QStringList block = lines.mid(lines.size() - MonthBlockLines);
    const QStringList model = MonthTotalsBlock(0, QString(), QString(), QString(), 0, 0);
    // The rules and the title as they are; the figure lines by their labels.
    for (const int fixed : {0, 1, 6})
        if (block[fixed] != model[fixed])
            return false;
    for (int figure = 2; figure <= 5; ++figure) {
        const QString label = model[figure].left(model[figure].indexOf(QLatin1Char(':')) + 2);
        if (!block[figure].startsWith(label))
            return false;
    }
    return true;
}

} // namespace pulo
