// The data saver's mark on a NetworkManager line: which profile the line is, and its metered flag
// set in the service's memory.

#include "platform/posix/NmClient.h"
#include "platform/posix/PosixRas.h"

#include <algorithm>

namespace win::posix {

std::string PosixRas::MeteredProfile(HRASCONN connection)
{
    const Connection* found = Find(connection);
    std::string active = found != nullptr ? found->NmActive : std::string();
    if (const std::shared_ptr<NmDial> dial = FindNmDial(connection); dial && active.empty())
        active = dial->ActivePath();
    // An interface the user listed (a Wi-Fi on a metered plan) is NetworkManager's line when one of
    // its devices carries it.
    if (active.empty() && found != nullptr && !found->Link.Interface.empty()) {
        const auto device = std::find_if(NmNow->Devices.begin(), NmNow->Devices.end(),
                                         [&](const nm::Device& d) { return d.IpInterface == found->Link.Interface; });
        if (device != NmNow->Devices.end())
            active = device->ActivePath;
    }
    if (active.empty())
        return {};
    const auto line = std::find_if(NmNow->Actives.begin(), NmNow->Actives.end(),
                                   [&](const nm::Active& a) { return a.Path == active; });
    if (line == NmNow->Actives.end())
        return {};
    const auto profile = std::find_if(NmNow->Profiles.begin(), NmNow->Profiles.end(),
                                      [&](const nm::Profile& p) { return p.Path == line->ProfilePath; });
    return profile != NmNow->Profiles.end() ? profile->Uuid : std::string();
}

DWORD PosixRas::SetMetered(const std::string& profile, int value, int& before)
{
    NmClient* nm = NetworkManager();
    return nm != nullptr ? nm->SetMetered(profile, value, before) : ERROR_NETWORK_SERVICE_STOPPED;
}

} // namespace win::posix
