#pragma once

// Where the meter attaches: the root of the cgroup v2 hierarchy.

#include <string>

namespace pulo::meter {

// The mount point of cgroup v2 given the text of /proc/self/mountinfo: /sys/fs/cgroup when it is
// v2, /sys/fs/cgroup/unified on a hybrid system, else the first cgroup2 mount listed; empty when
// there is none.
[[nodiscard]] std::string CgroupRootIn(const std::string& mountinfo);

// The same for this system; when none is mounted, mounts a private one in the meter's runtime
// folder (which needs the right to mount), and says so in mountedHere: the meter lets go of it
// once it holds the root open. Empty, with why, when there is none to be had.
[[nodiscard]] std::string FindCgroupRoot(const std::string& runtimeFolder, std::string& why, bool& mountedHere);

// Takes away a mount FindCgroupRoot made (what is attached stays, held by the meter's links).
void ForgetCgroupRoot(const std::string& root);

} // namespace pulo::meter
