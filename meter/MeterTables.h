#pragma once

// The meter's kernel programs, loaded and attached for as long as this object lives: the socket
// and packet hooks on the root of the cgroup v2 hierarchy, and the exec hook. Their links belong
// to this process alone, so nothing stays attached once it ends, however it ends.

#include "meter/MeterHolds.h"
#include "meter/bpf/MeterTypes.h"

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

struct meter;

namespace pulo::meter {

struct TKey
{
    std::uint32_t Tgid = 0;
    std::uint32_t Uid = 0;
    std::uint64_t Cgroup = 0;
    std::uint32_t Ifindex = 0;
    std::uint32_t Direction = 0; // METER_RECEIVED or METER_SENT
    auto operator<=>(const TKey&) const = default;
};

struct TCount
{
    std::uint64_t Bytes = 0;
    std::uint64_t Packets = 0;
};

class TMeterTables final
{
public:
    TMeterTables() = default;
    ~TMeterTables();
    TMeterTables(const TMeterTables&) = delete;
    TMeterTables& operator=(const TMeterTables&) = delete;

    // Loads and attaches, counting the network namespace of the given cookie; false, with a
    // line saying what is missing, when it cannot.
    [[nodiscard]] bool Start(const std::string& cgroupRoot, std::uint64_t netnsCookie, std::string& why);
    // Adds what the kernel counted since the last harvest to totals (each owner's bytes and
    // packets, summed over the processors). Entries of processes that have ended are taken out
    // of the kernel's table once harvested, so it never fills with the dead; they are added to
    // ended.
    void Harvest(std::map<TKey, TCount>& totals, std::vector<TKey>& ended);
    // Refuses, from now on, exactly the wanted programs' packets (new and existing sockets alike);
    // false, with why, when the kernel's table would not take them.
    [[nodiscard]] bool Hold(const std::set<THold>& wanted, std::string& why);
    // What the process ran, as the exec hook saw it; false when it did not see it.
    [[nodiscard]] bool NameOf(std::uint32_t tgid, std::string& path, std::string& comm) const;
    // The root of the hierarchy it is attached to, as a folder this process can always read
    // (through its open descriptor, whether the hierarchy is still mounted or not).
    [[nodiscard]] std::string RootFolder() const { return "/proc/self/fd/" + std::to_string(CgroupFd); }

private:
    // Adds what the entry's per-processor values (in PerCpu) hold beyond what was seen of it.
    void Take(const meter_key& key, std::map<TKey, TCount>& totals);

    ::meter* Skeleton = nullptr;
    int CgroupFd = -1;
    std::map<TKey, TCount> Seen; // what each kernel entry held at the last harvest
    std::vector<meter_count> PerCpu;
};

} // namespace pulo::meter
