#pragma once

// Which programs used a line: the bytes each program's sockets carried on one network interface,
// as the system's per-program meter counts them (on Linux, pulopro-meter, a service of its own).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace win {

struct ProgramBytes
{
    std::string Program; // what the user is shown
    std::string Path;    // what tells programs apart; empty for "Other users" and "System"
    std::uint64_t Received = 0;
    std::uint64_t Sent = 0;
    std::uint64_t ReceivedPackets = 0;
    std::uint64_t SentPackets = 0;
};

// One answer of a meter: the programs' running counts, and what they are counted by.
struct MeterAnswer
{
    std::vector<ProgramBytes> Programs;
    // Which count the figures belong to (the meter, or the kernel's TCP statistics): the figures of
    // another count start again, and are no growth of these.
    std::string Source;
    // What the figures leave out, in words (empty when nothing): it is the line's Other.
    std::string Note;
};

class IProgramMeter
{
public:
    virtual ~IProgramMeter() = default;
    // What names the interface from now on for Programs: asked while it is there (as a line
    // begins), it still names that link after it has gone or its name went to a new one. Empty
    // when there is no such interface.
    [[nodiscard]] virtual std::string Identify(const std::string& interface) = 0;
    // Each program's bytes on the identified interface since the meter started, most first, with
    // the link's own header on every packet, as the interface's counters count them; false, with
    // why (no meter, one that refused or answered nonsense), when there are none to give. Waits
    // at most about half a second. Called from any one thread at a time.
    [[nodiscard]] virtual bool Programs(const std::string& identity, MeterAnswer& answer, std::string& why) = 0;
    // Holds the programs (their executables, by path) back on the identified interface: their
    // packets there are refused both ways, on the sockets they have and the ones they open, until
    // Release, another Hold, or the end of this process, however it ends. A program that is not
    // there (not installed) is skipped. False, with why, when any could not be held (no meter
    // service, or one that refused); the others are held all the same.
    [[nodiscard]] virtual bool
    Hold(const std::string& /*identity*/, const std::vector<std::string>& /*paths*/, std::string& why)
    {
        why = "holding programs back needs the per-program meter service";
        return false;
    }
    virtual void Release() {}
};

// The meter's answer taken apart: "ok", a line per program (program, path, received, sent,
// received packets, sent packets, separated by tabs), ".". False, with why, for anything else:
// a meter's answer is checked like any input from outside.
[[nodiscard]] bool ParseMeterAnswer(const std::string& text, std::vector<ProgramBytes>& programs, std::string& why);

} // namespace win
