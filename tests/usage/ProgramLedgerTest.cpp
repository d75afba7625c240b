// Which programs used a connection, from the meter's running counts and the line's own figures:
// whatever the meter does meanwhile (answers late, goes away, starts again, counts before the
// line began), the programs and Other add up to exactly what the line carried, and no program
// is given a byte it did not move on the line.

#include "usage/ProgramLedger.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

namespace pulo {
namespace {

// One look: the meter's counts of "browser" and "updater" (received; each sent half as much),
// none when the meter could not answer, and the line's received bytes since it began (sent half).
struct TLook
{
    int Day; // of December
    std::optional<std::pair<std::uint64_t, std::uint64_t>> Meter;
    std::int64_t Line;
    const char* Source = "meter"; // what the meter's counts are counted by
};

struct TCase
{
    const char* Name;
    std::vector<TLook> Looks;
    // Expected received bytes per day and program ("" for Other).
    std::map<std::pair<int, std::string>, std::int64_t> Received;
};

using TCounts = std::optional<std::pair<std::uint64_t, std::uint64_t>>;

TCounts Counts(std::uint64_t browser, std::uint64_t updater)
{
    return std::pair{browser, updater};
}

win::MeterAnswer Answer(std::uint64_t browser, std::uint64_t updater, const char* source = "meter")
{
    return {{{"browser", "/usr/bin/browser", browser, browser / 2, 0, 0},
             {"updater", "/usr/lib/updater", updater, updater / 2, 0, 0}},
            source,
            {}};
}

TEST(ProgramLedgerTest, ProgramsAndOtherAreAlwaysExactlyTheLine)
{
    const std::vector<TCase> cases = {
        {"the meter's counts from before the line began are not the line's",
         {{7, Counts(5000, 700), 0}, {7, Counts(6000, 900), 1400}, {7, Counts(9000, 900), 4400}},
         {{{7, "browser"}, 4000}, {{7, "updater"}, 200}, {{7, ""}, 200}}},
        {"an answer ahead of the line waits until the line shows as much",
         {{7, Counts(0, 0), 0}, {7, Counts(3000, 0), 1000}, {7, Counts(3000, 0), 3000}, {7, Counts(3500, 0), 3600}},
         {{{7, "browser"}, 3500}, {{7, ""}, 100}}},
        {"while the meter is away the line's bytes are Other's, until it answers for them",
         {{7, Counts(0, 0), 0}, {7, std::nullopt, 2000}, {7, Counts(1500, 0), 2000}, {7, Counts(2500, 0), 3000}},
         {{{7, "browser"}, 2500}, {{7, ""}, 500}}},
        {"a meter that started again counts from its start, a moment of the line",
         {{7, Counts(8000, 0), 0}, {7, Counts(9000, 0), 1000}, {7, Counts(300, 0), 1500}, {7, Counts(800, 0), 2000}},
         {{{7, "browser"}, 1800}, {{7, ""}, 200}}},
        {"each day keeps what came on it",
         {{7, Counts(0, 0), 0}, {7, Counts(1000, 0), 1000}, {8, Counts(1000, 400), 1500}, {8, Counts(1000, 400), 1600}},
         {{{7, "browser"}, 1000}, {{7, ""}, 0}, {{8, "updater"}, 400}, {{8, ""}, 200}}},
        {"counts of another source start again: a meter gone, the kernel's TCP statistics standing in",
         {{7, Counts(5000, 0), 0},
          {7, Counts(6000, 0), 1000},
          {7, Counts(200000, 0), 2000, "tcp"},
          {7, Counts(200500, 0), 3000, "tcp"}},
         {{{7, "browser"}, 1500}, {{7, ""}, 1500}}},
        {"no meter at all: everything is Other's",
         {{7, std::nullopt, 0}, {7, std::nullopt, 700}, {8, std::nullopt, 900}},
         {{{7, ""}, 700}, {{8, ""}, 200}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TProgramLedger ledger;
        for (const TLook& look : c.Looks) {
            const QDate day(2026, 12, look.Day);
            if (look.Meter)
                ledger.Take(day, Answer(look.Meter->first, look.Meter->second, look.Source), look.Line / 2, look.Line);
            else
                ledger.TakeLine(day, look.Line / 2, look.Line);
        }
        std::map<std::pair<int, std::string>, std::int64_t> received;
        std::int64_t sent = 0;
        for (const TProgramRow& row : ledger.Rows()) {
            EXPECT_EQ(row.Other, row.Program.isEmpty());
            received[{row.Day.day(), row.Program.toStdString()}] = row.Received;
            sent += row.Sent;
        }
        EXPECT_EQ(received, c.Received);
        std::int64_t all = 0;
        for (const auto& [key, bytes] : received)
            all += bytes;
        EXPECT_EQ(all, c.Looks.back().Line) << "programs and Other are the line's received bytes";
        EXPECT_EQ(sent, c.Looks.back().Line / 2) << "and its sent bytes";
    }
}

} // namespace
} // namespace pulo
