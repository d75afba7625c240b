#pragma once

// How the meter names the owner of a socket, from what it knows of it: the executable the
// process started (from the exec hook, or /proc while it lives), its command name, and the
// control group it ran in. Rules only: no system is read here.

#include <cstdint>
#include <string>

namespace pulo::meter {

struct TOwnerFacts
{
    std::uint32_t Tgid = 0; // 0: a socket older than the meter
    std::uint32_t Uid = 0;
    std::string Path;   // the executable, empty when not known
    std::string Comm;   // the command name the kernel gave, empty when not known
    std::string Cgroup; // the control group's path below the root ("/user.slice/…"), empty when not known
};

struct TProgramName
{
    std::string Program; // what the user is shown: an app's ID, else the executable's name
    std::string Path;    // what tells programs apart: an app's ID for a packaged app, else the executable
};

// The app a systemd scope or service of a desktop session stands for: a Flatpak's or snap's
// app, or the app a desktop launched ("app-gnome-org.gnome.Maps-1234.scope",
// "app-org.kde.konsole@1a2b.service"); empty when the group is none of these.
[[nodiscard]] std::string AppOfCgroup(const std::string& cgroup);

[[nodiscard]] TProgramName NameOwner(const TOwnerFacts& facts);

} // namespace pulo::meter
