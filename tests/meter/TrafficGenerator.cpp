// Traffic of known size for the meter's tests, run under the names the tests copy it to:
//
//   tcp-send HOST PORT BYTES     connects and sends BYTES, then closes
//   tcp-receive HOST PORT        connects and reads until the far end closes; prints the bytes
//   udp HOST PORT COUNT SIZE     sends COUNT datagrams of SIZE bytes and reads each one echoed
//   fork-send HOST PORT BYTES    connects, then a forked child sends BYTES on the parent's socket
//   tcp-serve ADDRESS PORT BYTES listens, sends BYTES to the one caller that comes, then closes
//   udp-ping HOST PORT FILE      on one socket, forever: every 50 ms a datagram, and "+" added to
//                                FILE when its echo came back within 200 ms, else "-"
//
// HOST may be IPv4 or IPv6. Exits 0 when everything went as asked.

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

int Connect(const char* host, int port, int type)
{
    sockaddr_storage address{};
    socklen_t size = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
    if (inet_pton(AF_INET, host, &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<std::uint16_t>(port));
        size = sizeof *v4;
    } else if (inet_pton(AF_INET6, host, &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<std::uint16_t>(port));
        size = sizeof *v6;
    } else {
        return -1;
    }
    const int fd = socket(address.ss_family, type, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), size) != 0)
        return -1;
    return fd;
}

bool SendAll(int fd, long bytes)
{
    std::vector<char> chunk(65536, 'x');
    while (bytes > 0) {
        const ssize_t sent = send(fd, chunk.data(), static_cast<std::size_t>(std::min<long>(bytes, 65536)), 0);
        if (sent <= 0)
            return false;
        bytes -= sent;
    }
    return true;
}

// Says the sending is done and waits for the far end to close, once it has everything.
void Finish(int fd)
{
    shutdown(fd, SHUT_WR);
    char end;
    (void)recv(fd, &end, 1, 0);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    const std::string mode = argv[1];
    const char* host = argv[2];
    const int port = std::atoi(argv[3]);
    if (mode == "tcp-send" && argc == 5) {
        const int fd = Connect(host, port, SOCK_STREAM);
        if (fd < 0 || !SendAll(fd, std::atol(argv[4])))
            return 1;
        Finish(fd);
        return 0;
    }
    if (mode == "tcp-wait-send" && argc == 6) {
        // Connects now, sends the bytes once the file named exists: a socket older than the meter.
        const int fd = Connect(host, port, SOCK_STREAM);
        for (int waited = 0; access(argv[5], F_OK) != 0 && waited < 600; ++waited)
            usleep(100000);
        if (fd < 0 || !SendAll(fd, std::atol(argv[4])))
            return 1;
        Finish(fd);
        return 0;
    }
    if (mode == "tcp-trickle" && argc == 5) {
        // The bytes in ten parts a quarter of a second apart: a transfer that lasts a while.
        const int fd = Connect(host, port, SOCK_STREAM);
        const long part = std::atol(argv[4]) / 10;
        for (int i = 0; i < 10; ++i) {
            if (fd < 0 || !SendAll(fd, part))
                return 1;
            usleep(250000);
        }
        Finish(fd);
        return 0;
    }
    if (mode == "tcp-receive") {
        const int fd = Connect(host, port, SOCK_STREAM);
        if (fd < 0)
            return 1;
        std::vector<char> chunk(65536);
        long total = 0;
        for (ssize_t got; (got = recv(fd, chunk.data(), chunk.size(), 0)) > 0;)
            total += got;
        std::printf("%ld\n", total);
        return 0;
    }
    if (mode == "udp" && argc == 6) {
        const int fd = Connect(host, port, SOCK_DGRAM);
        const int count = std::atoi(argv[4]);
        const std::size_t size = static_cast<std::size_t>(std::atoi(argv[5]));
        std::vector<char> datagram(size, 'u');
        timeval patience{2, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
        for (int i = 0; i < count; ++i) {
            if (send(fd, datagram.data(), size, 0) != static_cast<ssize_t>(size) ||
                recv(fd, datagram.data(), size, 0) != static_cast<ssize_t>(size))
                return 1;
        }
        return 0;
    }
    if (mode == "udp-ping" && argc == 5) {
        const int fd = Connect(host, port, SOCK_DGRAM);
        FILE* file = std::fopen(argv[4], "a");
        if (fd < 0 || file == nullptr)
            return 1;
        timeval patience{0, 200000};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
        char datagram[100] = {};
        for (;;) {
            const bool echoed = send(fd, datagram, sizeof datagram, 0) == sizeof datagram &&
                                recv(fd, datagram, sizeof datagram, 0) == sizeof datagram;
            std::fputc(echoed ? '+' : '-', file);
            std::fflush(file);
            usleep(echoed ? 50000 : 10000);
        }
    }
    if (mode == "fork-send" && argc == 5) {
        const int fd = Connect(host, port, SOCK_STREAM);
        if (fd < 0)
            return 1;
        const pid_t child = fork();
        if (child == 0)
            _exit(SendAll(fd, std::atol(argv[4])) ? 0 : 1);
        int status = 0;
        waitpid(child, &status, 0);
        Finish(fd);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    }
    if (mode == "tcp-serve" && argc == 5) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        inet_pton(AF_INET, host, &address.sin_addr);
        const int listener = socket(AF_INET, SOCK_STREAM, 0);
        const int yes = 1;
        setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 1) != 0)
            return 1;
        std::printf("listening\n");
        std::fflush(stdout);
        const int fd = accept(listener, nullptr, nullptr);
        if (fd < 0 || !SendAll(fd, std::atol(argv[4])))
            return 1;
        Finish(fd);
        return 0;
    }
    return 2;
}
