#include "meter/MeterHolds.h"

#include "meter/bpf/MeterTypes.h"

#include <charconv>

namespace pulo::meter {

namespace {

constexpr std::size_t HoldsPerCaller = 64;

// Reads a decimal number up to stop (or the end); false unless digits fill it exactly.
template <typename T> bool Number(const std::string& text, std::size_t& at, char stop, T& value)
{
    const std::size_t end = stop == '\0' ? text.size() : text.find(stop, at);
    if (end == std::string::npos || end == at)
        return false;
    const auto [ptr, error] = std::from_chars(text.data() + at, text.data() + end, value);
    if (error != std::errc{} || ptr != text.data() + end)
        return false;
    at = end + (stop == '\0' ? 0 : 1);
    return true;
}

} // namespace

bool ParseHold(const std::string& request, uid_t caller, THold& hold, std::string& why)
{
    const std::string verb = "hold #";
    std::size_t at = verb.size();
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    hold = {};
    if (request.compare(0, verb.size(), verb) != 0 || !Number(request, at, ' ', hold.Ifindex) ||
        !Number(request, at, ':', major) || !Number(request, at, ' ', minor) ||
        !Number(request, at, '\0', hold.Inode)) {
        why = "malformed hold (ask: hold #IFINDEX MAJOR:MINOR INODE)";
        return false;
    }
    if (hold.Ifindex == 0 || hold.Inode == 0 || major >= (1U << 12) || minor >= (1U << 20)) {
        why = "no such interface or file";
        return false;
    }
    hold.Device = major << 20 | minor;
    hold.Uid = caller == 0 ? METER_ANY_USER : caller;
    return true;
}

bool THolds::Add(std::uint64_t caller, const THold& hold, std::string& why)
{
    const auto mine = ByCaller.find(caller);
    if (mine != ByCaller.end() && mine->second.contains(hold))
        return true;
    if (mine != ByCaller.end() && mine->second.size() >= HoldsPerCaller) {
        why = "too many programs held back by one caller";
        return false;
    }
    std::size_t all = 0;
    for (const auto& [other, holds] : ByCaller)
        all += holds.size();
    if (all >= METER_HOLDS_MAX) {
        why = "too many programs held back";
        return false;
    }
    ByCaller[caller].insert(hold);
    return true;
}

std::set<THold> THolds::Wanted() const
{
    std::set<THold> wanted;
    for (const auto& [caller, holds] : ByCaller)
        wanted.insert(holds.begin(), holds.end());
    return wanted;
}

} // namespace pulo::meter
