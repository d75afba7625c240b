#include "meter/CgroupNames.h"

#include <filesystem>
#include <sys/stat.h>

namespace pulo::meter {

std::string TCgroupNames::PathOf(std::uint64_t id)
{
    if (const auto found = Known.find(id); found != Known.end())
        return found->second;
    const auto now = std::chrono::steady_clock::now();
    if (now - Walked < std::chrono::seconds(5))
        return {};
    Walked = now;
    Known.clear();
    if (struct stat info{}; stat(Root.c_str(), &info) == 0)
        Known[info.st_ino] = "/";
    std::error_code error;
    namespace fs = std::filesystem;
    for (fs::recursive_directory_iterator folder(Root, fs::directory_options::skip_permission_denied, error), end;
         !error && folder != end; folder.increment(error)) {
        if (!folder->is_directory(error) || folder->is_symlink(error))
            continue;
        struct stat info
        {
        };
        if (stat(folder->path().c_str(), &info) == 0)
            Known[info.st_ino] = "/" + fs::relative(folder->path(), Root, error).string();
    }
    const auto found = Known.find(id);
    return found == Known.end() ? std::string() : found->second;
}

} // namespace pulo::meter
