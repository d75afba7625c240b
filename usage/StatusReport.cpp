#include "usage/StatusReport.h"

#include "common/AmountText.h"
#include "common/ClockText.h"
#include "usage/UsageFigures.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QLocale>

#include <cmath>

namespace pulo {

namespace {

QJsonValue Optional(const std::optional<std::int64_t>& value)
{
    return value ? QJsonValue(static_cast<qint64>(*value)) : QJsonValue();
}

std::optional<std::int64_t> OptionalOf(const QJsonValue& value)
{
    return value.isDouble() ? std::optional<std::int64_t>(value.toInteger()) : std::nullopt;
}

QJsonArray HeldBackJson(const std::vector<QString>& paths)
{
    QJsonArray list;
    for (const QString& path : paths)
        list.append(path);
    return list;
}

QJsonArray PacksJson(const TPlanStatus& plan)
{
    QJsonArray packs;
    for (std::size_t i = 0; i < plan.Packs.size() && i < plan.PackUses.size(); ++i)
        packs.append(QJsonObject{
            {QStringLiteral("addedAt"),
             plan.Packs[i].AddedAt.toOffsetFromUtc(plan.Packs[i].AddedAt.offsetFromUtc()).toString(Qt::ISODate)},
            {QStringLiteral("until"), plan.Packs[i].Until.toString(Qt::ISODate)},
            {QStringLiteral("bytes"), static_cast<qint64>(plan.Packs[i].Bytes)},
            {QStringLiteral("leftBytes"), static_cast<qint64>(plan.PackUses[i].Left)},
            {QStringLiteral("ended"), plan.PackUses[i].Ended},
        });
    return packs;
}

QJsonValue Moment(const QDateTime& at)
{
    return at.isValid() ? QJsonValue(at.toOffsetFromUtc(at.offsetFromUtc()).toString(Qt::ISODate)) : QJsonValue();
}

QString Day(const QDate& day)
{
    return QLocale(QLocale::English).toString(day, QStringLiteral("d MMMM"));
}

QString MomentText(const QDateTime& at)
{
    return QLocale(QLocale::English).toString(at.toLocalTime(), QStringLiteral("d MMMM HH:mm"));
}

} // namespace

QJsonObject ReportJson(const TStatusReport& report)
{
    const TPlanStatus& plan = report.Plan;
    return QJsonObject{
        {QStringLiteral("online"), report.Online},
        {QStringLiteral("entry"), report.Online ? QJsonValue(report.Entry) : QJsonValue()},
        {QStringLiteral("secondsOnline"), Optional(report.SecondsOnline)},
        {QStringLiteral("periodStart"), plan.Period.First.toString(Qt::ISODate)},
        {QStringLiteral("periodEnd"), plan.Period.End.addDays(-1).toString(Qt::ISODate)},
        {QStringLiteral("periodKind"), PeriodKindName(plan.Kind)},
        {QStringLiteral("periodStartsAt"), Moment(plan.Period.From())},
        {QStringLiteral("periodEndsAt"), Moment(plan.Period.Until())},
        {QStringLiteral("daysLeft"), plan.DaysLeft},
        {QStringLiteral("sentBytes"), static_cast<qint64>(plan.Sent)},
        {QStringLiteral("receivedBytes"), static_cast<qint64>(plan.Received)},
        {QStringLiteral("countedBytes"), static_cast<qint64>(plan.Counted)},
        {QStringLiteral("freeBytes"), static_cast<qint64>(plan.Free)},
        {QStringLiteral("freeSentBytes"), static_cast<qint64>(plan.FreeSent)},
        {QStringLiteral("freeReceivedBytes"), static_cast<qint64>(plan.FreeReceived)},
        {QStringLiteral("rolloverBytes"), static_cast<qint64>(plan.Rollover)},
        {QStringLiteral("rolloverLeftBytes"), static_cast<qint64>(plan.RolloverLeft)},
        {QStringLiteral("secondsThisPeriod"), static_cast<qint64>(plan.Seconds)},
        {QStringLiteral("limitBytes"), Optional(plan.Limit)},
        {QStringLiteral("limitUsedPercent"),
         plan.LimitUsed ? QJsonValue(std::round(*plan.LimitUsed * 10) / 10) : QJsonValue()},
        {QStringLiteral("forecastDate"),
         plan.Forecast ? QJsonValue(plan.Forecast->toString(Qt::ISODate)) : QJsonValue()},
        {QStringLiteral("withinLimit"), plan.WithinLimit()},
        {QStringLiteral("forecastWithinLimit"), plan.ForecastWithinLimit()},
        {QStringLiteral("dailyAllowanceBytes"), Optional(plan.DailyAllowance)},
        {QStringLiteral("usedTodayBytes"), static_cast<qint64>(plan.UsedToday)},
        {QStringLiteral("correctionBytes"), static_cast<qint64>(plan.Correction)},
        {QStringLiteral("dailyLimitBytes"), Optional(plan.DailyLimit)},
        {QStringLiteral("costSoFar"),
         plan.CostSoFar ? QJsonValue(std::round(*plan.CostSoFar * 100) / 100) : QJsonValue()},
        {QStringLiteral("costForecast"),
         plan.CostForecast ? QJsonValue(std::round(*plan.CostForecast * 100) / 100) : QJsonValue()},
        {QStringLiteral("currency"), plan.CostSoFar ? QJsonValue(plan.Currency) : QJsonValue()},
        {QStringLiteral("packs"), PacksJson(plan)},
        {QStringLiteral("dataSaver"), report.DataSaver},
        {QStringLiteral("heldBack"), HeldBackJson(report.HeldBack)},
    };
}

std::optional<TStatusReport> ReportFromJson(const QJsonObject& object)
{
    TStatusReport report;
    report.Online = object.value(QStringLiteral("online")).toBool();
    report.Entry = object.value(QStringLiteral("entry")).toString();
    report.SecondsOnline = OptionalOf(object.value(QStringLiteral("secondsOnline")));
    TPlanStatus& plan = report.Plan;
    plan.Period.First = QDate::fromString(object.value(QStringLiteral("periodStart")).toString(), Qt::ISODate);
    plan.Period.End = QDate::fromString(object.value(QStringLiteral("periodEnd")).toString(), Qt::ISODate).addDays(1);
    if (!plan.Period.First.isValid() || !plan.Period.End.isValid())
        return std::nullopt;
    plan.Period.Start = QDateTime::fromString(object.value(QStringLiteral("periodStartsAt")).toString(), Qt::ISODate);
    plan.Period.Stop = QDateTime::fromString(object.value(QStringLiteral("periodEndsAt")).toString(), Qt::ISODate);
    plan.Kind = PeriodKindNamed(object.value(QStringLiteral("periodKind")).toString()).value_or(TPeriodKind::Monthly);
    plan.Free = object.value(QStringLiteral("freeBytes")).toInteger();
    plan.FreeSent = object.value(QStringLiteral("freeSentBytes")).toInteger();
    plan.FreeReceived = object.value(QStringLiteral("freeReceivedBytes")).toInteger();
    plan.Rollover = object.value(QStringLiteral("rolloverBytes")).toInteger();
    plan.RolloverLeft = object.value(QStringLiteral("rolloverLeftBytes")).toInteger();
    plan.DaysLeft = object.value(QStringLiteral("daysLeft")).toInt();
    plan.Sent = object.value(QStringLiteral("sentBytes")).toInteger();
    plan.Received = object.value(QStringLiteral("receivedBytes")).toInteger();
    plan.Counted = object.value(QStringLiteral("countedBytes")).toInteger();
    plan.Seconds = object.value(QStringLiteral("secondsThisPeriod")).toInteger();
    plan.Limit = OptionalOf(object.value(QStringLiteral("limitBytes")));
    if (const QJsonValue used = object.value(QStringLiteral("limitUsedPercent")); used.isDouble())
        plan.LimitUsed = used.toDouble();
    if (const QJsonValue day = object.value(QStringLiteral("forecastDate")); day.isString())
        plan.Forecast = QDate::fromString(day.toString(), Qt::ISODate);
    plan.DailyAllowance = OptionalOf(object.value(QStringLiteral("dailyAllowanceBytes")));
    plan.UsedToday = object.value(QStringLiteral("usedTodayBytes")).toInteger();
    plan.Correction = object.value(QStringLiteral("correctionBytes")).toInteger();
    plan.ProgramCounted = plan.Counted - plan.Correction;
    plan.DailyLimit = OptionalOf(object.value(QStringLiteral("dailyLimitBytes")));
    for (const QJsonValue& value : object.value(QStringLiteral("packs")).toArray()) {
        const QJsonObject pack = value.toObject();
        plan.Packs.push_back({0, QDateTime::fromString(pack.value(QStringLiteral("addedAt")).toString(), Qt::ISODate),
                              QDate::fromString(pack.value(QStringLiteral("until")).toString(), Qt::ISODate),
                              pack.value(QStringLiteral("bytes")).toInteger(), 0, std::nullopt});
        plan.PackUses.push_back(
            {pack.value(QStringLiteral("bytes")).toInteger() - pack.value(QStringLiteral("leftBytes")).toInteger(),
             pack.value(QStringLiteral("leftBytes")).toInteger(), pack.value(QStringLiteral("ended")).toBool()});
    }
    if (const QJsonValue cost = object.value(QStringLiteral("costSoFar")); cost.isDouble())
        plan.CostSoFar = cost.toDouble();
    if (const QJsonValue cost = object.value(QStringLiteral("costForecast")); cost.isDouble())
        plan.CostForecast = cost.toDouble();
    plan.Currency = object.value(QStringLiteral("currency")).toString();
    if (const QJsonValue saver = object.value(QStringLiteral("dataSaver")); saver.isString())
        report.DataSaver = saver.toString();
    for (const QJsonValue& path : object.value(QStringLiteral("heldBack")).toArray())
        if (path.isString())
            report.HeldBack.push_back(path.toString());
    return report;
}

QString EntryOnOneLine(QString entry)
{
    for (QChar& character : entry)
        if (!character.isPrint())
            character = QLatin1Char(' ');
    return entry;
}

QString ReportLine(const TStatusReport& report)
{
    const TPlanStatus& plan = report.Plan;
    QStringList parts;
    if (report.Online) {
        QString online = report.Entry.isEmpty() ? QStringLiteral("Connected")
                                                : QStringLiteral("Connected to ") + EntryOnOneLine(report.Entry);
        if (report.SecondsOnline)
            online += QStringLiteral(" for ") +
                      ClockText(SplitSeconds(static_cast<double>(*report.SecondsOnline)), OnlineHourDigits);
        parts << online;
    } else {
        parts << QStringLiteral("Not connected");
    }
    const TUsageUnit unit = UnitFor(std::max({plan.Received, plan.Sent, plan.Limit.value_or(0)}));
    // A period that turns at an hour (a prepaid top-up) says its moments.
    const bool atHour = plan.Period.Start.isValid() && plan.Period.Start.toLocalTime().time() != QTime(0, 0);
    const QString from = atHour ? MomentText(plan.Period.From()) : Day(plan.Period.First);
    const QString to = atHour ? MomentText(plan.Period.Until()) : Day(plan.Period.End.addDays(-1));
    parts << QStringLiteral("this period (%1 to %2) %3 received and %4 sent")
                 .arg(from, to, InUnit(plan.Received, unit), InUnit(plan.Sent, unit));
    if (plan.Limit)
        parts << QStringLiteral("%1 counted (%2 %)")
                     .arg(OfLimit(plan.Counted, *plan.Limit), QString::number(plan.LimitUsed.value_or(0), 'f', 0));
    else
        parts << QStringLiteral("no download limit set");
    if (plan.Correction != 0)
        parts << QStringLiteral("%1 counted by your provider's figure (PuloPro counted %2)")
                     .arg(InUnit(plan.Counted, unit), InUnit(plan.ProgramCounted, unit));
    parts << (plan.DaysLeft == 1 ? QStringLiteral("1 day left") : QStringLiteral("%1 days left").arg(plan.DaysLeft));
    if (plan.Limit)
        parts << ForecastText(plan) << AllowanceText(plan);
    if (const QString cap = DailyCapText(plan); !cap.isEmpty())
        parts << cap;
    for (const QString& part : {FreeText(plan), RolloverText(plan), PacksText(plan)})
        if (!part.isEmpty())
            parts << part;
    if (const QString cost = CostLine(plan); !cost.isEmpty())
        parts << cost;
    return parts.join(QStringLiteral(", "));
}

} // namespace pulo
