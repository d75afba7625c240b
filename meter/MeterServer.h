#pragma once

// The meter's Unix socket: a request is one line, answered by the meter's TAnswer. Everything a
// caller sends is checked; callers are few (at most 16 at once), answers small, and a caller that
// neither asks nor reads for five seconds is let go, unless it is kept (it holds programs back,
// which lasts as long as its connection).

#include <chrono>
#include <cstdint>
#include <functional>
#include <poll.h>
#include <string>
#include <sys/types.h>
#include <vector>

namespace pulo::meter {

class TMeterServer final
{
public:
    // Answers a request line (without its line break) of a caller of this user; the caller's
    // number is its connection's, never reused while the server runs.
    using TAnswer = std::function<std::string(const std::string& request, uid_t uid, std::uint64_t caller)>;
    // Told of each caller that went, whoever ended its connection.
    using TGone = std::function<void(std::uint64_t caller)>;
    // Whether a caller is kept however long it stays silent.
    using TKept = std::function<bool(std::uint64_t caller)>;

    explicit TMeterServer(TAnswer answer, TGone gone = {}, TKept kept = {})
        : Answer(std::move(answer)), Gone(std::move(gone)), Kept(std::move(kept))
    {
    }
    ~TMeterServer();
    TMeterServer(const TMeterServer&) = delete;
    TMeterServer& operator=(const TMeterServer&) = delete;

    // Listens at path (a stale socket there is replaced; anybody may connect: what a caller sees
    // is decided by its credentials). False, with why, when it cannot.
    [[nodiscard]] bool Listen(const std::string& path, std::string& why);
    // Serves callers until stopFd is readable; quiet runs every intervalMs without a caller's
    // request (and before none is answered late). False, with why, when waiting failed.
    [[nodiscard]] bool Run(int stopFd, int intervalMs, const std::function<void()>& quiet, std::string& why);

private:
    // The descriptors to wait on, and what they wait for.
    void Watch(std::vector<pollfd>& fds) const;
    // Serves what the wait found ready (fds as Watch gave them, after poll), and lets go of the
    // callers whose patience ran out, whether anything was ready or not.
    void Serve(const std::vector<pollfd>& fds);
    struct TCaller
    {
        int Fd = -1;
        uid_t Uid = 0;
        std::uint64_t Number = 0;
        std::string In;
        std::string Out;
        std::chrono::steady_clock::time_point Last;
    };
    void Accept();
    void Read(TCaller& caller);
    static void Write(TCaller& caller);
    static void LetGo(TCaller& caller);

    TAnswer Answer;
    TGone Gone;
    TKept Kept;
    std::uint64_t Numbered = 0;
    int Listener = -1;
    std::string Path;
    std::vector<TCaller> Callers;
    std::vector<pollfd> Fds;
};

} // namespace pulo::meter
