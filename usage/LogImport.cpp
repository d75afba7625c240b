#include "usage/LogImport.h"

#include "common/FormatSettings.h"
#include "common/NumberText.h"

#include <QRegularExpression>

#include <cmath>

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

std::optional<std::int64_t> Duration(const QString& text)
{
    const QStringList parts = text.trimmed().split(QLatin1Char(':'));
    if (parts.size() != 3)
        return std::nullopt;
    bool ok[3] = {};
    const std::int64_t hours = parts[0].trimmed().toLongLong(&ok[0]);
    const int minutes = parts[1].toInt(&ok[1]);
    const int seconds = parts[2].toInt(&ok[2]);
    if (!ok[0] || !ok[1] || !ok[2] || hours < 0 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59)
        return std::nullopt;
    return hours * 3600 + minutes * 60 + seconds;
}

std::optional<std::int64_t> Bytes(const QString& kilobytes)
{
    const std::optional<double> value = TryStrToFloat(kilobytes.trimmed());
    if (!value || *value < 0 || !std::isfinite(*value))
        return std::nullopt;
    return static_cast<std::int64_t>(std::llround(*value * 1000));
}

std::optional<TUsageConnection> ConnectionOf(const QString& line)
{
    const QStringList fields = line.split(Bullet);
    if (fields.size() < 6)
        return std::nullopt;
    const FormatSettings& format = CurrentFormat();
    const QDate date = QDate::fromString(fields[0], format.ShortDateFormat);
    const QStringList times = fields[1].split(Arrow);
    if (!date.isValid() || times.size() != 2)
        return std::nullopt;
    const QTime start = QTime::fromString(times[0], format.LongTimeFormat);
    const std::optional<std::int64_t> seconds = Duration(fields[2]);
    const std::optional<std::int64_t> sent = Bytes(fields[3]);
    const std::optional<std::int64_t> received = Bytes(fields[4]);
    if (!start.isValid() || !seconds || !sent || !received)
        return std::nullopt;
    TUsageConnection connection;
    connection.Start = QDateTime(date, start); // local time, as the log was written
    connection.Start = connection.Start.toOffsetFromUtc(connection.Start.offsetFromUtc());
    connection.End = connection.Start.addSecs(*seconds);
    connection.End = connection.End.toLocalTime().toOffsetFromUtc(connection.End.toLocalTime().offsetFromUtc());
    connection.Seconds = *seconds;
    connection.Sent = *sent;
    connection.Received = *received;
    connection.Entry = fields.mid(5).join(Bullet);
    return connection;
}

} // namespace

TLogImport ImportLogLines(const QStringList& lines)
{
    TLogImport import;
    for (const QString& line : lines) {
        if (line.trimmed().isEmpty() || IsTotalsLine(line))
            continue;
        if (const std::optional<TUsageConnection> connection = ConnectionOf(line))
            import.Connections.push_back(*connection);
        else
            ++import.Unreadable;
    }
    return import;
}

} // namespace pulo
