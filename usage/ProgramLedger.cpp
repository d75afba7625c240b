#include "usage/ProgramLedger.h"

#include <algorithm>
#include <limits>

namespace pulo {

namespace {

std::int64_t Figure(std::uint64_t value)
{
    return static_cast<std::int64_t>(std::min<std::uint64_t>(value, std::numeric_limits<std::int64_t>::max()));
}

} // namespace

std::int64_t TProgramLedger::LineGrew(std::int64_t now, std::int64_t TCounts::*side)
{
    const std::int64_t grew = std::max<std::int64_t>(0, now - Line.*side);
    Line.*side = std::max(now, Line.*side);
    return grew;
}

void TProgramLedger::TakeLine(const QDate& day, std::int64_t lineSent, std::int64_t lineReceived)
{
    TCounts& other = Others[day];
    other.Sent += LineGrew(lineSent, &TCounts::Sent);
    other.Received += LineGrew(lineReceived, &TCounts::Received);
}

void TProgramLedger::Take(const QDate& day,
                          const win::MeterAnswer& answer,
                          std::int64_t lineSent,
                          std::int64_t lineReceived)
{
    const std::vector<win::ProgramBytes>& meter = answer.Programs;
    // Figures of another count (the meter came, or went and the kernel's TCP statistics stand in)
    // start again from here, as a first answer does.
    if (Answered && answer.Source != Source) {
        Answered = false;
        Seen.clear();
    }
    Source = answer.Source;
    // A figure that went down says the meter started again since it last answered: its figures
    // now count from then, a moment inside this connection.
    const bool restarted = std::any_of(meter.begin(), meter.end(), [&](const win::ProgramBytes& program) {
        const auto seen = Seen.find({QString::fromStdString(program.Program), QString::fromStdString(program.Path)});
        return seen != Seen.end() &&
               (Figure(program.Received) < seen->second.Received || Figure(program.Sent) < seen->second.Sent);
    });
    if (restarted)
        Seen.clear();
    if (!Answered) {
        // What the programs carried before the connection was seen to begin is not its own.
        for (const win::ProgramBytes& program : meter)
            Seen[{QString::fromStdString(program.Program), QString::fromStdString(program.Path)}] = {
                Figure(program.Received), Figure(program.Sent)};
        Answered = true;
        TakeLine(day, lineSent, lineReceived);
        return;
    }
    Count(day, meter, LineGrew(lineSent, &TCounts::Sent), &TCounts::Sent, &win::ProgramBytes::Sent);
    Count(day, meter, LineGrew(lineReceived, &TCounts::Received), &TCounts::Received, &win::ProgramBytes::Received);
}

void TProgramLedger::Count(const QDate& day,
                           const std::vector<win::ProgramBytes>& meter,
                           std::int64_t line,
                           std::int64_t TCounts::*side,
                           std::uint64_t win::ProgramBytes::*figure)
{
    std::int64_t grew = 0;
    for (const win::ProgramBytes& program : meter) {
        const auto seen = Seen.find({QString::fromStdString(program.Program), QString::fromStdString(program.Path)});
        const std::int64_t before = seen == Seen.end() ? 0 : seen->second.*side;
        grew += std::max<std::int64_t>(0, Figure(program.*figure) - before);
    }
    TCounts& other = Others[day];
    if (grew > line + other.*side) {
        // The meter counted more than the line shows yet (the two were read a moment apart):
        // the programs' share waits for a later answer.
        other.*side += line;
        return;
    }
    for (const win::ProgramBytes& program : meter) {
        const TKey key{QString::fromStdString(program.Program), QString::fromStdString(program.Path)};
        std::int64_t& seen = Seen[key].*side;
        const std::int64_t now = Figure(program.*figure);
        if (now > seen)
            Programs[{day, key.first, key.second}].*side += now - seen;
        seen = std::max(seen, now);
    }
    other.*side += line - grew;
}

std::vector<TProgramRow> TProgramLedger::Rows() const
{
    std::vector<TProgramRow> rows;
    auto program = Programs.begin();
    for (const auto& [day, other] : Others) {
        for (; program != Programs.end() && std::get<0>(program->first) == day; ++program)
            rows.push_back({day, std::get<1>(program->first), std::get<2>(program->first), false,
                            program->second.Received, program->second.Sent});
        rows.push_back({day, {}, {}, true, other.Received, other.Sent});
    }
    return rows;
}

} // namespace pulo
