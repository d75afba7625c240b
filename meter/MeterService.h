#pragma once

// The meter's figures as a caller asks for them: each program's bytes on one interface since the
// meter started, named, and limited to what the caller may see.

#include "meter/MeterTables.h"
#include "meter/Naming.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace pulo::meter {

struct TProgramUsage
{
    std::string Program;
    std::string Path;
    std::uint64_t Received = 0;
    std::uint64_t Sent = 0;
    std::uint64_t ReceivedPackets = 0;
    std::uint64_t SentPackets = 0;
};

// What the service knows of an owner beyond the kernel's key, found on the system.
struct TOwnerLookup
{
    // The executable and command name of a process, by the meter's hooks (which outlive it for
    // a while) or /proc; false when neither is known.
    std::function<bool(std::uint32_t tgid, std::string& path, std::string& comm)> Process;
    // The path below the cgroup root of a control group, by its id; empty when not found.
    std::function<std::string(std::uint64_t cgroup)> Cgroup;
};

// What the meter has counted: the living processes' figures by the kernel's key, and those of
// processes that ended by program, so that a service running for months keeps one entry per
// program and interface, not one per process it ever saw.
struct TLedger
{
    struct TProgramKey
    {
        std::string Program;
        std::string Path;
        std::uint32_t Uid = 0;
        std::uint32_t Ifindex = 0;
        std::uint32_t Direction = 0;
        auto operator<=>(const TProgramKey&) const = default;
    };
    std::map<TKey, TCount> Living;
    std::map<TProgramKey, TCount> Ended;
    std::map<std::uint32_t, TProgramName> Names; // of living processes, once known
};

// Moves the figures of the entries whose processes ended into their programs' (named while the
// meter's hooks still know them).
void Retire(TLedger& ledger, const std::vector<TKey>& ended, const TOwnerLookup& lookup);

// Programs with their bytes on the interface, most bytes first. A caller of another user than
// root sees its own user's programs, and everybody else's as one "Other users" row.
[[nodiscard]] std::vector<TProgramUsage>
ProgramsOn(TLedger& ledger, std::uint32_t ifindex, std::uint32_t callerUid, const TOwnerLookup& lookup);

// The answer's text: "ok", a line per program (program, path, received, sent, received packets,
// sent packets, separated by tabs; tabs and line breaks in names turned to blanks), then ".".
[[nodiscard]] std::string AnswerText(const std::vector<TProgramUsage>& programs);

} // namespace pulo::meter
