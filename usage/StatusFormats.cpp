#include "usage/StatusFormats.h"

#include "common/AmountText.h"
#include "common/ClockText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>

namespace pulo {

namespace {

// The version of the --oneline and --json formats: a script that reads them can tell a format it
// does not know.
constexpr int FormatVersion = 1;

QString Number(std::optional<std::int64_t> value)
{
    return value ? QString::number(*value) : QString();
}

} // namespace

TPlanLevel LevelOf(const TPlanStatus& plan, const std::vector<int>& thresholds)
{
    if (!plan.Limit)
        return TPlanLevel::Within;
    if (!plan.WithinLimit())
        return TPlanLevel::Past;
    for (const int percent : thresholds)
        if (percent < 100 && static_cast<double>(plan.Counted) * 100 >= static_cast<double>(*plan.Limit) * percent)
            return TPlanLevel::Threshold;
    return TPlanLevel::Within;
}

QJsonObject WaybarJson(const TStatusReport& report, const std::vector<int>& thresholds)
{
    const TPlanStatus& plan = report.Plan;
    const TUsageUnit unit = UnitFor(std::max(plan.Counted, plan.Limit.value_or(0)));
    const QString text =
        InUnit(plan.Counted, unit) + (plan.Limit ? QStringLiteral(" / ") + InUnit(*plan.Limit, unit) : QString());
    static const char* const Classes[] = {"ok", "warning", "critical"};
    const int percentage = plan.LimitUsed ? static_cast<int>(std::lround(std::min(*plan.LimitUsed, 100.0))) : 0;
    // Waybar reads text and tooltip as Pango markup: an entry named "AT&T <4G>" must reach it as
    // text, not as broken markup.
    return QJsonObject{
        {QStringLiteral("text"), text.toHtmlEscaped()},
        {QStringLiteral("tooltip"),
         ReportLine(report).split(QStringLiteral(", ")).join(QLatin1Char('\n')).toHtmlEscaped()},
        {QStringLiteral("alt"), report.Online ? QStringLiteral("online") : QStringLiteral("offline")},
        {QStringLiteral("class"), QLatin1String(Classes[static_cast<int>(LevelOf(plan, thresholds))])},
        {QStringLiteral("percentage"), percentage},
    };
}

QByteArray OneLine(const TStatusReport& report)
{
    const TPlanStatus& plan = report.Plan;
    QString entry = report.Online ? EntryOnOneLine(report.Entry) : QString();
    entry.replace(QLatin1Char(';'), QLatin1Char(','));
    const QStringList fields{
        QString::number(FormatVersion),
        report.Online ? QStringLiteral("1") : QStringLiteral("0"),
        entry,
        plan.Period.First.toString(Qt::ISODate),
        plan.Period.End.addDays(-1).toString(Qt::ISODate),
        QString::number(plan.DaysLeft),
        QString::number(plan.Received),
        QString::number(plan.Sent),
        QString::number(plan.Counted),
        Number(plan.Limit),
        plan.LimitUsed ? QString::number(std::round(*plan.LimitUsed * 10) / 10, 'f', 1) : QString(),
        plan.Forecast ? plan.Forecast->toString(Qt::ISODate) : QString(),
        Number(plan.DailyAllowance),
        QString::number(plan.UsedToday),
    };
    return fields.join(QLatin1Char(';')).toUtf8() + '\n';
}

QByteArray StatusJson(const TStatusReport& report)
{
    // A JSON object's keys come out in the order of their names; the version goes first, as in
    // --oneline, so that a reader meets it before anything it may not know.
    const QByteArray fields = QJsonDocument(ReportJson(report)).toJson(QJsonDocument::Compact);
    const QByteArray version = "{\"version\":" + QByteArray::number(FormatVersion);
    return version + (fields.size() > 2 ? ',' + fields.mid(1) : QByteArray("}")) + '\n';
}

QByteArray BarsText(const std::vector<TUsageBar>& bars)
{
    std::int64_t largest = 0;
    for (const TUsageBar& bar : bars)
        largest = std::max({largest, bar.Received, bar.Sent});
    const TUsageUnit unit = UnitFor(largest);
    // In columns: the days left, the figures right, each as wide as its widest.
    std::vector<std::array<QString, 4>> rows;
    std::array<qsizetype, 4> widths{};
    for (const TUsageBar& bar : bars) {
        const QDate last = bar.End.addDays(-1);
        const QString when =
            last == bar.First ? bar.First.toString(Qt::ISODate)
                              : bar.First.toString(Qt::ISODate) + QStringLiteral(" to ") + last.toString(Qt::ISODate);
        rows.push_back({when, InUnit(bar.Received, unit), InUnit(bar.Sent, unit),
                        ClockText(SplitSeconds(static_cast<double>(bar.Seconds)), 1)});
        for (std::size_t column = 0; column < widths.size(); ++column)
            widths[column] = std::max(widths[column], rows.back()[column].size());
    }
    QByteArray text;
    for (const auto& row : rows)
        text += QStringLiteral("%1  %2 received  %3 sent  %4\n")
                    .arg(row[0].leftJustified(widths[0]), row[1].rightJustified(widths[1]),
                         row[2].rightJustified(widths[2]), row[3].rightJustified(widths[3]))
                    .toUtf8();
    return text;
}

QByteArray EstimateLine(const TPlanStatus& plan)
{
    const std::int64_t estimate = plan.AtPeriodEnd(plan.Counted);
    const TUsageUnit unit = UnitFor(std::max(estimate, plan.Limit.value_or(0)));
    QString line = QStringLiteral("This period: %1 counted so far, about %2 by %3")
                       .arg(InUnit(plan.Counted, unit), InUnit(estimate, unit),
                            QLocale(QLocale::English).toString(plan.Period.End.addDays(-1), QStringLiteral("d MMMM")));
    if (plan.Limit)
        line += QStringLiteral(" (limit %1)").arg(InUnit(*plan.Limit, unit));
    return line.toUtf8() + '\n';
}

QByteArray BarsJson(const std::vector<TUsageBar>& bars)
{
    QJsonArray rows;
    for (const TUsageBar& bar : bars)
        rows.append(QJsonObject{{QStringLiteral("first"), bar.First.toString(Qt::ISODate)},
                                {QStringLiteral("last"), bar.End.addDays(-1).toString(Qt::ISODate)},
                                {QStringLiteral("receivedBytes"), static_cast<qint64>(bar.Received)},
                                {QStringLiteral("sentBytes"), static_cast<qint64>(bar.Sent)},
                                {QStringLiteral("freeBytes"), static_cast<qint64>(bar.FreeSent + bar.FreeReceived)},
                                {QStringLiteral("seconds"), static_cast<qint64>(bar.Seconds)}});
    return QJsonDocument(rows).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace pulo
