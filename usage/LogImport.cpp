#include "usage/LogImport.h"

#include "common/FormatSettings.h"
#include "common/NumberText.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

namespace pulo {

namespace {

const QString Bullet = QStringLiteral(" \u2022 ");
const QString Arrow = QStringLiteral(" \u2014> ");

bool IsTotalsLine(const QString& line)
{
    static const QRegularExpression totals(
        QStringLiteral("^ (-{75}|={75}|Month totals: |Connections       : |Time online       : |Megabytes sent    : "
                       "|Megabytes received: )"));
    return totals.match(line).hasMatch();
}

// Beyond these a line's figures cannot be true: a connection of more than a century, or more
// than a petabyte one way.
constexpr std::int64_t LongestHours = 24 * 366 * 100;
constexpr double LargestKilobytes = 1e12;

std::optional<std::int64_t> Duration(const QString& text)
{
    const QStringList parts = text.trimmed().split(QLatin1Char(':'));
    if (parts.size() != 3)
        return std::nullopt;
    bool ok[3] = {};
    const std::int64_t hours = parts[0].trimmed().toLongLong(&ok[0]);
    const int minutes = parts[1].toInt(&ok[1]);
    const int seconds = parts[2].toInt(&ok[2]);
    if (!ok[0] || !ok[1] || !ok[2] || hours < 0 || hours > LongestHours || minutes < 0 || minutes > 59 || seconds < 0 ||
        seconds > 59)
        return std::nullopt;
    return hours * 3600 + minutes * 60 + seconds;
}

std::optional<std::int64_t> Bytes(const QString& kilobytes)
{
    const std::optional<double> value = TryStrToFloat(kilobytes.trimmed());
    if (!value || !std::isfinite(*value) || *value < 0 || *value > LargestKilobytes)
        return std::nullopt;
    return static_cast<std::int64_t>(std::llround(*value * 1000));
}

// A log is written in the date and time formats of the desktop at the time; a user who changed
// them (or moved the log from another machine) has lines in another. The current formats come
// first, then the numeric and ISO ones this program may have written.
QStringList DateFormats()
{
    QStringList formats{CurrentFormat().ShortDateFormat};
    for (const char* format :
         {"dd/MM/yyyy", "MM/dd/yyyy", "d/M/yyyy", "M/d/yyyy", "dd.MM.yyyy", "d.M.yyyy", "yyyy-MM-dd", "dd-MM-yyyy",
          "yyyy/MM/dd", "dd/MM/yy", "MM/dd/yy", "d/M/yy", "M/d/yy", "dd.MM.yy", "d.M.yy"})
        if (!formats.contains(QLatin1String(format)))
            formats << QString::fromLatin1(format);
    return formats;
}

QStringList TimeFormats()
{
    QStringList formats{CurrentFormat().LongTimeFormat};
    for (const char* format : {"HH:mm:ss", "H:mm:ss", "hh:mm:ss AP", "h:mm:ss AP", "hh:mm:ss ap", "h:mm:ss ap"})
        if (!formats.contains(QLatin1String(format)))
            formats << QString::fromLatin1(format);
    return formats;
}

struct TLineFields final
{
    QString Date;
    QString Start;
    QStringList Fields;
};

std::optional<TLineFields> FieldsOf(const QString& line)
{
    const QStringList fields = line.split(Bullet);
    if (fields.size() < 6)
        return std::nullopt;
    const QStringList times = fields[1].split(Arrow);
    if (times.size() != 2)
        return std::nullopt;
    return TLineFields{fields[0], times[0], fields};
}

// The format that reads the most of the sample; the earlier one on a tie.
QString Reading(const QStringList& formats,
                const std::vector<QString>& sample,
                const std::function<bool(const QString&, const QString&)>& reads)
{
    QString best = formats.first();
    std::size_t bestCount = 0;
    for (const QString& format : formats) {
        const auto count = static_cast<std::size_t>(
            std::count_if(sample.begin(), sample.end(), [&](const QString& text) { return reads(text, format); }));
        if (count > bestCount) {
            best = format;
            bestCount = count;
        }
    }
    return best;
}

std::optional<TUsageConnection>
ConnectionOf(const TLineFields& line, const QString& dateFormat, const QString& timeFormat)
{
    QDate date = QDate::fromString(line.Date, dateFormat);
    // Qt reads a two-digit year as one of the 1900s; this program has written none of those.
    if (date.isValid() && !dateFormat.contains(QLatin1String("yyyy")) && date.year() < 1970)
        date = date.addYears(100);
    const QTime start = QTime::fromString(line.Start, timeFormat);
    const std::optional<std::int64_t> seconds = Duration(line.Fields[2]);
    const std::optional<std::int64_t> sent = Bytes(line.Fields[3]);
    const std::optional<std::int64_t> received = Bytes(line.Fields[4]);
    if (!date.isValid() || !start.isValid() || !seconds || !sent || !received)
        return std::nullopt;
    TUsageConnection connection;
    connection.Start = QDateTime(date, start); // local time, as the log was written
    connection.Start = connection.Start.toOffsetFromUtc(connection.Start.offsetFromUtc());
    connection.End = connection.Start.addSecs(*seconds);
    connection.End = connection.End.toLocalTime().toOffsetFromUtc(connection.End.toLocalTime().offsetFromUtc());
    connection.Seconds = *seconds;
    connection.Sent = *sent;
    connection.Received = *received;
    connection.Entry = line.Fields.mid(5).join(Bullet);
    return connection;
}

} // namespace

TLogImport ImportLogLines(const QStringList& lines)
{
    TLogImport import;
    std::vector<std::optional<TLineFields>> parsed;
    parsed.reserve(static_cast<std::size_t>(lines.size()));
    std::vector<QString> dates;
    std::vector<QString> starts;
    constexpr std::size_t SampleSize = 500;
    for (const QString& line : lines) {
        if (line.trimmed().isEmpty() || IsTotalsLine(line))
            continue;
        parsed.push_back(FieldsOf(line));
        if (parsed.back() && dates.size() < SampleSize) {
            dates.push_back(parsed.back()->Date);
            starts.push_back(parsed.back()->Start);
        }
    }
    if (dates.empty()) {
        import.Unreadable = static_cast<int>(parsed.size());
        return import;
    }
    // One reading for the whole file, so that 03/04/2024 is the same day on every line.
    const QString dateFormat = Reading(DateFormats(), dates, [](const QString& text, const QString& format) {
        return QDate::fromString(text, format).isValid();
    });
    const QString timeFormat = Reading(TimeFormats(), starts, [](const QString& text, const QString& format) {
        return QTime::fromString(text, format).isValid();
    });
    for (const std::optional<TLineFields>& line : parsed) {
        std::optional<TUsageConnection> connection;
        if (line)
            connection = ConnectionOf(*line, dateFormat, timeFormat);
        if (connection)
            import.Connections.push_back(*connection);
        else
            ++import.Unreadable;
    }
    return import;
}

} // namespace pulo
