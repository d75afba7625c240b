#pragma once

// The paths of control groups by their ids (on cgroup v2 a group's id is its folder's inode
// number), found by walking the hierarchy; walked again for an id not known, at most once in a
// few seconds.

#include <chrono>
#include <cstdint>
#include <map>
#include <string>

namespace pulo::meter {

class TCgroupNames final
{
public:
    explicit TCgroupNames(std::string root) : Root(std::move(root)) {}
    // The group's path below the root ("/user.slice/…"); empty when not found.
    [[nodiscard]] std::string PathOf(std::uint64_t id);

private:
    std::string Root;
    std::map<std::uint64_t, std::string> Known;
    std::chrono::steady_clock::time_point Walked{};
};

} // namespace pulo::meter
