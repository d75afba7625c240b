// libFuzzer: the plan as a user writes it into the settings file (its period's start and length,
// its free hours and days) and the period any moment falls in.

#include "common/BillingPeriod.h"
#include "common/FreeTime.h"
#include "settings/PlanSettings.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace {

QString ValueOf(const QStringList& lines, const QString& key)
{
    for (const QString& line : lines)
        if (line.startsWith(key + QLatin1Char('=')))
            return line.mid(key.size() + 1);
    return {};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QStringList lines =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)).split(QLatin1Char('\n'));
    // Free hours read are ranges within a day, never of no length.
    if (const auto ranges = pulo::ParseFreeHours(ValueOf(lines, QStringLiteral("FreeHours"))))
        for (const pulo::TFreeRange& range : *ranges)
            if (range.From < 0 || range.From >= 1440 || range.To <= 0 || range.To > 1440 || range.From == range.To)
                __builtin_trap();
    const pulo::TFreeTime free =
        pulo::FreeTimeOf(ValueOf(lines, QStringLiteral("FreeHours")), ValueOf(lines, QStringLiteral("FreeDays")));
    (void)pulo::FreeTimeText(free);
    // Any moment lies in the period found for it, which ends after it starts; the one before it
    // ends where it starts.
    pulo::TPeriodRule rule;
    rule.Kind = pulo::TPeriodKind::Days;
    rule.Days = ValueOf(lines, QStringLiteral("PeriodDays")).toInt();
    rule.Start = pulo::ParsePlanMoment(ValueOf(lines, QStringLiteral("PeriodStart")));
    const QDateTime at = pulo::ParsePlanMoment(ValueOf(lines, QStringLiteral("At")));
    if (!rule.Start.isValid() || !at.isValid())
        return 0;
    (void)free.Holds(at);
    const pulo::TBillingPeriod period = pulo::PeriodOf(rule, at);
    if (!period.Holds(at) || period.Until() <= period.From())
        __builtin_trap();
    if (const auto before = pulo::PeriodBefore(rule, period); !before || before->Until() != period.From())
        __builtin_trap();
    return 0;
}
