#include "platform/posix/MeterClient.h"

#include "platform/posix/InterfaceFacts.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace win::posix {

namespace {

constexpr std::chrono::milliseconds Patience{500};
constexpr std::size_t LongestAnswer = 4 << 20;

} // namespace

std::string MeterClient::Identify(const std::string& interface)
{
    const unsigned index = InterfaceIndex(interface);
    if (index == 0)
        return {};
    const std::uint64_t header = LinkHeaderBytes(interface);
    const std::lock_guard guard(Lock);
    HeaderBytes[index] = header;
    return IdentityOf(index);
}

bool MeterClient::Programs(const std::string& identity, MeterAnswer& answer, std::string& why)
{
    answer = {{}, "pulopro-meter", {}};
    std::vector<ProgramBytes>& programs = answer.Programs;
    const unsigned index = IdentifiedIndex(identity);
    if (index == 0) {
        why = "no interface of that name";
        return false;
    }
    std::string text;
    if (!Ask("programs #" + std::to_string(index) + "\n", text, why) || !ParseMeterAnswer(text, programs, why))
        return false;
    std::uint64_t header = 0;
    {
        const std::lock_guard guard(Lock);
        if (const auto found = HeaderBytes.find(index); found != HeaderBytes.end())
            header = found->second;
    }
    for (ProgramBytes& program : programs) {
        program.Received += header * program.ReceivedPackets;
        program.Sent += header * program.SentPackets;
    }
    return true;
}

int MeterClient::Connect(std::string& why) const
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (SocketPath.size() >= sizeof address.sun_path) {
        why = "the meter's socket path is too long";
        return -1;
    }
    std::memcpy(address.sun_path, SocketPath.c_str(), SocketPath.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        why = std::string("the per-program meter is not running (") + std::strerror(errno) + ")";
        if (fd >= 0)
            close(fd);
        return -1;
    }
    return fd;
}

bool MeterClient::Exchange(int fd, const std::string& request, bool oneLine, std::string& answer, std::string& why)
{
    std::size_t written = 0;
    const auto until = std::chrono::steady_clock::now() + Patience;
    bool done = false;
    answer.clear();
    while (!done) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        pollfd wait{fd, static_cast<short>(written < request.size() ? POLLOUT : POLLIN), 0};
        if (left.count() <= 0 || poll(&wait, 1, static_cast<int>(left.count())) <= 0)
            break;
        if (written < request.size()) {
            const ssize_t sent = send(fd, request.data() + written, request.size() - written, MSG_NOSIGNAL);
            if (sent <= 0)
                break;
            written += static_cast<std::size_t>(sent);
            continue;
        }
        // One line is read a byte at a time, so that nothing of the next answer is taken with it.
        char chunk[16384];
        const ssize_t got = recv(fd, chunk, oneLine ? 1 : sizeof chunk, 0);
        if (got <= 0)
            break;
        answer.append(chunk, static_cast<std::size_t>(got));
        const auto endsWith = [&](const char* end) {
            const std::size_t size = std::strlen(end);
            return answer.size() >= size && answer.compare(answer.size() - size, size, end) == 0;
        };
        done = (oneLine && endsWith("\n")) || endsWith("\n.\n") || (answer.rfind("error ", 0) == 0 && endsWith("\n")) ||
               answer.size() > LongestAnswer;
    }
    if (!done)
        why = "the per-program meter did not answer in time";
    return done;
}

bool MeterClient::Ask(const std::string& request, std::string& answer, std::string& why) const
{
    const int fd = Connect(why);
    if (fd < 0)
        return false;
    const bool answered = Exchange(fd, request, false, answer, why);
    close(fd);
    return answered;
}

bool MeterClient::Hold(const std::string& identity, const std::vector<std::string>& paths, std::string& why)
{
    const unsigned index = IdentifiedIndex(identity);
    if (index == 0) {
        why = "no interface of that name";
        return false;
    }
    // The new holds are made on a new connection before the old one lets its holds go, so that a
    // program held before and after is never let through between.
    const int fd = Connect(why);
    if (fd < 0)
        return false;
    std::string refused;
    for (const std::string& path : paths) {
        struct stat file
        {
        };
        if (stat(path.c_str(), &file) != 0)
            continue; // not installed here: nothing of it can run
        std::string answer;
        const std::string request = "hold #" + std::to_string(index) + " " + std::to_string(major(file.st_dev)) + ":" +
                                    std::to_string(minor(file.st_dev)) + " " + std::to_string(file.st_ino) + "\n";
        if (!Exchange(fd, request, true, answer, why)) {
            close(fd);
            return false;
        }
        if (answer != "ok\n")
            refused += (refused.empty() ? "" : "; ") + path + ": " +
                       (answer.rfind("error ", 0) == 0 ? answer.substr(6, answer.size() - 7) : std::string("refused"));
    }
    {
        const std::lock_guard guard(HoldLock);
        if (Holding >= 0)
            close(Holding);
        Holding = fd;
    }
    if (!refused.empty())
        why = "the meter did not hold back " + refused;
    return refused.empty();
}

void MeterClient::Release()
{
    const std::lock_guard guard(HoldLock);
    if (Holding >= 0)
        close(Holding); // the meter ends the holds as the connection ends
    Holding = -1;
}

MeterClient::~MeterClient()
{
    Release();
}

} // namespace win::posix
