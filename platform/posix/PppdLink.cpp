#include "platform/posix/PppdLink.h"

#include "platform/posix/TextFields.h"

#include <cctype>
#include <vector>

namespace win::posix {

namespace {

// At most this much of a pid file or command line is read: a hostile file cannot stall a poll.
constexpr std::size_t PidFileLimit = 64;
constexpr std::size_t CommandLineLimit = 16 * 1024;

pid_t ParsePid(const std::string& text)
{
    std::size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    long value = 0;
    std::size_t digits = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) && digits < 9; ++at, ++digits)
        value = value * 10 + (text[at] - '0');
    const bool ends = at == text.size() || std::isspace(static_cast<unsigned char>(text[at]));
    return digits > 0 && ends && value > 1 ? static_cast<pid_t>(value) : 0;
}

std::string BaseName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

PppdLink FindPppd(const std::string& pidDirectory, const std::string& interfaceName)
{
    PppdLink link;
    if (interfaceName.empty() || interfaceName.find('/') != std::string::npos)
        return link;
    const pid_t pid = ParsePid(ReadAtMost(pidDirectory + "/" + interfaceName + ".pid", PidFileLimit));
    if (pid == 0)
        return link;

    const std::string commandLine = ReadAtMost("/proc/" + std::to_string(pid) + "/cmdline", CommandLineLimit);
    std::vector<std::string> arguments;
    for (std::size_t start = 0; start < commandLine.size();) {
        const std::size_t end = commandLine.find('\0', start);
        arguments.push_back(commandLine.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = end == std::string::npos ? commandLine.size() : end + 1;
    }
    // A stale pid file may name a process that is not pppd at all.
    if (arguments.empty() || BaseName(arguments[0]) != "pppd")
        return link;

    link.Pid = pid;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool hasNext = i + 1 < arguments.size();
        if (argument == "call" && hasNext)
            link.EntryName = arguments[i + 1];
        else if (argument == "file" && hasNext && link.EntryName.empty())
            link.EntryName = BaseName(arguments[i + 1]);
        else if (argument.rfind("/dev/", 0) == 0 && link.DeviceName.empty())
            link.DeviceName = argument;
        else if (argument.rfind("tty", 0) == 0 && link.DeviceName.empty())
            link.DeviceName = "/dev/" + argument;
    }
    return link;
}

} // namespace win::posix
