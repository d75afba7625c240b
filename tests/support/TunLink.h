#pragma once

// A point-to-point link made for a test, in the test's own network namespace: a tun device,
// with the PPP link type when asked, gone as soon as the object is.

#include <cstddef>
#include <string>
#include <vector>

namespace pulo::test {

inline constexpr unsigned LinkTypePpp = 512;
inline constexpr unsigned LinkTypeNone = 65534;

class TunLink final
{
public:
    explicit TunLink(const std::string& name, unsigned linkType = LinkTypePpp);
    ~TunLink();
    TunLink(const TunLink&) = delete;
    TunLink& operator=(const TunLink&) = delete;

    [[nodiscard]] bool Valid() const { return Fd >= 0; }
    [[nodiscard]] const std::string& Name() const { return LinkName; }
    [[nodiscard]] int Index() const;
    [[nodiscard]] bool SetUp(bool up);
    // A packet arriving on the link from its far end (counted as received).
    [[nodiscard]] bool Receive(const std::vector<unsigned char>& packet) const;
    // Takes what the system sent out through the link (counted as sent once taken); returns
    // the bytes taken.
    long TakeSent() const;
    // Gives the link its own address and its peer's.
    [[nodiscard]] bool SetAddress(const std::string& local, const std::string& peer);

private:
    int Fd = -1;
    std::string LinkName;
};

// An IPv4 (UDP) packet of this many bytes, as it would arrive on a link.
[[nodiscard]] std::vector<unsigned char> Ipv4Packet(std::size_t length);

// Makes a tun device that stays after its descriptor is closed (for making many cheaply).
[[nodiscard]] bool MakePersistentTun(const std::string& name);

// Runs a command (an argv list, never a shell) and tells whether it succeeded.
[[nodiscard]] bool RunCommand(std::vector<std::string> arguments);

// Moves this process into a network namespace of its own, so the links a test makes are
// seen by nothing else. Needs root; returns false (with the reason) elsewhere.
[[nodiscard]] bool EnterOwnNetworkNamespace(std::string& reason);

} // namespace pulo::test
