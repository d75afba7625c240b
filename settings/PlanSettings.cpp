#include "settings/PlanSettings.h"

#include "common/BillingPeriod.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"

#include <QStringList>

#include <algorithm>

namespace pulo {

namespace {

constexpr int MostPercent = 1000;

} // namespace

namespace {

// Blanks, commas and semicolons part them (read at every start: no pattern engine for it).
QStringList ThresholdParts(const QString& text)
{
    QString spaced = text;
    for (QChar& c : spaced)
        if (c == QLatin1Char(',') || c == QLatin1Char(';') || c.isSpace())
            c = QLatin1Char(' ');
    return spaced.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

std::optional<int> ThresholdOf(QString part)
{
    if (part.endsWith(QLatin1Char('%')))
        part.chop(1);
    bool ok = false;
    const int percent = part.toInt(&ok);
    if (!ok || percent < 1 || percent > MostPercent)
        return std::nullopt;
    return percent;
}

} // namespace

std::optional<std::vector<int>> ParseThresholds(const QString& text)
{
    std::vector<int> thresholds;
    for (const QString& part : ThresholdParts(text)) {
        const std::optional<int> percent = ThresholdOf(part);
        if (!percent)
            return std::nullopt;
        thresholds.push_back(*percent);
    }
    std::sort(thresholds.begin(), thresholds.end());
    thresholds.erase(std::unique(thresholds.begin(), thresholds.end()), thresholds.end());
    return thresholds;
}

QString UnreadableThreshold(const QString& text)
{
    for (const QString& part : ThresholdParts(text))
        if (!ThresholdOf(part))
            return QStringLiteral("\u201C%1\u201D is not a whole percentage from 1 to %2").arg(part).arg(MostPercent);
    return {};
}

QString ThresholdsText(const std::vector<int>& thresholds)
{
    QStringList parts;
    for (const int percent : thresholds)
        parts << QString::number(percent);
    return parts.join(QLatin1Char(' '));
}

TPlanSettings ReadPlanSettings()
{
    const TIniFile ini(SettingsPath());
    TPlanSettings plan;
    const std::int32_t day = ini.ReadInteger("General", "BillingDay", 1);
    plan.BillingDay = day >= 1 && day <= 31 ? day : 1;
    plan.CountsBoth = ini.ReadString("General", "QuotaCounts", QStringLiteral("received"))
                          .trimmed()
                          .compare(QStringLiteral("both"), Qt::CaseInsensitive) == 0;
    if (const std::optional<std::vector<int>> thresholds =
            ParseThresholds(ini.ReadString("General", "Thresholds", ThresholdsText(plan.Thresholds))))
        plan.Thresholds = *thresholds;
    plan.AllowanceNotice = ini.ReadBool("General", "AllowanceNotice", plan.AllowanceNotice);
    plan.HangUpAtLimit = ini.ReadBool("General", "HangUpAtLimit", plan.HangUpAtLimit);
    const std::int32_t saver = ini.ReadInteger("General", "DataSaver", 0);
    plan.DataSaver = saver >= 0 && saver <= 2 ? saver : 0;
    for (const QString& path : ini.ReadString("General", "HeldBack", QString()).split(QLatin1Char(';')))
        if (!path.trimmed().isEmpty() &&
            std::find(plan.HeldBack.begin(), plan.HeldBack.end(), path.trimmed()) == plan.HeldBack.end())
            plan.HeldBack.push_back(path.trimmed());
    plan.DailyLimitMB = std::max<std::int64_t>(0, ini.ReadInteger("General", "DailyLimitMB", 0));
    // Prices are written with a point whatever the locale, so that the file reads the same anywhere.
    const auto price = [&](const char* key) {
        bool ok = false;
        const double value = ini.ReadString("General", key, QString()).trimmed().toDouble(&ok);
        return ok && value >= 0 && value < 1e9 ? value : 0.0;
    };
    plan.PricePerMB = price("PricePerMB");
    plan.PricePerHour = price("PricePerHour");
    plan.PricePerPeriod = price("PricePerPeriod");
    plan.Currency = ini.ReadString("General", "Currency", QString()).trimmed().left(8);
    if (const std::optional<TPeriodKind> kind = PeriodKindNamed(ini.ReadString("General", "PeriodKind", {})))
        plan.PeriodKind = PeriodKindName(*kind);
    const std::int32_t days = ini.ReadInteger("General", "PeriodDays", plan.PeriodDays);
    plan.PeriodDays = days >= 1 && days <= 3660 ? days : 30;
    plan.PeriodStart = ParsePlanMoment(ini.ReadString("General", "PeriodStart", QString()));
    plan.PeriodEnd = ParsePlanMoment(ini.ReadString("General", "PeriodEnd", QString()));
    plan.FreeHours = ini.ReadString("General", "FreeHours", QString()).trimmed();
    plan.FreeDays = ini.ReadString("General", "FreeDays", QString()).trimmed();
    plan.RolloverMB = std::max<std::int64_t>(0, ini.ReadInteger("General", "RolloverMB", 0));
    const std::int32_t periods = ini.ReadInteger("General", "RolloverPeriods", 1);
    plan.RolloverPeriods = periods >= 1 && periods <= 120 ? periods : 1;
    return plan;
}

QDateTime ParsePlanMoment(const QString& text)
{
    const QString trimmed = text.trimmed();
    QDateTime moment = QDateTime::fromString(trimmed, QStringLiteral("yyyy-MM-dd HH:mm"));
    if (!moment.isValid())
        moment = QDate::fromString(trimmed, Qt::ISODate).startOfDay();
    return moment;
}

QString PlanMomentText(const QDateTime& moment)
{
    return moment.isValid() ? moment.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QString();
}

void WritePlanSettings(const TPlanSettings& plan)
{
    TIniFile ini(SettingsPath());
    ini.WriteInteger("General", "BillingDay", plan.BillingDay);
    ini.WriteString("General", "QuotaCounts", plan.CountsBoth ? QStringLiteral("both") : QStringLiteral("received"));
    ini.WriteString("General", "Thresholds", ThresholdsText(plan.Thresholds));
    ini.WriteBool("General", "AllowanceNotice", plan.AllowanceNotice);
    ini.WriteBool("General", "HangUpAtLimit", plan.HangUpAtLimit);
    ini.WriteInteger("General", "DataSaver", plan.DataSaver);
    ini.WriteInteger("General", "DailyLimitMB",
                     static_cast<std::int32_t>(std::min<std::int64_t>(plan.DailyLimitMB, 1 << 30)));
    // With a point whatever the locale (see ReadPlanSettings).
    ini.WriteString("General", "PricePerMB", QString::number(plan.PricePerMB, 'g', 10));
    ini.WriteString("General", "PricePerHour", QString::number(plan.PricePerHour, 'g', 10));
    ini.WriteString("General", "PricePerPeriod", QString::number(plan.PricePerPeriod, 'g', 10));
    ini.WriteString("General", "Currency", plan.Currency);
    ini.WriteString("General", "PeriodKind", plan.PeriodKind);
    ini.WriteInteger("General", "PeriodDays", plan.PeriodDays);
    ini.WriteString("General", "PeriodStart", PlanMomentText(plan.PeriodStart));
    ini.WriteString("General", "PeriodEnd", PlanMomentText(plan.PeriodEnd));
    ini.WriteString("General", "FreeHours", plan.FreeHours);
    ini.WriteString("General", "FreeDays", plan.FreeDays);
    ini.WriteInteger("General", "RolloverMB",
                     static_cast<std::int32_t>(std::min<std::int64_t>(plan.RolloverMB, 1 << 30)));
    ini.WriteInteger("General", "RolloverPeriods", plan.RolloverPeriods);
}

void WriteDataSaver(int mode)
{
    TIniFile ini(SettingsPath());
    ini.WriteInteger("General", "DataSaver", mode);
}

void WriteHeldBack(const std::vector<QString>& paths)
{
    QStringList joined;
    for (const QString& path : paths)
        joined << path;
    TIniFile ini(SettingsPath());
    ini.WriteString("General", "HeldBack", joined.join(QLatin1Char(';')));
}

} // namespace pulo
