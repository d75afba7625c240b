#pragma once

// The Usage window's chart parts: charts that follow the desktop's palette and font, value axes
// in round steps, lines and stacked bars with their tips, one colour per series on light and dark
// desktops, and the words for days and periods the titles use.

#include "common/AmountText.h"
#include "common/BillingPeriod.h"
#include "usage/UsageFigures.h"

#include <QColor>
#include <QList>
#include <QPointF>
#include <QString>

#include <cstdint>
#include <vector>

class QAbstractAxis;
class QBarCategoryAxis;
class QBarSet;
class QChart;
class QChartView;
class QLineSeries;
class QStackedBarSeries;
class QValueAxis;
class QWidget;

namespace pulo {

inline const QColor ReceivedColor{0x1f, 0x77, 0xb4};
inline const QColor SentColor{0x2c, 0xa0, 0x2c};
inline const QColor FreeColor{0xb0, 0xb8, 0xc4};
inline const QColor CountedColor{0x17, 0xa2, 0xb8};
inline const QColor LimitColor{0xd6, 0x27, 0x28};
inline const QColor ForecastColor{0xff, 0x7f, 0x0e};
inline const QColor OnlineColor{0x8c, 0x8c, 0x8c};
inline const QColor TodayColor{0xa0, 0x6c, 0xd5};

// "0:10:00".
[[nodiscard]] QString Duration(std::int64_t seconds);
[[nodiscard]] QString DayText(const QDate& day, const QString& format);
// "1 to 31 December 2026", "15 December 2026 to 14 January 2027".
[[nodiscard]] QString Dates(const TBillingPeriod& period);

[[nodiscard]] QChart* NewChart(const QWidget* owner, const QString& title);
QBarCategoryAxis* Categories(QChart* chart, const QStringList& names);
// A value axis from 0 in round steps a little above the highest figure.
QValueAxis* RoundAxis(QChart* chart, double highest, const QString& title, Qt::Alignment side);
QLineSeries* Line(QChart* chart,
                  const QString& name,
                  const QList<QPointF>& points,
                  Qt::PenStyle style,
                  const QColor& color,
                  QAbstractAxis* x,
                  QAbstractAxis* y);
// Received and sent stacked (and what is still to come, where there is some), with their figures
// in a tip in the axis's unit.
QStackedBarSeries*
StackedBars(QChart* chart, const std::vector<TUsageBar>& bars, const TUsageUnit& unit, const QList<qreal>& toCome = {});
// Shows the chart in the view, the one it showed before deleted.
void Show(QChartView* view, QChart* chart);

} // namespace pulo
