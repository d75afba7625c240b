#include "meter/CgroupRoot.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pulo::meter {

std::string CgroupRootIn(const std::string& mountinfo)
{
    std::vector<std::string> found;
    std::istringstream lines(mountinfo);
    for (std::string line; std::getline(lines, line);) {
        // "36 35 0:30 / /sys/fs/cgroup rw,… shared:9 - cgroup2 cgroup2 rw,…"
        const auto separator = line.find(" - ");
        if (separator == std::string::npos)
            continue;
        std::istringstream after(line.substr(separator + 3));
        std::string type;
        after >> type;
        if (type != "cgroup2")
            continue;
        std::istringstream before(line.substr(0, separator));
        std::string id, parent, device, root, point;
        before >> id >> parent >> device >> root >> point;
        if (root == "/" && !point.empty())
            found.push_back(point);
    }
    for (const char* preferred : {"/sys/fs/cgroup", "/sys/fs/cgroup/unified"})
        for (const std::string& point : found)
            if (point == preferred)
                return point;
    return found.empty() ? std::string() : found.front();
}

std::string FindCgroupRoot(const std::string& runtimeFolder, std::string& why, bool& mountedHere)
{
    mountedHere = false;
    std::ifstream file("/proc/self/mountinfo");
    std::stringstream text;
    text << file.rdbuf();
    if (std::string root = CgroupRootIn(text.str()); !root.empty())
        return root;
    const std::string own = runtimeFolder + "/cgroup2";
    (void)mkdir(own.c_str(), 0700);
    if (mount("cgroup2", own.c_str(), "cgroup2", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) != 0) {
        why = "no cgroup v2 hierarchy is mounted, and mounting one at " + own + " failed: " + std::strerror(errno);
        return {};
    }
    mountedHere = true;
    return own;
}

void ForgetCgroupRoot(const std::string& root)
{
    if (umount2(root.c_str(), MNT_DETACH) == 0)
        (void)rmdir(root.c_str());
}

} // namespace pulo::meter
