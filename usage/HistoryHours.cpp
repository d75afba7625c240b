#include "usage/HistoryHours.h"

#include <QVariant>

#include <algorithm>
#include <vector>

namespace pulo::history {

bool AddToHours(QSqlQuery& query,
                std::int64_t connection,
                std::int64_t from,
                std::int64_t to,
                std::int64_t seconds,
                std::int64_t sent,
                std::int64_t received)
{
    if (seconds <= 0 && sent <= 0 && received <= 0)
        return true;
    to = std::max(to, from);
    query.prepare(
        QStringLiteral("INSERT INTO hours(connection, hour_utc, seconds, sent, received) VALUES(?, ?, ?, ?, ?)"
                       " ON CONFLICT(connection, hour_utc) DO UPDATE SET seconds = seconds + excluded.seconds,"
                       " sent = sent + excluded.sent, received = received + excluded.received"));
    const std::int64_t span = std::max<std::int64_t>(1, to - from);
    std::int64_t givenSeconds = 0;
    std::int64_t givenSent = 0;
    std::int64_t givenReceived = 0;
    const std::int64_t firstHour = from - ((from % 3600) + 3600) % 3600;
    for (std::int64_t hour = firstHour; hour < std::max(to, from + 1); hour += 3600) {
        const bool last = hour + 3600 >= to;
        const std::int64_t overlap = std::min(to, hour + 3600) - std::max(from, hour);
        const auto share = [&](std::int64_t total, std::int64_t& given) {
            const std::int64_t part = last ? total - given : total * overlap / span;
            given += part;
            return static_cast<qlonglong>(part);
        };
        query.addBindValue(static_cast<qlonglong>(connection));
        query.addBindValue(static_cast<qlonglong>(hour));
        query.addBindValue(share(seconds, givenSeconds));
        query.addBindValue(share(sent, givenSent));
        query.addBindValue(share(received, givenReceived));
        if (!query.exec())
            return false;
    }
    return true;
}

bool MoveHours(QSqlQuery& query, std::int64_t connection, std::int64_t start, std::int64_t end, std::int64_t shift)
{
    if (shift == 0)
        return true;
    struct Row
    {
        std::int64_t Hour, Seconds, Sent, Received;
    };
    std::vector<Row> rows;
    query.prepare(QStringLiteral("SELECT hour_utc, seconds, sent, received FROM hours WHERE connection = ?"));
    query.addBindValue(static_cast<qlonglong>(connection));
    if (!query.exec())
        return false;
    while (query.next())
        rows.push_back({query.value(0).toLongLong(), query.value(1).toLongLong(), query.value(2).toLongLong(),
                        query.value(3).toLongLong()});
    query.finish();
    query.prepare(QStringLiteral("DELETE FROM hours WHERE connection = ?"));
    query.addBindValue(static_cast<qlonglong>(connection));
    if (!query.exec())
        return false;
    for (const Row& row : rows) {
        const std::int64_t from = std::clamp(start, row.Hour, row.Hour + 3599);
        const std::int64_t to = std::clamp(end, from + 1, row.Hour + 3600);
        if (!AddToHours(query, connection, from + shift, to + shift, row.Seconds, row.Sent, row.Received))
            return false;
    }
    return true;
}

} // namespace pulo::history
