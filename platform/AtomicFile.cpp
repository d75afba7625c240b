#include "platform/AtomicFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace win {

namespace {

DWORD ErrorOf(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ERROR_DISK_FULL;
    case ENOENT:
    case ENOTDIR:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    default:
        return ERROR_WRITE_FAULT;
    }
}

// The file a write lands on: a symbolic link is followed, so the link stays a link.
std::string TargetOf(const std::string& path)
{
    std::array<char, PATH_MAX> resolved{};
    struct stat status = {};
    if (lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode) &&
        realpath(path.c_str(), resolved.data()) != nullptr)
        return resolved.data();
    return path;
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

void SyncFolder(const std::string& folder)
{
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    fsync(fd);
    close(fd);
}

} // namespace

namespace {

// Copies length bytes from the start of source into fd; false (errno set) on a failure or a
// source shorter than that.
bool CopyPrefix(int source, int fd, std::uint64_t length)
{
    std::array<char, 64 * 1024> buffer{};
    std::uint64_t copied = 0;
    while (copied < length) {
        const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), length - copied));
        const ssize_t got = pread(source, buffer.data(), wanted, static_cast<off_t>(copied));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            errno = got == 0 ? EIO : errno;
            return false;
        }
        if (!WriteAll(fd, std::string_view(buffer.data(), static_cast<std::size_t>(got))))
            return false;
        copied += static_cast<std::uint64_t>(got);
    }
    return true;
}

DWORD Replace(const std::string& path, const std::function<bool(int fd)>& fill);

} // namespace

DWORD ReplaceFileAtomically(const std::string& path, std::string_view bytes)
{
    return Replace(path, [&](int fd) { return WriteAll(fd, bytes); });
}

DWORD ReplaceFileKeepingStart(const std::string& path, int source, std::uint64_t keep, std::string_view bytes)
{
    return Replace(path, [&](int fd) { return CopyPrefix(source, fd, keep) && WriteAll(fd, bytes); });
}

namespace {

DWORD Replace(const std::string& path, const std::function<bool(int fd)>& fill)
{
    const std::string target = TargetOf(path);
    struct stat old = {};
    const bool exists = stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        return ERROR_ACCESS_DENIED;

    std::string temporary = target;
    temporary.append(TemporaryMark).append("XXXXXX");
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return ErrorOf(errno);

    int failure = 0;
    if (!fill(fd))
        failure = errno;
    if (failure == 0) {
        // The user's file stays the user's, even after a write made as root.
        const mode_t mode = exists ? (old.st_mode & 07777) : (0666 & ~[] {
            const mode_t mask = umask(0);
            umask(mask);
            return mask;
        }());
        if (fchmod(fd, mode) != 0)
            failure = errno;
        if (failure == 0 && exists && (old.st_uid != geteuid() || old.st_gid != getegid()) &&
            fchown(fd, old.st_uid, old.st_gid) != 0 && geteuid() == 0)
            failure = errno;
    }
    if (failure == 0 && fsync(fd) != 0)
        failure = errno;
    if (close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure == 0 && rename(temporary.c_str(), target.c_str()) != 0)
        failure = errno;
    if (failure != 0) {
        unlink(temporary.c_str());
        return ErrorOf(failure);
    }
    SyncFolder(FolderOf(target));
    return ERROR_SUCCESS;
}

} // namespace

int RemoveStaleTemporaries(const std::string& path, std::chrono::seconds age)
{
    const std::string target = TargetOf(path);
    const std::string folder = FolderOf(target);
    const std::string prefix = NameOf(target).append(TemporaryMark);
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr)
        return 0;
    const auto now = std::chrono::system_clock::now();
    int removed = 0;
    while (const dirent* entry = readdir(listing)) {
        const std::string_view name = entry->d_name;
        // Only ours: the file's name, the mark, and the six characters mkstemp chose.
        if (name.size() != prefix.size() + 6 || name.substr(0, prefix.size()) != prefix)
            continue;
        const std::string full = folder + "/" + std::string(name);
        struct stat status = {};
        if (lstat(full.c_str(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != geteuid())
            continue;
        const auto modified = std::chrono::system_clock::from_time_t(status.st_mtime);
        if (now - modified >= age && unlink(full.c_str()) == 0)
            ++removed;
    }
    closedir(listing);
    return removed;
}

} // namespace win
