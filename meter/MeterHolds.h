#pragma once

// The programs callers hold back, and for how long: a hold belongs to the connection that asked
// for it and ends with it, so no refusal outlives the PuloPro that wanted it. Rules only: the
// kernel's table is filled from Wanted by the meter.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <sys/types.h>

namespace pulo::meter {

struct THold
{
    std::uint64_t Inode = 0;
    std::uint32_t Device = 0; // as the kernel numbers devices: major << 20 | minor
    std::uint32_t Uid = 0;    // whose processes; METER_ANY_USER for every user's
    std::uint32_t Ifindex = 0;
    auto operator<=>(const THold&) const = default;
};

// "hold #IFINDEX MAJOR:MINOR INODE": the executable is named by its file (what a caller finds with
// stat), so the meter never opens a path a caller gave. A caller's hold reaches its own
// processes; root's reaches every user's. False, with why, for anything malformed.
[[nodiscard]] bool ParseHold(const std::string& request, uid_t caller, THold& hold, std::string& why);

class THolds final
{
public:
    // Adds the caller's hold; false, with why, when the caller or the meter holds too many.
    [[nodiscard]] bool Add(std::uint64_t caller, const THold& hold, std::string& why);
    // Ends every hold of the caller (it asked, or it went).
    void Release(std::uint64_t caller) { ByCaller.erase(caller); }
    [[nodiscard]] bool Holds(std::uint64_t caller) const { return ByCaller.contains(caller); }
    // Every caller's holds together: what the kernel must refuse.
    [[nodiscard]] std::set<THold> Wanted() const;

private:
    std::map<std::uint64_t, std::set<THold>> ByCaller;
};

} // namespace pulo::meter
