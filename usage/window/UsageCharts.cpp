#include "usage/window/UsageCharts.h"

#include "common/ClockText.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QLineSeries>
#include <QLocale>
#include <QPen>
#include <QStackedBarSeries>
#include <QToolTip>
#include <QValueAxis>
#include <QWidget>

#include <cmath>

namespace pulo {

namespace {

QBarSet* Bars(const QString& name, const QColor& color, const QList<qreal>& values)
{
    auto* set = new QBarSet(name);
    set->append(values);
    set->setColor(color);
    set->setBorderColor(color);
    return set;
}

} // namespace

QString Duration(std::int64_t seconds)
{
    return ClockText(SplitSeconds(static_cast<double>(seconds)), 1);
}

QString DayText(const QDate& day, const QString& format)
{
    return QLocale(QLocale::English).toString(day, format);
}

// "1 to 31 December 2026", "15 December 2026 to 14 January 2027".
QString Dates(const TBillingPeriod& period)
{
    // A period that turns at an hour (a prepaid top-up) says its moments.
    if (period.Start.isValid() && period.Start.time() != QTime(0, 0))
        return QLocale(QLocale::English).toString(period.From(), QStringLiteral("d MMMM HH:mm")) +
               QStringLiteral(" to ") +
               QLocale(QLocale::English).toString(period.Until(), QStringLiteral("d MMMM yyyy HH:mm"));
    const QDate last = period.End.addDays(-1);
    if (period.First.year() != last.year())
        return DayText(period.First, QStringLiteral("d MMMM yyyy")) + QStringLiteral(" to ") +
               DayText(last, QStringLiteral("d MMMM yyyy"));
    if (period.First.month() != last.month())
        return DayText(period.First, QStringLiteral("d MMMM")) + QStringLiteral(" to ") +
               DayText(last, QStringLiteral("d MMMM yyyy"));
    return DayText(period.First, QStringLiteral("d")) + QStringLiteral(" to ") +
           DayText(last, QStringLiteral("d MMMM yyyy"));
}

// A chart that follows the desktop: its light or dark palette and its font.
QChart* NewChart(const QWidget* owner, const QString& title)
{
    auto* chart = new QChart;
    const QPalette palette = owner->palette();
    chart->setTheme(palette.color(QPalette::Window).lightness() < 128 ? QChart::ChartThemeDark
                                                                      : QChart::ChartThemeLight);
    chart->setBackgroundBrush(palette.color(QPalette::Base));
    chart->setFont(owner->font());
    chart->setTitleFont(owner->font());
    chart->setTitle(title);
    chart->legend()->setFont(owner->font());
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

QBarCategoryAxis* Categories(QChart* chart, const QStringList& names)
{
    auto* axis = new QBarCategoryAxis(chart);
    axis->append(names);
    axis->setTruncateLabels(false); // short names; never "..."
    chart->addAxis(axis, Qt::AlignBottom);
    return axis;
}

// A value axis from 0 in round steps a little above the highest figure.
QValueAxis* RoundAxis(QChart* chart, double highest, const QString& title, Qt::Alignment side)
{
    const TAxisScale scale = RoundScale(highest);
    auto* axis = new QValueAxis(chart);
    axis->setRange(0, scale.Top);
    axis->setTickType(QValueAxis::TicksFixed);
    axis->setTickCount(scale.Ticks);
    axis->setLabelFormat(QStringLiteral("%.") + QString::number(scale.Decimals) + QLatin1Char('f'));
    axis->setTitleText(title);
    chart->addAxis(axis, side);
    return axis;
}

QLineSeries* Line(QChart* chart,
                  const QString& name,
                  const QList<QPointF>& points,
                  Qt::PenStyle style,
                  const QColor& color,
                  QAbstractAxis* x,
                  QAbstractAxis* y)
{
    auto* line = new QLineSeries(chart);
    line->setName(name);
    line->append(points);
    chart->addSeries(line); // the theme first, then the line's own pen
    QPen pen(color);
    pen.setStyle(style);
    pen.setWidthF(2);
    line->setPen(pen);
    line->attachAxis(x);
    line->attachAxis(y);
    return line;
}

// Received and sent stacked (and what is still to come, where there is some), with their figures
// in a tip in the axis's unit.
QStackedBarSeries*
StackedBars(QChart* chart, const std::vector<TUsageBar>& bars, const TUsageUnit& unit, const QList<qreal>& toCome)
{
    // Free traffic stacked apart, on top of what counts, when the plan has any.
    QList<qreal> received;
    QList<qreal> sent;
    QList<qreal> free;
    bool anyFree = false;
    for (const TUsageBar& bar : bars) {
        received << static_cast<double>(bar.Received - bar.FreeReceived) / unit.Bytes;
        sent << static_cast<double>(bar.Sent - bar.FreeSent) / unit.Bytes;
        free << static_cast<double>(bar.FreeSent + bar.FreeReceived) / unit.Bytes;
        anyFree = anyFree || bar.FreeSent + bar.FreeReceived > 0;
    }
    auto* series = new QStackedBarSeries(chart);
    chart->addSeries(series);
    series->append(Bars(QStringLiteral("Received"), ReceivedColor, received));
    series->append(Bars(QStringLiteral("Sent"), SentColor, sent));
    if (anyFree)
        series->append(Bars(QStringLiteral("Free, not counted"), FreeColor, free));
    if (!toCome.isEmpty()) {
        QColor color = ForecastColor;
        color.setAlpha(110);
        series->append(Bars(QStringLiteral("Forecast"), color, toCome));
    }
    const auto tip = [bars, unit, toCome](bool shown, int index) {
        if (!shown || index < 0 || index >= static_cast<int>(bars.size())) {
            QToolTip::hideText();
            return;
        }
        const TUsageBar& bar = bars[static_cast<std::size_t>(index)];
        const QString when = bar.First.daysTo(bar.End) == 1 ? DayText(bar.First, QStringLiteral("d MMMM yyyy"))
                                                            : Dates({bar.First, bar.End});
        QString text = QStringLiteral("%1\nReceived: %2\nSent: %3\nOnline: %4")
                           .arg(when, InUnit(bar.Received, unit), InUnit(bar.Sent, unit), Duration(bar.Seconds));
        if (bar.FreeSent + bar.FreeReceived > 0)
            text += QStringLiteral("\nOf it free, not counted: %1").arg(InUnit(bar.FreeSent + bar.FreeReceived, unit));
        if (index < toCome.size() && toCome[index] > 0)
            text += QStringLiteral("\nAt this pace: %1 by the period's end")
                        .arg(InUnit(bar.Received + bar.Sent + std::llround(toCome[index] * unit.Bytes), unit));
        QToolTip::showText(QCursor::pos(), text);
    };
    for (QBarSet* set : series->barSets())
        QObject::connect(set, &QBarSet::hovered, chart, tip);
    return series;
}

// Shows the chart in the view, the one it showed before deleted.
void Show(QChartView* view, QChart* chart)
{
    QChart* old = view->chart();
    view->setChart(chart);
    delete old;
}

} // namespace pulo
