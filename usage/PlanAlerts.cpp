#include "usage/PlanAlerts.h"

#include <QStringList>

#include <algorithm>

namespace pulo {

namespace {

// "period=2026-12-01;given=80 90;limit=2026-12-01;allowance=2026-12-08"
constexpr char PeriodKey[] = "period=";
constexpr char GivenKey[] = "given=";
constexpr char LimitKey[] = "limit=";
constexpr char AllowanceKey[] = "allowance=";
constexpr char CapKey[] = "cap=";

} // namespace

void TPlanAlerts::Restore(const QString& given)
{
    Period = QDate();
    GivenPercents.clear();
    LimitPeriod = QDate();
    AllowanceDay = QDate();
    CapDay = QDate();
    for (const QString& part : given.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (part.startsWith(QLatin1String(PeriodKey))) {
            Period = QDate::fromString(part.mid(sizeof PeriodKey - 1), Qt::ISODate);
        } else if (part.startsWith(QLatin1String(LimitKey))) {
            LimitPeriod = QDate::fromString(part.mid(sizeof LimitKey - 1), Qt::ISODate);
        } else if (part.startsWith(QLatin1String(AllowanceKey))) {
            AllowanceDay = QDate::fromString(part.mid(sizeof AllowanceKey - 1), Qt::ISODate);
        } else if (part.startsWith(QLatin1String(CapKey))) {
            CapDay = QDate::fromString(part.mid(sizeof CapKey - 1), Qt::ISODate);
        } else if (part.startsWith(QLatin1String(GivenKey))) {
            for (const QString& percent : part.mid(sizeof GivenKey - 1).split(QLatin1Char(' '), Qt::SkipEmptyParts))
                if (bool ok = false; percent.toInt(&ok) > 0 && ok)
                    GivenPercents.push_back(percent.toInt());
        }
    }
    if (!Period.isValid())
        GivenPercents.clear();
}

QString TPlanAlerts::Given() const
{
    QStringList percents;
    for (const int percent : GivenPercents)
        percents << QString::number(percent);
    return QLatin1String(PeriodKey) + Period.toString(Qt::ISODate) + QLatin1Char(';') + QLatin1String(GivenKey) +
           percents.join(QLatin1Char(' ')) + QLatin1Char(';') + QLatin1String(LimitKey) +
           LimitPeriod.toString(Qt::ISODate) + QLatin1Char(';') + QLatin1String(AllowanceKey) +
           AllowanceDay.toString(Qt::ISODate) + QLatin1Char(';') + QLatin1String(CapKey) + CapDay.toString(Qt::ISODate);
}

std::vector<TPlanAlert> TPlanAlerts::Due(const TPlanStatus& status, const QDate& today)
{
    std::vector<TPlanAlert> due;
    if (Period != status.Period.First) {
        Period = status.Period.First;
        GivenPercents.clear();
    }
    if (status.DailyLimit && status.UsedToday >= *status.DailyLimit && CapDay != today) {
        CapDay = today;
        due.push_back({TPlanAlert::TKind::DailyCap});
    }
    if (!status.Limit)
        return due;
    const auto given = [this](int percent) {
        return std::find(GivenPercents.begin(), GivenPercents.end(), percent) != GivenPercents.end();
    };
    int highest = 0;
    for (const int percent : Thresholds) {
        // Exactly, in bytes: counted * 100 >= limit * percent.
        if (static_cast<double>(status.Counted) * 100 < static_cast<double>(*status.Limit) * percent)
            break;
        if (!given(percent)) {
            highest = percent;
            GivenPercents.push_back(percent);
        }
    }
    if (highest > 0)
        due.push_back({TPlanAlert::TKind::Threshold, highest});
    if (!status.WithinLimit() && LimitPeriod != status.Period.First) {
        LimitPeriod = status.Period.First;
        due.push_back({TPlanAlert::TKind::Limit});
    }
    if (AllowanceNotice && AllowanceDay != today && status.WithinLimit() && status.DailyAllowance &&
        *status.DailyAllowance > 0 && status.UsedToday > *status.DailyAllowance) {
        AllowanceDay = today;
        due.push_back({TPlanAlert::TKind::Allowance});
    }
    return due;
}

} // namespace pulo
