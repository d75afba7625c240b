#include "platform/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace win {

FileRead ReadRegularFile(const std::string& path, std::size_t limit)
{
    FileRead read;
    // Without O_NONBLOCK, opening a FIFO waits for a writer for ever.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        read.Error = errno == ENOENT || errno == ENOTDIR ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
        return read;
    }
    struct stat status = {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        read.Error = ERROR_ACCESS_DENIED;
    } else if (static_cast<std::uintmax_t>(status.st_size) > limit) {
        read.Error = ERROR_FILE_TOO_LARGE;
    } else {
        // One pass; a file that grows meanwhile is read up to the limit and refused beyond it.
        read.Bytes.resize(std::min(static_cast<std::size_t>(status.st_size), limit) + 1);
        std::size_t filled = 0;
        for (;;) {
            if (filled == read.Bytes.size()) {
                if (read.Bytes.size() > limit) {
                    read.Error = ERROR_FILE_TOO_LARGE;
                    break;
                }
                read.Bytes.resize(std::min(read.Bytes.size() * 2, limit + 1));
            }
            const ssize_t got = ::read(fd, read.Bytes.data() + filled, read.Bytes.size() - filled);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                read.Error = ERROR_ACCESS_DENIED;
                break;
            }
            if (got == 0)
                break;
            filled += static_cast<std::size_t>(got);
        }
        read.Bytes.resize(read.Error == ERROR_SUCCESS ? filled : 0);
    }
    close(fd);
    return read;
}

} // namespace win
