#pragma once

// Reading NetworkManager's objects from the bus into a snapshot: one GetManagedObjects for the
// devices, active connections and address records, and each profile's settings only when the
// profile is new or has changed since it was last read.

#include "platform/posix/NmRules.h"

#include <QDBusConnection>
#include <QString>

#include <map>
#include <set>
#include <string>

namespace win::posix::nm {

inline constexpr auto Service = "org.freedesktop.NetworkManager";
inline constexpr auto ManagerPath = "/org/freedesktop/NetworkManager";
inline constexpr int ReadTimeout = 2000; // milliseconds

class SnapshotReader final
{
public:
    // The service as it is now; not running when it does not answer.
    [[nodiscard]] Snapshot Read(const QDBusConnection& bus);
    // The profile's settings are read again at the next reading.
    void ProfileChanged(const std::string& path) { Stale.insert(path); }
    void Forget() { Profiles.clear(); }

private:
    std::map<std::string, Profile> Profiles; // by path, as last read
    std::set<std::string> Stale;
};

} // namespace win::posix::nm
