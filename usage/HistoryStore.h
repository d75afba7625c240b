#pragma once

// The usage history: every connection, with its start and end as UTC instants and the local
// offset of each, its seconds and 64-bit bytes, its entry and interface, and per hour the time
// and bytes of each connection. Kept in an SQLite database beside the settings file
// ("pulopro.sqlite"), in WAL mode, one transaction per write, with a schema version and its
// migrations. The connection in progress is written at least every five minutes, so a crash or a
// power cut loses at most that much. The settings file and the log stay exactly as they are:
// this is an addition to them, never a replacement.

#include "usage/Packs.h"
#include "usage/ProgramLedger.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QSqlDatabase;
class QSqlQuery;

namespace pulo {

struct TUsageConnection final
{
    std::int64_t Id = 0;
    QDateTime Start; // with the local offset of the moment
    QDateTime End;
    std::int64_t Seconds = 0;
    std::int64_t Sent = 0; // bytes
    std::int64_t Received = 0;
    QString Entry;
    QString Interface;         // "ppp0", "wlan0"
    QString Device;            // the device's text: "Standard 56000 bps Modem", "Wi-Fi (wlan0)"
    bool InProgress = false;   // not ended (or the program ended without ending it)
    std::int64_t FreeSent = 0; // of Sent and Received, what came in the plan's free time
    std::int64_t FreeReceived = 0;
};

// A connection's traffic in the plan's free time so far, as the window tallies it each second.
struct TFreeBytes final
{
    std::int64_t Sent = 0;
    std::int64_t Received = 0;
};

// The user's correction to the provider's meter: at a moment of a billing period, what the period
// had counted then and what the provider said it had (bytes, what the limit counts). The latest
// of a period decides its counted figure from then on.
struct TUsageAdjustment final
{
    std::int64_t Id = 0;
    QDateTime At; // with the local offset of the moment
    QDate PeriodFirst;
    std::int64_t Counted = 0;
    std::int64_t Provider = 0;
};

struct TUsageHour final
{
    QDateTime Hour; // the hour's start, UTC
    std::int64_t Seconds = 0;
    std::int64_t Sent = 0;
    std::int64_t Received = 0;
};

class THistoryStore final
{
public:
    enum class TAccess
    {
        ReadWrite,
        ReadOnly, // another copy may be writing meanwhile (the command line)
    };
    // The schema this program writes; older databases are migrated when opened for writing.
    static constexpr int SchemaVersion = 8;

    explicit THistoryStore(QString path);
    ~THistoryStore();
    THistoryStore(const THistoryStore&) = delete;
    THistoryStore& operator=(const THistoryStore&) = delete;

    // Opens the database, made or migrated when writing. A damaged database (one that fails
    // its integrity check or is no database) is renamed aside, never emptied, and a new one is
    // begun; Problem() says so. False when it cannot be used at all (Problem() says why); for
    // reading, also when there is no database yet.
    bool Open(TAccess access);
    [[nodiscard]] bool IsOpen() const { return Usable; }
    // What went wrong, in words for the user; empty when nothing did.
    [[nodiscard]] const QString& Problem() const { return LastProblem; }
    [[nodiscard]] const QString& Path() const { return FilePath; }

    // A connection begins: its row is made, in progress. Returns its id, 0 on failure.
    [[nodiscard]] std::int64_t
    BeginConnection(const QDateTime& start, const QString& entry, const QString& interface, const QString& device = {});
    // The connection's figures so far (bytes since it began): its row and the hours the time since
    // the last write falls in (time and bytes shared out in proportion). ended closes the row.
    // start, when given, is where the connection now places its start (the present moment less
    // its length, after the clock was set): the row's start follows it, and its seconds are
    // counted from it.
    // programs, when given, are the connection's program rows as they now stand, written in the
    // same transaction; free, when given, its free traffic so far.
    bool UpdateConnection(std::int64_t id,
                          const QDateTime& now,
                          std::int64_t sent,
                          std::int64_t received,
                          bool ended,
                          const QDateTime& start = {},
                          const std::vector<TProgramRow>* programs = nullptr,
                          const TFreeBytes* free = nullptr);
    // Rows left in progress by a program that did not end them (a kill, a power cut): the log and
    // the month totals count a connection only at its end, so such a row takes the figures of
    // the log's line of the same start and entry when there is one (logged: the log's lines as
    // read by ImportLogLines), and is removed when there is none. False, with Problem(), when the
    // history could not be written; it is then as it was.
    bool ReconcileAbandoned(const std::vector<TUsageConnection>& logged);
    // The log's connections, with the mark that the log has been taken in, in one transaction.
    bool AddImported(const std::vector<TUsageConnection>& connections);
    // Whether the log has been taken in (a history that had rows before the mark existed has).
    [[nodiscard]] bool LogImported() const;
    // A fact the program keeps across its starts (which plan warnings were given); empty when
    // there is none or the history cannot be read.
    [[nodiscard]] QString Fact(const QString& key) const;
    // The corrections to the provider's meter: added (its id; 0 when it could not be written; the
    // same figure at the same moment is stored once, and its id returned again), removed by the
    // moment it was given (to the second), and those of a period, the oldest first.
    std::int64_t AddAdjustment(const TUsageAdjustment& adjustment);
    bool RemoveAdjustment(const QDateTime& at);
    [[nodiscard]] std::vector<TUsageAdjustment> Adjustments(const QDate& periodFirst) const;
    // Add-on packs of a period (never edited; removed by the moment they were added); AddPack's
    // row id, 0 on a failure. The same pack added at the same moment is stored once.
    std::int64_t AddPack(const TPack& pack, const QDate& periodFirst);
    bool RemovePack(const QDateTime& addedAt);
    [[nodiscard]] std::vector<TPack> Packs(const QDate& periodFirst) const;
    bool SetFact(const QString& key, const QString& value);

    [[nodiscard]] bool IsEmpty() const;
    // Whether rows were left in progress (see ReconcileAbandoned).
    [[nodiscard]] bool HasAbandoned() const;
    // Connections that began in [from, to), by start.
    [[nodiscard]] std::vector<TUsageConnection> Connections(const QDateTime& from, const QDateTime& to) const;
    // The same one at a time, as read (seconds since the epoch, UTC); each returns false to stop.
    // False when the history could not be read or each stopped.
    bool ForEachConnection(std::int64_t fromUtc,
                           std::int64_t toUtc,
                           const std::function<bool(const TUsageConnection&)>& each) const;
    // Hour sums of all connections in [from, to), by hour.
    [[nodiscard]] std::vector<TUsageHour> Hours(const QDateTime& from, const QDateTime& to) const;
    // The same of the finished connections only.
    [[nodiscard]] std::vector<TUsageHour> FinishedHours(const QDateTime& from, const QDateTime& to) const;
    // Connections that began in [from, to) without hours of their own (taken from the log).
    [[nodiscard]] std::vector<TUsageConnection> ConnectionsWithoutHours(const QDateTime& from,
                                                                        const QDateTime& to) const;
    // Which programs used a connection, or the connections of the days from first to last:
    // each program's bytes, most first, and Other's last (none when the history has no program
    // rows of them).
    [[nodiscard]] std::vector<TProgramRow> ProgramsOf(std::int64_t connection) const;
    // A connection's program rows as kept, day by day: each day's programs, the most first, and
    // its Other last.
    [[nodiscard]] std::vector<TProgramRow> ProgramDaysOf(std::int64_t connection) const;
    [[nodiscard]] std::vector<TProgramRow> ProgramsOn(const QDate& first, const QDate& last) const;
    // The newest connection still in progress.
    [[nodiscard]] std::optional<TUsageConnection> Current() const;

private:
    bool OpenFile(TAccess access);
    bool Damaged() const;
    // Brings the schema up to date; Busy tells whether it failed only because another opener
    // held the file for the moment.
    bool Migrate(bool& busy);
    // Sets the file up for writing (write-ahead log, schema), waiting briefly for another opener.
    bool PrepareForWriting();
    // The schema the open file is written in (0 when none can be read).
    [[nodiscard]] int SchemaOf() const;
    void SetAside(const QString& why);
    bool Fail(const QString& what);
    // Undoes the transaction a statement of which failed; false, with Problem().
    bool RollBack(QSqlDatabase& database, const QSqlQuery& query);
    // Inserts within the caller's transaction; false (the query's error) when a row was refused.
    static bool InsertFinished(QSqlQuery& query, const std::vector<TUsageConnection>& connections);
    // Each connection that began in [fromUtc, toUtc) and meets the further SQL condition
    // (" AND ..."), as read; false when the history could not be read or each stopped.
    [[nodiscard]] std::vector<TUsageHour> HoursWhere(const QDateTime& from, const QDateTime& to, bool finished) const;
    bool ForEachWhere(const char* condition,
                      std::int64_t fromUtc,
                      std::int64_t toUtc,
                      const std::function<bool(const TUsageConnection&)>& each) const;
    // Connections that began in [from, to) and meet the further SQL condition (" AND ...").
    [[nodiscard]] std::vector<TUsageConnection>
    ConnectionsWhere(const char* condition, const QDateTime& from, const QDateTime& to) const;

    QString FilePath;
    QString ConnectionName;
    bool Usable = false;
    bool Writable = false;
    QString LastProblem;
};

} // namespace pulo
