#pragma once

// Per-program figures without the meter's service, from what an ordinary user may read: the
// kernel's statistics of each TCP socket (sock_diag: the bytes and segments it sent and received),
// matched to the user's own processes through /proc, and the final figures of the sockets that
// close between two looks (the kernel's notices of destroyed sockets). A socket is on a line when
// its local address is one of the line's. UDP (and so QUIC), other users' processes and a socket
// that came and went between two looks are not counted: they stay in Other. Nothing is guessed
// but the segments' headers, counted as the line carries them (IP, TCP with its timestamps, the
// link's header). While it is asked, it looks every second on a thread of its own, so that a
// connection of a second or more is its program's.

#include "platform/ProgramMeter.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace win::posix {

class TcpSocketMeter final : public IProgramMeter
{
public:
    TcpSocketMeter();
    ~TcpSocketMeter() override;
    TcpSocketMeter(const TcpSocketMeter&) = delete;
    TcpSocketMeter& operator=(const TcpSocketMeter&) = delete;

    [[nodiscard]] std::string Identify(const std::string& interface) override;
    [[nodiscard]] bool Programs(const std::string& identity, MeterAnswer& answer, std::string& why) override;

    // One socket as the kernel's statistics give it.
    struct Reading final
    {
        std::uint64_t Cookie = 0;
        std::uint32_t Inode = 0;
        std::uint32_t Uid = 0;
        bool V6 = false;         // its packets are IPv6 (not an IPv4 address in an IPv6 socket)
        unsigned char Local[16]; // its local address (4 bytes for IPv4)
        std::uint64_t Received = 0;
        std::uint64_t Sent = 0; // its payload, retransmissions included
        std::uint64_t SegmentsIn = 0;
        std::uint64_t SegmentsOut = 0;
        bool Timestamps = false; // its segments carry the timestamp option
    };

private:
    struct Line final
    {
        std::vector<std::pair<bool, std::vector<unsigned char>>> Addresses; // IPv6?, address
        std::uint64_t Header = 0;                                           // the link's, per packet
    };
    struct Counted final
    {
        unsigned Index = 0; // the line it is counted on
        int Owner = -1;     // in Owners; -1: not one of this user's processes
        std::uint64_t Received = 0;
        std::uint64_t Sent = 0;
    };

    // The wire bytes of the reading, and what they grew by since the socket was last counted.
    void Count(const Reading& reading, Counted& counted);
    bool Dump(std::vector<Reading>& readings, std::string& why) const;
    void ReadDestroyed();
    // Owners of the sockets not known yet, by inode, from /proc.
    void FindOwners(const std::vector<std::uint32_t>& inodes, std::map<std::uint32_t, int>& owners);
    // One look at the line's sockets; with the lock held.
    bool Look(unsigned index, std::string& why);
    void Watch();

    std::mutex Lock;
    std::condition_variable Wake;
    std::thread Watcher;
    bool Stopping = false;
    unsigned Watched = 0; // the line the watcher looks at; 0: none
    int LooksLeft = 0;    // looks the watcher takes before it rests until asked again
    int Destroyed = -1;   // the kernel's notices of destroyed TCP sockets
    std::map<unsigned, Line> Lines;
    std::map<std::uint64_t, Counted> Sockets;                // by cookie
    std::vector<std::pair<std::string, std::string>> Owners; // program, path
    std::map<std::pair<unsigned, int>, ProgramBytes> Totals; // by line and owner
};

// The readings of a sock_diag answer (netlink messages of inet_diag_msg with their tcp_info);
// what is not a socket's reading is passed over.
void ParseSocketReadings(const unsigned char* data, std::size_t size, std::vector<TcpSocketMeter::Reading>& readings);

} // namespace win::posix
