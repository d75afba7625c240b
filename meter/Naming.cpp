#include "meter/Naming.h"

#include <vector>

namespace pulo::meter {

namespace {

// The last part of a path.
std::string BaseName(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool StartsWith(const std::string& text, const std::string& start)
{
    return text.compare(0, start.size(), start) == 0;
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// "name-1234" or "name-a1b2c3…" without its unit's instance number.
std::string WithoutInstance(const std::string& name)
{
    const auto dash = name.rfind('-');
    if (dash == std::string::npos || dash == 0)
        return name;
    for (std::size_t i = dash + 1; i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return name;
    }
    return name.substr(0, dash);
}

} // namespace

std::string AppOfCgroup(const std::string& cgroup)
{
    // The innermost unit of the group is the one the app runs in.
    std::vector<std::string> parts;
    std::string part;
    for (const char c : cgroup + "/") {
        if (c != '/') {
            part += c;
        } else if (!part.empty()) {
            parts.push_back(part);
            part.clear();
        }
    }
    for (auto unit = parts.rbegin(); unit != parts.rend(); ++unit) {
        std::string name = *unit;
        if (EndsWith(name, ".scope"))
            name.resize(name.size() - 6);
        else if (EndsWith(name, ".service"))
            name.resize(name.size() - 8);
        else
            continue;
        if (const auto at = name.find('@'); at != std::string::npos)
            name.resize(at);
        // snap.<snap>.<app>-<uuid>
        if (StartsWith(name, "snap.")) {
            const auto dot = name.find('.', 5);
            return name.substr(5, dot == std::string::npos ? std::string::npos : dot - 5);
        }
        if (!StartsWith(name, "app-"))
            continue;
        name = WithoutInstance(name.substr(4));
        // app-flatpak-<id>, app-<launcher>-<id> (the id is what holds dots), app-<id>
        if (StartsWith(name, "flatpak-"))
            return name.substr(8);
        if (const auto dash = name.find('-'); dash != std::string::npos && name.find('.') > dash)
            return name.substr(dash + 1);
        return name;
    }
    return {};
}

TProgramName NameOwner(const TOwnerFacts& facts)
{
    if (std::string app = AppOfCgroup(facts.Cgroup); !app.empty())
        return {app, app};
    if (!facts.Path.empty())
        return {BaseName(facts.Path), facts.Path};
    // Kernel threads have no executable; nor, to the meter, a process gone before it was named,
    // whose command name is all there is.
    if (facts.Tgid != 0 && !facts.Comm.empty()) {
        if (facts.Uid == 0 && (StartsWith(facts.Comm, "kworker") || StartsWith(facts.Comm, "ksoftirqd")))
            return {"System", ""};
        return {facts.Comm, facts.Comm};
    }
    // A socket older than the meter in the root group is the kernel's own (its replies and
    // resets); otherwise its user is all that is known of it.
    if (facts.Tgid == 0 && facts.Uid == 0 && facts.Cgroup == "/")
        return {"System", ""};
    return {"User " + std::to_string(facts.Uid), ""};
}

} // namespace pulo::meter
