#pragma once

// What the per-program counts need to know of a network interface of this network namespace.

#include <cstdint>
#include <string>

namespace win::posix {

// The interface's index; 0 when there is none of that name.
[[nodiscard]] unsigned InterfaceIndex(const std::string& name);
// What the per-program meters call an interface ("#" and its index), and the index it names; 0
// for anything else.
[[nodiscard]] std::string IdentityOf(unsigned index);
[[nodiscard]] unsigned IdentifiedIndex(const std::string& identity);
// The link header the interface's counters count on each packet besides the network header:
// 14 on Ethernet and Wi-Fi; nothing on a PPP link, a tunnel, a raw-IP modem or the loopback.
[[nodiscard]] std::uint64_t LinkHeaderBytes(const std::string& name);

} // namespace win::posix
