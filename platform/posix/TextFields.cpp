#include "platform/posix/TextFields.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace win::posix {

std::string ReadAtMost(const std::string& path, std::size_t limit)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return {};
    std::string text;
    while (text.size() < limit) {
        const std::size_t got = text.size();
        text.resize(std::min(limit, got + 4096));
        const ssize_t read = ::read(fd, text.data() + got, text.size() - got);
        text.resize(got + static_cast<std::size_t>(read > 0 ? read : 0));
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0)
            break;
    }
    close(fd);
    return text;
}

std::vector<std::string_view> Fields(std::string_view text, std::string_view separators)
{
    std::vector<std::string_view> fields;
    std::size_t at = text.find_first_not_of(separators);
    while (at != std::string_view::npos) {
        const std::size_t end = text.find_first_of(separators, at);
        fields.push_back(text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
        at = end == std::string_view::npos ? end : text.find_first_not_of(separators, end);
    }
    return fields;
}

} // namespace win::posix
