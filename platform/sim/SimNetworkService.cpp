// The simulated desktop network service's part: the metered flag of its profiles.

#include "platform/sim/SimBackend.h"

#include <algorithm>

namespace win::sim {

DWORD SimState::SetMetered(const std::string& profile, int value, int& before)
{
    const bool known =
        std::any_of(Lines.begin(), Lines.end(), [&](const SimLine& line) { return line.Profile == profile; }) ||
        Metered.contains(profile);
    if (profile.empty() || !known)
        return ERROR_NOT_FOUND;
    if (RefuseMetered)
        return ERROR_ACCESS_DENIED;
    before = Metered.contains(profile) ? Metered[profile] : MeteredUnknown;
    Metered[profile] = value;
    return ERROR_SUCCESS;
}

} // namespace win::sim
