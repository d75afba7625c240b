#pragma once

// Which programs used one connection, day by day, from the per-program meter's answers: each
// answer is a running count per program since the meter started, so a connection's share is
// what each count grew by while the connection lasted. What the line carried that no program
// accounts for (forwarded traffic, containers, time the meter was not there, the moments before
// its first answer) is the day's "Other", so the programs and Other together are always exactly
// the line's own figures: a byte is either attributed or in Other, never guessed.

#include "platform/ProgramMeter.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <map>
#include <tuple>
#include <vector>

namespace pulo {

// One program's bytes of a connection on one day; Other is the row of what no program accounts
// for (its program and path empty).
struct TProgramRow final
{
    QDate Day;
    QString Program;
    QString Path;
    bool Other = false;
    std::int64_t Received = 0;
    std::int64_t Sent = 0;
};

class TProgramLedger final
{
public:
    // The meter's answer and the line's figures (bytes since the connection began) at a moment
    // of the day given.
    void Take(const QDate& day, const win::MeterAnswer& answer, std::int64_t lineSent, std::int64_t lineReceived);
    // The line's figures when the meter could not answer: what came since is Other's.
    void TakeLine(const QDate& day, std::int64_t lineSent, std::int64_t lineReceived);
    // Every row so far, by day, each day's programs by name and its Other last.
    [[nodiscard]] std::vector<TProgramRow> Rows() const;

private:
    using TKey = std::pair<QString, QString>; // program, path
    struct TCounts final
    {
        std::int64_t Received = 0;
        std::int64_t Sent = 0;
    };
    // One direction of the meter's answer counted, when what it grew by fits in what the line
    // carried since (with the day's Other, which holds what an earlier, later answer missed);
    // else it waits, and the line's bytes are Other's until an answer fits.
    void Count(const QDate& day,
               const std::vector<win::ProgramBytes>& meter,
               std::int64_t line,
               std::int64_t TCounts::*side,
               std::uint64_t win::ProgramBytes::*figure);
    // What the line carried since it was last taken, in one direction.
    std::int64_t LineGrew(std::int64_t now, std::int64_t TCounts::*side);

    bool Answered = false;        // the meter's first answer was taken
    std::string Source;           // what its answers are counted by
    TCounts Line;                 // the line's figures as last taken
    std::map<TKey, TCounts> Seen; // the meter's figures already counted
    std::map<std::tuple<QDate, QString, QString>, TCounts> Programs;
    std::map<QDate, TCounts> Others;
};

} // namespace pulo
