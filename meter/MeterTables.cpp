#include "meter/MeterTables.h"

#include "meter.skel.h"

#include <bpf/bpf.h>
#include <bpf/libbpf.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pulo::meter {

namespace {

// What a failure with this error says is missing.
std::string Missing(int error, const char* what)
{
    std::string line = std::string("cannot ") + what + ": " + std::strerror(error);
    if (error == EPERM || error == EACCES)
        line += " (the meter needs CAP_BPF, CAP_NET_ADMIN and CAP_PERFMON)";
    else if (error == EINVAL || error == ENOTSUP || error == EOPNOTSUPP || error == ENOENT)
        line += " (the kernel lacks a BPF feature the meter needs: cgroup socket hooks, socket storage or BTF)";
    return line;
}

TKey KeyOf(const meter_key& key)
{
    return {key.tgid, key.uid, key.cgroup, key.ifindex, key.direction};
}

bool ProcessLives(std::uint32_t tgid)
{
    struct stat info
    {
    };
    return tgid == 0 || stat(("/proc/" + std::to_string(tgid)).c_str(), &info) == 0;
}

} // namespace

TMeterTables::~TMeterTables()
{
    // Destroying the skeleton closes its links, which detaches every program.
    ::meter__destroy(Skeleton);
    if (CgroupFd >= 0)
        close(CgroupFd);
}

bool TMeterTables::Start(const std::string& cgroupRoot, std::uint64_t netnsCookie, std::string& why)
{
    libbpf_set_strict_mode(LIBBPF_STRICT_ALL);
    // The library's own account of a failure (the verifier's log) is for developers; the meter
    // says in one line what is missing.
    libbpf_set_print(nullptr);
    Skeleton = ::meter__open();
    if (Skeleton == nullptr) {
        why = Missing(errno, "open the meter's kernel programs");
        return false;
    }
    Skeleton->rodata->counted_netns = netnsCookie;
    if (const int error = ::meter__load(Skeleton); error != 0) {
        why = Missing(-error, "load the meter's kernel programs");
        return false;
    }
    CgroupFd = open(cgroupRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (CgroupFd < 0) {
        why = Missing(errno, ("open the cgroup root " + cgroupRoot).c_str());
        return false;
    }
    const struct
    {
        bpf_program* Program;
        bpf_link** Link;
    } hooks[] = {
        {Skeleton->progs.meter_sock_create, &Skeleton->links.meter_sock_create},
        {Skeleton->progs.meter_ingress, &Skeleton->links.meter_ingress},
        {Skeleton->progs.meter_egress, &Skeleton->links.meter_egress},
    };
    for (const auto& hook : hooks) {
        *hook.Link = bpf_program__attach_cgroup(hook.Program, CgroupFd);
        if (*hook.Link == nullptr) {
            why = Missing(errno, ("attach to " + cgroupRoot).c_str());
            return false;
        }
    }
    Skeleton->links.meter_exec = bpf_program__attach(Skeleton->progs.meter_exec);
    if (Skeleton->links.meter_exec == nullptr) {
        why = Missing(errno, "attach to the kernel's exec tracepoint");
        return false;
    }
    PerCpu.resize(static_cast<std::size_t>(libbpf_num_possible_cpus()));
    return true;
}

void TMeterTables::Take(const meter_key& key, std::map<TKey, TCount>& totals)
{
    TCount now;
    for (const meter_count& cpu : PerCpu) {
        now.Bytes += cpu.bytes;
        now.Packets += cpu.packets;
    }
    const TKey owner = KeyOf(key);
    TCount& seen = Seen[owner];
    TCount& total = totals[owner];
    total.Bytes += now.Bytes - seen.Bytes;
    total.Packets += now.Packets - seen.Packets;
    seen = now;
}

void TMeterTables::Harvest(std::map<TKey, TCount>& totals, std::vector<TKey>& endedKeys)
{
    const int table = bpf_map__fd(Skeleton->maps.counts);
    meter_key key{};
    meter_key next{};
    std::vector<meter_key> ended;
    const meter_key* previous = nullptr;
    while (bpf_map_get_next_key(table, previous, &next) == 0) {
        key = next;
        previous = &key;
        if (bpf_map_lookup_elem(table, &key, PerCpu.data()) != 0)
            continue;
        Take(key, totals);
        if (!ProcessLives(key.tgid))
            ended.push_back(key);
    }
    // A socket may outlive its process for a moment (its last segments): what it counts after
    // this starts a new entry, added to the same total.
    for (const meter_key& gone : ended) {
        if (bpf_map_lookup_and_delete_elem(table, &gone, PerCpu.data()) != 0)
            continue;
        Take(gone, totals);
        Seen.erase(KeyOf(gone));
        endedKeys.push_back(KeyOf(gone));
    }
}

bool TMeterTables::Hold(const std::set<THold>& wanted, std::string& why)
{
    const int table = bpf_map__fd(Skeleton->maps.holds);
    const auto entry = [](const THold& hold) { return meter_hold{hold.Inode, hold.Device, hold.Uid, hold.Ifindex, 0}; };
    std::vector<meter_hold> gone;
    meter_hold key{};
    meter_hold next{};
    const meter_hold* previous = nullptr;
    while (bpf_map_get_next_key(table, previous, &next) == 0) {
        key = next;
        previous = &key;
        if (!wanted.contains({key.exe_inode, key.exe_device, key.uid, key.ifindex}))
            gone.push_back(key);
    }
    for (const meter_hold& hold : gone)
        bpf_map_delete_elem(table, &hold);
    bool all = true;
    std::uint32_t anyUser = 0;
    for (const THold& hold : wanted) {
        const meter_hold added = entry(hold);
        const std::uint8_t unused = 1;
        if (bpf_map_update_elem(table, &added, &unused, BPF_ANY) != 0) {
            why = std::string("cannot hold the program back: ") + std::strerror(errno);
            all = false;
        }
        anyUser += hold.Uid == METER_ANY_USER ? 1 : 0;
    }
    Skeleton->bss->holding = static_cast<std::uint32_t>(wanted.size());
    Skeleton->bss->holding_any_user = anyUser;
    return all;
}

bool TMeterTables::NameOf(std::uint32_t tgid, std::string& path, std::string& comm) const
{
    meter_name name{};
    if (bpf_map_lookup_elem(bpf_map__fd(Skeleton->maps.names), &tgid, &name) != 0)
        return false;
    path.assign(name.path, strnlen(name.path, sizeof name.path));
    comm.assign(name.comm, strnlen(name.comm, sizeof name.comm));
    return true;
}

} // namespace pulo::meter
