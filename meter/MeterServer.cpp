#include "meter/MeterServer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace pulo::meter {

namespace {

constexpr std::size_t CallersAtOnce = 16;
constexpr std::size_t LongestRequest = 64;
constexpr std::size_t MostUnread = 1 << 20;
constexpr std::chrono::seconds Patience{5};

} // namespace

TMeterServer::~TMeterServer()
{
    for (const TCaller& caller : Callers)
        if (caller.Fd >= 0)
            close(caller.Fd);
    if (Listener >= 0) {
        close(Listener);
        unlink(Path.c_str());
    }
}

bool TMeterServer::Listen(const std::string& path, std::string& why)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        why = "the socket's path is empty or too long: " + path;
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size());
    Listener = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    struct stat existing
    {
    };
    if (lstat(path.c_str(), &existing) == 0 && S_ISSOCK(existing.st_mode))
        unlink(path.c_str());
    if (Listener < 0 || bind(Listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        chmod(path.c_str(), 0666) != 0 || listen(Listener, 16) != 0) {
        why = "cannot listen at " + path + ": " + std::strerror(errno);
        return false;
    }
    Path = path;
    return true;
}

bool TMeterServer::Run(int stopFd, int intervalMs, const std::function<void()>& quiet, std::string& why)
{
    for (;;) {
        Fds.clear();
        Fds.push_back({stopFd, POLLIN, 0});
        Watch(Fds);
        const int ready = poll(Fds.data(), Fds.size(), intervalMs);
        if (ready < 0 && errno != EINTR) {
            why = std::string("cannot wait: ") + std::strerror(errno);
            return false;
        }
        if (Fds[0].revents != 0)
            return true;
        if (ready == 0)
            quiet();
        Serve(Fds);
    }
}

void TMeterServer::Watch(std::vector<pollfd>& fds) const
{
    if (Callers.size() < CallersAtOnce)
        fds.push_back({Listener, POLLIN, 0});
    for (const TCaller& caller : Callers)
        fds.push_back({caller.Fd, static_cast<short>(caller.Out.empty() ? POLLIN : POLLOUT), 0});
}

void TMeterServer::Serve(const std::vector<pollfd>& fds)
{
    const auto now = std::chrono::steady_clock::now();
    for (const pollfd& fd : fds) {
        if (fd.revents == 0)
            continue;
        if (fd.fd == Listener) {
            Accept();
            continue;
        }
        const auto caller =
            std::find_if(Callers.begin(), Callers.end(), [&](const TCaller& c) { return c.Fd == fd.fd; });
        if (caller == Callers.end())
            continue;
        caller->Last = now;
        if ((fd.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 && (fd.revents & POLLIN) == 0) {
            LetGo(*caller);
        } else if ((fd.revents & POLLOUT) != 0) {
            Write(*caller);
        } else {
            Read(*caller);
        }
    }
    for (TCaller& caller : Callers) {
        if (caller.Fd >= 0 && now - caller.Last > Patience && !(Kept && Kept(caller.Number)))
            LetGo(caller);
    }
    std::erase_if(Callers, [&](const TCaller& caller) {
        if (caller.Fd >= 0)
            return false;
        if (Gone)
            Gone(caller.Number);
        return true;
    });
}

void TMeterServer::Accept()
{
    while (Callers.size() < CallersAtOnce) {
        const int fd = accept4(Listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        ucred credentials{};
        socklen_t size = sizeof credentials;
        if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) {
            close(fd);
            continue;
        }
        Callers.push_back({fd, credentials.uid, ++Numbered, {}, {}, std::chrono::steady_clock::now()});
    }
}

void TMeterServer::Read(TCaller& caller)
{
    char chunk[256];
    const ssize_t got = recv(caller.Fd, chunk, sizeof chunk, 0);
    if (got <= 0) {
        if (got == 0 || (errno != EAGAIN && errno != EINTR))
            LetGo(caller);
        return;
    }
    caller.In.append(chunk, static_cast<std::size_t>(got));
    for (std::size_t end; (end = caller.In.find('\n')) != std::string::npos;) {
        const std::string request = caller.In.substr(0, end);
        caller.In.erase(0, end + 1);
        caller.Out += request.size() > LongestRequest ? std::string("error request too long\n")
                                                      : Answer(request, caller.Uid, caller.Number);
        if (caller.Out.size() > MostUnread)
            break;
    }
    if (caller.In.size() > LongestRequest || caller.Out.size() > MostUnread) {
        LetGo(caller); // talking without listening, or without line breaks
        return;
    }
    Write(caller);
}

void TMeterServer::LetGo(TCaller& caller)
{
    close(caller.Fd);
    caller.Fd = -1;
}

void TMeterServer::Write(TCaller& caller)
{
    while (!caller.Out.empty()) {
        const ssize_t sent = send(caller.Fd, caller.Out.data(), caller.Out.size(), MSG_NOSIGNAL);
        if (sent <= 0) {
            if (sent < 0 && errno != EAGAIN && errno != EINTR)
                LetGo(caller);
            return;
        }
        caller.Out.erase(0, static_cast<std::size_t>(sent));
    }
}

} // namespace pulo::meter
