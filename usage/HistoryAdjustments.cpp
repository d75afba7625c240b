// The user's corrections to the provider's meter and the add-on packs, as the usage history keeps
// them.

#include "usage/HistoryColumns.h"
#include "usage/HistoryStore.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <optional>

namespace pulo {

namespace {

// The id of the row `find` finds by key, or else of the one `insert` adds with values (none when
// that failed: the query says why). The same row given twice, by the command line that gave up
// waiting for a busy copy and by that copy, is kept once.
std::optional<std::int64_t> FindOrInsert(
    QSqlQuery& query, const QString& find, const QVariantList& key, const QString& insert, const QVariantList& values)
{
    query.prepare(find);
    for (const QVariant& value : key)
        query.addBindValue(value);
    if (query.exec() && query.next())
        return query.value(0).toLongLong();
    query.finish();
    query.prepare(insert);
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        return std::nullopt;
    return query.lastInsertId().toLongLong();
}

// Deletes the rows of the moment (seconds since the epoch, UTC) that the statement names.
bool DeleteAt(QSqlQuery& query, const QString& statement, const QDateTime& at)
{
    query.prepare(statement);
    query.addBindValue(at.toSecsSinceEpoch());
    return query.exec();
}

} // namespace

std::int64_t THistoryStore::AddAdjustment(const TUsageAdjustment& adjustment)
{
    if (!Usable || !Writable)
        return 0;
    QSqlQuery query(QSqlDatabase::database(ConnectionName));
    // The same figure given at the same moment is the same correction.
    const std::optional<std::int64_t> id = FindOrInsert(
        query, QStringLiteral("SELECT id FROM adjustments WHERE at_utc = ? AND provider = ?"),
        {adjustment.At.toSecsSinceEpoch(), static_cast<qlonglong>(adjustment.Provider)},
        QStringLiteral(
            "INSERT INTO adjustments(at_utc, at_offset, period_first, counted, provider) VALUES(?, ?, ?, ?, ?)"),
        {adjustment.At.toSecsSinceEpoch(), adjustment.At.offsetFromUtc(), adjustment.PeriodFirst.toString(Qt::ISODate),
         static_cast<qlonglong>(adjustment.Counted), static_cast<qlonglong>(adjustment.Provider)});
    if (!id)
        Fail(query.lastError().text());
    return id.value_or(0);
}

bool THistoryStore::RemoveAdjustment(const QDateTime& at)
{
    if (!Usable || !Writable)
        return false;
    QSqlQuery query(QSqlDatabase::database(ConnectionName));
    return DeleteAt(query, QStringLiteral("DELETE FROM adjustments WHERE at_utc = ?"), at) ||
           Fail(query.lastError().text());
}

std::vector<TUsageAdjustment> THistoryStore::Adjustments(const QDate& periodFirst) const
{
    std::vector<TUsageAdjustment> found;
    if (!Usable)
        return found;
    QSqlQuery query(QSqlDatabase::database(ConnectionName));
    query.prepare(QStringLiteral("SELECT id, at_utc, at_offset, counted, provider FROM adjustments"
                                 " WHERE period_first = ? ORDER BY at_utc, id"));
    query.addBindValue(periodFirst.toString(Qt::ISODate));
    if (query.exec()) {
        while (query.next())
            found.push_back({query.value(0).toLongLong(), FromColumns(query.value(1), query.value(2)), periodFirst,
                             query.value(3).toLongLong(), query.value(4).toLongLong()});
    }
    return found;
}

std::int64_t THistoryStore::AddPack(const TPack& pack, const QDate& periodFirst)
{
    if (!Usable || !Writable)
        return 0;
    QSqlQuery query(QSqlDatabase::database(ConnectionName));
    // The same pack added at the same moment is the same pack.
    const std::optional<std::int64_t> id = FindOrInsert(
        query, QStringLiteral("SELECT id FROM packs WHERE added_utc = ? AND bytes = ?"),
        {pack.AddedAt.toSecsSinceEpoch(), static_cast<qlonglong>(pack.Bytes)},
        QStringLiteral("INSERT INTO packs(added_utc, added_offset, until_day, bytes, counted, period_first)"
                       " VALUES(?, ?, ?, ?, ?, ?)"),
        {pack.AddedAt.toSecsSinceEpoch(), pack.AddedAt.offsetFromUtc(), pack.Until.toString(Qt::ISODate),
         static_cast<qlonglong>(pack.Bytes), static_cast<qlonglong>(pack.CountedAtAdd),
         periodFirst.toString(Qt::ISODate)});
    if (!id)
        Fail(query.lastError().text());
    return id.value_or(0);
}

bool THistoryStore::RemovePack(const QDateTime& addedAt)
{
    if (!Usable || !Writable)
        return false;
    QSqlQuery query(QSqlDatabase::database(ConnectionName));
    return DeleteAt(query, QStringLiteral("DELETE FROM packs WHERE added_utc = ?"), addedAt) ||
           Fail(query.lastError().text());
}

std::vector<TPack> THistoryStore::Packs(const QDate& periodFirst) const
{
    std::vector<TPack> found;
    if (!Usable || SchemaOf() < 7)
        return found;
    QSqlQuery query(QSqlDatabase::database(ConnectionName));
    query.prepare(QStringLiteral("SELECT id, added_utc, added_offset, until_day, bytes, counted FROM packs"
                                 " WHERE period_first = ? ORDER BY added_utc, id"));
    query.addBindValue(periodFirst.toString(Qt::ISODate));
    if (query.exec()) {
        while (query.next())
            found.push_back({query.value(0).toLongLong(), FromColumns(query.value(1), query.value(2)),
                             QDate::fromString(query.value(3).toString(), Qt::ISODate), query.value(4).toLongLong(),
                             query.value(5).toLongLong(), std::nullopt});
    }
    return found;
}

} // namespace pulo
