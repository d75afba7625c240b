// Which programs used each connection, as the usage history keeps it.

#include "usage/HistoryPrograms.h"

#include "usage/HistoryStore.h"
#include "usage/ProgramsReport.h"

#include <QSqlDatabase>
#include <QSqlError>

namespace pulo {

namespace history {

namespace {

// An empty text as the table keeps it: a text, never NULL.
QString Text(const QString& text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

} // namespace

bool WritePrograms(QSqlQuery& query, std::int64_t connection, const std::vector<TProgramRow>& rows)
{
    query.prepare(QStringLiteral("DELETE FROM programs WHERE connection = ?"));
    query.addBindValue(static_cast<qlonglong>(connection));
    if (!query.exec())
        return false;
    query.prepare(QStringLiteral("INSERT INTO programs(connection, day, program, path, other, received, sent)"
                                 " VALUES(?, ?, ?, ?, ?, ?, ?)"));
    for (const TProgramRow& row : rows) {
        query.addBindValue(static_cast<qlonglong>(connection));
        query.addBindValue(row.Day.toString(Qt::ISODate));
        query.addBindValue(Text(row.Program));
        query.addBindValue(Text(row.Path));
        query.addBindValue(row.Other ? 1 : 0);
        query.addBindValue(static_cast<qlonglong>(row.Received));
        query.addBindValue(static_cast<qlonglong>(row.Sent));
        if (!query.exec())
            return false;
    }
    return true;
}

bool SettlePrograms(QSqlQuery& query, std::int64_t connection, std::int64_t addSent, std::int64_t addReceived)
{
    query.prepare(QStringLiteral("UPDATE programs SET sent = max(0, sent + ?), received = max(0, received + ?)"
                                 " WHERE connection = ? AND other = 1 AND day ="
                                 " (SELECT max(day) FROM programs WHERE connection = ?)"));
    query.addBindValue(static_cast<qlonglong>(addSent));
    query.addBindValue(static_cast<qlonglong>(addReceived));
    query.addBindValue(static_cast<qlonglong>(connection));
    query.addBindValue(static_cast<qlonglong>(connection));
    return query.exec();
}

} // namespace history

namespace {

std::vector<TProgramRow> Summed(QSqlQuery& query)
{
    std::vector<TProgramRow> rows;
    while (query.next())
        rows.push_back({QDate(), query.value(0).toString(), query.value(1).toString(), query.value(2).toInt() != 0,
                        query.value(3).toLongLong(), query.value(4).toLongLong()});
    return ByProgram(rows);
}

} // namespace

std::vector<TProgramRow> THistoryStore::ProgramsOf(std::int64_t connection) const
{
    return ByProgram(ProgramDaysOf(connection));
}

std::vector<TProgramRow> THistoryStore::ProgramDaysOf(std::int64_t connection) const
{
    std::vector<TProgramRow> rows;
    if (!Usable)
        return rows;
    QSqlQuery query(QSqlDatabase::database(ConnectionName));
    query.prepare(QStringLiteral("SELECT day, program, path, other, received, sent FROM programs WHERE connection = ?"
                                 " ORDER BY day, other, received + sent DESC, program, path"));
    query.addBindValue(static_cast<qlonglong>(connection));
    if (query.exec()) {
        while (query.next())
            rows.push_back({QDate::fromString(query.value(0).toString(), Qt::ISODate), query.value(1).toString(),
                            query.value(2).toString(), query.value(3).toInt() != 0, query.value(4).toLongLong(),
                            query.value(5).toLongLong()});
    }
    return rows;
}

std::vector<TProgramRow> THistoryStore::ProgramsOn(const QDate& first, const QDate& last) const
{
    if (!Usable)
        return {};
    QSqlQuery query(QSqlDatabase::database(ConnectionName));
    query.prepare(
        QStringLiteral("SELECT program, path, other, received, sent FROM programs WHERE day >= ? AND day <= ?"));
    query.addBindValue(first.toString(Qt::ISODate));
    query.addBindValue(last.toString(Qt::ISODate));
    return query.exec() ? Summed(query) : std::vector<TProgramRow>();
}

} // namespace pulo
