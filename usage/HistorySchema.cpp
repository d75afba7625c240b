#include "usage/HistorySchema.h"

#include <iterator>

namespace pulo::history {

// Each version's step from the one before; a database of version n runs the steps after n.
namespace {

const char* const Steps[][4] = {
    // 1: the connections.
    {"CREATE TABLE connections(id INTEGER PRIMARY KEY, start_utc INTEGER NOT NULL, start_offset INTEGER NOT NULL,"
     " end_utc INTEGER NOT NULL, end_offset INTEGER NOT NULL, seconds INTEGER NOT NULL, sent INTEGER NOT NULL,"
     " received INTEGER NOT NULL, entry TEXT NOT NULL, interface TEXT NOT NULL)",
     "CREATE INDEX connections_by_start ON connections(start_utc)", nullptr, nullptr},
    // 2: connections in progress, and the hours of each connection.
    {"ALTER TABLE connections ADD COLUMN in_progress INTEGER NOT NULL DEFAULT 0",
     "CREATE TABLE hours(connection INTEGER NOT NULL REFERENCES connections(id), hour_utc INTEGER NOT NULL,"
     " seconds INTEGER NOT NULL, sent INTEGER NOT NULL, received INTEGER NOT NULL,"
     " PRIMARY KEY(connection, hour_utc))",
     "CREATE INDEX hours_by_hour ON hours(hour_utc)", nullptr},
    // 3: what the history knows of itself; a history with rows has had the log taken in.
    {"CREATE TABLE facts(key TEXT PRIMARY KEY, value TEXT NOT NULL)",
     "INSERT INTO facts(key, value) SELECT 'log_imported', '1' WHERE EXISTS (SELECT 1 FROM connections)", nullptr,
     nullptr},
    // 4: the device's text beside the interface; earlier versions kept the device's text as the
    // interface.
    {"ALTER TABLE connections ADD COLUMN device TEXT NOT NULL DEFAULT ''",
     "UPDATE connections SET device = interface, interface = ''", nullptr, nullptr},
    // 5: the user's corrections to the provider's meter: at a moment, what the period had
    // counted and what the provider said it had.
    {"CREATE TABLE adjustments(id INTEGER PRIMARY KEY, at_utc INTEGER NOT NULL, at_offset INTEGER NOT NULL,"
     " period_first TEXT NOT NULL, counted INTEGER NOT NULL, provider INTEGER NOT NULL)",
     "CREATE INDEX adjustments_by_period ON adjustments(period_first)", nullptr, nullptr},
    // 6: which programs used each connection, per local day; Other is what no program accounts
    // for.
    {"CREATE TABLE programs(connection INTEGER NOT NULL REFERENCES connections(id), day TEXT NOT NULL,"
     " program TEXT NOT NULL, path TEXT NOT NULL, other INTEGER NOT NULL, received INTEGER NOT NULL,"
     " sent INTEGER NOT NULL, PRIMARY KEY(connection, day, other, program, path))",
     "CREATE INDEX programs_by_day ON programs(day)", nullptr, nullptr},
    // 7: add-on packs bought during a period: when, until which day, how much, and what the period
    // had counted when each was added.
    {"CREATE TABLE packs(id INTEGER PRIMARY KEY, added_utc INTEGER NOT NULL, added_offset INTEGER NOT NULL,"
     " until_day TEXT NOT NULL, bytes INTEGER NOT NULL, counted INTEGER NOT NULL, period_first TEXT NOT NULL)",
     "CREATE INDEX packs_by_period ON packs(period_first)", nullptr, nullptr},
    // 8: what each connection carried in the plan's free hours, tallied as it came.
    {"ALTER TABLE connections ADD COLUMN free_sent INTEGER NOT NULL DEFAULT 0",
     "ALTER TABLE connections ADD COLUMN free_received INTEGER NOT NULL DEFAULT 0", nullptr, nullptr},
};
static_assert(std::size(Steps) == THistoryStore::SchemaVersion);

} // namespace

std::array<const char*, 4> SchemaStep(int version)
{
    const auto& step = Steps[version];
    return {step[0], step[1], step[2], step[3]};
}

} // namespace pulo::history
