// The user's corrections to the provider's meter, as the usage history keeps them.

#include "usage/HistoryColumns.h"
#include "usage/HistoryStore.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace pulo {

std::int64_t THistoryStore::AddAdjustment(const TUsageAdjustment& adjustment)
{
    if (!Usable || !Writable)
        return 0;
    QSqlQuery query(QSqlDatabase::database(ConnectionName));
    // The same figure given at the same moment is the same correction, whoever stores it first
    // (the command line that gave up waiting for a busy copy, or that copy).
    query.prepare(QStringLiteral("SELECT id FROM adjustments WHERE at_utc = ? AND provider = ?"));
    query.addBindValue(adjustment.At.toSecsSinceEpoch());
    query.addBindValue(static_cast<qlonglong>(adjustment.Provider));
    if (query.exec() && query.next())
        return query.value(0).toLongLong();
    query.finish();
    query.prepare(QStringLiteral("INSERT INTO adjustments(at_utc, at_offset, period_first, counted, provider)"
                                 " VALUES(?, ?, ?, ?, ?)"));
    query.addBindValue(adjustment.At.toSecsSinceEpoch());
    query.addBindValue(adjustment.At.offsetFromUtc());
    query.addBindValue(adjustment.PeriodFirst.toString(Qt::ISODate));
    query.addBindValue(static_cast<qlonglong>(adjustment.Counted));
    query.addBindValue(static_cast<qlonglong>(adjustment.Provider));
    if (!query.exec()) {
        Fail(query.lastError().text());
        return 0;
    }
    return query.lastInsertId().toLongLong();
}

bool THistoryStore::RemoveAdjustment(const QDateTime& at)
{
    if (!Usable || !Writable)
        return false;
    QSqlQuery query(QSqlDatabase::database(ConnectionName));
    query.prepare(QStringLiteral("DELETE FROM adjustments WHERE at_utc = ?"));
    query.addBindValue(at.toSecsSinceEpoch());
    return query.exec() || Fail(query.lastError().text());
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
    query.prepare(QStringLiteral("SELECT id FROM packs WHERE added_utc = ? AND bytes = ?"));
    query.addBindValue(pack.AddedAt.toSecsSinceEpoch());
    query.addBindValue(static_cast<qlonglong>(pack.Bytes));
    if (query.exec() && query.next())
        return query.value(0).toLongLong();
    query.finish();
    query.prepare(QStringLiteral("INSERT INTO packs(added_utc, added_offset, until_day, bytes, counted, period_first)"
                                 " VALUES(?, ?, ?, ?, ?, ?)"));
    query.addBindValue(pack.AddedAt.toSecsSinceEpoch());
    query.addBindValue(pack.AddedAt.offsetFromUtc());
    query.addBindValue(pack.Until.toString(Qt::ISODate));
    query.addBindValue(static_cast<qlonglong>(pack.Bytes));
    query.addBindValue(static_cast<qlonglong>(pack.CountedAtAdd));
    query.addBindValue(periodFirst.toString(Qt::ISODate));
    if (!query.exec()) {
        Fail(query.lastError().text());
        return 0;
    }
    return query.lastInsertId().toLongLong();
}

bool THistoryStore::RemovePack(const QDateTime& addedAt)
{
    if (!Usable || !Writable)
        return false;
    QSqlQuery query(QSqlDatabase::database(ConnectionName));
    query.prepare(QStringLiteral("DELETE FROM packs WHERE added_utc = ?"));
    query.addBindValue(addedAt.toSecsSinceEpoch());
    return query.exec() || Fail(query.lastError().text());
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
