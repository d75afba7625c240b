#include "common/FreeTime.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <QTime>

#include <algorithm>
#include <array>

namespace pulo {

namespace {

constexpr int DayMinutes = 24 * 60;

const std::array<QString, 7>& DayNames()
{
    static const std::array<QString, 7> names{QStringLiteral("mon"), QStringLiteral("tue"), QStringLiteral("wed"),
                                              QStringLiteral("thu"), QStringLiteral("fri"), QStringLiteral("sat"),
                                              QStringLiteral("sun")};
    return names;
}

std::optional<int> MinuteOf(const QString& text)
{
    if (text.trimmed() == QStringLiteral("24:00"))
        return DayMinutes;
    const QTime time = QTime::fromString(text.trimmed(), QStringLiteral("H:mm"));
    if (!time.isValid())
        return std::nullopt;
    return time.hour() * 60 + time.minute();
}

QString MinuteText(int minute)
{
    return QStringLiteral("%1:%2").arg(minute / 60, 2, 10, QLatin1Char('0')).arg(minute % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

bool TFreeTime::Holds(const QDateTime& at) const
{
    if (!Any())
        return false;
    const QDateTime local = at.toLocalTime();
    if ((Days & (1U << local.date().dayOfWeek())) != 0)
        return true;
    const int minute = local.time().hour() * 60 + local.time().minute();
    for (const TFreeRange& range : Ranges) {
        const bool inside = range.From < range.To ? minute >= range.From && minute < range.To
                                                  : minute >= range.From || minute < range.To;
        if (inside)
            return true;
    }
    return false;
}

std::optional<std::vector<TFreeRange>> ParseFreeHours(const QString& text)
{
    std::vector<TFreeRange> ranges;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (part.trimmed().isEmpty())
            continue;
        const QStringList ends = part.split(QLatin1Char('-'));
        if (ends.size() != 2)
            return std::nullopt;
        const std::optional<int> from = MinuteOf(ends[0]);
        const std::optional<int> to = MinuteOf(ends[1]);
        if (!from || !to || *from == *to || *from == DayMinutes)
            return std::nullopt;
        ranges.push_back({*from, *to == 0 ? DayMinutes : *to});
    }
    return ranges;
}

std::optional<std::uint8_t> ParseFreeDays(const QString& text)
{
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    static const QLocale english(QLocale::English);
    std::uint8_t days = 0;
    for (const QString& part : text.split(separators, Qt::SkipEmptyParts)) {
        const QString word = part.toLower();
        const auto day = std::find_if(DayNames().begin(), DayNames().end(), [&](const QString& name) {
            const int number = static_cast<int>(&name - DayNames().data()) + 1;
            return word == name || word == english.dayName(number).toLower();
        });
        if (day == DayNames().end())
            return std::nullopt;
        days |= static_cast<std::uint8_t>(1U << (day - DayNames().begin() + 1));
    }
    return days;
}

TFreeTime FreeTimeOf(const QString& hours, const QString& days)
{
    TFreeTime free;
    free.Ranges = ParseFreeHours(hours).value_or(std::vector<TFreeRange>{});
    free.Days = ParseFreeDays(days).value_or(0);
    return free;
}

QString FreeTimeText(const TFreeTime& free)
{
    QStringList parts;
    for (const TFreeRange& range : free.Ranges)
        parts << QStringLiteral("%1-%2").arg(MinuteText(range.From), MinuteText(range.To));
    QStringList days;
    for (std::size_t i = 0; i < DayNames().size(); ++i)
        if ((free.Days & (1U << (i + 1))) != 0)
            days << DayNames()[i];
    if (!days.isEmpty())
        parts << days.join(QStringLiteral(", "));
    return parts.isEmpty() ? QString() : parts.join(QStringLiteral(" and ")) + QStringLiteral(" free");
}

} // namespace pulo
