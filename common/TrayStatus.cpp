#include "common/TrayStatus.h"

#include "common/AmountText.h"

namespace pulo {

QString TrayStatusText(const TTrayFigures& figures)
{
    QString connection = QStringLiteral("Not connected");
    if (figures.Online) {
        connection =
            figures.Entry.isEmpty() ? QStringLiteral("Connected") : QStringLiteral("Connected to ") + figures.Entry;
        if (!figures.OnlineClock.isEmpty())
            connection += QStringLiteral(" for ") + figures.OnlineClock;
    }
    const QString period = QStringLiteral("This period: ") +
                           (figures.LimitBytes ? OfLimit(figures.PeriodBytes, *figures.LimitBytes)
                                               : InUnit(figures.PeriodBytes, UnitFor(figures.PeriodBytes)));
    QString left =
        figures.DaysLeft == 1 ? QStringLiteral("1 day left") : QStringLiteral("%1 days left").arg(figures.DaysLeft);
    if (figures.DailyBytes)
        left += QStringLiteral(", %1 a day").arg(InUnit(*figures.DailyBytes, UnitFor(*figures.DailyBytes)));
    return connection + QLatin1Char('\n') + period + QLatin1Char('\n') + left +
           (figures.Free.isEmpty() ? QString() : QLatin1Char('\n') + figures.Free) +
           (figures.Cost.isEmpty() ? QString() : QLatin1Char('\n') + figures.Cost) +
           (figures.DataSaver ? QStringLiteral("\nData saver on") : QString());
}

} // namespace pulo
