#pragma once

// The system's interface and IPv4 address tables, and the texts made from hardware and IP
// addresses. A failed or empty read leaves the caller's array as it was.

#include "platform/Backend.h"
#include "platform/Iphlpapi.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace pulo {

// Fills rows with one row per interface, in the system's order. Leaves rows as they were when
// the table cannot be read or is empty.
void GetIfTableRows(std::vector<win::MIB_IFROW>& rows);
// One interface's byte counters in full (64 bits: they do not wrap).
// One interface's byte counters, as the speed monitor reads them once a second.
using IfOctets = win::IfByteCounts;
// Fills rows with every interface's byte counters, in the interface table's order, and nothing
// else of each interface. False (rows as they were) when they cannot be read.
bool GetIfOctets(std::vector<IfOctets>& rows);

// The 1-based row of the first interface that is up and is not the loopback, or 0 when there is
// none: the interface a new user wants to watch.
[[nodiscard]] std::int32_t FirstActiveAdapterRow(const std::vector<win::MIB_IFROW>& rows);

// Fills rows with the address rows, by ascending address. Returns the size probe's answer when
// it was not the expected ERROR_INSUFFICIENT_BUFFER (rows then as they were), else 0.
win::DWORD GetIpAddrTableRows(std::vector<win::MIB_IPADDRROW>& rows);

// "00-A0-C9-14-C8-29"; "00-00-00-00-00-00" for an address of length 0.
[[nodiscard]] QString MacToText(const win::BYTE (&address)[win::MAXLEN_PHYSADDR], win::DWORD length);
// Each octet, first in the lowest byte, right-aligned in three places: "192.168.  1.  1".
[[nodiscard]] QString IpToText(win::DWORD address);
// The lowest IPv4 address of the interface as IpToText, or "!not_found!".
[[nodiscard]] QString InterfaceIpText(win::DWORD index);
// The same, answered from address rows already read.
[[nodiscard]] QString InterfaceIpText(win::DWORD index, const std::vector<win::MIB_IPADDRROW>& addresses);

} // namespace pulo
