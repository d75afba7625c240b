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
// Callers at once: the rest are refused, so that no number of them can take the descriptors the
// program needs for its own files.
constexpr int MostCallers = 32;
// Requests answered for one caller before the window's thread goes back to its other work.
constexpr int RequestsPerTurn = 4;
// Answers a caller has not taken beyond this: it is not reading, and is let go.
constexpr qsizetype LongestWaitingAnswers = 256 * 1024;
// How long the listener rests when the program has no descriptor to take a caller with.
constexpr int AcceptRestMs = 250;

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
    std::unique_ptr<QSocketNotifier> Writable;
    QByteArray Pending;
    QByteArray Outgoing; // answers the caller has not taken yet
    bool Ended = false;
    // Runs while the caller owes the listener something: a request, or the taking of its answers.
    std::unique_ptr<QTimer> Patience;
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
    for (int taken = 0; taken < MostCallers; ++taken) {
        const int socket = accept4(Socket, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (socket < 0 && errno == EINTR)
            continue;
        if (socket < 0 && (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)) {
            // No descriptor to take the caller with: the listener would stay readable and the
            // window's thread would spin on it. It rests a moment; the caller waits or gives up.
            Incoming->setEnabled(false);
            QTimer::singleShot(AcceptRestMs, this, [this] { Incoming->setEnabled(true); });
            return;
        }
        if (socket < 0)
            return; // none left waiting (or the caller gave up already)
        if (static_cast<int>(Callers.size()) >= MostCallers) {
            close(socket); // refused at once: its request fails rather than waits
            continue;
        }
        auto caller = std::make_unique<TCaller>();
        caller->Socket = socket;
        caller->Readable = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Read);
        TCaller* const reading = caller.get();
        caller->Patience = std::make_unique<QTimer>();
        caller->Patience->setSingleShot(true);
        caller->Patience->setInterval(PatienceMs);
        connect(caller->Patience.get(), &QTimer::timeout, this, [this, reading] { LetGo(*reading); });
        caller->Patience->start();
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
    // A few requests a turn, whatever a caller sends: the window's thread is back at its timers
    // within moments, and the rest are read at the next turn.
    int answered = 0;
    while (!caller.Ended && caller.Outgoing.isEmpty() && answered < RequestsPerTurn) {
        qsizetype end = caller.Pending.indexOf('\n');
        if (end >= 0) {
            const QByteArray line = caller.Pending.left(end + 1);
            caller.Pending.remove(0, end + 1);
            ++answered;
            caller.Patience->start(); // owed from now: the taking of the answer, or the next request
            if (OnLine)
                Send(caller, OnLine(line));
            continue;
        }
        if (caller.Pending.size() > LongestLine) {
            caller.Ended = true;
            break;
        }
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
    }
    if (!caller.Ended && caller.Outgoing.isEmpty() && caller.Pending.contains('\n'))
        QTimer::singleShot(0, this, [this, waiting = &caller] {
            if (Knows(waiting))
                Read(*waiting);
        });
    // A caller whose answers wait is not read on until it has taken them.
    caller.Readable->setEnabled(!caller.Ended && caller.Outgoing.isEmpty());
    if (caller.Ended)
        LetGo(caller);
}

void TLocalListener::Send(TCaller& caller, const QByteArray& answer)
{
    caller.Outgoing.append(answer);
    while (!caller.Outgoing.isEmpty()) {
        const ssize_t sent = send(caller.Socket, caller.Outgoing.constData(),
                                  static_cast<std::size_t>(caller.Outgoing.size()), MSG_NOSIGNAL);
        if (sent > 0) {
            caller.Outgoing.remove(0, sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && errno == EAGAIN)
            break;
        caller.Ended = true;
        return;
    }
    if (caller.Outgoing.isEmpty()) {
        if (caller.Writable)
            caller.Writable->setEnabled(false);
        return;
    }
    // It reads slowly, or not at all: the answer waits for it, never the window.
    if (caller.Outgoing.size() > LongestWaitingAnswers) {
        caller.Ended = true;
        return;
    }
    if (!caller.Writable) {
        caller.Writable = std::make_unique<QSocketNotifier>(caller.Socket, QSocketNotifier::Write);
        connect(caller.Writable.get(), &QSocketNotifier::activated, this, [this, writing = &caller] {
            Send(*writing, QByteArray());
            if (writing->Ended)
                LetGo(*writing);
            else if (writing->Outgoing.isEmpty())
                Read(*writing); // on to the requests that waited for the answers
        });
    }
    caller.Writable->setEnabled(true);
}

bool TLocalListener::Knows(const TCaller* caller) const
{
    return std::any_of(Callers.begin(), Callers.end(), [caller](const auto& c) { return c.get() == caller; });
}

void TLocalListener::LetGo(TCaller& caller)
{
    caller.Ended = true;
    caller.Readable->setEnabled(false);
    if (caller.Writable)
        caller.Writable->setEnabled(false);
    caller.Patience->stop();
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
