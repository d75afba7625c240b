#include "common/TrayStatus.h"

namespace pulo {

namespace {

QString Megabytes(double value)
{
    return QString::number(value, 'f', 1);
}

} // namespace

QString TrayStatusText(const TTrayFigures& figures)
{
    QString connection = QStringLiteral("Not connected");
    if (figures.Online) {
        connection =
            figures.Entry.isEmpty() ? QStringLiteral("Connected") : QStringLiteral("Connected to ") + figures.Entry;
        if (!figures.OnlineClock.isEmpty())
            connection += QStringLiteral(" for ") + figures.OnlineClock;
    }
    const QString period =
        figures.LimitMB
            ? QStringLiteral("This period: %1 of %2 MB").arg(Megabytes(figures.PeriodMB), Megabytes(*figures.LimitMB))
            : QStringLiteral("This period: %1 MB").arg(Megabytes(figures.PeriodMB));
    const QString left =
        figures.DaysLeft == 1 ? QStringLiteral("1 day left") : QStringLiteral("%1 days left").arg(figures.DaysLeft);
    return connection + QLatin1Char('\n') + period + QLatin1Char('\n') + left;
}

} // namespace pulo
