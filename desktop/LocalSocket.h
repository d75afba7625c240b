#pragma once

// Lines over a local (Unix-domain) socket, for the single-copy guard and the command line's
// questions to a running copy: a request is one line, its answer one line. Written on the
// system's sockets rather than a networking library, which a program that never talks to a
// network would otherwise map at every start.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QSocketNotifier;

namespace pulo {

// A connection to the listener at path, for one exchange; not connected when nobody listens
// there (or no answer to the connection came within the time given).
class TLocalCall final
{
public:
    TLocalCall(const QString& path, int timeoutMs);
    ~TLocalCall();
    TLocalCall(const TLocalCall&) = delete;
    TLocalCall& operator=(const TLocalCall&) = delete;

    [[nodiscard]] bool Connected() const { return Socket >= 0; }
    // Sends the request (one line, its line break included) and waits for the line answered,
    // returned without its line break; nothing when it does not come in time.
    [[nodiscard]] std::optional<QByteArray> Ask(const QByteArray& request);

private:
    int Socket = -1;
    int TimeoutMs;
};

// Listens at a path only this user can connect to; each line a caller sends goes to OnLine,
// whose answer (its line break included) is written back as the caller takes it. No caller can
// hold up the thread it serves on: a few requests a turn, answers that never wait, callers that
// do not read let go, and no more than a few dozen callers at once.
class TLocalListener final : public QObject
{
public:
    explicit TLocalListener(QObject* parent = nullptr);
    ~TLocalListener() override;

    // False when the path cannot be listened at (the path is then left as it was).
    bool Listen(const QString& path);

    std::function<QByteArray(const QByteArray& line)> OnLine;
    // How long a caller may keep its answers waiting, or wait without a request, before it is let
    // go: a caller of ours asks and reads at once.
    int PatienceMs = 5000;

private:
    struct TCaller;

    void Accept();
    void Read(TCaller& caller);
    // Writes what it can of the answer now; the rest waits until the caller can take it.
    void Send(TCaller& caller, const QByteArray& answer);
    [[nodiscard]] bool Knows(const TCaller* caller) const;
    void LetGo(TCaller& caller);

    int Socket = -1;
    QString Path;
    std::unique_ptr<QSocketNotifier> Incoming;
    std::vector<std::unique_ptr<TCaller>> Callers;
};

} // namespace pulo
