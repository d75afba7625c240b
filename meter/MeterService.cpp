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

std::vector<TProgramUsage> ProgramsOn(const std::map<TKey, TCount>& totals,
                                      std::uint32_t ifindex,
                                      std::uint32_t callerUid,
                                      std::map<std::uint32_t, TProgramName>& names,
                                      const TOwnerLookup& lookup)
{
    std::map<std::pair<std::string, std::string>, TProgramUsage> programs;
    for (const auto& [key, count] : totals) {
        if (key.Ifindex != ifindex)
            continue;
        TProgramName name;
        if (callerUid != 0 && key.Uid != callerUid) {
            name = {"Other users", ""};
        } else if (const auto known = names.find(key.Tgid); key.Tgid != 0 && known != names.end()) {
            name = known->second;
        } else {
            TOwnerFacts facts{key.Tgid, key.Uid, {}, {}, {}};
            if (key.Tgid != 0 && lookup.Process)
                (void)lookup.Process(key.Tgid, facts.Path, facts.Comm);
            if (lookup.Cgroup)
                facts.Cgroup = lookup.Cgroup(key.Cgroup);
            name = NameOwner(facts);
            if (key.Tgid != 0 && !facts.Path.empty())
                names[key.Tgid] = name; // a process's executable does not change until it execs again
        }
        TProgramUsage& usage = programs[{name.Program, name.Path}];
        usage.Program = name.Program;
        usage.Path = name.Path;
        if (key.Direction == METER_RECEIVED) {
            usage.Received += count.Bytes;
            usage.ReceivedPackets += count.Packets;
        } else {
            usage.Sent += count.Bytes;
            usage.SentPackets += count.Packets;
        }
    }
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
