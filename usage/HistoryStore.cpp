#include "usage/HistoryStore.h"

#include "usage/HistoryColumns.h"
#include "usage/HistoryHours.h"
#include "usage/HistoryPrograms.h"
#include "usage/HistorySchema.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUuid>
#include <QVariant>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace pulo {

namespace {

TUsageConnection ConnectionOf(const QSqlQuery& query)
{
    TUsageConnection connection;
    connection.Id = query.value(0).toLongLong();
    connection.Start = FromColumns(query.value(1), query.value(2));
    connection.End = FromColumns(query.value(3), query.value(4));
    connection.Seconds = query.value(5).toLongLong();
    connection.Sent = query.value(6).toLongLong();
    connection.Received = query.value(7).toLongLong();
    connection.Entry = query.value(8).toString();
    connection.Interface = query.value(9).toString();
    connection.InProgress = query.value(10).toInt() != 0;
    connection.Device = query.value(11).toString();
    connection.FreeSent = query.value(12).toLongLong();
    connection.FreeReceived = query.value(13).toLongLong();
    return connection;
}

// The columns are NOT NULL; a null text (no device, no name) is stored as an empty one.
QString Text(const QString& text)
{
    return text.isNull() ? QString::fromLatin1("") : text;
}

const char* const ConnectionColumns = "id, start_utc, start_offset, end_utc, end_offset, seconds, sent, received, "
                                      "entry, interface, in_progress, device, free_sent, free_received";

} // namespace

THistoryStore::THistoryStore(QString path)
    : FilePath(std::move(path)), ConnectionName(QStringLiteral("history-") + QUuid::createUuid().toString())
{
}

THistoryStore::~THistoryStore()
{
    if (QSqlDatabase::contains(ConnectionName)) {
        QSqlDatabase::database(ConnectionName, false).close();
        QSqlDatabase::removeDatabase(ConnectionName);
    }
}

bool THistoryStore::Fail(const QString& what)
{
    LastProblem = QStringLiteral("The usage history %1 cannot be used: %2.")
                      .arg(FilePath, what.isEmpty() ? QStringLiteral("an unknown error") : what);
    Usable = false;
    return false;
}

bool THistoryStore::RollBack(QSqlDatabase& database, const QSqlQuery& query)
{
    const QString error = query.lastError().text();
    database.rollback();
    return Fail(error);
}

bool THistoryStore::OpenFile(TAccess access)
{
    if (QSqlDatabase::contains(ConnectionName)) {
        QSqlDatabase::database(ConnectionName, false).close();
        QSqlDatabase::removeDatabase(ConnectionName);
    }
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), ConnectionName);
    if (!database.isValid())
        return Fail(QStringLiteral("the SQLite driver of Qt is not installed"));
    database.setDatabaseName(FilePath);
    // The writer runs on a thread of its own and tries again later; it waits only briefly, so that
    // the program can always end soon.
    database.setConnectOptions(access == TAccess::ReadOnly
                                   ? QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000")
                                   : QStringLiteral("QSQLITE_BUSY_TIMEOUT=1000"));
    if (!database.open())
        return Fail(database.lastError().text());
    // A history of years is a few megabytes at most, read in order: a small page cache serves it,
    // and the program holds no more of it than that while it sits in the tray.
    QSqlQuery(database).exec(QStringLiteral("PRAGMA cache_size=-256"));
    return true;
}

bool THistoryStore::Damaged() const
{
    QSqlQuery check(QSqlDatabase::database(ConnectionName));
    const bool damaged = !check.exec(QStringLiteral("PRAGMA integrity_check")) || !check.next() ||
                         check.value(0).toString() != QStringLiteral("ok");
    // The check read every page: they are not kept for the program's life.
    check.exec(QStringLiteral("PRAGMA shrink_memory"));
    return damaged;
}

void THistoryStore::SetAside(const QString& why)
{
    QSqlDatabase::database(ConnectionName, false).close();
    const QString aside = FilePath + QStringLiteral(".damaged-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QFile::rename(FilePath, aside);
    for (const char* companion : {"-wal", "-shm"})
        QFile::rename(FilePath + QLatin1String(companion), aside + QLatin1String(companion));
    LastProblem = QStringLiteral("The usage history %1 was damaged (%2). It was kept as %3 and a new one begun; "
                                 "the settings file and the log are untouched.")
                      .arg(FilePath, why, aside);
}

namespace {

// SQLite's "busy" and "locked": another connection holds the file for the moment.
bool HeldByAnother(const QSqlError& error)
{
    return error.nativeErrorCode() == QStringLiteral("5") || error.nativeErrorCode() == QStringLiteral("6");
}

} // namespace

bool THistoryStore::PrepareForWriting()
{
    // SQLite does not wait for every lock (a switch to the write-ahead log, a write lock wanted by
    // two readers): another opener making the same history holds it for a moment, and this one
    // waits a little for it.
    constexpr int Attempts = 20;
    for (int attempt = 1;; ++attempt) {
        QSqlQuery query(QSqlDatabase::database(ConnectionName));
        bool busy = false;
        if (query.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) {
            query.finish();
            if (Migrate(busy))
                return true;
        } else {
            busy = HeldByAnother(query.lastError());
            Fail(query.lastError().text());
        }
        if (!busy || attempt == Attempts)
            return false;
        QThread::msleep(50);
    }
}

bool THistoryStore::Migrate(bool& busy)
{
    QSqlDatabase database = QSqlDatabase::database(ConnectionName);
    QSqlQuery query(database);
    // The version is read holding the write lock: another opener (the window's reader bringing a
    // new or old history up to date, the command line) may be making the same file this moment,
    // and both would make its tables.
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        busy = HeldByAnother(query.lastError());
        return Fail(query.lastError().text());
    }
    const auto failed = [&](const QString& why) {
        busy = HeldByAnother(query.lastError());
        QSqlQuery(database).exec(QStringLiteral("ROLLBACK"));
        return Fail(why);
    };
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return failed(query.lastError().text());
    const int version = query.value(0).toInt();
    query.finish();
    if (version > SchemaVersion)
        return failed(QStringLiteral("it was written by a newer PuloPro (schema %1)").arg(version));
    for (int step = version; step < SchemaVersion; ++step)
        for (const char* statement : history::SchemaStep(step))
            if (statement != nullptr && !query.exec(QString::fromLatin1(statement)))
                return failed(query.lastError().text());
    if (!query.exec(QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion)) ||
        !query.exec(QStringLiteral("COMMIT")))
        return failed(query.lastError().text());
    return true;
}

bool THistoryStore::Open(TAccess access)
{
    LastProblem.clear();
    Writable = access == TAccess::ReadWrite;
    if (!Writable && !QFileInfo::exists(FilePath))
        return Fail(QStringLiteral("there is none yet"));
    // A folder, a pipe, a device or a link that leads nowhere would hang or fail inside SQLite;
    // only a regular file (or none yet) is opened.
    const QFileInfo file(FilePath);
    if ((file.exists() || file.isSymLink()) && !(file.exists() && file.isFile()))
        return Fail(QStringLiteral("it is not a regular file"));
    if (!OpenFile(access))
        return false;
    if (Damaged()) {
        if (!Writable)
            return Fail(QStringLiteral("it is damaged"));
        SetAside(QStringLiteral("it failed its integrity check"));
        const QString setAside = LastProblem;
        if (!OpenFile(access))
            return false;
        LastProblem = setAside;
    }
    if (Writable) {
        if (!PrepareForWriting())
            return false;
    } else if (SchemaOf() < SchemaVersion) {
        // A history of an older PuloPro that no window has opened since: brought up to date as the
        // window would, so that a reader (the command line) reads it as it reads any other.
        THistoryStore writer(FilePath);
        if (!writer.Open(TAccess::ReadWrite)) {
            LastProblem = writer.Problem();
            return false;
        }
        if (!OpenFile(access))
            return false;
    }
    Usable = true;
    return true;
}

int THistoryStore::SchemaOf() const
{
    QSqlQuery query(QSqlDatabase::database(ConnectionName));
    return query.exec(QStringLiteral("PRAGMA user_version")) && query.next() ? query.value(0).toInt() : 0;
}

std::int64_t THistoryStore::BeginConnection(const QDateTime& start,
                                            const QString& entry,
                                            const QString& interface,
                                            const QString& device)
{
    if (!Usable || !Writable)
        return 0;
    QSqlQuery query(QSqlDatabase::database(ConnectionName));
    query.prepare(QStringLiteral(
        "INSERT INTO connections(start_utc, start_offset, end_utc, end_offset, seconds, sent, received, entry,"
        " interface, in_progress, device) VALUES(?, ?, ?, ?, 0, 0, 0, ?, ?, 1, ?)"));
    query.addBindValue(start.toSecsSinceEpoch());
    query.addBindValue(start.offsetFromUtc());
    query.addBindValue(start.toSecsSinceEpoch());
    query.addBindValue(start.offsetFromUtc());
    query.addBindValue(Text(entry));
    query.addBindValue(Text(interface));
    query.addBindValue(Text(device));
    if (!query.exec()) {
        Fail(query.lastError().text());
        return 0;
    }
    return query.lastInsertId().toLongLong();
}

bool THistoryStore::UpdateConnection(std::int64_t id,
                                     const QDateTime& now,
                                     std::int64_t sent,
                                     std::int64_t received,
                                     bool ended,
                                     const QDateTime& start,
                                     const std::vector<TProgramRow>* programs,
                                     const TFreeBytes* free)
{
    if (!Usable || !Writable || id == 0)
        return false;
    QSqlDatabase database = QSqlDatabase::database(ConnectionName);
    QSqlQuery query(database);
    query.prepare(QStringLiteral("SELECT %1 FROM connections WHERE id = ?").arg(QLatin1String(ConnectionColumns)));
    query.addBindValue(static_cast<qlonglong>(id));
    if (!query.exec() || !query.next())
        return Fail(query.lastError().text());
    const TUsageConnection before = ConnectionOf(query);
    query.finish();
    const QDateTime began = start.isValid() ? start : before.Start;
    // In the whole seconds the row keeps.
    const std::int64_t secondsNow = std::max<std::int64_t>(0, now.toSecsSinceEpoch() - began.toSecsSinceEpoch());
    // What came since the last write, shared out over the hours it spans.
    const std::int64_t addSeconds = std::max<std::int64_t>(0, secondsNow - before.Seconds);
    std::int64_t from = before.End.toSecsSinceEpoch();
    std::int64_t to = std::max<std::int64_t>(from, now.toSecsSinceEpoch());
    // A start that moved says the wall clock was stepped since: what came is put in the seconds
    // before now that the connection truly lasted, not in the hours the clock skipped or
    // went back over; and what was shared out before moves with the start.
    const std::int64_t shift = began.toSecsSinceEpoch() - before.Start.toSecsSinceEpoch();
    if (shift != 0) {
        to = now.toSecsSinceEpoch();
        from = to - addSeconds;
    }
    const std::int64_t addSent = std::max<std::int64_t>(0, sent - before.Sent);
    const std::int64_t addReceived = std::max<std::int64_t>(0, received - before.Received);

    if (!database.transaction())
        return Fail(database.lastError().text());
    const auto abandon = [&] { return RollBack(database, query); };
    query.prepare(QStringLiteral("UPDATE connections SET start_utc = ?, start_offset = ?, end_utc = ?, end_offset = ?,"
                                 " seconds = ?, sent = ?, received = ?, in_progress = ? WHERE id = ?"));
    query.addBindValue(began.toSecsSinceEpoch());
    query.addBindValue(began.offsetFromUtc());
    query.addBindValue(now.toSecsSinceEpoch());
    query.addBindValue(now.offsetFromUtc());
    query.addBindValue(static_cast<qlonglong>(secondsNow));
    query.addBindValue(static_cast<qlonglong>(std::max(sent, before.Sent)));
    query.addBindValue(static_cast<qlonglong>(std::max(received, before.Received)));
    query.addBindValue(ended ? 0 : 1);
    query.addBindValue(static_cast<qlonglong>(id));
    if (!query.exec())
        return abandon();
    if (!history::MoveHours(query, id, before.Start.toSecsSinceEpoch(), before.End.toSecsSinceEpoch(), shift) ||
        !history::AddToHours(query, id, from, to, addSeconds, addSent, addReceived))
        return abandon();
    if (programs != nullptr && !history::WritePrograms(query, id, *programs))
        return abandon();
    if (free != nullptr) {
        query.prepare(QStringLiteral("UPDATE connections SET free_sent = ?, free_received = ? WHERE id = ?"));
        query.addBindValue(
            static_cast<qlonglong>(std::clamp<std::int64_t>(free->Sent, 0, std::max(sent, before.Sent))));
        query.addBindValue(
            static_cast<qlonglong>(std::clamp<std::int64_t>(free->Received, 0, std::max(received, before.Received))));
        query.addBindValue(static_cast<qlonglong>(id));
        if (!query.exec())
            return abandon();
    }
    if (!database.commit())
        return abandon();
    return true;
}

bool THistoryStore::InsertFinished(QSqlQuery& query, const std::vector<TUsageConnection>& connections)
{
    query.prepare(QStringLiteral(
        "INSERT INTO connections(start_utc, start_offset, end_utc, end_offset, seconds, sent, received, entry,"
        " interface, in_progress, device) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, 0, ?)"));
    for (const TUsageConnection& connection : connections) {
        query.addBindValue(connection.Start.toSecsSinceEpoch());
        query.addBindValue(connection.Start.offsetFromUtc());
        query.addBindValue(connection.End.toSecsSinceEpoch());
        query.addBindValue(connection.End.offsetFromUtc());
        query.addBindValue(static_cast<qlonglong>(connection.Seconds));
        query.addBindValue(static_cast<qlonglong>(connection.Sent));
        query.addBindValue(static_cast<qlonglong>(connection.Received));
        query.addBindValue(Text(connection.Entry));
        query.addBindValue(Text(connection.Interface));
        query.addBindValue(Text(connection.Device));
        if (!query.exec())
            return false;
    }
    return true;
}

bool THistoryStore::AddImported(const std::vector<TUsageConnection>& connections)
{
    if (!Usable || !Writable)
        return false;
    // The rows and the mark that they were taken in go together: a kill between the two would
    // otherwise import the log twice.
    QSqlDatabase database = QSqlDatabase::database(ConnectionName);
    if (!database.transaction())
        return Fail(database.lastError().text());
    QSqlQuery query(database);
    if (!InsertFinished(query, connections) ||
        !query.exec(QStringLiteral("INSERT OR REPLACE INTO facts(key, value) VALUES('log_imported', '1')")))
        return RollBack(database, query);
    return database.commit() || Fail(database.lastError().text());
}

QString THistoryStore::Fact(const QString& key) const
{
    if (!Usable)
        return QString();
    QSqlQuery query(QSqlDatabase::database(ConnectionName));
    query.prepare(QStringLiteral("SELECT value FROM facts WHERE key = ?"));
    query.addBindValue(key);
    return query.exec() && query.next() ? query.value(0).toString() : QString();
}

bool THistoryStore::SetFact(const QString& key, const QString& value)
{
    if (!Usable || !Writable)
        return false;
    QSqlQuery query(QSqlDatabase::database(ConnectionName));
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO facts(key, value) VALUES(?, ?)"));
    query.addBindValue(key);
    // An empty fact is stored as empty text: a null one would be refused, and refused again at
    // every try, holding up every write behind it.
    query.addBindValue(value.isNull() ? QStringLiteral("") : value);
    return query.exec() || Fail(query.lastError().text());
}

bool THistoryStore::LogImported() const
{
    if (!Usable)
        return false;
    QSqlQuery query(QSqlDatabase::database(ConnectionName));
    return query.exec(QStringLiteral("SELECT 1 FROM facts WHERE key = 'log_imported'")) && query.next();
}

bool THistoryStore::ReconcileAbandoned(const std::vector<TUsageConnection>& logged)
{
    if (!Usable || !Writable)
        return false;
    std::vector<TUsageConnection> abandoned;
    if (!ForEachWhere(" AND in_progress = 1", std::numeric_limits<std::int64_t>::min(),
                      std::numeric_limits<std::int64_t>::max(), [&](const TUsageConnection& row) {
                          abandoned.push_back(row);
                          return true;
                      }))
        return Fail(QStringLiteral("its connections could not be read"));
    if (abandoned.empty())
        return true;
    QSqlDatabase database = QSqlDatabase::database(ConnectionName);
    QSqlQuery query(database);
    if (!database.transaction())
        return Fail(database.lastError().text());
    const auto abandon = [&] { return RollBack(database, query); };
    for (const TUsageConnection& row : abandoned) {
        query.prepare(QStringLiteral("DELETE FROM hours WHERE connection = ?"));
        query.addBindValue(static_cast<qlonglong>(row.Id));
        if (!query.exec())
            return abandon();
        // The log's line of the same start and entry is the connection as it was counted (the
        // log writer gives the start to the second; a second either way is the same start).
        const auto line = std::find_if(logged.begin(), logged.end(), [&](const TUsageConnection& candidate) {
            return candidate.Entry == row.Entry && std::abs(candidate.Start.secsTo(row.Start)) <= 1;
        });
        if (line == logged.end()) {
            query.prepare(QStringLiteral("DELETE FROM programs WHERE connection = ?"));
            query.addBindValue(static_cast<qlonglong>(row.Id));
            if (!query.exec())
                return abandon();
            query.prepare(QStringLiteral("DELETE FROM connections WHERE id = ?"));
        } else {
            if (!history::SettlePrograms(query, row.Id, line->Sent - row.Sent, line->Received - row.Received))
                return abandon();
            query.prepare(QStringLiteral("UPDATE connections SET end_utc = ?, end_offset = ?, seconds = ?, sent = ?,"
                                         " received = ?, in_progress = 0 WHERE id = ?"));
            query.addBindValue(line->End.toSecsSinceEpoch());
            query.addBindValue(line->End.offsetFromUtc());
            query.addBindValue(static_cast<qlonglong>(line->Seconds));
            query.addBindValue(static_cast<qlonglong>(line->Sent));
            query.addBindValue(static_cast<qlonglong>(line->Received));
        }
        query.addBindValue(static_cast<qlonglong>(row.Id));
        if (!query.exec())
            return abandon();
    }
    return database.commit() || abandon();
}

bool THistoryStore::HasAbandoned() const
{
    if (!Usable)
        return false;
    QSqlQuery query(QSqlDatabase::database(ConnectionName));
    return query.exec(QStringLiteral("SELECT 1 FROM connections WHERE in_progress = 1 LIMIT 1")) && query.next();
}

bool THistoryStore::IsEmpty() const
{
    if (!Usable)
        return true;
    QSqlQuery query(QSqlDatabase::database(ConnectionName));
    return !query.exec(QStringLiteral("SELECT 1 FROM connections LIMIT 1")) || !query.next();
}

bool THistoryStore::ForEachWhere(const char* condition,
                                 std::int64_t fromUtc,
                                 std::int64_t toUtc,
                                 const std::function<bool(const TUsageConnection&)>& each) const
{
    if (!Usable)
        return false;
    QSqlQuery query(QSqlDatabase::database(ConnectionName));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM connections c WHERE start_utc >= ? AND start_utc < ?%2"
                                 " ORDER BY start_utc, id")
                      .arg(QLatin1String(ConnectionColumns), QLatin1String(condition)));
    query.addBindValue(static_cast<qlonglong>(fromUtc));
    query.addBindValue(static_cast<qlonglong>(toUtc));
    if (!query.exec())
        return false;
    while (query.next())
        if (!each(ConnectionOf(query)))
            return false;
    return query.lastError().type() == QSqlError::NoError;
}

std::vector<TUsageConnection>
THistoryStore::ConnectionsWhere(const char* condition, const QDateTime& from, const QDateTime& to) const
{
    std::vector<TUsageConnection> found;
    (void)ForEachWhere(condition, from.toSecsSinceEpoch(), to.toSecsSinceEpoch(), [&](const TUsageConnection& row) {
        found.push_back(row);
        return true;
    });
    return found;
}

std::vector<TUsageConnection> THistoryStore::Connections(const QDateTime& from, const QDateTime& to) const
{
    return ConnectionsWhere("", from, to);
}

bool THistoryStore::ForEachConnection(std::int64_t fromUtc,
                                      std::int64_t toUtc,
                                      const std::function<bool(const TUsageConnection&)>& each) const
{
    return ForEachWhere("", fromUtc, toUtc, each);
}

std::vector<TUsageConnection> THistoryStore::ConnectionsWithoutHours(const QDateTime& from, const QDateTime& to) const
{
    return ConnectionsWhere(" AND NOT EXISTS (SELECT 1 FROM hours h WHERE h.connection = c.id)", from, to);
}

std::vector<TUsageHour> THistoryStore::Hours(const QDateTime& from, const QDateTime& to) const
{
    return HoursWhere(from, to, false);
}

std::vector<TUsageHour> THistoryStore::FinishedHours(const QDateTime& from, const QDateTime& to) const
{
    return HoursWhere(from, to, true);
}

std::vector<TUsageHour> THistoryStore::HoursWhere(const QDateTime& from, const QDateTime& to, bool finished) const
{
    std::vector<TUsageHour> found;
    if (!Usable)
        return found;
    QSqlQuery query(QSqlDatabase::database(ConnectionName));
    query.prepare(QStringLiteral("SELECT hour_utc, SUM(hours.seconds), SUM(hours.sent), SUM(hours.received) FROM hours"
                                 " JOIN connections ON connections.id = hours.connection"
                                 " WHERE hour_utc >= ? AND hour_utc < ?%1 GROUP BY hour_utc ORDER BY hour_utc")
                      .arg(finished ? QStringLiteral(" AND connections.in_progress = 0") : QString()));
    query.addBindValue(from.toSecsSinceEpoch());
    query.addBindValue(to.toSecsSinceEpoch());
    if (query.exec()) {
        while (query.next()) {
            found.push_back({QDateTime::fromSecsSinceEpoch(query.value(0).toLongLong(), Qt::UTC),
                             query.value(1).toLongLong(), query.value(2).toLongLong(), query.value(3).toLongLong()});
        }
    }
    return found;
}

std::optional<TUsageConnection> THistoryStore::Current() const
{
    if (!Usable)
        return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(ConnectionName));
    if (!query.exec(QStringLiteral("SELECT %1 FROM connections WHERE in_progress = 1 ORDER BY start_utc DESC LIMIT 1")
                        .arg(QLatin1String(ConnectionColumns))) ||
        !query.next())
        return std::nullopt;
    return ConnectionOf(query);
}

} // namespace pulo
