#include "desktop/LocalSocket.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace pulo {

namespace {

// A caller that sends more than this without a line break is not one of ours.
constexpr qsizetype LongestLine = 4096;

bool Address(const QString& path, sockaddr_un& address)
{
    const QByteArray name = QFile::encodeName(path);
    address = {};
    address.sun_family = AF_UNIX;
    if (name.isEmpty() || static_cast<std::size_t>(name.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
    return true;
}

// Waits for the socket to be ready for events; false when the time runs out first.
bool Await(int socket, short events, int timeoutMs)
{
    pollfd ready = {socket, events, 0};
    int result = 0;
    do
        result = poll(&ready, 1, timeoutMs);
    while (result < 0 && errno == EINTR);
    return result > 0 && (ready.revents & (events | POLLHUP | POLLERR)) != 0;
}

bool WriteAll(int socket, const QByteArray& data, int timeoutMs)
{
    qsizetype written = 0;
    while (written < data.size()) {
        const ssize_t sent =
            send(socket, data.constData() + written, static_cast<std::size_t>(data.size() - written), MSG_NOSIGNAL);
        if (sent > 0)
            written += sent;
        else if (sent < 0 && errno == EINTR)
            continue;
        else if (sent < 0 && errno == EAGAIN && Await(socket, POLLOUT, timeoutMs))
            continue;
        else
            return false;
    }
    return true;
}

} // namespace

TLocalCall::TLocalCall(const QString& path, int timeoutMs) : TimeoutMs(timeoutMs)
{
    sockaddr_un address;
    if (!Address(path, address))
        return;
    Socket = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (Socket < 0)
        return;
    int result = connect(Socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (result < 0 && errno == EAGAIN && Await(Socket, POLLOUT, TimeoutMs)) {
        // A listener with a full queue of callers: it takes this one once it has room.
        int error = 0;
        socklen_t size = sizeof error;
        result = getsockopt(Socket, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0 ? 0 : -1;
    }
    if (result < 0) {
        close(Socket);
        Socket = -1;
    }
}

TLocalCall::~TLocalCall()
{
    if (Socket >= 0)
        close(Socket);
}

std::optional<QByteArray> TLocalCall::Ask(const QByteArray& request)
{
    if (Socket < 0 || !WriteAll(Socket, request, TimeoutMs))
        return std::nullopt;
    QByteArray answer;
    char chunk[4096];
    while (!answer.endsWith('\n')) {
        const ssize_t got = recv(Socket, chunk, sizeof chunk, 0);
        if (got > 0)
            answer.append(chunk, got);
        else if (got < 0 && errno == EINTR)
            continue;
        else if (got < 0 && errno == EAGAIN && Await(Socket, POLLIN, TimeoutMs))
            continue;
        else
            return std::nullopt;
    }
    answer.chop(1);
    return answer;
}

struct TLocalListener::TCaller
{
    int Socket = -1;
    std::unique_ptr<QSocketNotifier> Readable;
    QByteArray Pending;
    bool Ended = false;
};

TLocalListener::TLocalListener(QObject* parent) : QObject(parent) {}

TLocalListener::~TLocalListener()
{
    for (const auto& caller : Callers)
        close(caller->Socket);
    if (Socket >= 0) {
        close(Socket);
        (void)unlink(QFile::encodeName(Path).constData());
    }
}

bool TLocalListener::Listen(const QString& path)
{
    sockaddr_un address;
    if (Socket >= 0 || !Address(path, address))
        return false;
    const int listening = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listening < 0)
        return false;
    if (bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0) {
        close(listening);
        return false;
    }
    // Only this user may connect (the folder is the user's own as well).
    if (chmod(address.sun_path, S_IRUSR | S_IWUSR) < 0 || listen(listening, 16) < 0) {
        close(listening);
        (void)unlink(address.sun_path);
        return false;
    }
    Socket = listening;
    Path = path;
    Incoming = std::make_unique<QSocketNotifier>(Socket, QSocketNotifier::Read);
    connect(Incoming.get(), &QSocketNotifier::activated, this, [this] { Accept(); });
    return true;
}

void TLocalListener::Accept()
{
    for (;;) {
        const int socket = accept4(Socket, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (socket < 0)
            return; // none left waiting (or the caller gave up already)
        auto caller = std::make_unique<TCaller>();
        caller->Socket = socket;
        caller->Readable = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Read);
        TCaller* const reading = caller.get();
        connect(reading->Readable.get(), &QSocketNotifier::activated, this, [this, reading] { Read(*reading); });
        Callers.push_back(std::move(caller));
        // The request may have come with the connection.
        Read(*reading);
    }
}

void TLocalListener::Read(TCaller& caller)
{
    if (caller.Ended)
        return;
    char chunk[4096];
    for (;;) {
        const ssize_t got = recv(caller.Socket, chunk, sizeof chunk, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && errno == EAGAIN)
            break;
        if (got <= 0) {
            caller.Ended = true; // hung up, or gone wrong: let it go
            break;
        }
        caller.Pending.append(chunk, got);
        qsizetype end = 0;
        while (!caller.Ended && (end = caller.Pending.indexOf('\n')) >= 0) {
            const QByteArray line = caller.Pending.left(end + 1);
            caller.Pending.remove(0, end + 1);
            if (OnLine && !WriteAll(caller.Socket, OnLine(line), 1000))
                caller.Ended = true;
        }
        if (caller.Pending.size() > LongestLine)
            caller.Ended = true;
    }
    if (!caller.Ended)
        return;
    caller.Readable->setEnabled(false);
    // Let go of it once its notifier's signal has returned.
    QTimer::singleShot(0, this, [this, gone = &caller] {
        const auto found =
            std::find_if(Callers.begin(), Callers.end(), [gone](const auto& c) { return c.get() == gone; });
        if (found == Callers.end())
            return;
        close((*found)->Socket);
        Callers.erase(found);
    });
}

} // namespace pulo
