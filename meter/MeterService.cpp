#include "meter/MeterService.h"

#include <algorithm>

namespace pulo::meter {

namespace {

std::string OneField(std::string text)
{
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return text;
}

} // namespace

namespace {

TProgramName NameOfKey(const TKey& key, std::map<std::uint32_t, TProgramName>& names, const TOwnerLookup& lookup)
{
    if (const auto known = names.find(key.Tgid); key.Tgid != 0 && known != names.end())
        return known->second;
    TOwnerFacts facts{key.Tgid, key.Uid, {}, {}, {}};
    if (key.Tgid != 0 && lookup.Process)
        (void)lookup.Process(key.Tgid, facts.Path, facts.Comm);
    if (lookup.Cgroup)
        facts.Cgroup = lookup.Cgroup(key.Cgroup);
    TProgramName name = NameOwner(facts);
    if (key.Tgid != 0 && !facts.Path.empty())
        names[key.Tgid] = name; // a process's executable does not change until it execs again
    return name;
}

void Add(TProgramUsage& usage, std::uint32_t direction, const TCount& count)
{
    if (direction == METER_RECEIVED) {
        usage.Received += count.Bytes;
        usage.ReceivedPackets += count.Packets;
    } else {
        usage.Sent += count.Bytes;
        usage.SentPackets += count.Packets;
    }
}

} // namespace

void Retire(TLedger& ledger, const std::vector<TKey>& ended, const TOwnerLookup& lookup)
{
    for (const TKey& key : ended) {
        const auto living = ledger.Living.find(key);
        if (living == ledger.Living.end())
            continue;
        const TProgramName name = NameOfKey(key, ledger.Names, lookup);
        TCount& total = ledger.Ended[{name.Program, name.Path, key.Uid, key.Ifindex, key.Direction}];
        total.Bytes += living->second.Bytes;
        total.Packets += living->second.Packets;
        ledger.Living.erase(living);
    }
    for (const TKey& key : ended)
        ledger.Names.erase(key.Tgid);
}

std::vector<TProgramUsage>
ProgramsOn(TLedger& ledger, std::uint32_t ifindex, std::uint32_t callerUid, const TOwnerLookup& lookup)
{
    std::map<std::pair<std::string, std::string>, TProgramUsage> programs;
    const auto add = [&](const TProgramName& name, std::uint32_t uid, std::uint32_t direction, const TCount& count) {
        const TProgramName shown = callerUid != 0 && uid != callerUid ? TProgramName{"Other users", ""} : name;
        TProgramUsage& usage = programs[{shown.Program, shown.Path}];
        usage.Program = shown.Program;
        usage.Path = shown.Path;
        Add(usage, direction, count);
    };
    for (const auto& [key, count] : ledger.Living)
        if (key.Ifindex == ifindex)
            add(NameOfKey(key, ledger.Names, lookup), key.Uid, key.Direction, count);
    for (const auto& [key, count] : ledger.Ended)
        if (key.Ifindex == ifindex)
            add({key.Program, key.Path}, key.Uid, key.Direction, count);
    std::vector<TProgramUsage> list;
    for (auto& [name, usage] : programs)
        list.push_back(std::move(usage));
    std::stable_sort(list.begin(), list.end(), [](const TProgramUsage& a, const TProgramUsage& b) {
        return a.Received + a.Sent > b.Received + b.Sent;
    });
    return list;
}

std::string AnswerText(const std::vector<TProgramUsage>& programs)
{
    std::string text = "ok\n";
    for (const TProgramUsage& usage : programs) {
        text += OneField(usage.Program) + '\t' + OneField(usage.Path) + '\t' + std::to_string(usage.Received) + '\t' +
                std::to_string(usage.Sent) + '\t' + std::to_string(usage.ReceivedPackets) + '\t' +
                std::to_string(usage.SentPackets) + '\n';
    }
    return text + ".\n";
}

} // namespace pulo::meter
